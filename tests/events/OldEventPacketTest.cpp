// The first version's event streams: the check (one table), trailing bytes, the seal, loading
// the independently written fixture files, the open and sealed saves; and the event kinds.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "events/EventNames.h"
#include "events/OldEventPacket.h"
#include "paint/Stroke.h"
#include "platform/Clock.h"
#include "support/OldStreamBuilder.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf::test {
namespace {

TMyMemory Block(const std::vector<uint8_t>& bytes) {
  TMyMemory m(64);
  m.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  m.RewindRead();
  return m;
}

std::vector<uint8_t> Bytes(const TMyMemory& m) {
  return std::vector<uint8_t>(m.GetBuffer(), m.GetBuffer() + m.GetWritePos());
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A stream with markers: the codes of a stream of count events after a new canvas.
std::vector<uint8_t> ActiveLayerEvents(int32_t events) {
  OldStreamBuilder b;
  b.NewCanvas(8, 8);
  for (int32_t i = 0; i < events - 2; ++i) b.Code(273).U8(0);
  b.End();
  return b.bytes;
}

TEST(OldEventPacketTest, ValidateTable) {
  struct Case {
    const char* name;
    std::vector<uint8_t> stream;
    bool valid;
    bool sealed;
    int32_t events;
  };
  OldStreamBuilder allMarkers;
  allMarkers.NewCanvas(4, 4);
  for (uint16_t m = 768; m <= 783; ++m) allMarkers.Code(m).Code(273).U8(0);
  allMarkers.End();
  OldStreamBuilder missingOne;
  missingOne.NewCanvas(4, 4);
  for (uint16_t m = 768; m <= 782; ++m) missingOne.Code(m).Code(273).U8(0);
  missingOne.End();
  OldStreamBuilder markersInARow;
  markersInARow.Code(768);
  for (uint16_t m = 769; m <= 783; ++m) markersInARow.Code(m);
  markersInARow.NewCanvas(4, 4).End();
  const std::vector<Case> cases = {
      {"new canvas and end", OldStreamBuilder().NewCanvas(4, 3).End().bytes, true, false, 2},
      {"second new canvas form first", OldStreamBuilder().Code(520).U16(4).U16(3).End().bytes, true, false, 2},
      {"resample first", OldStreamBuilder().Code(515).U16(4).U16(3).End().bytes, false, false, 0},
      {"new layer first", OldStreamBuilder().Code(256).U8(0).End().bytes, false, false, 0},
      {"no end code", OldStreamBuilder().NewCanvas(4, 3).bytes, false, false, 0},
      {"cut payload", OldStreamBuilder().NewCanvas(4, 3).Code(296).U8(0).I16(1).bytes, false, false, 0},
      {"unknown code", OldStreamBuilder().NewCanvas(4, 3).Code(262).End().bytes, false, false, 0},
      {"marker 784 is no marker", OldStreamBuilder().NewCanvas(4, 3).Code(784).End().bytes, false, false, 0},
      {"stroke of N points inside",
       OldStreamBuilder().NewCanvas(4, 3).Stroke(2, 0, 0, 3, {{1, 1, 1}, {2, 2, 1}}).End().bytes, true, false, 3},
      {"stroke announcing more points than stored",
       OldStreamBuilder()
           .NewCanvas(4, 3)
           .Code(1)
           .Pen(0, 0, 0, 3)
           .I16(1)
           .I16(1)
           .I16(1024)
           .U16(5)
           .I16(2)
           .End()
           .bytes,
       false, false, 0},
      {"polygons with their counts",
       OldStreamBuilder()
           .NewCanvas(4, 3)
           .Code(297)
           .U8(0)
           .U16(1)
           .I16(1)
           .I16(1)
           .Code(304)
           .U8(0)
           .Colour(5)
           .U16(0)
           .End()
           .bytes,
       true, false, 4},
      {"polygon count past the end",
       OldStreamBuilder().NewCanvas(4, 3).Code(297).U8(0).U16(9).I16(1).I16(1).End().bytes, false, false, 0},
      {"all sixteen markers", allMarkers.bytes, true, true, 18},
      {"fifteen markers", missingOne.bytes, false, false, 0},
      {"markers in a row before the first event", markersInARow.bytes, true, true, 2},
      {"one byte", {0x00}, false, false, 0},
  };
  for (const Case& k : cases) {
    TEventPacket packet;
    TMyMemory source = Block(k.stream);
    bool sealed = true;
    EXPECT_EQ(packet.Validate(source, sealed), k.valid) << k.name;
    if (!k.valid) {
      EXPECT_EQ(packet.Memory().GetWritePos(), 0) << k.name << ": a refused stream is not taken";
      continue;
    }
    EXPECT_EQ(sealed, k.sealed) << k.name;
    EXPECT_EQ(packet.EventCount(), k.events) << k.name;
    EXPECT_EQ(Bytes(packet.Memory()), k.stream) << k.name;
    EXPECT_EQ(packet.Memory().GetReadPos(), 0) << k.name;
  }
}

TEST(OldEventPacketTest, TrailingBytesAfterTheEndCodeAreNotTakenSoTheDropTakesTheEndCode) {
  std::vector<uint8_t> stream = OldStreamBuilder().NewCanvas(4, 3).Code(273).U8(0).End().bytes;
  const std::vector<uint8_t> clean = stream;
  stream.insert(stream.end(), {0x11, 0x22, 0x33, 0x44});
  TEventPacket packet;
  TMyMemory source = Block(stream);
  bool sealed = false;
  ASSERT_TRUE(packet.Validate(source, sealed));
  EXPECT_EQ(Bytes(packet.Memory()), clean);
  packet.DropEndCode();
  EXPECT_EQ(Bytes(packet.Memory()), std::vector<uint8_t>(clean.begin(), clean.end() - 2));
  EXPECT_EQ(packet.EventCount(), 2);
  packet.AppendEndCode();
  EXPECT_EQ(Bytes(packet.Memory()), clean);
  EXPECT_EQ(packet.EventCount(), 3) << "a drop and an append leave the count as it was";
}

TEST(OldEventPacketTest, ReadersTakeTheFieldsApartAsStored) {
  OldStreamBuilder b;
  b.Code(0).Pen(2, 0x123456, 5, 8.5f, 12.25f).I16(-3).I16(7).I16(512).U16(1).I16(9).I16(10).I16(2048);
  b.Code(305).Pen(1, 0xABCDEF, 2, 3).I16(3).I16(1).I16(2).I16(3).I16(4);
  b.Code(305).Pen(1, 0xABCDEF, 2, 3).I16(9).I16(0).I16(0).I16(0).I16(0);
  TEventPacket packet;
  packet.Memory().Write(b.bytes.data(), static_cast<int32_t>(b.bytes.size()));
  TStroke stroke(0);
  float x = 0, y = 0, p = 0;
  EXPECT_EQ(packet.ReadCode(), 0);
  packet.ReadStrokeStart(stroke, x, y, p);
  EXPECT_EQ(stroke.GetLayerIndex(), 2);
  EXPECT_EQ(stroke.GetColor() & 0xFFFFFF, 0x123456u);
  EXPECT_TRUE(stroke.GetIfSize());
  EXPECT_FALSE(stroke.GetIfTransparency());
  EXPECT_TRUE(stroke.GetIfEdge());
  EXPECT_FLOAT_EQ(stroke.GetWidth(), 8.5f);
  EXPECT_FLOAT_EQ(stroke.GetMin(), 12.25f);
  EXPECT_EQ(x, -3);
  EXPECT_EQ(y, 7);
  EXPECT_FLOAT_EQ(p, 0.5f);
  EXPECT_TRUE(packet.InStroke());
  EXPECT_TRUE(packet.ReadStrokePoint(x, y, p));
  EXPECT_FALSE(packet.InStroke());
  EXPECT_FLOAT_EQ(p, 2.0f);
  EXPECT_EQ(packet.ReadCode(), 305);
  SOldLine line = packet.ReadLine(stroke);
  EXPECT_EQ(stroke.GetPenType(), 3);
  EXPECT_EQ(line.x2, 3);
  EXPECT_EQ(line.y2, 4);
  EXPECT_EQ(packet.ReadCode(), 305);
  packet.ReadLine(stroke);
  EXPECT_EQ(stroke.GetPenType(), 3) << "a pen type above 4 is not taken";
  EXPECT_FALSE(packet.Memory().Overrun());
}

TEST(OldEventPacketTest, AnchorsOfTheOlderNumbering) {
  const uint8_t expected[9] = {0, 3, 6, 1, 4, 7, 2, 5, 8};
  for (uint8_t a = 0; a < 9; ++a) EXPECT_EQ(ConvertOldAnchor(a), expected[a]);
}

class OldEventFileTest : public TempFolderTest {
 protected:
  OldEventFileTest() : TempFolderTest("old-events") {}
};

TEST_F(OldEventFileTest, IndependentlyWrittenFilesLoadAsTheirTablesSay) {
  std::map<std::string, std::string> out;
  std::string output;
  ASSERT_EQ(RunDataScript("old_files.py", "write '" + dir_ + "'", out, output), 0) << output;
  struct Case {
    const char* file;
    bool valid;
    bool sealed;
  } cases[] = {{"open.wpe", true, false},     {"sealed.wpe", true, true},      {"partial.wpe", false, false},
               {"damaged.wpe", false, false}, {"truncated.wpe", false, false}, {"trailing.wpe", true, false},
               {"missing.wpe", false, false}};
  for (const Case& k : cases) {
    TEventPacket packet;
    bool sealed = false;
    EXPECT_EQ(packet.LoadFromFile(PathOf(k.file), sealed), k.valid) << k.file;
    EXPECT_EQ(sealed, k.sealed) << k.file;
  }
  TEventPacket packet;
  bool sealed = false;
  ASSERT_TRUE(packet.LoadFromFile(PathOf("open.wpe"), sealed));
  EXPECT_EQ(packet.EventCount(), 8);
  ASSERT_TRUE(packet.SaveToFile(PathOf("again.wpe"), false));
  EXPECT_EQ(ReadAll(PathOf("again.wpe")), ReadAll(PathOf("open.wpe"))) << "the open save is byte-equal";
}

TEST_F(OldEventFileTest, SealedSaveNeeds48EventsAndPutsAMarkerBeforeEverySecondEvent) {
  WriteFile(PathOf("kept.wpe"), "kept");
  {
    TEventPacket packet;
    TMyMemory source = Block(ActiveLayerEvents(47));
    bool sealed = false;
    ASSERT_TRUE(packet.Validate(source, sealed));
    EXPECT_FALSE(packet.SaveToFile(PathOf("kept.wpe"), true));
    EXPECT_EQ(ReadFile(PathOf("kept.wpe")), "kept") << "a refusal leaves the file untouched";
    EXPECT_FALSE(packet.SaveToFile(PathOf("none.wpe"), true));
    EXPECT_FALSE(std::filesystem::exists(PathOf("none.wpe")));
  }
  TEventPacket packet;
  TMyMemory source = Block(ActiveLayerEvents(48));
  bool sealed = false;
  ASSERT_TRUE(packet.Validate(source, sealed));
  ASSERT_TRUE(packet.SaveToFile(PathOf("kept.wpe"), true));
  const std::vector<uint8_t> file = ReadAll(PathOf("kept.wpe"));
  // Walk the file: markers sit before events 2, 4, ..., 32 (counting from 1).
  std::vector<int32_t> markedEvents;
  uint32_t seen = 0;
  int32_t event = 0;
  for (size_t pos = 0; pos + 1 < file.size();) {
    const uint16_t code = static_cast<uint16_t>(file[pos] | (file[pos + 1] << 8));
    pos += 2;
    if (code >= 768 && code <= 783) {
      markedEvents.push_back(event + 1);
      seen |= 1u << (code - 768);
      continue;
    }
    ++event;
    pos += static_cast<size_t>(
        OldEventPayloadLength(code, file.data() + pos, static_cast<int32_t>(file.size() - pos)));
  }
  EXPECT_EQ(event, 48);
  EXPECT_EQ(seen, 0xFFFFu);
  ASSERT_EQ(markedEvents.size(), 16u);
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(markedEvents[i], 2 * (i + 1));
}

TEST_F(OldEventFileTest, AStreamWithoutItsEndCodeIsNotSavedOverAGoodFile) {
  WriteFile(PathOf("good.wpe"), "good");
  TEventPacket packet;
  TMyMemory source = Block(ActiveLayerEvents(60));
  bool sealed = false;
  ASSERT_TRUE(packet.Validate(source, sealed));
  packet.DropEndCode();
  EXPECT_FALSE(packet.SaveToFile(PathOf("good.wpe"), false));
  EXPECT_FALSE(packet.SaveToFile(PathOf("good.wpe"), true));
  EXPECT_EQ(ReadFile(PathOf("good.wpe")), "good");
}

TEST_F(OldEventFileTest, SealedSavesOfRandomStreamsLoadSealedAndEqualTheOpenSaveWithoutTheirMarkers) {
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    const uint32_t clockValue = static_cast<uint32_t>(seed * 7919);
    const MillisecondSource previous = SetMillisecondSource([clockValue] { return clockValue; });
    const std::vector<uint8_t> stream = RandomOldStream(seed, 60 + static_cast<int32_t>(seed) * 30, 32, 24);
    TEventPacket packet;
    TMyMemory source = Block(stream);
    bool sealed = true;
    ASSERT_TRUE(packet.Validate(source, sealed)) << seed;
    EXPECT_FALSE(sealed);
    ASSERT_TRUE(packet.SaveToFile(PathOf("open.wpe"), false));
    ASSERT_TRUE(packet.SaveToFile(PathOf("sealed.wpe"), true));
    SetMillisecondSource(previous);
    EXPECT_EQ(ReadAll(PathOf("open.wpe")), stream);
    TEventPacket loaded;
    ASSERT_TRUE(loaded.LoadFromFile(PathOf("sealed.wpe"), sealed)) << seed;
    EXPECT_TRUE(sealed);
    EXPECT_EQ(loaded.EventCount(), packet.EventCount());
    // The markers out again.
    std::vector<uint8_t> unsealed;
    const std::vector<uint8_t> file = ReadAll(PathOf("sealed.wpe"));
    for (size_t pos = 0; pos + 1 < file.size();) {
      const uint16_t code = static_cast<uint16_t>(file[pos] | (file[pos + 1] << 8));
      if (IsOldSealMarker(code)) {
        pos += 2;
        continue;
      }
      const int32_t length =
          OldEventPayloadLength(code, file.data() + pos + 2, static_cast<int32_t>(file.size() - pos - 2));
      ASSERT_GE(length, 0);
      unsealed.insert(unsealed.end(), file.begin() + static_cast<ptrdiff_t>(pos),
                      file.begin() + static_cast<ptrdiff_t>(pos + 2 + length));
      pos += 2 + static_cast<size_t>(length);
    }
    EXPECT_EQ(unsealed, stream) << seed;
  }
}

// ---------------------------------------------------------------------------------------------
// Event kinds

TEST(EventNamesTest, SpotChecksAndSharedTexts) {
  EXPECT_STREQ(getEventName(getEventKind(2, 254)), "イベント記録の開始");
  EXPECT_STREQ(getEventName(getEventKind(2, 255)), "イベント記録の終了");
  EXPECT_EQ(getEventKind(0, 17), 0);
  EXPECT_EQ(getEventKind(16, 0), 0) << "stroke starts are not named";
  EXPECT_EQ(getEventKind(17, 200), kEventKindStroke);
  EXPECT_EQ(getEventKind(6, 7), 0);
  EXPECT_EQ(getEventKind(38, 86), 101);
  EXPECT_EQ(getEventKind(34, 86), 101);
  EXPECT_STREQ(getEventName(0), "");
  EXPECT_STREQ(getEventName(134), "");
  EXPECT_STREQ(getEventName(26), getEventName(27));
  EXPECT_STREQ(getEventName(75), getEventName(76));
  EXPECT_STREQ(getEventName(75), "色調反転");
  EXPECT_STREQ(getEventName(133), "選択範囲の境界線");
  EXPECT_EQ(getEventGlyph(4), 45);
  EXPECT_EQ(getEventGlyph(70), 18);
  EXPECT_EQ(getEventGlyph(0), kEventGlyphGeneric);
  EXPECT_EQ(getEventGlyph(133), kEventGlyphGeneric);
  EXPECT_EQ(getOldEventKind(0xFFFF), 2);
  EXPECT_EQ(getOldEventKind(305), kEventKindStroke);
  EXPECT_EQ(getOldEventKind(520), 4);
}

TEST(EventNamesTest, EveryCodeTheCheckAcceptsHasAKindAndEveryKindAName) {
  const uint8_t zeros[8] = {};
  for (uint32_t code = 0; code <= 0xFFFF; ++code) {
    const bool accepted = OldEventPayloadLength(static_cast<uint16_t>(code), zeros, 8) >= 0;
    if (!accepted || code == 518 || code == 519) continue;
    EXPECT_NE(getOldEventKind(static_cast<uint16_t>(code)), 0) << code;
  }
  for (int32_t kind = 1; kind < kEventKindCount; ++kind) EXPECT_STRNE(getEventName(kind), "") << kind;
}

}  // namespace
}  // namespace tf::test
