// tour.cpp - the scripted tour of every dialog, with screenshots.
//
// The tour uses the host window as a person would (a sample file, its names, the
// current author and well) and plays the person inside the library's dialogs. It
// chooses the inputs from the sample's own objects, so that each kind of overwrite
// warning is sure to appear: on export an object of the current author, moved to
// the lower list with another current well, draws the well identifier warning and
// the names that the file lacks ("New" rows) draw the author warning; on import
// the same object draws the current data warning.
//
// The export writes for real, into a copy of the sample (the bundled samples stay
// as they are for the next tour): the browser then shows the written file, and
// the import reads the chosen objects' values back from that copy.
#include "tour.h"

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "dpi_run.h"
#include "host_window.h"
#include "resource.h"
#include "warning_text.h"
#include "window_picture.h"

using hostkit::AnyMessageBox;
using hostkit::Dialog;
using hostkit::ListView;
using hostkit::WithControl;
using hostkit::Picture;
using hostkit::SteadyCapture;
using hostkit::WarningKind;

namespace {

const char kExportTitle[] = "Kiv Export";
const char kImportTitle[] = "Kiv Import";
const char kWarningTitle[] = "Warning";
const char kBrowserTitle[] = "Browse Kiv File";
// A visible dialog of this thread with that title, or nullptr; also one that a
// warning in front of it has disabled.
HWND FindDialog(const std::string& title)
{
    for (HWND hwnd : hostkit::VisibleThreadWindows()) {
        const Dialog dialog(hwnd);
        if (dialog.ClassName() == "#32770" && dialog.Caption() == title) return hwnd;
    }
    return nullptr;
}

// The screen where the windows stand, each as it paints itself, later ones on top: a
// dialog with the Find dialog or a menu over it.
bool PictureOfWindows(const std::vector<HWND>& windows, Picture& picture)
{
    RECT all = {};
    std::vector<std::pair<RECT, Picture>> parts;
    for (HWND hwnd : windows) {
        RECT rect;
        Picture part;
        std::string error;
        if (!GetWindowRect(hwnd, &rect) || !hostkit::CaptureWindow(hwnd, part, error)) return false;
        UnionRect(&all, parts.empty() ? &rect : &all, &rect);
        parts.emplace_back(rect, part);
    }
    picture.width = all.right - all.left;
    picture.height = all.bottom - all.top;
    picture.rgb.assign(static_cast<size_t>(picture.width) * picture.height * 3, 0xFF);
    for (const auto& part : parts) {
        const Picture& pixels = part.second;
        const size_t row = static_cast<size_t>(pixels.width) * 3;
        for (int y = 0; y < pixels.height; ++y) {
            const size_t at =
                static_cast<size_t>(part.first.top - all.top + y) * picture.width + (part.first.left - all.left);
            std::copy_n(&pixels.rgb[y * row], row, &picture.rgb[at * 3]);
        }
    }
    return true;
}

// A key pressed with Ctrl held, as the keyboard sends it to the focused control; the next
// step lets go of Ctrl.
void PressWithControl(HWND target, UINT key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void ReleaseControl()
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = 0;
    SetKeyboardState(keys);
}

HWND OpenMenu()
{
    for (HWND hwnd : hostkit::VisibleThreadWindows()) {
        char name[16] = "";
        GetClassNameA(hwnd, name, sizeof name);
        if (std::string(name) == "#32768") return hwnd;
    }
    return nullptr;
}

// The DPI that this process took when it started.
int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

const char* FileOf(WarningKind kind)
{
    switch (kind) {
    case WarningKind::Author: return "warning-author.png";
    case WarningKind::WellId: return "warning-well-id.png";
    case WarningKind::CurrentData: return "warning-current-data.png";
    default: return "warning-other.png";
    }
}

class Tour {
public:
    Tour(HostWindow& host, const std::string& directory)
        : m_host(host), m_directory(WithSeparator(directory))
    {
    }
    int Run();
    // The export dialog and the browser at dpi, this process's, numbered from firstNumber.
    int RunDpiPictures(int firstNumber, int dpi);

private:
    bool ChooseSample();
    void TransferSection(bool import);
    void RefusedFileSection();
    void BrowserSection();
    // Find and the item menu in the browser: pictures of each, with the match and the item.
    void FindAndMenuSteps(TourUser& script);
    // Both dialogs at the tour's DPI, then at 144 and 192 DPI in new processes.
    void DpiSection();
    // The pictures are named for dpi and fail unless the dialogs are drawn at it.
    void DpiPictures(int dpi);
    // Faults unless dialog is drawn at dpi, in the screen's own pixels (not enlarged).
    void CheckDrawnAt(HWND dialog, int dpi, const std::string& what);
    // The folder of the copy that the export writes into; "" if it cannot be made.
    bool PrepareExportCopy();
    void CheckWrittenFile(const std::vector<std::string>& exported);
    void CheckValuesRead(const std::vector<std::string>& imported);
    Step ShowWrittenFile();

