#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/WinTab32.h"
#include "platform/Debug.h"
#include "platform/Screen.h"
#include "platform/Tablet.h"
#include "platform/Window.h"

namespace tf {
namespace {

// A virtual screen of a fixed size at a fixed origin.
class FixedWindowHost final : public WindowHost {
 public:
  ScreenRect screen{0, 0, 1920, 1080};
  ScreenRect VirtualScreen() override { return screen; }
  bool GetWindowRect(WindowHandle, ScreenRect&) override { return false; }
  bool MoveWindow(WindowHandle, int32_t, int32_t) override { return false; }
};

class WinTab32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = SetTabletDriver(&driver_);
    windowBefore_ = SetWindowHost(&window_);
    sinkBefore_ = SetDebugSink([this](std::string_view line) { lines_.emplace_back(line); });
  }
  void TearDown() override {
    SetTabletDriver(before_);
    SetWindowHost(windowBefore_);
    SetDebugSink(sinkBefore_);
  }

  ScriptedTabletDriver driver_;
  FixedWindowHost window_;
  std::vector<std::string> lines_;

 private:
  TabletDriver* before_ = nullptr;
  WindowHost* windowBefore_ = nullptr;
  DebugSink sinkBefore_;
};

TEST_F(WinTab32Test, LoadsOnlyWithADriverAndWhenAskedTo) {
  TWinTab32 unloaded(false, 0);
  EXPECT_FALSE(unloaded.IsLoaded());
  EXPECT_FALSE(unloaded.Open(7, nullptr));
  EXPECT_FALSE(unloaded.IsOpen());
  STabletDecoded decoded;
  EXPECT_FALSE(unloaded.Decode({kTabletProximityMessage + 1, 0, 0}, decoded));
  EXPECT_FALSE(unloaded.Flush());
  EXPECT_FALSE(unloaded.SetOrigin(1, 1));
  EXPECT_EQ(unloaded.PressureFraction(), 0.0f);
  EXPECT_EQ(unloaded.AltitudeFraction(), 0.0f);

  SetTabletDriver(nullptr);
  TWinTab32 noDriver(true, 0);
  EXPECT_FALSE(noDriver.IsLoaded());
  SetTabletDriver(&driver_);
  EXPECT_TRUE(noDriver.LoadLibrary());
  EXPECT_TRUE(noDriver.IsLoaded());
}

TEST_F(WinTab32Test, OpenRequestsTheProgramsContextOverTheVirtualScreen) {
  window_.screen = {-1280, 0, 3200, 1200};
  driver_.defaultContext.buttonDownMask = 0x7;
  driver_.defaultContext.buttonUpMask = 0;
  driver_.defaultContext.options = 0x10;
  TWinTab32 tablet(true, 0);
  ASSERT_TRUE(tablet.Open(42, nullptr));
  EXPECT_TRUE(tablet.IsOpen());
  EXPECT_EQ(driver_.owner, 42);
  const STabletContext& c = driver_.context;
  EXPECT_EQ(c.messageBase, 0x7FF0u);
  EXPECT_EQ(c.packetData, 0x1FFFu);
  EXPECT_EQ(c.moveMask, 0x1FFFu);
  EXPECT_EQ(c.packetMode, 0u);
  EXPECT_EQ(c.buttonUpMask, 0x7u);
  EXPECT_EQ(c.options, 0x15u);
  EXPECT_EQ(c.outOriginX, 0);
  EXPECT_EQ(c.outExtentX, c.inExtentX);
  EXPECT_EQ(c.outExtentY, -c.inExtentY);
  EXPECT_EQ(c.screenOriginX, -1280);
  EXPECT_EQ(c.screenExtentX, 3200);
  EXPECT_EQ(c.screenExtentY, 1200);
  EXPECT_EQ(tablet.pressureMaximum, 1023);
  // A second open keeps the context.
  EXPECT_TRUE(tablet.Open(42, nullptr));
  EXPECT_EQ(driver_.opens, 1);
  tablet.Close();
  EXPECT_FALSE(tablet.IsOpen());
  EXPECT_EQ(driver_.closes, 1);

  driver_.present = false;
  EXPECT_FALSE(tablet.Open(42, nullptr));
  driver_.present = true;
  driver_.refuseOpen = true;
  EXPECT_FALSE(tablet.Open(42, nullptr));
}

