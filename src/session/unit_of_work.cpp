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
    points_.assign(1, Here(line, offset));
    body_.MarkSavepoint();
    body_.KeepNewestSavepoint();
}

UnitOfWork::Point UnitOfWork::Here(long line, std::uint64_t offset) const {
    return {line,
            offset,
            session_.trace.Held(),
            session_.recorder.Here(),
            session_.colClubsTraites.Size(),
            session_.colLicencesTraitees.Size(),
            session_.objForm != nullptr ? session_.objForm->ProgressValue() : 0};
}

void UnitOfWork::MarkSavepoint(long line, std::uint64_t offset) {
    session_.objConnexion.Savepoint(line);
    points_.push_back(Here(line, offset));
    body_.MarkSavepoint();
}

void UnitOfWork::KeepNewestSavepoint() {
    points_.erase(points_.begin(), points_.end() - 1);
    body_.KeepNewestSavepoint();
}

void UnitOfWork::UndoToSavepoint(long failed) {
    session_.objConnexion.ForgetLossToSavepoint();
    std::size_t at = points_.size() - 1;
    while (at > 0 && points_[at].line >= failed)
        --at;
    points_.resize(at + 1);
    const Point& point = points_.back();
    session_.trace.TakeBack(point.held);
    session_.recorder.RewindTo(point.entries);
    session_.colClubsTraites.RewindTo(point.clubs);
    session_.colLicencesTraitees.RewindTo(point.licences);
    session_.clubLookup.Forget();
    tracelog::MetProgression(session_.objForm, point.progress);
    body_.RewindSavepoint(at);
}

void UnitOfWork::Undo() {
    session_.objConnexion.Rollback();
    session_.trace.Rewind();
    session_.recorder.Rewind();
    session_.colClubsTraites.Rewind();
    session_.colLicencesTraitees.Rewind();
    session_.clubLookup.Forget();
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
