#pragma once
// Reads one named member of a zip archive (a jar) whole into memory.
//
// Contract the callers rely on:
//   status 1  - found and decompressed; data holds length bytes plus one NUL byte
//   status 0  - not read (no file, no zip, no such member, encrypted, unsupported
//               method, damaged, too large, out of memory); data null, length 0
//   status 2+ - the reader could not be set up at all; nothing allocated
// The caller releases a status 0/1 record with freeArchiveMember, never with free.
// Names are matched byte for byte and case-sensitively. Nothing is ever shown to
// the user and nothing is logged.
//
// What is read: stored and deflated members, zip64 archives, members written
// with data descriptors, archives with data in front of the zip (self-extracting
// stubs), archives with a comment, and archives with bytes after the zip
// where the JVM reads them. Anything inconsistent in the archive makes
// the member count as absent rather than yielding bytes that another zip reader
// would not agree on. When a name occurs twice, the first entry in the central
// directory wins.
#include <cstdint>

#include "base/Holder.h"
#include "base/WideChar.h"

struct MemberBuffer {
    uint32_t length;
    char* data;
};

// Status values of readArchiveMember; callers test "status >= kArchiveUnusable".
constexpr int kMemberAbsent = 0;
constexpr int kMemberRead = 1;
constexpr int kArchiveUnusable = 2;

// A member whose uncompressed size exceeds this counts as absent: a hostile jar
// must not make the shell allocate and inflate gigabytes for every icon it draws.
constexpr uint32_t kMaxMemberSize = 16u * 1024u * 1024u;

// Where the archive's bytes come from: a file, or memory for tests and fuzzing.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly length bytes at offset; false when that is not possible.
    virtual bool readAt(uint64_t offset, void* destination, uint32_t length) = 0;
    // The bytes at offset where the source holds them in memory already, so
    // that they need no copy; null otherwise (always, unless a source says so).
    virtual const uint8_t* view(uint64_t offset, uint32_t length) {
        (void)offset;
        (void)length;
        return nullptr;
    }
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, uint64_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* destination, uint32_t length) override;

private:
    const uint8_t* data_;
    uint64_t size_;
};

// An open file: reads are retried until the whole range has arrived, since the
// system may deliver fewer bytes than asked for. The platform supplies readSome.
class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(uint64_t size) : size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* destination, uint32_t length) override;

protected:
    void setSize(uint64_t size) { size_ = size; }
    // Bytes read at offset (at most length), 0 at the end of the file, -1 on error.
    virtual long readSome(uint64_t offset, void* destination, uint32_t length) = 0;

private:
    uint64_t size_;
};

// An archive file opened as the shell extension opens every jar: by its full
// path (UTF-16 on Windows, with the \\?\ form past MAX_PATH), shared for
// reading, writing and deleting so that the user can still rename or delete
// it, and only if it is a disk file (a pipe or a device has no size and may
// never end). isOpen() is false when any of that fails; the file is closed
// when the object goes.
class ArchiveFile : public FileByteSource {
public:
    explicit ArchiveFile(const PathChar* path);
    ~ArchiveFile() override;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    bool isOpen() const { return handle_ != kNoHandle; }

protected:
    long readSome(uint64_t offset, void* destination, uint32_t length) override;

private:
    static constexpr intptr_t kNoHandle = -1;
    intptr_t handle_ = kNoHandle;  // a HANDLE on Windows, a descriptor elsewhere
};

// Reads one member of the archive file at archivePath.
int readArchiveMember(const PathChar* archivePath, const char* memberName, MemberBuffer* out);
int readArchiveMemberFrom(ByteSource& source, const char* memberName, MemberBuffer* out);
void freeArchiveMember(MemberBuffer* buffer);

// What a central directory entry alone tells about whether its member can be
// read; a readable entry may still fail its data checks (headers that
// disagree, a wrong checksum, deflate data that does not end where it should).
enum EntryProblem {
    kEntryReadable,
    kEntryEncrypted,
    kEntryUnsupportedMethod,  // neither stored nor deflated
    kEntryTooLarge,           // more than kMaxMemberSize bytes uncompressed
    kEntrySizesImpossible,    // no data of the compressed size can give the stated size
};

// One entry of the central directory. The name is not terminated and lives
// only while the visitor runs.
struct DirectoryEntry {
    const char* name;
    uint32_t nameLength;
    uint16_t method;
    uint64_t size;  // uncompressed
    uint64_t compressedSize;
    EntryProblem problem;
};

