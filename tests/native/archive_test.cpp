// The zip reader over archives built in memory by a small writer below, each
// test named after the defect it catches; plus the contract of the record and
// the reader's behaviour when memory runs out.
#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "archive/ArchiveReader.h"

namespace {

// ---- A small zip writer ----------------------------------------------------

struct Member {
    std::string name;
    std::string data;
    uint16_t method = 8;
    uint16_t flags = 0;  // bit 3: zeros in the local header and a descriptor after the data
    bool zip64 = false;  // sizes and offset only in zip64 extra fields
    std::string rawData = std::string("\x01", 1);  // written instead of compressing data, unless "\x01"
};

struct ZipOptions {
    std::string prefix;                 // data in front of the zip
    bool offsetsFromFileStart = false;  // as zip -A leaves them; else counted from the zip's start
    bool zip64End = false;              // a zip64 end record and locator
    std::string comment;
};

// Where the writer put each record, for tests that damage one field.
struct Layout {
    std::vector<size_t> local, central, data;
    size_t end = 0, zip64End = 0, locator = 0;
};

void put(std::string& s, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) s[at + i] = static_cast<char>(value >> (8 * i));
}
void append(std::string& s, uint64_t value, int width) {
    s.append(width, '\0');
    put(s, s.size() - width, value, width);
}
uint64_t get(const std::string& s, size_t at, int width) {
    uint64_t v = 0;
    for (int i = width; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

std::string deflateRaw(const std::string& data) {
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

uint32_t crcOf(const std::string& data) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string makeZip(const std::vector<Member>& members, const ZipOptions& options = {}, Layout* layout = nullptr) {
    Layout where;
    std::string z = options.prefix;
    const uint64_t base = options.offsetsFromFileStart ? 0 : options.prefix.size();
    std::string directory;
    for (const Member& m : members) {
        std::string payload = m.rawData != std::string("\x01", 1) ? m.rawData
                              : m.method == 8                       ? deflateRaw(m.data)
                                                                    : m.data;
        uint32_t crc = crcOf(m.data);
        bool descriptor = (m.flags & 8) != 0;
        uint64_t offset = z.size() - base;
        where.local.push_back(z.size());
        append(z, 0x04034b50, 4);
        append(z, m.zip64 ? 45 : 20, 2);
        append(z, m.flags, 2);
        append(z, m.method, 2);
        append(z, 0, 4);
        append(z, descriptor ? 0 : crc, 4);
        append(z, m.zip64 ? 0xFFFFFFFF : descriptor ? 0 : payload.size(), 4);
        append(z, m.zip64 ? 0xFFFFFFFF : descriptor ? 0 : m.data.size(), 4);
        append(z, m.name.size(), 2);
        append(z, m.zip64 ? 20 : 0, 2);
        z += m.name;
        if (m.zip64) {
            append(z, 1, 2);
            append(z, 16, 2);
            append(z, descriptor ? 0 : m.data.size(), 8);
            append(z, descriptor ? 0 : payload.size(), 8);
        }
        where.data.push_back(z.size());
        z += payload;
        if (descriptor) {
            append(z, 0x08074b50, 4);
            append(z, crc, 4);
            append(z, payload.size(), m.zip64 ? 8 : 4);
            append(z, m.data.size(), m.zip64 ? 8 : 4);
        }
        where.central.push_back(directory.size());
        append(directory, 0x02014b50, 4);
        append(directory, m.zip64 ? 45 : 20, 2);
        append(directory, m.zip64 ? 45 : 20, 2);
        append(directory, m.flags, 2);
        append(directory, m.method, 2);
        append(directory, 0, 4);
        append(directory, crc, 4);
        append(directory, m.zip64 ? 0xFFFFFFFF : payload.size(), 4);
        append(directory, m.zip64 ? 0xFFFFFFFF : m.data.size(), 4);
        append(directory, m.name.size(), 2);
        append(directory, m.zip64 ? 28 : 0, 2);
        append(directory, 0, 2);
        append(directory, 0, 2);
        append(directory, 0, 2);
        append(directory, 0, 4);
        append(directory, m.zip64 ? 0xFFFFFFFF : offset, 4);
        directory += m.name;
        if (m.zip64) {
            append(directory, 1, 2);
            append(directory, 24, 2);
            append(directory, m.data.size(), 8);
            append(directory, payload.size(), 8);
            append(directory, offset, 8);
        }
    }
    const uint64_t directoryOffset = z.size() - base;
    for (size_t& c : where.central) c += z.size();
    z += directory;
    if (options.zip64End) {
        where.zip64End = z.size();
        append(z, 0x06064b50, 4);
        append(z, 44, 8);
        append(z, 45, 2);
        append(z, 45, 2);
        append(z, 0, 4);
        append(z, 0, 4);
        append(z, members.size(), 8);
        append(z, members.size(), 8);
        append(z, directory.size(), 8);
        append(z, directoryOffset, 8);
        where.locator = z.size();
        append(z, 0x07064b50, 4);
        append(z, 0, 4);
        append(z, where.zip64End - base, 8);
        append(z, 1, 4);
    }
    where.end = z.size();
    append(z, 0x06054b50, 4);
    append(z, 0, 2);
    append(z, 0, 2);
    append(z, options.zip64End ? 0xFFFF : members.size(), 2);
    append(z, options.zip64End ? 0xFFFF : members.size(), 2);
    append(z, options.zip64End ? 0xFFFFFFFF : directory.size(), 4);
    append(z, options.zip64End ? 0xFFFFFFFF : directoryOffset, 4);
    append(z, options.comment.size(), 2);
    z += options.comment;
    if (layout) *layout = where;
    return z;
}

// ---- Reading -----------------------------------------------------------------

struct Read {
    int status;
    std::string bytes;
};

Read readFrom(const std::string& zip, const char* name) {
    MemorySource source(zip.data(), zip.size());
    MemberBuffer buffer = {99, reinterpret_cast<char*>(&source)};
    Read r;
    r.status = readArchiveMemberFrom(source, name, &buffer);
    if (r.status == 1) {
        EXPECT_NE(buffer.data, nullptr);
        if (buffer.data) {
            EXPECT_EQ(buffer.data[buffer.length], '\0') << "no NUL byte after the data";
            r.bytes.assign(buffer.data, buffer.length);
        }
    } else {
        EXPECT_EQ(buffer.data, nullptr);
        EXPECT_EQ(buffer.length, 0u);
    }
    freeArchiveMember(&buffer);
    return r;
}

const char* const kName = "shell-meta-inf/description";
const std::string kText = "default=A jar that describes itself\nde=Ein Jar\n";

std::vector<Member> sample(uint16_t method = 8) {
    Member first{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n", method};
    Member wanted{kName, kText, method};
    Member last{"shell-meta-inf/version", "FileVersion=1.0\n", method};
    return {first, wanted, last};
}

// ---- Archives the reader must read -------------------------------------------

TEST(ArchiveReader, ReadsWhatWritersProduce) {
    struct Case {
        const char* what;
        std::function<std::string()> make;
    };
    auto with = [](std::function<void(std::vector<Member>&, ZipOptions&)> change) {
        return [change] {
            std::vector<Member> members = sample();
            ZipOptions options;
            change(members, options);
            return makeZip(members, options);
        };
    };
    const Case cases[] = {
        {"deflated", with([](auto&, auto&) {})},
        {"stored", [] { return makeZip(sample(0)); }},
        {"data descriptors", with([](auto& m, auto&) { for (auto& e : m) e.flags |= 8; })},
        {"zip64 extra fields", with([](auto& m, auto&) { for (auto& e : m) e.zip64 = true; })},
        {"zip64 descriptors", with([](auto& m, auto&) { for (auto& e : m) e.zip64 = true, e.flags |= 8; })},
        {"zip64 end record", with([](auto&, auto& o) { o.zip64End = true; })},
        {"comment", with([](auto&, auto& o) { o.comment = "release build"; })},
        {"longest comment", with([](auto&, auto& o) { o.comment.assign(65535, 'c'); })},
        {"stub, offsets from the zip's start", with([](auto&, auto& o) { o.prefix.assign(5000, 'M'); })},
        {"stub, offsets from the file's start",
         with([](auto&, auto& o) { o.prefix.assign(5000, 'M'), o.offsetsFromFileStart = true; })},
        {"stub and zip64 end record, offsets from the zip's start",
         with([](auto&, auto& o) { o.prefix.assign(70000, 'M'), o.zip64End = true; })},
        {"stub and zip64 end record, offsets from the file's start",
         with([](auto&, auto& o) { o.prefix.assign(300, 'M'), o.zip64End = o.offsetsFromFileStart = true; })},
        {"TrailerAfterEndRecord", [] { return makeZip(sample()) + "trailing bytes"; }},
        {"TrailerAfterStubbedZip",
         [] { return makeZip(sample(), {std::string(300, 'M'), false, false, ""}) + "trailing bytes"; }},
        // The end record's signature inside the comment is not taken for it.
        {"SignatureInsideComment",
         with([](auto&, auto& o) { o.comment = std::string("PK\x05\x06", 4) + std::string(30, '\0'); })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Read r = readFrom(c.make(), kName);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.bytes, kText);
        EXPECT_EQ(readFrom(c.make(), "shell-meta-inf/version").bytes, "FileVersion=1.0\n");
    }
}

TEST(ArchiveReader, MemberContents) {
    std::string binary("\0\0a\0b\0", 6);
    std::string large(kMaxMemberSize, 'x');
    large[12345] = 'y';
    std::vector<Member> members = {{"empty-stored", "", 0},    {"empty-deflated", "", 8}, {"nul-bytes", binary, 8},
                                   {"at-the-limit", large, 8}, {"Name", "capital", 0},   {"name", "small", 0}};
    std::string zip = makeZip(members);
    for (const Member& m : members) {
        SCOPED_TRACE(m.name);
        Read r = readFrom(zip, m.name.c_str());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.bytes == m.data);
    }
    // Names match byte for byte: letter case, prefixes and longer names differ.
    for (const char* absent : {"NAME", "nam", "name/", "empty", "", "nul-bytes\x01"}) EXPECT_EQ(readFrom(zip, absent).status, 0) << absent;
}

TEST(ArchiveReader, FirstOfDuplicateNamesWins) {
    std::vector<Member> members = {{kName, "first", 8}, {kName, "second", 8}};
    EXPECT_EQ(readFrom(makeZip(members), kName).bytes, "first");
    // A damaged first entry is not passed over for the second.
    Layout at;
    std::string zip = makeZip(members, {}, &at);
    put(zip, at.central[0] + 16, 0xBAD, 4);
    put(zip, at.local[0] + 14, 0xBAD, 4);
    EXPECT_EQ(readFrom(zip, kName).status, 0);
}

// The walk reads the directory in growing pieces; entries that straddle two
// pieces, and the longest possible central header, must not lose it.
TEST(ArchiveReader, LargeDirectory) {
    std::vector<Member> members;
    for (int i = 0; i < 30000; ++i)
        members.push_back({"classes/" + std::string(i % 37, 'p') + "/C" + std::to_string(i) + ".class", "", 0});
    members.push_back({std::string(65535, 'L'), "longest name", 0});
    members.push_back({kName, kText, 8});
    std::string zip = makeZip(members);
    EXPECT_EQ(readFrom(zip, kName).bytes, kText);
    EXPECT_EQ(readFrom(zip, std::string(65535, 'L').c_str()).bytes, "longest name");
    for (int i : {0, 1, 250, 1000, 4567, 12345, 29999})
        EXPECT_EQ(readFrom(zip, members[i].name.c_str()).status, 1) << members[i].name;
    EXPECT_EQ(readFrom(zip, "classes/missing").status, 0);
}

// ---- Damaged and hostile archives: the member counts as absent ---------------

TEST(ArchiveReader, DefectsMakeTheMemberAbsent) {
    struct Case {
        const char* defect;
        std::function<void(std::string&, const Layout&)> damage;
        std::vector<Member> members = sample();
        ZipOptions options = {};
        const char* member = kName;
    };
    auto end = [](std::string& z, const Layout& at, size_t field, uint64_t value, int width) {
        put(z, at.end + field, value, width);
    };
    const size_t wanted = 1;  // the index of kName in sample()
    std::vector<Member> encrypted = sample(), strong = sample(), bzip2 = sample(), lzma = sample(), odd = sample();
    encrypted[wanted].flags = 1;
    strong[wanted].flags = 1 << 6;
    bzip2[wanted].method = 12;
    lzma[wanted].method = 14;
    odd[wanted].method = 99;
    // Deflated data under another method's number: only the method refuses it.
    for (auto* m : {&bzip2, &lzma, &odd}) (*m)[wanted].rawData = deflateRaw((*m)[wanted].data);
    std::vector<Member> overCap = sample(0);
    overCap[wanted].data.assign(kMaxMemberSize + 1, 'x');
    std::vector<Member> zip64Members = sample();
    for (auto& m : zip64Members) m.zip64 = true;
    ZipOptions zip64End;
    zip64End.zip64End = true;
    ZipOptions stub;
    stub.prefix.assign(1000, 'M');
    stub.zip64End = true;
    // A whole end record that ends the file is the archive's, also when it
    // hides in the comment of the real one and has no directory where it says.
    ZipOptions fakeEnd;
    fakeEnd.comment.assign("PK\x05\x06", 4);
    fakeEnd.comment.append(8, '\0');
    fakeEnd.comment += std::string("\x0a\0\0\0\0\0\0\0\0\0", 10);  // directory size 10 at offset 0, no comment

    const std::vector<Case> cases = {
        // Bytes after the zip count only where a local header begins the zip
        // that the end record describes, which these offsets put at the stub.
        {"TrailerAfterStubWithFileOffsets", [](std::string& z, const Layout&) { z += "trailing bytes"; }, sample(),
         {std::string(300, 'M'), true, false, ""}},
        {"CommentRunsPastEnd", [&](std::string& z, const Layout& at) { end(z, at, 20, 5, 2); }},
        {"EndRecordOnSecondDisk", [&](std::string& z, const Layout& at) { end(z, at, 4, 1, 2); }},
        {"DirectorySizeWrong", [&](std::string& z, const Layout& at) { end(z, at, 12, get(z, at.end + 12, 4) - 1, 4); }},
        {"DirectoryOffsetPastItsPlace",
         [&](std::string& z, const Layout& at) { end(z, at, 16, get(z, at.end + 16, 4) + 1, 4); }},
        {"BytesMissingInFront", [](std::string& z, const Layout& at) { z.erase(0, at.local[wanted]); }},
        {"NoCentralHeaderAtDirectory", [](std::string& z, const Layout& at) { put(z, at.central[0], 0x02014b51, 4); }},
        {"CentralHeaderRunsPastDirectory",
         [](std::string& z, const Layout& at) { put(z, at.central[0] + 32, 60000, 2); }},
        {"LocalSignatureWrong", [](std::string& z, const Layout& at) { put(z, at.local[wanted], 0x04034b51, 4); }},
        {"LocalNameDiffers", [](std::string& z, const Layout& at) { z[at.local[wanted] + 30] = 'S'; }},
        {"LocalNameLengthDiffers", [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 26, 25, 2); }},
        {"LocalMethodDiffers", [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 8, 0, 2); }},
        {"LocalCrcDiffers", [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 14, 1, 4); }},
        {"LocalCompressedSizeDiffers",
         [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 18, get(z, at.local[wanted] + 18, 4) + 1, 4); }},
        {"LocalSizeDiffers",
         [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 22, get(z, at.local[wanted] + 22, 4) + 1, 4); }},
        {"LocalEncryptedFlag", [](std::string& z, const Layout& at) { put(z, at.local[wanted] + 6, 1, 2); }},
        {"LocalOffsetPastDirectory",
         [](std::string& z, const Layout& at) { put(z, at.central[wanted] + 42, at.central[0] + 1, 4); }},
        {"LocalHeaderRunsIntoDirectory",
         [](std::string& z, const Layout& at) { put(z, at.central[wanted] + 42, at.central[0] - 40, 4); }},
        {"DataRunsIntoDirectory",
         [](std::string& z, const Layout& at) {
             // The last member's data ends where the directory starts; one byte more overlaps it.
             uint64_t size = at.central[0] - at.data[2] + 1;
             put(z, at.central[2] + 20, size, 4);
             put(z, at.local[2] + 18, size, 4);
         },
         sample(), {}, "shell-meta-inf/version"},
        {"CrcMismatch",
         [](std::string& z, const Layout& at) {
             put(z, at.central[wanted] + 16, get(z, at.central[wanted] + 16, 4) ^ 1, 4);
             put(z, at.local[wanted] + 14, get(z, at.local[wanted] + 14, 4) ^ 1, 4);
         }},
        {"InflateEndsEarly",
         [](std::string& z, const Layout& at) {
             put(z, at.central[wanted] + 24, kText.size() + 1, 4);
             put(z, at.local[wanted] + 22, kText.size() + 1, 4);
         }},
        {"InflateRunsLong",
         [](std::string& z, const Layout& at) {
             put(z, at.central[wanted] + 24, kText.size() - 1, 4);
             put(z, at.local[wanted] + 22, kText.size() - 1, 4);
         }},
        {"CompressedDataCutShort",
         [](std::string& z, const Layout& at) {
             uint64_t size = get(z, at.central[wanted] + 20, 4) - 1;
             put(z, at.central[wanted] + 20, size, 4);
             put(z, at.local[wanted] + 18, size, 4);
         }},
        {"DeflateDataDamaged", [](std::string& z, const Layout& at) { z[at.data[wanted]] ^= 0x06; }},
        {"StoredSizesDisagree",
         [](std::string& z, const Layout& at) {
             put(z, at.central[wanted] + 24, kText.size() - 1, 4);
             put(z, at.local[wanted] + 22, kText.size() - 1, 4);
         },
         sample(0)},
        {"EncryptedFlag", nullptr, encrypted},
        {"StrongEncryptionFlag", nullptr, strong},
        {"UnknownMethod bzip2", nullptr, bzip2},
        {"UnknownMethod lzma", nullptr, lzma},
        {"UnknownMethod 99", nullptr, odd},
        {"SizeOverCap", nullptr, overCap},
        {"Zip64ExtraMissing", [](std::string& z, const Layout& at) { put(z, at.central[wanted] + 46 + strlen(kName), 9, 2); },
         zip64Members},
        {"Zip64ExtraTooShort",
         [](std::string& z, const Layout& at) { put(z, at.central[wanted] + 46 + strlen(kName) + 2, 16, 2); },
         zip64Members},
        {"Zip64EndDisagreesWithEndRecord", [&](std::string& z, const Layout& at) { end(z, at, 12, 100, 4); }, sample(),
         zip64End},
        {"Zip64EndNotBeforeLocator", [](std::string& z, const Layout& at) { put(z, at.zip64End + 4, 52, 8); }, sample(),
         zip64End},
        {"Zip64EndSignatureWrong", [](std::string& z, const Layout& at) { put(z, at.zip64End, 0x06064b51, 4); },
         sample(), zip64End},
        {"Zip64OnSecondDisk", [](std::string& z, const Layout& at) { put(z, at.locator + 16, 2, 4); }, sample(),
         zip64End},
        {"StubShiftsRecordsUnequally",
         [](std::string& z, const Layout& at) { put(z, at.locator + 8, at.zip64End - 1000 + 8, 8); }, sample(), stub},
        {"EndRecordThatEndsTheFileHasNoDirectory", nullptr, sample(), fakeEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.defect);
        Layout at;
        std::string zip = makeZip(c.members, c.options, &at);
        if (c.damage) {
            // The undamaged archive reads, so it is the damage that is caught.
            ASSERT_EQ(readFrom(zip, c.member).status, 1);
            c.damage(zip, at);
        }
        EXPECT_EQ(readFrom(zip, c.member).status, 0);
    }
}

