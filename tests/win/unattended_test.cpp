// Failures with nobody at the screen. Deployment tools run setup as a service
// in session 0, whose window station no screen shows: a message box there
// would wait for ever, and the deployment with it. A silent setup names its
// log (MORVANE_SETUP_LOG) and gets the registration failure there instead.
// A window station made here without WSF_VISIBLE stands in for session 0.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

#include "diag/Log.h"
#include "registration/FailureReport.h"
#include "registration/SelfRegistration.h"
#include "win/DropTestSupport.h"
#include "win/RegistrationTestSupport.h"

namespace {

const DWORD kPatienceMs = 20000;

// A window station with one desktop, shown on no screen.
class HiddenStation {
    static BOOL CALLBACK closeWindow(HWND window, LPARAM) {
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

public:
    HiddenStation() : station_(CreateWindowStationA("MorvaneUnattended", 0, WINSTA_ALL_ACCESS, nullptr)) {
        HWINSTA own = GetProcessWindowStation();
        if (station_ && SetProcessWindowStation(station_)) {
            desktop_ = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
            SetProcessWindowStation(own);
        }
    }
    bool ready() const { return desktop_ != nullptr; }

    // Runs `call` on a thread of that desktop while the process belongs to
    // that station, as a service's thread does. False when it has not come
    // back in time: a box is waiting there for a click, and is closed then so
    // the thread can end.
    bool run(const std::function<void()>& call) {
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HWINSTA own = GetProcessWindowStation();
        SetProcessWindowStation(station_);
        std::thread worker([&] {
            SetThreadDesktop(desktop_);
            call();
            SetEvent(done);
        });
        bool returned = WaitForSingleObject(done, kPatienceMs) == WAIT_OBJECT_0;
        while (WaitForSingleObject(done, 100) == WAIT_TIMEOUT) EnumDesktopWindows(desktop_, closeWindow, 0);
        worker.join();
        CloseHandle(done);
        SetProcessWindowStation(own);
        return returned;
    }

private:
    HWINSTA station_;
    HDESK desktop_ = nullptr;
};

HiddenStation& hiddenStation() {
    static HiddenStation station;
    return station;
}

std::string setupLogPath() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "Morvane-setup.log";
}

// Registration fails at the approval list while it is missing; so does
// unregistration, which opens it too.
class UnattendedTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr);
        ASSERT_TRUE(hiddenStation().ready()) << "no window station of our own";
        deleteRegistryTree(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH);
        DeleteFileA(setupLogPath().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA(SETUP_LOG_VARIABLE, nullptr);
        approved_.restore();
        deleteRegistryTree(HKEY_CLASSES_ROOT, "jarfile");
        deleteRegistryTree(HKEY_CLASSES_ROOT, CLASS_KEY_PATH);
        DeleteFileA(setupLogPath().c_str());
    }
    RegistryKeySnapshot approved_{HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH};
};

// The registration failure's box and the drop's diagnostic boxes (caption
// "Info"). A box that a service's thread showed all the same is closed, but
// leaves the process unfit for boxes: the rows in the hidden station go last.
TEST_F(UnattendedTest, BoxesOnlyForAPersonAndTheRegistrationFailureInASilentSetupsLog) {
    const std::string registerText =
        "Error registering Shell Extension! You need Administrator rights, lack of this may be the reason for "
        "failure! Also, you should install Java before, so that a filetype '.jar' exists in the registry.";
    const std::string unregisterText =
        "Error unregistering Shell Extension! You need Administrator rights, lack of those may be the reason for "
        "failure!";
    const std::string log = setupLogPath();
    const std::string missingFolderLog = "C:\\no such folder\\Morvane-setup.log";
    enum Action { registering, unregistering, informing };
    const struct {
        const char* what;
        Action action;
        bool hidden;             // in the window station that no screen shows
        const std::string* log;  // MORVANE_SETUP_LOG, or none
        int boxes;
    } cases[] = {
        {"a person registers", registering, false, nullptr, 1},
        {"a person unregisters", unregistering, false, nullptr, 1},
        {"a person drops with the diagnostic boxes on", informing, false, nullptr, 2},
        {"a silent setup registers", registering, false, &log, 0},
        {"a silent setup unregisters", unregistering, false, &log, 0},
        {"a silent setup whose log cannot be written", registering, false, &missingFolderLog, 0},
        {"a service registers", registering, true, nullptr, 0},
        {"a service unregisters", unregistering, true, nullptr, 0},
        {"a silent setup as a service", registering, true, &log, 0},
        {"a service drops with the diagnostic boxes on", informing, true, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetEnvironmentVariableA(SETUP_LOG_VARIABLE, c.log ? c.log->c_str() : nullptr);
        HRESULT result = S_OK;
        int narrow = -1, wide = -1;
        auto call = [&] {
            if (c.action == informing) {
                narrow = showInfoBox("%s %d", "length", 42);
                wide = showInfoBoxW(L"%s %d", L"length", 42);
            } else {
                result = c.action == unregistering ? dll().unregisterServer() : dll().registerServer();
            }
        };
        {
            MessageBoxWatchdog watchdog(c.action == informing ? L"Info" : REG_TEST_BOX_CAPTION);
            if (c.hidden)
                ASSERT_TRUE(hiddenStation().run(call)) << "a box waits where nobody can close it";
            else
                call();
            EXPECT_EQ(watchdog.count(), c.boxes);
        }
        if (c.action == informing) {
            EXPECT_EQ(narrow, c.hidden ? 0 : IDOK);
            EXPECT_EQ(wide, c.hidden ? 0 : IDOK);
        } else {
            EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        }
        const std::string written = fileExists(log) ? readBinaryFile(log) : "";
        if (c.log == &log) {
            const std::string line = dll().path() + ": " +
                                     (c.action == unregistering ? unregisterText : registerText) +
                                     " (error 0x80070002)\r\n";
            ASSERT_GT(written.size(), line.size());
            EXPECT_TRUE(std::regex_match(written.substr(0, 20), std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ")))
                << written;
            EXPECT_EQ(written.substr(20), line);
        } else {
            EXPECT_EQ(written, "");
        }
        DeleteFileA(log.c_str());
    }
}

}  // namespace
