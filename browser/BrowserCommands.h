// BrowserCommands.h - the browser's commands beyond its buttons: its keys and the menu of
// its items. A menu or key command reaches the message map as a click on a control with the
// same id would, so these ids are clear of every id of the dialog's template.
#ifndef DERAR_BROWSERCOMMANDS_H
#define DERAR_BROWSERCOMMANDS_H

#define ID_FIND_TEXT 33001      // Ctrl+F: the Find dialog
#define ID_FIND_NEXT 33002      // F3
#define ID_FIND_PREVIOUS 33003  // Shift+F3
#define ID_COPY_LABEL 33004     // Ctrl+C: the selected item's label

// Entries of the item menu that act on the item the menu is for.
#define ID_MENU_COPY_LABEL 33010
#define ID_MENU_COPY_BRANCH 33011
#define ID_MENU_EXPAND_NODE 33012
#define ID_MENU_COLLAPSE_NODE 33013

#endif