// A declared size is a claim to check, never an allocation request: a member
// over the limit, or one claiming more compressed bytes than deflate could
// need, is refused before anything is allocated.
TEST(ArchiveReader, SizeClaimsAllocateNothing) {
    std::vector<Member> members = sample();
    members[1].zip64 = true;
    members[2].data.assign(100000, 'v');  // stored bytes that a false compressed size can take in
    members[2].method = 0;
    Layout at;
    std::string zip = makeZip(members, {}, &at);
    const size_t extra = at.central[1] + 46 + strlen(kName) + 4;
    const uint64_t deflated = at.local[2] - at.data[1];
    struct Claim {
        const char* what;
        uint64_t size, compressed;
    } claims[] = {{"SizeOverCap", uint64_t(kMaxMemberSize) + 1, deflated},
                  {"SizeNearFourGiB", 0xFFFFFFF0u, deflated},
                  {"SizeNearSixteenEiB", ~uint64_t(0), deflated},
                  {"CompressedBeyondFile", kText.size(), 1u << 30},
                  // Inside the file and below the directory, so only the
                  // bound on what deflate can need refuses it.
                  {"CompressedOverDeflateBound", kText.size(), at.central[0] - at.data[1]}};
    for (const Claim& c : claims) {
        SCOPED_TRACE(c.what);
        std::string damaged = zip;
        put(damaged, extra, c.size, 8);
        put(damaged, extra + 8, c.compressed, 8);
        armAllocationFailure(0);
        EXPECT_EQ(readFrom(damaged, kName).status, 0);
        EXPECT_EQ(allocationCount(), 0);
    }
}

