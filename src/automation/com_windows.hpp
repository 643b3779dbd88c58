#pragma once
// What the Windows automation files share: the system's headers, text between UTF-8 and the
// platform's wide strings, the arguments a script host passes, and an error as an automation
// exception.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <oaidl.h>
#include <ole2.h>
#include <olectl.h>

#include "base/wide_text.hpp"

#include <quorvel/error.hpp>

#include <string>

namespace quorvel::automation {

using base::Wide;
// `length` characters of `text` in UTF-8, or up to its terminating zero when `length` is negative.
inline std::string Utf8(const wchar_t* text, int length = -1) {
    return base::Narrow(text, length);
}
// A new BSTR holding `text` (UTF-8); the caller frees it.
BSTR NewBstr(const std::string& text);

// An argument as a script host passes it: by value, or by reference (VT_BYREF|VT_VARIANT, or a
// typed reference from a compiled host). Each throws Error 13 when the value does not convert.
std::string TextArgument(const VARIANT& argument);
bool BooleanArgument(const VARIANT& argument);
// The object of an argument, AddRef'd; null for Nothing (or an empty argument).
IDispatch* ObjectArgument(const VARIANT& argument);

// The number the platform's hosts show for an error, as an HRESULT: facility "control" for the
// run-time error numbers, as a compiled component raises them.
HRESULT ErrorResult(const Error& error);
// Fills `info` (when given) with the error's number, description and the ProgID as its source.
void FillException(EXCEPINFO* info, const Error& error, const wchar_t* source);
// The same, handed to the caller's thread as its error information (for calls through the
// interface's own table rather than IDispatch::Invoke).
void SetThreadError(const Error& error, const wchar_t* source, REFIID iid);

} // namespace quorvel::automation
