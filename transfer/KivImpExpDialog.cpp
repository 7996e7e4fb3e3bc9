// The transfer dialog's entry point: the candidates in, the chosen names out.
#include <afxwin.h>

#include <cstring>

#include "ImpExpDialog.h"
#include "derar.h"
#include "KivTexts.h"

namespace {

// Object names are at most 255 characters: a caller's buffer holds 256 bytes.
const int kNameBufferSize = 256;

// Copies name with its terminating zero into a caller's 256-byte buffer, cutting
// a longer name to 255 characters so that the copy never runs past the buffer.
void CopyName(char* buffer, const CString& name)
{
    if (buffer == NULL)
        return;
    size_t length = static_cast<size_t>(name.GetLength());
    if (length > kNameBufferSize - 1)
        length = kNameBufferSize - 1;
    std::memcpy(buffer, static_cast<LPCSTR>(name), length);
    buffer[length] = '\0';
}

}  // namespace

extern "C" DERARAPI int __cdecl KivImpExpDialog(int modeFlag, const char* directory,
                                                const char* fileName, const char* currentAuthor,
                                                const char* currentWellId, char** names, int* count)
{
    // Without a count, or without names to read, there is nothing sound to do or to write.
    if (count == NULL || (names == NULL && *count > 0))
        return 0;
    const int nCandidates = *count > 0 ? *count : 0;

    // No C++ exception may leave the library.
    try
    {
        CStringList nameList(10);
        for (int i = 0; i < nCandidates; ++i)
            nameList.AddTail(KivText(names[i]));

        int nResult = -1;
        {
            CImpExpDialog dialog(modeFlag, KivText(directory), KivText(fileName), KivText(currentAuthor),
                                 KivText(currentWellId), &nameList, NULL);
            nResult = dialog.DoModal();
        }

        // Every returned name stems from one candidate, so the list never outgrows the
        // caller's array; the bound only keeps a fault elsewhere from writing past it.
        int nReturned = static_cast<int>(nameList.GetCount());
        if (nReturned > nCandidates)
            nReturned = nCandidates;
        *count = nReturned;
        for (int i = 0; i < nReturned; ++i)
            CopyName(names[i], nameList.RemoveHead());

        return nResult == IDOK ? 1 : 0;
    }
    catch (...)
    {
        return 0;
    }
}
