// YAML as Bukkit, Spigot, Paper and BungeeCord read plugin.yml, bungee.yml
// and paper-plugin.yml: YAML 1.1, one document, the way PyYAML's safe_load
// reads it. The scanner and parser below follow PyYAML's own (tokens with
// the "simple key" rule, indentation by columns, then the node grammar):
//
//   stream     [ BOM ] [ "---" ] node [ "..." ]       (one document only)
//   block      mappings ("key: value" lines at one column, "? " keys) and
//              sequences ("- " entries; in a mapping value at the key's own
//              column too), nested by indentation with spaces
//   flow       [ a, b ], { k: v, k2 }, [ k: v ] (one-pair mappings)
//   scalars    plain (folded over lines; ends at ": ", " #", and in flow at
//              ",[]{}"), 'single' ('' is a quote), "double" (\0 \a \b \t \n
//              \v \f \r \e \  \" \\ \/ \N \_ \L \P \xXX \uXXXX \UXXXXXXXX, a
//              backslash at a line's end joins lines), block | and > with
//              chomping (+ -) and indentation (1-9) indicators
//   comments   "#" after a blank or at a line's start, to the line's end
//
// A plain scalar is resolved as YAML 1.1 resolves it: null (~ null Null NULL
// or nothing), bool (yes no true false on off, in three cases each), int
// (0b binary, 0 octal, 0x hex, decimal, base 60 as 1:20; "_" is ignored),
// float (1.5, 1., .5, 1.0e+3, base 60, .inf, .nan): "version: 1.10" is the
// float 1.1. Quoted and block scalars are strings.
//
// Declined although PyYAML reads them: anchors, aliases, tags and directives;
// merge keys (<<); dates and times; keys that are not strings; the line
// breaks U+0085, U+2028 and U+2029 and a BOM after the start; more than
// kMaxDocumentDepth levels; numbers of more than kMaxNumberDigits characters.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "descriptors/DocumentBuild.h"

namespace {

enum class Tok : uint8_t {
    StreamStart,
    StreamEnd,
    DocumentStart,
    DocumentEnd,
    BlockSequenceStart,
    BlockMappingStart,
    BlockEnd,
    FlowSequenceStart,
    FlowSequenceEnd,
    FlowMappingStart,
    FlowMappingEnd,
    BlockEntry,
    FlowEntry,
    Key,
    Value,
    Scalar,
};

struct Token {
    Tok type;
    bool plain;
    const char* text;
    uint32_t length;
};

struct SimpleKey {
    bool possible;
    bool required;
    size_t tokenNumber;
    size_t index;  // in characters, as the 1024-character limit counts
    size_t line;
    size_t column;
};

constexpr size_t kMaxTokens = 4096;
constexpr size_t kMaxSimpleKey = 1024;

bool isBreak(char c) { return c == '\r' || c == '\n'; }
bool isBlankOrEnd(char c) { return c == 0 || c == ' ' || c == '\t' || isBreak(c); }

class Scanner {
public:
    Scanner(const char* text, size_t length, DocBuilder& builder) : s_(text), end_(length), b_(builder) {}
    ~Scanner() { coreFree(tokens_); }

    bool start() {
        tokens_ = coreAllocArray<Token>(kMaxTokens);
        if (!tokens_) return false;
        if (end_ >= 3 && memcmp(s_, "\xEF\xBB\xBF", 3) == 0) pos_ = 3, index_ = 1;
        return push(Tok::StreamStart);
    }

    // The next token, read as far ahead as the simple-key rule needs; null on
    // an error or a declined construct.
    const Token* peek() {
        while (!failed_ && needMoreTokens()) fetchMoreTokens();
        if (failed_ || head_ == count_) return nullptr;
        return &tokens_[head_];
    }
    bool check(Tok type) {
        const Token* t = peek();
        return t && t->type == type;
    }
    const Token* get() {
        const Token* t = peek();
        if (t) ++head_, ++taken_;
        return t;
    }
    bool failed() const { return failed_; }

private:
    char at(size_t k = 0) const { return pos_ + k < end_ ? s_[pos_ + k] : 0; }
    void forward(size_t n = 1) {
        while (n-- && pos_ < end_) {
            unsigned char c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '\n' || (c == '\r' && at() != '\n')) {
                ++line_;
                column_ = 0;
                ++index_;
            } else if ((c & 0xC0) != 0x80) {
                ++column_;
                ++index_;
            }
        }
    }
    bool fail() { return failed_ = true, false; }

    bool push(Tok type, bool plain = false, const char* text = "", size_t length = 0) {
        return insert(count_ - head_, type, plain, text, length);
    }
    // Inserts a token at queue place `where` (0 = the next one handed out).
    bool insert(size_t where, Tok type, bool plain = false, const char* text = "", size_t length = 0) {
        if (head_ > 0 && count_ == kMaxTokens) {
            memmove(tokens_, tokens_ + head_, (count_ - head_) * sizeof(Token));
            count_ -= head_;
            head_ = 0;
        }
        if (count_ == kMaxTokens) return fail();
        size_t at = head_ + where;
        memmove(tokens_ + at + 1, tokens_ + at, (count_ - at) * sizeof(Token));
        tokens_[at] = Token{type, plain, text, static_cast<uint32_t>(length)};
        ++count_;
        return true;
    }