TEST(ArchiveReader, NotZipArchives) {
    std::string endOnly("PK\x05\x06", 4);
    endOnly.append(18, '\0');
    for (const std::string& bytes : {std::string(), std::string("PK"), std::string(21, '\0'), endOnly,
                                     std::string(100000, 'z'), makeZip({})}) {
        EXPECT_EQ(readFrom(bytes, kName).status, 0) << bytes.size();
    }
}

// ---- The walk over the directory ---------------------------------------------

struct Seen {
    std::string name;
    EntryProblem problem;
    uint64_t size;
    bool operator==(const Seen& o) const { return name == o.name && problem == o.problem && size == o.size; }
};

DirectoryWalk walk(const std::string& zip, std::vector<Seen>* seen, size_t stopAfter = SIZE_MAX) {
    struct Context {
        std::vector<Seen>* seen;
        size_t stopAfter;
    } context = {seen, stopAfter};
    MemorySource source(zip.data(), zip.size());
    return walkArchiveDirectory(
        source,
        [](const DirectoryEntry& e, void* c) {
            auto* context = static_cast<Context*>(c);
            context->seen->push_back({std::string(e.name, e.nameLength), e.problem, e.size});
            return context->seen->size() < context->stopAfter;
        },
        &context);
}

// Every entry, duplicates included, in directory order, with what its
// directory entry alone says about reading it.
TEST(ArchiveWalk, VisitsEveryEntryAndTellsWhyOneCannotBeRead) {
    std::vector<Member> members = sample();
    members.push_back({kName, "again", 8});
    members.push_back({"locked", "secret", 8, 1});
    Member bzip2{"bzip2", "data", 12};
    bzip2.rawData = "BZh9";
    Member big{"big", std::string(kMaxMemberSize + 1, 'a'), 8};
    big.rawData = "x";
    Member stored{"stored", "12345", 0};
    stored.rawData = "123";
    members.insert(members.end(), {bzip2, big, stored});
    std::string zip = makeZip(members);
    std::vector<Seen> seen;
    EXPECT_EQ(walk(zip, &seen), kWalkComplete);
    const std::vector<Seen> expected = {
        {"META-INF/MANIFEST.MF", kEntryReadable, 22}, {kName, kEntryReadable, kText.size()},
        {"shell-meta-inf/version", kEntryReadable, 16}, {kName, kEntryReadable, 5},
        {"locked", kEntryEncrypted, 6},          {"bzip2", kEntryUnsupportedMethod, 4},
        {"big", kEntryTooLarge, kMaxMemberSize + 1}, {"stored", kEntrySizesImpossible, 5},
    };
    EXPECT_EQ(seen, expected);

    seen.clear();
    EXPECT_EQ(walk(zip, &seen, 2), kWalkComplete) << "a visitor may end the walk";
    EXPECT_EQ(seen.size(), 2u);
}

