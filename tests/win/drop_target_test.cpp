// Files dropped onto a jar, through IDropTarget as the shell drives it: the
// answers to the drag, and the command line that the program registered for
// .jar files receives (a recording program stands in for the Java launcher),
// with the names on it or in a name list file, in ANSI and in wide drops.
#include <gtest/gtest.h>

#include "win/DropTestSupport.h"

#include <shellapi.h>

namespace {

const char kShowInfo[] = "DropTarget_Debug_ShowInfo";
const std::wstring kBoxLabel = L"Parameter length (w/o ...java.exe):";

std::string jar(const char* name) { return fixturePath(std::string("drop/") + name); }

std::wstring fromAnsi(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    if (n) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &out[0], n);
    return out;
}

// The command line the recording program receives for a parameter string:
// ShellExecute puts the quoted program and one blank before it.
std::string received(const std::wstring& parameters) {
    return narrow(L"\"" + fromAnsi(recorderPath()) + L"\" " + parameters);
}

// The names of a drop, in either width (wide names are given as UTF-8, ANSI
// names as bytes of code page 1252).
struct Names {
    bool wide;
    std::vector<std::string> items;

    IDataObject* dataObject() const {
        if (!wide) return DropDataObject::createAnsi(items);
        std::vector<std::wstring> w;
        for (const auto& i : items) w.push_back(widen(i));
        return DropDataObject::createWide(w);
    }
    std::vector<std::wstring> asDropped() const {
        std::vector<std::wstring> w;
        for (const auto& i : items) w.push_back(wide ? widen(i) : fromAnsi(i));
        return w;
    }
};

// The records of a name list file: big-endian byte count, then UTF-8 bytes.
std::string records(const std::vector<std::wstring>& names) {
    std::string out;
    for (const auto& n : names) {
        std::string utf8 = narrow(n);
        uint32_t size = uint32_t(utf8.size());
        out += char(size >> 24);
        out += char(size >> 16);
        out += char(size >> 8);
        out += char(size);
        out += utf8;
    }
    return out + std::string(4, '\0');
}

class DropTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable";
        deleteConfigValue(kShowInfo);
        listFilesBefore = nameListFilesInTemp();
    }
    void TearDown() override { deleteConfigValue(kShowInfo); }

    IDropTarget* target(const std::string& jarPath) {
        IDropTarget* t = nullptr;
        EXPECT_EQ(dll().createLoaded(jarPath, IID_IDropTarget, reinterpret_cast<void**>(&t)), S_OK);
        return t;
    }

    // Drops data onto the jar and checks the fixed answer of a drop whose data
    // could be had: copy and S_OK, whatever came of the launch.
    void dropOnto(const std::string& jarPath, IDataObject* data, DWORD keys = 0, DWORD allowed = DROPEFFECT_COPY) {
        IDropTarget* t = target(jarPath);
        ASSERT_NE(t, nullptr);
        dropWith(t, data, keys, allowed);
        t->Release();
    }
    void dropWith(IDropTarget* t, IDataObject* data, DWORD keys = 0, DWORD allowed = DROPEFFECT_COPY) {
        DWORD effect = allowed;
        POINTL pt = {10, 10};
        EXPECT_EQ(t->Drop(data, keys, pt, &effect), S_OK);
        EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    }

    // The name list files that appeared in the temporary folder since SetUp.
    std::set<std::string> newListFiles() const {
        std::set<std::string> added;
        for (const auto& n : nameListFilesInTemp())
            if (!listFilesBefore.count(n)) added.insert(n);
        return added;
    }

    // A drop started now is recorded while the earlier one stays empty: what
    // went before started nothing.
    void expectNothingStartedBefore(const CommandRecording& earlier) {
        CommandRecording sentinel;
        dropOnto(jar("options-absent.jar"), DropDataObject::createAnsi({"C:\\sentinel.txt"}));
        ASSERT_TRUE(sentinel.wait()) << "the sentinel drop started nothing";
        EXPECT_FALSE(earlier.recorded());
    }

    OleApartment apartment;
    std::set<std::string> listFilesBefore;
};

// ---- the drag -----------------------------------------------------------------

