#include "tests/allocation_count.h"

#include <cstdlib>
#include <new>

// GCC takes the replaced pair below for a mismatch wherever it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace zorvik::testing {

void StartCountingAllocations() {
  allocations = 0;
  counting = true;
}

int StopCountingAllocations() {
  counting = false;
  return allocations;
}

}  // namespace zorvik::testing