    // ---- simple keys and indentation

    bool needMoreTokens() {
        if (done_) return false;
        if (head_ == count_) return true;
        staleSimpleKeys();
        return nextSimpleKey() == taken_;
    }
    size_t nextSimpleKey() const {
        size_t best = static_cast<size_t>(-1);
        // Keys are possible only at the open flow levels.
        for (size_t level = 0; level <= flow_; ++level)
            if (keys_[level].possible && keys_[level].tokenNumber < best) best = keys_[level].tokenNumber;
        return best;
    }
    void staleSimpleKeys() {
        for (size_t level = 0; level <= flow_; ++level) {
            SimpleKey& k = keys_[level];
            if (!k.possible || (k.line == line_ && index_ - k.index <= kMaxSimpleKey)) continue;
            if (k.required) fail();
            k.possible = false;
        }
    }
    void saveSimpleKey() {
        bool required = flow_ == 0 && indent_ == static_cast<long>(column_);
        if (!allowSimpleKey_) return;
        removeSimpleKey();
        keys_[flow_] = SimpleKey{true, required, taken_ + (count_ - head_), index_, line_, column_};
    }
    void removeSimpleKey() {
        SimpleKey& k = keys_[flow_];
        if (k.possible && k.required) fail();
        k.possible = false;
    }
    void unwindIndent(long column) {
        if (flow_) return;
        while (indent_ > column) {
            indent_ = indents_[--indentDepth_];
            push(Tok::BlockEnd);
        }
    }
    bool addIndent(long column) {
        if (indent_ >= column) return false;
        if (indentDepth_ == kMaxDocumentDepth) return fail();
        indents_[indentDepth_++] = indent_;
        indent_ = column;
        return true;
    }

    // ---- tokens

    void fetchMoreTokens() {
        scanToNextToken();
        staleSimpleKeys();
        unwindIndent(static_cast<long>(column_));
        char c = at();
        if (pos_ >= end_) return fetchStreamEnd();
        // Directives, anchors, aliases and tags are declined.
        if (c == '%' && column_ == 0) return void(fail());
        if (column_ == 0 && (c == '-' || c == '.') && at(1) == c && at(2) == c && isBlankOrEnd(at(3))) {
            unwindIndent(-1);
            removeSimpleKey();
            allowSimpleKey_ = false;
            forward(3);
            push(c == '-' ? Tok::DocumentStart : Tok::DocumentEnd);
            return;
        }
        switch (c) {
        case '[':
        case '{':
            saveSimpleKey();
            if (flow_ == kMaxDocumentDepth) return void(fail());
            ++flow_;
            allowSimpleKey_ = true;
            forward();
            push(c == '[' ? Tok::FlowSequenceStart : Tok::FlowMappingStart);
            return;
        case ']':
        case '}':
            removeSimpleKey();
            if (flow_ > 0) --flow_;  // a stray closer is the parser's error
            allowSimpleKey_ = false;
            forward();
            push(c == ']' ? Tok::FlowSequenceEnd : Tok::FlowMappingEnd);
            return;
        case ',':
            allowSimpleKey_ = true;
            removeSimpleKey();
            forward();
            push(Tok::FlowEntry);
            return;
        case '*':
        case '&':
        case '!':
            return void(fail());
        default:
            break;
        }
        if (c == '-' && isBlankOrEnd(at(1))) return fetchBlockEntry();
        if (c == '?' && (flow_ || isBlankOrEnd(at(1)))) return fetchKey();
        if (c == ':' && (flow_ || isBlankOrEnd(at(1)))) return fetchValue();
        if ((c == '|' || c == '>') && !flow_) {
            allowSimpleKey_ = true;
            removeSimpleKey();
            return void(blockScalar(c == '>'));
        }
        if (c == '\'' || c == '"') {
            saveSimpleKey();
            allowSimpleKey_ = false;
            return void(flowScalar(c == '"'));
        }
        static const char notPlain[] = "-?:,[]{}#&*!|>'\"%@`";
        bool plainStart = !isBlankOrEnd(c) && !strchr(notPlain, c);
        if (!plainStart && !isBlankOrEnd(at(1)) && (c == '-' || (!flow_ && (c == '?' || c == ':')))) plainStart = true;
        if (!plainStart) return void(fail());
        saveSimpleKey();
        allowSimpleKey_ = false;
        plainScalar();
    }