TEST_F(WinTab32Test, AContextWithAnOutputExtentOfZeroIsRefused) {
  for (int axis = 0; axis < 2; ++axis) {
    driver_.adjustOnOpen = [axis](STabletContext& c) { (axis == 0 ? c.outExtentX : c.outExtentY) = 0; };
    TWinTab32 tablet(true, 0);
    lines_.clear();
    EXPECT_FALSE(tablet.Open(1, nullptr)) << axis;
    EXPECT_FALSE(tablet.IsOpen());
    EXPECT_EQ(driver_.openContext, 0u);
    EXPECT_FALSE(lines_.empty());
  }
}

struct DecodeCase {
  const char* name;
  STabletContext context;  // as the driver reads it back
  int32_t x, y;
  float screenX, screenY;
};

TEST_F(WinTab32Test, DecodeMapsPacketPositionsOntoTheScreen) {
  auto context = [](int32_t sox, int32_t soy, int32_t sex, int32_t sey, int32_t oex, int32_t oey) {
    STabletContext c;
    c.messageBase = kTabletPacketMessage;
    c.screenOriginX = sox;
    c.screenOriginY = soy;
    c.screenExtentX = sex;
    c.screenExtentY = sey;
    c.outExtentX = oex;
    c.outExtentY = oey;
    return c;
  };
  const DecodeCase cases[] = {
      // Screen extents equal to the input extents at origin 0: the packet position itself.
      {"identity", context(0, 0, 30000, 20000, 30000, -20000), 12345, 6789, 12345.0f, 6789.0f},
      // Sixteenths of a pixel: fractions survive.
      {"fractions", context(0, 0, 1920, 1080, 30720, -17280), 24, 40, 1.5f, 2.5f},
      // A positive output extent y turns the axis over.
      {"positive y extent", context(0, 0, 100, 100, 100, 100), 10, 30, 10.0f, -30.0f},
      // A virtual screen left of the primary one.
      {"screen origin", context(-1280, 0, 3200, 1200, 3200, -1200), 0, 600, 0.0f, 600.0f},
      // 327680 x 7680 and 600000 x 4320 overflow 32 bits: the products are 64-bit.
      {"overflowing products", context(0, 0, 7680, 4320, 7680 * 16, -4320 * 16), 327680, 600000, 20480.0f, 37500.0f},
  };
  for (const DecodeCase& c : cases) {
    driver_.adjustOnOpen = [&c](STabletContext& ctx) { ctx = c.context; };
    TWinTab32 tablet(true, 1);
    ASSERT_TRUE(tablet.Open(1, nullptr)) << c.name;
    STabletPacket packet;
    packet.x = c.x;
    packet.y = c.y;
    packet.normalPressure = 512;
    packet.azimuth = 900;
    packet.altitude = -450;
    packet.twist = 30;
    packet.buttons = 1;
    const STabletMessage message = driver_.PostPacket(packet);
    STabletDecoded decoded;
    EXPECT_TRUE(tablet.Decode(message, decoded)) << c.name;
    EXPECT_TRUE(decoded.packet) << c.name;
    EXPECT_FLOAT_EQ(tablet.screenX, c.screenX) << c.name;
    EXPECT_FLOAT_EQ(tablet.screenY, c.screenY) << c.name;
    EXPECT_EQ(tablet.pressure, 512);
    EXPECT_EQ(tablet.azimuth, 900);
    EXPECT_EQ(tablet.altitude, -450);
    EXPECT_EQ(tablet.twist, 30);
    EXPECT_EQ(tablet.buttons, 1u);
    EXPECT_FLOAT_EQ(tablet.PressureFraction(), 512.0f / 1023.0f);
    EXPECT_LT(tablet.AltitudeFraction(), 0.0f);
  }
}

