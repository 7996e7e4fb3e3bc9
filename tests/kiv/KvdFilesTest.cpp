// KvdFilesTest.cpp - whole files: the bundled samples, a file bigger than the
// reader's buffer, and the inputs kept from fuzzing.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"
#include "KvdWriter.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension = "")
{
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(KvdFiles, EverySampleIsValidAndItsDatesConvert)
{
    std::vector<fs::path> samples = FilesIn(SamplesDir(), ".kvd");
    ASSERT_GE(samples.size(), 3u) << SamplesDir();
    for (const fs::path& sample : samples) {
        ReadResult read = ReadKvdFile(sample.string());
        ASSERT_TRUE(read.opened) << read.message;
        EXPECT_FALSE(read.objects.empty()) << sample;
        for (const ReadObject& o : read.objects) {
            int y, mo, d, h, mi;
            EXPECT_NE(KivStringToDate(o.date.c_str(), &y, &mo, &d, &h, &mi), 0) << sample << ": " << o.name;
        }
    }
}

TEST(KvdFiles, WorkedExampleDeliversItsValuesInOrder)
{
    struct Expected {
        const char *group, *parent, *name, *value, *suffix;
        int record;
    };
    const Expected expected[] = {
        {"Survey", "", "Depth", "1200", "m", 1}, {"Survey", "", "Angle", "3.5", "deg", 1},
        {"Survey", "", "Depth", "1300", "m", 2}, {"Point", "Survey", "X", "10", "", 1},
        {"Survey", "", "Angle", "4.0", "deg", 2}, {"Casing", "", "Size", "7", "in", 1},
    };
    ReadResult read = ReadKvdFile(SamplesDir() + "/worked_example.kvd");
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    const std::vector<ReadValue>& values = read.objects[0].values;
    ASSERT_EQ(values.size(), std::size(expected));
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].group, expected[i].group) << "value " << i + 1;
        EXPECT_EQ(values[i].parent, expected[i].parent) << "value " << i + 1;
        EXPECT_EQ(values[i].name, expected[i].name) << "value " << i + 1;
        EXPECT_EQ(values[i].value, expected[i].value) << "value " << i + 1;
        EXPECT_EQ(values[i].suffix, expected[i].suffix) << "value " << i + 1;
        EXPECT_EQ(values[i].record, expected[i].record) << "value " << i + 1;
    }
}

// Lines of every length, some near the line limit, fall across the boundaries of
// the reader's reads; everything written comes back.
TEST(KvdFiles, FileBiggerThanTheBufferComesBackWhole)
{
    std::mt19937 generator(77);
    std::uniform_int_distribution<int> byte(1, 255), shortLength(0, 300), pick(0, 99);
    std::vector<ReadObject> written;
    std::string content = "KVD 1\n";
    while (content.size() < (std::string::size_type(9) << 20)) {
        ReadObject o{"well " + std::to_string(written.size()), "author", "1", "W", "1955-05-05 05:05", {}};
        content += KvdObjectLine(o.name, o.author, o.version, o.wellId, o.date);
        for (int i = pick(generator) % 40; i > 0; --i) {
            std::string text;
            int length = pick(generator) == 0 ? 700000 : shortLength(generator);
            for (int n = 0; n < length; ++n)
                text += static_cast<char>(byte(generator));
            ReadValue v{"G", "", "n" + std::to_string(i), text, pick(generator) < 50 ? "m" : "", "", i};
            content += KvdValueLine(v.group, v.parent, v.record, v.name, v.value, v.suffix);
            o.values.push_back(v);
        }
        written.push_back(o);
    }
    content += "end\n";
    ReadResult read = ReadKvdText(content);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        ASSERT_EQ(read.objects[i].name, written[i].name);
        ASSERT_EQ(read.objects[i].values.size(), written[i].values.size()) << written[i].name;
        for (size_t k = 0; k < written[i].values.size(); ++k) {
            ASSERT_EQ(read.objects[i].values[k].value, written[i].values[k].value) << written[i].name << " #" << k;
            ASSERT_EQ(read.objects[i].values[k].suffix, written[i].values[k].suffix) << written[i].name << " #" << k;
            ASSERT_EQ(read.objects[i].values[k].record, written[i].values[k].record) << written[i].name << " #" << k;
        }
    }
}

// Inputs kept from fuzzing (the starting corpus and every fault found): each is
// read or refused with a message, never a crash.
TEST(KvdFiles, FuzzInputsAreReadOrRefused)
{
    std::vector<fs::path> inputs = FilesIn(fs::path(KIV_FUZZ_DIR) / "corpus" / "reader");
    std::vector<fs::path> found = FilesIn(fs::path(KIV_FUZZ_DIR) / "regressions" / "reader");
    inputs.insert(inputs.end(), found.begin(), found.end());
    for (const fs::path& input : inputs) {
        ReadResult read = ReadKvdFile(input.string());
        if (!read.opened) {
            EXPECT_EQ(read.message.rfind("Cannot open \"", 0), 0u) << input << ": " << read.message;
        }
    }
}

TEST(KvdFiles, FuzzDatesAreReadOrRefused)
{
    std::vector<fs::path> inputs = FilesIn(fs::path(KIV_FUZZ_DIR) / "corpus" / "date");
    std::vector<fs::path> found = FilesIn(fs::path(KIV_FUZZ_DIR) / "regressions" / "date");
    inputs.insert(inputs.end(), found.begin(), found.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int y = -1, mo = -1, d = -1, h = -1, mi = -1;
        if (KivStringToDate(text.c_str(), &y, &mo, &d, &h, &mi) == 0) {
            EXPECT_EQ(y | mo | d | h | mi, 0) << input;
        } else {
            EXPECT_TRUE(mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h <= 23 && mi <= 59) << input;
        }
    }
}

}  // namespace