    void scanToNextToken() {
        while (true) {
            while (at() == ' ') forward();
            if (at() == '#')
                while (pos_ < end_ && !isBreak(at())) forward();
            if (!lineBreak()) return;
            if (!flow_) allowSimpleKey_ = true;
        }
    }
    // Consumes one line break (CR LF, CR or LF): false where there is none.
    bool lineBreak() {
        if (!isBreak(at())) return false;
        forward(at() == '\r' && at(1) == '\n' ? 2 : 1);
        return true;
    }

    void fetchStreamEnd() {
        unwindIndent(-1);
        removeSimpleKey();
        allowSimpleKey_ = false;
        for (SimpleKey& k : keys_) k.possible = false;
        push(Tok::StreamEnd);
        done_ = true;
    }

    void fetchBlockEntry() {
        if (!flow_) {
            if (!allowSimpleKey_) return void(fail());
            if (addIndent(static_cast<long>(column_))) push(Tok::BlockSequenceStart);
        }
        allowSimpleKey_ = true;
        removeSimpleKey();
        forward();
        push(Tok::BlockEntry);
    }

    void fetchKey() {
        if (!flow_) {
            if (!allowSimpleKey_) return void(fail());
            if (addIndent(static_cast<long>(column_))) push(Tok::BlockMappingStart);
        }
        allowSimpleKey_ = !flow_;
        removeSimpleKey();
        forward();
        push(Tok::Key);
    }

    void fetchValue() {
        SimpleKey& k = keys_[flow_];
        if (k.possible) {
            k.possible = false;
            size_t where = k.tokenNumber - taken_;
            insert(where, Tok::Key);
            if (!flow_ && addIndent(static_cast<long>(k.column))) insert(where, Tok::BlockMappingStart);
            allowSimpleKey_ = false;
        } else {
            if (!flow_) {
                if (!allowSimpleKey_) return void(fail());
                if (addIndent(static_cast<long>(column_))) push(Tok::BlockMappingStart);
            }
            allowSimpleKey_ = !flow_;
            removeSimpleKey();
        }
        forward();
        push(Tok::Value);
    }

    bool pushScalar(bool plain) {
        char* text = b_.copyText(scratch_.data(), scratch_.size());
        if (!text || scratch_.size() > UINT32_MAX) return fail();
        return push(Tok::Scalar, plain, text, scratch_.size());
    }

    // ---- scalars

    bool plainScalar() {
        scratch_.clear();
        Scratch& out = scratch_;
        long indent = indent_ + 1;
        const char* spaces = nullptr;  // the folded white space before the next chunk
        size_t spacesLength = 0;
        Scratch folded;
        while (true) {
            if (at() == '#') break;
            size_t n = 0;
            while (true) {
                char c = at(n);
                if (isBlankOrEnd(c)) break;
                if (c == ':' && (isBlankOrEnd(at(n + 1)) || (flow_ && strchr(",[]{}", at(n + 1)) && at(n + 1))))
                    break;
                if (flow_ && strchr(",?[]{}", c)) break;
                ++n;
            }
            if (n == 0) break;
            allowSimpleKey_ = false;
            if (spaces && !out.add(spaces, spacesLength)) return fail();
            if (!out.add(s_ + pos_, n)) return fail();
            forward(n);
            bool any = false;
            folded.clear();
            if (!plainSpaces(folded, &any)) return false;
            spaces = folded.data();
            spacesLength = folded.size();
            if (!any || at() == '#' || (!flow_ && static_cast<long>(column_) < indent)) break;
        }
        return pushScalar(true);
    }

    bool documentMarkerHere() const {
        return column_ == 0 && ((at() == '-' && at(1) == '-' && at(2) == '-') ||
                                (at() == '.' && at(1) == '.' && at(2) == '.')) &&
               isBlankOrEnd(at(3));
    }

    // The white space after a plain scalar's chunk: *any is false where there
    // is none (or a document marker follows a line break), which ends it.
    bool plainSpaces(Scratch& out, bool* any) {
        size_t start = pos_;
        while (at() == ' ') forward();
        size_t n = pos_ - start;
        if (isBreak(at())) {
            lineBreak();
            allowSimpleKey_ = true;
            if (documentMarkerHere()) return *any = false, true;
            size_t breaks = 0;
            while (at() == ' ' || isBreak(at())) {
                if (at() == ' ') {
                    forward();
                    continue;
                }
                lineBreak();
                ++breaks;
                if (documentMarkerHere()) return *any = false, true;
            }
            *any = true;
            if (breaks == 0) return out.add(' ') || fail();
            for (size_t i = 0; i < breaks; ++i)
                if (!out.add('\n')) return fail();
            return true;
        }
        *any = n > 0;
        return out.add(s_ + start, n) || fail();
    }

    bool flowScalar(bool isDouble) {
        scratch_.clear();
        char quote = at();
        forward();
        while (true) {
            if (!flowNonSpaces(isDouble)) return false;
            if (at() == quote) break;
            if (!flowSpaces()) return false;
        }
        forward();
        return pushScalar(false);
    }

