// One member of a zip archive, read whole over a ByteSource.
//
// The records read, all numbers little-endian, from the end of the file back:
//
//   end record      50 4B 05 06, disk u16, directory disk u16, entries on disk u16,
//                   entries u16, directory size u32, directory offset u32,
//                   comment length u16, comment            (within the last 64 KiB + 22 bytes)
//   zip64 locator   50 4B 06 07, zip64 end disk u32, zip64 end offset u64,
//                   disk count u32                         (right before the end record)
//   zip64 end       50 4B 06 06, record size u64 (bytes after this field), made by u16,
//                   needed u16, disk u32, directory disk u32, entries on disk u64,
//                   entries u64, directory size u64, directory offset u64, extensible data
//                                                          (right before the locator)
//   central header  50 4B 01 02, made by u16, needed u16, flags u16, method u16,
//                   time u16, date u16, crc u32, compressed u32, uncompressed u32,
//                   name length u16, extra length u16, comment length u16, disk u16,
//                   internal attributes u16, external attributes u32, local offset u32,
//                   name, extra, comment                   (the directory: one per member)
//   zip64 extra     id 0001, length u16, then uncompressed u64, compressed u64,
//                   local offset u64, disk u32 - each only when its fixed field is all ones
//   local header    50 4B 03 04, needed u16, flags u16, method u16, time u16, date u16,
//                   crc u32, compressed u32, uncompressed u32, name length u16,
//                   extra length u16, name, extra, data
//
// The end record is the one nearest to the file's end that the JVM would take:
// the bytes after it are its comment, or else its directory begins with a
// central header and its zip with a local header where its numbers say. Other
// bytes may follow it; a record in a comment that has no directory of its own
// is passed over. Once taken, the record is final: anything wrong in it or its
// directory leaves the archive unread, and no earlier record is tried.
//
// The central directory ends where the end record (or the zip64 end record)
// begins. Where it actually starts, minus the offset the end record states, is
// the length of whatever precedes the zip (a self-extracting stub); every
// recorded offset is taken relative to the directory, so such archives read
// like any other. Entry counts are never trusted: the directory is walked by
// its size.
#include <zlib.h>

#include <cstring>
#include <new>

#include "archive/ArchiveReader.h"
#include "base/ByteCursor.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;

constexpr uint32_t kEndSize = 22;
constexpr uint32_t kZip64LocatorSize = 20;
constexpr uint32_t kZip64EndSize = 56;
constexpr uint32_t kZip64EndFixedTail = 44;  // the record size field counts from after itself
constexpr uint32_t kCentralSize = 46;
constexpr uint32_t kLocalSize = 30;
constexpr uint32_t kMaxComment = 0xFFFF;
constexpr uint32_t kMaxNameLength = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 1u << 0;
constexpr uint16_t kFlagDataDescriptor = 1u << 3;
constexpr uint16_t kFlagStrongEncryption = 1u << 6;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kAllOnes32 = 0xFFFFFFFFu;
constexpr uint16_t kAllOnes16 = 0xFFFFu;

// Most jars have no comment: one small read at the end usually finds the end
// record, and for small jars the whole directory with it.
constexpr uint32_t kFirstTailRead = 4096;
// A session reads a file of at most this size whole, at once: the members it
// wants then come out of memory without another read.
constexpr uint32_t kWholeFileRead = 64 * 1024;
// Directory reads start small (the member is often near the front) and grow
// fourfold up to the largest read; a central header is never longer than the
// largest read, so every header fits in one.
constexpr uint32_t kFirstDirectoryRead = 16 * 1024;
constexpr uint32_t kLargestDirectoryRead = 1024 * 1024;
// Local headers of the names the shell asks for fit on the stack.
constexpr uint32_t kLocalHeaderOnStack = kLocalSize + 256;

// Deflate never needs much more input than output: stored blocks add five bytes
// per block, fixed codes at most one bit in eight. A member claiming more
// compressed bytes than this is damaged, and its claim must not become an
// allocation.
uint64_t largestDeflatedSize(uint64_t uncompressed) { return uncompressed + uncompressed / 8 + 1024; }

uint32_t le32(const uint8_t* p) {
    ByteCursor c(p, 4);
    return c.u32le();
}

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Bytes of the file held in memory: [start, start + length).
struct Window {
    const uint8_t* bytes = nullptr;
    uint64_t start = 0;
    uint32_t length = 0;

    bool holds(uint64_t offset, uint64_t count) const {
        return bytes && offset >= start && rangeInside(offset - start, count, length);
    }
    const uint8_t* at(uint64_t offset) const { return bytes + (offset - start); }
};

// Copies count bytes at offset out of the window when it holds them, else reads them.
bool fetch(ByteSource& source, const Window& window, uint64_t offset, void* destination, uint32_t count) {
    if (window.holds(offset, count)) {
        std::memcpy(destination, window.at(offset), count);
        return true;
    }
    return source.readAt(offset, destination, count);
}

struct Directory {
    uint64_t start;          // where the first central header actually is
    uint64_t size;
    uint64_t recordedStart;  // where the end record says it is
};

