// tour.h - the demo's scripted tour: every dialog of the library, saved as PNG.
#ifndef DERARDEMO_TOUR_H
#define DERARDEMO_TOUR_H

#include <string>

class HostWindow;

// Walks through the export and import dialogs, the three overwrite warnings, a
// refused file, the browser with its tree commands and the open-file dialog,
// saving a screenshot of each into directory and printing its path. Returns the
// process exit code: 0 when every screenshot was taken.
int RunTour(HostWindow& host, const std::string& directory);

#endif
