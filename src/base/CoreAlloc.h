#pragma once
// Every allocation of the core goes through these functions, so that a test can
// make the Nth allocation fail and check that each parser then returns its
// failure result and leaks nothing.
#include <cstddef>

void* coreAlloc(size_t size);
void* coreRealloc(void* block, size_t size);
void coreFree(void* block);

// Allocates count elements of T (null on overflow or failure).
template <typename T>
T* coreAllocArray(size_t count) {
    if (count > static_cast<size_t>(-1) / sizeof(T)) return nullptr;
    return static_cast<T*>(coreAlloc(count * sizeof(T)));
}

// Test hook: the allocation that is the failAfter-th from now (1 = the next one)
// fails; 0 switches failure injection off. allocationCount() counts every call
// of coreAlloc/coreRealloc since the last armAllocationFailure().
void armAllocationFailure(long failAfter);
long allocationCount();
