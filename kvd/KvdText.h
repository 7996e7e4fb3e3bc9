// KvdText.h - texts of an exchange file made fit for a terminal line or for JSON.
#pragma once

#include <string>
#include <string_view>

// The text with every control byte (below 32, and 127) written as \xHH, so that
// an item of the tree or a message stays on one line.
std::string KvdOneLine(std::string_view text);
void AppendOneLine(std::string& out, std::string_view text);

// True when the whole text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsUtf8(std::string_view text);

// A text in the Windows Western code page (1252) as UTF-8. The five bytes that
// code page leaves undefined stand for the control characters of the same number.
std::string Utf8FromWindows1252(std::string_view text);

// Appends the UTF-8 text as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view utf8);

// Where the library's message about a refused file places the fault: the first
// "line L, column C:" after `after` (the file's name, which the message quotes and
// which may itself hold such words). False when the message names no place (a
// missing file, say).
bool KvdMessagePlace(std::string_view message, std::string_view after, unsigned long long& line,
                     unsigned long long& column);
