// The Unicode entry point for the ARM64 build's console programs: Zig's
// linker does not take -municode, so its start-up code calls main, which
// hands the C runtime's wide-character arguments on to the program's wmain.
#include <cstdlib>

struct StartupInfo {
  int newmode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** envp, int glob, StartupInfo* info);
int wmain(int argc, wchar_t** argv);

int main() {
  int argc = 0;
  wchar_t** argv = nullptr;
  wchar_t** envp = nullptr;
  StartupInfo info{0};
  if (__wgetmainargs(&argc, &argv, &envp, 0, &info) != 0) return EXIT_FAILURE;
  return wmain(argc, argv);
}
