#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "descriptors/DocumentBuild.h"

struct ArenaBlock {
    ArenaBlock* next;
    size_t used;
    size_t size;
    // the block's bytes follow, 16-aligned
};

namespace {
constexpr size_t kBlockHeader = (sizeof(ArenaBlock) + 15) & ~size_t(15);
constexpr size_t kBlockSize = 16 * 1024;
const char kEmpty[] = "";

void freeBlocks(ArenaBlock* b) {
    while (b) {
        ArenaBlock* next = b->next;
        coreFree(b);
        b = next;
    }
}

size_t hashKey(const DocNode* owner, const char* key, size_t length) {
    uint64_t h = 1469598103934665603ull ^ reinterpret_cast<uintptr_t>(owner);
    for (size_t i = 0; i < length; ++i) h = (h ^ static_cast<unsigned char>(key[i])) * 1099511628211ull;
    return static_cast<size_t>(h ^ (h >> 29));
}
}  // namespace

DocBuilder::DocBuilder(size_t inputLength) : budget_(inputLength * 48 + 256 * 1024) {}

DocBuilder::~DocBuilder() {
    freeBlocks(blocks_);
    coreFree(index_);
    coreFree(owners_);
}

void* DocBuilder::alloc(size_t size) {
    if (!ok_) return nullptr;
    size = (size + 15) & ~size_t(15);
    if (blocks_ && blocks_->size - blocks_->used >= size) {
        char* p = reinterpret_cast<char*>(blocks_) + kBlockHeader + blocks_->used;
        blocks_->used += size;
        return p;
    }
    size_t blockSize = size > kBlockSize ? size : kBlockSize;
    if (blockSize > budget_ - used_ || budget_ < used_) {
        ok_ = false;
        return nullptr;
    }
    ArenaBlock* b = static_cast<ArenaBlock*>(coreAlloc(kBlockHeader + blockSize));
    if (!b) {
        ok_ = false;
        return nullptr;
    }
    used_ += blockSize;
    b->size = blockSize;
    b->used = size;
    // A big block goes behind the current one, so the current one's rest stays usable.
    if (blocks_ && size > kBlockSize) {
        b->next = blocks_->next;
        blocks_->next = b;
    } else {
        b->next = blocks_;
        blocks_ = b;
    }
    return reinterpret_cast<char*>(b) + kBlockHeader;
}

char* DocBuilder::copyText(const char* text, size_t length) {
    char* p = textBuffer(length);
    if (!p) return nullptr;
    if (length) memcpy(p, text, length);
    p[length] = 0;
    return p;
}

DocNode* DocBuilder::node(DocType type) {
    DocNode* n = static_cast<DocNode*>(alloc(sizeof(DocNode)));
    if (!n) return nullptr;
    memset(n, 0, sizeof *n);
    n->type = type;
    n->key = n->text = n->tail = kEmpty;
    return n;
}

DocNode* DocBuilder::scalar(DocType type, const char* text, size_t length) {
    DocNode* n = node(type);
    char* t = copyText(text, length);
    if (!n || !t || length > UINT32_MAX) return fail(), nullptr;
    n->text = t;
    n->textLength = static_cast<uint32_t>(length);
    return n;
}

void DocBuilder::append(DocNode* parent, DocNode* child) {
    if (parent->last)
        parent->last->next = child;
    else
        parent->child = child;
    parent->last = child;
    ++parent->count;
}

DocNode* DocBuilder::findMember(const DocNode* object, const char* key, size_t length) const {
    if (!indexSize_) return nullptr;
    for (size_t i = hashKey(object, key, length) & (indexSize_ - 1);; i = (i + 1) & (indexSize_ - 1)) {
        DocNode* m = index_[i];
        if (!m) return nullptr;
        if (owners_[i] == object && m->keyLength == length && memcmp(m->key, key, length) == 0) return m;
    }
}

bool DocBuilder::indexInsert(DocNode* object, DocNode* member) {
    if ((indexCount_ + 1) * 2 > indexSize_) {
        size_t size = indexSize_ ? indexSize_ * 2 : 64;
        size_t bytes = size * 2 * sizeof(void*);
        if (bytes > budget_ - used_ || budget_ < used_) return fail(), false;
        DocNode** slots = coreAllocArray<DocNode*>(size);
        const DocNode** owners = coreAllocArray<const DocNode*>(size);
        if (!slots || !owners) {
            coreFree(slots);
            coreFree(owners);
            return fail(), false;
        }
        used_ += bytes;
        memset(slots, 0, size * sizeof *slots);
        for (size_t j = 0; j < indexSize_; ++j) {
            if (!index_[j]) continue;
            size_t i = hashKey(owners_[j], index_[j]->key, index_[j]->keyLength) & (size - 1);
            while (slots[i]) i = (i + 1) & (size - 1);
            slots[i] = index_[j];
            owners[i] = owners_[j];
        }
        coreFree(index_);
        coreFree(owners_);
        index_ = slots;
        owners_ = owners;
        indexSize_ = size;
    }
    size_t i = hashKey(object, member->key, member->keyLength) & (indexSize_ - 1);
    while (index_[i]) i = (i + 1) & (indexSize_ - 1);
    index_[i] = member;
    owners_[i] = object;
    ++indexCount_;
    return true;
}