TEST(ArchiveWalk, NoArchiveAndDamagedDirectory) {
    std::vector<Seen> seen;
    EXPECT_EQ(walk(std::string(5000, 'z'), &seen), kWalkNoArchive);
    EXPECT_EQ(walk(makeZip({}), &seen), kWalkComplete);
    EXPECT_TRUE(seen.empty());
    Layout at;
    std::string zip = makeZip(sample(), {}, &at);
    put(zip, at.central[2], 0x12345678, 4);
    EXPECT_EQ(walk(zip, &seen), kWalkDamaged);
    EXPECT_EQ(seen.size(), 2u) << "the entries before the damage are visited";
}

// ---- The record's contract ---------------------------------------------------

TEST(ArchiveReader, NullArgumentsCannotBeSetUp) {
    std::string zip = makeZip(sample());
    MemorySource source(zip.data(), zip.size());
    MemberBuffer buffer = {5, reinterpret_cast<char*>(&source)};
    EXPECT_GE(readArchiveMemberFrom(source, nullptr, &buffer), 2);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.length, 0u);
    EXPECT_GE(readArchiveMemberFrom(source, kName, nullptr), 2);
    buffer = {5, reinterpret_cast<char*>(&source)};
    EXPECT_GE(readArchiveMember(nullptr, kName, &buffer), 2);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_GE(readArchiveMember("/tmp", nullptr, &buffer), 2);
    EXPECT_GE(readArchiveMember("/tmp", kName, nullptr), 2);
}

