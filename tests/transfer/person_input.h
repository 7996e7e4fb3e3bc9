// person_input.h - the mouse and the modifier keys as a person uses them, for the tests of
// the transfer dialog's drags, keys and tooltips.
//
// The mouse is the platform's own input (SendInput): the pointer really moves, the list
// view sees a real press and its drag begins as it does under a hand. Like every key of
// the scripted user, input takes effect once the step that gave it has returned.
#ifndef DERAR_PERSON_INPUT_H
#define DERAR_PERSON_INPUT_H

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_driver.h"

namespace person {

// The middle of a row of a report list, in screen coordinates.
POINT RowPoint(const dialog_driver::ListView& list, int row);
// The middle of a window, in screen coordinates.
POINT Middle(HWND window);

// Moves the pointer to pt (a real move: the window under it sees WM_MOUSEMOVE).
void MoveTo(POINT pt);
// A drag in two steps of the script, as a hand makes it: BeginDrag presses the left
// button at from and moves it a little (past the platform's drag threshold, still over
// the same window: the list view begins its drag there); EndDrag, in a later step,
// moves on to to and lets go. (Moves given together reach the list view as one, at the
// last place, and a list view under Wine holds no capture of its own before its drag.)
void BeginDrag(POINT from);
void EndDrag(POINT to);
// Presses and releases the left button at pt.
void Click(POINT pt);
// The pointer out of the way, in the screen's top left corner.
void MoveAway();

// The modifier keys that the next posted key is pressed with (the thread's key state,
// as GetKeyState reads it); None releases them.
enum Modifiers { None = 0, Shift = 1, Control = 2 };
void HoldModifiers(int modifiers);

// The visible tooltips of this thread: their texts, topmost first.
std::vector<std::string> VisibleTooltipTexts();

}  // namespace person

#endif
