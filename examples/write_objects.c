/* write_objects.c - a host that exports its objects into an exchange file.
 *
 * The export dialog says which of the host's objects go into the file; Kiv.dll
 * then writes them, with their values, in update mode: the file keeps its other
 * objects, and each name written replaces the objects of that name. A file that
 * holds none of them (or does not exist yet) takes all of them: the dialog then
 * does not appear.
 *
 *   write_objects.exe [DIRECTORY\ FILE.kvd]     (default: C:\data\ wells.kvd)
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "derar.h"
#include "kivapi.h"

typedef struct {
    const char* group;
    const char* parentGroup;  /* "" for a top-level group */
    int record;
    const char* name;
    const char* text;
    const char* suffix;
    const char* extra;
} HostValue;

typedef struct {
    const char* name;
    const char* version;
    const HostValue* values;
    int valueCount;
} HostObject;

/* The host's data. Values come depth first: Tool is nested in Survey's record 2. */
static const HostValue surveyValues[] = {
    {"Survey", "", 1, "MD", "0", "m", ""},
    {"Survey", "", 1, "Inclination", "0.0", "deg", ""},
    {"Survey", "", 2, "MD", "500", "m", ""},
    {"Survey", "", 2, "Inclination", "2.5", "deg", ""},
    {"Tool", "Survey", 1, "Name", "MWD", "", "gyro check at 480 m"},
};
static const HostValue casingValues[] = {
    {"Casing", "", 1, "Size", "13 3/8", "in", "surface casing"},
    {"Casing", "", 1, "Shoe", "480", "m", ""},
};
static const HostObject hostObjects[] = {
    {"Deviation survey", "4", surveyValues, sizeof surveyValues / sizeof surveyValues[0]},
    {"Casing program", "2", casingValues, sizeof casingValues / sizeof casingValues[0]},
};
#define HOST_OBJECT_COUNT ((int)(sizeof hostObjects / sizeof hostObjects[0]))

static const HostObject* FindHostObject(const char* name)
{
    int i;
    for (i = 0; i < HOST_OBJECT_COUNT; ++i)
        if (strcmp(hostObjects[i].name, name) == 0)
            return &hostObjects[i];
    return NULL;
}

/* Puts one object and its values. On 0, *message says what was refused. */
static int PutHostObject(const HostObject* object, const char* author, const char* wellId,
                         char** message)
{
    int i;
    /* The date "" stands for now. */
    if (!KivPutObject(object->name, author, object->version, wellId, "", message))
        return 0;
    for (i = 0; i < object->valueCount; ++i) {
        const HostValue* v = &object->values[i];
        if (!KivPutValue(v->group, v->parentGroup, v->record, v->name, v->text, v->suffix,
                         v->extra, message))
            return 0;
    }
    return 1;
}

/* Writes the chosen objects into path. 1: written. 0: the library's message was
 * shown and the file is exactly as it was. */
int WriteChosenObjects(HWND owner, const char* path, char** names, int count,
                       const char* author, const char* wellId)
{
    char* message = NULL;
    int ok = KivAttach(&message) && KivBeginWrite(path, &message, KIV_WRITE_UPDATE);
    int i;
    for (i = 0; ok && i < count; ++i) {
        const HostObject* object = FindHostObject(names[i]);
        if (object != NULL)
            ok = PutHostObject(object, author, wellId, &message);
    }
    /* The commit ends the write whether it succeeds or not. */
    if (ok)
        ok = KivCommitWrite(&message);
    if (!ok) {
        /* The message belongs to the library and lasts until the next call: show it first. */
        MessageBoxA(owner, message, "Export", MB_OK | MB_ICONEXCLAMATION);
        KivAbandonWrite();  /* after a refused put; harmless when no write is open */
    }
    KivDetach();
    return ok;
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

/* 1 if the file at path holds an object of one of these names; 0 if it holds
 * none, or does not exist. */
static int FileHoldsAnyOf(const char* path, char** names, int count)
{
    char *message, *name;
    int found = 0, i;
    if (KivAttach(&message) && KivOpen(path, &message, 0)) {
        while (!found && KivGetNextObject(&name, NULL, NULL, NULL, NULL))
            for (i = 0; i < count && !found; ++i)
                found = strcmp(name, names[i]) == 0;
    }
    KivDetach();
    return found;
}

/* Asks which objects to export, then writes them. 1: written; 0: nothing written
 * (cancelled, declined, or the library's message was shown). */
int ExportObjects(HWND owner, const char* directory, const char* fileName,
                  const char* author, const char* wellId)
{
    char buffers[HOST_OBJECT_COUNT][256];
    char* names[HOST_OBJECT_COUNT];
    char path[MAX_PATH];
    int count = HOST_OBJECT_COUNT;
    int i;
    if (!IsSoundExchangePath(directory, fileName)) {
        MessageBoxA(owner, "Choose an existing folder and a file name that ends in .kvd.", "Export",
                    MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    lstrcpyA(path, directory);
    lstrcatA(path, fileName);
    for (i = 0; i < count; ++i) {
        lstrcpynA(buffers[i], hostObjects[i].name, sizeof buffers[i]);
        names[i] = buffers[i];
    }
    /* The candidates that the file lacks are "New" rows of the lower list. */
    if (KivImpExpDialog(0, directory, fileName, author, wellId, names, &count) != 1)
        return 0;  /* cancelled, or the file was refused: the person has seen why */
    if (count == 0) {
        /* 1 and no names: either the file holds none of the candidates (or does not
         * exist), so the dialog never appeared and every object goes into it; or the
         * person answered "No All" to the first warning, and nothing does. */
        for (i = 0; i < HOST_OBJECT_COUNT; ++i)
            lstrcpynA(names[i], hostObjects[i].name, sizeof buffers[i]);
        if (FileHoldsAnyOf(path, names, HOST_OBJECT_COUNT))
            return 0;
        count = HOST_OBJECT_COUNT;
    }
    return WriteChosenObjects(owner, path, names, count, author, wellId);
}

int main(int argc, char** argv)
{
    const char* directory = argc > 2 ? argv[1] : "C:\\data\\";
    const char* fileName = argc > 2 ? argv[2] : "wells.kvd";
    int written = ExportObjects(NULL, directory, fileName, "A. Rahman", "NF-001");
    printf(written ? "written\n" : "nothing written\n");
    return written ? 0 : 1;
}
