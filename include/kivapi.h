/* kivapi.h - the calls of the exchange library Kiv.dll: six that read .kvd files
 * and five that write them.
 *
 * Every call is stdcall (the callee removes its arguments) with C linkage; the DLL
 * exports the plain names (KivOpen, not _KivOpen@12) on both architectures.
 *
 * Sessions: every call works in a session of the calling thread. KivAttach starts a
 * fresh, empty session for that thread, on top of any it has already; KivDetach ends
 * the innermost one (with its open file and its write), and the thread is back in the
 * one below, with its open file, its reading position and its open write as they were.
 * So a host may read or write across a dialog of derar.dll, which attaches and detaches
 * inside it. Threads never share a session: each thread attaches for itself, and calls
 * from several threads never meet. A thread holds at most 16 sessions at once; a 17th
 * KivAttach is refused with a message (a host that forgets KivDetach in a loop learns so,
 * and memory stays bounded). A refused KivAttach is still ended by a KivDetach, as the
 * dialogs of derar.dll detach without asking: that KivDetach ends nothing, and until it
 * comes the thread's calls answer as without a session, so the sessions below are never
 * touched. KivDetach without a session is harmless. The calls other
 * than KivAttach and KivStringToDate need a session: without one the read calls deliver
 * nothing and the write calls refuse, with a message. A thread that ends with sessions
 * ends them; an uncommitted write of theirs leaves the target as it was.
 *
 * Text out-parameters receive a pointer to a zero-terminated text owned by the
 * library. It stays valid until the next call of the same session (the texts of a
 * session below a nested one outlive all that the nested one does); copy it before
 * then and never free it. Every out-parameter is set on every call (texts to "" and
 * numbers to 0 on failure); a NULL out-pointer means "not wanted".
 *
 * Lifecycle of a session: KivAttach ... KivOpen (any number of times; a new file
 * replaces the open one) ... KivGetNextObject / KivGetNextValue ... KivDetach. Objects
 * come in file order; the values of the object delivered last come depth first: the
 * first value of an object is in a top-level group (empty parent group), and a
 * non-empty parent group names a group on the path of the value delivered before.
 *
 * Texts: .kvd files hold UTF-8. The library talks to its callers in the process's
 * ANSI code page: the read calls hand out texts of a UTF-8 file converted to it, and
 * the write calls convert what they are given from it. A character that the code
 * page cannot show becomes '?'; nothing fails for it. A file that is not valid UTF-8
 * as a whole is an older file in the Windows code page and is read unchanged.
 *
 * Define KIV_BUILDING_DLL when building a module that provides these calls
 * (Kiv.dll itself, or a stand-in for it); users leave it undefined and import them.
 */
#ifndef KIVAPI_H
#define KIVAPI_H

/* The version of the exchange library that this header declares: Kiv.dll's version
 * resource says the same (see CHANGELOG.md). KIV_VERSION compares as one number:
 * 10000 * major + 100 * minor + patch. */
#define KIV_VERSION_MAJOR 1
#define KIV_VERSION_MINOR 4
#define KIV_VERSION_PATCH 0
#define KIV_VERSION_STRING "1.4.0"
#define KIV_VERSION 10400

#if defined(_WIN32)
#  define KIVCALL __stdcall
#  if defined(KIV_BUILDING_DLL)
#    define KIVAPI __declspec(dllexport)
#  else
#    define KIVAPI __declspec(dllimport)
#  endif
#else
/* The portable build (Linux) links the calls statically for tests and tools. */
#  define KIVCALL
#  define KIVAPI __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a fresh session for the calling thread, on top of the ones it has: no file
 * is open in it and no write. Nonzero: attached. 0: *message says why (16 sessions are
 * open on this thread already, or memory ran out). A refused attach is ended by a
 * KivDetach like any other; until then no session answers the thread's calls. */
KIVAPI int KIVCALL KivAttach(char** message);

/* Opens the .kvd file at path (directory text followed by the file name) after
 * checking all of it. mode: pass 0. Nonzero: open, the next KivGetNextObject yields
 * the first object. 0: *message names the file, the line and column, what was
 * expected and what to do; no file is open then. */
KIVAPI int KIVCALL KivOpen(const char* path, char** message, int mode);

/* The next object of the open file. Nonzero: an object; 0: no file open, or no
 * more objects (until the next KivOpen).
 * The objects come from the file as KivOpen checked it: on Windows no other program
 * can change it or put another in its place while it is open. Where that cannot be
 * kept (a read that the disk or network fails; on other systems, another program that
 * rewrites the file in place) the delivery stops before anything else is handed out,
 * and this call and KivGetNextValue return 0 from there. Right after a 0 of either,
 * GetLastError() tells the two ends apart: ERROR_READ_FAULT when the delivery stopped
 * early, ERROR_NO_MORE_ITEMS at the file's end or without a file (errno EIO and 0 on
 * other systems). */
KIVAPI int KIVCALL KivGetNextObject(char** name, char** author, char** version,
                                    char** wellId, char** date);

/* The next value of the object delivered last. Nonzero: a value; 0: no more. */
KIVAPI int KIVCALL KivGetNextValue(char** groupName, char** valueName, char** extraText,
                                   char** suffixText, char** valueText,
                                   char** parentGroupName, int* recordNumber);

