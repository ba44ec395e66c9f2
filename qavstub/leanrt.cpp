// Small replacements for the pieces of the C++ runtime that the standard
// containers reference, so that the stub does not pull in the exception and
// iostream machinery (tens of kilobytes it cannot afford).
#include <windows.h>

#include <cstddef>
#include <new>

namespace {
[[noreturn]] void die() {
  // Out of memory or a broken invariant: nothing sensible is left to do.
  ExitProcess(3);
}
}  // namespace

void* operator new(std::size_t n) {
  void* p = HeapAlloc(GetProcessHeap(), 0, n ? n : 1);
  if (!p) die();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, n ? n : 1);
}
void operator delete(void* p) noexcept {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace std {
void __throw_bad_alloc() { die(); }
void __throw_bad_array_new_length() { die(); }
void __throw_length_error(const char*) { die(); }
void __throw_logic_error(const char*) { die(); }
void __throw_out_of_range(const char*) { die(); }
void __throw_out_of_range_fmt(const char*, ...) { die(); }
void __throw_invalid_argument(const char*) { die(); }
void __throw_bad_function_call() { die(); }
}  // namespace std

extern "C" void __cxa_pure_virtual() { die(); }
