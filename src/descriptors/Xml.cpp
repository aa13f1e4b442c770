// XML 1.0 as python's xml.etree (expat, with namespaces) reads an IntelliJ
// platform plugin's META-INF/plugin.xml:
//
//   document   [ BOM ] [ XMLDecl ] Misc* [ doctype Misc* ] element Misc*
//   XMLDecl    "<?xml" S "version" Eq [A-Za-z0-9._-]* [ S "encoding" Eq "UTF-8" ]
//              [ S "standalone" Eq ("yes" | "no") ] [ S ] "?>"
//   doctype    "<!DOCTYPE" S Name [ S ( "SYSTEM" S literal | "PUBLIC" S pubid S literal ) ] [ S ] ">"
//   element    "<" Name ( S Name [S] "=" [S] value )* [S] ( "/>" | ">" content "</" Name [S] ">" )
//   content    text, CDATA sections, comments, PIs, elements, references
//   references &lt; &gt; &amp; &apos; &quot; &#N; &#xH; (to characters XML allows)
//   Misc       comments "<!--" (no "--") "-->", PIs "<?" target [ S ... ] "?>", white space
//
// Line ends are CR LF, CR or LF and read as LF; in attribute values TAB and
// LF read as a space. Names with a prefix are read in their namespace, as
// "{uri}local"; xmlns attributes declare and are not attributes. Every
// character must be one XML allows; "]]>" may not stand in text. Comments and
// PIs are dropped; text around them joins, as etree joins it.
//
// Declined although etree reads them: a DOCTYPE with an internal subset (its
// entities are never expanded, external ones never fetched), encodings other
// than UTF-8, names outside ASCII, declarations of the prefix xml, more than
// kMaxDocumentDepth levels or kMaxBindings namespaces in scope.
#include <cstring>

#include "base/CoreAlloc.h"
#include "descriptors/DocumentBuild.h"

namespace {

constexpr size_t kMaxBindings = 64;
const char kXmlNamespace[] = "http://www.w3.org/XML/1998/namespace";
const char kXmlnsNamespace[] = "http://www.w3.org/2000/xmlns/";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; }
bool xmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

struct Binding {
    const char* prefix;  // "" for the default namespace
    size_t prefixLength;
    const char* uri;  // "" where the default namespace is undeclared
    size_t uriLength;
};

struct RawAttribute {
    const char* name;
    size_t nameLength;
    const char* value;
    size_t valueLength;
};

class XmlReader {
public:
    XmlReader(const char* s, size_t n, DocBuilder& b) : s_(s), n_(n), b_(b) {}

    DocNode* document() {
        if (at("<?xml") && pos_ + 5 < n_ && (isSpace(s_[pos_ + 5]) || s_[pos_ + 5] == '?') && !declaration())
            return nullptr;
        bool doctype = false;
        while (true) {
            skipSpace();
            if (at("<!--") || at("<?")) {
                if (!misc()) return nullptr;
            } else if (at("<!DOCTYPE") && !doctype) {
                if (!this->doctype()) return nullptr;
                doctype = true;
            } else {
                break;
            }
        }
        if (!at("<") || !content()) return nullptr;
        while (true) {
            skipSpace();
            if (pos_ >= n_) return root_;
            if (!(at("<!--") || at("<?")) || !misc()) return nullptr;
        }
    }

private:
    bool at(const char* t) const {
        size_t k = strlen(t);
        return n_ - pos_ >= k && memcmp(s_ + pos_, t, k) == 0;
    }
    bool skipSpace() {
        size_t start = pos_;
        while (pos_ < n_ && isSpace(s_[pos_])) ++pos_;
        return pos_ > start;
    }
    // A name at pos_ (ASCII only: others are declined); its length, or 0.
    size_t name() {
        size_t start = pos_;
        if (pos_ >= n_ || !isNameStart(s_[pos_])) return 0;
        while (pos_ < n_ && isNameChar(s_[pos_])) ++pos_;
        if (pos_ < n_ && static_cast<unsigned char>(s_[pos_]) >= 0x80) return 0;
        return pos_ - start;
    }
    bool eq() {
        skipSpace();
        if (!at("=")) return false;
        ++pos_;
        skipSpace();
        return true;
    }
    // A quoted literal without markup; its text.
    bool literal(const char** text, size_t* length) {
        if (pos_ >= n_ || (s_[pos_] != '"' && s_[pos_] != '\'')) return false;
        char q = s_[pos_++];
        const char* end = static_cast<const char*>(memchr(s_ + pos_, q, n_ - pos_));
        if (!end) return false;
        *text = s_ + pos_;
        *length = static_cast<size_t>(end - *text);
        pos_ = static_cast<size_t>(end - s_) + 1;
        return true;
    }