TEST_F(DropTest, DragEnterAnswersCopyOnlyForAFileList) {
    struct Case {
        const char* label;
        IDataObject* data;
        DWORD keys;
        DWORD allowed;
        HRESULT hr;
        DWORD effect;
    };
    const Case cases[] = {
        {"AnsiList", DropDataObject::createAnsi({"C:\\a.txt"}), 0, DROPEFFECT_COPY, S_OK, DROPEFFECT_COPY},
        {"WideListWhileOnlyMoveAllowed", DropDataObject::createWide({L"C:\\a.txt"}), 0, DROPEFFECT_MOVE, S_OK,
         DROPEFFECT_COPY},
        {"KeysHeldAndOnlyLinkAllowed", DropDataObject::createAnsi({"C:\\a.txt"}), MK_CONTROL | MK_SHIFT | MK_ALT,
         DROPEFFECT_LINK, S_OK, DROPEFFECT_COPY},
        {"BlockWithoutList", DropDataObject::createWithoutList(false), 0, DROPEFFECT_COPY, S_OK, DROPEFFECT_COPY},
        {"NoFileList", DropDataObject::createEmpty(), 0, DROPEFFECT_COPY, E_UNEXPECTED, DROPEFFECT_NONE},
        {"NoDataObject", nullptr, 0, DROPEFFECT_COPY, E_UNEXPECTED, DROPEFFECT_NONE},
    };
    IDropTarget* t = target(jar("options-absent.jar"));
    ASSERT_NE(t, nullptr);
    for (const Case& c : cases) {
        DWORD effect = c.allowed;
        POINTL pt = {1, 2};
        EXPECT_EQ(t->DragEnter(c.data, c.keys, pt, &effect), c.hr) << c.label;
        EXPECT_EQ(effect, c.effect) << c.label;
        // DragOver answers copy whatever DragEnter said and whatever is allowed.
        for (DWORD allowed : {DWORD(DROPEFFECT_NONE), DWORD(DROPEFFECT_MOVE), DWORD(DROPEFFECT_LINK)}) {
            effect = allowed;
            EXPECT_EQ(t->DragOver(c.keys, pt, &effect), S_OK) << c.label;
            EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY)) << c.label;
        }
        EXPECT_EQ(t->DragLeave(), S_OK) << c.label;
        if (c.data) {
            EXPECT_EQ(static_cast<DropDataObject*>(c.data)->getDataCalls, 0) << c.label << ": asks, does not fetch";
            c.data->Release();
        }
    }
    t->Release();
}

