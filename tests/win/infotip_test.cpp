// The tooltip through IQueryInfo on real jars, for the thread's locale.
#include <gtest/gtest.h>

#include <string>

#include "infotip/QueryInfo.h"
#include "win/WinTestSupport.h"

namespace {

class InfoTipTest : public ::testing::Test {
protected:
    void SetUp() override { savedLocale = GetThreadLocale(); }
    void TearDown() override { SetThreadLocale(savedLocale); }

    // Sets the thread locale, skipping the case when Wine refuses it.
    bool useLocale(LCID lcid) {
        SetThreadLocale(lcid);
        return GetThreadLocale() == lcid;
    }

    HRESULT tip(const char* jar, std::wstring* text, PWSTR* raw = nullptr) {
        IQueryInfo* info = nullptr;
        HRESULT hr = dll().createLoaded(fixturePath(std::string("infotip/") + jar), IID_IQueryInfo,
                                        reinterpret_cast<void**>(&info));
        EXPECT_EQ(hr, S_OK);
        if (FAILED(hr)) return hr;
        PWSTR out = reinterpret_cast<PWSTR>(0x1234);
        hr = info->GetInfoTip(0, &out);
        info->Release();
        if (raw) *raw = out;
        if (hr == S_OK) {
            *text = out;
            CoTaskMemFree(out);
        }
        return hr;
    }

    OleApartment apartment;
    LCID savedLocale = 0;
};

TEST_F(InfoTipTest, LineChosenByFullLocaleThenLanguageThenDefault) {
    struct Case {
        LCID lcid;
        const wchar_t* expected;
    } cases[] = {
        {0x0409, L"American\r\nEnglish"},           // en_US= wins although en= stands first
        {0x0809, L"English"},                       // en_GB: the language line
        {0x0C07, L"\u00d6sterreich"},               // de_AT
        {0x0407, L"Deutsch"},                       // de_DE
        {0x0807, L"Deutsch"},                       // de_CH
        {0x040C, L"Fran\t\u00e7ais \\ C:\\tmp"},    // escapes undone in the value only
        {0x0411, L"Default text"},                  // ja_JP: neither line, so default=
    };
    for (const Case& c : cases) {
        if (!useLocale(c.lcid)) {
            ADD_FAILURE() << "Wine refused locale " << std::hex << c.lcid;
            continue;
        }
        std::wstring text;
        EXPECT_EQ(tip("order.jar", &text), S_OK) << std::hex << c.lcid;
        EXPECT_EQ(text, c.expected) << std::hex << c.lcid;
    }
}

TEST_F(InfoTipTest, LocaleOutsideTheTableUsesEnUs) {
    // Galician: neither 0x0456 nor its language 0x56 is in the table.
    if (!useLocale(0x0456)) GTEST_SKIP() << "Wine refuses locale 0x0456";
    std::wstring text;
    EXPECT_EQ(tip("order.jar", &text), S_OK);
    EXPECT_EQ(text, L"American\r\nEnglish");
}

TEST_F(InfoTipTest, NoTextForTheLocale) {
    struct Case {
        const char* jar;
        LCID lcid;
    } cases[] = {
        {"plain.jar", 0x0409},      // no description member
        {"nodefault.jar", 0x0407},  // no matching key and no default=
        {"badutf8.jar", 0x0407},    // the chosen line is not UTF-8
        {"missing.jar", 0x0409},    // no such file
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(useLocale(c.lcid));
        std::wstring text;
        PWSTR raw = nullptr;
        EXPECT_EQ(tip(c.jar, &text, &raw), E_OUTOFMEMORY) << c.jar;
        EXPECT_EQ(raw, reinterpret_cast<PWSTR>(0x1234)) << c.jar << ": the out-parameter is not written";
    }
    // Only the chosen line is decoded: the French line of the same member is fine.
    ASSERT_TRUE(useLocale(0x040C));
    std::wstring text;
    EXPECT_EQ(tip("badutf8.jar", &text), S_OK);
    EXPECT_EQ(text, L"Bonjour");
}

TEST_F(InfoTipTest, EmptyValueIsAnEmptyTip) {
    ASSERT_TRUE(useLocale(0x0409));
    std::wstring text = L"x";
    EXPECT_EQ(tip("emptyvalue.jar", &text), S_OK);
    EXPECT_EQ(text, L"");
}

// A task allocator that has no memory.
class EmptyAllocator : public IMalloc {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(void*) Alloc(SIZE_T) override {
        ++allocations;
        return nullptr;
    }
    STDMETHODIMP_(void*) Realloc(void*, SIZE_T) override { return nullptr; }
    STDMETHODIMP_(void) Free(void*) override {}
    STDMETHODIMP_(SIZE_T) GetSize(void*) override { return 0; }
    STDMETHODIMP_(int) DidAlloc(void*) override { return 0; }
    STDMETHODIMP_(void) HeapMinimize() override {}
    int allocations = 0;
};

TEST_F(InfoTipTest, AllocatorWithoutMemorySetsTheTipToNull) {
    ASSERT_TRUE(useLocale(0x0409));
    EmptyAllocator allocator;
    PWSTR out = reinterpret_cast<PWSTR>(0x1234);
    EXPECT_EQ(makeInfoTip(&allocator, widen(fixturePath("infotip/order.jar")).c_str(), &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(allocator.allocations, 1);
}

TEST_F(InfoTipTest, GetInfoFlagsIsNotImplemented) {
    IQueryInfo* info = nullptr;
    ASSERT_EQ(dll().createLoaded(fixturePath("infotip/order.jar"), IID_IQueryInfo, reinterpret_cast<void**>(&info)),
              S_OK);
    DWORD flags = 77;
    EXPECT_EQ(info->GetInfoFlags(&flags), E_NOTIMPL);
    EXPECT_EQ(flags, 77u);
    info->Release();
}

}  // namespace
