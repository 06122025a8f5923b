// Counting allocation functions, see allocation_counter.hpp.
//
// Under a sanitizer, whose runtime owns malloc and operator new (and, linked statically as clang
// does, would collide with replacements), the runtime reports each allocation to a hook. Otherwise
// the C allocation functions are replaced and forward to the next definition in the lookup order
// (dlsym with RTLD_NEXT), the C library's. dlsym itself may allocate before the real functions are
// known; those few early requests are served from a static arena whose blocks free() recognises
// and ignores. operator new calls the real malloc directly, so one `new` counts once.
#include "support/allocation_counter.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOV_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TOV_SANITIZER_ALLOCATOR 1
#endif
#endif

#ifdef TOV_SANITIZER_ALLOCATOR

#include <cstddef>
#include <cstdlib>

// From the sanitizer runtimes' allocator interface (g++ does not ship its header).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

thread_local std::size_t tCalls = 0;

void onAllocate(const volatile void*, std::size_t) { ++tCalls; }
void onFree(const volatile void*) {}

const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocate, onFree);

}  // namespace

namespace tov::test {
std::size_t allocationCalls() {
  if (gHooksInstalled == 0) std::abort();  // the runtime has no room for another hook
  return tCalls;
}
}  // namespace tov::test

#else

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

thread_local std::size_t tCalls = 0;

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using FreeFn = void (*)(void*);
using AlignedAllocFn = void* (*)(std::size_t, std::size_t);
using PosixMemalignFn = int (*)(void**, std::size_t, std::size_t);

struct RealAllocator {
  MallocFn malloc;
  CallocFn calloc;
  ReallocFn realloc;
  FreeFn free;
  AlignedAllocFn alignedAlloc;
  AlignedAllocFn memalign;
  PosixMemalignFn posixMemalign;
};

// Early blocks for dlsym's own needs while the real allocator is being looked up.
alignas(std::max_align_t) unsigned char gArena[64 * 1024];
std::atomic<std::size_t> gArenaUsed{0};
thread_local bool tResolving = false;

bool inArena(const void* p) {
  const auto* byte = static_cast<const unsigned char*>(p);
  return byte >= gArena && byte < gArena + sizeof gArena;
}

void* arenaAllocate(std::size_t size) {
  const std::size_t rounded =
      (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  const std::size_t offset = gArenaUsed.fetch_add(rounded);
  if (offset + rounded > sizeof gArena) return nullptr;
  return gArena + offset;  // static storage: already zero, as calloc needs
}

template <class Fn>
Fn next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

const RealAllocator* real() {
  static std::atomic<const RealAllocator*> resolved{nullptr};
  if (const RealAllocator* known = resolved.load(std::memory_order_acquire)) return known;
  if (tResolving) return nullptr;
  tResolving = true;
  static RealAllocator functions;
  functions = RealAllocator{next<MallocFn>("malloc"),
                            next<CallocFn>("calloc"),
                            next<ReallocFn>("realloc"),
                            next<FreeFn>("free"),
                            next<AlignedAllocFn>("aligned_alloc"),
                            next<AlignedAllocFn>("memalign"),
                            next<PosixMemalignFn>("posix_memalign")};
  tResolving = false;
  if (functions.malloc == nullptr || functions.free == nullptr) std::abort();
  resolved.store(&functions, std::memory_order_release);
  return &functions;
}

void* countedMalloc(std::size_t size) {
  ++tCalls;
  const RealAllocator* allocator = real();
  return allocator != nullptr ? allocator->malloc(size) : arenaAllocate(size);
}

void* countedAligned(std::size_t alignment, std::size_t size) {
  ++tCalls;
  return real()->alignedAlloc(alignment, size);
}

}  // namespace

namespace tov::test {
std::size_t allocationCalls() { return tCalls; }
}  // namespace tov::test

extern "C" {

void* malloc(std::size_t size) noexcept { return countedMalloc(size); }

void* calloc(std::size_t count, std::size_t size) noexcept {
  ++tCalls;
  const RealAllocator* allocator = real();
  if (allocator != nullptr) return allocator->calloc(count, size);
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return arenaAllocate(count * size);
}

void* realloc(void* block, std::size_t size) noexcept {
  ++tCalls;
  if (inArena(block)) {
    // The arena does not know block sizes; copy what the arena can hold past `block`.
    void* moved = real()->malloc(size);
    const std::size_t available =
        static_cast<std::size_t>(gArena + sizeof gArena - static_cast<unsigned char*>(block));
    if (moved != nullptr) std::memcpy(moved, block, size < available ? size : available);
    return moved;
  }
  return real()->realloc(block, size);
}

void free(void* block) noexcept {
  if (block == nullptr || inArena(block)) return;
  real()->free(block);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return countedAligned(alignment, size);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
  ++tCalls;
  return real()->memalign(alignment, size);
}

int posix_memalign(void** block, std::size_t alignment, std::size_t size) noexcept {
  ++tCalls;
  return real()->posixMemalign(block, alignment, size);
}

}  // extern "C"

namespace {

void* newBlock(std::size_t size) {
  ++tCalls;
  void* block = real()->malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* newAlignedBlock(std::size_t size, std::align_val_t alignment) {
  ++tCalls;
  const auto align = static_cast<std::size_t>(alignment);
  // aligned_alloc wants a size that is a multiple of the alignment.
  const std::size_t rounded = (size + align - 1) / align * align;
  void* block = real()->alignedAlloc(align, rounded == 0 ? align : rounded);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return newBlock(size); }
void* operator new[](std::size_t size) { return newBlock(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return newBlock(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return newAlignedBlock(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return newAlignedBlock(size, alignment);
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { free(block); }

#endif  // TOV_SANITIZER_ALLOCATOR
