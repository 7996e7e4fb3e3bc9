// KvdConsole.h - where the tool's text goes, and the texts it gets from the library.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// Standard output or standard error, buffered. Everything written is UTF-8. A
// console gets it through the console's wide output, so that it shows every
// character whatever the console's code page; a file or a pipe gets the UTF-8
// bytes. A write that fails throws: OutputGone when the reader has gone away (a
// closed pipe: the tool then ends at once and quietly), OutputLost otherwise.
class KvdOutput {
public:
    enum class Which { Out, Err };
    // Platform: CR LF on Windows, as Windows programs write text; Lf: LF everywhere
    // (JSON Lines).
    enum class LineEnds { Platform, Lf };

    struct OutputGone : std::runtime_error {
        OutputGone() : std::runtime_error("the reader of the output has gone") {}
    };
    struct OutputLost : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    KvdOutput(Which which, LineEnds ends);
    KvdOutput(const KvdOutput&) = delete;
    KvdOutput& operator=(const KvdOutput&) = delete;
    // Standard error goes out at every write; standard output once 64 KiB are waiting.
    void Write(std::string_view utf8);
    void Flush();

private:
    void Send(std::string_view utf8);

    Which which_;
    bool crlf_ = false;
    bool console_ = false;
    std::string pending_;
};

// A text from the exchange library (or the command line, which comes in the same
// code page) as UTF-8. On Windows the library talks in the process's ANSI code
// page, which the tool's manifest makes UTF-8 where Windows allows it (10 version
// 1903 and later); elsewhere it hands over the file's bytes. Either way a text
// that is not UTF-8 comes from an older file in the Windows Western code page.
std::string Utf8FromLibraryText(std::string_view text);
// The same, appended to `out` (a dump converts millions of texts: no allocation when
// `out` has room).
void AppendUtf8FromLibraryText(std::string& out, std::string_view text);
