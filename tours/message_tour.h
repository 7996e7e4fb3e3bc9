// message_tour.h - the exchange library's messages, as a person meets them in the browser.
#ifndef TOURS_MESSAGE_TOUR_H
#define TOURS_MESSAGE_TOUR_H

#include <string>

class HostWindow;

// Opens the browser on every damaged file of samples\damaged\ and on a few made on
// the spot (a folder named like a file, a file another program holds, a line too long,
// a path near the length limit, a device name), saves each refusal's message box as
// directory\<kind>.png and all the texts in directory\messages.txt. Returns the
// process exit code: 0 when every file was refused with a message that names it and,
// where one applies, the line and column of the fault.
int RunMessageTour(HostWindow& host, const std::string& directory);

#endif
