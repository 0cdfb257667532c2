// Linked into the programs (not the control, not the tests): libstdc++'s helpers that throw its
// standard exceptions. The programs catch none of them, so such a throw has always ended the
// program through the terminate handler; these end it the same way at once, and leave out the
// exception classes and the copy-on-write strings they carry, a quarter of a small program.
#include <cstdlib>
#include <new>

namespace std {
[[noreturn]] void __throw_bad_exception() { std::abort(); }
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_bad_cast() { std::abort(); }
[[noreturn]] void __throw_bad_typeid() { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_domain_error(const char*) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_runtime_error(const char*) { std::abort(); }
[[noreturn]] void __throw_range_error(const char*) { std::abort(); }
[[noreturn]] void __throw_overflow_error(const char*) { std::abort(); }
[[noreturn]] void __throw_underflow_error(const char*) { std::abort(); }
}  // namespace std

// Nor does any program code throw: whatever would still throw (the standard library's own
// `throw bad_alloc()` in operator new, a rethrow in a container's clean-up) ends the program here,
// as its uncaught exception would have. Without these the library's exception allocator, its
// emergency pool and the thread library behind the pool's lock come along, some 30 KB.
extern "C" {
void* __cxa_allocate_exception(size_t) noexcept { std::abort(); }
void __cxa_free_exception(void*) noexcept { std::abort(); }
void* __cxa_allocate_dependent_exception() noexcept { std::abort(); }
void __cxa_free_dependent_exception(void*) noexcept { std::abort(); }
}

// With no exception ever in flight, the per-thread record of caught exceptions is always empty:
// one record for the process serves, without the emulated thread-local storage (and its thread
// library) that the standard library's own needs.
namespace {
struct CaughtExceptions {
  void* caught;
  unsigned int uncaught;
};
CaughtExceptions noneCaught;
}  // namespace

extern "C" {
void* __cxa_get_globals() noexcept { return &noneCaught; }
void* __cxa_get_globals_fast() noexcept { return &noneCaught; }
}
