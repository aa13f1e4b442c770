// The locale table that turns a thread's locale identifier into the name that
// picks a description line.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "text/LocaleNames.h"

namespace {

TEST(LocaleNameTable, HasEveryEntryOnceInAscendingOrder) {
    size_t count = 0;
    const LocaleName* table = localeNameTable(&count);
    ASSERT_EQ(count, 188u);
    size_t primaryOnly = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) { EXPECT_LT(table[i - 1].languageId, table[i].languageId) << i; }
        if (table[i].languageId <= 0x3FF) {
            ++primaryOnly;
            EXPECT_GE(table[i].languageId, 0x0001);
            EXPECT_LE(table[i].languageId, 0x003C);
        }
    }
    EXPECT_EQ(primaryOnly, 51u);
    EXPECT_EQ(table[0].languageId, 0x0001);
    EXPECT_EQ(table[count - 1].languageId, 0x500A);
}

// "ll", "ll_CC" or the one three-part name; every entry's language part is
// the two letters that its primary language's entry holds, when the table
// has one.
TEST(LocaleNameTable, NamesHaveTheirShape) {
    size_t count = 0;
    const LocaleName* table = localeNameTable(&count);
    std::map<uint16_t, std::string> primary;
    for (size_t i = 0; i < count; ++i)
        if (table[i].languageId <= 0x3FF) primary[table[i].languageId] = table[i].name;
    int threePart = 0;
    for (size_t i = 0; i < count; ++i) {
        std::string name = table[i].name;
        ASSERT_GE(name.size(), 2u) << i;
        EXPECT_TRUE(std::islower(name[0]) && std::islower(name[1])) << name;
        if (name.size() > 2) {
            ASSERT_GE(name.size(), 5u) << name;
            EXPECT_EQ(name[2], '_') << name;
            EXPECT_TRUE(std::isupper(name[3]) && std::isupper(name[4])) << name;
            if (name.size() > 5) ++threePart;
        }
        auto language = primary.find(table[i].languageId & 0x3FF);
        // Serbian and Croatian share a primary language under different codes.
        if (language != primary.end() && name.compare(0, 2, "hr") != 0 && name.compare(0, 2, "sr") != 0 &&
            name.compare(0, 2, "ga") != 0) {
            EXPECT_EQ(name.substr(0, 2), language->second) << std::hex << table[i].languageId;
        }
    }
    EXPECT_EQ(threePart, 1);
}

TEST(LocaleNameTable, SomeNamesRepeat) {
    size_t count = 0;
    const LocaleName* table = localeNameTable(&count);
    std::multiset<std::string> names;
    for (size_t i = 0; i < count; ++i) names.insert(table[i].name);
    for (const char* twice : {"ko_KR", "es_ES", "az_AZ", "uz_UZ"}) EXPECT_EQ(names.count(twice), 2u) << twice;
    EXPECT_EQ(names.count("en"), 2u);  // the language and 0x2409
}

TEST(FindLocaleName, Lookups) {
    struct Case {
        uint32_t localeId;
        const char* name;
    };
    const Case cases[] = {
        {0x0409, "en_US"},    {0x0807, "de_CH"}, {0x0814, "no_NO_NY"}, {0x0C09, "en_AU"},
        {0x4409, "en"},       {0x2409, "en"},    {0x040D, "iw_IL"},    {0x0421, "in_ID"},
        {0x0445, nullptr},    {0x00010407, "de_DE"}, {0x0001, "ar"},   {0x500A, "es_PR"},
        {0x0412, "ko_KR"},    {0x0812, "ko_KR"}, {0x0C0A, "es_ES"},    {0x0420, "ur"},
        {0x0444, "tt"},       {0x0844, nullptr},  {0x0000, nullptr},   {0xFFFF, nullptr},
        {0x003C, "gd"},       {0x083C, "ga_IE"}, {0x7C09, "en"},       {0x000F0C0C, "fr_CA"},
        {0xFFFF0409, "en_US"}, {0x0828, nullptr},
    };
    for (const Case& c : cases) {
        const char* name = findLocaleName(c.localeId);
        if (!c.name)
            EXPECT_EQ(name, nullptr) << std::hex << c.localeId;
        else
            EXPECT_STREQ(name, c.name) << std::hex << c.localeId;
    }
}

// Every entry is found by its own identifier, also with sort-order bits set.
TEST(FindLocaleName, FindsEveryEntry) {
    size_t count = 0;
    const LocaleName* table = localeNameTable(&count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(findLocaleName(table[i].languageId), table[i].name) << i;
        EXPECT_EQ(findLocaleName(0x00050000u | table[i].languageId), table[i].name) << i;
    }
}

TEST(FindLocaleByName, FirstEntryOfTheName) {
    const struct {
        const char* name;
        uint16_t languageId;
    } cases[] = {{"de_AT", 0x0C07}, {"ko_KR", 0x0412}, {"en", 0x0009}, {"no_NO_NY", 0x0814},
                 {"de-DE", 0},      {"DE_de", 0},      {"", 0},         {"no_NO_N", 0}};
    for (const auto& c : cases) {
        const LocaleName* entry = findLocaleByName(c.name);
        EXPECT_EQ(entry ? entry->languageId : 0, c.languageId) << c.name;
    }
    EXPECT_EQ(findLocaleByName(nullptr), nullptr);
}

}  // namespace