// What the end record states; its zip64 form overrides it.
struct EndRecord {
    uint32_t disk;
    uint32_t directoryDisk;
    uint64_t entriesOnDisk;
    uint64_t entries;
    uint64_t directorySize;
    uint64_t directoryOffset;
};

// A 16- or 32-bit field of the end record either is all ones, handing the
// value over to the zip64 end record, or holds that value.
bool agrees(uint64_t narrow, uint64_t allOnes, uint64_t wide) { return narrow == allOnes || narrow == wide; }

// What a candidate end record turned out to be. Only a record that is not one
// lets the search go on to the records further back: once the archive's end
// record is found, any fault in it leaves the whole archive unread, so that a
// second directory hidden in a comment is never taken instead of the first.
enum class EndCheck { kNotEndRecord, kRefused, kFound };

// The zip64 end record, found through the locator at locatorAt. It ends right
// at the locator. The locator's offset is short by the length of any data in
// front of the zip, so the record right before the locator is the second
// guess, and the directory offset must then be short by just as much. A
// locator that leads to no zip64 end record, or to one that contradicts the
// end record, is ignored as the JVM ignores it: a central entry's comment may
// end in bytes that look like a locator.
EndCheck readZip64End(ByteSource& source, const Window& window, uint64_t locatorAt, EndRecord* end,
                      uint64_t* recordAt) {
    uint8_t locator[kZip64LocatorSize];
    if (!fetch(source, window, locatorAt, locator, kZip64LocatorSize)) return EndCheck::kRefused;
    ByteCursor l(locator, kZip64LocatorSize);
    if (l.u32le() != kZip64LocatorSignature) return EndCheck::kNotEndRecord;
    uint32_t endDisk = l.u32le();
    uint64_t recordedAt = l.u64le();
    uint32_t disks = l.u32le();
    const uint64_t guesses[2] = {recordedAt, locatorAt - kZip64EndSize};
    for (uint64_t at : guesses) {
        if (at > locatorAt || locatorAt - at < kZip64EndSize || at < recordedAt) continue;
        uint8_t record[kZip64EndSize];
        if (!fetch(source, window, at, record, kZip64EndSize)) return EndCheck::kRefused;
        ByteCursor c(record, kZip64EndSize);
        if (c.u32le() != kZip64EndSignature) continue;
        uint64_t recordSize = c.u64le();
        c.skip(4);
        EndRecord wide;
        wide.disk = c.u32le();
        wide.directoryDisk = c.u32le();
        wide.entriesOnDisk = c.u64le();
        wide.entries = c.u64le();
        wide.directorySize = c.u64le();
        wide.directoryOffset = c.u64le();
        if (!agrees(end->disk, kAllOnes16, wide.disk) || !agrees(end->directoryDisk, kAllOnes16, wide.directoryDisk) ||
            !agrees(end->entriesOnDisk, kAllOnes16, wide.entriesOnDisk) ||
            !agrees(end->entries, kAllOnes16, wide.entries) ||
            !agrees(end->directorySize, kAllOnes32, wide.directorySize) ||
            !agrees(end->directoryOffset, kAllOnes32, wide.directoryOffset))
            return EndCheck::kNotEndRecord;
        if (endDisk != 0 || disks > 1 || recordSize < kZip64EndFixedTail || recordSize != locatorAt - at - 12)
            return EndCheck::kRefused;
        // Data in front of the zip shifts both offsets alike.
        if (wide.directorySize > at) return EndCheck::kRefused;
        uint64_t directoryStart = at - wide.directorySize;
        if (wide.directoryOffset > directoryStart || directoryStart - wide.directoryOffset != at - recordedAt)
            return EndCheck::kRefused;
        *end = wide;
        *recordAt = at;
        return EndCheck::kFound;
    }
    return EndCheck::kNotEndRecord;
}

bool signatureAt(ByteSource& source, const Window& window, uint64_t offset, uint32_t signature) {
    uint8_t bytes[4];
    return fetch(source, window, offset, bytes, 4) && le32(bytes) == signature;
}

// An end record followed by other bytes than its comment (appended by a
// download tool, a signing step or a launcher) counts when its directory
// begins with a central header and the zip with a local header where its own
// numbers put them, the test that the JVM makes before it runs such a jar.
bool zipWhereEndRecordSays(ByteSource& source, const Window& window, uint64_t at, const EndRecord& end) {
    if (end.directorySize > at || end.directoryOffset > at - end.directorySize) return false;
    uint64_t directoryStart = at - end.directorySize;
    return signatureAt(source, window, directoryStart, kCentralSignature) &&
           signatureAt(source, window, directoryStart - end.directoryOffset, kLocalSignature);
}

