// KvdWriter.h - writing .kvd lines: what the reader reads back byte for byte.
// Kiv.dll itself only reads; tests, samples, fuzz inputs and benchmarks write.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view kKvdHeader = "KVD 1";

// True when `text` may stand without quotes: not empty, and only bytes above the
// blank other than '"' and '\'.
bool IsBareKvdText(std::string_view text);

// Appends one field: bare when it may be, otherwise in quotes with \" \\ \t \n \r
// and \xHH for the other control bytes. A text cannot hold a zero byte.
void AppendKvdText(std::string& out, std::string_view text);

// One complete line each, ending with "\n".
std::string KvdObjectLine(std::string_view name, std::string_view author, std::string_view version,
                          std::string_view wellId, std::string_view date);
std::string KvdValueLine(std::string_view group, std::string_view parentGroup, int record,
                         std::string_view name, std::string_view value,
                         std::string_view suffix = {}, std::string_view extra = {});
