// The little of the C++ runtime that Morvane.dll uses, for the ARM64 build:
// Zig links libc++ together with libunwind, whose functions are marked for
// export and would leave the DLL exporting the unwinder beside the four COM
// entry points. The DLL throws no exceptions and needs no unwinder, so it links
// without the C++ library (-nostdlib++) and takes these instead.
#include <cstdlib>
#include <new>

const std::nothrow_t std::nothrow{};

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}

void operator delete(void* p) noexcept {
  std::free(p);
}

// A pure virtual function called through a half-built or destroyed object:
// nothing sensible can follow, so the process ends at once, as the C++
// runtime's own handler does.
extern "C" void __cxa_pure_virtual() {
  std::abort();
}