// Checks the end record at offset `at`: this is the first disk, the directory
// ends where the end records begin, no offset points past where things
// actually are, and the first central header is where it puts the directory.
EndCheck readEndRecord(ByteSource& source, const Window& window, uint64_t fileSize, uint64_t at,
                       Directory* directory) {
    ByteCursor c(window.at(at), kEndSize);
    c.skip(4);
    EndRecord end;
    end.disk = c.u16le();
    end.directoryDisk = c.u16le();
    end.entriesOnDisk = c.u16le();
    end.entries = c.u16le();
    end.directorySize = c.u32le();
    end.directoryOffset = c.u32le();
    uint64_t commentEnd = at + kEndSize + c.u16le();
    const bool endsTheFile = commentEnd == fileSize;
    if (!endsTheFile && !zipWhereEndRecordSays(source, window, at, end)) return EndCheck::kNotEndRecord;
    // A comment that runs past the file's end cannot be read: the JVM gives up there.
    if (commentEnd > fileSize) return EndCheck::kRefused;

    uint64_t directoryEnd = at;
    if (at >= kZip64LocatorSize) {
        EndCheck zip64 = readZip64End(source, window, at - kZip64LocatorSize, &end, &directoryEnd);
        if (zip64 == EndCheck::kRefused) return zip64;
    }
    // A zip split over several disks is refused; the disk that the directory
    // starts on says nothing more once this one is the only one.
    if (end.disk != 0) return EndCheck::kRefused;
    // From here on the record is the archive's own: one that ends the file is
    // final, as the JVM takes it, and one followed by other bytes has shown
    // its zip where it says. A directory that is not where it says leaves the
    // archive unread; an older end record in front of it (of a jar stored
    // inside, or left in a comment) is never taken instead.
    if (end.directorySize > directoryEnd) return EndCheck::kRefused;
    directory->size = end.directorySize;
    directory->start = directoryEnd - end.directorySize;
    directory->recordedStart = end.directoryOffset;
    // Bytes can be put in front of a zip, never taken away.
    if (directory->recordedStart > directory->start) return EndCheck::kRefused;
    if (directory->size == 0) return EndCheck::kFound;
    return signatureAt(source, window, directory->start, kCentralSignature) ? EndCheck::kFound : EndCheck::kRefused;
}

// Searches the window, which ends at the file's end, backwards for the end
// record nearest to the end, from the candidates that start below `below`.
EndCheck searchEndRecord(ByteSource& source, const Window& window, uint64_t fileSize, uint64_t below,
                         Directory* directory) {
    if (window.length < kEndSize) return EndCheck::kNotEndRecord;
    uint64_t first = window.length - kEndSize + 1;
    if (below - window.start < first) first = below - window.start;
    for (uint64_t i = first; i-- > 0;) {
        const uint8_t* p = window.bytes + i;
        if (p[0] != 0x50 || le32(p) != kEndSignature) continue;
        EndCheck found = readEndRecord(source, window, fileSize, window.start + i, directory);
        if (found != EndCheck::kNotEndRecord) return found;
    }
    return EndCheck::kNotEndRecord;
}

// The central directory, brought into memory in growing reads as the walk
// goes on (or served from the tail read when it already holds it all).
class DirectoryReader {
public:
    DirectoryReader(ByteSource& source, const Directory& directory, const Window& tail)
        : source_(source), directory_(directory) {
        if (tail.holds(directory.start, directory.size)) window_ = tail;
    }

    // The count bytes at pos (counted from the directory's start); null when
    // they pass the directory's end or cannot be read.
    const uint8_t* at(uint64_t pos, uint32_t count) {
        if (!rangeInside(pos, count, directory_.size)) return nullptr;
        uint64_t offset = directory_.start + pos;
        if (window_.holds(offset, count)) return window_.at(offset);
        uint64_t left = directory_.size - pos;
        uint32_t want = count > nextRead_ ? count : nextRead_;
        if (want > left) want = static_cast<uint32_t>(left);
        window_ = Window();
        if (want > capacity_) {
            buffer_.reset(static_cast<uint8_t*>(coreAlloc(want)));
            capacity_ = buffer_ ? want : 0;
            if (!buffer_) return nullptr;
        }
        if (!source_.readAt(offset, buffer_.get(), want)) return nullptr;
        window_.bytes = buffer_.get();
        window_.start = offset;
        window_.length = want;
        if (nextRead_ < kLargestDirectoryRead) nextRead_ *= 4;
        return window_.at(offset);
    }
    // How many bytes of the directory from pos on are in memory now.
    uint64_t heldFrom(uint64_t pos) const {
        uint64_t offset = directory_.start + pos;
        if (pos >= directory_.size || !window_.holds(offset, 1)) return 0;
        uint64_t held = window_.start + window_.length - offset;
        return held < directory_.size - pos ? held : directory_.size - pos;
    }

private:
    ByteSource& source_;
    const Directory& directory_;
    Window window_;
    CorePtr<uint8_t> buffer_;
    uint32_t capacity_ = 0;
    uint32_t nextRead_ = kFirstDirectoryRead;
};

struct Entry {
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint64_t compressedSize;
    uint64_t size;
    uint64_t localOffset;  // as recorded
};