    // Faults unless the four bitmap buttons show the images drawn for dpi.
    void CheckButtonImages(const Dialog& dialog, int dpi);
    // A step that saves the window that find returns once it has settled.
    Step Shot(const std::string& file, std::function<HWND()> find);
    Step ShotDialog(const std::string& file, const std::string& title)
    {
        return Shot(file, [title] { return FindDialog(title); });
    }
    bool Save(const Picture& picture, const std::string& file);
    // A step that answers every warning with Yes until the dialog titled owner is
    // gone, saving the first warning of each kind.
    Step AnswerWarnings(const std::string& owner);
    // A step that selects the rows of these names in the upper list and presses Add:
    // the first name must be listed, the others are selected where they are.
    static Step AddRows(const std::string& title, const std::vector<std::string>& names);
    // A step that waits until the lower list shows a row of this name.
    static Step InLowerList(const std::string& title, const std::string& name);
    // A step that notes the names of the lower list, top to bottom, and presses OK.
    Step PressOk(const std::string& title, std::shared_ptr<std::vector<std::string>> rows);
    // Every warning answered Yes: the host gets 1 and the lower list's names in its order.
    void CheckAllAccepted(const std::string& what, const TransferOutcome& outcome,
                          const std::vector<std::string>& rows);
    // Steps that press Help in the dialog titled title and check the topic asked for.
    // With a file name, the help window is saved too.
    void CheckHelp(TourUser& script, const std::string& title, int context, const std::string& file = "");
    // What the library did that a person would call wrong; the tour then ends with an error.
    void Fault(const std::string& text) { m_failures.push_back(text); }

