// KvdConsole.h - where the tool's text goes, and the texts it gets from the library.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

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

// A text from the exchange library that is no file's (a message) or from the command
// line, which comes in the same code page, as UTF-8. On Windows the library talks in
// the process's ANSI code page, which the tool's manifest makes UTF-8 where Windows
// allows it (10 version 1903 and later); elsewhere it hands over UTF-8. A text that
// is not UTF-8 is taken to be in the Windows Western code page.
std::string Utf8FromLibraryText(std::string_view text);
// The same, appended to `out`.
void AppendUtf8FromLibraryText(std::string& out, std::string_view text);

// The texts of one open file as UTF-8, all by one rule, decided for the whole file as
// the library decides it. The library hands out a UTF-8 file's texts in the caller's
// code page, and an older file's (one that is not UTF-8 as a whole) unchanged, in its
// Windows code page. Where the caller's code page is UTF-8 (the tool's own, on
// Windows 10 version 1903 and later; always on other systems) the tool reads the
// file's bytes once, at its first text that is not ASCII, to know which: a UTF-8
// file's texts come out as UTF-8, with U+FFFD where an escape left bytes that are not
// (as a host shows them), an older file's from the Western code page. Otherwise
// every text is in the process's code page, and converted from it.
class KvdFileTexts {
public:
    // `path` as the library was given it.
    explicit KvdFileTexts(std::string path) : path_(std::move(path)) {}
    // Appends `text`, one of the file's texts, as UTF-8 (a dump converts millions of
    // texts: no allocation when `out` has room).
    void Append(std::string& out, std::string_view text);

private:
    enum class Kind { kUndecided, kUtf8, kWestern, kCodePage, kEachText };
    Kind Decide() const;

    std::string path_;
    Kind kind_ = Kind::kUndecided;
};