// Fills the fields that the central header saturated from its zip64 extra field.
bool applyZip64Extra(const uint8_t* extra, uint16_t extraLength, Entry* entry, bool needSize, bool needCompressed,
                     bool needOffset) {
    ByteCursor c(extra, extraLength);
    while (c.remaining() >= 4) {
        uint16_t id = c.u16le();
        uint16_t length = c.u16le();
        const uint8_t* data = c.bytes(length);
        if (!data) return false;
        if (id != kZip64ExtraId) continue;
        ByteCursor z(data, length);
        if (needSize) entry->size = z.u64le();
        if (needCompressed) entry->compressedSize = z.u64le();
        if (needOffset) entry->localOffset = z.u64le();
        return z.ok();
    }
    return false;
}

bool parseCentralHeader(const uint8_t* header, uint32_t headerLength, Entry* entry) {
    ByteCursor c(header, headerLength);
    c.skip(8);
    entry->flags = c.u16le();
    entry->method = c.u16le();
    c.skip(4);
    entry->crc = c.u32le();
    uint32_t compressed = c.u32le();
    uint32_t size = c.u32le();
    uint16_t nameLength = c.u16le();
    uint16_t extraLength = c.u16le();
    c.skip(10);
    uint32_t localOffset = c.u32le();
    c.skip(nameLength);
    const uint8_t* extra = c.bytes(extraLength);
    if (!c.ok()) return false;
    entry->compressedSize = compressed;
    entry->size = size;
    entry->localOffset = localOffset;
    bool needSize = size == kAllOnes32;
    bool needCompressed = compressed == kAllOnes32;
    bool needOffset = localOffset == kAllOnes32;
    if (!needSize && !needCompressed && !needOffset) return true;
    return applyZip64Extra(extra, extraLength, entry, needSize, needCompressed, needOffset);
}

// Steps through the central headers in directory order. A step costs a
// bounds check and the three length fields; the whole header is read only
// when asked for.
class CentralHeaders {
public:
    CentralHeaders(ByteSource& source, const Directory& directory, const Window& tail)
        : reader_(source, directory, tail), size_(directory.size) {}

    // Moves to the next header: false at the directory's end, or when the
    // header there is damaged (damaged() then tells).
    bool next() {
        pos_ += length_;
        length_ = 0;
        if (pos_ >= size_) return false;
        const uint8_t* fixed = reader_.at(pos_, kCentralSize);
        if (!fixed) return fail();
        ByteCursor c(fixed, kCentralSize);
        if (c.u32le() != kCentralSignature) return fail();
        c.seek(28);
        nameLength_ = c.u16le();
        uint16_t extraLength = c.u16le();
        uint16_t commentLength = c.u16le();
        length_ = kCentralSize + nameLength_ + extraLength + commentLength;
        return true;
    }
    uint16_t nameLength() const { return nameLength_; }
    uint32_t length() const { return length_; }
    // The whole current header: fixed part, name, extra field and comment.
    const uint8_t* header() {
        const uint8_t* whole = reader_.at(pos_, length_);
        if (!whole) fail();
        return whole;
    }
    bool damaged() const { return damaged_; }

private:
    bool fail() {
        damaged_ = true;
        return false;
    }

    DirectoryReader reader_;
    uint64_t size_;
    uint64_t pos_ = 0;
    uint32_t length_ = 0;
    uint16_t nameLength_ = 0;
    bool damaged_ = false;
};

// Walks the directory to the first entry named exactly name. Each entry costs
// a bounds check, a length compare and, when the lengths agree, a memcmp.
bool findEntry(ByteSource& source, const Directory& directory, const Window& tail, const char* name,
               uint32_t nameLength, Entry* entry) {
    CentralHeaders headers(source, directory, tail);
    while (headers.next()) {
        if (headers.nameLength() != nameLength) continue;
        const uint8_t* header = headers.header();
        if (!header) return false;
        if (std::memcmp(header + kCentralSize, name, nameLength) == 0)
            return parseCentralHeader(header, headers.length(), entry);
    }
    return false;
}

EntryProblem entryProblem(const Entry& entry) {
    if ((entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0) return kEntryEncrypted;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) return kEntryUnsupportedMethod;
    if (entry.size > kMaxMemberSize) return kEntryTooLarge;
    if (entry.method == kMethodStored && entry.compressedSize != entry.size) return kEntrySizesImpossible;
    if (entry.method == kMethodDeflated && entry.compressedSize > largestDeflatedSize(entry.size))
        return kEntrySizesImpossible;
    return kEntryReadable;
}

// A member left unread for want of memory counts as absent too; the flag
// tells the two apart for callers that must not take one for the other.
int lackOfMemory(bool* noMemory) {
    *noMemory = true;
    return kMemberAbsent;
}

