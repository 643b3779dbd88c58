#pragma once
// Windows only: UTF-8 text to and from the UTF-16 text of the system's own API.

#include <string>

namespace quorvel::base {

std::wstring Wide(const std::string& text);
// `length` characters of `text`, or up to its terminating zero when `length` is negative.
std::string Narrow(const wchar_t* text, int length = -1);

} // namespace quorvel::base
