/* kivapi.h - the six calls of the exchange library Kiv.dll.
 *
 * Every call is stdcall (the callee removes its arguments) with C linkage; the DLL
 * exports the plain names (KivOpen, not _KivOpen@12) on both architectures.
 *
 * Text out-parameters receive a pointer to a zero-terminated text owned by the
 * library. It stays valid until the next call into the library; copy it before
 * then and never free it. Every out-parameter is set on every call (texts to ""
 * and numbers to 0 on failure); a NULL out-pointer means "not wanted".
 *
 * Lifecycle: KivAttach ... KivOpen (any number of times; a new file replaces the
 * open one) ... KivGetNextObject / KivGetNextValue ... KivDetach. KivDetach without
 * a successful KivAttach is harmless. Objects come in file order; the values of the
 * object delivered last come depth first: the first value of an object is in a
 * top-level group (empty parent group), and a non-empty parent group names a group
 * on the path of the value delivered before.
 *
 * Define KIV_BUILDING_DLL when building a module that provides these calls
 * (Kiv.dll itself, or a stand-in for it); users leave it undefined and import them.
 */
#ifndef KIVAPI_H
#define KIVAPI_H

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

/* Starts an attachment. Nonzero: attached. 0: *message says why. */
KIVAPI int KIVCALL KivAttach(char** message);

/* Opens the .kvd file at path (directory text followed by the file name) after
 * checking all of it. mode: pass 0. Nonzero: open, the next KivGetNextObject yields
 * the first object. 0: *message names the file, the line and column, what was
 * expected and what to do; no file is open then. */
KIVAPI int KIVCALL KivOpen(const char* path, char** message, int mode);

/* The next object of the open file. Nonzero: an object; 0: no file open, or no
 * more objects (until the next KivOpen). */
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

/* Ends the attachment together with any open file. */
KIVAPI void KIVCALL KivDetach(void);

#ifdef __cplusplus
}
#endif

#endif /* KIVAPI_H */
