#pragma once

// Store tests that run twice: with plain reservations and in guard mode, where touching the
// memory of an uncommitted tile faults (so a read of it cannot hide behind its zero bytes).

#include <gtest/gtest.h>

#include <string>

#include "platform/AddressSpace.h"

namespace tf::test {

class GuardModeTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ResetAddressSpaceSettings();
    SetAddressSpaceGuardMode(GetParam());
  }
  void TearDown() override { ResetAddressSpaceSettings(); }
};

// Names the two instances: INSTANTIATE_TEST_SUITE_P(Guard, MyTest, ::testing::Bool(), GuardModeName("On",
// "Off")).
class GuardModeName {
 public:
  GuardModeName(const char* on, const char* off) : on_(on), off_(off) {}
  std::string operator()(const ::testing::TestParamInfo<bool>& info) const { return info.param ? on_ : off_; }

 private:
  const char* on_;
  const char* off_;
};

}  // namespace tf::test
