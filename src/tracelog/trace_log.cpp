#include "tracelog/trace_log.hpp"

#include "base/encoding.hpp"
#include "base/file_system.hpp"
#include "tracelog/run_recorder.hpp"

#include <cerrno>
#include <cstdio>

namespace quorvel::tracelog {

namespace {
constexpr std::size_t kFlushAt = 64 * 1024;
constexpr std::string_view kPluralMarker = "<PLURIEL>";
} // namespace

TraceLog::~TraceLog() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; Close() is called explicitly on every normal path.
    }
}

void TraceLog::Open(const std::string& path) {
    Close();
    if (base::IsDirectory(path)) throw base::PathError(path, EISDIR);
    std::FILE* f = base::OpenFile(path, "wb");
    if (f == nullptr) throw base::PathError(path, errno);
    // The TraceLog keeps its own buffer: a write that fails is then known at once, and nothing of
    // it is left in a library buffer to reach the file later.
    std::setvbuf(f, nullptr, _IONBF, 0);
    file_ = f;
    path_ = path;
    buffer_.clear();
    written_ = marked_ = 0;
    held_ = false;
}

void TraceLog::Flush() {
    if (file_ == nullptr || buffer_.empty()) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size() || std::fflush(file_) != 0) {
        int err = errno;
        buffer_.clear();
        // The part that was written goes again: the file ends with a whole entry.
        std::clearerr(file_);
        if (base::TruncateFile(file_, written_)) std::fseek(file_, 0, SEEK_END);
        throw TraceLogFailure(base::PathError(path_, err));
    }
    written_ += buffer_.size();
    buffer_.clear();
}

void TraceLog::Mark() {
    Flush();
    marked_ = written_;
    held_ = true;
}

void TraceLog::Rewind() {
    buffer_.clear();
    if (file_ == nullptr || written_ == marked_) return;
    if (!base::TruncateFile(file_, marked_) || std::fseek(file_, 0, SEEK_END) != 0)
        throw base::PathError(path_, errno);
    written_ = marked_;
}

void TraceLog::Close() {
    if (file_ == nullptr) return;
    std::FILE* f = file_;
    try {
        Flush();
    } catch (...) {
        std::fclose(f);
        file_ = nullptr;
        throw;
    }
    file_ = nullptr;
    if (std::fclose(f) != 0) throw base::PathError(path_, errno);
}

void TraceLog::Write(std::string_view text) {
    if (file_ == nullptr) throw Error(errnum::kFileNotOpen, "Le journal de traitement n'est pas ouvert.");
    std::size_t from = buffer_.size();
    base::AppendUtf8AsCp1252(buffer_, text);
    // Control characters echoed from a damaged file (NUL, Ctrl-Z...) have no visible form and cut
    // the text short in some viewers: they are shown as "?". Entries hold no others but CR and LF.
    for (std::size_t i = from; i < buffer_.size(); ++i) {
        auto c = static_cast<unsigned char>(buffer_[i]);
        if (c < 0x20 && c != '\r' && c != '\n' && c != '\t') buffer_[i] = '?';
    }
    buffer_ += kCrLf;
    if (buffer_.size() >= kFlushAt && !held_) Flush();
}

void TraceLog::WriteLineEntry(std::string_view text, long line, std::string_view kind,
                              std::string_view note) {
    Write(text);
    if (recorder_ != nullptr) recorder_->Entry(line, kind, note);
}

void TraceLog::WriteFileEntry(std::string_view text, std::string_view file, std::string_view kind,
                              std::string_view note) {
    Write(text);
    if (recorder_ != nullptr) recorder_->FileEntry(file, kind, note);
}

std::string strDateHeure(const LocalDateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return buf;
}

std::string strTexteErreur(long lngNumero, std::string_view strDescription) {
    std::string s = "Erreur n° ";
    s += std::to_string(lngNumero);
    s += ": ";
    s += strDescription;
    return s;
}

void TraceLigne(TraceLog& trace, long lngLigne, std::string_view strMessage, std::string_view strType) {
    std::string s;
    s.reserve(strType.size() + strMessage.size() + 32);
    s += strType;
    s += " Ligne n° : ";
    s += std::to_string(lngLigne);
    s += '.';
    s += kCrLf;
    s += strMessage;
    trace.WriteLineEntry(s, lngLigne, strType, strMessage);
}

void TraceErreur(TraceLog& trace, std::string_view strMessage, long lngLigne, const Error* current) {
    std::string s(strMessage);
    if (current != nullptr && current->number() != 0) {
        s += kCrLf;
        s += strTexteErreur(*current);
    }
    if (lngLigne == 0)
        trace.Write(s);
    else
        TraceLigne(trace, lngLigne, s, "Erreur");
}

void TracePluriel(TraceLog& trace, long lngNombre, std::string_view strTexte) {
    std::string_view ending = lngNombre > 1 ? "s" : "";
    std::string s;
    s.reserve(strTexte.size());
    std::size_t from = 0;
    for (;;) {
        auto at = strTexte.find(kPluralMarker, from);
        if (at == std::string_view::npos) break;
        s += strTexte.substr(from, at - from);
        s += ending;
        from = at + kPluralMarker.size();
    }
    s += strTexte.substr(from);
    trace.Write(s);
}

} // namespace quorvel::tracelog
