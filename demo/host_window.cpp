// host_window.cpp - the demo's main window and the calls into derar.dll.
#include "host_window.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>

#include "derar.h"

namespace {

const char kClassName[] = "DerarDemoHost";

enum ControlId {
    IDC_SAMPLE_LABEL = 100,
    IDC_SAMPLE,
    IDC_AUTHOR_LABEL,
    IDC_AUTHOR,
    IDC_WELL_LABEL,
    IDC_WELL,
    IDC_NAMES_LABEL,
    IDC_NAMES,
    IDC_IMPORT,
    IDC_EXPORT,
    IDC_BROWSE,
    IDC_BROWSE_LAST,
    IDC_REFILL,
    IDC_RESULT_LABEL,
    IDC_RESULT,
};

// Names the library does not know, added to the candidates so that a person sees
// what happens to them ("New" rows on export, dropped on import).
const char* const kNamesNotInFile[] = {"Demo Object A", "Demo Object B"};

// The library's name buffers are 256 bytes: 255 characters and the terminating zero.
const size_t kNameBufferSize = 256;

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

HostWindow::HostWindow()
    : m_help(new HelpWindow([this](const HelpRequest& request) { Log(request.Describe()); }))
{
}

HostWindow::~HostWindow()
{
    if (m_hwnd) DestroyWindow(m_hwnd);
}

bool HostWindow::Create(HINSTANCE instance)
{
    m_instance = instance;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return false;

    RECT frame = {0, 0, 640, 560};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    m_hwnd = CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, "derar demo host", style, 40, 40,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             instance, this);
    if (!m_hwnd) return false;
    if (!m_help->Create(instance)) return false;
    CreateControls();
    FillSampleList();
    return true;
}