bool DocBuilder::addMember(DocNode* object, DocNode* member) {
    if (!ok_) return false;
    DocNode* earlier = findMember(object, member->key, member->keyLength);
    if (earlier) {
        DocNode* next = earlier->next;
        const char* key = earlier->key;
        *earlier = *member;
        earlier->key = key;
        earlier->next = next;
        return true;
    }
    if (!indexInsert(object, member)) return false;
    append(object, member);
    return true;
}

Document* DocBuilder::finish(DocNode* root) {
    if (!ok_ || !root) return nullptr;
    Document* d = static_cast<Document*>(coreAlloc(sizeof(Document)));
    if (!d) return nullptr;
    d->blocks = blocks_;
    d->root = root;
    blocks_ = nullptr;
    return d;
}

void freeDocument(Document* document) {
    if (!document) return;
    freeBlocks(document->blocks);
    coreFree(document);
}

const DocNode* documentRoot(const Document* document) { return document ? document->root : nullptr; }

const DocNode* docMember(const DocNode* object, const char* key) {
    if (!object || !key || object->type != DocType::Object) return nullptr;
    size_t length = strlen(key);
    for (const DocNode* m = object->child; m; m = m->next)
        if (m->keyLength == length && memcmp(m->key, key, length) == 0) return m;
    return nullptr;
}

const DocNode* docIndex(const DocNode* array, size_t index) {
    if (!array || array->type != DocType::Array) return nullptr;
    const DocNode* e = array->child;
    while (e && index--) e = e->next;
    return e;
}

const DocNode* docPath(const DocNode* node, const char* path) {
    if (!path) return nullptr;
    char segment[256];
    while (node && *path) {
        size_t n = strcspn(path, ".");
        if (n >= sizeof segment) return nullptr;
        memcpy(segment, path, n);
        segment[n] = 0;
        path += n + (path[n] == '.');
        bool digits = n > 0 && strspn(segment, "0123456789") == n;
        if (node->type == DocType::Array && digits && n < 10)
            node = docIndex(node, static_cast<size_t>(strtoul(segment, nullptr, 10)));
        else
            node = docMember(node, segment);
    }
    return node;
}

const DocNode* docNextElement(const DocNode* element) {
    const DocNode* e = element ? element->next : nullptr;
    while (e && e->type != DocType::Element) e = e->next;
    return e;
}

const DocNode* docChildElement(const DocNode* element, const char* tag) {
    if (!element || !tag || element->type != DocType::Element) return nullptr;
    for (const DocNode* e = element->child; e; e = e->next)
        if (e->type == DocType::Element && strcmp(e->key, tag) == 0) return e;
    return nullptr;
}

const char* docString(const DocNode* node, bool anyScalar) {
    if (!node) return nullptr;
    if (node->type == DocType::String) return node->text;
    if (anyScalar && node->type < DocType::Array) return node->text;
    return nullptr;
}

char* docTextContent(const DocNode* element) {
    if (!element || element->type != DocType::Element) return nullptr;
    // Two passes over the subtree without recursion: the readers keep it within
    // kMaxDocumentDepth, so a fixed stack of the open elements is enough.
    const DocNode* stack[kMaxDocumentDepth + 1];
    char* out = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        size_t length = 0;
        auto add = [&](const char* t, size_t n) {
            if (out) memcpy(out + length, t, n);
            length += n;
        };
        size_t depth = 0;
        add(element->text, element->textLength);
        const DocNode* e = element->child;
        while (true) {
            while (e && e->type != DocType::Element) e = e->next;
            if (e) {
                add(e->text, e->textLength);
                if (e->child && depth < kMaxDocumentDepth) {
                    stack[depth++] = e;
                    e = e->child;
                    continue;
                }
                add(e->tail, e->tailLength);
                e = e->next;
                continue;
            }
            if (depth == 0) break;
            e = stack[--depth];
            add(e->tail, e->tailLength);
            e = e->next;
        }
        if (out) {
            out[length] = 0;
            return out;
        }
        out = static_cast<char*>(coreAlloc(length + 1));
        if (!out) return nullptr;
    }
    return out;
}

Scratch::~Scratch() { coreFree(data_); }

bool Scratch::add(const char* p, size_t n) {
    if (n > capacity_ - size_) {
        if (n > kMaxDocumentBytes * 2) return false;
        size_t want = capacity_ ? capacity_ : 256;
        while (want - size_ < n) want *= 2;
        char* grown = static_cast<char*>(coreRealloc(data_, want));
        if (!grown) return false;
        data_ = grown;
        capacity_ = want;
    }
    if (n) memcpy(data_ + size_, p, n);
    size_ += n;
    return true;
}

// ---- numbers

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

