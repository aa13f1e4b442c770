// Jars without shell-meta-inf members show what their manifest, OSGi
// translations, pom or module descriptor say, in the tooltip and on the
// Version page, through the DLL's own class as the shell asks for them; a
// jar's shell-meta-inf members stay first, and "standardMetadata" = "0"
// switches the standard metadata off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/IconTestSupport.h"
#include "win/VersionTestSupport.h"
#include "win/WinTestSupport.h"

namespace {

std::string metadataJar(const char* name) { return fixturePath(std::string("metadata/") + name); }

// The tooltip under a thread locale, as UTF-8; "(none)" without one.
std::string tooltipOf(const std::string& jar, LCID locale) {
    LCID saved = GetThreadLocale();
    SetThreadLocale(locale);
    IQueryInfo* info = nullptr;
    std::string text = "(no object)";
    if (dll().createLoaded(jar, IID_IQueryInfo, reinterpret_cast<void**>(&info)) == S_OK) {
        PWSTR tip = nullptr;
        text = info->GetInfoTip(0, &tip) == S_OK && tip ? narrow(tip) : "(none)";
        CoTaskMemFree(tip);
        info->Release();
    }
    SetThreadLocale(saved);
    return text;
}

std::string pageOf(const std::string& jar, LCID locale) {
    LCID saved = GetThreadLocale();
    SetThreadLocale(locale);
    auto page = versionPageOf(widen(jar));
    SetThreadLocale(saved);
    if (!page) return "(no page)";
    std::string shown = narrow(page->fileVersion) + " | " + narrow(page->description) + " | " + narrow(page->copyright);
    for (const std::wstring& item : page->items) shown += " | " + narrow(item);
    return shown;
}

constexpr LCID kAustrian = 0x0C07, kAmerican = 0x0409;

class MetadataTest : public ::testing::Test {
protected:
    void SetUp() override { deleteConfigValue(CONFIG_STANDARD_METADATA_NAME); }
    void TearDown() override { deleteConfigValue(CONFIG_STANDARD_METADATA_NAME); }
    static constexpr const char* CONFIG_STANDARD_METADATA_NAME = "standardMetadata";
    OleApartment apartment;
};

TEST_F(MetadataTest, JarsThatNameThemselvesShowATooltipAndAPage) {
    struct Row {
        const char* jar;
        LCID locale;
        const char* tooltip;
        const char* page;  // file version | description | copyright | the list's names
    } rows[] = {
        {"osgi-bundle.jar", kAustrian,
         "Beispielwerkzeug (\xc3\x96sterreich) 1.2.3.v20260101\r\nZeigt, wie \xc3\xbc" "bersetzt wird\r\nExample Org",
         "1.2.3.v20260101 | Beispielwerkzeug (\xc3\x96sterreich) | (c) Example | Manifest-Version | Bundle-ManifestVersion"
         " | Bundle-SymbolicName | Bundle-Name | Bundle-Vendor | Bundle-Version | Bundle-Description | Bundle-Copyright"
         " | Bundle-Localization"},
        {"osgi-bundle.jar", kAmerican, "Example Tool 1.2.3.v20260101\r\nShows howa bundle is translated\r\nExample Org",
         nullptr},
        {"tool-all-2.0.jar", kAmerican, "tool-all 2.0.1\r\nExample Org",
         "2.0.1 | tool-all | Example Org | Manifest-Version | Created-By | Implementation-Vendor | Maven"},
        {"module-only.jar", kAmerican, "org.example.mod 3.1",
         "3.1 | org.example.mod |  | Manifest-Version | Created-By | Module"},
        {"shell.jar", kAmerican, "Shell description", "1.0 |  |  | Version"},
        {"minimal.jar", kAmerican, "(none)", "(no page)"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(tooltipOf(metadataJar(row.jar), row.locale), row.tooltip) << row.jar;
        if (row.page) EXPECT_EQ(pageOf(metadataJar(row.jar), row.locale), row.page) << row.jar;
    }
}

// One jar per mod and plugin family: the descriptor speaks before the manifest.
TEST_F(MetadataTest, ModsAndPluginsShowTheirDescriptor) {
    const struct {
        const char* jar;
        const char* tooltip;
    } rows[] = {
        {"sodium-fabric.jar", "Sodium 0.5.8\r\nA modern rendering engine\r\nby JellySquid, IMS"},
        {"quilted.jar", "Quilted 2.1.0\r\nStitches\r\nby Alice, Bob"},
        {"neo.jar", "Neo Thing 3.0.7\r\nMulti-line  description\r\nby Carol, Dan"},
        {"forged.jar", "Forged 1.4\r\nHammered"},
        {"paper-thing.jar", "PaperThing 1.1\r\nFolded text\r\nby Eve, Frank"},
        {"bukkit-thing.jar", "BukkitThing 2.0\r\nby Grace"},
        {"bungee-thing.jar", "BungeeThing 0.9\r\nby Heidi"},
        {"velocity-thing.jar", "VeloThing 1.1.1\r\nProxies\r\nby Ivan"},
        {"idea-plugin.jar", "Idea Thing 7.2\r\nAdds things & more.\r\nExample Corp"},
        {"broken.jar", "Broken 1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(tooltipOf(fixturePath(std::string("mods/") + row.jar), kAmerican), row.tooltip) << row.jar;
    const struct {
        const char* jar;
        const char* page;
    } pages[] = {
        {"sodium-fabric.jar", "0.5.8 | Sodium |  | Family | Id | Version | Authors | Licence | Needs | Manifest-Version"},
        {"neo.jar", "3.0.7 | Neo Thing |  | Family | Id | Version | Authors | Licence | Manifest-Version"
                    " | Implementation-Version"},
        {"paper-thing.jar", "1.1 | PaperThing |  | Family | Version | Authors | Needs | Manifest-Version"},
        {"idea-plugin.jar", "7.2 | Idea Thing | Example Corp | Family | Id | Version | Needs | Manifest-Version"},
        {"quilted.jar", "2.1.0 | Quilted |  | Family | Id | Version | Authors | Manifest-Version"},
        {"forged.jar", "1.4 | Forged |  | Family | Id | Version | Licence | Manifest-Version"},
        {"bukkit-thing.jar", "2.0 | BukkitThing |  | Family | Version | Authors | Manifest-Version"},
        {"bungee-thing.jar", "0.9 | BungeeThing |  | Family | Version | Authors | Manifest-Version"},
        {"velocity-thing.jar", "1.1.1 | VeloThing |  | Family | Id | Version | Authors | Manifest-Version"},
    };
    for (const auto& row : pages)
        EXPECT_EQ(pageOf(fixturePath(std::string("mods/") + row.jar), kAmerican), row.page) << row.jar;
}

// A jar without icon.ico shows the PNG its descriptor names, scaled to the
// size asked for; a banner wider than 2:1 is not used and the module's own
// icon follows, as for any jar without an icon.
TEST_F(MetadataTest, ModsShowTheirDescriptorsIcon) {
    const COLORREF green = RGB(40, 160, 40), red = RGB(200, 60, 30);
    const struct {
        const char* jar;
        UINT size;
        COLORREF centre;  // CLR_INVALID: the module's icon
    } rows[] = {
        {"sodium-fabric.jar", 32, green}, {"sodium-fabric.jar", 16, green}, {"sodium-fabric.jar", 48, green},
        {"neo.jar", 32, red},             {"forged.jar", 32, CLR_INVALID},
    };
    for (const auto& row : rows) {
        ExtractResult r = extractThroughShell(fixturePath(std::string("mods/") + row.jar), MAKELONG(row.size, row.size));
        IconPixels got = readIconPixels(r.large.get());
        ASSERT_TRUE(got.valid) << row.jar << " " << row.size;
        EXPECT_EQ(got.width, int(row.size)) << row.jar;
        if (row.centre == CLR_INVALID) {
            EXPECT_TRUE(got == readIconPixels(loadModuleIconAt(int(row.size)).get())) << row.jar << ": the module's icon";
            continue;
        }
        COLORREF c = got.centre();
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((c >> shift) & 0xFF), int((row.centre >> shift) & 0xFF), 24) << row.jar << " " << row.size;
    }
}

TEST_F(MetadataTest, TheSwitchOffGivesOnlyWhatShellMembersGive) {
    setConfigString(CONFIG_STANDARD_METADATA_NAME, "0");
    EXPECT_EQ(tooltipOf(metadataJar("osgi-bundle.jar"), kAmerican), "(none)");
    EXPECT_EQ(pageOf(metadataJar("osgi-bundle.jar"), kAmerican), "(no page)");
    EXPECT_EQ(tooltipOf(metadataJar("shell.jar"), kAmerican), "Shell description");
    setConfigString(CONFIG_STANDARD_METADATA_NAME, "1");
    EXPECT_EQ(tooltipOf(metadataJar("tool-all-2.0.jar"), kAmerican), "tool-all 2.0.1\r\nExample Org");
}

}  // namespace
