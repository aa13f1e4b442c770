// The object when memory runs out: the class factory reports E_OUTOFMEMORY, and
// an interface object that could not be allocated is simply missing while the
// others work. This program replaces the non-throwing operator new, which the
// object's code (linked into this program) uses for all its allocations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "com/ClassFactory.h"
#include "com/JarIconObj.h"
#include "com/Module.h"
#include "win/WinTestSupport.h"

namespace {
int g_nothrowCalls = 0;
int g_failAt = 0;  // 0: never fail
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (++g_nothrowCalls == g_failAt) return nullptr;
    return std::malloc(size ? size : 1);
}

namespace {

void failNthAllocation(int n) {
    g_nothrowCalls = 0;
    g_failAt = n;
}

struct Interface {
    const IID* iid;
    const char* label;
};
// In the order the object allocates its interface objects.
const Interface kInterfaces[] = {
    {&IID_IPersistFile, "QueryInterface:IID_IPersistFile"},
    {&IID_IExtractIconA, "QueryInterface:IID_IExtractIcon"},
    {&IID_IQueryInfo, "QueryInterface:IID_IQueryInfo"},
    {&IID_IDropTarget, "QueryInterface:IID_IDropTarget"},
    {&IID_IShellExtInit, "QueryInterface:IID_IShellExtInit"},
    {&IID_IShellPropSheetExt, "QueryInterface:IID_IShellPropSheetExt"},
};

std::string message(const std::string& line) { return line.substr(line.rfind('\t') + 1); }

class ObjectAllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteLogFile();
        setConfigString("debugLog", "1");
    }
    void TearDown() override {
        failNthAllocation(0);
        deleteRegistryTree(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
        deleteLogFile();
    }
    OleApartment apartment;
};

TEST_F(ObjectAllocationTest, NoMemoryForTheObject) {
    failNthAllocation(1);
    void* p = reinterpret_cast<void*>(1);
    LONG before = g_cDllRef;
    EXPECT_EQ(g_classFactory.CreateInstance(nullptr, IID_IUnknown, &p), E_OUTOFMEMORY);
    EXPECT_EQ(p, reinterpret_cast<void*>(1)) << "not written on this path";
    EXPECT_EQ(g_cDllRef, before);
}

TEST_F(ObjectAllocationTest, AMissingInterfaceObjectLeavesTheOthersWorking) {
    for (size_t missing = 0; missing < sizeof(kInterfaces) / sizeof(kInterfaces[0]); ++missing) {
        SCOPED_TRACE(kInterfaces[missing].label);
        failNthAllocation(int(missing) + 2);  // the object itself is allocation 1
        IUnknown* obj = nullptr;
        ASSERT_EQ(g_classFactory.CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&obj)), S_OK);
        failNthAllocation(0);
        for (size_t i = 0; i < sizeof(kInterfaces) / sizeof(kInterfaces[0]); ++i) {
            deleteLogFile();
            void* p = reinterpret_cast<void*>(1);
            HRESULT hr = obj->QueryInterface(*kInterfaces[i].iid, &p);
            std::vector<std::string> lines = readLogLines();
            if (i == missing) {
                EXPECT_EQ(hr, E_NOINTERFACE);
                EXPECT_EQ(p, nullptr);
                ASSERT_EQ(lines.size(), 2u) << "the label of the match, then the failure";
                EXPECT_EQ(message(lines[0]).rfind(std::string("JarIconObj:: ") + kInterfaces[i].label + ": ", 0), 0u);
                EXPECT_EQ(message(lines[1]).rfind("JarIconObj:: QueryInterface (Failed -> Not implemented): ", 0), 0u);
            } else {
                EXPECT_EQ(hr, S_OK);
                ASSERT_NE(p, nullptr);
                static_cast<IUnknown*>(p)->Release();
                EXPECT_EQ(lines.size(), 1u);
            }
        }
        EXPECT_EQ(obj->Release(), 0u) << "destruction skips the missing interface object";
    }
}

}  // namespace
