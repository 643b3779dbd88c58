#include "storage/answers_ahead.hpp"

#include "storage/plain_text.hpp"
#include "storage/queries.hpp"

#include <unordered_map>

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

// The two array literals that ask the wanted keys' two parts, in order. False when no key is
// wanted.
bool KeyArrays(const std::vector<AheadKey>& keys, std::string& firsts, std::string& seconds) {
    firsts.clear();
    seconds.clear();
    for (const AheadKey& key : keys) {
        if (!key.wanted) continue;
        AppendElement(firsts, key.first);
        AppendElement(seconds, key.second);
    }
    if (firsts.empty()) return false;
    firsts += '}';
    seconds += '}';
    return true;
}

} // namespace

bool AnswersAhead::Prepare(long first, const std::vector<AheadKey>& keys) {
    first_ = first;
    wanted_.clear();
    entries_.resize(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        entries_[i].key = keys[i];
        if (keys[i].wanted) wanted_.push_back(i);
    }
    return KeyArrays(keys, firsts_, seconds_);
}

void AnswersAhead::Take(const Row& row) {
    long i = row.Integer(0);
    if (i < 1 || i > static_cast<long>(wanted_.size())) return;
    Entry& entry = entries_[wanted_[i - 1]];
    entry.same = row.Integer(values_ + 2);
    entry.values.clear();
    if (row.Integer(1) != 0) {
        for (int c = 2; c < values_ + 2; ++c) {
            // As the line's own query would fail on it.
            if (row.IsNull(c)) return;
            entry.values.emplace_back(row.Text(c));
        }
    }
    entry.answered = true;
}

void AnswersAhead::Fetch(Connection& db, std::string_view sql, int values, long first,
                         const std::vector<AheadKey>& keys) {
    Clear();
    values_ = values;
    if (!Prepare(first, keys)) return;
    db_ = &db;
    db.Query(sql, {firsts_, seconds_}, [&](const Row& row) { Take(row); });
    LinkSameKeys();
    transaction_ = db.Transaction();
}

bool AnswersAhead::TakeNext(Connection& db, std::string_view sql) {
    // (the connection forgets the rows of a query sent ahead once its transaction ends)
    if (!next_.sent || next_.first != first_ || next_.sql != sql || next_.firsts != firsts_ ||
        next_.seconds != seconds_)
        return false;
    next_.sent = false;
    db_ = &db;
    if (!db.TakeAhead([&](const Row& row) { Take(row); })) return false;
    LinkSameKeys();
    transaction_ = db.Transaction();
    return true;
}

void AnswersAhead::FetchNext(Connection& db, std::string_view sql, long first,
                             const std::vector<AheadKey>& keys) noexcept {
    next_.sent = false;
    if (GaveUp()) return;
    try {
        if (!KeyArrays(keys, next_.firsts, next_.seconds) ||
            !db.SendAhead(sql, {next_.firsts, next_.seconds}))
            return;
        next_.sent = true;
        next_.first = first;
        next_.sql.assign(sql);
    } catch (...) {
        // The window is then asked as it comes; a failure of the statements sent before shows there.
    }
}

void AnswersAhead::FoldSameKeys() {
    std::unordered_map<std::string, long> firstOf;
    std::string folded;
    for (std::size_t n = 0; n < wanted_.size(); ++n) {
        Entry& entry = entries_[wanted_[n]];
        folded.clear();
        for (const std::string* part : {&entry.key.first, &entry.key.second}) {
            AppendFolded(folded, *part);
            folded += '\0';
        }
        entry.same = firstOf.try_emplace(folded, static_cast<long>(n) + 1).first->second;
    }
}

void AnswersAhead::LinkSameKeys() {
    if (foldSame_) FoldSameKeys();
    std::vector<std::size_t> last(wanted_.size() + 1, kNone);
    for (std::size_t at : wanted_) {
        const long same = entries_[at].same;
        if (same < 1 || same > static_cast<long>(wanted_.size())) continue;
        if (last[same] != kNone) entries_[last[same]].nextSame = at;
        last[same] = at;
    }
}

void AnswersAhead::TryFetch(Connection& db, std::string_view sql, int values, long first,
                            const std::vector<AheadKey>& keys, bool foldSame) noexcept {
    Next next = std::move(next_);
    Clear();
    foldSame_ = foldSame;
    try {
        db.Flush();
    } catch (...) {
        return;
    }
    try {
        next_ = std::move(next);
        values_ = values;
        if (Prepare(first, keys) && TakeNext(db, sql)) return;
        Fetch(db, sql, values, first, keys);
    } catch (...) {
        // A link that dropped is no fault of the query: it is asked again on the new one; nor are
        // lines done again that part from what the server ran.
        if (!db.LinkDropped() && !db.Parted()) ++failures_;
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
    const std::string_view count = Value(line, a, b, 0);
    if (!count.empty()) return std::stol(std::string(count));
    return lngRequeteValeur(db, sql, {a, b});
}

std::string_view AnswersAhead::Value(long line, std::string_view a, std::string_view b,
                                     std::size_t column) const {
    const Entry* entry = Held(line, a, b);
    if (entry == nullptr || column >= entry->values.size()) return {};
    return entry->values[column];
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
    next_.sent = false;
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
    next_.sent = false;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        if (!entry.answered || !entry.key.wanted || entry.key.second != b) continue;
        entry.answered = false;
        dropped_.push_back(i);
    }
}

void AnswersAhead::BackTo(const Point& point) noexcept {
    next_.sent = false;
    if (point.reads != reads_) {
        Clear();
        return;
    }
    for (std::size_t i = point.dropped; i < dropped_.size(); ++i)
        entries_[dropped_[i]].answered = true;
    dropped_.resize(point.dropped);
}

} // namespace quorvel::storage
