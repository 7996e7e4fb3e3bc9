/* read_chosen.c - a host that imports the objects a person chooses.
 *
 * The import dialog says which of the file's objects to import; the read calls
 * of Kiv.dll then deliver those objects with their values, depth first.
 *
 *   read_chosen.exe [DIRECTORY\ FILE.kvd]     (default: C:\data\ wells.kvd)
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "derar.h"
#include "kivapi.h"

/* The names the host asks for: the objects it knows how to use. */
static const char* const wanted[] = {"Deviation survey", "Casing program", "Formation tops"};
#define WANTED_COUNT ((int)(sizeof wanted / sizeof wanted[0]))

static int IsChosen(const char* name, char** names, int count)
{
    int i;
    for (i = 0; i < count; ++i)
        if (strcmp(names[i], name) == 0)
            return 1;
    return 0;
}

/* Reads the chosen objects of path with their values. Returns the number of values
 * read, or -1 after showing the library's message. */
int ReadChosenObjects(HWND owner, const char* path, char** names, int count)
{
    char* message = NULL;
    char *name, *author, *version, *wellId, *date;
    int values = 0;
    if (!KivAttach(&message) || !KivOpen(path, &message, 0)) {
        MessageBoxA(owner, message, "Import", MB_OK | MB_ICONEXCLAMATION);
        KivDetach();
        return -1;
    }
    while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
        char *group, *valueName, *extra, *suffix, *text, *parentGroup;
        int record;
        /* Texts last until the next call: a host copies what it keeps. */
        if (!IsChosen(name, names, count))
            continue;  /* the next KivGetNextObject skips its values */
        printf("%s (%s, version %s, well %s, %s)\n", name, author, version, wellId, date);
        while (KivGetNextValue(&group, &valueName, &extra, &suffix, &text, &parentGroup, &record)) {
            printf("  %s%s%s record %d: %s = %s %s\n", parentGroup, *parentGroup ? "/" : "", group,
                   record, valueName, text, suffix);
            ++values;
        }
    }
    KivDetach();
    return values;
}

/* Asks which objects to import, then reads them. The number of values read, 0
 * when nothing was chosen, -1 when the file could not be read. */
int ImportObjects(HWND owner, const char* directory, const char* fileName,
                  const char* author, const char* wellId)
{
    char buffers[WANTED_COUNT][256];
    char* names[WANTED_COUNT];
    char path[MAX_PATH];
    int count = WANTED_COUNT;
    int i;
    for (i = 0; i < count; ++i) {
        lstrcpynA(buffers[i], wanted[i], sizeof buffers[i]);
        names[i] = buffers[i];
    }
    if (KivImpExpDialog(1, directory, fileName, author, wellId, names, &count) != 1 || count == 0)
        return 0;
    if (lstrlenA(directory) + lstrlenA(fileName) >= MAX_PATH)
        return -1;
    lstrcpyA(path, directory);
    lstrcatA(path, fileName);
    return ReadChosenObjects(owner, path, names, count);
}

int main(int argc, char** argv)
{
    const char* directory = argc > 2 ? argv[1] : "C:\\data\\";
    const char* fileName = argc > 2 ? argv[2] : "wells.kvd";
    int values = ImportObjects(NULL, directory, fileName, "A. Rahman", "NF-001");
    printf("%d values read\n", values);
    return values >= 0 ? 0 : 1;
}
