// dialog_driver.h - the scripted user of hostkit/scripted_user.h for GoogleTest.
//
// hostkit's scripted user, its windows and controls are here under dialog_driver:: too. What this
// layer adds: the driver's failures are GoogleTest failures (a fatal one, ASSERT, in a
// step stops the script), and while Run lasts a help observer (help_observer.h)
// receives the WinHelp requests, so pressing Help never starts a help viewer; a test
// that checks the requests keeps its own HelpObserver, which sees them too.
#ifndef DERAR_DIALOG_DRIVER_H
#define DERAR_DIALOG_DRIVER_H

#include <scripted_user.h>

namespace dialog_driver {

using hostkit::AnyMessageBox;
using hostkit::Caption;
using hostkit::ComboBox;
using hostkit::Dialog;
using hostkit::FindThreadDialog;
using hostkit::ListRow;
using hostkit::ListView;
using hostkit::MessageBoxCaption;
using hostkit::SeenWindow;
using hostkit::TemplateSize;
using hostkit::TimeScale;
using hostkit::TreeItem;
using hostkit::TreeView;
using hostkit::VisibleThreadWindows;
using hostkit::WindowMatch;
using hostkit::WithControl;

class ScriptedUser : public hostkit::ScriptedUser {
public:
    ScriptedUser();
    // hostkit's Run, with the help observer.
    void Run(const std::function<void()>& hostCall);
};

// Fails the test unless the dialog is drawn in 8-point "MS Sans Serif", the font
// of our templates, at the size its template gives. On a 96-dpi screen 4 by 8
// dialog units of that font are 6 by 13 pixels; a substitute face (Wine without
// its own fonts) gives other units, and every dialog another size.
void ExpectTemplateFontAndSize(const Dialog& dialog, HMODULE module, int templateId);

}  // namespace dialog_driver

#endif
