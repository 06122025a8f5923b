// Counting allocation functions, see allocation_counter.hpp.
//
// Under a sanitizer, whose runtime owns malloc and operator new, the runtime reports each
// allocation to a hook. Otherwise the C allocation functions are replaced by counting versions
// that forward to glibc's own entry points (__libc_malloc and friends). Every global operator new
// of libstdc++ allocates through malloc or aligned_alloc, so replacing those counts `new` too.
#include "support/allocation_counter.hpp"

#include <cerrno>
#include <cstdlib>

#include "support/sanitizer.hpp"

namespace {
thread_local std::size_t tCalls = 0;
}

#ifdef TOV_SANITIZER_ALLOCATOR

// From the sanitizer runtimes' allocator interface (g++ does not ship its header).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
namespace {
const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, std::size_t) { ++tCalls; }, [](const volatile void*) {});
}

std::size_t tov::test::allocationCalls() {
  if (gHooksInstalled == 0) std::abort();  // the runtime has no room for another hook
  return tCalls;
}

#else

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size) noexcept { return ++tCalls, __libc_malloc(size); }
void* calloc(std::size_t count, std::size_t size) noexcept {
  return ++tCalls, __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) noexcept {
  return ++tCalls, __libc_realloc(block, size);
}
void free(void* block) noexcept { __libc_free(block); }
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return ++tCalls, __libc_memalign(alignment, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
  return ++tCalls, __libc_memalign(alignment, size);
}
int posix_memalign(void** block, std::size_t alignment, std::size_t size) noexcept {
  ++tCalls;
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* aligned = __libc_memalign(alignment, size);
  if (aligned == nullptr) return ENOMEM;
  *block = aligned;
  return 0;
}
}  // extern "C"

std::size_t tov::test::allocationCalls() { return tCalls; }

#endif  // TOV_SANITIZER_ALLOCATOR
