#pragma once
// The program's own texts in the user's language (GNU gettext, domain "quorvel"): French when the
// locale's messages are French, English otherwise. The TraceLog, the report and the page are not
// translated: they come from the library. A build without GNU gettext (the Windows one) speaks
// English (i18n_gettext.cpp or i18n_none.cpp).

#include <initializer_list>
#include <string>

namespace quorvel::cli {

// Chooses the language from the environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) and finds the
// translations beside the program. Only the messages' category follows the locale: numbers,
// dates and character classes stay those of the "C" locale, so that runs behave the same
// everywhere.
void SetUpLanguage();

// The text `english` in the user's language.
std::string _(const char* english);

// The singular or plural text for `count`, in the user's language.
std::string P_(const char* one, const char* many, long count);

// The same, `context` telling apart texts that are alike in English but not in a translation
// (what is counted: "club", "licence"...).
std::string PC_(const char* context, const char* one, const char* many, long count);

// `text` with {1}, {2}... replaced by `values` (a translation may reorder them).
std::string Fill(std::string text, std::initializer_list<std::string> values);

} // namespace quorvel::cli
