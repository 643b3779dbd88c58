#include "base/wide_text.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quorvel::base {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, int length) {
    if (text == nullptr || length == 0) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), n, nullptr, nullptr);
    if (length < 0 && !narrow.empty()) narrow.pop_back(); // the terminating zero
    return narrow;
}

} // namespace quorvel::base
