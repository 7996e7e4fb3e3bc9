// KvdText.h - texts of an exchange file made fit for a terminal line or for JSON.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 text with every control character written as \xHH, HH its number: C0
// (below 32), DEL (127) and C1 (U+0080 to U+009F, which terminals act on as CSI, OSC
// and the like), so that an item of the tree or a message stays on one line and
// does nothing to the terminal that shows it.
std::string KvdOneLine(std::string_view utf8);
void AppendOneLine(std::string& out, std::string_view utf8);

// True when the UTF-8 text holds a C1 control (U+0080 to U+009F).
bool HasC1Control(std::string_view utf8);

// A field of a .kvd line (as AppendKvdText writes it) with every C1 control written
// as the escapes of its two UTF-8 bytes, "\xC2\xHH", in quotes: a reader of the
// format reads the same text back, and a terminal shows it without acting on it. A
// field without C1 controls is appended as it is.
void AppendFieldC1Escaped(std::string& out, std::string_view field);

// True when the whole text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsUtf8(std::string_view text);

// Appends the text as UTF-8, with U+FFFD for each piece that is not (the longest
// start of a sequence that breaks off, or a byte that starts none), as Windows shows
// such bytes to a program working in UTF-8.
void AppendUtf8OrReplacement(std::string& out, std::string_view text);

// A text in the Windows Western code page (1252) as UTF-8. The five bytes that
// code page leaves undefined stand for the control characters of the same number.
std::string Utf8FromWindows1252(std::string_view text);
void AppendUtf8FromWindows1252(std::string& out, std::string_view text);

// Appends the UTF-8 text as a JSON string, quotes included. Control characters,
// C1 ones too, are escaped.
void AppendJsonString(std::string& out, std::string_view utf8);

// The library's message about a refused file, or when it gave none (or only blanks)
// a message that says so: a refusal always says something.
std::string KvdRefusalMessage(std::string_view utf8Message);

// Where the library's message about a refused file places the fault: the first
// "line L, column C:" after `after` (the file's name, which the message quotes and
// which may itself hold such words). False when the message names no place (a
// missing file, say).
bool KvdMessagePlace(std::string_view message, std::string_view after, unsigned long long& line,
                     unsigned long long& column);
