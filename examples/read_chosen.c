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

/* The mistakes that the dialog answers with 1 and no names, unseen: a directory
 * that is NULL, empty, without its trailing separator or not an existing folder,
 * and a file name that is not a plain name ending in .kvd. 1: the path is sound. */
static int IsSoundExchangePath(const char* directory, const char* fileName)
{
    int length = directory != NULL ? lstrlenA(directory) : 0;
    int nameLength = fileName != NULL ? lstrlenA(fileName) : 0;
    DWORD attributes;
    if (length == 0 || (directory[length - 1] != '\\' && directory[length - 1] != '/'))
        return 0;
    attributes = GetFileAttributesA(directory);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    if (nameLength <= 4 || strpbrk(fileName, "\\/:") != NULL || lstrcmpiA(fileName + nameLength - 4, ".kvd") != 0)
        return 0;
    return length + nameLength < MAX_PATH;
}

/* Asks which objects to import, then reads them. The number of values read, 0
 * when nothing was chosen, -1 when the path or the file could not be read. */
int ImportObjects(HWND owner, const char* directory, const char* fileName,
                  const char* author, const char* wellId)
{
    char buffers[WANTED_COUNT][256];
    char* names[WANTED_COUNT];
    char path[MAX_PATH];
    int count = WANTED_COUNT;
    int i;
    if (!IsSoundExchangePath(directory, fileName)) {
        MessageBoxA(owner, "Choose an existing folder and a file name that ends in .kvd.", "Import",
                    MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    for (i = 0; i < count; ++i) {
        lstrcpynA(buffers[i], wanted[i], sizeof buffers[i]);
        names[i] = buffers[i];
    }
    /* 1 and no names: nothing was chosen, or the file holds none of the names. */
    if (KivImpExpDialog(1, directory, fileName, author, wellId, names, &count) != 1 || count == 0)
        return 0;
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
