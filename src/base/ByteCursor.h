#pragma once
// A bounds-checked reader over untrusted bytes: little- and big-endian reads, a
// failure flag that once set stays set (every later read yields 0), and range
// checks written so that no sum can overflow. Zip records, the icon directory
// and string records are all read through it; no other code does pointer
// arithmetic on numbers that come from a file.
#include <cstdint>
#include <cstring>

// True when [offset, offset + length) lies inside [0, size).
inline bool rangeInside(uint64_t offset, uint64_t length, uint64_t size) {
    return length <= size && offset <= size - length;
}

class ByteCursor {
public:
    ByteCursor(const void* data, uint64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

    bool ok() const { return ok_; }
    uint64_t pos() const { return pos_; }
    uint64_t size() const { return size_; }
    uint64_t remaining() const { return ok_ ? size_ - pos_ : 0; }

    bool seek(uint64_t offset) {
        if (!ok_ || offset > size_) return fail();
        pos_ = offset;
        return true;
    }
    bool skip(uint64_t count) {
        if (!ok_ || !rangeInside(pos_, count, size_)) return fail();
        pos_ += count;
        return true;
    }
    // Pointer to the next count bytes, advancing past them; null on failure.
    const uint8_t* bytes(uint64_t count) {
        if (!ok_ || !rangeInside(pos_, count, size_)) {
            fail();
            return nullptr;
        }
        const uint8_t* p = data_ + pos_;
        pos_ += count;
        return p;
    }

    uint8_t u8() { return static_cast<uint8_t>(le(1)); }
    uint16_t u16le() { return static_cast<uint16_t>(le(2)); }
    uint32_t u32le() { return static_cast<uint32_t>(le(4)); }
    uint64_t u64le() { return le(8); }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }
    uint32_t u32be() {
        const uint8_t* p = bytes(4);
        if (!p) return 0;
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    }

private:
    uint64_t le(unsigned width) {
        const uint8_t* p = bytes(width);
        if (!p) return 0;
        uint64_t v = 0;
        for (unsigned i = width; i-- > 0;) v = (v << 8) | p[i];
        return v;
    }
    bool fail() {
        ok_ = false;
        return false;
    }

    const uint8_t* data_;
    uint64_t size_;
    uint64_t pos_ = 0;
    bool ok_ = true;
};
