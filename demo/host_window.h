// host_window.h - the demo's main window: a host program as a person sees one.
//
// A person picks a sample file, edits the candidate names and the current author
// and well identifier, and starts the library's dialogs; the window then shows what
// the library returned. The tour drives the same window.
#ifndef DERARDEMO_HOST_WINDOW_H
#define DERARDEMO_HOST_WINDOW_H

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "help_window.h"
#include "host_objects.h"
#include "sample_files.h"

// What KivImpExpDialog handed back.
struct TransferOutcome {
    int result = -1;
    int count = 0;
    std::vector<std::string> names;
};

class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool Create(HINSTANCE instance);
    HWND Handle() const { return m_hwnd; }
    HelpWindow& Help() { return *m_help; }
    // Keyboard navigation between the controls (Tab, mnemonics).
    bool IsDialogMessage(MSG& message) const;

    // The inputs, as a person edits them.
    const std::vector<std::string>& SampleFiles() const { return m_sampleFiles; }
    bool ChooseSample(const std::string& fileName);   // also refills names, author and well
    std::string ChosenSample() const;
    const std::vector<SampleObject>& SampleObjects() const { return m_objects; }
    void SetCurrentAuthor(const std::string& author);
    void SetCurrentWellId(const std::string& wellId);
    void SetCandidates(const std::vector<std::string>& names);
    std::vector<std::string> Candidates() const;

    // The commands behind the buttons. Transfer and Browse work on the chosen sample;
    // TransferFile on any file (directory with or without its separator). After an
    // import the chosen objects' values are read into the host's data; after an
    // export the chosen objects are written into the file and the browser shows it.
    TransferOutcome Transfer(bool import);
    TransferOutcome TransferFile(bool import, const std::string& directory, const std::string& fileName);
    int Browse(const std::string& directory, const std::string& fileName);

    void Log(const std::string& line);

    // The host's own objects: what it imported, in the order read.
    const std::vector<HostObject>& Data() const { return m_data; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void OnCommand(int id, int code);
    void FillSampleList();
    void RefillFromSample();
    std::string ControlText(int id) const;
    void ReadChosen(const std::string& path, const std::vector<std::string>& names);
    bool WriteChosen(const std::string& path, const std::vector<std::string>& names);

    HINSTANCE m_instance = nullptr;
    HWND m_hwnd = nullptr;
    std::unique_ptr<HelpWindow> m_help;
    std::vector<std::string> m_sampleFiles;
    std::vector<SampleObject> m_objects;
    std::vector<HostObject> m_data;
};

#endif
