// KivCodePage.h - texts between the callers' ANSI code page and the UTF-8 of .kvd
// files. On Windows that is the process's code page (GetACP); the portable build
// takes its callers to speak UTF-8 already, and converts nothing.
#pragma once

#include <string>
#include <string_view>

// A caller's text in UTF-8. Every byte string converts; nothing fails.
std::string AnsiToUtf8(std::string_view text);

// A text of a UTF-8 file in the caller's code page: `text` itself when nothing needs
// converting, else `storage` filled. A character that the code page cannot show
// becomes '?'.
const char* Utf8ToAnsi(const char* text, std::string& storage);

// A message for the caller, from the library's UTF-8 (every message is UTF-8 as a
// whole: the session turns the paths and the system's words into it).
std::string MessageToAnsi(const std::string& message);

// True when the callers' code page needs no conversion.
bool AnsiIsUtf8();

// True when every byte is below 128: the same in every code page.
bool IsAsciiText(std::string_view text);
