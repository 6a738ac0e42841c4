// Allocation failure on demand, for tests of what a component does when
// memory runs out. A test program that uses it has operator new replaced:
// while allocations_left is not negative, the allocation that finds it at
// 0 throws std::bad_alloc, as a full address space would.
#pragma once

namespace bftest {

extern long allocations_left;

// Runs step() with the first, second, third ... allocation failing until a
// run succeeds (answers true); after each failed run check() looks at what
// was left. Answers the number of failing runs, -1 when step() let an
// exception out.
template <class Step, class Check> long sweep_allocation_failures(Step step, Check check) {
  for (long failing = 0; failing < 100000; ++failing) {
    allocations_left = failing;
    bool done = false;
    try {
      done = step();
    } catch (...) {
      allocations_left = -1;
      return -1;
    }
    allocations_left = -1;
    if (done)
      return failing;
    check(failing);
  }
  return 100000;
}

} // namespace bftest
