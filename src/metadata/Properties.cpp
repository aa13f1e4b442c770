#include "metadata/Properties.h"

#include <cstring>

#include "base/CoreAlloc.h"
#include "text/TextConvert.h"

namespace {

bool isBlank(uint16_t c) { return c == ' ' || c == '\t' || c == '\f'; }
bool isLineEnd(uint16_t c) { return c == '\r' || c == '\n'; }

int hexDigit(uint16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A key or a value, its escapes undone character by character and its UTF-16
// units turned into UTF-8 of bounded length.
class EscapedText {
public:
    EscapedText(char* out, size_t capacity) : out_(out), capacity_(capacity) {}

    void reset() {
        state_ = kPlain;
        length_ = 0;
        high_ = 0;
        unusable_ = false;
    }
    // False when a "\u" escape is malformed.
    bool put(uint16_t c) {
        switch (state_) {
            case kPlain:
                if (c == '\\')
                    state_ = kEscape;
                else
                    unit(c);
                return true;
            case kEscape:
                if (c == 'u') {
                    state_ = kUnicode;
                    digits_ = 0;
                    code_ = 0;
                    return true;
                }
                unit(c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 'f' ? '\f' : c);
                state_ = kPlain;
                return true;
            case kUnicode: {
                int digit = hexDigit(c);
                if (digit < 0) return false;
                code_ = static_cast<uint16_t>(code_ * 16 + digit);
                if (++digits_ == 4) {
                    unit(code_);
                    state_ = kPlain;
                }
                return true;
            }
        }
        return false;
    }
    // False when the text ends inside an escape.
    bool finish() {
        if (state_ != kPlain) return false;
        if (high_) unusable_ = true;
        out_[length_] = '\0';
        return true;
    }
    const char* text() const { return unusable_ ? nullptr : out_; }
    size_t length() const { return unusable_ ? 0 : length_; }

private:
    void unit(uint32_t u) {
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high_) {
            if (low) {
                emit(0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
                high_ = 0;
                return;
            }
            unusable_ = true;
            high_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            high_ = u;
        else if (low)
            unusable_ = true;
        else
            emit(u);
    }
    void emit(uint32_t v) {
        if (unusable_) return;
        if (capacity_ - length_ < 4) {
            unusable_ = true;
            return;
        }
        char* o = out_ + length_;
        if (v < 0x80) {
            *o++ = static_cast<char>(v);
        } else if (v < 0x800) {
            *o++ = static_cast<char>(0xC0 | (v >> 6));
            *o++ = static_cast<char>(0x80 | (v & 0x3F));
        } else if (v < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (v >> 12));
            *o++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (v & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (v >> 18));
            *o++ = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (v & 0x3F));
        }
        length_ = static_cast<size_t>(o - out_);
    }

    enum State { kPlain, kEscape, kUnicode };
    char* out_;
    size_t capacity_;  // bytes, the terminator excluded
    size_t length_ = 0;
    State state_ = kPlain;
    int digits_ = 0;
    uint16_t code_ = 0;
    uint32_t high_ = 0;
    bool unusable_ = false;
};

// One logical line cut into key and value as Properties.load cuts it.
class EntryParser {
public:
    EntryParser(char* keyBuffer, char* valueBuffer)
        : key_(keyBuffer, kMaxPropertyKey), value_(valueBuffer, kMaxPropertyValue) {}

    void begin(uint32_t line) {
        line_ = line;
        phase_ = kKey;
        escaped_ = false;
        separated_ = false;
        key_.reset();
        value_.reset();
    }
    bool put(uint16_t c) {
        switch (phase_) {
            case kKey:
                if (!escaped_ && (c == '=' || c == ':')) {
                    phase_ = kGap;
                    separated_ = true;
                    return true;
                }
                if (!escaped_ && isBlank(c)) {
                    phase_ = kGap;
                    return true;
                }
                escaped_ = c == '\\' ? !escaped_ : false;
                return key_.put(c);
            case kGap:
                if (isBlank(c)) return true;
                if (!separated_ && (c == '=' || c == ':')) {
                    separated_ = true;
                    return true;
                }
                phase_ = kValue;
                return value_.put(c);
            case kValue:
                return value_.put(c);
        }
        return false;
    }
    bool end(PropertyEntry* entry) {
        if (!key_.finish() || !value_.finish()) return false;
        *entry = PropertyEntry{key_.text(), key_.length(), value_.text(), value_.length(), line_};
        return true;
    }

private:
    enum Phase { kKey, kGap, kValue };
    EscapedText key_;
    EscapedText value_;
    Phase phase_ = kKey;
    bool escaped_ = false;
    bool separated_ = false;
    uint32_t line_ = 0;
};

}  // namespace

