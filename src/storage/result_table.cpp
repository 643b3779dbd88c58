#include "storage/result_table.hpp"

#include <quorvel/error.hpp>

namespace quorvel::storage {

void ResultTable::Reset(int columns) {
    columns_ = columns < 0 ? 0 : columns;
    if (values_.size() < static_cast<std::size_t>(columns_)) {
        values_.resize(columns_);
        counts_.resize(columns_);
    }
    for (int c = 0; c < columns_; ++c)
        counts_[c] = 0;
}

void ResultTable::Append(int column, std::string_view value) {
    auto& col = values_[column];
    std::size_t n = counts_[column];
    if (n < col.size())
        col[n].assign(value);
    else
        col.emplace_back(value);
    counts_[column] = n + 1;
}

std::size_t ResultTable::Count(int column) const noexcept {
    if (column < 0 || column >= columns_) return 0;
    return counts_[column];
}

const std::string& ResultTable::Item(int column, std::size_t row) const {
    if (row == 0 || row > Count(column))
        throw Error(errnum::kSubscriptOutOfRange, "L'indice n'appartient pas à la sélection.");
    return values_[column][row - 1];
}

} // namespace quorvel::storage
