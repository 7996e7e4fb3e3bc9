// KvdDamageTest.cpp - every kind of damage is refused with a message that names the
// file, the line, the column, what was expected and what to do.
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "KivTestSupport.h"
#include "KvdReader.h"

namespace {

const std::string kHead = "KVD 1\n";
const std::string kObject = "object O a v w \"2000-01-01 00:00\"\n";

struct DamageCase {
    const char* name;
    std::string content;
    int line;    // 0: the message names no line
    int column;
    const char* expected;  // a phrase of the message
};

std::string Zero(const char* before, const char* after) { return std::string(before) + '\0' + after; }

const DamageCase kDamage[] = {
    {"empty file", "", 0, 0, "the file is empty"},
    {"blank first line", "\n\n", 1, 1, "expected the first line \"KVD 1\""},
    {"wrong first line", "KVD1\nend\n", 1, 1,
     "expected the first line \"KVD 1\" that names the format, found \"KVD1\". This is not an exchange file"},
    {"newer version", "KVD 2\nend\n", 1, 5, "expected version 1 of the format"},
    {"binary junk", Zero("", "\x01\xff\xfe junk"), 1, 1, "found a zero byte (the file looks binary, not like "
     "text). It is another kind of file, or a damaged one"},
    {"header only", kHead, 0, 0, "the file ends after line 1 without its \"end\" line"},
    {"cut inside a text", kHead + kObject + "value G \"\" 1 n \"cut", 3, 20,
     "expected a closing quote '\"' for the text that begins at column 16"},
    {"cut after a line", kHead + kObject + "value G \"\" 1 n x\n", 0, 0,
     "the file ends after line 3 without its \"end\" line. It may have been cut short"},
    {"misspelt keyword", kHead + kObject + "valeu G \"\" 1 n v\nend\n", 3, 1,
     "expected a line that begins with \"object\", \"value\", \"end\" or \"#\", found \"valeu\""},
    {"indented unknown word", kHead + "  obj x\nend\n", 2, 3, "found \"obj\""},
    {"unclosed quote", kHead + kObject + "value G \"\" 1 n \"abc\nend\n", 3, 20,
     "expected a closing quote"},
    {"unknown escape", kHead + kObject + "value G \"\" 1 n \"a\\qb\"\nend\n", 3, 18,
     "expected one of the escapes"},
    {"short hex escape", kHead + kObject + "value G \"\" 1 n \"\\x4\"\nend\n", 3, 17,
     "expected two hexadecimal digits after \\x, found \"\\x4\". Write a byte as \\x and two digits"},
    {"zero byte escape", kHead + kObject + "value G \"\" 1 n \"\\x00\"\nend\n", 3, 17,
     "found \\x00. A text cannot hold a zero byte: remove the \\x00"},
    {"control byte in a bare text", kHead + kObject + "value G \"\" 1 n a\x01" "b\nend\n", 3, 17,
     "a text written without quotes holds the control byte 0x01. Write the text in double quotes with the "
     "byte as \\x01"},
    {"quote in a bare text", kHead + kObject + "value G \"\" 1 n a\"b\nend\n", 3, 17,
     "a text written without quotes holds a double quote. Write the whole text in double quotes, with \\\" for "
     "each double quote"},
    {"backslash in a bare text", kHead + kObject + "value G \"\" 1 n a\\b\nend\n", 3, 17,
     "a text written without quotes holds a backslash"},
    {"zero byte in a line", kHead + kObject + Zero("value G \"\" 1 n a", "b\nend\n"), 3, 17,
     "found a zero byte"},
    {"control byte in quotes", kHead + kObject + "value G \"\" 1 n \"a\x02\"\nend\n", 3, 18,
     "a quoted text holds the control byte 0x02. Write it as \\x02, or remove it"},
    {"text glued to a closing quote", kHead + kObject + "value G \"\" 1 n \"ab\"c\nend\n", 3, 20,
     "expected a blank or the end of the line after the closing quote"},
    {"carriage return inside a line", kHead + kObject + "value G \"\" 1 n a\rb\nend\n", 3, 17,
     "holds the control byte 0x0D"},
    {"value without its text", kHead + kObject + "value G \"\" 1 n\nend\n", 3, 15,
     "expected the value text, found the end of the line"},
    {"value without record number", kHead + kObject + "value G \"\"\nend\n", 3, 11,
     "expected a record number"},
    {"record number given as an empty text", kHead + kObject + "value G \"\" 1 n v\nvalue G \"\" \"\" n v\nend\n",
     4, 12, "expected a record number (a whole number such as 1), found '\"'"},
    {"record number not a number", kHead + kObject + "value G \"\" x1 n v\nend\n", 3, 12,
     "expected a record number (a whole number such as 1), found \"x1\""},
    {"record number with a fraction", kHead + kObject + "value G \"\" 1.5 n v\nend\n", 3, 12,
     "found \"1.5\""},
    {"record number too big", kHead + kObject + "value G \"\" 2147483648 n v\nend\n", 3, 12,
     "expected a record number from -2147483648 to 2147483647"},
    {"record number far too big", kHead + kObject + "value G \"\" -99999999999999999999 n v\nend\n", 3,
     12, "expected a record number from -2147483648 to 2147483647"},
    {"a field after the extra text", kHead + kObject + "value G \"\" 1 n v s e more\nend\n", 3, 22,
     "a value line has at most seven fields, and an eighth follows: \"more\""},
    {"object without a date", kHead + "object O a v w\nend\n", 2, 15, "expected the date"},
    {"object with a field too many", kHead + "object O a v w \"2000-01-01 00:00\" x\nend\n", 2, 35,
     "expected the end of the line after the date"},
    {"date and time without quotes", kHead + "object O a v w 2000-01-01 10:00\nend\n", 2, 16,
     "expected the date and time in quotes, such as \"1987-03-14 09:30\", found \"2000-01-01\" without quotes"},
    {"date that does not exist", kHead + "object O a v w \"2001-02-29 10:00\"\nend\n", 2, 16,
     "expected a date and a time that exist, found \"2001-02-29 10:00\", which is none"},
    {"time that does not exist", kHead + "object O a v w \"2001-02-28 24:00\"\nend\n", 2, 16, "which is none"},
    {"date in another form", kHead + "object O a v w \"14.03.1987 09:30\"\nend\n", 2, 16,
     "found \"14.03.1987 09:30\""},
    {"empty object name", kHead + "object \"\" a v w \"2000-01-01 00:00\"\nend\n", 2, 8,
     "expected an object name"},
    {"empty group name", kHead + kObject + "value \"\" \"\" 1 n v\nend\n", 3, 7, "expected a group name"},
    {"value before any object", kHead + "value G \"\" 1 n v\nend\n", 2, 1,
     "expected an \"object\" line before the first value"},
    {"record after the end line", kHead + kObject + "end\n" + kObject, 4, 1,
     "expected nothing but blank lines and comments after the \"end\" line"},
    {"end line twice", kHead + "end\nend\n", 3, 1, "after the \"end\" line"},
    {"line over the limit", kHead + "# " + std::string(KvdReader::kMaxLine, 'x') + "\nend\n", 0, 0,
     "line 2 is longer than 1048576 bytes"},
    {"megabytes without a line end", std::string(3 << 20, 'j'), 0, 0, "line 1 is longer than 1048576 bytes"},
};

TEST(KvdDamage, EachKindIsRefusedWithItsPlace)
{
    for (const DamageCase& c : kDamage) {
        TestFile file(c.content);
        ReadResult read = ReadKvdFile(file.Path());
        EXPECT_FALSE(read.opened) << c.name;
        EXPECT_TRUE(read.objects.empty()) << c.name << ": a refused file delivers nothing";
        std::string start = "Cannot open \"" + file.Path() + "\": ";
        if (c.line > 0)
            start += "line " + std::to_string(c.line) + ", column " + std::to_string(c.column) + ": ";
        EXPECT_EQ(read.message.substr(0, start.size()), start) << c.name << "\n  message: " << read.message;
        EXPECT_NE(read.message.find(c.expected), std::string::npos)
            << c.name << "\n  message: " << read.message;
        EXPECT_NE(read.message.find("hoose"), std::string::npos)
            << c.name << ": the message says what to do\n  message: " << read.message;
    }
}

TEST(KvdDamage, LongestLineIsAccepted)
{
    std::string text(KvdReader::kMaxLine - 40, 'v');
    std::string line = "value G \"\" 1 n " + text;
    line += std::string(KvdReader::kMaxLine - line.size(), 'w');
    ReadResult read = ReadKvdText(kHead + kObject + line + "\nend\n");
    ASSERT_TRUE(read.opened) << read.message;
    EXPECT_EQ(read.objects.at(0).values.at(0).value.size(), KvdReader::kMaxLine - 15);
}

struct PathCase {
    const char* name;
    std::string path;
    const char* expected;
};

TEST(KvdDamage, PathsThatAreNoFile)
{
    std::string folder = testing::TempDir() + "kiv_folder.kvd";
    mkdir(folder.c_str(), 0755);
    std::string fifo = testing::TempDir() + "kiv_fifo.kvd";
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const PathCase cases[] = {
        {"missing file", testing::TempDir() + "kiv_nowhere.kvd", "there is no such file"},
        {"missing folder", testing::TempDir() + "kiv_nowhere/x.kvd", "there is no such file"},
        {"folder", folder, "this is a folder, not a file"},
        {"named pipe, which would block a reader", fifo, "special file"},
        {"empty name", "", "no file name was given"},
    };
    for (const PathCase& c : cases) {
        ReadResult read = ReadKvdFile(c.path);
        EXPECT_FALSE(read.opened) << c.name;
        EXPECT_EQ(read.message.rfind("Cannot open \"" + c.path + "\": ", 0), 0u) << c.name << ": " << read.message;
        EXPECT_NE(read.message.find(c.expected), std::string::npos) << c.name << ": " << read.message;
    }
    rmdir(folder.c_str());
    unlink(fifo.c_str());
}

}  // namespace
