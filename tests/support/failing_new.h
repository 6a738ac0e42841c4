// Allocation failure on demand, for tests of what a component does when
// memory runs out. A test program that uses it has operator new replaced:
// while allocations_left is not negative, the allocation that finds it at
// 0 throws std::bad_alloc, as a full address space would.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace bftest {

extern long allocations_left;

// A run cut short by a failed allocation loses what the C-style writers
// held at that moment: the leak checker does not count those blocks (the
// program that meets this ends anyway, saying "out of memory").
inline void leak_check(bool on) {
#if defined(__SANITIZE_ADDRESS__)
  on ? __lsan_enable() : __lsan_disable();
#else
  (void)on;
#endif
}

// Runs step() with the first, second, third ... allocation failing until a
// run succeeds (answers true); after each failed run check() looks at what
// was left. Answers the number of failing runs, -1 when step() let an
// exception out.
template <class Step, class Check> long sweep_allocation_failures(Step step, Check check) {
  for (long failing = 0; failing < 100000; ++failing) {
    allocations_left = failing;
    bool done = false;
    leak_check(false);
    try {
      done = step();
    } catch (...) {
      leak_check(true);
      allocations_left = -1;
      return -1;
    }
    leak_check(true);
    allocations_left = -1;
    if (done)
      return failing;
    check(failing);
  }
  return 100000;
}

} // namespace bftest