// The logical lines, cut as the JVM's line reader cuts them: blanks at the
// start of each natural line go, and so do empty lines and comments; a line
// ending in an unpaired backslash is joined to the next without the
// backslash. A backslash is held back until the next character shows
// whether it ends the line.
bool readProperties(const char* bytes, size_t length, PropertyVisitor visit, void* context) {
    if ((!bytes && length != 0) || !visit) return false;
    char keyBuffer[kMaxPropertyKey + 1];
    char valueBuffer[kMaxPropertyValue + 1];
    EntryParser parser(keyBuffer, valueBuffer);
    PropertyEntry entry;
    size_t len = 0;  // characters of the logical line so far, a held backslash included
    bool skipBlanks = true;
    bool joined = false;  // a continuation just began: an empty line now ends the line
    bool backslash = false;
    uint32_t line = 1;
    for (size_t i = 0; i < length; ++i) {
        const uint16_t c = static_cast<unsigned char>(bytes[i]);
        const uint32_t lineOfChar = line;
        if (c == '\r' || (c == '\n' && (i == 0 || bytes[i - 1] != '\r'))) ++line;
        if (skipBlanks) {
            if (isBlank(c) || (!joined && isLineEnd(c))) continue;
            skipBlanks = false;
            joined = false;
        }
        if (len == 0 && (c == '#' || c == '!')) {
            while (i < length && !isLineEnd(static_cast<unsigned char>(bytes[i]))) ++i;
            // A comment without a line end is the end of the file.
            if (i == length) return true;
            if (bytes[i] == '\r' || i == 0 || bytes[i - 1] != '\r') ++line;
            skipBlanks = true;
            continue;
        }
        if (!isLineEnd(c)) {
            if (len == 0) parser.begin(lineOfChar);
            if (backslash && !parser.put('\\')) return false;
            ++len;
            backslash = c == '\\' ? !backslash : false;
            if (!backslash && !parser.put(c)) return false;
            continue;
        }
        if (len == 0) {
            skipBlanks = true;
            continue;
        }
        if (backslash && i + 1 < length) {
            // The backslash joins this line to the next.
            --len;
            backslash = false;
            skipBlanks = true;
            joined = true;
            if (c == '\r' && bytes[i + 1] == '\n') ++i;
            continue;
        }
        if (!parser.end(&entry)) return false;
        visit(entry, context);
        len = 0;
        backslash = false;
        skipBlanks = true;
        joined = false;
    }
    if (len == 0) return true;
    if (!parser.end(&entry)) return false;
    visit(entry, context);
    return true;
}

namespace {

struct Lookup {
    const char* const* keys;
    size_t count;
    char** values;
    uint32_t* lines;
    bool failed;
};

void lookUp(const PropertyEntry& entry, void* context) {
    Lookup& lookup = *static_cast<Lookup*>(context);
    if (!entry.key) return;
    for (size_t i = 0; i < lookup.count; ++i) {
        if (std::strlen(lookup.keys[i]) != entry.keyLength ||
            std::memcmp(lookup.keys[i], entry.key, entry.keyLength) != 0)
            continue;
        coreFree(lookup.values[i]);
        lookup.values[i] = nullptr;
        lookup.lines[i] = entry.line;
        if (entry.value) {
            lookup.values[i] = copyText(entry.value, entry.valueLength);
            if (!lookup.values[i]) lookup.failed = true;
        }
    }
}

}  // namespace

bool findProperties(const char* bytes, size_t length, const char* const* keys, size_t count, char** values,
                    uint32_t* lines, bool* noMemory) {
    for (size_t i = 0; i < count; ++i) {
        values[i] = nullptr;
        lines[i] = 0;
    }
    Lookup lookup = {keys, count, values, lines, false};
    if (readProperties(bytes, length, lookUp, &lookup) && !lookup.failed) return true;
    if (noMemory && lookup.failed) *noMemory = true;
    for (size_t i = 0; i < count; ++i) {
        coreFree(values[i]);
        values[i] = nullptr;
        lines[i] = 0;
    }
    return false;
}
