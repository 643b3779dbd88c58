#include "backup.hpp"
#include "i18n.hpp"

#include <quorvel/clock.hpp>
#include <quorvel/database.hpp>
#include <quorvel/database_tools.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;

// "20261207-123005", local time.
std::string Stamp() {
    LocalDateTime now = SystemClock()();
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return text;
}

// PREFIX + YYYYMMDD-HHMMSS, and "-N" when two copies were made in the same second.
bool IsBackupName(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size() + 15 || name.rfind(prefix, 0) != 0) return false;
    std::string stamp = name.substr(prefix.size());
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        bool digit = std::isdigit(static_cast<unsigned char>(stamp[i]));
        if (i == 8 || i == 15 ? stamp[i] != '-' : !digit) return false;
    }
    return stamp.size() == 15 || stamp.size() > 16;
}

} // namespace

void AddBackupOptions(CLI::App* command, BackupArgs& args) {
    command->add_option("--backup", args.folder,
                        _("Folder of the copy of the database made before the run writes to it "
                          "(default: beside the database, as NAME.avant-import-YYYYMMDD-HHMMSS; the last 5 "
                          "are kept; 'quorvel restore' puts the latest back)"));
    command->add_flag("--no-backup", args.none, _("Make no copy of the database before the run"));
}

std::string BackupFolder(const std::string& db, const BackupArgs& args) {
    if (!args.folder.empty()) return args.folder;
    return fs::path(db).parent_path().string();
}

std::vector<std::string> Backups(const std::string& db, const std::string& folder) {
    const std::string prefix = fs::path(db).filename().string() + kBackupMark;
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec))
        if (entry.is_regular_file(ec) && IsBackupName(entry.path().filename().string(), prefix))
            found.push_back((fs::path(folder) / entry.path().filename()).string());
    // By time, then by the same second's number ("-2", "-3"...).
    auto key = [](const std::string& path) {
        std::size_t end = path.rfind(kBackupMark) + std::strlen(kBackupMark) + 15;
        long n = end < path.size() ? std::stol(path.substr(end + 1)) : 1;
        return std::make_pair(path.substr(0, end), n);
    };
    std::sort(found.begin(), found.end(),
              [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
    return found;
}

std::string RunBackup::Make(const std::string& db, const BackupArgs& args, bool preview,
                            const char* command) {
    std::error_code ec;
    if (args.none || preview || IsServerUri(db) || !fs::is_regular_file(db, ec)) return {};
    folder_ = BackupFolder(db, args);
    const std::string name = fs::path(db).filename().string() + kBackupMark + Stamp();
    std::string copy = (fs::path(folder_) / name).string();
    for (int i = 2; fs::exists(copy, ec) || fs::exists(copy + kAfterRunMark, ec); ++i)
        copy = (fs::path(folder_) / (name + "-" + std::to_string(i))).string();
    try {
        CopyDatabaseFile(db, copy);
    } catch (const Error& e) {
        // A file that is not the application's database gets no copy: the run says why it cannot
        // open it.
        try {
            DescribeDatabase(db);
        } catch (const Error&) {
            return {};
        }
        return Fill(_("quorvel {1}: cannot copy the database before the import to {2} (Error no. {3}: "
                      "{4}); nothing was changed. Choose another folder with --backup FOLDER, or "
                      "--no-backup to import without a copy."),
                    {command, copy, std::to_string(e.number()), e.description()});
    }
    db_ = db;
    copy_ = copy;
    return {};
}

void RunBackup::Keep() {
    if (copy_.empty()) return;
    try {
        std::ofstream(copy_ + kAfterRunMark, std::ios::trunc) << ContentFingerprint(db_) << "\n";
    } catch (const Error&) {
        // Without the record, `restore` asks for --force: it cannot tell what changed since.
    }
    std::vector<std::string> copies = Backups(db_, folder_);
    std::error_code ec;
    for (std::size_t i = 0; i + kBackupsKept < copies.size(); ++i) {
        fs::remove(copies[i], ec);
        fs::remove(copies[i] + kAfterRunMark, ec);
    }
}

void RunBackup::Drop() {
    std::error_code ec;
    if (!copy_.empty()) fs::remove(copy_, ec);
    copy_.clear();
}

} // namespace quorvel::cli
