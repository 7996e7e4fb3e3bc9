// KvdBytes.h - two checks that run over a file's bytes as they are read, chunk by
// chunk: is all of it UTF-8, and a hash of its content (to see whether a file
// changed between two readings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Turns bytes in the callers' Windows code page into UTF-8: texts of an older file,
// and the paths and the system's words that a message names (nullptr where the callers
// speak UTF-8, and nothing needs turning).
using KvdLegacyToUtf8 = std::string (*)(std::string_view);

// The value of a digit of a text's \xHH escape; -1 for any other byte.
inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// How many bytes the UTF-8 sequence that `c` leads has (0: `c` leads none of two or
// more), and the range its second byte must fall in: the tighter ranges after E0,
// ED, F0 and F4 keep out overlong forms, surrogates and code points above U+10FFFF.
inline unsigned Utf8Lead(unsigned char c, unsigned char& low, unsigned char& high)
{
    low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (c < 0xC2 || c > 0xF4)
        return 0;
    return c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
class Utf8Check {
public:
    void Feed(const char* data, size_t size);
    // True when everything fed so far is UTF-8 and no sequence is left open.
    bool Valid() const { return valid_ && need_ == 0; }
    // True when a byte fed so far cannot be part of UTF-8 (a sequence still open is none).
    bool FaultSeen() const { return !valid_; }
    void Reset() { *this = Utf8Check(); }

private:
    bool valid_ = true;
    unsigned need_ = 0;  // continuation bytes still to come
    unsigned char low_ = 0x80, high_ = 0xBF;  // range of the next continuation byte
};

// A 64-bit hash of a byte stream; the same bytes give the same value however they
// are cut into pieces. Not for security: it tells whether a file changed.
class ContentHash {
public:
    ContentHash() { Reset(); }
    void Reset();
    void Feed(const char* data, size_t size);
    uint64_t Value() const;
    uint64_t Size() const { return total_; }

private:
    void Stripe(const unsigned char* p);
    uint64_t lane_[4];
    unsigned char tail_[32];
    size_t tailSize_;
    uint64_t total_;
};