// Where the member's data starts, after checking its local header against the
// central one: signature, name byte for byte, method, no encryption, and the
// CRC and sizes unless a data descriptor follows the data.
bool locateData(ByteSource& source, const Directory& directory, const Entry& entry, const char* name,
                uint32_t nameLength, uint64_t* dataStart, bool* noMemory) {
    if (entry.localOffset > directory.recordedStart) return false;
    uint64_t below = directory.recordedStart - entry.localOffset;
    if (below > directory.start) return false;
    uint64_t local = directory.start - below;
    uint32_t headerLength = kLocalSize + nameLength;
    if (!rangeInside(local, headerLength, directory.start)) return false;

    uint8_t onStack[kLocalHeaderOnStack];
    CorePtr<uint8_t> onHeap;
    uint8_t* header = onStack;
    if (headerLength > sizeof onStack) {
        onHeap.reset(static_cast<uint8_t*>(coreAlloc(headerLength)));
        if (!onHeap) {
            *noMemory = true;
            return false;
        }
        header = onHeap.get();
    }
    if (!source.readAt(local, header, headerLength)) return false;
    ByteCursor c(header, headerLength);
    uint32_t signature = c.u32le();
    c.skip(2);
    uint16_t flags = c.u16le();
    uint16_t method = c.u16le();
    c.skip(4);
    uint32_t crc = c.u32le();
    uint32_t compressed = c.u32le();
    uint32_t size = c.u32le();
    uint16_t localNameLength = c.u16le();
    uint16_t extraLength = c.u16le();
    const uint8_t* localName = c.bytes(nameLength);
    if (!c.ok() || signature != kLocalSignature || localNameLength != nameLength ||
        std::memcmp(localName, name, nameLength) != 0 || method != entry.method ||
        (flags & (kFlagEncrypted | kFlagStrongEncryption)) != 0)
        return false;
    if ((flags & kFlagDataDescriptor) == 0) {
        // All ones defers a size to the local zip64 extra field; the central
        // directory's value is the one used either way.
        if (crc != entry.crc || (compressed != kAllOnes32 && compressed != entry.compressedSize) ||
            (size != kAllOnes32 && size != entry.size))
            return false;
    }
    uint64_t start = local + headerLength + extraLength;
    if (!rangeInside(start, entry.compressedSize, directory.start)) return false;
    *dataStart = start;
    return true;
}

voidpf allocateForZlib(voidpf, uInt items, uInt size) {
    if (size != 0 && items > static_cast<size_t>(-1) / size) return Z_NULL;
    return coreAlloc(static_cast<size_t>(items) * size);
}

void freeForZlib(voidpf, voidpf block) { coreFree(block); }

struct InflateTraits {
    using Type = z_stream*;
    static Type invalid() { return nullptr; }
    static void close(Type stream) { inflateEnd(stream); }
};
using InflateHolder = Holder<InflateTraits>;

// Reads and checks the member's data into out. Returns a status; *noMemory
// tells a member left unread for want of memory from one that is not there.
int extractEntry(ByteSource& source, const Directory& directory, const Entry& entry, const char* name,
                 uint32_t nameLength, MemberBuffer* out, bool* noMemory) {
    if (entryProblem(entry) != kEntryReadable) return kMemberAbsent;
    uint64_t dataStart = 0;
    if (!locateData(source, directory, entry, name, nameLength, &dataStart, noMemory)) return kMemberAbsent;

    const uint32_t size = static_cast<uint32_t>(entry.size);
    const uint32_t compressedSize = static_cast<uint32_t>(entry.compressedSize);
    z_stream stream;
    InflateHolder inflating;
    if (entry.method == kMethodDeflated) {
        std::memset(&stream, 0, sizeof stream);
        stream.zalloc = allocateForZlib;
        stream.zfree = freeForZlib;
        int status = inflateInit2(&stream, -MAX_WBITS);
        if (status == Z_MEM_ERROR) return lackOfMemory(noMemory);
        if (status != Z_OK) return kArchiveUnusable;
        inflating.reset(&stream);
    }

    CorePtr<char> data(static_cast<char*>(coreAlloc(size_t(size) + 1)));
    if (!data) return lackOfMemory(noMemory);
    if (entry.method == kMethodStored) {
        if (!source.readAt(dataStart, data.get(), size)) return kMemberAbsent;
    } else {
        // Bytes already in memory are inflated where they are.
        const uint8_t* input = source.view(dataStart, compressedSize);
        CorePtr<uint8_t> compressed;
        if (!input) {
            compressed.reset(static_cast<uint8_t*>(coreAlloc(compressedSize)));
            if (!compressed) return lackOfMemory(noMemory);
            if (!source.readAt(dataStart, compressed.get(), compressedSize)) return kMemberAbsent;
            input = compressed.get();
        }
        stream.next_in = const_cast<Bytef*>(input);
        stream.avail_in = compressedSize;
        stream.next_out = reinterpret_cast<Bytef*>(data.get());
        stream.avail_out = size;
        // One call into the final buffer: the stream must end exactly where the
        // directory says the member does, within its compressed bytes.
        int inflated = inflate(&stream, Z_FINISH);
        if (inflated == Z_MEM_ERROR) *noMemory = true;
        if (inflated != Z_STREAM_END || stream.total_out != size) return kMemberAbsent;
    }
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(data.get()), size);
    if (crc != entry.crc) return kMemberAbsent;
    data.get()[size] = '\0';
    out->length = size;
    out->data = data.release();
    return kMemberRead;
}

