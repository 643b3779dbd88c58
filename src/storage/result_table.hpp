#pragma once
// The result of a tabular query: one list of text values per selected column.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::storage {

class ResultTable {
public:
    // Starts a new result of `columns` empty columns. Storage is kept for reuse.
    void Reset(int columns);
    void Append(int column, std::string_view value);

    int Columns() const noexcept { return columns_; }
    // Rows held by `column`; 0 for a column the result does not have.
    std::size_t Count(int column) const noexcept;
    // The value of `row` (numbered from 1) in `column`. Throws quorvel::Error (subscript out of
    // range) when there is no such value.
    const std::string& Item(int column, std::size_t row) const;

private:
    int columns_ = 0;
    std::vector<std::vector<std::string>> values_;
    std::vector<std::size_t> counts_;
};

} // namespace quorvel::storage
