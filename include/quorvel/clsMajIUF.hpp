#pragma once
// Update of the licences' unique federal identifiers (IUF codes).

#include <quorvel/export.h>

#include <quorvel/clock.hpp>
#include <quorvel/error.hpp>
#include <quorvel/host_form.hpp>
#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel {

class QUORVEL_API clsMajIUF {
public:
    explicit clsMajIUF(Clock clock = SystemClock());

    // Reads every file directly in `strRepSource` (in ascending order of name), recognises the
    // IUF files by their 45-character lines and writes each listed licence's IUF code into the
    // database `strFileBase_P`. With `bOnlyMonCLub`, only licences of the club whose federal
    // code is exactly `strCodeMonClub` are updated. The files are read in place.
    //
    // Returns true when every file was examined, false when the run could not start (source
    // drive not ready, database not opened). Throws quorvel::Error for an unhandled failure,
    // with every file and the database closed.
    bool bImport_CodeIUF(const std::string& strRepSource, const std::string& strFileBase_P,
                         const std::string& strFileTrace_P, HostForm* objFormCible, bool bOnlyMonCLub,
                         const std::string& strCodeMonClub, const ImportOptions& options = {});

private:
    Clock clock_;
};

} // namespace quorvel
