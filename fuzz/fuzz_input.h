// fuzz_input.h - the file that a fuzz input stands for. The reader reads 256 KiB at a
// time, and the inputs are short: the last byte of an input may ask for a comment line
// after the first line that moves a byte of the rest, chosen by that byte too, onto the
// first byte of the reader's second read, so that lines, texts and the quick way of
// repeated value lines meet the edge of the buffer. The comment changes nothing that the
// file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzinput {

constexpr size_t kChunk = size_t(256) << 10;  // the reader's read (KvdReader.cpp)

inline std::string LaidOut(const uint8_t* data, size_t size)
{
    std::string file(reinterpret_cast<const char*>(data), size);
    if (size < 2 || (data[size - 1] & 6) != 6)
        return file;  // three in four inputs as they are
    size_t lf = file.find('\n');
    if (lf == std::string::npos)
        return file;
    size_t head = lf + 1;
    size_t rest = size - head;
    size_t at = rest == 0 ? 0 : (data[size - 1] >> 3) * 2654435761u % rest;  // the byte of the rest to move
    // head + "#" + pad + "\n" + rest, with rest[at] at kChunk.
    size_t pad = kChunk - head - 2 - at;
    return file.substr(0, head) + "#" + std::string(pad, 'p') + "\n" + file.substr(head);
}

}  // namespace fuzzinput