// Called for each entry in directory order; returning false ends the walk.
typedef bool (*DirectoryVisitor)(const DirectoryEntry& entry, void* context);

enum DirectoryWalk {
    kWalkComplete,   // every entry visited, or the visitor ended the walk
    kWalkNoArchive,  // no end record that the reader accepts: no zip archive
    kWalkDamaged,    // an entry could not be read; the entries before it were visited
};

// Visits the central directory that readArchiveMemberFrom searches, found
// the same way, in bounded reads.
DirectoryWalk walkArchiveDirectory(ByteSource& source, DirectoryVisitor visit, void* context);

// ---- Several members of one archive -----------------------------------------
//
// What a jar says about itself comes from several members (the manifest, a
// pom, the module descriptor, translations). A session finds the end record
// once and walks the directory once, keeping the location of each entry that
// its chooser asks for; then it reads those members by their locations, with
// members that lie close together fetched by one read. Each member is checked
// as readArchiveMemberFrom checks it, and gives the same statuses.

// Where a member lies, as its central directory entry records it.
struct MemberLocation {
    uint64_t localOffset;  // as recorded
    uint64_t compressedSize;
    uint64_t size;  // uncompressed
    uint32_t crc;
    uint16_t flags;
    uint16_t method;
    uint16_t nameLength;
    uint16_t extraLength;  // of the central header: the local one is mostly as long
};

// Called with each entry's name in directory order (not terminated, valid only
// during the call): returns where to keep the entry's location, or null to
// pass the entry by. Only chosen entries cost more than a look at their name.
typedef MemberLocation* (*EntryChooser)(const char* name, uint32_t nameLength, void* context);

struct ArchiveSessionState;

class ArchiveSession {
public:
    explicit ArchiveSession(ByteSource& source) : source_(source) {}
    ~ArchiveSession();
    ArchiveSession(const ArchiveSession&) = delete;
    ArchiveSession& operator=(const ArchiveSession&) = delete;

    // Finds the end record; false when the source is no zip the reader
    // accepts, or memory ran out.
    bool open();
    // The one walk over the directory (after open). With endings given (at
    // most 16), only names whose last eight bytes are one of them reach the
    // chooser. kWalkDamaged leaves the locations kept before the damage in place.
    DirectoryWalk walk(EntryChooser choose, void* context, const char (*endings)[8] = nullptr, size_t endingCount = 0);
    // Brings the bytes of these members into memory, neighbours by one read;
    // what cannot be fetched is read directly later. Null entries are passed
    // by. The members from index `required` on are fetched only where they
    // join the read of a member before it, for free.
    void prefetch(const MemberLocation* const* locations, size_t count, size_t required = SIZE_MAX);
    // Reads the member at a kept location, whose name must be the entry's.
    // Statuses as readArchiveMemberFrom; release the record with freeArchiveMember.
    int read(const MemberLocation& location, const char* name, MemberBuffer* out);
    // Whether a read gave status 0 for want of memory rather than of the member.
    bool outOfMemory() const { return noMemory_; }

private:
    ByteSource& source_;
    ArchiveSessionState* state_ = nullptr;
    bool noMemory_ = false;
};

// Releases a caller's record on every path: MemberHolder member(&record).
struct MemberBufferTraits {
    using Type = MemberBuffer*;
    static Type invalid() { return nullptr; }
    static void close(Type buffer) { freeArchiveMember(buffer); }
};
using MemberHolder = Holder<MemberBufferTraits>;

// A member as every feature reads it: a missing member and an empty one mean
// the same, so present() holds only for at least one byte. The bytes are
// released when the object goes, on every path.
class MetadataMember {
public:
    MetadataMember(const PathChar* archivePath, const char* memberName);
    ~MetadataMember();
    MetadataMember(const MetadataMember&) = delete;
    MetadataMember& operator=(const MetadataMember&) = delete;

    bool present() const { return buffer_.data != nullptr && buffer_.length != 0; }
    const char* data() const { return buffer_.data; }
    uint32_t length() const { return buffer_.length; }

private:
    MemberBuffer buffer_ = {0, nullptr};
    bool owned_ = false;  // a reader that could not start allocated nothing
};

// Member names read by the shell extension.
#define MEMBER_ICON "shell-meta-inf/icons/icon.ico"
#define MEMBER_DESCRIPTION "shell-meta-inf/description"
#define MEMBER_VERSION "shell-meta-inf/version"
#define MEMBER_STARTOPTIONS "shell-meta-inf/startoptions"
