#pragma once
// What the PostgreSQL engine's parts share: a statement prepared on the server, and the
// savepoint that failures take a transaction back to.

#include "storage/postgres_engine.hpp"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>
#include <string>
#include <vector>

namespace quorvel::storage {

// A statement standing alone inside a transaction: a failure undoes only itself.
inline constexpr const char* kSavepoint = "SAVEPOINT quorvel_statement";
inline constexpr const char* kUndoStatement = "ROLLBACK TO SAVEPOINT quorvel_statement";
inline constexpr const char* kEndStatement = "RELEASE SAVEPOINT quorvel_statement";
// The point a failing line takes the transaction back to.
inline constexpr const char* kSetPoint = "SAVEPOINT quorvel_point";
inline constexpr const char* kLetPointGo = "RELEASE SAVEPOINT quorvel_point";
inline constexpr const char* kBackToPoint = "ROLLBACK TO SAVEPOINT quorvel_point";

class PostgresEngine::Statement final : public Row {
public:
    Statement(std::string sql, std::string name, int parameters)
        : sql_(std::move(sql)), name_(std::move(name)), values_(parameters), pointers_(parameters) {}
    ~Statement() { Clear(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int ColumnCount() const override { return result_ != nullptr ? PQnfields(result_) : 0; }
    bool IsNull(int column) const override { return PQgetisnull(result_, row_, column) != 0; }
    std::string_view Text(int column) const override {
        return std::string_view(PQgetvalue(result_, row_, column),
                                static_cast<std::size_t>(PQgetlength(result_, row_, column)));
    }
    long long Integer(int column) const override {
        // As the file engine reads a number from text: its leading digits, 0 without any.
        return std::strtoll(PQgetvalue(result_, row_, column), nullptr, 10);
    }

    void Bind(Params params) {
        std::size_t i = 0;
        for (const Param& p : params) {
            if (i >= values_.size()) break;
            if (p.kind == Param::Kind::Text) {
                values_[i].assign(p.text);
            } else {
                char digits[24];
                auto [end, ec] = std::to_chars(digits, digits + sizeof digits, p.integer);
                values_[i].assign(digits, end);
            }
            pointers_[i] = values_[i].c_str();
            ++i;
        }
        for (; i < values_.size(); ++i)
            pointers_[i] = nullptr;
    }
    void Clear() noexcept {
        PQclear(result_);
        result_ = nullptr;
        row_ = -1;
    }
    // A digest of the values bound (FNV-1a).
    std::uint64_t Digest() const noexcept {
        std::uint64_t h = 14695981039346656037ull;
        for (std::size_t i = 0; i < values_.size(); ++i) {
            for (unsigned char c : values_[i])
                h = (h ^ c) * 1099511628211ull;
            h = (h ^ (pointers_[i] == nullptr ? 0xFEu : 0xFFu)) * 1099511628211ull;
        }
        return h;
    }

    // The text as asked, ?N parameters and all (the cache's key).
    std::string_view source_;
    std::string sql_;
    std::string name_;
    bool prepared_ = false;
    std::vector<std::string> values_;
    std::vector<const char*> pointers_;
    PGresult* result_ = nullptr;
    int row_ = -1;
    // Whether rows of this statement can go many to one statement, and for an update the
    // parameters it finds its rows by.
    ManyRows manyRows_ = ManyRows::Unknown;
    std::vector<std::size_t> keys_;
    std::vector<std::string> types_;
    // Whether the statement can run caught (see CatchReady()), and the call that runs it so.
    Caught caught_ = Caught::Unknown;
    Statement* call_ = nullptr;
};

} // namespace quorvel::storage