TEST_F(DropTest, DropWhoseDataCannotBeHadStartsNothing) {
    JarAssociation association(recorderCommand());
    CommandRecording recording;
    IDropTarget* t = target(jar("options-true.jar"));
    ASSERT_NE(t, nullptr);
    auto* data = DropDataObject::createEmpty();
    DWORD effect = DROPEFFECT_COPY;
    POINTL pt = {0, 0};
    EXPECT_EQ(t->Drop(data, 0, pt, &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(data->getDataCalls, 1) << "the drop asks for the data afresh";
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(t->Drop(nullptr, 0, pt, &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    data->Release();
    t->Release();
    expectNothingStartedBefore(recording);
    EXPECT_TRUE(newListFiles().empty());
}

// ---- what the started program receives -------------------------------------------

TEST_F(DropTest, NamesOnTheCommandLine) {
    struct Case {
        const char* label;
        const char* jarName;
        Names names;
        DWORD keys;
        DWORD allowed;
    };
    const Case cases[] = {
        {"AnsiWithoutStartOptions", "options-absent.jar", {false, {"C:\\a.txt", "C:\\b c.txt"}}, 0, DROPEFFECT_COPY},
        {"AnsiDriveRootArrivesWhole", "options-absent.jar", {false, {"C:\\", "D:\\x\\", "C:\\b.txt"}}, 0,
         DROPEFFECT_COPY},
        {"AnsiNameInCodePage1252", "hello.jar", {false, {"C:\\Gr\xFC\xDF" "e.txt"}}, 0, DROPEFFECT_COPY},
        {"StartOptionsWithoutTheKey", "options-blank-first.jar", {false, {"C:\\a.txt"}}, 0, DROPEFFECT_COPY},
        {"EmptyStartOptions", "options-empty.jar", {false, {"C:\\a.txt"}}, 0, DROPEFFECT_COPY},
        {"KeysHeldOnlyMoveAllowed", "options-other-case.jar", {false, {"C:\\a.txt"}}, MK_CONTROL | MK_SHIFT | MK_ALT,
         DROPEFFECT_MOVE},
        {"WideOutsideTheAnsiCodePage", "options-absent.jar",
         {true, {"C:\\\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.txt", "\\\\server\\share\\"}}, 0,
         DROPEFFECT_COPY},
        {"WideWithoutStartOptionKey", "hello.jar", {true, {"C:\\a.txt", "C:\\"}}, 0, DROPEFFECT_COPY},
    };
    JarAssociation association(recorderCommand());
    for (const Case& c : cases) {
        CommandRecording recording;
        dropOnto(jar(c.jarName), c.names.dataObject(), c.keys, c.allowed);
        auto commandLine = recording.wait();
        ASSERT_TRUE(commandLine) << c.label << ": the program was not started";
        std::wstring expected = L"  -jar \"" + fromAnsi(jar(c.jarName)) + L"\" ";
        for (const auto& name : c.names.asDropped()) {
            // A trailing backslash run is doubled before the closing quote.
            size_t run = name.size() - name.find_last_not_of(L'\\') - 1;
            expected += L"\"" + name + std::wstring(run, L'\\') + L"\" ";
        }
        EXPECT_EQ(narrow(*commandLine), received(expected)) << c.label;
        // What the program's runtime makes of it: exactly the dropped names.
        std::vector<std::wstring> args = splitCommandLine(*commandLine);
        std::vector<std::wstring> wanted = {L"-jar", fromAnsi(jar(c.jarName))};
        for (const auto& name : c.names.asDropped()) wanted.push_back(name);
        ASSERT_GE(args.size(), 1u) << c.label;
        EXPECT_EQ(std::vector<std::wstring>(args.begin() + 1, args.end()), wanted) << c.label;
        EXPECT_EQ(_wcsicmp(args[0].c_str(), fromAnsi(recorderPath()).c_str()), 0) << c.label;
    }
    EXPECT_TRUE(newListFiles().empty()) << "no list file without the start option";
}

// Run by the test win_drop_target_cp932 under a Japanese locale, which gives
// Wine's programs code page 932: there the second byte of a character may be
// the byte of a backslash, and only whole-character backslashes are doubled.
TEST_F(DropTest, AnsiNamesInADoubleByteCodePage) {
    if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
    JarAssociation association(recorderCommand());
    CommandRecording recording;
    // C:\予定表 and D:\表\ in code page 932, where 予 and 表 end in the byte 5C.
    dropOnto(jar("options-absent.jar"),
             DropDataObject::createAnsi({"C:\\\x97\x5C\x92\xE8\x95\x5C", "D:\\\x95\x5C\\", "C:\\a.txt"}));
    auto commandLine = recording.wait();
    ASSERT_TRUE(commandLine) << "the program was not started";
    std::vector<std::wstring> args = splitCommandLine(*commandLine);
    std::vector<std::wstring> wanted = {L"-jar", fromAnsi(jar("options-absent.jar")), L"C:\\\u4E88\u5B9A\u8868",
                                        L"D:\\\u8868\\", L"C:\\a.txt"};
    ASSERT_GE(args.size(), 1u);
    EXPECT_EQ(std::vector<std::wstring>(args.begin() + 1, args.end()), wanted) << narrow(*commandLine);
}

TEST_F(DropTest, NamesInAListFile) {
    struct Case {
        const char* label;
        const char* jarName;
        Names names;
    };
    const Case cases[] = {
        {"AnsiTwoFiles", "options-true.jar", {false, {"C:\\a.txt", "C:\\b.txt"}}},
        {"AnsiConvertedFromCodePage1252", "options-false.jar", {false, {"C:\\Gr\xFC\xDF" "e.txt", "C:\\"}}},
        {"WideOutsideTheAnsiCodePage", "options-last-line.jar",
         {true, {"C:\\\xCE\xA9 \xF0\x9F\x98\x80.txt", "C:\\b c\\", "D:\\"}}},
        {"ListerExample", "lister.jar", {false, {"C:\\x.txt"}}},
    };
    JarAssociation association(recorderCommand());
    for (const Case& c : cases) {
        std::set<std::string> before = nameListFilesInTemp();
        CommandRecording recording;
        dropOnto(jar(c.jarName), c.names.dataObject());
        auto commandLine = recording.wait();
        ASSERT_TRUE(commandLine) << c.label << ": the program was not started";

        std::set<std::string> created;
        for (const auto& n : nameListFilesInTemp())
            if (!before.count(n)) created.insert(n);
        ASSERT_EQ(created.size(), 1u) << c.label << ": one list file, left for the program";
        std::string listFile = tempFolder() + *created.begin();
        const std::string& fileName = *created.begin();
        EXPECT_TRUE(fileName.size() >= 8 && fileName.size() <= 11 && fileName.compare(0, 3, "mor") == 0 &&
                    fileName.compare(fileName.size() - 4, 4, ".tmp") == 0 &&
                    fileName.find_first_not_of("0123456789ABCDEFabcdef", 3) == fileName.size() - 4)
            << c.label << ": " << fileName << " is not mor, up to four hex digits, .tmp";

        std::wstring expected = L" -Dorg.morvane.start.filenames=\"" + fromAnsi(listFile) + L"\"  -jar \"" +
                                fromAnsi(jar(c.jarName)) + L"\" ";
        EXPECT_EQ(narrow(*commandLine), received(expected)) << c.label;
        EXPECT_EQ(readBinaryFile(listFile), records(c.names.asDropped())) << c.label;
        DeleteFileA(listFile.c_str());
    }
}

TEST_F(DropTest, BlockWithoutListGivesNoNames) {
    JarAssociation association(recorderCommand());
    for (bool wide : {false, true}) {
        CommandRecording recording;
        dropOnto(jar("options-absent.jar"), DropDataObject::createWithoutList(wide));
        auto commandLine = recording.wait();
        ASSERT_TRUE(commandLine) << "wide " << wide;
        std::wstring expected = L"  -jar \"" + fromAnsi(jar("options-absent.jar")) + L"\" ";
        EXPECT_EQ(narrow(*commandLine), received(expected));

        // With the start option the file is made, and stays empty.
        std::set<std::string> before = nameListFilesInTemp();
        CommandRecording withOption;
        dropOnto(jar("options-true.jar"), DropDataObject::createWithoutList(wide));
        commandLine = withOption.wait();
        ASSERT_TRUE(commandLine) << "wide " << wide;
        std::set<std::string> created;
        for (const auto& n : nameListFilesInTemp())
            if (!before.count(n)) created.insert(n);
        ASSERT_EQ(created.size(), 1u);
        std::string listFile = tempFolder() + *created.begin();
        EXPECT_EQ(narrow(*commandLine), received(L" -Dorg.morvane.start.filenames=\"" + fromAnsi(listFile) +
                                                  L"\"  -jar \"" + fromAnsi(jar("options-true.jar")) + L"\" "));
        EXPECT_EQ(readBinaryFile(listFile), "");
        DeleteFileA(listFile.c_str());
    }
}

TEST_F(DropTest, NoTemporaryFileMeansNamesOnTheCommandLine) {
    JarAssociation association(recorderCommand());
    for (bool wide : {false, true}) {
        Names names = {wide, {"C:\\a.txt", "C:\\"}};
        CommandRecording recording;
        {
            ScopedEnvironment tmp("TMP", "C:\\no-such-folder-for-morvane");
            ScopedEnvironment temp("TEMP", "C:\\no-such-folder-for-morvane");
            dropOnto(jar("options-true.jar"), names.dataObject());
        }
        auto commandLine = recording.wait();
        ASSERT_TRUE(commandLine) << "wide " << wide;
        std::wstring expected = L"  -jar \"" + fromAnsi(jar("options-true.jar")) + L"\" \"C:\\a.txt\" \"C:\\\\\" ";
        EXPECT_EQ(narrow(*commandLine), received(expected));
        EXPECT_EQ(commandLine->find(L"-Dorg.morvane.start.filenames"), std::wstring::npos);
    }
    EXPECT_TRUE(newListFiles().empty());
}

TEST_F(DropTest, NoProgramStartedLeavesNoListFile) {
    struct Case {
        const char* label;
        std::string command;  // empty: no association at all
    };
    const Case cases[] = {
        {"NoProgramRegistered", ""},
        {"RegisteredProgramMissing", "\"Z:\\no\\such\\folder\\launcher.exe\" \"%1\" %*"},
    };
    for (const Case& c : cases) {
        JarAssociation association(c.command);
        if (c.command.empty()) {
            char program[MAX_PATH] = {};
            ASSERT_LE(reinterpret_cast<INT_PTR>(FindExecutableA(jar("options-true.jar").c_str(), nullptr, program)),
                      32)
                << c.label << ": a program is still registered for .jar: " << program;
        }
        CommandRecording recording;
        for (bool wide : {false, true}) {
            Names names = {wide, {"C:\\a.txt"}};
            dropOnto(jar("options-true.jar"), names.dataObject());
            dropOnto(jar("options-absent.jar"), names.dataObject());
        }
        EXPECT_TRUE(newListFiles().empty()) << c.label;
        EXPECT_FALSE(recording.recorded()) << c.label;
    }
}

// ---- the debug box -----------------------------------------------------------------

TEST_F(DropTest, DebugBoxShowsLengthProgramAndParameters) {
    JarAssociation association(recorderCommand());
    setConfigString(kShowInfo, "1");
    for (bool wide : {false, true}) {
        Names names = {wide, {wide ? "C:\\\xCE\xA9.txt" : "C:\\a.txt", "C:\\"}};
        CommandRecording recording;
        MessageBoxWatchdog watchdog(L"Info");
        dropOnto(jar("options-absent.jar"), names.dataObject());
        ASSERT_EQ(watchdog.count(), 1) << "wide " << wide << ": the box is shown and closed before Drop returns";
        auto commandLine = recording.wait();
        ASSERT_TRUE(commandLine) << "the program starts once the box is closed";

        std::wstring parameters = L"  -jar \"" + fromAnsi(jar("options-absent.jar")) + L"\" \"" +
                                  names.asDropped()[0] + L"\" \"C:\\\\\" ";
        EXPECT_EQ(narrow(*commandLine), received(parameters));
        // The ANSI run counts bytes; every character here is one byte in 1252.
        std::wstring text = kBoxLabel + std::to_wstring(parameters.size()) + L"\n" + fromAnsi(recorderPath()) +
                            L"\n" + parameters;
        EXPECT_EQ(narrow(watchdog.lastText()), narrow(text)) << "wide " << wide;
    }
}

TEST_F(DropTest, DebugBoxOnlyForExactlyOneReadAfreshPerDrop) {
    JarAssociation association(recorderCommand());
    struct Case {
        const char* label;
        DWORD type;
        std::string data;  // raw value bytes; empty with REG_NONE: no value
        int boxes;
    };
    const DWORD one = 1;
    const Case cases[] = {
        {"Absent", REG_NONE, "", 0},
        {"One", REG_SZ, std::string("1", 2), 1},
        {"Zero", REG_SZ, std::string("0", 2), 0},
        {"True", REG_SZ, std::string("true", 5), 0},
        {"OneAndBlank", REG_SZ, std::string("1 ", 3), 0},
        {"DwordOne", REG_DWORD, std::string(reinterpret_cast<const char*>(&one), 4), 0},
        {"ExpandSzOne", REG_EXPAND_SZ, std::string("1", 2), 0},
    };
    // One object for every drop: the value is read at each of them.
    IDropTarget* t = target(jar("options-absent.jar"));
    ASSERT_NE(t, nullptr);
    for (const Case& c : cases) {
        deleteConfigValue(kShowInfo);
        if (c.type != REG_NONE)
            setRegistryValue(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, kShowInfo, c.type, c.data.data(), DWORD(c.data.size()));
        CommandRecording recording;
        MessageBoxWatchdog watchdog(L"Info");
        dropWith(t, DropDataObject::createAnsi({"C:\\a.txt"}));
        EXPECT_EQ(watchdog.count(), c.boxes) << c.label;
        EXPECT_TRUE(recording.wait()) << c.label;
    }
    t->Release();
}

// ---- the medium and the block ----------------------------------------------------

TEST_F(DropTest, MediumReleasedOnEveryPathAndUnreadableBlocksStartNothing) {
    std::string ansi("C:\\a.txt\0C:\\b.txt\0\0", 19);
    struct Case {
        const char* label;
        std::optional<std::string> block;
        bool starts;
    };
    const Case cases[] = {
        {"GoodBlock", dropBlockBytes(sizeof(DROPFILES), FALSE, ansi), true},
        {"NoMemoryHandle", std::nullopt, false},
        {"ListNotEnded", dropBlockBytes(sizeof(DROPFILES), FALSE, ansi.substr(0, 12)), false},
        {"ListOffsetOutsideTheBlock", dropBlockBytes(4096, FALSE, ansi), false},
        {"WideListNotEnded", dropBlockBytes(sizeof(DROPFILES), TRUE, std::string("C\0:\0", 4)), false},
        {"ShorterThanItsHeader", std::string(10, '\0'), false},
    };
    JarAssociation association(recorderCommand());
    for (const Case& c : cases) {
        CommandRecording recording;
        DropDataObject* data = DropDataObject::createWatched(c.block);
        dropOnto(jar("options-true.jar"), data);
        EXPECT_EQ(data->mediumReleases(), 1) << c.label;
        data->Release();
        if (c.starts) {
            EXPECT_TRUE(recording.wait()) << c.label;
            for (const auto& n : newListFiles()) DeleteFileA((tempFolder() + n).c_str());
        } else {
            expectNothingStartedBefore(recording);
            EXPECT_TRUE(newListFiles().empty()) << c.label;
        }
    }
}

}  // namespace
