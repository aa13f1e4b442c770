// The icon: the entries of the jar's icon file and the entry the extension's
// own rule picks for each size and colour depth the shell asks for.
#include <cstdio>
#include <map>
#include <filesystem>
#include <fstream>

#include "Report.h"
#include "metadata/JarMetadata.h"
#include "icon/PngLayout.h"
#include "icon/IconDirectory.h"

namespace {

// The sizes the shell asks for, and what for.
const struct {
    uint32_t size;
    const char* use;
} kRequests[] = {
    {16, "small, 100 %"}, {20, "small, 125 %"},         {24, "small, 150 %"},
    {32, "large, 100 %; small, 200 %"},                  {40, "large, 125 %"},
    {48, "large, 150 %; medium icons"},                  {64, "large, 200 %"},
    {256, "extra large icons"},
};
// The depth each Windows asks the extension's own rule for.
const struct {
    const char* windows;
    uint32_t major, minor;
} kWindows[] = {{"Windows XP to 11", 5, 1}, {"Windows 2000", 5, 0}};

struct EntryFacts {
    IconEntry entry;
    IconImage image;
    bool located;
    bool usable;  // the extension makes an icon of it
    bool png;
    int32_t width;
    int32_t height;
};

std::string sizeText(int32_t width, int32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

EntryFacts factsOf(const IconDirectory& directory, uint32_t index) {
    EntryFacts f = {};
    readIconEntry(directory, index, &f.entry);
    f.located = locateIconImage(directory.data, directory.length, int(index), &f.image);
    IconCreation plan;
    f.usable = f.located && planIconCreation(f.image, &plan);
    f.png = f.located && isPngImage(f.image);
    if (!f.located || !iconImageSize(f.image, &f.width, &f.height)) f.width = f.height = 0;
    return f;
}

// The entry as an icon file of its own, which any icon viewer opens.
bool writeSingleIcon(const std::string& path, const EntryFacts& f) {
    std::string file;
    auto put16 = [&file](uint32_t v) { file += char(v & 0xFF), file += char((v >> 8) & 0xFF); };
    put16(0), put16(kIconFileTypeIcon), put16(1);
    file += char(f.entry.width), file += char(f.entry.height), file += char(f.entry.colourCount), file += '\0';
    put16(f.entry.planes), put16(f.entry.bitCount);
    put16(f.image.size), put16(f.image.size >> 16);
    put16(kIconHeaderSize + kIconEntrySize), put16(0);
    file.append(reinterpret_cast<const char*>(f.image.bits), f.image.size);
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    return bool(out.write(file.data(), std::streamsize(file.size())));
}

// Writes a chosen entry once into the folder and names the file in its row.
void extract(const Jar& jar, const std::string& folder, const EntryFacts& f, Json& row) {
    if (!f.usable || row.contains("file")) return;
    std::error_code error;
    std::filesystem::path dir = std::filesystem::u8path(folder);
    std::filesystem::create_directories(dir, error);
    std::string name = jar.baseName + "-entry" + row["entry"].dump() + ".ico";
    std::string path = (dir / std::filesystem::u8path(name)).u8string();
    row["file"] = writeSingleIcon(path, f) ? Json(path) : Json(nullptr);
}

// A mod's descriptor's PNG icons, and the one each request gets, as the
// extension picks and bounds them; --extract-icons writes the chosen PNGs.
void inspectDescriptorIcon(const Jar& jar, const Options& options, Json& section) {
    OpenJar open(jar.path.c_str());
    CorePtr<char> fileName(jarFileNameOf(jar.path.c_str()));
    JarMetadata metadata;
    if (!open.ready() || !open.reader().readMetadata({fileName.get(), nullptr, kMetadataForTooltip}, &metadata))
        return;
    const ModDescriptor& d = metadata.descriptor();
    if (d.iconCount == 0) return;
    Json icons = Json::array();
    std::map<std::string, std::string> bytesOf;
    for (size_t i = 0; i < d.iconCount; ++i) {
        MemberBuffer png = {0, nullptr};
        int status = readArchiveMemberFrom(open.source(), d.iconPaths[i], &png);
        Json row = {{"member", d.iconPaths[i]}, {"width", d.iconWidths[i] ? Json(d.iconWidths[i]) : Json(nullptr)}};
        uint32_t w = 0, h = 0;
        bool read = status == kMemberRead;
        row["bytes"] = read ? Json(png.length) : Json(nullptr);
        bool sized = read && pngDimensions(png.data, png.length, &w, &h);
        row["image"] = sized ? Json(sizeText(int32_t(w), int32_t(h))) : Json(nullptr);
        PngIconLayout layout;
        row["usable"] = sized && planPngIcon(png.length, w, h, 32, 32, &layout);
        if (row["usable"].get<bool>()) bytesOf[d.iconPaths[i]] = std::string(png.data, png.length);
        if (status < kArchiveUnusable) freeArchiveMember(&png);
        icons.push_back(row);
    }
    Json requests = Json::array();
    for (const auto& request : kRequests) {
        const char* member = modIconFor(d, request.size);
        // An image the extension does not use gives stage 1 nothing.
        if (member && !bytesOf.count(member)) member = nullptr;
        Json row = {{"size", request.size}, {"use", request.use}, {"member", member ? Json(member) : Json(nullptr)}};
        if (member && !options.extractDir.empty() && bytesOf.count(member)) {
            std::error_code error;
            std::filesystem::path dir = std::filesystem::u8path(options.extractDir);
            std::filesystem::create_directories(dir, error);
            std::string path = (dir / std::filesystem::u8path(jar.baseName + "-" + std::to_string(request.size) +
                                                                ".png")).u8string();
            FILE* out = std::fopen(path.c_str(), "wb");
            const std::string& bytes = bytesOf[member];
            bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
            if (out) std::fclose(out);
            row["file"] = written ? Json(path) : Json(nullptr);
        }
        requests.push_back(row);
    }
    section["descriptorIcon"] = {{"icons", icons}, {"requests", requests}};
}

void checkEntries(const std::vector<EntryFacts>& facts, const Json& requests, Json& report) {
    auto where = [](size_t i) { return std::string(MEMBER_ICON) + " entry " + std::to_string(i); };
    for (uint32_t wanted : {16u, 32u}) {
        bool has = false;
        for (const EntryFacts& f : facts) has = has || f.entry.width == wanted;
        if (has) continue;
        std::string why = "Windows does not scale icons";
        for (const Json& r : requests)
            if (r["size"] == wanted && r["depth"] == wantedColourDepth(kWindows[0].major, kWindows[0].minor) && !r["shownAs"].is_null())
                why = "a " + std::to_string(wanted) + "-pixel request gets entry " + r["entry"].dump() +
                      ", shown at " + r["shownAs"].get<std::string>() + ": Windows does not scale it";
        addProblem(report, MEMBER_ICON, "has no " + sizeText(wanted, wanted) + " entry", why);
    }
    for (size_t i = 0; i < facts.size(); ++i) {
        const EntryFacts& f = facts[i];
        if (!f.usable) {
            addProblem(report, where(i),
                       f.located ? "is too short to hold an image" : "has an image outside the icon file",
                       "a size that picks this entry gets no icon from the jar");
            continue;
        }
        bool bitmapBeside = false;
        for (const EntryFacts& other : facts) bitmapBeside = bitmapBeside || (!other.png && other.entry.width == f.entry.width);
        if (f.png && !bitmapBeside)
            addProblem(report, where(i), "is PNG only (" + sizeText(f.width, f.height) + ")",
                       "it is shown at its own size, and Windows XP cannot draw it: add a bitmap entry of this size");
        if (f.entry.width != 0 && f.width != 0 && f.width != f.entry.width)
            addProblem(report, where(i),
                       "says it is " + std::to_string(f.entry.width) + " pixels wide, but its image is " +
                           sizeText(f.width, f.height),
                       "it is picked as " + std::to_string(f.entry.width) + " and shown at its image's size");
    }
}

}  // namespace

void inspectIcon(const Jar& jar, const Options& options, Json& report) {
    Json section = Json::object();
    JarMember member(jar, MEMBER_ICON, section, report);
    IconDirectory directory;
    if (member.present() && !checkIconDirectory(member.data(), member.length(), &directory)) {
        section["iconFile"] = false;
        addProblem(report, MEMBER_ICON, "is not an icon file the extension accepts",
                   "it needs type 1, at least one entry and room for every entry: the jar shows no icon of its own");
    } else if (member.present()) {
        std::vector<EntryFacts> facts;
        Json entries = Json::array();
        for (uint32_t i = 0; i < directory.count; ++i) {
            facts.push_back(factsOf(directory, i));
            const EntryFacts& f = facts.back();
            entries.push_back({{"entry", i}, {"width", f.entry.width}, {"height", f.entry.height},
                               {"depth", f.entry.depth}, {"format", f.png ? "PNG" : "bitmap"},
                               {"bytes", f.entry.imageSize}, {"usable", f.usable},
                               {"shownAs", f.usable && f.width ? Json(sizeText(f.width, f.height)) : Json(nullptr)}});
        }
        Json requests = Json::array();
        for (const auto& request : kRequests)
            for (const auto& windows : kWindows) {
                uint32_t depth = wantedColourDepth(windows.major, windows.minor);
                int chosen = chooseIconEntry(directory, request.size, depth);
                Json row = {{"size", request.size}, {"use", request.use}, {"depth", depth},
                            {"windows", windows.windows}, {"entry", chosen}};
                row["shownAs"] = chosen >= 0 ? entries[size_t(chosen)]["shownAs"] : Json(nullptr);
                requests.push_back(row);
                if (chosen >= 0 && !options.extractDir.empty())
                    extract(jar, options.extractDir, facts[size_t(chosen)], entries[size_t(chosen)]);
            }
        section["entries"] = entries;
        section["requests"] = requests;
        checkEntries(facts, requests, report);
    } else {
        inspectDescriptorIcon(jar, options, section);
    }
    report["icon"] = section;
}
