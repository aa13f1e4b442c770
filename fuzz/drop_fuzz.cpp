// The dropped-files block as any drag source may deliver it: finding the name
// list must stay inside the block, and the parameter string built from the
// names must give exactly those names back to a program that splits its
// command line the usual Windows way (names holding a double quote aside,
// which no file name can).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/CoreAlloc.h"
#include "launch/LaunchParameters.h"
#include "text/TextConvert.h"

namespace {

template <typename C>
std::vector<std::basic_string<C>> splitArguments(const C* line) {
    std::vector<std::basic_string<C>> args;
    std::basic_string<C> current;
    bool inQuotes = false, inArg = false;
    size_t backslashes = 0;
    for (; *line; ++line) {
        C c = *line;
        if (c == '\\') {
            ++backslashes;
            inArg = true;
            continue;
        }
        if (c == '"') {
            current.append(backslashes / 2, C('\\'));
            if (backslashes % 2)
                current += c;
            else
                inQuotes = !inQuotes;
            backslashes = 0;
            inArg = true;
            continue;
        }
        current.append(backslashes, C('\\'));
        backslashes = 0;
        if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inArg) args.push_back(current);
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    current.append(backslashes, C('\\'));
    if (inArg) args.push_back(current);
    return args;
}

template <typename C>
void checkRoundTrip(const C* names, C* quoted) {
    if (!quoted) abort();
    std::vector<std::basic_string<C>> dropped;
    bool representable = true;
    for (const C* n = names; *n;) {
        std::basic_string<C> name(n);
        // Blanks at a name's ends or a quote in it cannot survive any quoting.
        for (C c : name)
            if (c == '"' || c == '\t') representable = false;
        dropped.push_back(name);
        n += name.size() + 1;
    }
    const C archive[] = {'C', ':', '\\', 't', '.', 'j', 'a', 'r', 0};
    C* parameters = buildLaunchParameters(nullptr, archive, quoted);
    if (!parameters) abort();
    if (representable) {
        auto args = splitArguments(parameters);
        if (args.size() != dropped.size() + 2) abort();
        for (size_t i = 0; i < dropped.size(); ++i)
            if (args[i + 2] != dropped[i]) abort();
    }
    coreFree(parameters);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the block's bytes, aligned as global memory is, so
    // that any read past its end is caught.
    void* block = aligned_alloc(16, size ? (size + 15) / 16 * 16 : 16);
    if (!block) return 0;
    memcpy(block, data, size);
    DroppedFiles drop;
    if (readDroppedFiles(block, size, &drop)) {
        if (drop.names) {
            char* quoted = quoteJoinList(drop.names);
            checkRoundTrip(drop.names, quoted);
            coreFree(quoted);
        }
        if (drop.namesW) {
            WChar* quoted = quoteJoinListW(drop.namesW);
            checkRoundTrip(drop.namesW, quoted);
            coreFree(quoted);
        }
    }
    free(block);
    return 0;
}
