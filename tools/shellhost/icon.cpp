// shellhost icon JAR [--size LARGE,SMALL] [--out DIR]: the jar's icons as the
// shell gets them. The host calls IExtractIconA::GetIconLocation and Extract
// exactly as the shell does (large size in the low word, small in the high
// word), then tells for each icon which stage made it by comparing its pixels
// with what each stage can give: every entry of the jar's icon.ico at its own
// size (stage 1), the icon location in the configuration value DefaultIcon
// (stage 2), the DLL's icon group 1 at the asked size (stage 3). The first
// stage whose icon matches is named. While the debug log is on, the three
// stage lines the call appended are shown as well, which name the stages
// directly. With --out both icons are written as PNG files through WIC.
#include <windows.h>
#include <shellapi.h>
#include <wincodec.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Host.h"
#include "Picture.h"
#include "archive/ArchiveReader.h"
#include "diag/Config.h"
#include "icon/ArchiveIcons.h"
#include "icon/IconDirectory.h"
#include "icon/IconLocation.h"

namespace {

struct IconOptions {
    std::wstring jar;
    UINT large = 32;
    UINT small = 16;
    std::wstring outDir;
};

// An icon's colour pixels (the mask's, for a monochrome icon), for comparing.
struct Look {
    int width = 0;
    int height = 0;
    int bitmapDepth = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const Look& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

Look lookOf(HICON icon) {
    Look look;
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return look;
    HBITMAP source = info.hbmColor ? info.hbmColor : info.hbmMask;
    BITMAP bm = {};
    if (GetObject(source, sizeof(bm), &bm)) {
        look.width = bm.bmWidth;
        look.height = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
        look.bitmapDepth = bm.bmBitsPixel * bm.bmPlanes;
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        look.pixels.resize(size_t(bm.bmWidth) * size_t(bm.bmHeight));
        HDC dc = GetDC(nullptr);
        if (GetDIBits(dc, source, 0, UINT(bm.bmHeight), look.pixels.data(), &bi, DIB_RGB_COLORS) != bm.bmHeight)
            look.pixels.clear();
        ReleaseDC(nullptr, dc);
        for (uint32_t& p : look.pixels) p &= 0x00FFFFFF;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return look;
}

struct Candidate {
    std::wstring stage;  // what made it, for the report
    Look look;
};

// Stage 1 can give any entry of the jar's icon.ico, each at its own size.
void addArchiveCandidates(const std::wstring& jar, std::vector<Candidate>* out) {
    MetadataMember member(jar.c_str(), MEMBER_ICON);
    IconDirectory directory;
    if (!member.present() || !checkIconDirectory(member.data(), member.length(), &directory)) return;
    for (uint32_t i = 0; i < directory.count; ++i) {
        IconImage image;
        IconEntry entry;
        if (!readIconEntry(directory, i, &entry) ||
            !locateIconImage(member.data(), member.length(), int(i), &image))
            continue;
        // Each entry made the way the handler makes it, at the image's own size.
        HICON icon = createIconFromImage(image);
        if (!icon) continue;
        Candidate c = {L"", lookOf(icon)};
        DestroyIcon(icon);
        wchar_t text[96];
        swprintf(text, 96, L"stage 1, the jar's icon.ico entry %u (%dx%d, %u bpp)", i, c.look.width, c.look.height,
                 entry.depth);
        c.stage = text;
        out->push_back(c);
    }
}

// Stage 2 gives the configured location's icons at the system's sizes. It
// asks for the missing ones only, and a system may pick another image for a
// small icon asked alone, so each way of asking gives candidates.
void addConfiguredCandidates(std::vector<Candidate>* out) {
    CorePtr<char> configured(readConfigValue(CONFIG_DEFAULT_ICON));
    if (!configured) return;
    std::string location = configured.get();
    std::wstring stage = L"stage 2, DefaultIcon \"" + std::wstring(location.begin(), location.end()) + L"\"";
    int index = splitIconLocation(&location[0]);
    location.resize(strlen(location.c_str()));
    for (int ask = 1; ask <= 3; ++ask) {  // large, small, both
        HICON large = nullptr, small = nullptr;
        UINT got = ExtractIconExA(location.c_str(), index, ask & 1 ? &large : nullptr, ask & 2 ? &small : nullptr, 1);
        if (got == 0 || got == UINT(-1)) continue;  // the slots may hold stray values
        for (HICON icon : {large, small}) {
            if (!icon) continue;
            out->push_back({stage, lookOf(icon)});
            DestroyIcon(icon);
        }
    }
}

// Without icon.ico, stage 1 gives the PNG a mod's descriptor names, scaled
// to each asked size, as the handler's own code makes it.
void addDescriptorCandidates(const std::wstring& jar, UINT large, UINT small, std::vector<Candidate>* out) {
    HICON icons[2] = {nullptr, nullptr};
    loadArchiveIcons(jar.c_str(), small, small, large, large, 32, &icons[0], &icons[1]);
    for (HICON icon : icons) {
        if (!icon) continue;
        out->push_back({L"stage 1, the mod descriptor's PNG, scaled", lookOf(icon)});
        DestroyIcon(icon);
    }
}

// Stage 3 gives the module's icon group 1 at the asked size.
void addModuleCandidate(HMODULE module, UINT size, std::vector<Candidate>* out) {
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, int(size), int(size), 0));
    if (!icon) return;
    out->push_back({L"stage 3, Morvane.dll's icon group 1", lookOf(icon)});
    DestroyIcon(icon);
}

std::wstring stageOf(const Look& look, const std::vector<Candidate>& candidates) {
    for (const Candidate& c : candidates)
        if (!look.pixels.empty() && c.look == look) return c.stage;
    return L"no stage's icon matches";
}

bool savePng(HICON icon, const std::wstring& path) {
    return writePngFile(path, [icon](IWICImagingFactory* factory, IWICBitmap** bitmap) {
        return factory->CreateBitmapFromHICON(icon, bitmap);
    });
}

std::wstring baseName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

long fileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path, GetFileExInfoStandard, &data) ? long(data.nFileSizeLow) : -1;
}

