#pragma once
// What the four descriptor readers share: the arena the tree lives in, the
// index that finds a member of an object without a walk, and the canonical
// texts of numbers. Internal to src/descriptors.
#include <cstddef>
#include <cstdint>

#include "descriptors/Document.h"

struct ArenaBlock;

struct Document {
    ArenaBlock* blocks;
    DocNode* root;
};

class DocBuilder {
public:
    // The arena may grow to a fixed multiple of the input's length.
    explicit DocBuilder(size_t inputLength);
    ~DocBuilder();
    DocBuilder(const DocBuilder&) = delete;
    DocBuilder& operator=(const DocBuilder&) = delete;

    // False once any allocation failed or the budget ran out; stays false.
    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

    void* alloc(size_t size);
    // Room for capacity bytes and a NUL; the caller fills and terminates it.
    char* textBuffer(size_t capacity) { return static_cast<char*>(alloc(capacity + 1)); }
    char* copyText(const char* text, size_t length);
    DocNode* node(DocType type);
    DocNode* scalar(DocType type, const char* text, size_t length);

    // Member lookups by key through one hash index over all objects.
    DocNode* findMember(const DocNode* object, const char* key, size_t length) const;
    // Appends member (whose key is set) to object, or, where the object holds
    // its key already, gives the earlier member member's value in its place
    // (the earlier member keeps its place, as in a Python dict).
    bool addMember(DocNode* object, DocNode* member);
    // Appends without looking (arrays, XML children).
    static void append(DocNode* parent, DocNode* child);

    // The finished tree, or null (everything freed) when anything failed.
    Document* finish(DocNode* root);

private:
    bool indexInsert(DocNode* object, DocNode* member);

    ArenaBlock* blocks_ = nullptr;
    size_t budget_;
    size_t used_ = 0;
    DocNode** index_ = nullptr;  // open addressing; a slot holds a member
    const DocNode** owners_ = nullptr;
    size_t indexSize_ = 0;
    size_t indexCount_ = 0;
    bool ok_ = true;
};

// A growing buffer (coreRealloc) for one text while a reader gathers it.
class Scratch {
public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch();
    void clear() { size_ = 0; }
    bool add(const char* p, size_t n);
    bool add(char c) { return add(&c, 1); }
    const char* data() const { return data_ ? data_ : ""; }
    size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Integer texts: digits (no sign, no separators) in base 2, 8, 10 or 16 become
// the decimal text of the value, with "-" when negative and not zero. Longer
// digit runs than kMaxNumberDigits are declined (false).
constexpr size_t kMaxNumberDigits = 400;

// A natural number of up to about 1400 bits, for turning digits of any base
// (and YAML's base 60) into decimal.
class BigNatural {
public:
    // value = value * factor + addend; false when it outgrows the limbs.
    bool mulAdd(uint32_t factor, uint32_t addend);
    bool isZero() const { return used_ == 0; }
    // Decimal digits into out (room for kMaxDecimal + 1); returns the length.
    static constexpr size_t kMaxDecimal = 9 * 48;
    size_t toDecimal(char* out) const;

private:
    static constexpr size_t kLimbs = 48;  // base 10^9
    uint32_t limb_[kLimbs] = {};
    size_t used_ = 0;
};

int digitValue(char c);  // 0-35 for 0-9 a-z A-Z, else -1
DocNode* integerNode(DocBuilder& builder, const char* digits, size_t length, unsigned base, bool negative);
DocNode* bigIntegerNode(DocBuilder& builder, const BigNatural& value, bool negative);
// text (length bytes, no separators) is a float as strtod reads it in the C
// locale, or "inf", "-inf", "nan".
DocNode* floatNode(DocBuilder& builder, const char* text, size_t length);
// Python's repr of a double into out (room for 32 bytes); returns the length.
size_t formatPythonFloat(double value, char* out);

// UTF-8: the length of the valid sequence at p (1-4), 0 where it is not
// valid (overlong forms, surrogates and values past U+10FFFF included).
size_t utf8SequenceLength(const unsigned char* p, size_t available);
// The code point of the valid sequence at p of that length.
uint32_t utf8Decode(const unsigned char* p, size_t length);
// Writes code point cp (not a surrogate, at most U+10FFFF) and returns the
// byte count (1-4).
size_t utf8Encode(uint32_t cp, char* out);
