// A build without GNU gettext (the Windows one): the program's texts as written, in English.

#include "i18n.hpp"

namespace quorvel::cli {

void SetUpLanguage() {}

std::string _(const char* english) {
    return english;
}

std::string P_(const char* one, const char* many, long count) {
    return count == 1 || count == -1 ? one : many;
}

std::string PC_(const char*, const char* one, const char* many, long count) {
    return P_(one, many, count);
}

} // namespace quorvel::cli