    bool flowNonSpaces(bool isDouble) {
        Scratch& out = scratch_;
        while (true) {
            size_t n = 0;
            while (pos_ + n < end_ && !strchr("'\"\\ \t\r\n", s_[pos_ + n])) ++n;
            if (n) {
                if (!out.add(s_ + pos_, n)) return fail();
                forward(n);
            }
            char c = at();
            if (pos_ >= end_) return true;
            if (!isDouble && c == '\'' && at(1) == '\'') {
                if (!out.add('\'')) return fail();
                forward(2);
            } else if ((isDouble && c == '\'') || (!isDouble && (c == '"' || c == '\\'))) {
                if (!out.add(c)) return fail();
                forward();
            } else if (isDouble && c == '\\') {
                forward();
                if (!escape()) return false;
            } else {
                return true;
            }
        }
    }

    bool escape() {
        static const char simple[] = "0\0a\ab\bt\t\t\tn\nv\vf\fr\re\x1b  \"\"\\\\//";
        char c = at();
        for (size_t i = 0; i + 1 < sizeof simple; i += 2)
            if (c == simple[i] && pos_ < end_) {
                forward();
                return scratch_.add(simple[i + 1]) || fail();
            }
        uint32_t named = c == 'N' ? 0x85 : c == '_' ? 0xA0 : c == 'L' ? 0x2028 : c == 'P' ? 0x2029 : 0;
        size_t digits = c == 'x' ? 2 : c == 'u' ? 4 : c == 'U' ? 8 : 0;
        if (!named && !digits) {
            if (!isBreak(c)) return fail();
            lineBreak();
            return flowBreaks(nullptr);
        }
        forward();
        uint32_t cp = named;
        for (size_t i = 0; i < digits; ++i) {
            int d = digitValue(at(i));
            if (d < 0 || d > 15) return fail();
            cp = cp * 16 + static_cast<uint32_t>(d);
        }
        forward(digits);
        // Python keeps half a surrogate pair or a code past U+10FFFF in a
        // string (or fails); neither has a UTF-8 form.
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return fail();
        char utf8[4];
        return scratch_.add(utf8, utf8Encode(cp, utf8)) || fail();
    }

    // Line breaks inside a quoted scalar; counts them into *breaks, or, with
    // none, adds a "\n" for each.
    bool flowBreaks(size_t* breaks) {
        while (true) {
            if (column_ == 0 && documentMarkerHere()) return fail();
            while (at() == ' ' || at() == '\t') forward();
            if (!isBreak(at())) return true;
            lineBreak();
            if (breaks)
                ++*breaks;
            else if (!scratch_.add('\n'))
                return fail();
        }
    }

    bool flowSpaces() {
        size_t start = pos_;
        while (at() == ' ' || at() == '\t') forward();
        size_t n = pos_ - start;
        if (pos_ >= end_) return fail();
        if (!isBreak(at())) return scratch_.add(s_ + start, n) || fail();
        lineBreak();
        size_t breaks = 0;
        if (!flowBreaks(&breaks)) return false;
        if (breaks == 0) return scratch_.add(' ') || fail();
        for (size_t i = 0; i < breaks; ++i)
            if (!scratch_.add('\n')) return fail();
        return true;
    }

    bool blockScalar(bool folded) {
        scratch_.clear();
        Scratch& out = scratch_;
        forward();
        int chomping = 0;  // -1 strip, 0 clip, 1 keep
        long increment = 0;
        for (int i = 0; i < 2; ++i) {
            char c = at();
            if ((c == '+' || c == '-') && chomping == 0) {
                chomping = c == '+' ? 1 : -1;
                forward();
            } else if (c >= '0' && c <= '9' && increment == 0) {
                if (c == '0') return fail();
                increment = c - '0';
                forward();
            }
        }
        if (!(isBlankOrEnd(at()) && at() != '\t')) return fail();
        while (at() == ' ') forward();
        if (at() == '#')
            while (pos_ < end_ && !isBreak(at())) forward();
        if (pos_ < end_ && !isBreak(at())) return fail();
        lineBreak();
        long minIndent = indent_ + 1 < 1 ? 1 : indent_ + 1;
        long indent;
        size_t breaks = 0;
        if (increment == 0) {
            long maxIndent = 0;
            while (at() == ' ' || isBreak(at())) {
                if (at() != ' ') {
                    lineBreak();
                    ++breaks;
                } else {
                    forward();
                    if (static_cast<long>(column_) > maxIndent) maxIndent = static_cast<long>(column_);
                }
            }
            indent = maxIndent > minIndent ? maxIndent : minIndent;
        } else {
            indent = minIndent + increment - 1;
            breaks = blockBreaks(indent);
        }
        bool hadLineBreak = false;
        while (static_cast<long>(column_) == indent && pos_ < end_) {
            for (size_t i = 0; i < breaks; ++i)
                if (!out.add('\n')) return fail();
            bool leadingNonSpace = at() != ' ' && at() != '\t';
            size_t n = 0;
            while (pos_ + n < end_ && !isBreak(s_[pos_ + n])) ++n;
            if (!out.add(s_ + pos_, n)) return fail();
            forward(n);
            hadLineBreak = lineBreak();
            breaks = blockBreaks(indent);
            if (static_cast<long>(column_) == indent && pos_ < end_) {
                if (folded && hadLineBreak && leadingNonSpace && at() != ' ' && at() != '\t') {
                    if (breaks == 0 && !out.add(' ')) return fail();
                } else if (hadLineBreak && !out.add('\n')) {
                    return fail();
                }
            } else {
                break;
            }
        }
        if (chomping != -1 && hadLineBreak && !out.add('\n')) return fail();
        if (chomping == 1)
            for (size_t i = 0; i < breaks; ++i)
                if (!out.add('\n')) return fail();
        return pushScalar(false);
    }

