// help_request_tests.cpp - the demo's reading of WinHelp's request blocks, one case a row.
// A block comes from another module (WinHelpA builds it), so offsets and sizes that do
// not fit must give no text rather than a read past the block.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "help_window.h"

namespace {

// size, command, data, reserved, offset of the file name, offset of extra data, then the name.
std::vector<BYTE> Block(WORD command, LONG data, WORD nameAt, const std::string& name, bool terminate = true)
{
    std::vector<BYTE> block(16 + name.size() + (terminate ? 1 : 0), 0);
    auto put = [&block](size_t at, const void* value, size_t size) { std::memcpy(&block[at], value, size); };
    put(2, &command, 2);
    put(4, &data, 4);
    put(12, &nameAt, 2);
    put(16, name.data(), name.size());
    const WORD size = static_cast<WORD>(block.size());
    put(0, &size, 2);
    return block;
}

const ULONG_PTR kSignature = 0xA1DE505;

// A row of the table: a block, and what the help window reads from it. Built by name:
//   Request("...", Block(...)).Reads(HELP_CONTEXT, 4, "kiv.hlp").Shows("Help: ...")
struct Case {
    std::string name;
    std::vector<BYTE> block;
    ULONG_PTR signature = kSignature;
    bool accepted = false;
    UINT command = 0;
    LONG data = 0;
    std::string file;
    std::string shown;

    Case& Signature(ULONG_PTR value) { signature = value; return *this; }
    Case& Reads(UINT command_, LONG data_, const std::string& file_)
    {
        accepted = true;
        command = command_;
        data = data_;
        file = file_;
        return *this;
    }
    Case& Shows(const std::string& text) { shown = text; return *this; }
};

Case Request(const std::string& name, std::vector<BYTE> block)
{
    Case c;
    c.name = name;
    c.block = std::move(block);
    return c;
}

} // namespace

int main()
{
    const Case cases[] = {
        Request("context 4 of kiv.hlp", Block(HELP_CONTEXT, 4, 16, "kiv.hlp"))
            .Reads(HELP_CONTEXT, 4, "kiv.hlp").Shows("Help: kiv.hlp, context 4"),
        Request("another command", Block(HELP_CONTENTS, 0, 16, "kiv.hlp"))
            .Reads(HELP_CONTENTS, 0, "kiv.hlp").Shows("Help: kiv.hlp, command 3, data 0"),
        Request("a name without its zero ends with the block", Block(HELP_CONTEXT, 5, 16, "kiv.hlp", false))
            .Reads(HELP_CONTEXT, 5, "kiv.hlp").Shows("Help: kiv.hlp, context 5"),
        Request("a name offset past the block gives no name", Block(HELP_CONTEXT, 3, 400, "kiv.hlp"))
            .Reads(HELP_CONTEXT, 3, "").Shows("Help: , context 3"),
        Request("a name offset inside the header gives no name", Block(HELP_CONTEXT, 3, 4, "kiv.hlp"))
            .Reads(HELP_CONTEXT, 3, "").Shows("Help: , context 3"),
        Request("a block shorter than its header is refused", std::vector<BYTE>(10, 0)),
        Request("another signature is refused", Block(HELP_CONTEXT, 4, 16, "kiv.hlp")).Signature(0x1234),
    };
    int failures = 0;
    for (const Case& c : cases) {
        COPYDATASTRUCT data = {};
        data.dwData = c.signature;
        data.cbData = static_cast<DWORD>(c.block.size());
        data.lpData = const_cast<BYTE*>(c.block.data());
        HelpRequest request;
        const bool accepted = HelpWindow::ParseRequest(data, request);
        std::string problem;
        if (accepted != c.accepted)
            problem = accepted ? "accepted" : "refused";
        else if (accepted && (request.command != c.command || request.data != c.data || request.file != c.file))
            problem = "read command " + std::to_string(request.command) + ", data " +
                      std::to_string(request.data) + ", file \"" + request.file + "\"";
        else if (accepted && request.Describe() != c.shown)
            problem = "shows \"" + request.Describe() + "\"";
        if (!problem.empty()) {
            std::printf("FAILED: %s: %s\n", c.name.c_str(), problem.c_str());
            ++failures;
        }
    }
    std::printf("%d of %d cases passed\n", static_cast<int>(sizeof cases / sizeof cases[0]) - failures,
                static_cast<int>(sizeof cases / sizeof cases[0]));
    return failures == 0 ? 0 : 1;
}