DirectoryWalk walkEntries(ByteSource& source, const Directory& directory, const Window& tail, DirectoryVisitor visit,
                          void* context) {
    CentralHeaders headers(source, directory, tail);
    while (headers.next()) {
        const uint8_t* header = headers.header();
        Entry entry;
        if (!header || !parseCentralHeader(header, headers.length(), &entry)) return kWalkDamaged;
        DirectoryEntry seen = {reinterpret_cast<const char*>(header + kCentralSize), headers.nameLength(),
                               entry.method, entry.size, entry.compressedSize, entryProblem(entry)};
        if (!visit(seen, context)) return kWalkComplete;
    }
    return headers.damaged() ? kWalkDamaged : kWalkComplete;
}

// The bytes at the file's end that the end record was found in: the
// directory walk takes what it can from them instead of reading again.
struct ArchiveTail {
    uint8_t first[kFirstTailRead];
    CorePtr<uint8_t> wide;
    Window window;
};

// Finds the end record and with it the central directory.
bool locateDirectory(ByteSource& source, ArchiveTail* tail, Directory* directory, bool wholeSmallFile) {
    const uint64_t fileSize = source.size();
    if (fileSize < kEndSize) return false;
    Window& window = tail->window;
    if (wholeSmallFile && fileSize > kFirstTailRead && fileSize <= kWholeFileRead) {
        // The whole file holds every place an end record may stand.
        tail->wide.reset(static_cast<uint8_t*>(coreAlloc(static_cast<size_t>(fileSize))));
        if (!tail->wide) return false;
        window.bytes = tail->wide.get();
        window.length = static_cast<uint32_t>(fileSize);
        window.start = 0;
        if (!source.readAt(0, tail->wide.get(), window.length)) return false;
        return searchEndRecord(source, window, fileSize, fileSize, directory) == EndCheck::kFound;
    }
    window.bytes = tail->first;
    window.length = fileSize < kFirstTailRead ? static_cast<uint32_t>(fileSize) : kFirstTailRead;
    window.start = fileSize - window.length;
    if (!source.readAt(window.start, tail->first, window.length)) return false;

    EndCheck found = searchEndRecord(source, window, fileSize, fileSize, directory);
    if (found == EndCheck::kNotEndRecord) {
        // A comment or bytes after the zip push the end record back by up to 64 KiB.
        const uint32_t widest = kEndSize + kMaxComment;
        uint32_t length = fileSize < widest ? static_cast<uint32_t>(fileSize) : widest;
        if (length <= window.length) return false;
        tail->wide.reset(static_cast<uint8_t*>(coreAlloc(length)));
        if (!tail->wide) return false;
        const uint64_t searched = window.start;
        window.bytes = tail->wide.get();
        window.length = length;
        window.start = fileSize - length;
        if (!source.readAt(window.start, tail->wide.get(), length)) return false;
        found = searchEndRecord(source, window, fileSize, searched, directory);
    }
    return found == EndCheck::kFound;
}

int readMember(ByteSource& source, const char* name, uint32_t nameLength, MemberBuffer* out) {
    ArchiveTail tail;
    Directory directory;
    if (!locateDirectory(source, &tail, &directory, false)) return kMemberAbsent;
    Entry entry;
    if (!findEntry(source, directory, tail.window, name, nameLength, &entry)) return kMemberAbsent;
    tail.wide.reset();
    bool noMemory = false;
    return extractEntry(source, directory, entry, name, nameLength, out, &noMemory);
}

// ---- Sessions: one walk, several members ------------------------------------

// Neighbouring members are fetched by one read when less than this lies
// between them: copying that many bytes costs about what one more system
// call does.
constexpr uint32_t kPrefetchGap = 8 * 1024;
// Nothing larger is fetched ahead; such a member is read on its own.
constexpr uint32_t kLargestPrefetch = 1024 * 1024;
// A local header's extra field may be a little longer than the central one
// (extended timestamps): fetching this much more keeps the data in the span.
constexpr uint32_t kLocalExtraSlack = 64;
constexpr size_t kMaxPrefetchSpans = 32;
constexpr size_t kMaxEndings = 16;
constexpr size_t kMaxWindows = 8;

// The file's bytes through what is already in memory: the tail read and the
// prefetched spans serve every read that they hold, the file the others.
class CachedSource : public ByteSource {
public:
    explicit CachedSource(ByteSource& source) : source_(source) {}
    ~CachedSource() override {
        for (size_t i = 0; i < count_; ++i)
            if (owned_[i]) coreFree(const_cast<uint8_t*>(windows_[i].bytes));
    }
    CachedSource(const CachedSource&) = delete;
    CachedSource& operator=(const CachedSource&) = delete;

