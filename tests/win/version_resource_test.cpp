// The resources compiled into Morvane.dll. Dialog template 1043: an extended
// template (DLGTEMPLATEEX) with exactly the styles, controls, identifiers,
// texts, positions and font of the page's layout. The version block: the
// project's version (the file VERSION, in MORVANE_VERSION) and the entries
// that installers and the shell read.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "win/WinTestSupport.h"

namespace {

// Reads the template's little-endian fields in order, failing for good at
// the first read past its end.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    size_t size() const { return size_; }

    template <typename T>
    T read() {
        T value{};
        if (!ok_ || sizeof(T) > size_ - pos_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    std::wstring readString() {
        std::wstring s;
        for (WCHAR c; ok_ && (c = read<WCHAR>()) != 0;) s += c;
        return s;
    }
    // sz_Or_Ord: 0 for nothing, 0xFFFF and a number, or a string.
    std::wstring readNameOrOrdinal(WORD* ordinal) {
        *ordinal = 0;
        WORD first = read<WORD>();
        if (first == 0) return L"";
        if (first == 0xFFFF) {
            *ordinal = read<WORD>();
            return L"";
        }
        pos_ -= sizeof(WORD);
        return readString();
    }
    void alignTo4() { pos_ = (pos_ + 3) & ~size_t(3); }
    void skip(size_t n) {
        if (n > size_ - pos_) ok_ = false;
        else pos_ += n;
    }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct Control {
    WORD classAtom;
    DWORD id;
    std::wstring text;
    short x, y, cx, cy;
    DWORD style;
};

bool operator==(const Control& a, const Control& b) {
    return a.classAtom == b.classAtom && a.id == b.id && a.text == b.text && a.x == b.x && a.y == b.y &&
           a.cx == b.cx && a.cy == b.cy && a.style == b.style;
}

void PrintTo(const Control& c, std::ostream* os) {
    *os << "{class 0x" << std::hex << c.classAtom << std::dec << ", id " << c.id << ", \"" << narrow(c.text)
        << "\", " << c.x << "," << c.y << " " << c.cx << "x" << c.cy << ", style 0x" << std::hex << c.style << "}";
}

constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83;
constexpr DWORD kNoId = 0xFFFFFFFF;

const Control kExpected[] = {
    {kStatic, kNoId, L"File version:", 7, 10, 44, 8, 0x50020000},
    {kEdit, 13139, L"", 59, 10, 150, 12, 0x50010880},
    {kStatic, kNoId, L"Description:", 7, 29, 46, 8, 0x50020000},
    {kEdit, 13140, L"", 59, 29, 150, 12, 0x50010880},
    {kStatic, kNoId, L"Copyright:", 7, 48, 40, 8, 0x50020000},
    {kEdit, 13141, L"", 59, 48, 150, 12, 0x50010880},
    {kButton, kNoId, L"Other version information", 7, 70, 212, 122, 0x50000007},
    {kStatic, kNoId, L"Item name:", 16, 84, 51, 8, 0x50020000},
    {kStatic, kNoId, L"Value:", 106, 84, 92, 8, 0x50020000},
    {kListBox, 13137, L"", 16, 94, 84, 89, 0x50910101},
    {kEdit, 13138, L"", 105, 94, 106, 89, 0x50A10804},
};

TEST(VersionPageResource, TemplateIsExactlyAsLaidOut) {
    HMODULE module = dll().module();
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1043), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr) << "no dialog 1043 in Morvane.dll";
    HGLOBAL loaded = LoadResource(module, found);
    ASSERT_NE(loaded, nullptr);
    TemplateReader r(static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(module, found));

    EXPECT_EQ(r.read<WORD>(), 1) << "dlgVer";
    EXPECT_EQ(r.read<WORD>(), 0xFFFF) << "signature of an extended template";
    EXPECT_EQ(r.read<DWORD>(), 0u) << "helpID";
    EXPECT_EQ(r.read<DWORD>(), 0u) << "exStyle";
    // WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS | DS_NOIDLEMSG
    EXPECT_EQ(r.read<DWORD>(), 0x80C001C8u) << "style";
    WORD count = r.read<WORD>();
    EXPECT_EQ(count, 11);
    EXPECT_EQ(r.read<short>(), 0);
    EXPECT_EQ(r.read<short>(), 0);
    EXPECT_EQ(r.read<short>(), 227);
    EXPECT_EQ(r.read<short>(), 200);
    WORD ordinal;
    EXPECT_EQ(r.readNameOrOrdinal(&ordinal), L"") << "no menu";
    EXPECT_EQ(ordinal, 0);
    EXPECT_EQ(r.readNameOrOrdinal(&ordinal), L"") << "the standard dialog class";
    EXPECT_EQ(ordinal, 0);
    EXPECT_EQ(r.readString(), L"Version");
    EXPECT_EQ(r.read<WORD>(), 8) << "points";
    EXPECT_EQ(r.read<WORD>(), 0) << "weight";
    EXPECT_EQ(r.read<BYTE>(), 0) << "italic";
    EXPECT_EQ(r.read<BYTE>(), 1) << "character set";
    EXPECT_EQ(r.readString(), L"MS Shell Dlg");
    ASSERT_TRUE(r.ok());

    std::vector<Control> controls;
    for (WORD i = 0; i < count && r.ok(); ++i) {
        SCOPED_TRACE(i);
        r.alignTo4();
        Control c{};
        EXPECT_EQ(r.read<DWORD>(), 0u) << "helpID";
        EXPECT_EQ(r.read<DWORD>(), 0u) << "exStyle";
        c.style = r.read<DWORD>();
        c.x = r.read<short>();
        c.y = r.read<short>();
        c.cx = r.read<short>();
        c.cy = r.read<short>();
        c.id = r.read<DWORD>();
        EXPECT_EQ(r.readNameOrOrdinal(&c.classAtom), L"") << "the class is a predefined class number";
        WORD textOrdinal;
        c.text = r.readNameOrOrdinal(&textOrdinal);
        EXPECT_EQ(textOrdinal, 0);
        EXPECT_EQ(r.read<WORD>(), 0) << "no creation data";
        controls.push_back(c);
    }
    ASSERT_TRUE(r.ok()) << "the template ends inside its controls";
    EXPECT_LE(r.size() - r.offset(), 3u) << "nothing after the last control but padding";
    EXPECT_EQ(controls, std::vector<Control>(std::begin(kExpected), std::end(kExpected)));
}

TEST(VersionBlock, CarriesTheProjectVersionAndSaysTheLibraryRegistersItself) {
    const std::string path = dll().path();
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    auto query = [&](const std::string& entry) {
        void* value = nullptr;
        UINT length = 0;
        return VerQueryValueA(block.data(), entry.c_str(), &value, &length) ? value : nullptr;
    };

    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(sscanf(std::getenv("MORVANE_VERSION"), "%u.%u.%u", &major, &minor, &patch), 3);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query("\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MAKELONG(minor, major)));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(0, patch)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));
    const auto* translation = static_cast<const WORD*>(query("\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    // The text leaves out a patch number of 0.
    const std::string text =
        std::to_string(major) + "." + std::to_string(minor) + (patch ? "." + std::to_string(patch) : "");
    const struct {
        const char* name;
        std::string value;
    } strings[] = {
        {"FileDescription", "Shell Extension for Java Jars"},
        {"InternalName", "Shell Extension for Java Jars"},
        {"FileVersion", text},
        {"ProductVersion", text},
        {"OriginalFilename", "Morvane.dll"},
        {"OLESelfRegister", ""},
    };
    for (const auto& entry : strings) {
        const char* value = static_cast<const char*>(query(std::string("\\StringFileInfo\\040904E4\\") + entry.name));
        ASSERT_NE(value, nullptr) << entry.name;
        EXPECT_EQ(value, entry.value) << entry.name;
    }
}

}  // namespace
