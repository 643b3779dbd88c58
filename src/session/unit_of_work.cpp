#include "session/unit_of_work.hpp"

#include "session/import_session.hpp"
#include "session/pass.hpp"
#include "tracelog/progress.hpp"

namespace quorvel {

void UnitOfWork::Begin(long line, std::uint64_t offset) {
    line_ = line;
    offset_ = offset;
    session_.trace.Mark();
    session_.recorder.Mark();
    session_.colClubsTraites.Mark();
    session_.colLicencesTraitees.Mark();
    progress_ = session_.objForm != nullptr ? session_.objForm->ProgressValue() : 0;
    body_.Mark();
}

void UnitOfWork::Undo() {
    session_.objConnexion.Rollback();
    session_.trace.Rewind();
    session_.recorder.Rewind();
    session_.colClubsTraites.Rewind();
    session_.colLicencesTraitees.Rewind();
    tracelog::MetProgression(session_.objForm, progress_);
    body_.Rewind();
}

UnitOfWork::Outcome UnitOfWork::Commit(std::optional<Error>& why) {
    try {
        session_.trace.Flush();
    } catch (...) {
        Undo();
        throw;
    }
    try {
        session_.objConnexion.Commit();
        return Outcome::Stored;
    } catch (const Error& e) {
        why = e;
        if (session_.objConnexion.OutcomeUnknown()) return Outcome::Unknown;
        Undo();
        return Outcome::Refused;
    }
}

void UnitOfWork::Release() noexcept {
    session_.trace.Release();
}

} // namespace quorvel
