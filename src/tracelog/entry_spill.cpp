#include "tracelog/entry_spill.hpp"

#include "base/file_system.hpp"

#include <quorvel/error.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

namespace quorvel {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw Error(errnum::kDiskFull, std::string("Rapport : fichier temporaire des entrées, ") + what + " : " +
                                       std::strerror(errno));
}

} // namespace

EntrySpill::EntrySpill() : file_(std::tmpfile()) {
    if (file_ == nullptr) Fail("création impossible");
}

EntrySpill::~EntrySpill() {
    std::fclose(file_);
}

void EntrySpill::Append(std::string_view json) {
    if (std::fwrite(json.data(), 1, json.size(), file_) != json.size() || std::fputc('\n', file_) == EOF)
        Fail("écriture impossible");
    size_ += json.size() + 1;
    ++count_;
}

void EntrySpill::Truncate(std::uint64_t size, long count) {
    if (size >= size_) return;
    if (std::fflush(file_) != 0 || !base::TruncateFile(file_, size) || std::fseek(file_, 0, SEEK_END) != 0)
        Fail("retour en arrière impossible");
    size_ = size;
    count_ = count;
}

void EntrySpill::CopyTo(std::ostream& out, std::string_view before) const {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) Fail("lecture impossible");
    char buffer[64 * 1024];
    std::uint64_t left = size_;
    bool lineStarts = true, first = true;
    while (left > 0) {
        std::size_t n = std::fread(buffer, 1, std::min<std::uint64_t>(sizeof buffer, left), file_);
        if (n == 0) Fail("lecture impossible");
        left -= n;
        // Each entry's line break becomes `before` ahead of the next entry.
        for (std::size_t from = 0; from < n;) {
            if (lineStarts && !first) out << before;
            lineStarts = first = false;
            const char* end = static_cast<const char*>(std::memchr(buffer + from, '\n', n - from));
            std::size_t to = end == nullptr ? n : static_cast<std::size_t>(end - buffer);
            out.write(buffer + from, static_cast<std::streamsize>(to - from));
            lineStarts = end != nullptr;
            from = to + (end != nullptr);
        }
    }
    std::fseek(file_, 0, SEEK_END);
}

} // namespace quorvel
