// KvdNext.h - for the kvd tool, over the exchange library's calls (not in the kit; the
// dialogs have shared/KivTexts.h): the next object's texts copied at once into the
// caller's own strings, since the library's texts change with its next call.
#ifndef KVDNEXT_H
#define KVDNEXT_H

#include <kivapi.h>

// Any string type that can be assigned a const char*; a NULL text reads as empty.
// False at the end of the file or with no file open, and the strings stay as they were.
template <typename String>
bool KivCopyNextObject(String& name, String& author, String& version, String& wellId, String& date)
{
    char* texts[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    if (!KivGetNextObject(&texts[0], &texts[1], &texts[2], &texts[3], &texts[4]))
        return false;
    String* copies[5] = {&name, &author, &version, &wellId, &date};
    for (int i = 0; i < 5; ++i)
        *copies[i] = texts[i] != nullptr ? texts[i] : "";
    return true;
}

#endif
