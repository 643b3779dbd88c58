#include "i18n.hpp"
#include "platform.hpp"

#include <libintl.h>

#include <clocale>
#include <filesystem>

namespace quorvel::cli {

namespace {

constexpr const char* kDomain = "quorvel";

unsigned long Count(long count) {
    return static_cast<unsigned long>(count < 0 ? -count : count);
}

// The translations: beside the program (<prefix>/share/locale, also in the build tree, where the
// program is build/cli/quorvel and the catalogues build/share/locale), else at the configured
// install prefix.
std::string LocaleFolder() {
    std::error_code ec;
    if (auto exe = ProgramFile(); !exe.empty()) {
        auto beside = exe.parent_path().parent_path() / "share/locale";
        if (std::filesystem::exists(beside / "fr/LC_MESSAGES/quorvel.mo", ec)) return beside.string();
    }
    return QUORVEL_INSTALLED_LOCALE;
}

} // namespace

void SetUpLanguage() {
    std::setlocale(LC_MESSAGES, "");
    ::bindtextdomain(kDomain, LocaleFolder().c_str());
    ::bind_textdomain_codeset(kDomain, "UTF-8");
}

std::string _(const char* english) {
    return ::dgettext(kDomain, english);
}

std::string P_(const char* one, const char* many, long count) {
    return ::dngettext(kDomain, one, many, Count(count));
}

std::string PC_(const char* context, const char* one, const char* many, long count) {
    // A text with a context is looked up as "context\x04text", as gettext's own pgettext does.
    const std::string key = std::string(context) + '\x04' + one;
    const std::string keys = std::string(context) + '\x04' + many;
    const unsigned long n = Count(count);
    const char* found = ::dngettext(kDomain, key.c_str(), keys.c_str(), n);
    if (found == key || found == keys) return n == 1 ? one : many;
    return found;
}

} // namespace quorvel::cli
