#include "base/CoreAlloc.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long> g_failAfter{0};
std::atomic<long> g_calls{0};

bool injectedFailure() {
    long n = g_calls.fetch_add(1) + 1;
    long failAt = g_failAfter.load();
    return failAt != 0 && n == failAt;
}
}  // namespace

void* coreAlloc(size_t size) {
    if (injectedFailure()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* coreRealloc(void* block, size_t size) {
    if (injectedFailure()) return nullptr;
    return std::realloc(block, size == 0 ? 1 : size);
}

void coreFree(void* block) { std::free(block); }

void armAllocationFailure(long failAfter) {
    g_calls.store(0);
    g_failAfter.store(failAfter);
}

long allocationCount() { return g_calls.load(); }
