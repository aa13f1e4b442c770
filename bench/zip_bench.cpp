// Reading one member of a jar the way the shell extension does (open the file
// afresh, read the member, close), side by side with libzip and minizip.
//
// The jars are made at start-up by python's zipfile in a temporary folder:
// 10, 1,000, 20,000 and 100,000 entries (the last one is a zip64 archive: more
// than 65,535 entries), each in two layouts, with the shell's members first or
// last in the central directory. The members read are the icon (10 KB,
// deflated) and the description (a few lines).
//
//   bench_zip [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"

namespace {

const int kEntryCounts[] = {10, 1000, 20000, 100000};

const char* const kMakeJars = R"PY(
import random, sys, zipfile
folder, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(count)
rows = bytes(rng.randrange(0, 16) * 16 for _ in range(64))
icon = bytearray(b"\0\0\1\0\2\0")
while len(icon) < 10240:
    icon += rows if rng.random() < 0.7 else bytes(rng.randrange(256) for _ in range(64))
shell = [("shell-meta-inf/icons/icon.ico", bytes(icon[:10240])),
         ("shell-meta-inf/description", b"default=A benchmark jar\nde=Ein Jar zum Messen\n")]
classes = [("com/example/app/module%03d/Class%06d.class" % (i % 997, i), b"\xca\xfe\xba\xbe" + bytes(28))
           for i in range(count - len(shell))]
for layout, entries in (("first", shell + classes), ("last", classes + shell)):
    with zipfile.ZipFile("%s/jar-%d-%s.jar" % (folder, count, layout), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
)PY";

std::string g_folder;

std::string jarPath(int entries, const char* layout) {
    return g_folder + "/jar-" + std::to_string(entries) + "-" + layout + ".jar";
}

// Each reader returns the member's length, or -1; the bytes go into a buffer
// with a NUL after them, as the shell extension's callers get them.

long readMorvane(const std::string& path, const char* name, std::string* copy) {
    MemberBuffer buffer;
    if (readArchiveMember(path.c_str(), name, &buffer) != 1) return -1;
    long length = buffer.length;
    if (copy) copy->assign(buffer.data, buffer.length);
    freeArchiveMember(&buffer);
    return length;
}

long readLibzip(const std::string& path, const char* name, std::string* copy) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) return -1;
    long length = -1;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive, name, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE)) {
        zip_file_t* file = zip_fopen(archive, name, 0);
        if (file) {
            char* data = static_cast<char*>(std::malloc(stat.size + 1));
            if (data && zip_fread(file, data, stat.size) == static_cast<zip_int64_t>(stat.size)) {
                data[stat.size] = '\0';
                length = static_cast<long>(stat.size);
                if (copy) copy->assign(data, stat.size);
            }
            std::free(data);
            zip_fclose(file);
        }
    }
    zip_close(archive);
    return length;
}

long readMinizip(const std::string& path, const char* name, std::string* copy) {
    unzFile archive = unzOpen64(path.c_str());
    if (!archive) return -1;
    long length = -1;
    unz_file_info64 info;
    if (unzLocateFile(archive, name, 1) == UNZ_OK &&
        unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK &&
        unzOpenCurrentFile(archive) == UNZ_OK) {
        char* data = static_cast<char*>(std::malloc(info.uncompressed_size + 1));
        if (data && unzReadCurrentFile(archive, data, static_cast<unsigned>(info.uncompressed_size)) ==
                        static_cast<int>(info.uncompressed_size)) {
            data[info.uncompressed_size] = '\0';
            length = static_cast<long>(info.uncompressed_size);
            if (copy) copy->assign(data, info.uncompressed_size);
        }
        std::free(data);
        unzCloseCurrentFile(archive);
    }
    unzClose(archive);
    return length;
}

using Reader = long (*)(const std::string&, const char*, std::string*);

void runRead(benchmark::State& state, Reader reader, std::string path, const char* name) {
    for (auto _ : state) {
        long length = reader(path, name, nullptr);
        if (length < 0) {
            state.SkipWithError("member not read");
            break;
        }
        benchmark::DoNotOptimize(length);
    }
}

bool makeJars() {
    char templ[] = "/tmp/zip_bench_XXXXXX";
    if (!mkdtemp(templ)) return false;
    g_folder = templ;
    std::string script = g_folder + "/make_jars.py";
    FILE* f = std::fopen(script.c_str(), "w");
    if (!f) return false;
    std::fputs(kMakeJars, f);
    std::fclose(f);
    for (int count : kEntryCounts) {
        std::string command = "python3 " + script + " " + g_folder + " " + std::to_string(count);
        if (std::system(command.c_str()) != 0) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!makeJars()) {
        std::fprintf(stderr, "could not make the benchmark jars\n");
        return 1;
    }
    struct Peer {
        const char* name;
        Reader read;
    } const peers[] = {{"morvane", readMorvane}, {"libzip", readLibzip}, {"minizip", readMinizip}};
    const char* const members[] = {MEMBER_ICON, MEMBER_DESCRIPTION};
    int status = 0;
    for (int count : kEntryCounts)
        for (const char* layout : {"first", "last"})
            for (const char* member : members) {
                // All three readers must agree on the bytes before their speed counts.
                std::string path = jarPath(count, layout), expected, got;
                readMinizip(path, member, &expected);
                for (const Peer& peer : peers) {
                    if (peer.read(path, member, &got) < 0 || got != expected) {
                        std::fprintf(stderr, "%s disagrees on %s in %s\n", peer.name, member, path.c_str());
                        status = 1;
                    }
                    std::string label = std::string(std::strrchr(member, '/') + 1) + "/" + std::to_string(count) +
                                        "/" + layout + "/" + peer.name;
                    benchmark::RegisterBenchmark(label.c_str(), runRead, peer.read, path, member)
                        ->Unit(benchmark::kMicrosecond);
                }
            }
    if (status == 0) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + g_folder + "'").c_str());
    return status;
}
