// The bundled sample files, reached through Wine's Z: drive (the Unix root).
#include "smoke_files.h"

#include "test_fixtures.h"

namespace smoke {

std::string SamplePath(const std::string& relative)
{
    std::string path = std::string("Z:") + DERAR_SAMPLES_DIR + "/" + relative;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string SampleText(const std::string& relative)
{
    return fixtures::ReadFile(SamplePath(relative));
}

}  // namespace smoke