bool BigNatural::mulAdd(uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (size_t i = 0; i < used_; ++i) {
        uint64_t v = uint64_t(limb_[i]) * factor + carry;
        limb_[i] = static_cast<uint32_t>(v % 1000000000u);
        carry = v / 1000000000u;
    }
    while (carry) {
        if (used_ == kLimbs) return false;
        limb_[used_++] = static_cast<uint32_t>(carry % 1000000000u);
        carry /= 1000000000u;
    }
    return true;
}

size_t BigNatural::toDecimal(char* out) const {
    if (used_ == 0) {
        out[0] = '0';
        out[1] = 0;
        return 1;
    }
    int n = snprintf(out, 16, "%u", static_cast<unsigned>(limb_[used_ - 1]));
    size_t length = n > 0 ? static_cast<size_t>(n) : 0;
    for (size_t i = used_ - 1; i-- > 0;) {
        snprintf(out + length, 16, "%09u", static_cast<unsigned>(limb_[i]));
        length += 9;
    }
    return length;
}

DocNode* bigIntegerNode(DocBuilder& builder, const BigNatural& value, bool negative) {
    char text[BigNatural::kMaxDecimal + 2];
    text[0] = '-';
    size_t n = value.toDecimal(text + 1);
    bool sign = negative && !value.isZero();
    return builder.scalar(DocType::Int, sign ? text : text + 1, n + sign);
}

DocNode* integerNode(DocBuilder& builder, const char* digits, size_t length, unsigned base, bool negative) {
    if (length == 0 || length > kMaxNumberDigits) return nullptr;
    BigNatural value;
    for (size_t i = 0; i < length; ++i) {
        int d = digitValue(digits[i]);
        if (d < 0 || static_cast<unsigned>(d) >= base || !value.mulAdd(base, static_cast<uint32_t>(d))) return nullptr;
    }
    return bigIntegerNode(builder, value, negative);
}

size_t formatPythonFloat(double value, char* out) {
    if (std::isnan(value)) return static_cast<size_t>(snprintf(out, 32, "nan"));
    if (std::isinf(value)) return static_cast<size_t>(snprintf(out, 32, value < 0 ? "-inf" : "inf"));
    // The fewest significant digits that read back as the same double.
    char e[40];
    for (int precision = 1; precision <= 17; ++precision) {
        snprintf(e, sizeof e, "%.*e", precision - 1, value);
        if (strtod(e, nullptr) == value) break;
    }
    // e is [-]d[.ddd]e[+-]XX: gather the digits without trailing zeros.
    const char* p = e;
    bool negative = *p == '-';
    if (negative) ++p;
    char digits[20];
    size_t nd = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.' && nd < sizeof digits) digits[nd++] = *p;
    int exponent = *p == 'e' ? atoi(p + 1) : 0;
    while (nd > 1 && digits[nd - 1] == '0') --nd;
    // As Python's repr: exponent form when the point falls before the 4th
    // place after it or past the 16th digit.
    int point = exponent + 1;
    size_t n = 0;
    if (negative) out[n++] = '-';
    if (point <= -4 || point > 16) {
        out[n++] = digits[0];
        if (nd > 1) {
            out[n++] = '.';
            memcpy(out + n, digits + 1, nd - 1);
            n += nd - 1;
        }
        n += static_cast<size_t>(snprintf(out + n, 8, "e%c%02d", exponent < 0 ? '-' : '+', abs(exponent)));
    } else if (point <= 0) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = point; i < 0; ++i) out[n++] = '0';
        memcpy(out + n, digits, nd);
        n += nd;
    } else {
        for (int i = 0; i < point; ++i) out[n++] = static_cast<size_t>(i) < nd ? digits[i] : '0';
        out[n++] = '.';
        if (static_cast<size_t>(point) < nd) {
            memcpy(out + n, digits + point, nd - point);
            n += nd - point;
        } else {
            out[n++] = '0';
        }
    }
    out[n] = 0;
    return n;
}

DocNode* floatNode(DocBuilder& builder, const char* text, size_t length) {
    if (length > kMaxNumberDigits) return nullptr;
    char copy[kMaxNumberDigits + 1];
    memcpy(copy, text, length);
    copy[length] = 0;
    double v;
    if (strcmp(copy, "inf") == 0 || strcmp(copy, "+inf") == 0)
        v = HUGE_VAL;
    else if (strcmp(copy, "-inf") == 0)
        v = -HUGE_VAL;
    else if (strcmp(copy, "nan") == 0)
        v = NAN;
    else
        v = strtod(copy, nullptr);
    char out[32];
    size_t n = formatPythonFloat(v, out);
    return builder.scalar(DocType::Float, out, n);
}

// ---- UTF-8

size_t utf8SequenceLength(const unsigned char* p, size_t available) {
    if (available == 0) return 0;
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t n;
    uint32_t min;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (available < n) return 0;
    for (size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    uint32_t cp = utf8Decode(p, n);
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

uint32_t utf8Decode(const unsigned char* p, size_t length) {
    static const unsigned char lead[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t cp = p[0] & lead[length];
    for (size_t i = 1; i < length; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    return cp;
}

size_t utf8Encode(uint32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}