void HostWindow::CreateControls()
{
    struct Control {
        int id;
        const char* kind;
        const char* text;
        DWORD style;
        int x, y, width, height;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD button = child | WS_TABSTOP | BS_PUSHBUTTON;
    const Control controls[] = {
        {IDC_SAMPLE_LABEL, "STATIC", "&Sample file:", child, 12, 15, 110, 16},
        {IDC_SAMPLE, "COMBOBOX", "", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 130, 12, 300, 200},
        {IDC_AUTHOR_LABEL, "STATIC", "Current &author:", child, 12, 47, 110, 16},
        {IDC_AUTHOR, "EDIT", "", child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 130, 44, 300, 22},
        {IDC_WELL_LABEL, "STATIC", "Current &well id:", child, 12, 77, 110, 16},
        {IDC_WELL, "EDIT", "", child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 130, 74, 300, 22},
        {IDC_NAMES_LABEL, "STATIC", "&Candidate names, one a line:", child, 12, 108, 300, 16},
        {IDC_NAMES, "EDIT", "",
         child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
         12, 128, 418, 230},
        {IDC_IMPORT, "BUTTON", "&Import...", button, 450, 128, 176, 28},
        {IDC_EXPORT, "BUTTON", "&Export...", button, 450, 162, 176, 28},
        {IDC_BROWSE, "BUTTON", "&Browse this file...", button, 450, 210, 176, 28},
        {IDC_BROWSE_LAST, "BUTTON", "Browse the &last file...", button, 450, 244, 176, 28},
        {IDC_REFILL, "BUTTON", "&Reset names", button, 450, 330, 176, 28},
        {IDC_RESULT_LABEL, "STATIC", "What the library returned:", child, 12, 372, 300, 16},
        {IDC_RESULT, "EDIT", "",
         child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
         12, 392, 614, 156},
    };
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    for (const Control& c : controls) {
        HWND hwnd = CreateWindowExA(0, c.kind, c.text, c.style, c.x, c.y, c.width, c.height, m_hwnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), m_instance,
                                    nullptr);
        SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

bool HostWindow::IsDialogMessage(MSG& message) const
{
    return m_hwnd && ::IsDialogMessageA(m_hwnd, &message);
}

void HostWindow::FillSampleList()
{
    HWND combo = GetDlgItem(m_hwnd, IDC_SAMPLE);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    m_sampleFiles = ListExchangeFiles(SamplesDirectory());
    for (const std::string& name : m_sampleFiles)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (m_sampleFiles.empty()) {
        Log("No sample files in " + SamplesDirectory());
        return;
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    RefillFromSample();
}

bool HostWindow::ChooseSample(const std::string& fileName)
{
    HWND combo = GetDlgItem(m_hwnd, IDC_SAMPLE);
    const LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(fileName.c_str()));
    if (index == CB_ERR) return false;
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    RefillFromSample();
    return true;
}

std::string HostWindow::ChosenSample() const
{
    HWND combo = GetDlgItem(m_hwnd, IDC_SAMPLE);
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return std::string();
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strlen(text.c_str()));
    return text;
}

// Candidates: every object of the sample plus names it lacks; the current author
// and well are those of the first object, so that it draws no warning on export.
void HostWindow::RefillFromSample()
{
    const std::string fileName = ChosenSample();
    std::string error;
    if (fileName.empty()) return;
    if (!ReadObjects(SamplesDirectory(), fileName, m_objects, error)) {
        Log(fileName + ": " + error);
        return;
    }
    std::vector<std::string> names;
    for (const SampleObject& object : m_objects) names.push_back(object.name);
    for (const char* name : kNamesNotInFile) names.push_back(name);
    SetCandidates(names);
    SetCurrentAuthor(m_objects.empty() ? std::string() : m_objects.front().author);
    SetCurrentWellId(m_objects.empty() ? std::string() : m_objects.front().wellId);
}

void HostWindow::SetCurrentAuthor(const std::string& author)
{
    SetDlgItemTextA(m_hwnd, IDC_AUTHOR, author.c_str());
}

void HostWindow::SetCurrentWellId(const std::string& wellId)
{
    SetDlgItemTextA(m_hwnd, IDC_WELL, wellId.c_str());
}

void HostWindow::SetCandidates(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += name + "\r\n";
    SetDlgItemTextA(m_hwnd, IDC_NAMES, text.c_str());
}

std::vector<std::string> HostWindow::Candidates() const
{
    return SplitLines(ControlText(IDC_NAMES));
}

std::string HostWindow::ControlText(int id) const
{
    HWND control = GetDlgItem(m_hwnd, id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    const int length = GetWindowTextA(control, &text[0], static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

void HostWindow::Log(const std::string& line)
{
    HWND result = GetDlgItem(m_hwnd, IDC_RESULT);
    if (!result) return;
    const std::string text = line + "\r\n";
    const LPARAM end = GetWindowTextLengthA(result);
    SendMessageA(result, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageA(result, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(result, EM_SCROLLCARET, 0, 0);
}

TransferOutcome HostWindow::Transfer(bool import)
{
    return TransferFile(import, SamplesDirectory(), ChosenSample());
}

TransferOutcome HostWindow::TransferFile(bool import, const std::string& directory,
                                         const std::string& fileName)
{
    // One 256-byte buffer per candidate: the library never returns more names than it got.
    const std::vector<std::string> candidates = Candidates();
    std::vector<std::array<char, kNameBufferSize>> buffers(candidates.size());
    std::vector<char*> names(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
        lstrcpynA(buffers[i].data(), candidates[i].c_str(), static_cast<int>(kNameBufferSize));
        names[i] = buffers[i].data();
    }
    const std::string folder = WithSeparator(directory);
    const std::string author = ControlText(IDC_AUTHOR), wellId = ControlText(IDC_WELL);

    TransferOutcome outcome;
    outcome.count = static_cast<int>(candidates.size());
    outcome.result = KivImpExpDialog(import ? 1 : 0, folder.c_str(), fileName.c_str(), author.c_str(),
                                     wellId.c_str(), names.empty() ? nullptr : names.data(),
                                     &outcome.count);
    for (int i = 0; i < outcome.count && i < static_cast<int>(names.size()); ++i)
        outcome.names.push_back(names[i]);

    Log(std::string("KivImpExpDialog(") + (import ? "import" : "export") + ", " + Quoted(folder) + ", " +
        Quoted(fileName) + ", author " + Quoted(author) + ", well " + Quoted(wellId) + ", " +
        std::to_string(candidates.size()) + " candidates) returned " + std::to_string(outcome.result) +
        ", count " + std::to_string(outcome.count) + (outcome.names.empty() ? "" : ":"));
    for (const std::string& name : outcome.names) Log("    " + name);

    if (outcome.result == 1 && !outcome.names.empty()) {
        const std::string path = folder + fileName;
        if (import) {
            ReadChosen(path, outcome.names);
        } else if (WriteChosen(path, outcome.names)) {
            Browse(folder, fileName);
        }
    }
    return outcome;
}

// The import side: the chosen objects' values become the host's data, replacing
// what it held under those names.
void HostWindow::ReadChosen(const std::string& path, const std::vector<std::string>& names)
{
    std::vector<HostObject> read;
    std::string error;
    if (!ReadChosenObjects(path, names, read, error)) {
        Log("Reading the chosen objects failed: " + error);
        MessageBoxA(m_hwnd, error.c_str(), "derar demo host", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_data.erase(std::remove_if(m_data.begin(), m_data.end(),
                                [&names](const HostObject& object) {
                                    return std::find(names.begin(), names.end(), object.name) != names.end();
                                }),
                 m_data.end());
    for (const HostObject& object : read) {
        Log("Read " + Quoted(object.name) + " by " + object.author + ", " + std::to_string(object.values.size()) +
            " values:");
        const size_t shown = std::min<size_t>(object.values.size(), 3);
        for (size_t i = 0; i < shown; ++i) {
            const HostValue& value = object.values[i];
            Log("    " + value.group + " " + std::to_string(value.record) + ": " + value.name + " = " + value.text +
                (value.suffix.empty() ? "" : " " + value.suffix));
        }
        if (shown < object.values.size()) Log("    ...");
        m_data.push_back(object);
    }
}

// The export side: each chosen name is written with the host's values for it (or
// made-up ones for a name it has none for), under the current author and well.
bool HostWindow::WriteChosen(const std::string& path, const std::vector<std::string>& names)
{
    const std::string author = ControlText(IDC_AUTHOR), wellId = ControlText(IDC_WELL);
    std::vector<HostObject> objects;
    for (const std::string& name : names) {
        bool held = false;
        for (const HostObject& data : m_data)
            if (data.name == name) {
                HostObject object = data;
                object.author = author;
                object.wellId = wellId;
                object.date.clear();  // written now
                objects.push_back(object);
                held = true;
            }
        if (!held) objects.push_back(MakeDemoObject(name, author, wellId));
    }
    std::string error;
    if (!WriteObjects(path, objects, error)) {
        Log("Writing " + path + " failed: " + error);
        MessageBoxA(m_hwnd, error.c_str(), "derar demo host", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    size_t values = 0;
    for (const HostObject& object : objects) values += object.values.size();
    Log("Wrote " + std::to_string(objects.size()) + " objects with " + std::to_string(values) + " values into " + path);
    return true;
}

int HostWindow::Browse(const std::string& directory, const std::string& fileName)
{
    const int result = KivBrowseDialog(directory.c_str(), fileName.c_str());
    Log("KivBrowseDialog(" + Quoted(directory) + ", " + Quoted(fileName) + ") returned " +
        std::to_string(result));
    return result;
}

void HostWindow::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_SAMPLE:
        if (code == CBN_SELCHANGE) RefillFromSample();
        break;
    case IDC_REFILL:
        RefillFromSample();
        break;
    case IDC_IMPORT:
    case IDC_EXPORT:
        if (ChosenSample().empty())
            Log("Choose a sample file first.");
        else
            Transfer(id == IDC_IMPORT);
        break;
    case IDC_BROWSE:
        Browse(SamplesDirectory(), ChosenSample());
        break;
    case IDC_BROWSE_LAST:
        Browse("", ""); // both texts empty: the browser shows the file it showed last
        break;
    }
}

LRESULT CALLBACK HostWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<HostWindow*>(create->lpCreateParams)->m_hwnd = hwnd;
    }
    HostWindow* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT HostWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        return 0;
    }
    return DefWindowProcA(m_hwnd, message, wParam, lParam);
}
