// replay.cpp - prints everything the six calls deliver for each file named, or the
// message that refuses it. fuzz/run.sh builds it twice, with and without the
// reader's one-go path for value lines, and compares the two over the corpus.
#include <cstdio>
#include <string>

#include "kivapi.h"

namespace {

void Print(const char* label, const char* text)
{
    std::printf(" %s=", label);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        std::printf(*p < 0x20 || *p >= 0x7F || *p == '%' ? "%%%02X" : "%c", *p);
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        char* message;
        KivAttach(&message);
        std::printf("file %s\n", argv[i]);
        if (!KivOpen(argv[i], &message, 0)) {
            Print("refused", message);
            std::printf("\n");
        }
        char *name, *author, *version, *wellId, *date;
        while (KivGetNextObject(&name, &author, &version, &wellId, &date)) {
            std::printf("object");
            Print("name", name), Print("author", author), Print("version", version);
            Print("well", wellId), Print("date", date);
            std::printf("\n");
            char *group, *valueName, *extra, *suffix, *valueText, *parent;
            int record;
            while (KivGetNextValue(&group, &valueName, &extra, &suffix, &valueText, &parent, &record)) {
                std::printf("  value record=%d", record);
                Print("group", group), Print("parent", parent), Print("name", valueName);
                Print("value", valueText), Print("suffix", suffix), Print("extra", extra);
                std::printf("\n");
            }
        }
        KivDetach();
    }
    return 0;
}