    size_t blockBreaks(long indent) {
        size_t breaks = 0;
        while (static_cast<long>(column_) < indent && at() == ' ') forward();
        while (isBreak(at())) {
            lineBreak();
            ++breaks;
            while (static_cast<long>(column_) < indent && at() == ' ') forward();
        }
        return breaks;
    }

    const char* s_;
    size_t end_;
    DocBuilder& b_;
    size_t pos_ = 0, index_ = 0, line_ = 0, column_ = 0;
    Token* tokens_ = nullptr;
    size_t head_ = 0, count_ = 0, taken_ = 0;
    bool done_ = false, failed_ = false, allowSimpleKey_ = true;
    unsigned flow_ = 0;
    long indent_ = -1;
    long indents_[kMaxDocumentDepth];
    unsigned indentDepth_ = 0;
    SimpleKey keys_[kMaxDocumentDepth + 1] = {};
    Scratch scratch_;
};

// ---- YAML 1.1 resolution of plain scalars

bool allIn(const char* p, size_t n, const char* set) {
    for (size_t i = 0; i < n; ++i)
        if (!strchr(set, p[i]) || !p[i]) return false;
    return true;
}

bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

// [0-5]?[0-9] parts after the first, each after a ":".
bool sexagesimalTail(const char* p, size_t n, size_t* consumed) {
    size_t i = 0;
    bool any = false;
    while (i < n && p[i] == ':') {
        size_t j = i + 1;
        if (j + 1 < n && p[j] >= '0' && p[j] <= '5' && isDigitChar(p[j + 1]))
            j += 2;
        else if (j < n && isDigitChar(p[j]))
            j += 1;
        else
            break;
        any = true;
        i = j;
    }
    *consumed = i;
    return any;
}

enum class Resolved { Str, Null, Bool, Int, Float, Declined };

Resolved resolvePlain(const char* p, size_t n) {
    if (n == 0) return Resolved::Null;
    static const char* const bools[] = {"yes", "Yes", "YES", "no",  "No",  "NO",  "true", "True", "TRUE",
                                        "false", "False", "FALSE", "on", "On", "ON", "off", "Off", "OFF"};
    static const char* const nulls[] = {"~", "null", "Null", "NULL"};
    for (const char* w : bools)
        if (strlen(w) == n && memcmp(w, p, n) == 0) return Resolved::Bool;
    for (const char* w : nulls)
        if (strlen(w) == n && memcmp(w, p, n) == 0) return Resolved::Null;
    if ((n == 2 && memcmp(p, "<<", 2) == 0) || (n == 1 && p[0] == '=')) return Resolved::Declined;
    // A date, or what begins like a date and a time, is declined.
    if (n >= 8 && allIn(p, 4, "0123456789") && p[4] == '-') {
        size_t i = 5, k = 0;
        for (int part = 0; part < 2; ++part, ++i) {
            for (k = 0; k < 2 && i < n && isDigitChar(p[i]); ++k) ++i;
            if (k == 0 || (part == 0 && (i >= n || p[i] != '-'))) break;
        }
        if (k > 0 && (--i == n || strchr("Tt \t", p[i]))) return Resolved::Declined;
    }
    const char* q = p;
    size_t m = n;
    if (*q == '-' || *q == '+') ++q, --m;
    // float
    {
        static const char* const specials[] = {".inf", ".Inf", ".INF"};
        for (const char* w : specials)
            if (m == 4 && memcmp(q, w, 4) == 0) return Resolved::Float;
        if (n == 4 && (memcmp(p, ".nan", 4) == 0 || memcmp(p, ".NaN", 4) == 0 || memcmp(p, ".NAN", 4) == 0))
            return Resolved::Float;
        size_t i = 0;
        auto exponent = [&](size_t at) {
            if (at == m) return true;
            if ((q[at] != 'e' && q[at] != 'E') || at + 2 > m || (q[at + 1] != '+' && q[at + 1] != '-')) return false;
            return at + 2 < m && allIn(q + at + 2, m - at - 2, "0123456789");
        };
        if (m > 0 && isDigitChar(q[0])) {
            i = 1;
            while (i < m && (isDigitChar(q[i]) || q[i] == '_')) ++i;
            size_t tail = 0;
            bool sexa = sexagesimalTail(q + i, m - i, &tail);
            if (i < m && q[i] == '.') {
                size_t j = i + 1;
                while (j < m && (isDigitChar(q[j]) || q[j] == '_')) ++j;
                if (exponent(j)) return Resolved::Float;
            } else if (sexa && i + tail < m && q[i + tail] == '.' &&
                       allIn(q + i + tail + 1, m - i - tail - 1, "0123456789_")) {
                return Resolved::Float;
            }
        } else if (q == p && m >= 2 && q[0] == '.' && isDigitChar(q[1])) {
            size_t j = 2;
            while (j < m && (isDigitChar(q[j]) || q[j] == '_')) ++j;
            if (exponent(j)) return Resolved::Float;
        }
    }
    // int
    if (m >= 3 && q[0] == '0' && q[1] == 'b' && allIn(q + 2, m - 2, "01_")) return Resolved::Int;
    if (m >= 3 && q[0] == '0' && q[1] == 'x' && allIn(q + 2, m - 2, "0123456789abcdefABCDEF_")) return Resolved::Int;
    if (m >= 2 && q[0] == '0' && allIn(q + 1, m - 1, "01234567_")) return Resolved::Int;
    if (m == 1 && q[0] == '0') return Resolved::Int;
    if (m >= 1 && q[0] >= '1' && q[0] <= '9') {
        size_t i = 1;
        while (i < m && (isDigitChar(q[i]) || q[i] == '_')) ++i;
        if (i == m) return Resolved::Int;
        size_t tail = 0;
        if (sexagesimalTail(q + i, m - i, &tail) && i + tail == m) return Resolved::Int;
    }
    return Resolved::Str;
}

