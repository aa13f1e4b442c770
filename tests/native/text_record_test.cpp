// The string-record stream that carries dropped names to the Java side: a
// big-endian 32-bit length, then that many bytes of UTF-8; a zero length ends
// the list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/TextConvert.h"

namespace {

// An unbuffered stream that keeps what it is given, up to a budget of bytes;
// a write beyond the budget takes what fits and then fails, as a full disk does.
class SinkStream {
public:
    explicit SinkStream(size_t budget = SIZE_MAX) : budget_(budget) {
        cookie_io_functions_t io = {};
        io.write = &SinkStream::write;
        file_ = fopencookie(this, "w", io);
        if (file_) setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~SinkStream() {
        if (file_) fclose(file_);
    }
    FILE* file() const { return file_; }
    std::string hex() const { return hexBytes(bytes_); }
    size_t size() const { return bytes_.size(); }

private:
    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<SinkStream*>(cookie);
        size_t room = self->budget_ - self->bytes_.size();
        if (room == 0) return 0;  // a cookie reports an error as 0 bytes taken
        size_t n = size < room ? size : room;
        self->bytes_.append(data, n);
        return static_cast<ssize_t>(n);
    }

    size_t budget_;
    std::string bytes_;
    FILE* file_ = nullptr;
};

TEST(WriteStringRecord, WritesLengthThenUtf8) {
    struct Case {
        const char* name;
        std::u16string text;
        long count;
        const char* hex;
        long result;
    };
    const Case cases[] = {
        {"ThreeLetters", u"abc", -1, "00 00 00 03 61 62 63", 7},
        {"CountTakesAPrefix", u"abcdef", 3, "00 00 00 03 61 62 63", 7},
        {"LengthCountsBytesNotUnits", u"\u00E9\xD83D\xDE00", -1, "00 00 00 06 C3 A9 F0 9F 98 80", 10},
        {"EmptyTextIsALengthOfZero", u"", -1, "00 00 00 00", 4},
        {"LoneSurrogateWritesNothing", u"a\xDC00", -1, "", -1},
        {"NegativeCountOtherThanWhole", u"abc", -2, "", -1},
    };
    for (const Case& c : cases) {
        SinkStream sink;
        ASSERT_NE(sink.file(), nullptr);
        EXPECT_EQ(writeStringRecord(sink.file(), c.text.c_str(), c.count), c.result) << c.name;
        EXPECT_EQ(sink.hex(), c.hex) << c.name;
    }
}

TEST(WriteStringRecord, LengthUsesAllFourBytesBigEndian) {
    // 0x10203 bytes: every length byte but the first is non-zero and distinct.
    std::u16string text(0x10203, u'x');
    SinkStream sink;
    EXPECT_EQ(writeStringRecord(sink.file(), text.c_str(), -1), 0x10203 + 4);
    EXPECT_EQ(sink.hex().substr(0, 11), "00 01 02 03");
    EXPECT_EQ(sink.size(), 0x10203u + 4);
}

TEST(WriteStringRecord, EveryShortWriteGivesMinusOne) {
    // The four single-byte writes, then the block: a failure at any byte.
    for (size_t budget = 0; budget < 7; ++budget) {
        SinkStream sink(budget);
        EXPECT_EQ(writeStringRecord(sink.file(), u"abc", -1), -1) << budget;
    }
    SinkStream exact(7);
    EXPECT_EQ(writeStringRecord(exact.file(), u"abc", -1), 7);
}

TEST(WriteStringRecord, RealFileHoldsTheRecord) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(tmpfile(), fclose);
    ASSERT_TRUE(file);
    ASSERT_EQ(writeStringRecord(file.get(), u"abc", -1), 7);
    ASSERT_EQ(writeStringListEnd(file.get()), 4);
    rewind(file.get());
    char bytes[16];
    size_t n = fread(bytes, 1, sizeof bytes, file.get());
    EXPECT_EQ(hexBytes(std::string(bytes, n)), "00 00 00 03 61 62 63 00 00 00 00");
}

TEST(WriteStringRecordList, OneRecordPerItemThenEnd) {
    SinkStream sink;
    const char16_t list[] = u"C:\\a.txt\0C:\\b.txt\0";
    long written = writeStringRecordList(sink.file(), list);
    EXPECT_EQ(written, 24);
    EXPECT_EQ(writeStringListEnd(sink.file()), 4);
    EXPECT_EQ(sink.size(), 28u);
    EXPECT_EQ(sink.hex(),
              "00 00 00 08 43 3A 5C 61 2E 74 78 74 "
              "00 00 00 08 43 3A 5C 62 2E 74 78 74 "
              "00 00 00 00");
}

TEST(WriteStringRecordList, EmptyOrNullListWritesNothing) {
    SinkStream sink;
    const char16_t empty[] = u"\0";
    EXPECT_EQ(writeStringRecordList(sink.file(), empty), -1);
    EXPECT_EQ(writeStringRecordList(sink.file(), nullptr), -1);
    EXPECT_EQ(sink.size(), 0u);
}

TEST(WriteStringRecordList, FailedItemKeepsEarlierRecords) {
    const char16_t badSecond[] = u"ab\0c\xD800\0d\0";
    SinkStream sink;
    EXPECT_EQ(writeStringRecordList(sink.file(), badSecond), -1);
    EXPECT_EQ(sink.hex(), "00 00 00 02 61 62");

    const char16_t list[] = u"ab\0cd\0";
    SinkStream full(8);
    EXPECT_EQ(writeStringRecordList(full.file(), list), -1);
    EXPECT_EQ(full.hex(), "00 00 00 02 61 62 00 00");
}

TEST(WriteStringListEnd, FailsOnAFullStream) {
    for (size_t budget = 0; budget < 4; ++budget) {
        SinkStream sink(budget);
        EXPECT_EQ(writeStringListEnd(sink.file()), -1) << budget;
    }
}

TEST(StringRecordAllocation, FailureWritesNoPartOfTheFailedRecord) {
    const char16_t list[] = u"ab\0cd\0";
    long run = 0;
    long tried = sweepAllocationFailures([&] {
        ++run;
        SinkStream sink;
        long written = writeStringRecordList(sink.file(), list);
        if (allocationCount() < run) return written == 12 && sink.size() == 12;
        // The second item's conversion failing leaves the first record whole.
        return written == -1 && (sink.size() == 0 || sink.hex() == "00 00 00 02 61 62");
    });
    EXPECT_EQ(tried, 2);
}

}  // namespace