    bool declaration() {
        pos_ += 5;
        const char* v;
        size_t vn;
        if (!skipSpace() || !at("version") || (pos_ += 7, !eq()) || !literal(&v, &vn)) return false;
        for (size_t i = 0; i < vn; ++i)
            if (!isNameChar(v[i]) || v[i] == ':') return false;
        bool space = skipSpace();
        if (space && at("encoding")) {
            pos_ += 8;
            if (!eq() || !literal(&v, &vn)) return false;
            static const char utf8[] = "utf-8";
            if (vn != 5) return false;
            for (size_t i = 0; i < vn; ++i)
                if ((v[i] | 0x20) != utf8[i]) return false;
            space = skipSpace();
        }
        if (space && at("standalone")) {
            pos_ += 10;
            if (!eq() || !literal(&v, &vn)) return false;
            if (!(vn == 3 && memcmp(v, "yes", 3) == 0) && !(vn == 2 && memcmp(v, "no", 2) == 0)) return false;
            skipSpace();
        }
        if (!at("?>")) return false;
        pos_ += 2;
        return true;
    }

    bool doctype() {
        pos_ += 9;
        if (!skipSpace() || !name()) return false;
        bool space = skipSpace();
        if (space && (at("SYSTEM") || at("PUBLIC"))) {
            bool pub = at("PUBLIC");
            pos_ += 6;
            const char* t;
            size_t tn;
            if (!skipSpace() || !literal(&t, &tn)) return false;
            if (pub) {
                static const char pubid[] =
                    " \n\rabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-'()+,./:=?;!*#@$_%";
                for (size_t i = 0; i < tn; ++i)
                    if (!t[i] || !strchr(pubid, t[i])) return false;
                if (!skipSpace() || !literal(&t, &tn)) return false;
            }
            skipSpace();
        }
        // An internal subset is declined: its entities are never expanded.
        if (!at(">")) return false;
        ++pos_;
        return true;
    }

    // A comment or a PI (not the declaration).
    bool misc() {
        if (at("<!--")) {
            const char* end = nullptr;
            for (size_t i = pos_ + 4; i + 1 < n_; ++i)
                if (s_[i] == '-' && s_[i + 1] == '-') {
                    end = s_ + i;
                    break;
                }
            if (!end || end + 2 >= s_ + n_ || end[2] != '>') return false;
            pos_ = static_cast<size_t>(end - s_) + 3;
            return true;
        }
        pos_ += 2;
        size_t start = pos_;
        size_t k = name();
        if (!k || memchr(s_ + start, ':', k)) return false;
        if (k == 3 && (s_[start] | 0x20) == 'x' && (s_[start + 1] | 0x20) == 'm' && (s_[start + 2] | 0x20) == 'l')
            return false;
        if (at("?>")) return pos_ += 2, true;
        if (!skipSpace()) return false;
        for (; pos_ + 1 < n_; ++pos_)
            if (s_[pos_] == '?' && s_[pos_ + 1] == '>') return pos_ += 2, true;
        return false;
    }