// The value of a resolved int or float, as PyYAML's constructors compute it.
DocNode* numberNode(DocBuilder& b, const char* p, size_t n, bool isFloat) {
    if (n > kMaxNumberDigits) return nullptr;
    char v[kMaxNumberDigits + 1];
    size_t m = 0;
    for (size_t i = 0; i < n; ++i)
        if (p[i] != '_') v[m++] = p[i];
    v[m] = 0;
    bool negative = v[0] == '-';
    const char* q = v + (v[0] == '-' || v[0] == '+');
    size_t k = strlen(q);
    if (isFloat) {
        char lower[kMaxNumberDigits + 1];
        for (size_t i = 0; i <= k; ++i) lower[i] = q[i] >= 'A' && q[i] <= 'Z' ? q[i] - 'A' + 'a' : q[i];
        double value;
        if (strcmp(lower, ".inf") == 0) {
            value = HUGE_VAL;
        } else if (strcmp(lower, ".nan") == 0) {
            return floatNode(b, "nan", 3);
        } else if (strchr(lower, ':')) {
            // Parts from the last: value += part * 60^i, the power exact and
            // rounded to a double as Python turns an int into a float (which
            // refuses a power past the largest double).
            value = 0.0;
            BigNatural base;
            base.mulAdd(1, 1);
            char* end = lower + k;
            while (true) {
                char* colon = end;
                while (colon > lower && colon[-1] != ':') --colon;
                char part[kMaxNumberDigits + 1];
                memcpy(part, colon, static_cast<size_t>(end - colon));
                part[end - colon] = 0;
                char power[BigNatural::kMaxDecimal + 1];
                base.toDecimal(power);
                double factor = strtod(power, nullptr);
                if (std::isinf(factor)) return nullptr;
                value += strtod(part, nullptr) * factor;
                if (colon == lower) break;
                if (!base.mulAdd(60, 0)) return nullptr;
                end = colon - 1;
            }
        } else {
            value = strtod(lower, nullptr);
        }
        char out[32];
        size_t len = formatPythonFloat(negative ? -value : value, out);
        return b.scalar(DocType::Float, out, len);
    }
    if (strcmp(q, "0") == 0) return b.scalar(DocType::Int, "0", 1);
    if (q[0] == '0' && (q[1] == 'b' || q[1] == 'x'))
        return integerNode(b, q + 2, k - 2, q[1] == 'b' ? 2 : 16, negative);
    if (q[0] == '0') return integerNode(b, q, k, 8, negative);
    if (!strchr(q, ':')) return integerNode(b, q, k, 10, negative);
    BigNatural value;
    const char* part = q;
    bool first = true;
    while (true) {
        const char* colon = strchr(part, ':');
        size_t len = colon ? static_cast<size_t>(colon - part) : strlen(part);
        if (first) {
            for (size_t i = 0; i < len; ++i)
                if (!value.mulAdd(10, static_cast<uint32_t>(part[i] - '0'))) return nullptr;
        } else {
            uint32_t d = 0;
            for (size_t i = 0; i < len; ++i) d = d * 10 + static_cast<uint32_t>(part[i] - '0');
            if (!value.mulAdd(60, d)) return nullptr;
        }
        first = false;
        if (!colon) break;
        part = colon + 1;
    }
    return bigIntegerNode(b, value, negative);
}

