#pragma once

// The test programs replace the global operator new and delete (tests/support/CountingNew.cpp):
// every allocation through them is counted, and one can be made to fail, so that tests can
// show that a routine allocates nothing or survives std::bad_alloc at any of its allocations.

#include <cstddef>
#include <cstdint>

namespace tf::test {

struct NewStats {
  int64_t calls = 0;   // operator new calls since the last reset
  size_t largest = 0;  // the largest request among them
};

void ResetNewStats();
NewStats CurrentNewStats();

// After `after` further successful allocations the next one fails (std::bad_alloc, or null
// from the nothrow forms); once only. A negative count turns the failure off.
void FailNewAfter(int64_t after);
// True once the failure asked for by FailNewAfter has happened.
bool NewFailureHappened();

// FailNewAfter for a scope; the failure is off again when it ends.
class ScopedNewFailure {
 public:
  explicit ScopedNewFailure(int64_t after) { FailNewAfter(after); }
  ~ScopedNewFailure() { FailNewAfter(-1); }
  ScopedNewFailure(const ScopedNewFailure&) = delete;
  ScopedNewFailure& operator=(const ScopedNewFailure&) = delete;
};

}  // namespace tf::test
