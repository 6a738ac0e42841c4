#include "tests/support/failing_new.h"

#include <cstdlib>
#include <new>

namespace bftest {
long allocations_left = -1;
} // namespace bftest

void *operator new(std::size_t size) {
  if (bftest::allocations_left == 0)
    throw std::bad_alloc();
  if (bftest::allocations_left > 0)
    --bftest::allocations_left;
  if (void *p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
