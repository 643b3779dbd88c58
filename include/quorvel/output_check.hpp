#pragma once
// The checks a run's outputs (TraceLog, JSON report, HTML page) and its working folder pass before
// anything is opened or written: the library makes them for the TraceLog and the working folder,
// and a program calls the same functions for the other files it writes.

#include <quorvel/export.h>

#include <string>
#include <vector>

namespace quorvel {

// A file a run must not overwrite, and what it is ("la base de données", "un fichier source"...).
struct ProtectedFile {
    std::string path;
    std::string what;
};

// Why the output `output` may not be written, as a French sentence that says what to do; empty
// when nothing stands in the way. Refused: one of `files` (compared as files, and by name for
// those not written yet); the journal, write-ahead log or shared-memory file of the database file
// `database` (its name followed by -journal, -wal or -shm), which the engine deletes or rewrites
// behind the run; an export's name (licence*, club*, origine* .txt) in the working folder
// `work` (empty: none). Nothing is opened.
QUORVEL_API std::string OutputClash(const std::string& output, const std::vector<ProtectedFile>& files,
                                    const std::string& database, const std::string& work);

// Why `output` cannot be written, as a French sentence; empty when it can. Its folder must exist
// and take a new file, and an existing file or device must take writes (a full device refuses
// them). A file that did not exist is created and removed again; an existing one keeps its bytes.
QUORVEL_API std::string OutputUnwritable(const std::string& output);

// Why the working folder `work` may not receive the copies of the export folder `source`: it is
// that folder or lies inside it. Empty when it may.
QUORVEL_API std::string WorkFolderClash(const std::string& work, const std::string& source);

} // namespace quorvel
