// sample_files.h - the demo's exchange files: where they are and which objects they hold.
#ifndef DERARDEMO_SAMPLE_FILES_H
#define DERARDEMO_SAMPLE_FILES_H

#include <string>
#include <vector>

struct SampleObject {
    std::string name, author, version, wellId, date;
};

// The folder of the running program, with its trailing backslash.
std::string ProgramDirectory();

// The folder the demo shows its samples from: "samples\" beside the program, where
// they are bundled, unless UseSamplesFrom chose another.
std::string SamplesDirectory();

// Copies the bundled samples (and their damaged\ folder) into directory and shows
// them from there from now on: a neutral folder such as C:\Wells, so that the
// dialogs and their pictures show what a user's machine would. False, with the
// reason in error, when a file cannot be copied.
bool UseSamplesFrom(const std::string& directory, std::string& error);

// The names of the *.kvd files in directory, sorted.
std::vector<std::string> ListExchangeFiles(const std::string& directory);

// Reads the objects of directory + fileName through the exchange library. On
// failure returns false with the library's message in error.
bool ReadObjects(const std::string& directory, const std::string& fileName,
                 std::vector<SampleObject>& objects, std::string& error);

// directory with a trailing separator, as the library joins directory and file name.
std::string WithSeparator(std::string directory);

#endif
