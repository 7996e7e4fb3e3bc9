// tour.h - the scripted tour of the demo host: every dialog of the library, saved as PNG.
#ifndef TOURS_TOUR_H
#define TOURS_TOUR_H

#include <string>
#include <vector>

#include "scripted_user.h"

class HostWindow;

// The tours' person at the screen: hostkit's scripted user, playing polled steps (a
// step returns true when it is done), with each failure added to failures after prefix.
class TourUser : public hostkit::ScriptedUser {
public:
    explicit TourUser(std::vector<std::string>& failures, const std::string& prefix = "");
    ~TourUser();   // failures reported later go to stderr, not to the list
};
using Step = std::function<bool()>;

// The host's name, the caption of the library's message boxes: the demo host's, which the
// tours play (derardemo.exe's base name), so that the pictures show what the demo shows.
extern const char kHostName[];

// Ends a tour: prints each failure and the count of pictures under the tour's name,
// and returns the exit code (0 when nothing failed).
int FinishTour(const char* name, const std::vector<std::string>& failures, int saved, const std::string& directory);

// Walks through the export and import dialogs, the three overwrite warnings, a
// refused file, the browser with its tree commands and the open-file dialog,
// saving a screenshot of each into directory and printing its path. Returns the
// process exit code: 0 when every screenshot was taken.
int RunTour(HostWindow& host, const std::string& directory);

// The export dialog and the browser at dpi, saved into directory as
// "NN-export-dialog-144dpi.png" and "NN-browser-144dpi.png" (NN from firstNumber on):
// what the tour runs at 144 and 192 DPI in a new process of its own (the platform takes
// a process's DPI when it starts). It fails unless this process and both dialogs are at
// dpi, drawn in the screen's own pixels, with the transfer buttons' images for that DPI.
// Returns the exit code.
int RunDpiPictures(HostWindow& host, const std::string& directory, int firstNumber, int dpi);

#endif
