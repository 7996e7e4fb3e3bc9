// KvdConsole.h - what the tool writes, and the texts it gets from the library.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Writes text in the code page the exchange library talks in. A Windows console
// gets it as UTF-16, so that it shows the characters whatever the console's own
// code page is; a file or a pipe gets the bytes unchanged.
void WriteText(std::FILE* stream, std::string_view text);

// A text from the exchange library as UTF-8. On Windows the library talks in the
// process's ANSI code page; elsewhere it hands over the file's bytes, which are
// UTF-8 or, in an older file, the Windows Western code page.
std::string Utf8FromLibraryText(std::string_view text);
