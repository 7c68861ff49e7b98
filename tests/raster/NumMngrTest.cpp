#include "raster/NumMngr.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "platform/Warning.h"
#include "support/TestRng.h"

namespace tf {
namespace {

// A control that counts its refreshes and drops its manager when told.
struct CountingControl : TNumControl {
  TNumMngr* manager = nullptr;
  int refreshes = 0;
  void Bind(TNumMngr* m) {
    if (manager) manager->Detach(this);
    manager = m;
    if (m) m->Attach(this);
  }
  void NumRefresh() override { ++refreshes; }
  void NumRelease() override { Bind(nullptr); }
  ~CountingControl() override {
    if (manager) manager->Detach(this);
  }
};

struct Fixture : ::testing::Test {
  TNumMngr m;
  int changes = 0;
  void SetUp() override {
    m.OnChange = [this](TNumMngr* sender) {
      EXPECT_EQ(sender, &m);
      ++changes;
    };
    DefaultWarningHost().Clear();
  }
  void TearDown() override { SetDecimalSeparator('.'); }
};

using NumMngrTest = Fixture;

TEST_F(NumMngrTest, DefaultRangeClampsAndNotifiesEveryDifferentValue) {
  CountingControl a, b;
  a.Bind(&m);
  b.Bind(&m);
  m.SetValue(300);
  EXPECT_EQ(m.Value(), 255);
  EXPECT_EQ(changes, 1);
  m.SetValue(255);  // equal: nothing
  EXPECT_EQ(changes, 1);
  m.SetValue(256);  // differs, clamps back to 255: still notified
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(a.refreshes, 2);
  m.ChangeValue(&a, -5);  // the sender is spared
  EXPECT_EQ(m.Value(), 0);
  EXPECT_EQ(a.refreshes, 2);
  EXPECT_EQ(b.refreshes, 3);
}

TEST_F(NumMngrTest, NonFiniteValuesAreRefused) {
  m.SetValue(10);
  changes = 0;
  for (float bad : {NAN, INFINITY, -INFINITY}) {
    EXPECT_EQ(m.ChangeValue(nullptr, bad), 10);
  }
  m.SetPosition(NAN);
  EXPECT_EQ(m.Value(), 10);
  EXPECT_EQ(changes, 0);
}

struct WrapCase {
  float wrapMin, wrapMax, x, expected;
};

TEST_F(NumMngrTest, WrapAroundTable) {
  const WrapCase cases[] = {
      {0, 360, 370, 10},     {0, 360, -10, 350},     {0, 360, 360, 0},      {0, 360, -360, 0},
      {0, 360, 725, 5},      {0, 360, -725, 355},    {-180, 180, 190, -170}, {-180, 180, 180, 180},
      {-180, 180, -180, -180}, {-180, 180, 999, -81}, {-180, 180, -999, 81},
      // Far beyond what an integer holds: the floating trunc still wraps.
      {0, 360, 3.0e12f, std::fmod(3.0e12f, 360.0f)},
  };
  for (const WrapCase& c : cases) {
    TNumMngr n;
    n.SetValueMin(-FLT_MAX);
    n.SetValueMax(FLT_MAX);
    n.SetWrapMin(c.wrapMin);
    n.SetWrapMax(c.wrapMax);
    n.SetWrapAround(true);
    n.SetValue(c.x == 0 ? 1 : 0);
    EXPECT_FLOAT_EQ(n.ChangeValue(nullptr, c.x), c.expected) << c.wrapMin << ".." << c.wrapMax << " of " << c.x;
  }
}

TEST_F(NumMngrTest, WrapRangeOfNoWidthGivesItsEnd) {
  m.SetWrapMin(40);
  m.SetWrapMax(40);
  m.SetWrapAround(true);
  EXPECT_EQ(m.ChangeValue(nullptr, 123), 40);
  EXPECT_EQ(changes, 1);
}

TEST_F(NumMngrTest, SeededWrapsLieInTheWrapRange) {
  test::XorShiftRng rng(4242);
  m.SetValueMin(-1.0e6f);
  m.SetValueMax(1.0e6f);
  m.SetWrapMin(-180);
  m.SetWrapMax(180);
  m.SetWrapAround(true);
  for (int i = 0; i < 2000; ++i) {
    const float x = (static_cast<float>(rng.Next() % 2000001u) - 1000000.0f) / 7.0f;
    const float v = m.ChangeValue(nullptr, x);
    ASSERT_GE(v, -180.0f) << x;
    ASSERT_LE(v, 180.0f) << x;
  }
}

struct ParseCase {
  const char* text;
  bool isSigned;
  TNumParse result;
  float value;
};

TEST_F(NumMngrTest, StrToNumFiltersUnderBothSeparators) {
  const ParseCase dot[] = {
      {"12a.3.4", false, TNumParse::Number, 12.34f}, {"--5", true, TNumParse::Number, -5},
      {"5-3", true, TNumParse::Number, 53},          {"-5", false, TNumParse::Number, 5},
      {"abc", true, TNumParse::None, 0},             {"", true, TNumParse::None, 0},
      {"-", true, TNumParse::None, 0},               {".", true, TNumParse::None, 0},
      {"5.", false, TNumParse::Number, 5},           {".25", false, TNumParse::Number, 0.25f},
      {"-.5", true, TNumParse::Number, -0.5f},       {"1,5", false, TNumParse::Number, 15},
      {"１２", false, TNumParse::None, 0},  // full-width digits are dropped
      {"10000000000000000000000000000000000000000", false, TNumParse::Overflow, INFINITY},
      {"-10000000000000000000000000000000000000000", true, TNumParse::Overflow, -INFINITY},
      {"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0001",
       false, TNumParse::Number, 0},
  };
  for (const ParseCase& c : dot) {
    float v = 0;
    EXPECT_EQ(ParseNumberText(c.text, c.isSigned, v), c.result) << c.text;
    if (c.result != TNumParse::None) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  SetDecimalSeparator(',');
  const ParseCase comma[] = {
      {"12a,3,4", false, TNumParse::Number, 12.34f}, {"1.5", false, TNumParse::Number, 15},
      {"-0,75", true, TNumParse::Number, -0.75f},    {",", true, TNumParse::None, 0},
  };
  for (const ParseCase& c : comma) {
    float v = 0;
    EXPECT_EQ(ParseNumberText(c.text, c.isSigned, v), c.result) << c.text;
    if (c.result == TNumParse::Number) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_TRUE(DefaultWarningHost().Messages().empty());
}

TEST_F(NumMngrTest, MinusAndSeparatorAloneIsTheOneConversionFailure) {
  float v = 7;
  EXPECT_EQ(ParseNumberText("-x.", true, v), TNumParse::Invalid);
  EXPECT_TRUE(DefaultWarningHost().Messages().empty());  // the quiet parse shows nothing
  EXPECT_EQ(StrToNum("-x.", true, v), TNumParse::None);
  EXPECT_EQ(v, 7);
  ASSERT_EQ(DefaultWarningHost().Messages().size(), 1u);
  EXPECT_EQ(DefaultWarningHost().Messages()[0], "EConvertError: '-.' is not a valid number");
  // Through the manager: unchanged, no event.
  m.SetValueMin(-10);
  m.SetValue(3);
  changes = 0;
  EXPECT_EQ(m.SetValueText(nullptr, "-."), 3);
  EXPECT_EQ(changes, 0);
}

TEST_F(NumMngrTest, OverflowEndsAtTheEndOfItsSign) {
  CountingControl a;
  a.Bind(&m);
  m.SetValueMin(-50);
  m.SetValueMax(50);
  m.SetValue(50);
  changes = 0;
  a.refreshes = 0;
  EXPECT_EQ(m.SetValueText(&a, "1" + std::string(40, '0')), 50);
  EXPECT_EQ(changes, 1);  // notified although it was there already
  EXPECT_EQ(a.refreshes, 1);
  m.SetValue(-50);
  changes = 0;
  // A huge negative number ends at the minimum, notified the same way.
  EXPECT_EQ(m.SetValueText(nullptr, "-1" + std::string(40, '0')), -50);
  EXPECT_EQ(changes, 1);
}

TEST_F(NumMngrTest, StepsAroundACentre) {
  m.SetValueMax(100);
  m.UseCenter = true;
  m.SetValueCenter(50);
  m.AmountLow = 1;
  m.AmountHigh = 5;
  struct Step {
    float from;
    bool up, big;
    float expected;
  };
  const Step steps[] = {{50, true, false, 55}, {50, false, false, 49}, {55, false, false, 50},
                        {40, true, true, 50},  {49, true, false, 50},  {60, false, true, 10},
                        {100, true, false, 100}};
  for (const Step& s : steps) {
    m.SetValue(s.from);
    s.up ? m.StepUp(nullptr, s.big) : m.StepDown(nullptr, s.big);
    EXPECT_EQ(m.Value(), s.expected) << s.from << (s.up ? " up" : " down") << (s.big ? " big" : "");
  }
  m.UseCenter = false;
  m.Amount = 0.5f;
  m.SetValue(10);
  m.StepUp(nullptr, true);
  EXPECT_EQ(m.Value(), 15);
}

TEST_F(NumMngrTest, PositionsOverACentredRange) {
  m.SetValueMax(500);
  m.SetValueMin(1);
  m.UseCenter = true;
  m.SetValueCenter(50);
  const float values[][2] = {{50, 0.5f}, {1, 0}, {500, 1}, {275, 0.75f}, {25.5f, 0.25f}};
  for (const auto& vp : values) {
    m.SetValue(vp[0]);
    EXPECT_FLOAT_EQ(m.GetPosition(), vp[1]) << vp[0];
  }
  m.SetPosition(0.25f);
  EXPECT_FLOAT_EQ(m.Value(), 25.5f);
  m.SetPosition(0.5f);
  EXPECT_EQ(m.Value(), 50);
  m.SetPosition(0.75f);
  EXPECT_EQ(m.Value(), 275);
}

TEST_F(NumMngrTest, SeededPositionsRoundTrip) {
  test::XorShiftRng rng(77);
  for (const bool centre : {false, true}) {
    TNumMngr n;
    n.SetValueMax(500);
    n.SetValueMin(1);
    n.UseCenter = centre;
    n.SetValueCenter(50);
    for (int i = 0; i < 2000; ++i) {
      const float v = 1.0f + static_cast<float>(rng.Next() % 499000u) / 1000.0f;
      n.SetValue(v);
      const float p = n.GetPosition();
      ASSERT_GE(p, 0.0f);
      ASSERT_LE(p, 1.0f);
      n.SetPosition(p);
      // Within what one float step of the position and one of the value amount to.
      const float span = centre ? 2 * 450.0f : 499.0f;
      const float step = span * (std::nextafter(p, 2.0f) - p) + (std::nextafter(v, INFINITY) - v);
      ASSERT_NEAR(n.Value(), v, step) << v << (centre ? " centred" : "");
    }
  }
}

TEST_F(NumMngrTest, RangeOfNoWidthHasAPosition) {
  // The split dialog with its maximum lowered to 2 (2..2).
  m.SetValueMax(2);
  m.SetValueMin(2);
  EXPECT_EQ(m.GetPosition(), 0.0f);
  m.UseCenter = true;
  m.SetValueCenter(2);
  EXPECT_EQ(m.GetPosition(), 0.5f);
  m.SetPosition(0.9f);
  EXPECT_EQ(m.Value(), 2);
  m.UseCenter = false;
  m.SetPosition(0.3f);
  EXPECT_EQ(m.Value(), 2);
  // A centre at an end of the range: the empty half does not divide by zero.
  TNumMngr n;
  n.SetValueMax(10);
  n.UseCenter = true;
  n.SetValueCenter(0);
  n.SetValue(0);
  EXPECT_EQ(n.GetPosition(), 0.5f);
}

TEST_F(NumMngrTest, WritersKeepTheWrapRangeInsideTheValueRange) {
  m.SetValue(5);
  changes = 0;
  m.SetValueMin(10);
  EXPECT_EQ(m.Value(), 10);
  EXPECT_EQ(m.WrapMin(), 10);
  EXPECT_EQ(changes, 1);
  m.SetValueMax(100);
  EXPECT_EQ(m.WrapMax(), 100);
  m.SetWrapMin(5);
  EXPECT_EQ(m.ValueMin(), 5);
  m.SetWrapMax(300);
  EXPECT_EQ(m.ValueMax(), 300);
  m.SetValueMax(1);
  EXPECT_EQ(m.ValueMin(), 1);
  EXPECT_EQ(m.WrapMax(), 1);
  EXPECT_EQ(m.Value(), 1);
  m.SetValueDefault(50);  // clamped into the range
  EXPECT_EQ(m.ValueDefault(), 1);
  EXPECT_TRUE(m.IsAtMin());
  EXPECT_TRUE(m.IsAtMax());
  changes = 0;
  EXPECT_FALSE(m.SetRange(nullptr, 7, 10, 0));
  EXPECT_EQ(m.ValueMin(), 1);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(m.SetRange(nullptr, 7, 0, 10));
  EXPECT_EQ(m.Value(), 7);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(m.SetRange(nullptr, 7, 0, 20));  // same value: only the change event
  EXPECT_EQ(changes, 2);
}

TEST_F(NumMngrTest, LoadingStoresWithoutAdjusting) {
  SNumMngrProps props;
  props.value = 600;
  props.valueDefault = -3;
  props.valueMin = 10;
  props.valueMax = 500;
  props.valueCenter = 700;
  props.wrapMax = 32;
  m.Load(props);
  EXPECT_EQ(m.Value(), 600);
  EXPECT_EQ(m.ValueDefault(), -3);
  EXPECT_EQ(m.ValueCenter(), 700);
  EXPECT_EQ(m.WrapMin(), 0);
  EXPECT_EQ(m.WrapMax(), 32);
  EXPECT_FALSE(m.IsLoading());
  m.SetValue(601);  // out of the loaded range: clamped on the next change
  EXPECT_EQ(m.Value(), 500);
}

TEST_F(NumMngrTest, AttachDetachAndRelease) {
  CountingControl a, b, c;
  EXPECT_EQ(m.Attach(nullptr), -1);
  a.Bind(&m);
  b.Bind(&m);
  EXPECT_EQ(m.Attach(&a), 1);  // moved to the end
  EXPECT_EQ(m.Detach(&c), -1);
  c.Bind(&m);
  {
    auto* n = new TNumMngr;
    a.Bind(n);
    b.Bind(n);
    c.Bind(n);
    EXPECT_EQ(m.ControlCount(), 0);
    delete n;
  }
  EXPECT_EQ(a.manager, nullptr);
  EXPECT_EQ(b.manager, nullptr);
  EXPECT_EQ(c.manager, nullptr);
}

struct FormatCase {
  const char* format;
  float value;
  const char* dot;
  const char* comma;
};

TEST_F(NumMngrTest, FormatsNeverPrintAnExponent) {
  const FormatCase cases[] = {
      {"%1.0f", 49.5f, "50", "50"},  // ties to even as printf does
      {"%1.0f", 100, "100", "100"},
      {"%1.5g", 125000, "125000", "125000"},
      {"%1.5g", 123456, "123460", "123460"},
      {"%1.5g", 12.5f, "12.5", "12,5"},
      {"%1.4g", -179.5f, "-179.5", "-179,5"},
      {"%1.4g", 0.00001f, "0.00001", "0,00001"},
      {"%1.5g", 99999, "99999", "99999"},
      {"%1.2f px", 2.5f, "2.50 px", "2,50 px"},
      {"%d", 3, "3", "3"},  // not a floating pattern: as %g
  };
  for (const FormatCase& c : cases) {
    SetDecimalSeparator('.');
    EXPECT_EQ(FormatNum(c.format, c.value), c.dot) << c.format << " " << c.value;
    SetDecimalSeparator(',');
    EXPECT_EQ(FormatNum(c.format, c.value), c.comma) << c.format << " " << c.value;
  }
  // What a format writes reads back as the number shown.
  SetDecimalSeparator('.');
  float v = 0;
  ASSERT_EQ(ParseNumberText(FormatNum("%1.5g", 125000), false, v), TNumParse::Number);
  EXPECT_EQ(v, 125000);
}

}  // namespace
}  // namespace tf