    HostWindow& m_host;
    std::string m_directory;
    std::string m_sample;
    SampleObject m_first;            // a uniquely named object; draws the well identifier and current data warnings
    std::string m_otherAuthorObject; // an object of another author, if the sample has one
    std::string m_exportFolder;      // holds the copy of the sample that the export writes into
    std::set<WarningKind> m_warningsSaved;
    std::vector<std::string> m_saved;
    std::vector<std::string> m_failures;
    int m_number = 0;
};

bool Tour::Save(const Picture& picture, const std::string& file)
{
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%02d-", ++m_number);
    const std::string path = m_directory + prefix + file;
    std::string error;
    if (!hostkit::SavePicture(picture, path, error)) {
        m_failures.push_back(file + ": " + error);
        return false;
    }
    m_saved.push_back(path);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

Step Tour::Shot(const std::string& file, std::function<HWND()> find)
{
    auto capture = std::make_shared<SteadyCapture>();
    return [this, file, find, capture] {
        HWND hwnd = find();
        Picture picture;
        if (!hwnd || !capture->Poll(hwnd, picture)) return false;
        Save(picture, file);
        return true;
    };
}

Step Tour::AnswerWarnings(const std::string& owner)
{
    struct State {
        SteadyCapture capture;
        HWND answered = nullptr;
    };
    auto state = std::make_shared<State>();
    return [this, owner, state] {
        HWND warning = FindDialog(kWarningTitle);
        if (warning && warning == state->answered) return false; // still closing
        if (!warning) return !FindDialog(owner);
        const std::string text = Dialog(warning).Text(IDC_WARNING_TEXT);
        const WarningKind kind = hostkit::KindOfWarning(text);
        if (kind == WarningKind::Unknown || !m_warningsSaved.count(kind)) {
            Picture picture;
            if (!state->capture.Poll(warning, picture)) return false;
            if (kind == WarningKind::Unknown)
                Fault("a warning of no known kind: " + text);
            Save(picture, FileOf(kind));
            m_warningsSaved.insert(kind);
        }
        Dialog(warning).PostClick(IDYES);
        state->answered = warning;
        return false;
    };
}

Step Tour::AddRows(const std::string& title, const std::vector<std::string>& names)
{
    return [title, names] {
        HWND dialog = FindDialog(title);
        HWND available = dialog ? GetDlgItem(dialog, IDC_AVAILABLE_LIST) : nullptr;
        if (!available || ListView(available).FindRow(names.front()) < 0) return false;
        for (const std::string& name : names) {
            const int row = name.empty() ? -1 : ListView(available).FindRow(name);
            if (row >= 0) {
                ListView(available).Select(row);
                ListView(available).FocusRow(row);
            }
        }
        return Dialog(dialog).PostClick(IDC_ADD);
    };
}

Step Tour::InLowerList(const std::string& title, const std::string& name)
{
    return [title, name] {
        HWND dialog = FindDialog(title);
        return dialog && ListView(GetDlgItem(dialog, IDC_SELECTED_LIST)).FindRow(name) >= 0;
    };
}

Step Tour::PressOk(const std::string& title, std::shared_ptr<std::vector<std::string>> rows)
{
    return [title, rows] {
        HWND dialog = FindDialog(title);
        if (!dialog) return false;
        *rows = ListView(GetDlgItem(dialog, IDC_SELECTED_LIST)).Column(0);
        return Dialog(dialog).PostClick(IDOK);
    };
}

void Tour::CheckAllAccepted(const std::string& what, const TransferOutcome& outcome,
                            const std::vector<std::string>& rows)
{
    auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
        return "[" + text + "]";
    };
    if (outcome.result != 1 || outcome.names != rows)
        Fault(what + " returned " + std::to_string(outcome.result) + " and " + joined(outcome.names) +
              ", expected 1 and " + joined(rows));
}

void Tour::CheckHelp(TourUser& script, const std::string& title, int context, const std::string& file)
{
    auto before = std::make_shared<int>(0);
    script.Until("the Help button of " + title, [this, title, before] {
        HWND dialog = FindDialog(title);
        if (!dialog) return false;
        *before = m_host.Help().RequestCount();
        return Dialog(dialog).PostClick(ID_HELP);
    });
    script.Until("the help request of " + title, [this, title, context, before] {
        if (m_host.Help().RequestCount() == *before) return false;
        const HelpRequest& request = m_host.Help().LastRequest();
        if (request.command != HELP_CONTEXT || request.file != DERAR_HELP_FILE || request.data != context)
            Fault(title + " asked for \"" + request.Describe() + "\", expected context " +
                 std::to_string(context) + " of " + DERAR_HELP_FILE);
        return true;
    });
    if (!file.empty())
        script.Until("the help window", Shot(file, [this] { return m_host.Help().Handle(); }));
    script.Until("the help window hidden", [this] {
        ShowWindow(m_host.Help().Handle(), SW_HIDE); // keep it out of the next screenshots
        return true;
    });
}

// The first sample with at least three objects of two authors or more; else the largest.
bool Tour::ChooseSample()
{
    std::string best;
    size_t bestCount = 0;
    for (const std::string& file : m_host.SampleFiles()) {
        std::vector<SampleObject> objects;
        std::string error;
        if (!ReadObjects(SamplesDirectory(), file, objects, error)) continue;
        std::set<std::string> authors;
        for (const SampleObject& object : objects) authors.insert(object.author);
        if (objects.size() >= 3 && authors.size() >= 2) {
            best = file;
            break;
        }
        if (objects.size() > bestCount) {
            best = file;
            bestCount = objects.size();
        }
    }
    if (best.empty() || !m_host.ChooseSample(best) || m_host.SampleObjects().empty()) {
        m_failures.push_back("no sample file with objects in " + SamplesDirectory());
        return false;
    }
    // Rows are found by name: use objects whose name occurs once in the file.
    const std::vector<SampleObject>& objects = m_host.SampleObjects();
    auto unique = [&objects](const SampleObject& object) {
        int count = 0;
        for (const SampleObject& other : objects) count += other.name == object.name;
        return count == 1;
    };
    m_sample = best;
    m_first = objects.front();
    for (const SampleObject& object : objects)
        if (unique(object)) {
            m_first = object;
            break;
        }
    for (const SampleObject& object : objects)
        if (unique(object) && object.author != m_first.author) {
            m_otherAuthorObject = object.name;
            break;
        }
    return true;
}

bool Tour::PrepareExportCopy()
{
    // Beside the samples, so that the browser shows a folder a user would know.
    m_exportFolder = SamplesDirectory() + "exported\\";
    CreateDirectoryA(m_exportFolder.c_str(), nullptr);
    if (!CopyFileA((SamplesDirectory() + m_sample).c_str(), (m_exportFolder + m_sample).c_str(), FALSE)) {
        m_failures.push_back("cannot copy " + m_sample + " to " + m_exportFolder);
        return false;
    }
    return true;
}

// The browser that the host opens on the file it has just written: saved, its
// objects checked against the names exported, then closed.
Step Tour::ShowWrittenFile()
{
    auto shot = Shot("export-written.png", [] { return FindDialog(kBrowserTitle); });
    auto saved = std::make_shared<bool>(false);
    return [this, shot, saved] {
        HWND browser = FindDialog(kBrowserTitle);
        HWND tree = browser ? GetDlgItem(browser, IDC_TREE) : nullptr;
        if (!tree || SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0) return false;
        if (!*saved && !(*saved = shot())) return false;
        return Dialog(browser).PostClick(IDOK);
    };
}

// The copy holds each exported name, the chosen object under the new well, and
// the objects that were not exported as they were.
void Tour::CheckWrittenFile(const std::vector<std::string>& exported)
{
    std::vector<SampleObject> before, after;
    std::string error;
    if (!ReadObjects(SamplesDirectory(), m_sample, before, error) ||
        !ReadObjects(m_exportFolder, m_sample, after, error)) {
        Fault("the written file does not read: " + error);
        return;
    }
    auto isExported = [&exported](const std::string& name) {
        return std::find(exported.begin(), exported.end(), name) != exported.end();
    };
    std::vector<std::string> keptBefore, keptAfter;
    for (const SampleObject& object : before)
        if (!isExported(object.name)) keptBefore.push_back(object.name + "|" + object.author + "|" + object.date);
    for (const SampleObject& object : after)
        if (!isExported(object.name)) keptAfter.push_back(object.name + "|" + object.author + "|" + object.date);
    if (keptBefore != keptAfter) Fault("the export changed objects that it did not write");
    for (const std::string& name : exported) {
        const bool written = std::any_of(after.begin(), after.end(), [&](const SampleObject& object) {
            return object.name == name && object.author == m_first.author;
        });
        if (!written) Fault("the written file lacks " + name + " by " + m_first.author);
    }
    const bool moved = std::any_of(after.begin(), after.end(), [this](const SampleObject& object) {
        return object.name == m_first.name && object.wellId == m_first.wellId + " (another well)";
    });
    if (!moved) Fault("the written file does not hold " + m_first.name + " under the new well");
}

// The values of every imported object reached the host.
void Tour::CheckValuesRead(const std::vector<std::string>& imported)
{
    const std::vector<HostObject>& data = m_host.Data();
    for (const std::string& name : imported) {
        const bool read = std::any_of(data.begin(), data.end(), [&name](const HostObject& object) {
            return object.name == name && !object.values.empty();
        });
        if (!read) Fault("the import read no values of " + name);
    }
}

// The export (import false) or the import, on the chosen sample. On export the
// chosen object, with another current well, draws the well identifier warning and
// the "New" rows the author warning, and the host writes the file and shows it; the
// import reads from that written copy, so the values come back, and draws the current
// data warning.
void Tour::TransferSection(bool import)
{
    const std::string title = import ? kImportTitle : kExportTitle;
    const std::string mode = import ? "import" : "export";
    m_host.ChooseSample(m_sample);
    m_host.SetCurrentAuthor(m_first.author);
    m_host.SetCurrentWellId(import ? m_first.wellId : m_first.wellId + " (another well)");

    TourUser script(m_failures);
    script.Until("the " + mode + " dialog", ShotDialog(mode + "-dialog.png", title));
    CheckHelp(script, title, import ? HELP_CONTEXT_IMPORT : HELP_CONTEXT_EXPORT, import ? "" : "help-request.png");
    std::vector<std::string> names = {m_first.name};
    if (import) names.push_back(m_otherAuthorObject);
    script.Until("objects selected and added", AddRows(title, names));
    script.Until("the added objects in the lower list", InLowerList(title, m_first.name));
    script.Until("the " + mode + " dialog after Add", ShotDialog(mode + "-after-add.png", title));
    auto rows = std::make_shared<std::vector<std::string>>();
    script.Until("OK in the " + mode + " dialog", PressOk(title, rows));
    script.Until("the warnings of the " + mode, AnswerWarnings(title));
    if (!import) script.Until("the written file in the browser", ShowWrittenFile());

    if (!import && !PrepareExportCopy()) return;
    const std::string folder = m_exportFolder.empty() ? SamplesDirectory() : m_exportFolder;
    TransferOutcome outcome;
    script.Run([&] { outcome = m_host.TransferFile(import, folder, m_sample); });
    CheckAllAccepted("the " + mode, outcome, *rows);
    if (import)
        CheckValuesRead(outcome.names);
    else
        CheckWrittenFile(outcome.names);
    const std::vector<WarningKind> expected =
        import ? std::vector<WarningKind>{WarningKind::CurrentData}
               : std::vector<WarningKind>{WarningKind::Author, WarningKind::WellId};
    for (WarningKind kind : expected)
        if (!m_warningsSaved.count(kind)) m_failures.push_back("the " + mode + " showed no " + FileOf(kind));
}

// A file that the exchange library refuses: its message comes in a message box,
// and the host gets 0 and its candidates back.
void Tour::RefusedFileSection()
{
    // Beside the samples, so that the message names a folder a user would know.
    const std::string folder = SamplesDirectory() + "refused\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string damaged = "damaged.kvd";
    HANDLE file = CreateFileA((folder + damaged).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_failures.push_back("cannot write " + folder + damaged);
        return;
    }
    const char content[] = "This is not an exchange file.\r\nIt has no header line.\r\n";
    DWORD written = 0;
    WriteFile(file, content, sizeof content - 1, &written, nullptr);
    CloseHandle(file);

    m_host.ChooseSample(m_sample);
    const std::vector<std::string> candidates = m_host.Candidates();
    TourUser script(m_failures);
    auto messageBox = [] { return hostkit::FindThreadDialog(AnyMessageBox()); };
    script.Until("the message box of the refused file", Shot("refused-file.png", messageBox));
    script.Until("OK in the message box", [this, messageBox, damaged] {
        HWND box = messageBox();
        if (!box) return false;
        const std::string text = Dialog(box).MessageText();
        if (text.find(damaged) == std::string::npos)
            m_failures.push_back("the message box of the refused file does not name it: \"" + text + "\"");
        return Dialog(box).PostClick(IDOK);
    });
    TransferOutcome outcome;
    script.Run([&] { outcome = m_host.TransferFile(true, folder, damaged); });
    if (outcome.result != 0 || outcome.names != candidates)
        Fault("the refused file returned " + std::to_string(outcome.result) +
             " and not the candidates unchanged");
    DeleteFileA((folder + damaged).c_str());
    RemoveDirectoryA(folder.c_str());
}

void Tour::BrowserSection()
{
    TourUser script(m_failures);
    auto browser = [] { return FindDialog(kBrowserTitle); };
    auto tree = [browser] {
        HWND dialog = browser();
        return dialog ? GetDlgItem(dialog, IDC_TREE) : nullptr;
    };
    script.Until("the browser with its tree", [tree] {
        HWND hwnd = tree();
        return hwnd && SendMessageA(hwnd, TVM_GETCOUNT, 0, 0) > 0;
    });
    script.Until("the browser after the refresh", Shot("browser.png", browser));
    const struct {
        int command;
        const char* file;
    } commands[] = {
        {ID_EXPAND_TREE, "browser-expand-tree.png"},
        {ID_COLLAPSE_TREE, "browser-collapse-tree.png"},
        {ID_EXPAND_NODE, "browser-expand-node.png"},
    };
    for (const auto& command : commands) {
        const int id = command.command;
        script.Until("command " + std::to_string(id) + " of the browser", [browser, tree, id] {
            HWND dialog = browser();
            if (!dialog) return false;
            if (id == ID_EXPAND_NODE) {
                // Expand Node works on the selected item: the first group of the first object.
                HWND hwnd = tree();
                const LPARAM root = SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_ROOT, 0);
                const LPARAM child = root ? SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_CHILD, root) : 0;
                SendMessageA(hwnd, TVM_SELECTITEM, TVGN_CARET, child ? child : root);
            }
            return Dialog(dialog).PostClick(id);
        });
        script.Until(std::string("the browser for ") + command.file, Shot(command.file, browser));
    }
    FindAndMenuSteps(script);
    CheckHelp(script, kBrowserTitle, HELP_CONTEXT_BROWSE);
    script.Until("the \"...\" button", [browser] {
        HWND dialog = browser();
        return dialog && Dialog(dialog).PostClick(IDC_BROWSE_FILE);
    });
    auto fileDialog = [] { return hostkit::FindThreadDialog(WithControl(cmb13)); };
    script.Until("the open-file dialog", Shot("open-file-dialog.png", fileDialog));
    script.Until("Cancel in the open-file dialog", [fileDialog] {
        HWND dialog = fileDialog();
        return dialog && Dialog(dialog).PostClick(IDCANCEL);
    });
    script.Until("the open-file dialog closed", [fileDialog] { return !fileDialog(); });
    script.Until("Close in the browser", [browser] {
        HWND dialog = browser();
        return dialog && Dialog(dialog).PostClick(IDOK);
    });
    script.Run([&] { m_host.Browse(SamplesDirectory(), m_sample); });
}

