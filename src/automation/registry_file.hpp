#pragma once
// The per-user registry file: the text file in which registration records the classes and from
// which creation by ProgID finds them. Its format is described in quorvel.h.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::automation {

// $XDG_CONFIG_HOME/quorvel/registry.ini when XDG_CONFIG_HOME holds an absolute path, else
// $HOME/.config/quorvel/registry.ini (the home folder of the user's account when HOME is not
// set). Throws quorvel::Error when no home folder is known.
std::string RegistryFilePath();

// The registry file in memory. Lines are kept exactly as read, so that saving after removing
// some keys leaves every other line as it was.
class RegistryFile {
public:
    // The comment lines at the head of a file that registration creates.
    static const std::string_view kHeader;

    // Reads `path`; a file that does not exist is an empty registry. Throws quorvel::Error when
    // the file exists but cannot be read.
    static RegistryFile Load(const std::string& path);

    // The value `name` ("@" for the default value) of `key`, or nullopt when either is absent.
    // Keys and names match without regard to case; the last line wins.
    std::optional<std::string> Value(std::string_view key, std::string_view name) const;

    // Appends the key `key` with its values at the end of the file. Throws quorvel::Error for a
    // key or value that a line cannot hold (a line break, or brackets in the key).
    void AddKey(std::string_view key, const std::vector<std::pair<std::string, std::string>>& values);
    // Removes the key `key` and every key below it: their section lines and value lines.
    // Comment and blank lines stay. Returns whether anything was removed.
    bool RemoveTree(std::string_view key);

    // Writes the file back, replacing it in one step (the folder is created if needed). A file
    // holding nothing but kHeader is deleted instead. Throws quorvel::Error on failure.
    void Save() const;

    // The whole text as it would be saved.
    std::string Text() const;

private:
    std::string path_;
    std::vector<std::string> lines_; // each with its own line end
};

} // namespace quorvel::automation
