#include "metadata/Manifest.h"

#include <cstring>

#include "base/CoreAlloc.h"
#include "text/TextConvert.h"

namespace {

// The JVM reads each line into 512 bytes, its line end included.
constexpr size_t kLineBuffer = 512;
constexpr size_t kMaxNameLength = 70;

enum class LineRead { kLine, kEnd, kRefused };

struct Line {
    char* start;
    size_t length;  // without the line end
    uint32_t number;
};

// The manifest's lines as the JVM's line reader cuts them.
class ManifestLines {
public:
    ManifestLines(char* bytes, size_t length) : bytes_(bytes), length_(length) {}

    LineRead next(Line* line) {
        size_t left = length_ - pos_;
        if (left == 0) return LineRead::kEnd;
        size_t window = left < kLineBuffer ? left : kLineBuffer;
        char* start = bytes_ + pos_;
        size_t i = 0;
        while (i < window && start[i] != '\n' && start[i] != '\r') ++i;
        // Without a line end a last line is dropped and a longer one refused.
        if (i == window) return window == kLineBuffer ? LineRead::kRefused : LineRead::kEnd;
        size_t ending = 1;
        if (start[i] == '\r' && i + 1 < left && start[i + 1] == '\n') {
            if (i + 2 > kLineBuffer) return LineRead::kRefused;
            ending = 2;
        }
        *line = Line{start, i, ++number_};
        pos_ += i + ending;
        return LineRead::kLine;
    }

    bool nextIsContinuation() const { return pos_ < length_ && bytes_[pos_] == ' '; }

private:
    char* bytes_;
    size_t length_;
    size_t pos_ = 0;
    uint32_t number_ = 0;
};

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// A line that starts a named section: "Name: " in any letter case of "name".
bool isSectionStart(const Line& line) {
    static const char kName[] = "name";
    if (line.length < 6 || line.start[4] != ':' || line.start[5] != ' ') return false;
    for (size_t i = 0; i < 4; ++i)
        if (lowerAscii(line.start[i]) != kName[i]) return false;
    return true;
}

// The header being read: its value grows, in place, by each continuation.
struct Header {
    ManifestAttribute attribute;
    char* value;
    bool tooLong;
};

void append(Header* header, const char* text, size_t length) {
    if (header->tooLong) return;
    if (length > kMaxManifestValue - header->attribute.valueLength) {
        header->tooLong = true;
        return;
    }
    // The joined value never reaches past the bytes already read.
    std::memmove(header->value + header->attribute.valueLength, text, length);
    header->attribute.valueLength += static_cast<uint32_t>(length);
}

// The header as the section keeps it: terminated where it ends, which is
// never past the line end just read, and unusable when too long or not UTF-8.
ManifestAttribute finish(Header* header) {
    ManifestAttribute a = header->attribute;
    a.value = nullptr;
    if (!header->tooLong) {
        header->value[a.valueLength] = '\0';
        if (isWellFormedUtf8(header->value, a.valueLength)) a.value = header->value;
    }
    if (!a.value) a.valueLength = 0;
    return a;
}

}  // namespace

bool isManifestName(const char* name, size_t length) {
    if (length == 0 || length > kMaxNameLength) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        bool allowed =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!allowed) return false;
    }
    return true;
}

// Reads one section's headers up to its empty line or the manifest's end;
// keep takes them (the main section's), else they are only checked. A header
// still continuing when the manifest ends is not read, as the JVM drops it.
typedef bool (*HeaderSink)(const ManifestAttribute& attribute, void* context);

static bool readSection(ManifestLines& lines, HeaderSink keep, void* context) {
    Header header = {};
    bool started = false;
    Line line;
    for (;;) {
        LineRead read = lines.next(&line);
        if (read == LineRead::kRefused) return false;
        if (read == LineRead::kEnd || line.length == 0) return true;
        if (line.start[0] == ' ') {
            if (!started) return false;
            append(&header, line.start + 1, line.length - 1);
        } else {
            const char* colon = static_cast<const char*>(std::memchr(line.start, ':', line.length));
            if (!colon) return false;
            size_t nameLength = static_cast<size_t>(colon - line.start);
            if (nameLength + 1 >= line.length || colon[1] != ' ') return false;
            size_t valueLength = line.length - nameLength - 2;
            header.value = line.start + nameLength + 2;
            header.tooLong = valueLength > kMaxManifestValue;
            header.attribute = ManifestAttribute{line.start, static_cast<uint32_t>(nameLength), nullptr,
                                                 header.tooLong ? 0u : static_cast<uint32_t>(valueLength), line.number};
            started = true;
        }
        if (lines.nextIsContinuation()) continue;
        // The JVM checks the name only once the header is complete.
        if (!isManifestName(header.attribute.name, header.attribute.nameLength)) return false;
        if (keep && !keep(finish(&header), context)) return false;
    }
}

Manifest::~Manifest() { clear(); }

void Manifest::clear() {
    if (attributes_ != inline_) coreFree(attributes_);
    attributes_ = inline_;
    count_ = 0;
    capacity_ = kInline;
}

bool Manifest::put(const ManifestAttribute& attribute) {
    for (size_t i = 0; i < count_; ++i) {
        ManifestAttribute& kept = attributes_[i];
        if (!sameName(kept.name, kept.nameLength, attribute.name, attribute.nameLength)) continue;
        kept.value = attribute.value;
        kept.valueLength = attribute.valueLength;
        kept.line = attribute.line;
        return true;
    }
    if (count_ == kMaxManifestAttributes) return false;
    if (count_ == capacity_) {
        size_t capacity = capacity_ * 2;
        void* grown = attributes_ == inline_ ? coreAlloc(capacity * sizeof(ManifestAttribute))
                                             : coreRealloc(attributes_, capacity * sizeof(ManifestAttribute));
        if (!grown) {
            noMemory_ = true;
            return false;
        }
        if (attributes_ == inline_) std::memcpy(grown, inline_, sizeof inline_);
        attributes_ = static_cast<ManifestAttribute*>(grown);
        capacity_ = capacity;
    }
    attributes_[count_++] = attribute;
    return true;
}

bool Manifest::read(char* bytes, size_t length) {
    clear();
    noMemory_ = false;
    if (!bytes && length != 0) return false;
    ManifestLines lines(bytes, length);
    HeaderSink keep = [](const ManifestAttribute& attribute, void* context) {
        return static_cast<Manifest*>(context)->put(attribute);
    };
    bool good = readSection(lines, keep, this);
    Line line;
    while (good) {
        LineRead read = lines.next(&line);
        if (read != LineRead::kLine) {
            good = read == LineRead::kEnd;
            break;
        }
        // Empty lines between sections are passed over.
        if (line.length == 0) continue;
        if (!isSectionStart(line)) {
            good = false;
            break;
        }
        // The section's name may continue; only its headers are checked.
        while (lines.nextIsContinuation() && (read = lines.next(&line)) == LineRead::kLine) {
        }
        if (read == LineRead::kRefused) good = false;
        if (read == LineRead::kEnd) break;
        if (good) good = readSection(lines, nullptr, nullptr);
    }
    if (!good) clear();
    return good;
}

const ManifestAttribute* Manifest::find(const char* name) const {
    if (!name) return nullptr;
    size_t length = std::strlen(name);
    for (size_t i = 0; i < count_; ++i)
        if (sameName(attributes_[i].name, attributes_[i].nameLength, name, length)) return &attributes_[i];
    return nullptr;
}

const char* Manifest::value(const char* name) const {
    const ManifestAttribute* attribute = find(name);
    return attribute ? attribute->value : nullptr;
}