// ---- the parser: PyYAML's node grammar, one document

class Parser {
public:
    Parser(Scanner& scanner, DocBuilder& builder) : t_(scanner), b_(builder) {}

    DocNode* document() {
        if (!t_.get()) return nullptr;  // the stream's start
        DocNode* root;
        if (!t_.check(Tok::DocumentStart) && !t_.check(Tok::StreamEnd)) {
            root = node(true, false, 0);
        } else {
            while (t_.check(Tok::DocumentEnd)) t_.get();
            if (t_.check(Tok::StreamEnd)) return b_.node(DocType::Null);
            if (!t_.check(Tok::DocumentStart)) return nullptr;
            t_.get();
            root = endsContent() ? b_.node(DocType::Null) : node(true, false, 0);
        }
        if (!root) return nullptr;
        // One document only: what follows may be document ends, nothing else.
        while (t_.check(Tok::DocumentEnd)) t_.get();
        return t_.check(Tok::StreamEnd) ? root : nullptr;
    }

private:
    bool endsContent() {
        return t_.check(Tok::DocumentStart) || t_.check(Tok::DocumentEnd) || t_.check(Tok::StreamEnd);
    }
    bool nextIs(Tok a, Tok b, Tok c = Tok::StreamStart, Tok d = Tok::StreamStart) {
        const Token* t = t_.peek();
        return !t || t->type == a || t->type == b || t->type == c || t->type == d;
    }

    DocNode* node(bool block, bool indentless, unsigned depth) {
        if (depth >= kMaxDocumentDepth) return nullptr;
        const Token* t = t_.peek();
        if (!t) return nullptr;
        if (indentless && t->type == Tok::BlockEntry) return indentlessSequence(depth);
        switch (t->type) {
        case Tok::Scalar:
            t = t_.get();
            return scalar(t);
        case Tok::FlowSequenceStart:
            return flowSequence(depth);
        case Tok::FlowMappingStart:
            return flowMapping(depth);
        case Tok::BlockSequenceStart:
            return block ? blockSequence(depth) : nullptr;
        case Tok::BlockMappingStart:
            return block ? blockMapping(depth) : nullptr;
        default:
            return nullptr;
        }
    }

    DocNode* scalar(const Token* t) {
        if (!t->plain) return scalarNode(DocType::String, t->text, t->length);
        switch (resolvePlain(t->text, t->length)) {
        case Resolved::Str:
            return scalarNode(DocType::String, t->text, t->length);
        case Resolved::Null:
            return b_.node(DocType::Null);
        case Resolved::Bool: {
            bool yes = strchr("yYtToO", t->text[0]) && !(t->length == 3 && (t->text[1] == 'f' || t->text[1] == 'F'));
            return yes ? b_.scalar(DocType::Bool, "true", 4) : b_.scalar(DocType::Bool, "false", 5);
        }
        case Resolved::Int:
        case Resolved::Float:
            return numberNode(b_, t->text, t->length, resolvePlain(t->text, t->length) == Resolved::Float);
        default:
            return nullptr;
        }
    }
    // The token's text lives in the arena already.
    DocNode* scalarNode(DocType type, const char* text, size_t length) {
        DocNode* n = b_.node(type);
        if (!n) return nullptr;
        n->text = text;
        n->textLength = static_cast<uint32_t>(length);
        return n;
    }

    // Adds key: value to a mapping; keys must be strings.
    bool pair(DocNode* map, DocNode* key, DocNode* value) {
        if (!key || !value || key->type != DocType::String) return false;
        value->key = key->text;
        value->keyLength = key->textLength;
        return b_.addMember(map, value);
    }

    DocNode* blockSequence(unsigned depth) {
        t_.get();
        DocNode* seq = b_.node(DocType::Array);
        if (!seq) return nullptr;
        while (t_.check(Tok::BlockEntry)) {
            t_.get();
            DocNode* item =
                nextIs(Tok::BlockEntry, Tok::BlockEnd) ? b_.node(DocType::Null) : node(true, false, depth + 1);
            if (!item) return nullptr;
            DocBuilder::append(seq, item);
        }
        return t_.check(Tok::BlockEnd) && t_.get() ? seq : nullptr;
    }

    DocNode* indentlessSequence(unsigned depth) {
        DocNode* seq = b_.node(DocType::Array);
        if (!seq) return nullptr;
        while (t_.check(Tok::BlockEntry)) {
            t_.get();
            bool empty = nextIs(Tok::BlockEntry, Tok::Key, Tok::Value, Tok::BlockEnd);
            DocNode* item = empty ? b_.node(DocType::Null) : node(true, false, depth + 1);
            if (!item) return nullptr;
            DocBuilder::append(seq, item);
        }
        return t_.failed() ? nullptr : seq;
    }

