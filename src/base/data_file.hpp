#pragma once
// The one way every pass reads an export file: line by line, as raw single-byte text.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::base {

// Reads a text file one line at a time without holding it whole. A line ends at CR LF, at a
// lone CR or at a lone LF; the line end is not part of the line, and a final line end does not
// make an extra empty line. Lines are the file's raw bytes (no conversion), less a UTF-8
// byte-order mark at the start of the file. Memory stays bounded whatever the input: of a line
// longer than kMaxKept bytes only its first kMaxKept bytes are kept (far more than any record
// holds), while it is read to its end.
class DataFile {
public:
    DataFile() = default;
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    ~DataFile();

    static constexpr std::size_t kMaxKept = 64 * 1024;

    // Opens `path` for reading. Throws quorvel::Error naming the file when it cannot be opened,
    // and when it is a UTF-16 text (which no record can be read from).
    void Open(const std::string& path);
    void Close() noexcept;

    // True when no byte is left to read.
    bool AtEnd();
    // The next line, valid until the next call. Throws quorvel::Error on a read failure or when
    // the file is at its end (an end-of-file error, as reading past the end is).
    std::string_view ReadLine();
    // The whole length of the last line read, including the bytes that were not kept.
    std::size_t LastLineLength() const noexcept { return length_; }
    // Where the next line starts, as a byte offset that Seek() takes back.
    std::uint64_t Tell() const noexcept { return bufferStart_ + pos_; }
    // Reads on from `offset`, a value Tell() gave. Throws quorvel::Error on a failure.
    void Seek(std::uint64_t offset);

private:
    bool Fill();
    // Where in the buffer the line at pos_ ends (end_ when it goes on past the buffer).
    std::size_t NextBreak() noexcept;
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::vector<char> buffer_;
    std::uint64_t bufferStart_ = 0; // offset in the file of buffer_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    // Positions in the buffer of the next CR and LF found, or kUnknown.
    std::size_t cr_ = kUnknown;
    std::size_t lf_ = kUnknown;
    std::string line_;
    std::size_t length_ = 0;
};

} // namespace quorvel::base
