// TOML 1.0 as python's tomllib reads it (Forge's and NeoForge's mods.toml):
//
//   document   *( ws [ keyval | "[" ws key ws "]" | "[[" ws key ws "]]" ] ws [ comment ] newline )
//   keyval     key ws "=" ws value                key: part *( ws "." ws part )
//   part       1*( A-Z a-z 0-9 _ - ) | basic string | literal string
//   value      string | true | false | array | inline table | date-time | number | inf | nan
//   array      "[" *( ws/newline/comment ) [ value *( "," ... value ) [ "," ] ] ... "]"
//   inline     "{" ws [ keyval *( ws "," ws keyval ) ] ws "}"   (one line, no trailing comma)
//   strings    "basic" (escapes \b \t \n \f \r \" \\ \uXXXX \UXXXXXXXX), 'literal',
//              """multi-line basic""" (a backslash at a line's end joins the next
//              non-blank), '''multi-line literal'''; a newline right after the
//              opening quotes is dropped; no control character but TAB (and
//              newline in the multi-line ones)
//   numbers    0x / 0o / 0b digits, [+-] decimal, floats with fraction and/or
//              exponent, "_" only between digits
//   dates      YYYY-MM-DD, with [Tt ]HH:MM:SS[.fraction], with Z or ±HH:MM
//   ws         space and TAB; newline LF or CR LF; comments from "#" to the
//              line's end, without control characters but TAB
//
// Tables: a header or dotted key creates what is missing on its path; a key
// is defined once; a table is declared once by a header, and not by a header
// after dotted keys made it; inline tables and arrays are closed for good; an
// array-of-tables header appends a table, and a path through it reaches its
// last table. Declined although tomllib reads them: nesting past
// kMaxDocumentDepth, numbers of more than kMaxNumberDigits characters.
#include <cstring>
#include <initializer_list>

#include "base/CoreAlloc.h"
#include "descriptors/DocumentBuild.h"

namespace {

// Marks on the tree's nodes while the document is read.
constexpr uint8_t kExplicit = 1;  // declared by a header, or made by dotted keys of a finished section
constexpr uint8_t kFrozen = 2;    // an inline table or an array: nothing may be added below it

struct KeyPart {
    const char* text;
    size_t length;
};

struct Key {
    KeyPart part[kMaxDocumentDepth];
    size_t count = 0;
};

struct Pending {
    DocNode* node;
    Pending* next;
};

bool isBare(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}
bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

class TomlReader {
public:
    TomlReader(const char* src, size_t length, DocBuilder& builder) : s_(src), n_(length), b_(builder) {}

