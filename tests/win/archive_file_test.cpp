// The archive reader on Windows files: full sharing, nothing left open, paths
// outside ASCII.
#include <gtest/gtest.h>

#include <string>

#include "archive/ArchiveReader.h"
#include "win/WinTestSupport.h"

namespace {

std::string tempDir() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return dir;
}

// An ANSI path as the shell hands it over, in UTF-16.
std::wstring wideOf(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), &wide[0], int(wide.size()))));
    return wide;
}

int readDescriptionMember(const std::string& path, std::string* bytes) {
    MemberBuffer buffer;
    int status = readArchiveMember(wideOf(path).c_str(), MEMBER_DESCRIPTION, &buffer);
    if (status == kMemberRead) bytes->assign(buffer.data, buffer.length);
    if (status < 2) freeArchiveMember(&buffer);
    return status;
}

class ArchiveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A copy whose name holds a character outside ASCII (e-acute in code page 1252).
        jar = tempDir() + "caf\xe9 reader test.jar";
        ASSERT_TRUE(CopyFileA(fixturePath("infotip/order.jar").c_str(), jar.c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileA(jar.c_str());
        DeleteFileA((jar + ".renamed").c_str());
    }
    std::string jar;
};

TEST_F(ArchiveFileTest, ReadsAJarThatAnotherProgramHoldsOpen) {
    HANDLE other = CreateFileA(jar.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::string bytes;
    EXPECT_EQ(readDescriptionMember(jar, &bytes), kMemberRead);
    EXPECT_EQ(bytes.rfind("default=Default text\r\n", 0), 0u);
    CloseHandle(other);
}

TEST_F(ArchiveFileTest, LeavesNothingOpenSoTheJarCanBeRenamedAndDeleted) {
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    std::string bytes;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(readDescriptionMember(jar, &bytes), kMemberRead);
    MemberBuffer buffer;
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(readArchiveMember(wideOf(jar).c_str(), "no/such/member", &buffer), kMemberAbsent);
        freeArchiveMember(&buffer);
    }
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(MoveFileA(jar.c_str(), (jar + ".renamed").c_str())) << GetLastError();
    EXPECT_TRUE(DeleteFileA((jar + ".renamed").c_str())) << GetLastError();
}

TEST_F(ArchiveFileTest, WhatIsNoReadableFileCountsAsAbsent) {
    std::string bytes;
    EXPECT_EQ(readDescriptionMember(tempDir() + "no such file.jar", &bytes), kMemberAbsent);
    EXPECT_EQ(readDescriptionMember(tempDir(), &bytes), kMemberAbsent) << "a folder";
    EXPECT_EQ(readDescriptionMember("", &bytes), kMemberAbsent);
    EXPECT_EQ(readDescriptionMember("NUL", &bytes), kMemberAbsent) << "a device";
    MemberBuffer buffer;
    EXPECT_GE(readArchiveMember(nullptr, MEMBER_DESCRIPTION, &buffer), 2);
}

}  // namespace
