#include "tests/support/failing_new.h"

#include <cstdlib>
#include <new>

namespace bftest {
long allocations_left = -1;
} // namespace bftest

namespace {

// Every form of operator new and delete is replaced together, so that each
// allocation and its release meet the same allocator (AddressSanitizer
// checks that they do).
void *allocate(std::size_t size) noexcept {
  if (bftest::allocations_left == 0)
    return nullptr;
  if (bftest::allocations_left > 0)
    --bftest::allocations_left;
  return std::malloc(size ? size : 1);
}

void *allocate_or_throw(std::size_t size) {
  if (void *p = allocate(size))
    return p;
  throw std::bad_alloc();
}

} // namespace

void *operator new(std::size_t size) { return allocate_or_throw(size); }
void *operator new[](std::size_t size) { return allocate_or_throw(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
