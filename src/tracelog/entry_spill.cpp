#include "tracelog/entry_spill.hpp"

#include <quorvel/error.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>
#include <unistd.h>

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
    if (std::fflush(file_) != 0 || ::ftruncate(::fileno(file_), static_cast<off_t>(size)) != 0 ||
        std::fseek(file_, 0, SEEK_END) != 0)
        Fail("retour en arrière impossible");
    size_ = size;
    count_ = count;
}

void EntrySpill::CopyTo(std::ostream& out, std::string_view before) const {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) Fail("lecture impossible");
    std::string line;
    bool first = true;
    char buffer[64 * 1024];
    std::uint64_t left = size_;
    while (left > 0) {
        std::size_t n = std::fread(buffer, 1, std::min<std::uint64_t>(sizeof buffer, left), file_);
        if (n == 0) Fail("lecture impossible");
        left -= n;
        for (std::size_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line += buffer[i];
                continue;
            }
            if (!first) out << before;
            out << line;
            first = false;
            line.clear();
        }
    }
    std::fseek(file_, 0, SEEK_END);
}

} // namespace quorvel