// The log lines that the call appended, message field only.
std::vector<std::string> appendedStageLines(long before) {
    std::vector<std::string> lines;
    FILE* f = fopen(LOG_FILE_PATH, "rb");
    if (!f) return lines;
    fseek(f, before < 0 ? 0 : before, SEEK_SET);
    char line[2048];
    while (fgets(line, sizeof(line), f)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::string message = text.substr(text.rfind('\t') + 1);
        if (message.rfind("IExtractIcon::Extract.", 0) == 0) lines.push_back(message);
    }
    fclose(f);
    return lines;
}

bool parseOptions(const std::vector<std::wstring>& args, IconOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--size" && i + 1 < args.size()) {
            unsigned large = 0, small = 0;
            wchar_t end = 0;
            if (swscanf(args[++i].c_str(), L"%u,%u%lc", &large, &small, &end) != 2 || large > 0xFFFF ||
                small > 0xFFFF)
                return false;
            o->large = large;
            o->small = small;
        } else if (args[i] == L"--out" && i + 1 < args.size()) {
            o->outDir = toWindowsPath(args[++i]);
        } else if (o->jar.empty() && args[i][0] != L'-') {
            o->jar = toWindowsPath(args[i]);
        } else {
            return false;
        }
    }
    return !o->jar.empty();
}

int runIcon(Host& host, const std::vector<std::wstring>& args) {
    IconOptions o;
    if (!parseOptions(args, &o)) return failUsage(L"icon takes JAR [--size LARGE,SMALL] [--out DIR]");
    ComPtr<IExtractIconA> extract;
    if (FAILED(host.createLoaded(o.jar, IID_IExtractIconA, outPtr(extract)))) return 1;

    char file[MAX_PATH] = "";
    int index = 0;
    UINT flags = 0;
    HRESULT located = extract->GetIconLocation(GIL_FORSHELL, file, MAX_PATH, &index, &flags);
    long logBefore = fileSize(LOG_FILE_PATH);
    HICON large = nullptr, small = nullptr;
    HRESULT hr = extract->Extract(file, UINT(index), &large, &small, MAKELONG(o.large, o.small));
    extract.reset();

    wprintf(L"%ls\n", o.jar.c_str());
    wprintf(L"  GetIconLocation: %ls, flags 0x%X\n", hresultText(located).c_str(), flags);
    wprintf(L"  Extract(large %u, small %u): %ls\n", o.large, o.small, hresultText(hr).c_str());

    std::vector<Candidate> candidates;
    addArchiveCandidates(o.jar, &candidates);
    if (candidates.empty()) addDescriptorCandidates(o.jar, o.large, o.small, &candidates);
    addConfiguredCandidates(&candidates);
    HMODULE module = GetModuleHandleW(L"Morvane.dll");
    const struct {
        const wchar_t* name;
        HICON icon;
        UINT asked;
    } icons[] = {{L"large", large, o.large}, {L"small", small, o.small}};
    int status = 0;
    for (const auto& icon : icons) {
        if (!icon.icon) {
            wprintf(L"  %-5ls  none\n", icon.name);
            status = 1;
            continue;
        }
        std::vector<Candidate> withModule = candidates;
        addModuleCandidate(module, icon.asked, &withModule);
        Look look = lookOf(icon.icon);
        wprintf(L"  %-5ls  %dx%d, bitmap %d bpp: %ls\n", icon.name, look.width, look.height, look.bitmapDepth,
                stageOf(look, withModule).c_str());
        if (!o.outDir.empty()) {
            CreateDirectoryW(o.outDir.c_str(), nullptr);
            std::wstring path = o.outDir + L"\\" + baseName(o.jar) + L"-" + icon.name + L".png";
            if (savePng(icon.icon, path)) {
                wprintf(L"         written to %ls\n", path.c_str());
            } else {
                wprintf(L"         could not write %ls\n", path.c_str());
                status = 1;
            }
        }
        DestroyIcon(icon.icon);
    }
    std::vector<std::string> lines = appendedStageLines(logBefore);
    if (!lines.empty()) wprintf(L"  the debug log's lines of this call:\n");
    for (const std::string& line : lines) wprintf(L"    %hs\n", line.c_str());
    return status;
}

CommandRegistrar registrar({L"icon", L"JAR [--size L,S] [--out DIR]",
                            L"the two icons (default sizes 32,16), each with the stage that made it, told by "
                            L"comparing its pixels with each stage's icons; DIR gets them as PNG files",
                            runIcon});

}  // namespace
