// png_writer.h - encodes 24-bit RGB pictures as PNG files.
// Portable C++ (no Windows header): the demo's screenshots go through it.
#ifndef DERARDEMO_PNG_WRITER_H
#define DERARDEMO_PNG_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// rgb holds height rows of width pixels, top row first, 3 bytes per pixel (R, G, B);
// rows are stride bytes apart. Returns the complete PNG file.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint8_t* rgb, std::size_t stride);

// Writes EncodePng's result to path; false when the file cannot be written.
bool WritePngFile(const std::string& path, int width, int height, const std::uint8_t* rgb,
                  std::size_t stride);

// The zlib stream (RFC 1950) of data: LZ77 with the fixed Huffman codes of deflate.
std::vector<std::uint8_t> ZlibCompress(const std::uint8_t* data, std::size_t size);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

#endif
