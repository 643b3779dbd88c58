#pragma once
// The SQLCipher engine: the club application's encrypted database file.

#include "storage/engine.hpp"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::storage {

class SqliteEngine final : public Engine {
public:
    // Opens the file `path` (created when `create`, never otherwise) under `key`. Throws
    // quorvel::Error with the engine's result code and message when the file is missing, is not a
    // database or the key is wrong.
    SqliteEngine(const std::string& path, const std::string& key, bool create);
    ~SqliteEngine() override;

    Row& Start(std::string_view sql, Params params) override;
    bool Step(Row& statement) override;
    void Reset(Row& statement) noexcept override;
    void Run(const char* sql) override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;
    bool InTransaction() const noexcept override;
    bool WriterExcludesOthers() const noexcept override { return true; }
    std::uint64_t ChangesByOthers() override;

private:
    class Statement;
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    // The statements used last, by the address of the text they were asked with.
    struct RecentStatement {
        const char* where = nullptr;
        const std::string* sql = nullptr;
        Statement* stmt = nullptr;
    };

    Statement* Recent(std::string_view sql) const noexcept;
    [[noreturn]] void Fail(int rc);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<Statement>, StringHash, std::equal_to<>> cache_;
    std::array<RecentStatement, 8> recent_{};
    std::size_t nextRecent_ = 0;
};

} // namespace quorvel::storage
