// smoke_files.h - the bundled sample files, as the smoke program reaches them.
#ifndef DERAR_SMOKE_FILES_H
#define DERAR_SMOKE_FILES_H

#include <string>

namespace smoke {

// The Windows path of a file under demo/samples ("worked_example.kvd",
// "damaged/bad-date.kvd"): the source tree is reached through Wine's Z: drive.
std::string SamplePath(const std::string& relative);

// The bytes of a sample file ("" if it cannot be read).
std::string SampleText(const std::string& relative);

}  // namespace smoke

#endif
