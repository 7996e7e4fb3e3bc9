// png_writer.cpp - a small PNG encoder: row filters, LZ77 and deflate's fixed Huffman codes.
// Dialog pictures are large flat areas, so this keeps a screenshot to a few kilobytes.
#include "png_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : m_out(out) {}

    // Deflate packs fields starting at the least significant bit.
    void Bits(std::uint32_t value, int count)
    {
        m_acc |= value << m_used;
        m_used += count;
        while (m_used >= 8) {
            m_out.push_back(static_cast<std::uint8_t>(m_acc));
            m_acc >>= 8;
            m_used -= 8;
        }
    }
    // Huffman codes go most significant bit first.
    void Code(std::uint32_t code, int length)
    {
        std::uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1u) << (length - 1 - i);
        Bits(reversed, length);
    }
    void Flush()
    {
        if (m_used > 0)
            m_out.push_back(static_cast<std::uint8_t>(m_acc));
        m_acc = 0;
        m_used = 0;
    }

private:
    std::vector<std::uint8_t>& m_out;
    std::uint32_t m_acc = 0;
    int m_used = 0;
};

void LiteralOrLength(BitWriter& bits, int symbol)
{
    if (symbol < 144)
        bits.Code(0x30 + symbol, 8);
    else if (symbol < 256)
        bits.Code(0x190 + (symbol - 144), 9);
    else if (symbol < 280)
        bits.Code(symbol - 256, 7);
    else
        bits.Code(0xC0 + (symbol - 280), 8);
}

const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void Match(BitWriter& bits, int length, int distance)
{
    int lc = 28;
    while (kLengthBase[lc] > length) --lc;
    LiteralOrLength(bits, 257 + lc);
    bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[lc]), kLengthExtra[lc]);
    int dc = 29;
    while (kDistanceBase[dc] > distance) --dc;
    bits.Code(static_cast<std::uint32_t>(dc), 5);
    bits.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[dc]), kDistanceExtra[dc]);
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t a = 1, b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char type[4], const std::vector<std::uint8_t>& data)
{
    PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian(png, Crc32(png.data() + typeAt, png.size() - typeAt));
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

} // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::vector<std::uint8_t> ZlibCompress(const std::uint8_t* data, std::size_t size)
{
    constexpr int kWindow = 32768;
    constexpr int kMinMatch = 3, kMaxMatch = 258;
    constexpr int kHashBits = 15;
    constexpr int kMaxChain = 48;

    std::vector<std::uint8_t> out = {0x78, 0x01};
    BitWriter bits(out);
    bits.Bits(1, 1); // the last block
    bits.Bits(1, 2); // compressed with the fixed codes

    std::vector<int> head(1u << kHashBits, -1);
    std::vector<int> prev(kWindow, -1);
    auto hashAt = [&](std::size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & ((1u << kHashBits) - 1);
    };
    auto remember = [&](std::size_t i) {
        if (i + kMinMatch > size) return;
        const unsigned h = hashAt(i);
        prev[i % kWindow] = head[h];
        head[h] = static_cast<int>(i);
    };

    std::size_t pos = 0;
    while (pos < size) {
        int bestLength = 0, bestDistance = 0;
        if (pos + kMinMatch <= size) {
            const std::size_t limit = std::min<std::size_t>(kMaxMatch, size - pos);
            int candidate = head[hashAt(pos)];
            for (int chain = 0; candidate >= 0 && chain < kMaxChain; ++chain) {
                const std::size_t distance = pos - static_cast<std::size_t>(candidate);
                if (distance > kWindow) break;
                std::size_t length = 0;
                while (length < limit && data[candidate + length] == data[pos + length]) ++length;
                if (static_cast<int>(length) > bestLength) {
                    bestLength = static_cast<int>(length);
                    bestDistance = static_cast<int>(distance);
                    if (length == limit) break;
                }
                const int older = prev[candidate % kWindow];
                if (older >= candidate) break; // the slot was reused by a newer position
                candidate = older;
            }
        }
        if (bestLength >= kMinMatch) {
            Match(bits, bestLength, bestDistance);
            for (int i = 0; i < bestLength; ++i) remember(pos + i);
            pos += bestLength;
        } else {
            LiteralOrLength(bits, data[pos]);
            remember(pos);
            ++pos;
        }
    }
    LiteralOrLength(bits, 256); // end of block
    bits.Flush();
    PutBigEndian(out, Adler32(data, size));
    return out;
}

std::vector<std::uint8_t> EncodePng(int width, int height, const std::uint8_t* rgb, std::size_t stride)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> zeros(rowBytes, 0), trial(rowBytes);
    std::vector<std::uint8_t> best(rowBytes);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = rgb + stride * static_cast<std::size_t>(y);
        const std::uint8_t* up = y > 0 ? rgb + stride * static_cast<std::size_t>(y - 1) : zeros.data();
        // Pick the filter whose output bytes are smallest as signed values (the usual heuristic).
        long bestScore = -1;
        int bestFilter = 0;
        for (int filter = 0; filter < 5; ++filter) {
            long score = 0;
            for (std::size_t i = 0; i < rowBytes; ++i) {
                const int a = i >= 3 ? row[i - 3] : 0, b = up[i], c = i >= 3 ? up[i - 3] : 0;
                int predicted = 0;
                switch (filter) {
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: predicted = Paeth(a, b, c); break;
                }
                trial[i] = static_cast<std::uint8_t>(row[i] - predicted);
                score += trial[i] < 128 ? trial[i] : 256 - trial[i];
            }
            if (bestScore < 0 || score < bestScore) {
                bestScore = score;
                bestFilter = filter;
                best.swap(trial);
            }
        }
        raw.push_back(static_cast<std::uint8_t>(bestFilter));
        raw.insert(raw.end(), best.begin(), best.end());
    }

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, adaptive filters, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", ZlibCompress(raw.data(), raw.size()));
    Chunk(png, "IEND", {});
    return png;
}

bool WritePngFile(const std::string& path, int width, int height, const std::uint8_t* rgb,
                  std::size_t stride)
{
    const std::vector<std::uint8_t> png = EncodePng(width, height, rgb, stride);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