    DocNode* document() {
        DocNode* root = b_.node(DocType::Object);
        if (!root) return nullptr;
        DocNode* section = root;
        while (true) {
            skipWs();
            if (pos_ >= n_) break;
            char c = s_[pos_];
            if (c == '\n') {
                ++pos_;
                continue;
            }
            if (isBare(c) || c == '"' || c == '\'') {
                if (!keyValue(section)) return nullptr;
                skipWs();
            } else if (c == '[') {
                finalizePending();
                section = pos_ + 1 < n_ && s_[pos_ + 1] == '[' ? tableArrayHeader(root) : tableHeader(root);
                if (!section) return nullptr;
                skipWs();
            } else if (c != '#') {
                return nullptr;
            }
            if (!skipComment()) return nullptr;
            if (pos_ >= n_) break;
            if (s_[pos_] != '\n') return nullptr;
            ++pos_;
        }
        return b_.ok() ? root : nullptr;
    }

private:
    bool at(const char* text) const {
        size_t k = strlen(text);
        return n_ - pos_ >= k && memcmp(s_ + pos_, text, k) == 0;
    }
    void skipWs() {
        while (pos_ < n_ && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }
    bool skipComment() {
        if (pos_ >= n_ || s_[pos_] != '#') return true;
        for (++pos_; pos_ < n_ && s_[pos_] != '\n'; ++pos_)
            if (isControl(static_cast<unsigned char>(s_[pos_])) && s_[pos_] != '\t') return false;
        return true;
    }
    bool skipArraySpace() {
        size_t before;
        do {
            before = pos_;
            while (pos_ < n_ && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n')) ++pos_;
            if (!skipComment()) return false;
        } while (pos_ != before);
        return true;
    }

    // ---- tables

    void finalizePending() {
        for (Pending* p = pending_; p; p = p->next) p->node->mark |= kExplicit;
        pending_ = nullptr;
    }

    // The table a path leads to from `from`, made where missing; through an
    // array of tables (withLists) to its last table. Null where a value other
    // than a table stands in the way.
    DocNode* nest(DocNode* from, const Key& key, size_t count, bool withLists) {
        DocNode* t = from;
        for (size_t i = 0; i < count; ++i) {
            DocNode* m = b_.findMember(t, key.part[i].text, key.part[i].length);
            if (!m) {
                m = b_.node(DocType::Object);
                if (!m) return nullptr;
                m->key = key.part[i].text;
                m->keyLength = static_cast<uint32_t>(key.part[i].length);
                if (!b_.addMember(t, m)) return nullptr;
            }
            if (withLists && m->type == DocType::Array) m = m->last;
            if (!m || m->type != DocType::Object) return nullptr;
            t = m;
        }
        return t;
    }

    // Whether the path from root passes through, or ends at, a node with a mark
    // (frozen marks hold for everything below; other marks for the node alone).
    bool marked(DocNode* root, const Key& key, size_t count, uint8_t mark) {
        DocNode* t = root;
        for (size_t i = 0; i < count; ++i) {
            DocNode* m = t->type == DocType::Object ? b_.findMember(t, key.part[i].text, key.part[i].length) : nullptr;
            if (!m) return false;
            if (i + 1 == count || (m->mark & kFrozen & mark)) return (m->mark & mark) != 0;
            t = m->type == DocType::Array ? m->last : m;
            if (!t) return false;
        }
        return false;
    }

    bool headerKey(Key& key, const char* close) {
        skipWs();
        if (!parseKey(key)) return false;
        if (!at(close)) return false;
        pos_ += strlen(close);
        return true;
    }

    DocNode* tableHeader(DocNode* root) {
        ++pos_;
        Key key;
        if (!headerKey(key, "]")) return nullptr;
        if (marked(root, key, key.count, kExplicit) || marked(root, key, key.count, kFrozen)) return nullptr;
        DocNode* t = nest(root, key, key.count, true);
        if (!t) return nullptr;
        t->mark |= kExplicit;
        return t;
    }

    DocNode* tableArrayHeader(DocNode* root) {
        pos_ += 2;
        Key key;
        if (!headerKey(key, "]]") || marked(root, key, key.count, kFrozen)) return nullptr;
        DocNode* parent = nest(root, key, key.count - 1, true);
        if (!parent) return nullptr;
        const KeyPart& stem = key.part[key.count - 1];
        DocNode* list = b_.findMember(parent, stem.text, stem.length);
        if (list && list->type != DocType::Array) return nullptr;
        if (!list) {
            list = b_.node(DocType::Array);
            if (!list) return nullptr;
            list->key = stem.text;
            list->keyLength = static_cast<uint32_t>(stem.length);
            if (!b_.addMember(parent, list)) return nullptr;
        }
        list->mark = kExplicit;
        DocNode* table = b_.node(DocType::Object);
        if (!table) return nullptr;
        DocBuilder::append(list, table);
        return table;
    }

    // ---- key/value pairs

    bool keyValue(DocNode* section) {
        Key key;
        DocNode* value = keyAndValue(key, 0);
        if (!value) return false;
        // Tables on a dotted key's path may not be ones a header declared.
        DocNode* t = section;
        for (size_t i = 0; i + 1 < key.count; ++i) {
            DocNode* m = b_.findMember(t, key.part[i].text, key.part[i].length);
            if (!m) break;
            if (m->mark & kExplicit) return false;
            if (m->mark & kFrozen) return false;
            t = m->type == DocType::Array ? m->last : m;
            if (!t || t->type != DocType::Object) return false;
        }
        DocNode* parent = nest(section, key, key.count - 1, true);
        if (!parent) return false;
        // The tables this key made or went through count as declared from the
        // next header on.
        t = section;
        for (size_t i = 0; i + 1 < key.count; ++i) {
            t = b_.findMember(t, key.part[i].text, key.part[i].length);
            Pending* p = static_cast<Pending*>(b_.alloc(sizeof(Pending)));
            if (!p) return false;
            p->node = t;
            p->next = pending_;
            pending_ = p;
        }
        value->key = key.part[key.count - 1].text;
        value->keyLength = static_cast<uint32_t>(key.part[key.count - 1].length);
        if (b_.findMember(parent, value->key, value->keyLength)) return false;
        return b_.addMember(parent, value);
    }

    DocNode* keyAndValue(Key& key, unsigned depth) {
        if (!parseKey(key)) return nullptr;
        if (pos_ >= n_ || s_[pos_] != '=') return nullptr;
        ++pos_;
        skipWs();
        return value(depth);
    }

    bool parseKey(Key& key) {
        while (true) {
            if (key.count == kMaxDocumentDepth) return false;
            KeyPart& part = key.part[key.count++];
            if (pos_ < n_ && isBare(s_[pos_])) {
                size_t start = pos_;
                while (pos_ < n_ && isBare(s_[pos_])) ++pos_;
                part.text = b_.copyText(s_ + start, pos_ - start);
                part.length = pos_ - start;
            } else if (pos_ < n_ && (s_[pos_] == '"' || s_[pos_] == '\'')) {
                DocNode* str = s_[pos_] == '"' ? basicString(false) : literalString();
                if (!str) return false;
                part.text = str->text;
                part.length = str->textLength;
            } else {
                return false;
            }
            if (!part.text) return false;
            skipWs();
            if (pos_ >= n_ || s_[pos_] != '.') return true;
            ++pos_;
            skipWs();
        }
    }

    // ---- values

    DocNode* value(unsigned depth) {
        if (pos_ >= n_) return nullptr;
        char c = s_[pos_];
        if (c == '"') return at("\"\"\"") ? multiline('"') : basicString(false);
        if (c == '\'') return at("'''") ? multiline('\'') : literalString();
        if (at("true")) return pos_ += 4, b_.scalar(DocType::Bool, "true", 4);
        if (at("false")) return pos_ += 5, b_.scalar(DocType::Bool, "false", 5);
        if (c == '[' || c == '{') {
            if (depth >= kMaxDocumentDepth) return nullptr;
            return c == '[' ? array(depth) : inlineTable(depth);
        }
        bool valid = true;
        if (size_t end = dateTime(&valid)) {
            if (!valid) return nullptr;
            DocNode* d = b_.scalar(DocType::DateTime, s_ + pos_, end - pos_);
            pos_ = end;
            return d;
        }
        if (size_t end = localTime(pos_)) {
            DocNode* d = b_.scalar(DocType::DateTime, s_ + pos_, end - pos_);
            pos_ = end;
            return d;
        }
        if (DocNode* number = this->number()) return number;
        for (const char* special : {"inf", "nan", "+inf", "-inf", "+nan", "-nan"}) {
            if (!at(special)) continue;
            size_t k = strlen(special);
            pos_ += k;
            const char* text = special[k - 1] == 'n' ? "nan" : special[0] == '-' ? "-inf" : "inf";
            return floatNode(b_, text, strlen(text));
        }
        return nullptr;
    }

    DocNode* array(unsigned depth) {
        ++pos_;
        DocNode* a = b_.node(DocType::Array);
        if (!a || !skipArraySpace()) return nullptr;
        a->mark = kFrozen;
        if (pos_ < n_ && s_[pos_] == ']') return ++pos_, a;
        while (true) {
            DocNode* v = value(depth + 1);
            if (!v || !skipArraySpace()) return nullptr;
            DocBuilder::append(a, v);
            if (pos_ < n_ && s_[pos_] == ']') return ++pos_, a;
            if (pos_ >= n_ || s_[pos_] != ',') return nullptr;
            ++pos_;
            if (!skipArraySpace()) return nullptr;
            if (pos_ < n_ && s_[pos_] == ']') return ++pos_, a;
        }
    }

    DocNode* inlineTable(unsigned depth) {
        ++pos_;
        DocNode* t = b_.node(DocType::Object);
        if (!t) return nullptr;
        t->mark = kFrozen;
        skipWs();
        if (pos_ < n_ && s_[pos_] == '}') return ++pos_, t;
        while (true) {
            Key key;
            DocNode* v = keyAndValue(key, depth + 1);
            if (!v) return nullptr;
            // Within an inline table a dotted key makes tables, and may not
            // reach into an inline table or array given as a value.
            DocNode* parent = t;
            for (size_t i = 0; i + 1 < key.count; ++i) {
                DocNode* m = b_.findMember(parent, key.part[i].text, key.part[i].length);
                if (m && (m->type != DocType::Object || (m->mark & kFrozen))) return nullptr;
                if (!m) {
                    m = b_.node(DocType::Object);
                    if (!m) return nullptr;
                    m->key = key.part[i].text;
                    m->keyLength = static_cast<uint32_t>(key.part[i].length);
                    if (!b_.addMember(parent, m)) return nullptr;
                }
                parent = m;
            }
            v->key = key.part[key.count - 1].text;
            v->keyLength = static_cast<uint32_t>(key.part[key.count - 1].length);
            if (b_.findMember(parent, v->key, v->keyLength) || !b_.addMember(parent, v)) return nullptr;
            skipWs();
            if (pos_ < n_ && s_[pos_] == '}') return ++pos_, t;
            if (pos_ >= n_ || s_[pos_] != ',') return nullptr;
            ++pos_;
            skipWs();
        }
    }

    DocNode* literalString() {
        size_t start = ++pos_;
        while (pos_ < n_ && s_[pos_] != '\'') {
            if (isControl(static_cast<unsigned char>(s_[pos_])) && s_[pos_] != '\t') return nullptr;
            ++pos_;
        }
        if (pos_ >= n_) return nullptr;
        return b_.scalar(DocType::String, s_ + start, pos_++ - start);
    }

    // Appends the escape at pos_ (after its backslash) to out.
    bool escape(char* out, size_t* n, bool multiline) {
        char e = pos_ < n_ ? s_[pos_] : 0;
        if (multiline && (e == ' ' || e == '\t' || e == '\n')) {
            // A backslash at a line's end joins the next line's first non-blank.
            if (e != '\n') {
                skipWs();
                if (pos_ >= n_) return true;
                if (s_[pos_] != '\n') return false;
            }
            while (pos_ < n_ && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n')) ++pos_;
            return true;
        }
        ++pos_;
        static const char simple[] = "b\bt\tn\nf\fr\r\"\"\\\\";
        for (size_t i = 0; simple[i]; i += 2)
            if (e == simple[i]) return out[(*n)++] = simple[i + 1], true;
        if (e != 'u' && e != 'U') return false;
        size_t digits = e == 'u' ? 4 : 8;
        if (n_ - pos_ < digits) return false;
        uint32_t cp = 0;
        for (size_t i = 0; i < digits; ++i) {
            int d = digitValue(s_[pos_ + i]);
            if (d < 0 || d > 15) return false;
            cp = cp * 16 + static_cast<uint32_t>(d);
            if (cp > 0x10FFFF) return false;
        }
        pos_ += digits;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        *n += utf8Encode(cp, out + *n);
        return true;
    }

    // A basic string, one-line or (after its opening quotes) multi-line; the
    // text is never longer than its source.
    DocNode* basicString(bool multiline) {
        if (!multiline) ++pos_;
        size_t end = pos_;
        while (end < n_ && s_[end] != (multiline ? 0 : '\n') &&
               !(s_[end] == '"' && (!multiline || (n_ - end >= 3 && memcmp(s_ + end, "\"\"\"", 3) == 0))))
            end += s_[end] == '\\' ? 2 : 1;
        char* out = b_.textBuffer((end < n_ ? end : n_) - pos_);
        if (!out) return nullptr;
        size_t n = 0;
        while (true) {
            if (pos_ >= n_) return nullptr;
            char c = s_[pos_];
            if (c == '"' && (!multiline || at("\"\"\""))) {
                pos_ += multiline ? 3 : 1;
                break;
            }
            if (c == '\\') {
                ++pos_;
                if (!escape(out, &n, multiline)) return nullptr;
                continue;
            }
            if (isControl(static_cast<unsigned char>(c)) && c != '\t' && !(multiline && c == '\n')) return nullptr;
            out[n++] = c;
            ++pos_;
        }
        out[n] = 0;
        DocNode* str = b_.node(DocType::String);
        if (!str) return nullptr;
        str->text = out;
        str->textLength = static_cast<uint32_t>(n);
        return str;
    }

    DocNode* multiline(char quote) {
        pos_ += 3;
        if (pos_ < n_ && s_[pos_] == '\n') ++pos_;
        DocNode* str;
        if (quote == '"') {
            str = basicString(true);
        } else {
            const char* end = nullptr;
            for (size_t i = pos_; i + 3 <= n_ && !end; ++i)
                if (memcmp(s_ + i, "'''", 3) == 0) end = s_ + i;
            if (!end) return nullptr;
            for (const char* p = s_ + pos_; p < end; ++p)
                if (isControl(static_cast<unsigned char>(*p)) && *p != '\t' && *p != '\n') return nullptr;
            str = b_.scalar(DocType::String, s_ + pos_, static_cast<size_t>(end - (s_ + pos_)));
            pos_ = static_cast<size_t>(end - s_) + 3;
        }
        if (!str) return nullptr;
        // Up to two quotes right before the closing three belong to the text.
        char* text = const_cast<char*>(str->text);
        for (int i = 0; i < 2 && pos_ < n_ && s_[pos_] == quote; ++i, ++pos_) {
            char* grown = b_.textBuffer(str->textLength + 1);
            if (!grown) return nullptr;
            memcpy(grown, text, str->textLength);
            grown[str->textLength++] = quote;
            grown[str->textLength] = 0;
            text = grown;
        }
        str->text = text;
        return str;
    }

    size_t digitsAt(size_t p, size_t count) const {
        for (size_t i = 0; i < count; ++i)
            if (p + i >= n_ || !isDigit(s_[p + i])) return 0;
        return p + count;
    }
    int twoDigits(size_t p) const { return (s_[p] - '0') * 10 + (s_[p + 1] - '0'); }

    // HH:MM:SS[.fraction] at p: its end, or 0.
    size_t localTime(size_t p) const {
        if (!digitsAt(p, 2) || p + 2 >= n_ || s_[p + 2] != ':' || !digitsAt(p + 3, 2) || p + 5 >= n_ ||
            s_[p + 5] != ':' || !digitsAt(p + 6, 2))
            return 0;
        if (twoDigits(p) > 23 || twoDigits(p + 3) > 59 || twoDigits(p + 6) > 59) return 0;
        size_t end = p + 8;
        if (end + 1 < n_ && s_[end] == '.' && isDigit(s_[end + 1])) {
            ++end;
            while (end < n_ && isDigit(s_[end])) ++end;
        }
        return end;
    }

    // A date, perhaps with a time and an offset, at pos_: its end, or 0; *valid
    // false for a date that does not exist (31 April, year 0).
    size_t dateTime(bool* valid) const {
        size_t p = pos_;
        if (!digitsAt(p, 4) || p + 4 >= n_ || s_[p + 4] != '-' || !digitsAt(p + 5, 2) || p + 7 >= n_ ||
            s_[p + 7] != '-' || !digitsAt(p + 8, 2))
            return 0;
        int year = twoDigits(p) * 100 + twoDigits(p + 2), month = twoDigits(p + 5), day = twoDigits(p + 8);
        if (month < 1 || month > 12 || day < 1 || day > 31) return 0;
        static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        *valid = year > 0 && day <= days[month - 1] && !(month == 2 && day == 29 && !leap);
        size_t end = p + 10;
        if (end >= n_ || (s_[end] != 'T' && s_[end] != 't' && s_[end] != ' ')) return end;
        size_t t = localTime(end + 1);
        if (!t) return end;
        end = t;
        if (end < n_ && (s_[end] == 'Z' || s_[end] == 'z')) return end + 1;
        if (end < n_ && (s_[end] == '+' || s_[end] == '-') && digitsAt(end + 1, 2) && end + 3 < n_ &&
            s_[end + 3] == ':' && digitsAt(end + 4, 2) && twoDigits(end + 1) <= 23 && twoDigits(end + 4) <= 59)
            return end + 6;
        return end;
    }

    // Digits of a base with "_" only between two of them, from p: the end.
    size_t digitRun(size_t p, int base) const {
        auto ok = [&](size_t i) {
            int d = i < n_ ? digitValue(s_[i]) : -1;
            return d >= 0 && d < base;
        };
        if (!ok(p)) return p;
        size_t end = p + 1;
        while (true) {
            if (ok(end))
                ++end;
            else if (end < n_ && s_[end] == '_' && ok(end + 1))
                end += 2;
            else
                return end;
        }
    }

    DocNode* number() {
        size_t p = pos_;
        char clean[kMaxNumberDigits + 1];
        auto copyClean = [&](size_t from, size_t to, size_t* length) {
            *length = 0;
            for (size_t i = from; i < to; ++i) {
                if (s_[i] == '_') continue;
                if (*length == kMaxNumberDigits) return false;
                clean[(*length)++] = s_[i];
            }
            return true;
        };
        size_t length;
        if (p + 2 < n_ && s_[p] == '0' && (s_[p + 1] == 'x' || s_[p + 1] == 'o' || s_[p + 1] == 'b')) {
            int base = s_[p + 1] == 'x' ? 16 : s_[p + 1] == 'o' ? 8 : 2;
            size_t end = digitRun(p + 2, base);
            if (end > p + 2) {
                if (!copyClean(p + 2, end, &length)) return nullptr;
                pos_ = end;
                return integerNode(b_, clean, length, static_cast<unsigned>(base), false);
            }
        }
        size_t q = p;
        if (q < n_ && (s_[q] == '+' || s_[q] == '-')) ++q;
        if (q >= n_ || !isDigit(s_[q])) return nullptr;
        size_t intStart = q;
        size_t end = s_[q] == '0' ? q + 1 : digitRun(q, 10);
        size_t intEnd = end;
        if (end + 1 < n_ && s_[end] == '.' && isDigit(s_[end + 1])) end = digitRun(end + 1, 10);
        if (end < n_ && (s_[end] == 'e' || s_[end] == 'E')) {
            size_t e = end + 1;
            if (e < n_ && (s_[e] == '+' || s_[e] == '-')) ++e;
            if (e < n_ && isDigit(s_[e])) end = digitRun(e, 10);
        }
        pos_ = end;
        if (end != intEnd) {
            if (!copyClean(p, end, &length)) return nullptr;
            return floatNode(b_, clean, length);
        }
        if (!copyClean(intStart, intEnd, &length)) return nullptr;
        return integerNode(b_, clean, length, 10, s_[p] == '-');
    }

    const char* s_;
    size_t n_;
    size_t pos_ = 0;
    DocBuilder& b_;
    Pending* pending_ = nullptr;
};

}  // namespace

Document* parseToml(const char* bytes, size_t length) {
    if (!bytes || length > kMaxDocumentBytes) return nullptr;
    // Valid UTF-8, and every CR the start of a CR LF, which reads as LF.
    char* text = static_cast<char*>(coreAlloc(length + 1));
    if (!text) return nullptr;
    CorePtr<char> hold(text);
    size_t n = 0;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length;) {
        if (u[i] == '\r') {
            if (i + 1 >= length || u[i + 1] != '\n') return nullptr;
            ++i;
            continue;
        }
        size_t k = utf8SequenceLength(u + i, length - i);
        if (!k) return nullptr;
        memcpy(text + n, bytes + i, k);
        n += k;
        i += k;
    }
    text[n] = 0;
    DocBuilder builder(n);
    TomlReader reader(text, n, builder);
    return builder.finish(reader.document());
}
