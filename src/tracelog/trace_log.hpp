#pragma once
// The TraceLog: the French report of one call, and the shared ways of writing to it.

#include <quorvel/clock.hpp>
#include <quorvel/error.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quorvel::tracelog {

class RunRecorder;

// The TraceLog file could not be written (a full disk...): the run cannot tell what it does, so
// it stops.
class TraceLogFailure : public Error {
public:
    explicit TraceLogFailure(const Error& e) : Error(e) {}
};

// A line break inside one entry.
inline constexpr std::string_view kCrLf = "\r\n";

// The TraceLog file. Each Write is one entry: its text, then CR LF. Text is given in UTF-8 and
// written in Windows-1252. Nothing else is added: no time stamp, no prefix.
class TraceLog {
public:
    TraceLog() = default;
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;
    ~TraceLog();

    // Creates or empties `path`. Throws quorvel::Error naming the file when it cannot.
    void Open(const std::string& path);
    // Writes what is buffered and closes; throws if the last writes fail. Safe to call twice.
    void Close();

    // One entry. Throws quorvel::Error when the file cannot be written.
    void Write(std::string_view text);
    // One entry that the run report also lists: `note`, of kind `kind` ("Erreur" or "Warning"),
    // about line `line` of the current pass's file.
    void WriteLineEntry(std::string_view text, long line, std::string_view kind, std::string_view note);
    // The same about the whole file `file`, or about the run when `file` is empty.
    void WriteFileEntry(std::string_view text, std::string_view file, std::string_view kind,
                        std::string_view note);
    // Pushes buffered entries to the file. Throws TraceLogFailure when they cannot all be
    // written; the file then ends with the entry before them, never with a part of one.
    void Flush();

    // A batch of lines starts: what is buffered goes to the file, and from now on entries stay
    // buffered until Flush(), so that Rewind() can take the batch's entries back.
    void Mark();
    // Takes back every entry written since Mark(), from the buffer and from the file.
    void Rewind();
    // While entries are held: how much is held, a point TakeBack() can return to.
    std::size_t Held() const noexcept { return buffer_.size(); }
    // Takes back the entries held after point `held`.
    void TakeBack(std::size_t held) noexcept {
        if (held < buffer_.size()) buffer_.resize(held);
    }
    // The batch is over: entries go to the file again whenever the buffer is full.
    void Release() noexcept { held_ = false; }

    // The recorder that also receives the entries the run report lists, or null.
    void SetRecorder(RunRecorder* recorder) noexcept { recorder_ = recorder; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string buffer_;
    // Bytes in the file, and their number when Mark() was called.
    std::uint64_t written_ = 0;
    std::uint64_t marked_ = 0;
    bool held_ = false;
    RunRecorder* recorder_ = nullptr;
};

// "06/12/2026 17:38:04": the short date and long time of the French locale.
std::string strDateHeure(const LocalDateTime& when);

// "Erreur n° " + number + ": " + description.
std::string strTexteErreur(long lngNumero, std::string_view strDescription);
inline std::string strTexteErreur(const Error& e) {
    return strTexteErreur(e.number(), e.description());
}

// One entry: strType + " Ligne n° : " + line + "." + line break + strMessage.
void TraceLigne(TraceLog& trace, long lngLigne, std::string_view strMessage, std::string_view strType);

// The message, followed on the next line by the error being handled (`current`, or none when
// null); written through TraceLigne with the tag "Erreur" when `lngLigne` is not 0.
void TraceErreur(TraceLog& trace, std::string_view strMessage, long lngLigne, const Error* current = nullptr);

// Writes `strTexte` with every "<PLURIEL>" replaced by "s" when `lngNombre` > 1, else by "".
void TracePluriel(TraceLog& trace, long lngNombre, std::string_view strTexte);

} // namespace quorvel::tracelog
