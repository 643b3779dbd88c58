#pragma once
// Everything one call of a public method shares between its steps.

#include "base/keyed_set.hpp"
#include "storage/club_lookup.hpp"
#include "storage/connection.hpp"
#include "storage/reference_answers.hpp"
#include "tracelog/run_recorder.hpp"
#include "tracelog/trace_log.hpp"

#include <quorvel/clock.hpp>
#include <quorvel/host_form.hpp>
#include <quorvel/run_report.hpp>

#include <atomic>
#include <functional>
#include <string>

namespace quorvel {

// The session of one call: created by the public method, passed to every step, released (files
// and database closed) when the method returns or fails.
struct ImportSession {
    // The host database.
    storage::Connection objConnexion;
    // The database of the call: the file the caller passed, or the server named in the options.
    storage::DatabaseName database;
    // Paths of the export files: first in the source folder, then of their working copies once
    // copied, or empty when the file was not found.
    std::string strFileLicence;
    std::string strFileClub;
    std::string strFileOrigine;
    // Path of the TraceLog, and the TraceLog itself.
    std::string strFileTrace;
    tracelog::TraceLog trace;
    // The caller's form; null when the caller has none.
    HostForm* objForm = nullptr;
    // The geographic check's answers, read once per call (the call never writes those tables).
    storage::ReferenceAnswers reference;
    // The club registry's lookups by code, asked ahead by the passes on a server.
    storage::ClubLookup clubLookup;
    // Club codes and licences already handled during the call.
    base::KeyedSet colClubsTraites;
    base::KeyedSet colLicencesTraitees;
    // "Now", for time stamps and the birth-date check.
    Clock clock;
    // Where the run's counts, warnings and errors go when the caller asked for a report.
    tracelog::RunRecorder recorder;
    // The caller's stop request, or null.
    const std::atomic<bool>* cancel = nullptr;
    // The caller's progress callback, or null.
    const std::function<void(const ProgressStep&)>* progress = nullptr;

    LocalDateTime Now() const { return clock(); }
};

} // namespace quorvel