    uint64_t size() const override { return source_.size(); }
    bool readAt(uint64_t offset, void* destination, uint32_t length) override {
        for (size_t i = 0; i < count_; ++i) {
            if (windows_[i].holds(offset, length)) {
                if (length != 0) std::memcpy(destination, windows_[i].at(offset), length);
                return true;
            }
        }
        return source_.readAt(offset, destination, length);
    }
    const uint8_t* view(uint64_t offset, uint32_t length) override {
        for (size_t i = 0; i < count_; ++i)
            if (windows_[i].holds(offset, length)) return windows_[i].at(offset);
        return nullptr;
    }
    bool holds(uint64_t offset, uint64_t length) const {
        for (size_t i = 0; i < count_; ++i)
            if (windows_[i].holds(offset, length)) return true;
        return false;
    }
    bool full() const { return count_ == kMaxWindows; }
    // Takes a window; an owned one is released with the source.
    void add(const Window& window, bool owned) {
        windows_[count_] = window;
        owned_[count_++] = owned;
    }
    // Reads [start, start + length) into a window of its own.
    void fetch(uint64_t start, uint32_t length) {
        if (full()) return;
        CorePtr<uint8_t> bytes(static_cast<uint8_t*>(coreAlloc(length)));
        if (!bytes || !source_.readAt(start, bytes.get(), length)) return;
        Window window;
        window.bytes = bytes.release();
        window.start = start;
        window.length = length;
        add(window, true);
    }

private:
    ByteSource& source_;
    Window windows_[kMaxWindows];
    bool owned_[kMaxWindows] = {};
    size_t count_ = 0;
};

// Where a member's local header lies in the file, or false when its offset
// points past the directory or before the file.
bool localHeaderAt(const Directory& directory, uint64_t localOffset, uint64_t* at) {
    if (localOffset > directory.recordedStart) return false;
    uint64_t below = directory.recordedStart - localOffset;
    if (below > directory.start) return false;
    *at = directory.start - below;
    return true;
}

struct Span {
    uint64_t start;
    uint64_t end;
    bool required;
};

}  // namespace

struct ArchiveSessionState {
    explicit ArchiveSessionState(ByteSource& source) : cached(source) {}
    ArchiveTail tail;
    Directory directory;
    CachedSource cached;
};

ArchiveSession::~ArchiveSession() {
    if (!state_) return;
    state_->~ArchiveSessionState();
    coreFree(state_);
}

bool ArchiveSession::open() {
    if (state_) return true;
    void* block = coreAlloc(sizeof(ArchiveSessionState));
    if (!block) return false;
    ArchiveSessionState* state = new (block) ArchiveSessionState(source_);
    if (!locateDirectory(source_, &state->tail, &state->directory, true)) {
        state->~ArchiveSessionState();
        coreFree(state);
        return false;
    }
    state->cached.add(state->tail.window, false);
    state_ = state;
    return true;
}

// The walk steps through the headers in memory by itself: a name costs its
// last eight bytes compared with the endings, and only names that end so are
// shown to the chooser.
DirectoryWalk ArchiveSession::walk(EntryChooser choose, void* context, const char (*endings)[8], size_t endingCount) {
    if (!state_ || !choose) return kWalkNoArchive;
    uint64_t wanted[kMaxEndings];
    if (endingCount > kMaxEndings) endingCount = 0;
    // A name's ending is first looked up in a 64-bit set of the endings'
    // hashes: most names (class files) are passed by after one multiply.
    auto hashOf = [](uint64_t ending) { return (ending * 0x9E3779B97F4A7C15ull) >> 58; };
    uint64_t hashes = 0;
    for (size_t i = 0; i < endingCount; ++i) {
        std::memcpy(&wanted[i], endings[i], 8);
        hashes |= 1ull << hashOf(wanted[i]);
    }
    const Directory& directory = state_->directory;
    DirectoryReader reader(source_, directory, state_->tail.window);
    const uint8_t* p = nullptr;
    uint64_t held = 0;  // bytes in memory at p
    for (uint64_t pos = 0; pos < directory.size;) {
        if (held < kCentralSize) {
            if (!(p = reader.at(pos, kCentralSize))) return kWalkDamaged;
            held = reader.heldFrom(pos);
        }
        if (le32(p) != kCentralSignature) return kWalkDamaged;
        const uint32_t nameLength = le16(p + 28);
        const uint32_t length = kCentralSize + nameLength + le16(p + 30) + le16(p + 32);
        if (held < kCentralSize + nameLength) {
            if (!(p = reader.at(pos, kCentralSize + nameLength))) return kWalkDamaged;
            held = reader.heldFrom(pos);
        }
        const char* name = reinterpret_cast<const char*>(p + kCentralSize);
        bool shown = endingCount == 0;
        if (!shown && nameLength >= 8) {
            uint64_t ending;
            std::memcpy(&ending, name + nameLength - 8, 8);
            if (hashes & (1ull << hashOf(ending)))
                for (size_t i = 0; i < endingCount && !shown; ++i) shown = ending == wanted[i];
        }
        if (MemberLocation* slot = shown ? choose(name, nameLength, context) : nullptr) {
            const uint8_t* whole = held >= length ? p : reader.at(pos, length);
            Entry entry;
            if (!whole || !parseCentralHeader(whole, length, &entry)) return kWalkDamaged;
            *slot = MemberLocation{entry.localOffset, entry.compressedSize, entry.size,      entry.crc,
                                   entry.flags,       entry.method,         static_cast<uint16_t>(nameLength),
                                   le16(whole + 30)};
            if (whole != p) {
                p = whole;
                held = reader.heldFrom(pos);
            }
        }
        pos += length;
        if (held > length) {
            p += length;
            held -= length;
        } else {
            held = 0;
        }
    }
    return kWalkComplete;
}