    // A reference after "&" into out; false on an undefined or bad one.
    bool reference(Scratch& out) {
        ++pos_;
        static const char* const names[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
        static const char chars[] = "<>&'\"";
        for (int i = 0; i < 5; ++i)
            if (at(names[i])) {
                pos_ += strlen(names[i]);
                return out.add(chars + i, 1);
            }
        if (!at("#")) return false;
        ++pos_;
        int base = 10;
        if (at("x")) base = 16, ++pos_;
        uint32_t cp = 0;
        size_t digits = 0;
        for (; pos_ < n_ && s_[pos_] != ';'; ++pos_, ++digits) {
            int d = digitValue(s_[pos_]);
            if (d < 0 || d >= base) return false;
            cp = cp * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
            if (cp > 0x10FFFF) return false;
        }
        if (!digits || pos_ >= n_ || !xmlChar(cp)) return false;
        ++pos_;
        char utf8[4];
        return out.add(utf8, utf8Encode(cp, utf8));
    }

    // ---- elements

    struct Open {
        DocNode* element;
        const char* qname;
        size_t qnameLength;
        size_t bindings;  // in scope before this element
    };

    // "{uri}local" for a prefixed name or (for elements) one in a default
    // namespace; the name itself otherwise. Null on an unbound prefix.
    const char* expand(const char* qname, size_t length, bool element, size_t* outLength) {
        const char* colon = static_cast<const char*>(memchr(qname, ':', length));
        size_t prefixLength = colon ? static_cast<size_t>(colon - qname) : 0;
        const char* local = colon ? colon + 1 : qname;
        size_t localLength = length - (colon ? prefixLength + 1 : 0);
        if (colon && (prefixLength == 0 || localLength == 0 || memchr(local, ':', localLength))) return nullptr;
        const Binding* binding = nullptr;
        static const Binding xml = {"xml", 3, kXmlNamespace, sizeof kXmlNamespace - 1};
        if (colon && prefixLength == 3 && memcmp(qname, "xml", 3) == 0) binding = &xml;
        for (size_t i = bindingCount_; !binding && i-- > 0;)
            if (bindings_[i].prefixLength == prefixLength && memcmp(bindings_[i].prefix, qname, prefixLength) == 0)
                binding = &bindings_[i];
        if (colon && (!binding || binding->uriLength == 0)) return nullptr;
        if (!colon && (!element || !binding || binding->uriLength == 0)) {
            *outLength = length;
            return b_.copyText(qname, length);
        }
        char* out = b_.textBuffer(binding->uriLength + localLength + 2);
        if (!out) return nullptr;
        out[0] = '{';
        memcpy(out + 1, binding->uri, binding->uriLength);
        out[binding->uriLength + 1] = '}';
        memcpy(out + binding->uriLength + 2, local, localLength);
        *outLength = binding->uriLength + localLength + 2;
        out[*outLength] = 0;
        return out;
    }

    bool attributeValue(Scratch& out) {
        if (pos_ >= n_ || (s_[pos_] != '"' && s_[pos_] != '\'')) return false;
        char q = s_[pos_++];
        while (true) {
            if (pos_ >= n_) return false;
            char c = s_[pos_];
            if (c == q) return ++pos_, true;
            if (c == '<') return false;
            if (c == '&') {
                if (!reference(out)) return false;
                continue;
            }
            if (!out.add(c == '\t' || c == '\n' ? " " : s_ + pos_, 1)) return false;
            ++pos_;
        }
    }

    // A start tag at pos_ ("<" seen); pushes the element. *empty for "/>".
    bool startTag(bool* empty) {
        ++pos_;
        size_t qstart = pos_;
        size_t qlength = name();
        if (!qlength || depth_ == kMaxDocumentDepth) return false;
        Open& open = stack_[depth_];
        open.qname = s_ + qstart;
        open.qnameLength = qlength;
        open.bindings = bindingCount_;
        // The raw attributes first: namespace declarations apply to the element's own name.
        size_t first = rawCount_;
        while (true) {
            bool space = skipSpace();
            if (at("/>") || at(">")) break;
            size_t nstart = pos_;
            size_t nlength = space ? name() : 0;
            if (!nlength || !eq()) return false;
            Scratch value;
            if (!attributeValue(value)) return false;
            RawAttribute raw = {s_ + nstart, nlength, b_.copyText(value.data(), value.size()), value.size()};
            if (!raw.value || !pushRaw(raw)) return false;
        }
        *empty = at("/>");
        pos_ += *empty ? 2 : 1;
        for (size_t i = first; i < rawCount_; ++i) {
            const RawAttribute& a = raw_[i];
            bool isDefault = a.nameLength == 5 && memcmp(a.name, "xmlns", 5) == 0;
            if (!isDefault && !(a.nameLength > 6 && memcmp(a.name, "xmlns:", 6) == 0)) continue;
            Binding binding = {isDefault ? "" : a.name + 6, isDefault ? 0 : a.nameLength - 6, a.value, a.valueLength};
            if (!isDefault && (binding.uriLength == 0 || memchr(binding.prefix, ':', binding.prefixLength)))
                return false;
            if (!isDefault && binding.prefixLength >= 3 && memcmp(binding.prefix, "xml", 3) == 0 &&
                (binding.prefixLength == 3 || (binding.prefixLength == 5 && memcmp(binding.prefix, "xmlns", 5) == 0)))
                return false;
            // The two reserved namespaces take no other prefixes.
            size_t u = binding.uriLength;
            if ((u == sizeof kXmlNamespace - 1 && memcmp(a.value, kXmlNamespace, u) == 0) ||
                (u == sizeof kXmlnsNamespace - 1 && memcmp(a.value, kXmlnsNamespace, u) == 0))
                return false;
            for (size_t j = open.bindings; j < bindingCount_; ++j)
                if (bindings_[j].prefixLength == binding.prefixLength &&
                    memcmp(bindings_[j].prefix, binding.prefix, binding.prefixLength) == 0)
                    return false;
            if (bindingCount_ == kMaxBindings) return false;
            bindings_[bindingCount_++] = binding;
        }
        DocNode* e = b_.node(DocType::Element);
        size_t keyLength = 0;
        if (!e || !(e->key = expand(open.qname, qlength, true, &keyLength))) return false;
        e->keyLength = static_cast<uint32_t>(keyLength);
        for (size_t i = first; i < rawCount_; ++i) {
            const RawAttribute& a = raw_[i];
            if ((a.nameLength == 5 && memcmp(a.name, "xmlns", 5) == 0) ||
                (a.nameLength > 6 && memcmp(a.name, "xmlns:", 6) == 0))
                continue;
            DocNode* attr = b_.node(DocType::Attribute);
            size_t length = 0;
            if (!attr || !(attr->key = expand(a.name, a.nameLength, false, &length))) return false;
            attr->keyLength = static_cast<uint32_t>(length);
            attr->text = a.value;
            attr->textLength = static_cast<uint32_t>(a.valueLength);
            if (b_.findMember(e, attr->key, length) || !b_.addMember(e, attr)) return false;
        }
        rawCount_ = first;
        open.element = e;
        if (depth_ == 0)
            root_ = e;
        else
            DocBuilder::append(stack_[depth_ - 1].element, e);
        ++depth_;
        return true;
    }

    bool pushRaw(const RawAttribute& a) {
        if (rawCount_ == rawCapacity_) {
            size_t want = rawCapacity_ ? rawCapacity_ * 2 : 16;
            RawAttribute* grown = static_cast<RawAttribute*>(b_.alloc(want * sizeof(RawAttribute)));
            if (!grown) return false;
            if (rawCount_) memcpy(grown, raw_, rawCount_ * sizeof(RawAttribute));
            raw_ = grown;
            rawCapacity_ = want;
        }
        raw_[rawCount_++] = a;
        return true;
    }

    // Hands the text gathered since the last tag to the element's text or the
    // last closed child's tail.
    bool flushText() {
        if (text_.size() == 0 || !target_) return true;
        char* t = b_.copyText(text_.data(), text_.size());
        if (!t) return false;
        if (targetIsTail_) {
            target_->tail = t;
            target_->tailLength = static_cast<uint32_t>(text_.size());
        } else {
            target_->text = t;
            target_->textLength = static_cast<uint32_t>(text_.size());
        }
        text_.clear();
        return true;
    }

    // The root element and everything in it.
    bool content() {
        if (!at("<") || at("</") || at("<!") || at("<?")) return false;
        do {
            if (pos_ >= n_) return false;
            char c = s_[pos_];
            if (c == '<') {
                if (at("</")) {
                    pos_ += 2;
                    Open& open = stack_[depth_ - 1];
                    if (n_ - pos_ < open.qnameLength || memcmp(s_ + pos_, open.qname, open.qnameLength) != 0)
                        return false;
                    pos_ += open.qnameLength;
                    skipSpace();
                    if (!at(">") || !flushText()) return false;
                    ++pos_;
                    bindingCount_ = open.bindings;
                    target_ = open.element;
                    targetIsTail_ = true;
                    --depth_;
                } else if (at("<!--") || at("<?")) {
                    if (!misc()) return false;
                } else if (at("<![CDATA[")) {
                    pos_ += 9;
                    size_t start = pos_;
                    while (pos_ + 2 < n_ && memcmp(s_ + pos_, "]]>", 3) != 0) ++pos_;
                    if (pos_ + 2 >= n_ || !text_.add(s_ + start, pos_ - start)) return false;
                    pos_ += 3;
                } else {
                    if (!flushText()) return false;
                    bool empty = false;
                    if (!startTag(&empty)) return false;
                    target_ = stack_[depth_ - 1].element;
                    targetIsTail_ = false;
                    if (empty) {
                        bindingCount_ = stack_[depth_ - 1].bindings;
                        targetIsTail_ = true;
                        --depth_;
                    }
                }
            } else if (c == '&') {
                if (!reference(text_)) return false;
            } else {
                if (at("]]>")) return false;
                size_t start = pos_;
                while (pos_ < n_ && s_[pos_] != '<' && s_[pos_] != '&' && !at("]]>")) ++pos_;
                if (!text_.add(s_ + start, pos_ - start)) return false;
            }
        } while (depth_ > 0);
        return text_.size() == 0 || flushText();
    }

    const char* s_;
    size_t n_;
    size_t pos_ = 0;
    DocBuilder& b_;
    DocNode* root_ = nullptr;
    Open stack_[kMaxDocumentDepth];
    size_t depth_ = 0;
    Binding bindings_[kMaxBindings];
    size_t bindingCount_ = 0;
    RawAttribute* raw_ = nullptr;
    size_t rawCount_ = 0, rawCapacity_ = 0;
    Scratch text_;
    DocNode* target_ = nullptr;
    bool targetIsTail_ = false;
};

}  // namespace

