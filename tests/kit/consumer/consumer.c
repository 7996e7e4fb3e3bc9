/* consumer.c - a host built against the kit through its CMake package: it calls
 * derar.dll, Kiv.dll and the help window through the imported targets, and says what
 * it got. No dialog appears: the export goes to a folder that does not exist, which
 * ends the dialog unseen with 1 and no names. */
#include <stdio.h>
#include <windows.h>

#include <derar.h>
#include <derarhelp.h>
#include <kivapi.h>

static void OnHelp(const DerarHelpRequest* request, void* context)
{
    (void)request;
    (void)context;
}

int main(void)
{
    char buffer[256] = "Deviation survey";
    char* names[1];
    char* message = NULL;
    int count = 1, attached, result, year = 0, month = 0, day = 0, hour = 0, minute = 0;
    HWND help = DerarCreateHelpWindow(GetModuleHandleA(NULL), OnHelp, NULL);
    names[0] = buffer;
    attached = KivAttach(&message);
    KivStringToDate("1987-03-14 09:30", &year, &month, &day, &hour, &minute);
    KivDetach();
    result = KivImpExpDialog(0, "C:\\no such folder\\", "wells.kvd", "A. Rahman", "NF-001", names, &count);
    DerarDestroyHelpWindow(help);
    printf("consumer: kit %s, attached %d, date %04d-%02d-%02d %02d:%02d, export %d with %d names, help window %s\n",
           DERAR_VERSION_STRING, attached, year, month, day, hour, minute, result, count, help ? "made" : "missing");
    return attached == 1 && result == 1 && count == 0 && help != NULL && year == 1987 ? 0 : 1;
}
