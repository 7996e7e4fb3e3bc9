// Resource ids of derar.dll: dialog templates, their controls, the accelerator table.
// Shared by derar.rc and the dialog code; tests read controls by these ids too.
#ifndef DERAR_RESOURCE_H
#define DERAR_RESOURCE_H

// Transfer dialog (template 22677).
#define IDD_IMPEXP              22677
#define IDC_AVAILABLE_GROUP     3549
#define IDC_SELECTED_GROUP      3550
#define IDC_SELECTED_LIST       3551
#define IDC_AVAILABLE_LIST      3552
#define IDC_ADD                 3553
#define IDC_ADDALL              3554
#define IDC_REMOVE              3555
#define IDC_REMOVEALL           3556

// Overwrite warning dialog (template 131). 6, 7 and 2 are IDYES, IDNO, IDCANCEL.
#define IDD_WARNING             131
#define IDC_YESALL              1000
#define IDC_NOALL               9       // the value Windows uses for IDHELP: here it means No All
#define IDC_WARNING_TEXT        1001

// Browser dialog (template 22678). IDOK is its "Close" button.
#define IDD_BROWSE              22678
#define IDC_FILE_COMBO          1002
#define IDC_DIRECTORY_LABEL     1003
#define IDC_DIRECTORY           1004
#define IDC_BROWSE_FILE         1005
#define IDC_TREE                3559
#define IDC_TREE_GROUP          3560
#define ID_COLLAPSE_TREE        32771
#define ID_EXPAND_TREE          32772
#define ID_EXPAND_NODE          32773

// The Help buttons of the transfer and browser dialogs.
#ifndef ID_HELP
#define ID_HELP                 0xE146  // 57670
#endif

// Accelerator table of the browser's tree commands (a resource only; never loaded).
#define IDR_TREE_ACCELERATORS   132

// Help file and contexts.
#define DERAR_HELP_FILE         "kiv.hlp"
#define HELP_CONTEXT_IMPORT     3
#define HELP_CONTEXT_EXPORT     4
#define HELP_CONTEXT_BROWSE     5

#endif
