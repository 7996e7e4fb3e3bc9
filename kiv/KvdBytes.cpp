// KvdBytes.cpp - UTF-8 check and content hash, eight bytes at a time where they can.
#include "KvdBytes.h"

#include <cstring>

namespace {

inline uint64_t Load8(const void* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline uint64_t RotateLeft(uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ULL;

inline uint64_t Mix(uint64_t lane, uint64_t word) { return RotateLeft(lane + word * kPrime2, 31) * kPrime1; }

}  // namespace

void Utf8Check::Feed(const char* data, size_t size)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    while (valid_ && p < end) {
        if (need_ == 0) {
            while (end - p >= 8 && (Load8(p) & 0x8080808080808080ULL) == 0)
                p += 8;  // plain ASCII
            if (p == end)
                break;
            unsigned char c = *p++;
            if (c < 0x80)
                continue;
            unsigned length = Utf8Lead(c, low_, high_);
            if (length == 0)
                valid_ = false;  // a continuation byte alone, an overlong two-byte form, or no lead byte
            else
                need_ = length - 1;
        } else {
            unsigned char c = *p++;
            if (c < low_ || c > high_)
                valid_ = false;
            low_ = 0x80;
            high_ = 0xBF;
            --need_;
        }
    }
}

void ContentHash::Reset()
{
    lane_[0] = kPrime1 + kPrime2;
    lane_[1] = kPrime2;
    lane_[2] = 0;
    lane_[3] = 0 - kPrime1;
    tailSize_ = 0;
    total_ = 0;
}

inline void ContentHash::Stripe(const unsigned char* p)
{
    lane_[0] = Mix(lane_[0], Load8(p));
    lane_[1] = Mix(lane_[1], Load8(p + 8));
    lane_[2] = Mix(lane_[2], Load8(p + 16));
    lane_[3] = Mix(lane_[3], Load8(p + 24));
}

void ContentHash::Feed(const char* data, size_t size)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    total_ += size;
    if (tailSize_ > 0) {
        size_t take = 32 - tailSize_ < size ? 32 - tailSize_ : size;
        std::memcpy(tail_ + tailSize_, p, take);
        tailSize_ += take;
        p += take;
        size -= take;
        if (tailSize_ < 32)
            return;
        Stripe(tail_);
        tailSize_ = 0;
    }
    while (size >= 32) {
        Stripe(p);
        p += 32;
        size -= 32;
    }
    std::memcpy(tail_, p, size);
    tailSize_ = size;
}

uint64_t ContentHash::Value() const
{
    uint64_t h = RotateLeft(lane_[0], 1) + RotateLeft(lane_[1], 7) + RotateLeft(lane_[2], 12) +
                 RotateLeft(lane_[3], 18);
    h ^= total_ * kPrime3;
    for (size_t i = 0; i < tailSize_; ++i)
        h = RotateLeft(h ^ (tail_[i] * kPrime1), 11) * kPrime2;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}
