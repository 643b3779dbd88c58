#pragma once
// The entries of a run report kept in a temporary file rather than in memory: one JSON object a
// line, in the order of the run, cut back when a batch is undone.

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string_view>

namespace quorvel {

class EntrySpill {
public:
    // An anonymous temporary file (gone with the process); throws quorvel::Error when none can be
    // made.
    EntrySpill();
    ~EntrySpill();
    EntrySpill(const EntrySpill&) = delete;
    EntrySpill& operator=(const EntrySpill&) = delete;

    // Appends one entry's JSON text (no line break inside).
    void Append(std::string_view json);
    // The bytes and entries held; Truncate() goes back to such a point.
    std::uint64_t Size() const noexcept { return size_; }
    long Count() const noexcept { return count_; }
    void Truncate(std::uint64_t size, long count);
    // Writes the entries, each after `before` but the first.
    void CopyTo(std::ostream& out, std::string_view before) const;

private:
    std::FILE* file_;
    std::uint64_t size_ = 0;
    long count_ = 0;
};

} // namespace quorvel
