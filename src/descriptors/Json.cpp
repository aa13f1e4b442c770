// JSON as RFC 8259 defines it (the strict reading Fabric and Quilt loaders
// give fabric.mod.json and quilt.mod.json; python's json reads the same):
//
//   value   object | array | string | number | true | false | null
//   object  "{" ws [ member *( "," ws member ) ] "}"      member: string ws ":" ws value ws
//   array   "[" ws [ value ws *( "," ws value ws ) ] "]"
//   number  [ "-" ] ( "0" | [1-9] *digit ) [ "." 1*digit ] [ ( "e" | "E" ) [ "+" | "-" ] 1*digit ]
//   string  '"' *( any character from U+0020 but '"' and '\' | escape ) '"'
//   escape  \" \\ \/ \b \f \n \r \t \uXXXX (a UTF-16 surrogate pair makes one character)
//   ws      space, TAB, LF, CR
//
// The text is UTF-8; one value, with white space around it, is the whole
// document. Declined although python reads them: NaN and Infinity (not JSON),
// a \u escape that leaves half a surrogate pair (no UTF-8 for it), numbers of
// more than kMaxNumberDigits characters, and nesting past kMaxDocumentDepth.
#include <cstring>

#include "descriptors/DocumentBuild.h"

namespace {

class JsonReader {
public:
    JsonReader(const char* bytes, size_t length, DocBuilder& builder)
        : p_(reinterpret_cast<const unsigned char*>(bytes)), end_(p_ + length), b_(builder) {}

    DocNode* document() {
        DocNode* v = value(0);
        skipSpace();
        return v && p_ == end_ ? v : nullptr;
    }

private:
    void skipSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
    }
    bool eat(char c) {
        skipSpace();
        if (p_ < end_ && *p_ == c) return ++p_, true;
        return false;
    }
    bool literal(const char* word) {
        size_t n = strlen(word);
        if (static_cast<size_t>(end_ - p_) < n || memcmp(p_, word, n) != 0) return false;
        p_ += n;
        return true;
    }

    DocNode* value(unsigned depth) {
        skipSpace();
        if (p_ == end_) return nullptr;
        switch (*p_) {
        case '{':
        case '[':
            return depth < kMaxDocumentDepth ? container(depth) : nullptr;
        case '"':
            return string(DocType::String);
        case 't':
            return literal("true") ? b_.scalar(DocType::Bool, "true", 4) : nullptr;
        case 'f':
            return literal("false") ? b_.scalar(DocType::Bool, "false", 5) : nullptr;
        case 'n':
            return literal("null") ? b_.node(DocType::Null) : nullptr;
        default:
            return number();
        }
    }

    DocNode* container(unsigned depth) {
        bool isObject = *p_++ == '{';
        char close = isObject ? '}' : ']';
        DocNode* c = b_.node(isObject ? DocType::Object : DocType::Array);
        if (!c) return nullptr;
        if (eat(close)) return c;
        do {
            DocNode* key = nullptr;
            if (isObject) {
                skipSpace();
                if (p_ == end_ || *p_ != '"' || !(key = string(DocType::String)) || !eat(':')) return nullptr;
            }
            DocNode* v = value(depth + 1);
            if (!v) return nullptr;
            if (!isObject) {
                DocBuilder::append(c, v);
                continue;
            }
            v->key = key->text;
            v->keyLength = key->textLength;
            if (!b_.addMember(c, v)) return nullptr;
        } while (eat(','));
        return eat(close) ? c : nullptr;
    }

    static int hex4(const unsigned char* p) {
        int v = 0;
        for (int i = 0; i < 4; ++i) {
            int d = digitValue(static_cast<char>(p[i]));
            if (d < 0 || d > 15) return -1;
            v = v * 16 + d;
        }
        return v;
    }

    DocNode* string(DocType type) {
        const unsigned char* start = ++p_;
        // The decoded text is never longer than its source.
        const unsigned char* q = start;
        while (q < end_ && *q != '"') q += *q == '\\' ? 2 : 1;
        if (q >= end_) return nullptr;
        size_t raw = static_cast<size_t>(q - start);
        char* out = b_.textBuffer(raw);
        if (!out) return nullptr;
        size_t n = 0;
        while (p_ < q) {
            unsigned char c = *p_;
            if (c < 0x20) return nullptr;
            if (c != '\\') {
                size_t len = utf8SequenceLength(p_, static_cast<size_t>(q - p_));
                if (!len) return nullptr;
                memcpy(out + n, p_, len);
                n += len;
                p_ += len;
                continue;
            }
            unsigned char e = p_[1];
            p_ += 2;
            static const char simple[] = "\"\"\\\\//b\bf\fn\nr\rt\t";
            const char* s = e ? strchr(simple, e) : nullptr;
            if (s && (s - simple) % 2 == 0) {
                out[n++] = s[1];
                continue;
            }
            if (e != 'u' || q - p_ < 4) return nullptr;
            int unit = hex4(p_);
            p_ += 4;
            if (unit < 0) return nullptr;
            uint32_t cp = static_cast<uint32_t>(unit);
            if (cp >= 0xDC00 && cp <= 0xDFFF) return nullptr;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                int low = q - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u' ? hex4(p_ + 2) : -1;
                if (low < 0xDC00 || low > 0xDFFF) return nullptr;
                p_ += 6;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
            }
            n += utf8Encode(cp, out + n);
        }
        ++p_;  // the closing quote
        out[n] = 0;
        DocNode* s = b_.node(type);
        if (!s) return nullptr;
        s->text = out;
        s->textLength = static_cast<uint32_t>(n);
        return s;
    }

    bool digits() {
        const unsigned char* s = p_;
        while (p_ < end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        return p_ > s;
    }

    DocNode* number() {
        const unsigned char* start = p_;
        bool negative = *p_ == '-';
        if (negative) ++p_;
        const unsigned char* intStart = p_;
        if (p_ < end_ && *p_ == '0')
            ++p_;
        else if (!digits())
            return nullptr;
        const unsigned char* intEnd = p_;
        bool isFloat = false;
        if (p_ < end_ && *p_ == '.') {
            ++p_;
            if (!digits()) return nullptr;
            isFloat = true;
        }
        if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (!digits()) return nullptr;
            isFloat = true;
        }
        const char* text = reinterpret_cast<const char*>(start);
        if (isFloat) return floatNode(b_, text, static_cast<size_t>(p_ - start));
        return integerNode(b_, reinterpret_cast<const char*>(intStart), static_cast<size_t>(intEnd - intStart), 10,
                           negative);
    }

    const unsigned char* p_;
    const unsigned char* end_;
    DocBuilder& b_;
};

}  // namespace

Document* parseJson(const char* bytes, size_t length, bool skipBom) {
    if (!bytes || length > kMaxDocumentBytes) return nullptr;
    if (skipBom && length >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) {
        bytes += 3;
        length -= 3;
    }
    DocBuilder builder(length);
    JsonReader reader(bytes, length, builder);
    return builder.finish(reader.document());
}
