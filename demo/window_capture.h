// window_capture.h - saves what a top-level window shows on the screen as a PNG file.
#ifndef DERARDEMO_WINDOW_CAPTURE_H
#define DERARDEMO_WINDOW_CAPTURE_H

#include <windows.h>

#include <string>

// Repaints hwnd and its children now, so that a capture a moment later is current.
void RepaintWindow(HWND hwnd);

// Copies the window's rectangle (frame included) from the screen and writes it to
// path. The window should be on top and painted (see RepaintWindow). On failure
// returns false and says why in error.
bool SaveWindowPng(HWND hwnd, const std::string& path, std::string& error);

#endif
