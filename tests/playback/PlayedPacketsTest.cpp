// Small packets the player reads on its own: channel packets with their rectangle, and
// information packets of every length.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "events/EventPacket.h"
#include "platform/BlockPack.h"
#include "playback/PlayImage.h"
#include "paper/PaperTestSupport.h"
#include "playback/PlaybackTestSupport.h"

namespace tf::test {
namespace {

// A channel packet of the rectangle, its bytes (width x height of them) packed after the head.
std::vector<uint8_t> ChannelPacket(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                   const std::vector<uint8_t>& channel) {
  std::vector<uint8_t> packed;
  const uint8_t none = 0;
  const uint32_t length = BlockPack(channel.empty() ? &none : channel.data(), channel.size(), packed);
  EXPECT_GT(length, 0u);
  SChannelPacket head{};
  head.rect.left = left;
  head.rect.top = top;
  head.rect.right = right;
  head.rect.bottom = bottom;
  head.n = static_cast<int32_t>((length + 1) & ~1u);
  head.channelBytes = static_cast<int32_t>(channel.size());
  head.packedLength = static_cast<int32_t>(length);
  std::vector<uint8_t> bytes(sizeof head);
  std::memcpy(bytes.data(), &head, sizeof head);
  bytes.insert(bytes.end(), packed.begin(), packed.end());
  bytes.resize(sizeof head + static_cast<size_t>(head.n.get()), 0);
  return bytes;
}

// A rectangle without width or height was once taken when its byte count (0) agreed.
TEST(PlayedPackets, ChannelRectanglesWithoutAreaAreRefused) {
  struct Case {
    const char* name;
    int32_t left, top, right, bottom;
    bool read;
  } cases[] = {
      {"two by three", 4, 5, 6, 8, true},
      {"zero width", 4, 5, 4, 8, false},
      {"zero height", 4, 5, 6, 5, false},
      {"nothing at all", 0, 0, 0, 0, false},
      {"right of left", 6, 5, 4, 8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int64_t w = int64_t{c.right} - c.left, h = int64_t{c.bottom} - c.top;
    std::vector<uint8_t> channel(static_cast<size_t>(w > 0 && h > 0 ? w * h : 0));
    for (size_t i = 0; i < channel.size(); ++i) channel[i] = static_cast<uint8_t>(40 + i);
    CPlayPayload payload;
    payload.Assign(ChannelPacket(c.left, c.top, c.right, c.bottom, channel));
    SPlayedChannel played;
    ASSERT_EQ(ReadChannelPacket(payload, played), c.read);
    if (c.read) {
      EXPECT_EQ(played.rect, (SRectWH{c.left, c.top, c.right - c.left, c.bottom - c.top}));
      EXPECT_EQ(played.bytes, channel);
    }
  }
}

// An information packet whose body is empty (n = 0) plays like any other.
TEST(PlayedPackets, InformationPacketsOfEveryLengthPlay) {
  for (const int32_t n : {0, 1, 16}) {
    SCOPED_TRACE(n);
    PaperTestScope scope;
    StreamBuilder s;
    s.Start(20, 10);
    std::vector<uint8_t> info(4 + static_cast<size_t>(n), 7);
    std::memcpy(info.data(), &n, 4);
    s.Bytes(kPcInfo, 3, info);
    SPaperColorPacket colour{};
    colour.color = 0x405060;
    s.Record(kPcPaper, 1, colour);
    s.Add(kPcPaper, kPaperEndMarker);
    HeadlessPlaybackWindow b;
    CPlayer player(b.Paper(), &b);
    ASSERT_TRUE(LoadStreamBytes(b.Paper(), s.bytes));
    ASSERT_EQ(player.startLoaded(), kStartPlayStarted);
    EXPECT_EQ(PlayToEnd(player), kPlayStepEnded);
    EXPECT_EQ(b.Paper().paperColor, 0x405060u);
  }
}

}  // namespace
}  // namespace tf::test