TEST(ArchiveReader, FreeTwiceAndHolder) {
    std::string zip = makeZip(sample());
    MemorySource source(zip.data(), zip.size());
    MemberBuffer buffer;
    ASSERT_EQ(readArchiveMemberFrom(source, kName, &buffer), 1);
    freeArchiveMember(&buffer);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.length, 0u);
    freeArchiveMember(&buffer);
    EXPECT_EQ(buffer.data, nullptr);
    freeArchiveMember(nullptr);
    {
        MemberBuffer held;
        ASSERT_EQ(readArchiveMemberFrom(source, kName, &held), 1);
        MemberHolder holder(&held);
    }  // LeakSanitizer reports the buffer if the holder did not free it
}

TEST(ArchiveReader, FilesOnDisk) {
    MemberBuffer buffer;
    EXPECT_EQ(readArchiveMember("/nonexistent/dir/app.jar", kName, &buffer), 0);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(readArchiveMember("/", kName, &buffer), 0);  // a folder
    EXPECT_EQ(readArchiveMember("/dev/null", kName, &buffer), 0);
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/archive_test_XXXXXX";
    int fd = mkstemp(&path[0]);
    ASSERT_GE(fd, 0);
    // A fifo that no process writes to: refused at once, instead of waiting for a writer.
    std::string fifo = path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readArchiveMember(fifo.c_str(), kName, &buffer), 0);
    unlink(fifo.c_str());
    std::string zip = makeZip(sample(), {std::string(3000, 'M'), false, true, "comment"});
    ASSERT_EQ(write(fd, zip.data(), zip.size()), static_cast<ssize_t>(zip.size()));
    close(fd);
    ASSERT_EQ(readArchiveMember(path.c_str(), kName, &buffer), 1);
    EXPECT_EQ(std::string(buffer.data, buffer.length), kText);
    freeArchiveMember(&buffer);
    unlink(path.c_str());
}