Document* parseXml(const char* bytes, size_t length) {
    if (!bytes || length > kMaxDocumentBytes) return nullptr;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = length >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    // Every character one XML allows; CR LF and CR read as LF.
    char* text = static_cast<char*>(coreAlloc(length + 1));
    if (!text) return nullptr;
    CorePtr<char> hold(text);
    size_t n = 0;
    while (i < length) {
        size_t k = utf8SequenceLength(u + i, length - i);
        if (!k || !xmlChar(utf8Decode(u + i, k))) return nullptr;
        if (u[i] == '\r') {
            text[n++] = '\n';
            i += i + 1 < length && u[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        memcpy(text + n, bytes + i, k);
        n += k;
        i += k;
    }
    text[n] = 0;
    DocBuilder builder(n);
    XmlReader reader(text, n, builder);
    return builder.finish(reader.document());
}

namespace {

// White space as Python's str.split() sees it.
bool isWhite(uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

constexpr size_t kMaxStripped = 64 * 1024;
constexpr size_t kMaxTag = 1024;

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether the tag whose name starts at p (length bytes) breaks a line.
bool breaksLine(const char* p, size_t length) {
    static const char* const tags[] = {"p",  "br", "li", "div", "tr", "td", "th", "h1", "h2", "h3", "h4",
                                       "h5", "h6", "ul", "ol",  "dd", "dt", "blockquote", "pre", "table", "hr"};
    for (const char* t : tags) {
        size_t k = strlen(t);
        if (k != length) continue;
        size_t i = 0;
        while (i < k && (p[i] | 0x20) == t[i]) ++i;
        if (i == k) return true;
    }
    return false;
}

}  // namespace

char* stripMarkup(const char* text, size_t length) {
    if (!text) return nullptr;
    // A tooltip or a page shows far less than the first 64 KiB (cut at a
    // character's start).
    if (length > kMaxStripped) {
        length = kMaxStripped;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    // The result is never longer than the text: references shrink, tags go.
    char* out = static_cast<char*>(coreAlloc(length + 1));
    if (!out) return nullptr;
    size_t n = 0;
    bool space = false;
    auto emit = [&](uint32_t cp) {
        if (isWhite(cp)) {
            space = n > 0;
            return;
        }
        if (space) out[n++] = ' ';
        space = false;
        n += utf8Encode(cp, out + n);
    };
    // The next ">", "<" and "-->" from a place: looked up once and kept while
    // the walk has not passed them, so that broken markup costs one walk.
    struct Next {
        const char* pattern;
        size_t at;
    } nextGt{">", SIZE_MAX}, nextLt{"<", SIZE_MAX}, nextCommentEnd{"-->", SIZE_MAX};
    auto find = [&](Next& next, size_t from) {
        if (next.at != SIZE_MAX && (next.at >= from || next.at == length)) return next.at;
        size_t k = strlen(next.pattern);
        next.at = length;
        for (size_t j = from; j + k <= length; ++j)
            if (memcmp(text + j, next.pattern, k) == 0) {
                next.at = j;
                break;
            }
        return next.at;
    };
    const unsigned char* u = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < length;) {
        if (text[i] == '<' && i + 1 < length &&
            (isAsciiLetter(text[i + 1]) || text[i + 1] == '!' || text[i + 1] == '?' ||
             (text[i + 1] == '/' && i + 2 < length && isAsciiLetter(text[i + 2])))) {
            // An unclosed tag or comment is text up to the next ">" (or "<").
            auto unclosed = [&] {
                size_t gt = find(nextGt, i + 1), lt = find(nextLt, i + 1);
                size_t end = gt < length ? gt + 1 : lt < length ? lt : i + 1;
                while (i < end) {
                    size_t k = utf8SequenceLength(u + i, end - i);
                    if (k) emit(utf8Decode(u + i, k));
                    i += k ? k : 1;
                }
            };
            if (i + 3 < length && memcmp(text + i, "<!--", 4) == 0) {
                size_t end = find(nextCommentEnd, i + 4);
                if (end < length)
                    i = end + 3;
                else
                    unclosed();
                continue;
            }
            size_t nameStart = i + 1 + (text[i + 1] == '/');
            size_t j = nameStart;
            while (j < length && (isAsciiLetter(text[j]) || (text[j] >= '0' && text[j] <= '9'))) ++j;
            bool breaks = breaksLine(text + nameStart, j - nameStart);
            // To the tag's end, past quoted attribute values; a "<" outside
            // them, or a tag longer than kMaxTag, leaves it unclosed.
            char quote = 0;
            size_t limit = length - i > kMaxTag ? i + kMaxTag : length;
            for (; j < limit && (quote || (text[j] != '>' && text[j] != '<')); ++j)
                if (quote ? text[j] == quote : (text[j] == '"' || text[j] == '\'')) quote = quote ? 0 : text[j];
            if (j >= limit || text[j] != '>') {
                unclosed();
                continue;
            }
            if (breaks) emit(' ');
            i = j + 1;
            continue;
        }
        if (text[i] == '&') {
            static const char* const names[] = {"&lt;", "&gt;", "&amp;", "&quot;", "&apos;", "&nbsp;"};
            static const uint32_t chars[] = {'<', '>', '&', '"', '\'', 0xA0};
            bool done = false;
            for (int k = 0; k < 6 && !done; ++k) {
                size_t m = strlen(names[k]);
                if (length - i >= m && memcmp(text + i, names[k], m) == 0) emit(chars[k]), i += m, done = true;
            }
            if (!done && i + 2 < length && text[i + 1] == '#') {
                size_t j = i + 2;
                int base = text[j] == 'x' || text[j] == 'X' ? (++j, 16) : 10;
                uint32_t cp = 0;
                size_t start = j;
                for (int d; j < length && (d = digitValue(text[j])) >= 0 && d < base && cp <= 0x10FFFF; ++j)
                    cp = cp * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
                bool white = cp == 9 || cp == 10 || cp == 12 || cp == 13;
                if (j > start && j < length && text[j] == ';' && (white || cp >= 0x20) && cp <= 0x10FFFF &&
                    !(cp >= 0xD800 && cp <= 0xDFFF) && !(cp >= 0x7F && cp <= 0x9F))
                    emit(cp), i = j + 1, done = true;
            }
            if (done) continue;
        }
        size_t k = utf8SequenceLength(u + i, length - i);
        if (!k) {  // not UTF-8: left out
            ++i;
            continue;
        }
        emit(utf8Decode(u + i, k));
        i += k;
    }
    out[n] = 0;
    return out;
}