/* Turns an object's date text ("YYYY-MM-DD HH:MM") into its five fields.
 * Nonzero: a valid date. 0: unreadable; all five fields are set to 0. */
KIVAPI int KIVCALL KivStringToDate(const char* date, int* year, int* month, int* day,
                                   int* hour, int* minute);

/* Ends the calling thread's innermost session together with its open file, and
 * abandons its write if that was not committed; the session below goes on as it was.
 * Harmless when the thread has no session. */
KIVAPI void KIVCALL KivDetach(void);

/* ---- Writing ----------------------------------------------------------------
 *
 * One write at a time in a session, beside the reading (the read calls go on working
 * while a write is open); a nested session has its own:
 *
 *   KivAttach
 *   KivBeginWrite(path, &message, KIV_WRITE_UPDATE or KIV_WRITE_REPLACE)
 *   { KivPutObject(...)  { KivPutValue(...) } }
 *   KivCommitWrite(&message)      or KivAbandonWrite()
 *   KivDetach                     (abandons a write that was not committed)
 *
 * Nothing reaches the file at path before KivCommitWrite. The commit writes a
 * temporary file in the same folder ("<path>.~<process>-<n>.tmp", the first n that
 * names no file), flushes it to the disk and puts it in the place of the target in one
 * step: a failure at any point leaves the target as it was and removes the temporary
 * file. A successful commit also removes the temporary files that writers which died
 * left beside the target. Each call returns nonzero for success; on 0, *message says
 * what happened and what to do, in words for a person (show it unchanged). A NULL text
 * counts as "". Without a session every write call refuses. (docs/kvd-format.md,
 * "Writing".)
 *
 * Update rules (KIV_WRITE_UPDATE): every object name put in the write replaces all
 * objects of that name in the file; the first object put with a name takes the place
 * of the first old one, further ones with that name follow it; names that the file
 * did not hold are added before its end, in the order first put, each name's
 * objects together. Every other object is kept with its values, its lines copied
 * byte for byte, and comment lines stay. Names match byte for byte, with letter
 * case, as the transfer dialog matches them. (docs/kvd-format.md, "Writing".)
 */

#define KIV_WRITE_UPDATE 1   /* the file's other objects are kept */
#define KIV_WRITE_REPLACE 2  /* the file will hold only what is written */

/* Begins a write to the .kvd file at path (directory text followed by the file
 * name). A file that does not exist is created in either mode; its folder must exist.
 * Writers take turns: from here to the end of the write, every writer of the file in
 * another process waits (byte-range locks of "<path>.~lock", which the last writer
 * removes). A write that another process keeps open for more than 5 seconds is
 * waited for that long, then refused with a message that says so. The writes of one
 * process share its lock; among them the commit's change check decides.
 * A write that is still open in this session is abandoned first. On Windows the folder
 * can be neither renamed nor removed while the write is open.
 * 0: no write is open, and *message says why: the mode is neither of the two; the
 * file is read-only or is a folder; or, in update mode, the file is damaged; then
 * the message is the one KivOpen gives for it, so a fault is never cut away
 * silently. */
KIVAPI int KIVCALL KivBeginWrite(const char* path, char** message, int mode);

/* Puts an object; the values put after it are its values. date: "YYYY-MM-DD HH:MM"
 * (a date and time that exist), or "" for the local time now. 0: the object is not
 * written, nor are the values put after it, up to the next object; the write can
 * go on. Refused: an empty name, a date of another form, a line longer than a .kvd
 * file allows; no write open. */
KIVAPI int KIVCALL KivPutObject(const char* name, const char* author, const char* version,
                                const char* wellId, const char* date, char** message);

/* Puts a value of the object put last. The values of an object come depth first,
 * as KivGetNextValue delivers them: the first value is in a top-level group (parent
 * group ""), a non-empty parent group names a group on the path of the value put
 * before, and groups nest at most 32 levels deep. 0: the value is not written, and
 * *message says which rule it breaks; the write can go on with the next value. Also
 * refused: an empty group name, a line longer than a .kvd file allows, no object. */
KIVAPI int KIVCALL KivPutValue(const char* groupName, const char* parentGroupName,
                               int recordNumber, const char* valueName, const char* valueText,
                               const char* suffixText, const char* extraText, char** message);

/* Writes the file: the objects put (and, in update mode, the objects kept) go to a
 * temporary file in the target's folder, which is flushed to the disk and then
 * takes the target's place in one step. The write ends either way. When the same
 * file is open for reading (KivOpen), that reading ends first. 0: the target is
 * as it was and no temporary file is left; *message says what happened: the file
 * changed on the disk since KivBeginWrite (its size, time or, in update mode, its
 * content; nothing is written: read it again and repeat), the disk is full, the
 * folder or file may not be written, another program holds the file open, the
 * folder was removed; no write open. */
KIVAPI int KIVCALL KivCommitWrite(char** message);

/* Ends the session's write without touching the target; harmless when no write is
 * open. */
KIVAPI void KIVCALL KivAbandonWrite(void);

#ifdef __cplusplus
}
#endif

#endif /* KIVAPI_H */
