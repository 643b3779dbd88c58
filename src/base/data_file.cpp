#include "base/data_file.hpp"

#include "base/file_system.hpp"

#include <quorvel/error.hpp>

#include <cerrno>
#include <cstring>

namespace quorvel::base {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

DataFile::~DataFile() {
    Close();
}

void DataFile::Open(const std::string& path) {
    Close();
    if (IsDirectory(path)) throw PathError(path, EISDIR);
    std::FILE* f = OpenFile(path, "rb");
    if (f == nullptr) throw PathError(path, errno);
    file_ = f;
    path_ = path;
    buffer_.resize(kBufferSize);
    bufferStart_ = 0;
    pos_ = end_ = 0;
    if (!Fill()) return;
    std::string_view head(buffer_.data(), end_ < 3 ? end_ : 3);
    if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") {
        Close();
        throw Error(errnum::kBadFileFormat,
                    "Le fichier " + path +
                        " est un texte UTF-16 : enregistrez-le en Windows-1252 (ANSI) "
                        "ou en UTF-8 avant de l'importer.");
    }
    if (head == "\xEF\xBB\xBF") pos_ = 3;
}

void DataFile::Close() noexcept {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    pos_ = end_ = 0;
}

bool DataFile::Fill() {
    if (pos_ < end_) return true;
    if (file_ == nullptr) return false;
    bufferStart_ += end_;
    std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (n == 0 && std::ferror(file_)) {
        int err = errno;
        throw Error(errnum::kDeviceIO,
                    "Erreur d'entrée/sortie en lisant le fichier " + path_ + " : " + std::strerror(err));
    }
    pos_ = 0;
    end_ = n;
    cr_ = lf_ = kUnknown;
    return n > 0;
}

void DataFile::Seek(std::uint64_t offset) {
    // A line read again soon after (a batch done again) is still in the buffer: the file is
    // where the buffer ends, which is where the next Fill() reads from.
    if (file_ != nullptr && offset >= bufferStart_ && offset < bufferStart_ + end_) {
        pos_ = static_cast<std::size_t>(offset - bufferStart_);
        cr_ = lf_ = kUnknown;
        return;
    }
    if (file_ == nullptr || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        throw Error(errnum::kDeviceIO, "Erreur d'entrée/sortie en relisant le fichier " + path_);
    bufferStart_ = offset;
    pos_ = end_ = 0;
    cr_ = lf_ = kUnknown;
}

std::size_t DataFile::NextBreak() noexcept {
    // The next CR and the next LF are each searched for once, however many lines lie before
    // them; a file of CR-only line ends does not rescan its buffer for LFs at every line.
    auto find = [this](std::size_t& at, char c) {
        if (at != kUnknown && at >= pos_) return;
        const void* p = std::memchr(buffer_.data() + pos_, c, end_ - pos_);
        at = p == nullptr ? end_ : static_cast<std::size_t>(static_cast<const char*>(p) - buffer_.data());
    };
    find(cr_, '\r');
    find(lf_, '\n');
    return cr_ < lf_ ? cr_ : lf_;
}

bool DataFile::AtEnd() {
    return !Fill();
}

std::string_view DataFile::ReadLine() {
    if (!Fill()) throw Error(errnum::kInputPastEnd, "Entrée au-delà de la fin du fichier : " + path_);
    line_.clear();
    length_ = 0;
    // Keeps what fits of `n` more bytes of the line.
    auto keep = [this](const char* bytes, std::size_t n) {
        length_ += n;
        if (line_.size() < kMaxKept)
            line_.append(bytes, n < kMaxKept - line_.size() ? n : kMaxKept - line_.size());
    };
    for (;;) {
        const char* start = buffer_.data() + pos_;
        std::size_t avail = end_ - pos_;
        std::size_t i = NextBreak() - pos_;
        keep(start, i);
        if (i < avail) {
            char term = start[i];
            pos_ += i + 1;
            if (term == '\r' && Fill() && buffer_[pos_] == '\n') ++pos_;
            return line_;
        }
        pos_ = end_;
        if (!Fill()) return line_; // last line without a line end
    }
}

} // namespace quorvel::base
