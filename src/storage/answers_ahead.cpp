#include "storage/answers_ahead.hpp"

#include "storage/queries.hpp"

namespace quorvel::storage {

namespace {

// Appends `value` to an array literal, quoted.
void AppendElement(std::string& array, std::string_view value) {
    array += array.empty() ? "{\"" : ",\"";
    for (char c : value) {
        if (c == '"' || c == '\\') array += '\\';
        array += c;
    }
    array += '"';
}

} // namespace

void AnswersAhead::Fetch(Connection& db, std::string_view sql, int values, long first,
                         const std::vector<AheadKey>& keys) {
    Clear();
    first_ = first;
    values_ = values;
    firsts_.clear();
    seconds_.clear();
    wanted_.clear();
    entries_.resize(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        entries_[i].key = keys[i];
        if (!keys[i].wanted) continue;
        AppendElement(firsts_, keys[i].first);
        AppendElement(seconds_, keys[i].second);
        wanted_.push_back(i);
    }
    if (wanted_.empty()) return;
    firsts_ += '}';
    seconds_ += '}';
    db_ = &db;
    db.Query(sql, {firsts_, seconds_}, [&](const Row& row) {
        long i = row.Integer(0);
        if (i < 1 || i > static_cast<long>(wanted_.size())) return;
        Entry& entry = entries_[wanted_[i - 1]];
        entry.same = row.Integer(values + 2);
        entry.values.clear();
        if (row.Integer(1) != 0) {
            for (int c = 2; c < values + 2; ++c) {
                // As the line's own query would fail on it.
                if (row.IsNull(c)) return;
                entry.values.emplace_back(row.Text(c));
            }
        }
        entry.answered = true;
    });
    LinkSameKeys();
    transaction_ = db.Transaction();
}

void AnswersAhead::LinkSameKeys() {
    std::vector<std::size_t> last(wanted_.size() + 1, kNone);
    for (std::size_t at : wanted_) {
        const long same = entries_[at].same;
        if (same < 1 || same > static_cast<long>(wanted_.size())) continue;
        if (last[same] != kNone) entries_[last[same]].nextSame = at;
        last[same] = at;
    }
}

void AnswersAhead::TryFetch(Connection& db, std::string_view sql, int values, long first,
                            const std::vector<AheadKey>& keys) noexcept {
    Clear();
    try {
        db.Flush();
    } catch (...) {
        return;
    }
    try {
        Fetch(db, sql, values, first, keys);
    } catch (...) {
        // A link that dropped is no fault of the query: it is asked again on the new one.
        if (!db.LinkDropped()) ++failures_;
        Clear();
    }
}

const AnswersAhead::Entry* AnswersAhead::At(long line) const noexcept {
    if (line < first_ || line - first_ >= static_cast<long>(entries_.size())) return nullptr;
    return &entries_[static_cast<std::size_t>(line - first_)];
}

namespace {
// On a server, the questions of this many lines at once.
constexpr std::size_t kWindow = 1024;
} // namespace

std::size_t AnswersAhead::Window(const Connection& db) const noexcept {
    return db.Remote() && !GaveUp() ? kWindow : 0;
}

long AnswersAhead::Count(Connection& db, std::string_view sql, long line, std::string_view a,
                         std::string_view b) const {
    const Entry* entry = Held(line, a, b);
    if (entry != nullptr && entry->values.size() == 1) return std::stol(entry->values[0]);
    return lngRequeteValeur(db, sql, {a, b});
}

const AnswersAhead::Entry* AnswersAhead::Held(long line, std::string_view a, std::string_view b) const {
    if (db_ == nullptr || transaction_ == 0 || db_->Transaction() != transaction_) return nullptr;
    const Entry* entry = At(line);
    if (entry == nullptr || !entry->answered || entry->key.first != a || entry->key.second != b)
        return nullptr;
    return entry;
}

bool AnswersAhead::Answer(long line, std::string_view a, std::string_view b, ResultTable& table) const {
    const Entry* entry = Held(line, a, b);
    if (entry == nullptr) return false;
    table.Reset(values_);
    for (int c = 0; c < static_cast<int>(entry->values.size()); ++c)
        table.Append(c, entry->values[static_cast<std::size_t>(c)]);
    return true;
}

void AnswersAhead::Stored(long line, std::string_view a, std::string_view b) {
    const Entry* entry = At(line);
    if (entry == nullptr || !entry->key.wanted || entry->key.first != a || entry->key.second != b) {
        Clear();
        return;
    }
    const long same = entry->same;
    if (same < 1 || same > static_cast<long>(wanted_.size())) return;
    // The keys held equal are linked from the first of them.
    for (std::size_t i = wanted_[same - 1]; i != kNone; i = entries_[i].nextSame) {
        Entry& other = entries_[i];
        if (!other.answered) continue;
        other.answered = false;
        dropped_.push_back(i);
    }
}

void AnswersAhead::StoredSecond(std::string_view b) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (!entry.answered || !entry.key.wanted || entry.key.second != b) continue;
        entry.answered = false;
        dropped_.push_back(i);
    }
}

void AnswersAhead::BackTo(const Point& point) noexcept {
    if (point.reads != reads_) {
        Clear();
        return;
    }
    for (std::size_t i = point.dropped; i < dropped_.size(); ++i)
        entries_[dropped_[i]].answered = true;
    dropped_.resize(point.dropped);
}

} // namespace quorvel::storage
