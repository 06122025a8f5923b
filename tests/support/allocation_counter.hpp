// Counts the heap allocations a piece of code makes: malloc, calloc, realloc, the aligned
// allocators and every global operator new. Linking allocation_counter.cpp into a test executable
// replaces those functions with counting versions that forward to the C library's (or, under a
// sanitizer, installs the runtime's allocation hook), so give such a test an executable of its
// own. Only the calling thread's allocations are counted.
#pragma once

#include <cstddef>
#include <utility>

namespace tov::test {

// Allocation calls made so far by the calling thread.
std::size_t allocationCalls();

// How many allocation calls `call()` made on the calling thread.
template <class Call>
std::size_t allocationsDuring(Call&& call) {
  const std::size_t before = allocationCalls();
  std::forward<Call>(call)();
  return allocationCalls() - before;
}

}  // namespace tov::test
