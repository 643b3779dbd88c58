#include "i18n.hpp"

#include <clocale>
#include <filesystem>

namespace quorvel::cli {

namespace {

// The translations: beside the program (<prefix>/share/locale, also in the build tree, where the
// program is build/cli/quorvel and the catalogues build/share/locale), else at the configured
// install prefix.
std::string LocaleFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = exe.parent_path().parent_path() / "share/locale";
        if (std::filesystem::exists(beside / "fr/LC_MESSAGES/quorvel.mo", ec)) return beside.string();
    }
    return QUORVEL_INSTALLED_LOCALE;
}

} // namespace

void SetUpLanguage() {
    std::setlocale(LC_MESSAGES, "");
    ::bindtextdomain("quorvel", LocaleFolder().c_str());
    ::bind_textdomain_codeset("quorvel", "UTF-8");
}

std::string PC_(const char* context, const char* one, const char* many, long count) {
    // A text with a context is looked up as "context\x04text", as gettext's own pgettext does.
    const std::string key = std::string(context) + '\x04' + one;
    const std::string keys = std::string(context) + '\x04' + many;
    const unsigned long n = static_cast<unsigned long>(count < 0 ? -count : count);
    const char* found = ::dngettext("quorvel", key.c_str(), keys.c_str(), n);
    if (found == key || found == keys) return n == 1 ? one : many;
    return found;
}

std::string Fill(std::string text, std::initializer_list<std::string> values) {
    int n = 1;
    for (const std::string& value : values) {
        const std::string mark = "{" + std::to_string(n++) + "}";
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

} // namespace quorvel::cli