// Ctrl+F, a value's name typed into the Find dialog, Enter: the match is selected with its
// closed groups opened; then a right click on the match's group shows its menu.
void Tour::FindAndMenuSteps(TourUser& script)
{
    auto browser = [] { return FindDialog(kBrowserTitle); };
    auto tree = [browser] {
        HWND dialog = browser();
        return dialog ? GetDlgItem(dialog, IDC_TREE) : nullptr;
    };
    auto findDialog = [] { return FindDialog("Find"); };
    // What the last value of the file holds, under groups that Collapse Tree closed, far down.
    auto wanted = std::make_shared<std::string>();
    script.Until("Ctrl+F in the browser", [this, tree, wanted] {
        HWND hwnd = tree();
        if (!hwnd) return false;
        for (const hostkit::TreeItem& item : hostkit::TreeView(hwnd).Items())
            if (item.depth >= 3 && !item.hasChildren)
                *wanted =
                    item.text.find(": ") != std::string::npos ? item.text.substr(item.text.find(": ") + 2) : item.text;
        while (!wanted->empty() && wanted->back() == ' ') wanted->pop_back();
        if (wanted->empty()) Fault("the browser shows no value to find");
        PressWithControl(hwnd, 'F');
        return true;
    });
    script.Until("the Find dialog", [findDialog, wanted] {
        ReleaseControl();
        HWND find = findDialog();
        if (!find) return false;
        SetDlgItemTextA(find, edt1, wanted->c_str());
        PostMessageA(GetDlgItem(find, edt1), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(GetDlgItem(find, edt1), WM_KEYUP, VK_RETURN, 0xC0000001);
        return true;
    });
    auto capture = std::make_shared<SteadyCapture>();
    script.Until("the match in the browser", [this, browser, tree, findDialog, wanted, capture] {
        HWND dialog = browser(), find = findDialog();
        if (!dialog || !find) return false;
        hostkit::TreeView view(tree());
        HTREEITEM selected = view.Selected();
        if (!selected || view.Text(selected).find(*wanted) == std::string::npos) return false;
        // The Find dialog at the browser's upper right: the match, scrolled into view at the
        // bottom of the tree, stays in sight.
        RECT outer, inner, box;
        GetWindowRect(dialog, &outer);
        GetWindowRect(find, &inner);
        GetWindowRect(GetDlgItem(dialog, IDC_TREE), &box);
        SetWindowPos(find, nullptr, outer.right - (inner.right - inner.left) - 12, box.top + 8, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Picture steady, both;
        if (!capture->Poll(dialog, steady)) return false;
        if (!PictureOfWindows({ dialog, find }, both))
            Fault("no picture of the browser with the Find dialog");
        else
            Save(both, "browser-find.png");
        return Dialog(find).PostClick(IDCANCEL);
    });
    script.Until("a right click on the match's group", [browser, tree, findDialog] {
        HWND hwnd = tree();
        if (!hwnd || findDialog()) return false;
        hostkit::TreeView view(hwnd);
        HTREEITEM item = view.Selected();
        for (int up = 0; up < 2 && item; ++up)
            item = reinterpret_cast<HTREEITEM>(
                SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
        if (!item) item = view.Root();
        RECT label = {};
        std::memcpy(&label, &item, sizeof item); // the item goes in where the rectangle comes out
        SendMessageA(hwnd, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
        POINT point = { (label.left + label.right) / 2, (label.top + label.bottom) / 2 }, screen = point;
        ClientToScreen(hwnd, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageA(hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
        PostMessageA(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
        return true;
    });
    auto menuSeen = std::make_shared<DWORD>(0);
    script.Until("the item menu", [this, browser, menuSeen] {
        HWND menu = OpenMenu(), dialog = browser();
        if (!menu || !dialog) return false;
        // A menu is drawn a moment after it appears.
        if (*menuSeen == 0) *menuSeen = GetTickCount();
        if (GetTickCount() - *menuSeen < SteadyCapture::kSettleMs) return false;
        Picture both;
        if (!PictureOfWindows({ dialog, menu }, both))
            Fault("no picture of the item menu");
        else
            Save(both, "browser-menu.png");
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        return true;
    });
    script.Until("the item menu closed", [] { return !OpenMenu(); });
}

// The transfer dialog and the browser as they are drawn at this process's DPI. The four
// bitmap buttons must show, pixel for pixel and at its size, the image drawn for that DPI.
void Tour::DpiPictures(int dpi)
{
    if (ScreenDpi() != dpi)
        Fault("the pictures named for " + std::to_string(dpi) + " DPI: the process has " +
              std::to_string(ScreenDpi()) + " DPI");
    const std::string tag = std::to_string(dpi) + "dpi";
    TourUser script(m_failures, "at " + std::to_string(dpi) + " DPI: ");
    auto exportDialog = [] { return FindDialog(kExportTitle); };
    script.Until("the export dialog", [exportDialog] {
        HWND dialog = exportDialog();
        if (!dialog) return false;
        SetFocus(GetDlgItem(dialog, IDC_AVAILABLE_LIST)); // no button drawn in its focused state
        return true;
    });
    script.Until("the export dialog drawn at its DPI", [this, exportDialog, dpi] {
        HWND dialog = exportDialog();
        if (!dialog) return false;
        CheckDrawnAt(dialog, dpi, "the export dialog");
        return true;
    });
    script.Until("the export dialog settled", Shot("export-dialog-" + tag + ".png", exportDialog));
    script.Until("the button images", [this, exportDialog, dpi] {
        HWND dialog = exportDialog();
        if (!dialog) return false;
        CheckButtonImages(Dialog(dialog), dpi);
        return Dialog(dialog).PostClick(IDCANCEL);
    });
    m_host.ChooseSample(m_sample);
    script.Run([&] { m_host.TransferFile(false, SamplesDirectory(), m_sample); });

    TourUser browse(m_failures, "at " + std::to_string(dpi) + " DPI: ");
    auto browser = [] { return FindDialog(kBrowserTitle); };
    browse.Until("the browser with its tree", [this, browser, dpi] {
        HWND dialog = browser();
        if (!dialog || SendMessageA(GetDlgItem(dialog, IDC_TREE), TVM_GETCOUNT, 0, 0) == 0) return false;
        CheckDrawnAt(dialog, dpi, "the browser");
        return true;
    });
    browse.Until("the browser settled", Shot("browser-" + tag + ".png", browser));
    browse.Until("Close in the browser", [browser] {
        HWND dialog = browser();
        return dialog && Dialog(dialog).PostClick(IDOK);
    });
    browse.Run([&] { m_host.Browse(SamplesDirectory(), m_sample); });
}

void Tour::CheckDrawnAt(HWND dialog, int dpi, const std::string& what)
{
    // A program the platform takes for not DPI-aware gets 96 DPI and an enlarged picture of it.
    const int drawn = hostkit::WindowDpi(dialog);
    if (drawn != dpi)
        Fault(what + " is drawn at " + std::to_string(drawn) + " DPI, not " + std::to_string(dpi));
    RECT rc;
    GetWindowRect(dialog, &rc);
    const SIZE screen = hostkit::PhysicalWindowSize(dialog);
    if (screen.cx != rc.right - rc.left || screen.cy != rc.bottom - rc.top)
        Fault(what + " is enlarged on the screen: " + std::to_string(rc.right - rc.left) + " x " +
              std::to_string(rc.bottom - rc.top) + " pixels drawn, " + std::to_string(screen.cx) + " x " +
              std::to_string(screen.cy) + " shown");
}

void Tour::CheckButtonImages(const Dialog& dialog, int dpi)
{
    // What the library ships for each scale: the 96 DPI names, or those names with 150 or 200.
    const char* scale = dpi >= 192 ? "200" : dpi >= 144 ? "150" : "";
    const struct {
        int id;
        const char* stem;
    } buttons[] = {
        { IDC_ADD, "ADD" }, { IDC_ADDALL, "ADDALL" }, { IDC_REMOVEALL, "REMALL" }, { IDC_REMOVE, "REMOVE" }
    };
    for (const auto& button : buttons) {
        const std::string name = std::string(button.stem) + "U" + scale;
        HBITMAP bitmap =
            static_cast<HBITMAP>(LoadImageA(GetModuleHandleA("derar.dll"), name.c_str(), IMAGE_BITMAP, 0, 0, 0));
        if (!bitmap) {
            Fault("no bitmap " + name + " in derar.dll");
            continue;
        }
        const Picture image = hostkit::PictureOfBitmap(bitmap);
        DeleteObject(bitmap);
        const Picture shown = dialog.Picture(button.id);
        if (!(shown == image))
            Fault(std::string("the ") + button.stem + " button shows " + std::to_string(shown.width) + " x " +
                  std::to_string(shown.height) + " pixels, not the " + std::to_string(image.width) + " x " +
                  std::to_string(image.height) + " image " + name);
    }
}

// Quoted for a command line: a trailing backslash doubled, or it would quote the quote.
std::string Quoted(std::string text)
{
    if (!text.empty() && text.back() == '\\') text += '\\';
    return "\"" + text + "\"";
}

void Tour::DpiSection()
{
    // The tour's own pictures at the prefix's DPI, 96 as on a fresh system.
    DpiPictures(96);
    for (int dpi : { 144, 192 }) {
        const std::string command = hostkit::ThisProgram() + " --samples " + Quoted(SamplesDirectory()) +
                                    " --dpi-pictures " + Quoted(m_directory) + " --dpi " + std::to_string(dpi) +
                                    " --first-number " + std::to_string(m_number + 1);
        DWORD exitCode = 1;
        std::string error;
        if (!hostkit::RunAtDpi(dpi, command, 120000 * hostkit::TimeScale(), exitCode, error))
            Fault("the pictures at " + std::to_string(dpi) + " DPI: " + error);
        else if (exitCode != 0)
            Fault("the pictures at " + std::to_string(dpi) + " DPI failed (see above)");
        m_number += 2; // the two pictures that the new process numbered
    }
}

// Pictures of an earlier tour ("NN-name.png") would mix with this one's when the
// numbering has changed since.
void RemoveEarlierPictures(const std::string& directory)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "?\?-*.png").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = found.cFileName;
        if (isdigit(static_cast<unsigned char>(name[0])) && isdigit(static_cast<unsigned char>(name[1])) &&
            name[2] == '-' && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((directory + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

int Tour::Run()
{
    CreateDirectoryA(m_directory.c_str(), nullptr);
    RemoveEarlierPictures(m_directory);
    // The pointer rests in a corner, so no control is drawn in its hover state.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ShowWindow(m_host.Handle(), SW_SHOW);
    UpdateWindow(m_host.Handle());
    if (ChooseSample()) {
        TourUser script(m_failures);
        script.Until("the demo window", Shot("demo-window.png", [this] { return m_host.Handle(); }));
        script.Run([] {});

        TransferSection(false);
        TransferSection(true);
        TourUser results(m_failures);
        results.Until("the demo window with the results",
                      Shot("demo-window-results.png", [this] { return m_host.Handle(); }));
        results.Run([] {});

        if (!m_exportFolder.empty()) {
            DeleteFileA((m_exportFolder + m_sample).c_str());
            RemoveDirectoryA(m_exportFolder.c_str());
        }

        RefusedFileSection();
        BrowserSection();
        DpiSection();
    }
    return FinishTour("tour", m_failures, static_cast<int>(m_saved.size()), m_directory);
}

int Tour::RunDpiPictures(int firstNumber, int dpi)
{
    m_number = firstNumber - 1;
    // Shown and in front, as in the tour, so that the dialogs it owns are drawn active.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ShowWindow(m_host.Handle(), SW_SHOW);
    SetForegroundWindow(m_host.Handle());
    UpdateWindow(m_host.Handle());
    if (ChooseSample()) DpiPictures(dpi);
    const std::string name = "pictures at " + std::to_string(dpi) + " DPI";
    return FinishTour(name.c_str(), m_failures, static_cast<int>(m_saved.size()), m_directory);
}

} // namespace

const char kHostName[] = "derardemo";

TourUser::TourUser(std::vector<std::string>& failures, const std::string& prefix)
{
    hostkit::SetFailureReporter({ [&failures, prefix](const std::string& message) {
                                      failures.push_back(prefix + message);
                                  },
                                  nullptr });
    SetStepTimeout(20000);
    // A whole section of a tour under a loaded machine; only a stuck modal loop gets this far.
    SetHangLimit(240000);
}

TourUser::~TourUser()
{
    hostkit::SetFailureReporter({ [](const std::string& message) {
                                      std::fprintf(stderr, "tour: %s\n", message.c_str());
                                  },
                                  nullptr });
}

std::string PlatformName()
{
    const std::string wine = hostkit::WineVersion();
    return wine.empty() ? "Windows" : "Wine " + wine;
}

int FinishTour(const char* name, const std::vector<std::string>& failures, int saved, const std::string& directory)
{
    for (const std::string& failure : failures) std::fprintf(stderr, "%s: FAILED: %s\n", name, failure.c_str());
    // Window frames, captions and message boxes are the platform's: a picture's pixels depend
    // on which Wine drew it, so the guide's pictures are refreshed from one only (README).
    const std::string platform = PlatformName();
    if (FILE* note = std::fopen((WithSeparator(directory) + "wine-version.txt").c_str(), "w")) {
        std::fprintf(note, "%s\n", platform.c_str());
        std::fclose(note);
    }
    std::printf("%s: %d screenshots in %s, drawn by %s\n", name, saved, directory.c_str(), platform.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    return failures.empty() ? 0 : 1;
}

int RunTour(HostWindow& host, const std::string& directory)
{
    return Tour(host, directory).Run();
}

int RunDpiPictures(HostWindow& host, const std::string& directory, int firstNumber, int dpi)
{
    return Tour(host, directory).RunDpiPictures(firstNumber, dpi);
}
