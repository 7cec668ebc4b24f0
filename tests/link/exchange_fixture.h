#pragma once
// One end of the protocol on a real pseudo-terminal: the link's side as a
// LinkContext over a SerialPort, the unit's side played byte by byte by the
// test.

#include <gtest/gtest.h>

#include "link/protocol.h"
#include "tests/support/unit_end.h"

namespace velrix::testing {

class ExchangeTest : public ::testing::Test {
 protected:
  static constexpr ClockSeconds kStart = 1'700'000'000;

  void SetUp() override {
    ASSERT_TRUE(unit.Ok());
    ASSERT_TRUE(port.Open(unit.SlavePath()));
    port.Configure();
  }

  UnitEnd unit;
  Canceller canceller;
  SerialPort port{&canceller};
  UnitLinkState s;
  ManualClock clock{kStart};
  LinkContext ctx{s, port, canceller, clock};
};

}  // namespace velrix::testing
