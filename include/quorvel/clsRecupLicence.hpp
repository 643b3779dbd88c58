#pragma once
// Club and licence import from the federation's export files.

#include <quorvel/export.h>

#include <quorvel/clock.hpp>
#include <quorvel/error.hpp>
#include <quorvel/host_form.hpp>
#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel {

class QUORVEL_API clsRecupLicence {
public:
    // `clock` gives "now" for the TraceLog's time stamps and the birth-date check.
    explicit clsRecupLicence(Clock clock = SystemClock());

    // Imports club.txt and licence.txt of `strRepSource` into the database `strFileBase_P`.
    //
    // The export files are first copied into `strRepTempo` under the first free name
    // (licence.txt, licence1.txt, ...) and the copies are read. The French TraceLog
    // `strFileTrace_P` is created (or emptied) and tells, line by line, what was done.
    // `objFormCible` shows progress; it may be null.
    //
    // Returns true when the import ran to its end (even if every line was rejected), false
    // when it could not start: source drive not ready, database not opened, licence.txt
    // missing. Throws quorvel::Error for a failure that the run does not handle itself (a
    // missing source folder, a TraceLog that cannot be created, a copy that fails...); every
    // file and the database are closed before the exception leaves. `options` asks for a
    // preview (nothing stored) and/or a report of the counts, warnings and errors.
    bool bImport_Licence(const std::string& strFileBase_P, const std::string& strRepSource,
                         const std::string& strRepTempo, const std::string& strFileTrace_P,
                         HostForm* objFormCible, const ImportOptions& options = {});

private:
    Clock clock_;
};

} // namespace quorvel
