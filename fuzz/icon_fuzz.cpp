// Arbitrary bytes as the archive's icon member: the directory check, the entry
// choice for several sizes and depths, the image location and the creation
// plan must never read outside the member, and their results must hold
// together. The same bytes as text also go through the icon location split.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icon/IconDirectory.h"
#include "icon/IconLocation.h"

namespace {

const uint32_t kSizes[] = {0, 16, 24, 32, 48, 64, 256, 65535};
const uint32_t kDepths[] = {24, 32};

void check(bool condition) {
    if (!condition) abort();
}

void fuzzDirectory(const uint8_t* data, uint32_t length) {
    IconDirectory directory;
    if (!checkIconDirectory(data, length, &directory)) return;
    check(directory.count >= 1 && directory.data == data && directory.length == length);
    for (uint32_t size : kSizes) {
        for (uint32_t depth : kDepths) {
            int index = chooseIconEntry(directory, size, depth);
            check(index >= 0 && uint32_t(index) < directory.count);
            IconImage image;
            if (!locateIconImage(data, length, index, &image)) continue;
            check(image.bits >= data && uint64_t(image.bits - data) + image.size <= length);
            IconCreation plan;
            // Refused: too short for a bitmap header, or claiming more than its bytes.
            if (!planIconCreation(image, &plan)) continue;
            check(image.size >= kBitmapInfoHeaderSize);
            check(plan.desiredWidth >= 0 && plan.desiredWidth <= kMaxIconSide);
            check(plan.desiredHeight >= 0 && plan.desiredHeight <= kMaxIconSide);
            check((plan.desiredWidth == 0) == (plan.desiredHeight == 0));
            // Touch the whole range the platform would be handed.
            volatile uint8_t sum = 0;
            for (uint32_t i = 0; i < image.size; ++i) sum = sum + image.bits[i];
        }
    }
}

void fuzzLocation(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    size_t before = strlen(text.data());
    splitIconLocation(text.data());
    check(strlen(text.data()) <= before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    fuzzDirectory(data, uint32_t(size));
    fuzzLocation(data, size);
    return 0;
}