// Every allocation of a read, made to fail in turn: status 0 with nothing
// left behind (LeakSanitizer checks the rest), or the member itself.
TEST(ArchiveReader, AllocationFailureSweep) {
    std::vector<Member> members;
    for (int i = 0; i < 3000; ++i) members.push_back({"classes/C" + std::to_string(i) + ".class", "", 0});
    members.push_back({std::string(300, 'n'), kText, 8});  // a local header too long for the stack
    members.push_back({kName, kText, 8});
    ZipOptions commented;
    commented.comment.assign(5000, 'c');  // the end record is not in the first read
    for (const ZipOptions& options : {ZipOptions(), commented}) {
        std::string zip = makeZip(members, options);
        MemorySource source(zip.data(), zip.size());
        for (const std::string& name : {std::string(kName), std::string(300, 'n')}) {
            long points = sweepAllocationFailures([&] {
                MemberBuffer buffer;
                int status = readArchiveMemberFrom(source, name.c_str(), &buffer);
                bool good = (status == 0 && !buffer.data && buffer.length == 0) ||
                            (status == 1 && std::string(buffer.data, buffer.length) == kText);
                freeArchiveMember(&buffer);
                return good;
            });
            EXPECT_GE(points, 4) << name.size();  // directory, inflate state, output, compressed data
        }
    }
}

}  // namespace
