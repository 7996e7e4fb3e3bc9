/* derar.h - the two dialogs that derar.dll offers a host program.
 *
 * Both functions are exported by their plain names with the caller-cleans-stack
 * (cdecl) convention, run one modal dialog on the caller's thread and return when
 * it has ended. Texts are ANSI.
 */
#ifndef DERAR_H
#define DERAR_H

/* The version of the kit that this header belongs to: its headers, import libraries,
 * Kiv.dll, derafx.dll and the kvd tool, whose version resources say the same (see
 * CHANGELOG.md). derar.dll's own version resource keeps the numbers it has always had
 * (FileVersion "1.31", ProductVersion "1.3"), so that hosts that check them go on
 * working. DERAR_VERSION compares as one number: 10000 * major + 100 * minor + patch. */
#define DERAR_VERSION_MAJOR 1
#define DERAR_VERSION_MINOR 4
#define DERAR_VERSION_PATCH 0
#define DERAR_VERSION_STRING "1.4.0"
#define DERAR_VERSION 10400

#if defined(DERAR_BUILDING_DLL)
#  define DERARAPI __declspec(dllexport)
#else
#  define DERARAPI __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Lets the user choose which of the candidate objects to import from, or export
 * to, the exchange file directory + fileName (joined with nothing between, so
 * directory ends with its separator).
 *
 *   modeFlag       nonzero: import; zero: export
 *   currentAuthor, currentWellId
 *                  the host's current author and well identifier; objects of the
 *                  file that differ draw a warning before they are overwritten
 *   names          in: *count candidate names; out: the chosen names, in the order
 *                  of the dialog's lower list. Every element must point to a buffer
 *                  of 256 bytes: a longer name is cut to 255 characters.
 *   count          in: the number of candidates (0 or less: none);
 *                  out: the number of names written to names
 *
 * Returns 1 when the user confirmed (also when nothing needed choosing), 0
 * otherwise. After a failure to reach the exchange library or to read the file
 * (shown to the user in a message box) the result is 0 and names keeps the
 * candidates in their input order. NULL texts count as empty; a NULL count, or
 * NULL names with a positive count, returns 0 at once and writes nothing. */
DERARAPI int __cdecl KivImpExpDialog(int modeFlag, const char* directory, const char* fileName,
                                     const char* currentAuthor, const char* currentWellId,
                                     char** names, int* count);

/* Shows the exchange file directory + fileName as a tree and lets the user pick
 * other files. When both texts are empty (or NULL) the last file shown, kept under
 * HKEY_CURRENT_USER\Software\DerAR\LastKiv, is shown instead. Returns 1. */
DERARAPI int __cdecl KivBrowseDialog(const char* directory, const char* fileName);

#ifdef __cplusplus
}
#endif

#endif /* DERAR_H */
