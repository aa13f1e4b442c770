// Jars in folders whose names the ANSI code page (1252 here) cannot express,
// or whose paths are longer than MAX_PATH: the icon, the tooltip, the Version
// page and the drop all open the jar by the path the shell gives, never by a
// best-fit look-alike of it. The decoy jar sits where the look-alike points.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/DropTestSupport.h"
#include "win/IconTestSupport.h"
#include "win/VersionTestSupport.h"
#include "win/WinTestSupport.h"

namespace {

std::wstring tempRoot() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"morvane paths\\";
}

// The \\?\ form that the test itself needs to make folders past MAX_PATH.
std::wstring longForm(const std::wstring& path) { return L"\\\\?\\" + path; }

// Makes the folder of path, and all folders above it, then copies a fixture jar there.
void placeJar(const char* fixture, const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(longForm(path.substr(0, at)).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(widen(fixturePath(fixture)).c_str(), longForm(path).c_str(), FALSE))
        << narrow(path) << ": " << GetLastError();
}

template <typename T>
T* loaded(const std::wstring& path, REFIID riid) {
    IPersistFile* persist = nullptr;
    T* object = nullptr;
    if (SUCCEEDED(dll().createObject(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (persist->Load(path.c_str(), STGM_READ) == S_OK) persist->QueryInterface(riid, reinterpret_cast<void**>(&object));
        persist->Release();
    }
    return object;
}

std::wstring tooltipOf(const std::wstring& path) {
    IQueryInfo* info = loaded<IQueryInfo>(path, IID_IQueryInfo);
    if (!info) return L"(no object)";
    PWSTR tip = nullptr;
    HRESULT hr = info->GetInfoTip(0, &tip);
    info->Release();
    std::wstring text = SUCCEEDED(hr) && tip ? tip : L"(none)";
    CoTaskMemFree(tip);
    return text;
}

COLORREF iconColourOf(const std::wstring& path) {
    IExtractIconA* extract = loaded<IExtractIconA>(path, IID_IExtractIconA);
    if (!extract) return CLR_INVALID;
    HICON large = nullptr, small = nullptr;
    extract->Extract("", 0, &large, &small, MAKELONG(32, 16));
    extract->Release();
    COLORREF colour = large ? readIconPixels(large).centre() : CLR_INVALID;
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);
    return colour;
}

struct Row {
    const char* label;
    std::wstring folder;
    bool ansi;  // the path has an exact ANSI form in code page 1252
};

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 1252u);
        ASSERT_NE(dll().module(), nullptr);
        // Where a best-fit conversion of "Łódź" lands.
        placeJar("icons/decoy.jar", tempRoot() + L"L\u00f3dz\\app.jar");
    }
    OleApartment apartment;
};

TEST_F(PathsTest, EveryFeatureOpensTheJarByItsOwnPath) {
    const Row rows[] = {
        {"plain", L"plain", true},
        {"Latin-1", L"J\u00fcrgen", true},
        {"Cyrillic", L"\u0414\u043c\u0438\u0442\u0440\u0438\u0439", false},
        {"Chinese", L"\u5f20\u4f1f", false},
        {"emoji", L"emoji\U0001F600", false},
        {"best-fit look-alike of the decoy's folder", L"\u0141\u00f3d\u017a", false},
        {"longer than MAX_PATH", L"long\\" + std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b') + L"\\" +
                                     std::wstring(60, L'c'), true},
    };
    JarAssociation association(recorderCommand());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::wstring path = tempRoot() + row.folder + L"\\app.jar";
        placeJar("icons/everything.jar", path);
        if (row.folder.size() > 200) {
            ASSERT_GT(path.size(), size_t(MAX_PATH));
        }

        EXPECT_EQ(narrow(tooltipOf(path)), "Everything tip");
        EXPECT_EQ(iconColourOf(path), fixtureColour::green);
        auto page = versionPageOf(path);
        EXPECT_EQ(page ? narrow(page->description) : "(no page)", "Everything page");

        // A wide drop hands the program the jar's real path.
        IDropTarget* target = loaded<IDropTarget>(path, IID_IDropTarget);
        ASSERT_NE(target, nullptr);
        auto drop = [target](IDataObject* data) {
            DWORD effect = DROPEFFECT_COPY;
            POINTL point = {1, 1};
            HRESULT hr = target->Drop(data, 0, point, &effect);
            data->Release();
            return hr;
        };
        {
            CommandRecording recording;
            EXPECT_EQ(drop(DropDataObject::createWide({L"C:\\a.txt"})), S_OK);
            auto line = recording.wait();
            ASSERT_TRUE(line) << "the wide drop started nothing";
            std::vector<std::wstring> args = splitCommandLine(*line);
            ASSERT_EQ(args.size(), 4u) << narrow(*line);
            EXPECT_EQ(narrow(args[2]), narrow(path));
        }
        // An ANSI drop passes ANSI text: it starts the program where the path
        // has an exact ANSI form, and nothing where it has none.
        CommandRecording ansi;
        drop(DropDataObject::createAnsi({"C:\\a.txt"}));
        if (row.ansi) {
            auto line = ansi.wait();
            ASSERT_TRUE(line) << "the ANSI drop started nothing";
            std::vector<std::wstring> args = splitCommandLine(*line);
            ASSERT_EQ(args.size(), 4u);
            EXPECT_EQ(narrow(args[2]), narrow(path));
        } else {
            CommandRecording sentinel;
            drop(DropDataObject::createWide({L"C:\\sentinel.txt"}));
            ASSERT_TRUE(sentinel.wait());
            EXPECT_FALSE(ansi.recorded()) << "a look-alike path was started";
        }
        target->Release();
    }
}

}  // namespace