void ArchiveSession::prefetch(const MemberLocation* const* locations, size_t count, size_t required) {
    if (!state_ || !locations) return;
    Span spans[kMaxPrefetchSpans];
    size_t n = 0;
    const uint64_t directoryStart = state_->directory.start;
    for (size_t i = 0; i < count && n < kMaxPrefetchSpans; ++i) {
        const MemberLocation* location = locations[i];
        uint64_t start = 0;
        if (!location || location->compressedSize > kLargestPrefetch ||
            !localHeaderAt(state_->directory, location->localOffset, &start))
            continue;
        uint64_t end = start + kLocalSize + location->nameLength + location->extraLength + kLocalExtraSlack +
                       location->compressedSize;
        if (end > directoryStart) end = directoryStart;
        if (end <= start || state_->cached.holds(start, end - start)) continue;
        // Kept in ascending order of start; there are only a few.
        size_t at = n++;
        for (; at > 0 && spans[at - 1].start > start; --at) spans[at] = spans[at - 1];
        spans[at] = Span{start, end, i < required};
    }
    // Runs of neighbours become one read; a run of optional members alone is
    // not read at all.
    for (size_t i = 0; i < n;) {
        Span merged = spans[i++];
        while (i < n && spans[i].start <= merged.end + kPrefetchGap &&
               (spans[i].end > merged.end ? spans[i].end : merged.end) - merged.start <= kLargestPrefetch) {
            if (spans[i].end > merged.end) merged.end = spans[i].end;
            merged.required = merged.required || spans[i].required;
            ++i;
        }
        if (merged.required) state_->cached.fetch(merged.start, static_cast<uint32_t>(merged.end - merged.start));
    }
}

int ArchiveSession::read(const MemberLocation& location, const char* name, MemberBuffer* out) {
    if (!out) return kArchiveUnusable;
    out->length = 0;
    out->data = nullptr;
    if (!state_ || !name) return kArchiveUnusable;
    size_t nameLength = std::strlen(name);
    if (nameLength != location.nameLength) return kMemberAbsent;
    Entry entry = {location.flags, location.method, location.crc, location.compressedSize, location.size,
                   location.localOffset};
    return extractEntry(state_->cached, state_->directory, entry, name, location.nameLength, out, &noMemory_);
}

bool MemorySource::readAt(uint64_t offset, void* destination, uint32_t length) {
    if (!rangeInside(offset, length, size_)) return false;
    if (length != 0) std::memcpy(destination, data_ + offset, length);
    return true;
}

bool FileByteSource::readAt(uint64_t offset, void* destination, uint32_t length) {
    if (!rangeInside(offset, length, size_)) return false;
    char* to = static_cast<char*>(destination);
    while (length > 0) {
        // At most 1 GiB a call, so that a count always fits a 32-bit long.
        uint32_t ask = length < (1u << 30) ? length : (1u << 30);
        long got = readSome(offset, to, ask);
        // The file shrank under us, or the medium failed.
        if (got <= 0 || static_cast<unsigned long>(got) > ask) return false;
        to += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<uint32_t>(got);
    }
    return true;
}

int readArchiveMember(const PathChar* archivePath, const char* memberName, MemberBuffer* out) {
    if (out) *out = MemberBuffer{0, nullptr};
    if (!archivePath || !memberName || !out) return kArchiveUnusable;
    ArchiveFile file(archivePath);
    if (!file.isOpen()) return kMemberAbsent;
    return readArchiveMemberFrom(file, memberName, out);
}

int readArchiveMemberFrom(ByteSource& source, const char* memberName, MemberBuffer* out) {
    if (!out) return kArchiveUnusable;
    out->length = 0;
    out->data = nullptr;
    if (!memberName) return kArchiveUnusable;
    size_t nameLength = std::strlen(memberName);
    if (nameLength > kMaxNameLength) return kMemberAbsent;
    return readMember(source, memberName, static_cast<uint32_t>(nameLength), out);
}

DirectoryWalk walkArchiveDirectory(ByteSource& source, DirectoryVisitor visit, void* context) {
    ArchiveTail tail;
    Directory directory;
    if (!visit || !locateDirectory(source, &tail, &directory, false)) return kWalkNoArchive;
    return walkEntries(source, directory, tail.window, visit, context);
}

void freeArchiveMember(MemberBuffer* buffer) {
    if (!buffer) return;
    coreFree(buffer->data);
    buffer->data = nullptr;
    buffer->length = 0;
}
