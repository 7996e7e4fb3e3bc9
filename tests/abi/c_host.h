/* c_host.h - a host written in C, as most hosts are, calling both exports of derar.dll. */
#ifndef DERAR_C_HOST_H
#define DERAR_C_HOST_H

#ifdef __cplusplus
extern "C" {
#endif

/* What one call of an export gave, and whether the caller's stack pointer came back
 * where it was (a caller-cleans call that the callee also cleans moves it on i686). */
typedef struct CHostCall {
    int result;
    int count;
    char names[4][256];
    int stackBalanced;
} CHostCall;

/* KivImpExpDialog on directory + fileName with up to four candidates (NULL-terminated). */
void CHostImpExp(int modeFlag, const char* directory, const char* fileName, const char* author,
                 const char* wellId, const char* const* candidates, CHostCall* call);

/* KivBrowseDialog the same way. */
void CHostBrowse(const char* directory, const char* fileName, CHostCall* call);

#ifdef __cplusplus
}
#endif

#endif