TEST_F(WinTab32Test, DecodeOfMessagesThatCarryNoPacket) {
  TWinTab32 tablet(true, 1);
  ASSERT_TRUE(tablet.Open(1, nullptr));
  STabletDecoded decoded;
  // A packet the driver no longer holds still counts as a tablet message.
  STabletMessage gone = driver_.PostPacket({});
  driver_.queue.Clear();
  decoded.packet = true;
  EXPECT_TRUE(tablet.Decode(gone, decoded));
  EXPECT_FALSE(decoded.packet);
  // Proximity.
  EXPECT_TRUE(tablet.Decode(driver_.PostProximity(true), decoded));
  EXPECT_FALSE(decoded.packet);
  EXPECT_TRUE(tablet.inRange);
  EXPECT_TRUE(tablet.Decode(driver_.PostProximity(false), decoded));
  EXPECT_FALSE(tablet.inRange);
  // Only the low word tells.
  EXPECT_TRUE(tablet.Decode({kTabletProximityMessage, 0, 0x10000}, decoded));
  EXPECT_FALSE(tablet.inRange);
  // Anything else.
  EXPECT_FALSE(tablet.Decode({0x0200, 0, 0}, decoded));
  EXPECT_FALSE(decoded.packet);
}

TEST_F(WinTab32Test, TabletType0TakesOnePacketOffTheQueueForEveryMessage) {
  TWinTab32 type0(true, 0);
  ASSERT_TRUE(type0.Open(1, nullptr));
  driver_.PostPacket({});
  driver_.PostPacket({});
  driver_.PostPacket({});
  STabletDecoded decoded;
  // Also a message that is no tablet message.
  EXPECT_FALSE(type0.Decode({0x0200, 0, 0}, decoded));
  EXPECT_EQ(driver_.queue.Size(), 2u);
  EXPECT_TRUE(type0.Decode({kTabletProximityMessage, 0, 1}, decoded));
  EXPECT_EQ(driver_.queue.Size(), 1u);
  type0.SetTabletType(1);
  EXPECT_TRUE(type0.Decode({kTabletProximityMessage, 0, 1}, decoded));
  EXPECT_EQ(driver_.queue.Size(), 1u);
  driver_.PostPacket({});
  EXPECT_TRUE(type0.Flush());
  EXPECT_EQ(driver_.queue.Size(), 0u);
}

TEST_F(WinTab32Test, ADeviceWithoutOrientationNeverReportsTheEraserEnd) {
  driver_.hasOrientation = false;
  TWinTab32 tablet(true, 1);
  ASSERT_TRUE(tablet.Open(1, nullptr));
  EXPECT_FALSE(tablet.azimuthPresent);
  EXPECT_FALSE(tablet.altitudePresent);
  EXPECT_FALSE(tablet.twistPresent);
  EXPECT_EQ(tablet.altitudeMaximum, 0xFFFF);
  EXPECT_EQ(tablet.twistMaximum, 0xFFFF);
  STabletDecoded decoded;
  tablet.Decode(driver_.PostPacket({}), decoded);
  EXPECT_EQ(tablet.AltitudeFraction(), 0.0f);
  // A pressure axis of maximum 0 answers 0, not a division by zero.
  driver_.pressure = {0, 0};
  TWinTab32 flat(true, 1);
  tablet.Close();
  ASSERT_TRUE(flat.Open(1, nullptr));
  STabletPacket packet;
  packet.normalPressure = 100;
  flat.Decode(driver_.PostPacket(packet), decoded);
  EXPECT_EQ(flat.PressureFraction(), 0.0f);
}

TEST_F(WinTab32Test, SetOriginMovesOutputAndScreenOrigins) {
  TWinTab32 tablet(true, 1);
  ASSERT_TRUE(tablet.Open(1, nullptr));
  EXPECT_TRUE(tablet.SetOrigin(100, 50));
  EXPECT_EQ(driver_.context.outOriginX, 100);
  EXPECT_EQ(driver_.context.outOriginY, 50);
  EXPECT_EQ(driver_.context.screenOriginX, 100);
  EXPECT_EQ(driver_.context.screenOriginY, 50);
  tablet.Close();
  EXPECT_FALSE(tablet.SetOrigin(0, 0));
}

TEST_F(WinTab32Test, MessagesReachTheSinkOfTheOpenContext) {
  TWinTab32 tablet(true, 1);
  std::vector<STabletMessage> seen;
  ASSERT_TRUE(tablet.Open(1, [&seen](const STabletMessage& m) { seen.push_back(m); }));
  driver_.PostPacket({});
  driver_.PostProximity(true);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, kTabletPacketMessage);
  EXPECT_EQ(seen[1].message, kTabletProximityMessage);
  tablet.Close();
  driver_.PostProximity(false);
  EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
}  // namespace tf