    DocNode* blockMapping(unsigned depth) {
        t_.get();
        DocNode* map = b_.node(DocType::Object);
        if (!map) return nullptr;
        while (t_.check(Tok::Key) || t_.check(Tok::Value)) {
            DocNode* key = nullptr;
            if (t_.check(Tok::Value)) return nullptr;  // a value without a key: PyYAML refuses it here
            t_.get();
            key = nextIs(Tok::Key, Tok::Value, Tok::BlockEnd) ? b_.node(DocType::Null) : node(true, true, depth + 1);
            if (!key) return nullptr;
            DocNode* value;
            if (t_.check(Tok::Value)) {
                t_.get();
                value = nextIs(Tok::Key, Tok::Value, Tok::BlockEnd) ? b_.node(DocType::Null)
                                                                     : node(true, true, depth + 1);
            } else {
                value = b_.node(DocType::Null);
            }
            if (!pair(map, key, value)) return nullptr;
        }
        return t_.check(Tok::BlockEnd) && t_.get() ? map : nullptr;
    }

    DocNode* flowSequence(unsigned depth) {
        t_.get();
        DocNode* seq = b_.node(DocType::Array);
        if (!seq) return nullptr;
        for (bool first = true;; first = false) {
            if (t_.check(Tok::FlowSequenceEnd)) break;
            if (!first) {
                if (!t_.check(Tok::FlowEntry)) return nullptr;
                t_.get();
            }
            DocNode* item;
            if (t_.check(Tok::Key)) {
                // [ key: value ] holds a mapping of one pair.
                t_.get();
                item = b_.node(DocType::Object);
                bool noKey = nextIs(Tok::Value, Tok::FlowEntry, Tok::FlowSequenceEnd);
                DocNode* key = noKey ? b_.node(DocType::Null) : node(false, false, depth + 2);
                if (!item || !key) return nullptr;
                DocNode* value = b_.node(DocType::Null);
                if (t_.check(Tok::Value)) {
                    t_.get();
                    if (!nextIs(Tok::FlowEntry, Tok::FlowSequenceEnd)) value = node(false, false, depth + 2);
                }
                if (!pair(item, key, value)) return nullptr;
            } else if (t_.check(Tok::FlowSequenceEnd)) {
                break;
            } else {
                item = node(false, false, depth + 1);
                if (!item) return nullptr;
            }
            DocBuilder::append(seq, item);
        }
        return t_.get() ? seq : nullptr;
    }

    DocNode* flowMapping(unsigned depth) {
        t_.get();
        DocNode* map = b_.node(DocType::Object);
        if (!map) return nullptr;
        for (bool first = true;; first = false) {
            if (t_.check(Tok::FlowMappingEnd)) break;
            if (!first) {
                if (!t_.check(Tok::FlowEntry)) return nullptr;
                t_.get();
            }
            DocNode* key;
            DocNode* value;
            if (t_.check(Tok::Key)) {
                t_.get();
                key = nextIs(Tok::Value, Tok::FlowEntry, Tok::FlowMappingEnd) ? b_.node(DocType::Null)
                                                                               : node(false, false, depth + 1);
                value = b_.node(DocType::Null);
                if (t_.check(Tok::Value)) {
                    t_.get();
                    if (!nextIs(Tok::FlowEntry, Tok::FlowMappingEnd)) value = node(false, false, depth + 1);
                }
            } else if (t_.check(Tok::FlowMappingEnd)) {
                break;
            } else {
                key = node(false, false, depth + 1);
                value = b_.node(DocType::Null);
            }
            if (!pair(map, key, value)) return nullptr;
        }
        return t_.get() ? map : nullptr;
    }

    Scanner& t_;
    DocBuilder& b_;
};

// Characters PyYAML's reader refuses (and the breaks and BOM it is declined for).
bool acceptable(uint32_t cp, size_t offset) {
    if (cp == 0x09 || cp == 0x0A || cp == 0x0D) return true;
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF) return false;
    if (cp == 0x2028 || cp == 0x2029) return false;
    return cp != 0xFEFF || offset == 0;
}

}  // namespace

Document* parseYaml(const char* bytes, size_t length) {
    if (!bytes || length > kMaxDocumentBytes) return nullptr;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length;) {
        size_t k = utf8SequenceLength(u + i, length - i);
        if (!k || !acceptable(utf8Decode(u + i, k), i)) return nullptr;
        i += k;
    }
    DocBuilder builder(length);
    Scanner scanner(bytes, length, builder);
    if (!scanner.start()) return nullptr;
    Parser parser(scanner, builder);
    DocNode* root = parser.document();
    return builder.finish(scanner.failed() ? nullptr : root);
}
