// Resource dictionaries: tone tiles, gradient colours and image nibs recorded once and referred
// to after; keys forgotten with the undone step; the player's rebuilding and its checks; and the
// state a refused append leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "platform/BlockPack.h"
#include "platform/Memory.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "support/FakeRecordSources.h"

namespace tf {
namespace {

constexpr uint32_t kBlock = 65536;

class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHost_ = SetWarningHost(&warnings_);
    tones_.pattern.key = 501;
    tones_.pattern.scale = 150;
    tones_.tile = MakeChannel(5, 4, 3);
    mngr_.attachDocument(&document_);
    mngr_.attachPen(&pen_);
    ASSERT_TRUE(mngr_.setupRecording(&stroke_, &tones_, 42, 42));
    ASSERT_TRUE(mngr_.writeNewDocument(64, 48, 64, 48, 72, true, false));
    ASSERT_TRUE(mngr_.startRecording());
  }
  void TearDown() override {
    SetMemoryRefusals(0);
    SetWarningHost(previousHost_);
  }

  static std::unique_ptr<TChannel> MakeChannel(int w, int h, int seed) {
    auto c = std::make_unique<TChannel>(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) c->GetPixelPtr(x, y)[0] = static_cast<uint8_t>(seed * 31 + x * 7 + y * 13);
    return c;
  }

  // Records one stroke and answers the state codes of its step.
  std::vector<int> Stroke() {
    const uint32_t start = mngr_.writePos();
    EXPECT_TRUE(mngr_.beginStroke(1, 2, 1));
    EXPECT_TRUE(mngr_.endStroke());
    std::vector<int> codes;
    mngr_.walkPackets(start, mngr_.writePos(), [&](const SPacketFrame& f) {
      if (f.header.cls == 0) codes.push_back(f.header.code);
      return true;
    });
    return codes;
  }

  // Appends a class-1 packet so that the write position stands `room` bytes before the end of
  // the first block, and closes the step: the next append that needs more needs a new block.
  void FillBlockLeaving(uint32_t room) {
    const uint32_t target = kBlock - room;
    ASSERT_GT(target, mngr_.writePos() + 6);
    std::vector<uint8_t> data(target - mngr_.writePos() - 6);
    uint8_t n[4];
    StoreU32(n, static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(mngr_.appendPacket(kPcInfo, 3, n, 4, data.data(), static_cast<uint32_t>(data.size())));
    ASSERT_TRUE(mngr_.commitStep());
    ASSERT_EQ(mngr_.writePos(), target);
  }

  // What a refused append must leave exactly as it was.
  struct Snapshot {
    uint32_t writePos;
    int32_t committed;
    uint8_t bits[3];
    std::vector<uint8_t> records;
    std::vector<uint8_t> text;
    bool toneKey, shapeKey;
    std::vector<uint8_t> slots;
  };
  Snapshot Take(uint32_t toneKey, uint32_t shapeKey) {
    Snapshot s;
    s.writePos = mngr_.writePos();
    s.committed = mngr_.committed();
    std::memcpy(s.bits, mngr_.snapshotValid, 3);
    const SStateRecords& r = mngr_.records;
    auto add = [&](const auto& record) {
      const auto* b = reinterpret_cast<const uint8_t*>(&record);
      s.records.insert(s.records.end(), b, b + sizeof record);
    };
    add(r.app), add(r.paperColor), add(r.background), add(r.gradPoints), add(r.gradOptions);
    add(r.activeLayer), add(r.flagWord), add(r.pressure), add(r.penColor), add(r.penSize);
    add(r.penDynamics), add(r.font), add(r.toneReference), add(r.nibFalloff), add(r.nibColors);
    add(r.nibShape), add(r.nibFlags), add(r.shapeReference), add(r.penParamsA);
    add(r.penParamsB), add(r.paintSwitches), add(r.strokeDynamics);
    s.text = r.text;
    s.toneKey = mngr_.toneDict.contains(toneKey);
    s.shapeKey = mngr_.shapeDict.contains(shapeKey);
    const uint8_t* data = nullptr;
    int32_t bytes = 0;
    if (mngr_.slotGroup.GetData(data, bytes)) s.slots.assign(data, data + bytes);
    return s;
  }
  void ExpectSame(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(a.writePos, b.writePos);
    EXPECT_EQ(a.committed, b.committed);
    EXPECT_EQ(0, std::memcmp(a.bits, b.bits, 3));
    EXPECT_EQ(a.records, b.records);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.toneKey, b.toneKey);
    EXPECT_EQ(a.shapeKey, b.shapeKey);
    EXPECT_EQ(a.slots, b.slots);
  }

  RecordingWarningHost warnings_;
  WarningHost* previousHost_ = nullptr;
  FakeRecordedDocument document_;
  FakeRecordedStroke stroke_;
  FakeRecordedPen pen_;
  FakeRecordedTones tones_;
  CEventMngr mngr_{kBlock, 1048576};
};

TEST_F(DictionaryTest, AToneIsDefinedOnceThenReferredToWhenItsPlacementChanges) {
  stroke_.state.useTone = true;
  std::vector<int> first = Stroke();
  EXPECT_NE(std::find(first.begin(), first.end(), 36), first.end());
  EXPECT_EQ(std::find(first.begin(), first.end(), 37), first.end());
  // The same tone again: nothing about it.
  std::vector<int> second = Stroke();
  EXPECT_EQ(std::find(second.begin(), second.end(), 36), second.end());
  EXPECT_EQ(std::find(second.begin(), second.end(), 37), second.end());
  // Moved: a reference, once.
  tones_.pattern.offsetX = 3;
  std::vector<int> third = Stroke();
  EXPECT_EQ(std::find(third.begin(), third.end(), 36), third.end());
  EXPECT_NE(std::find(third.begin(), third.end(), 37), third.end());
  std::vector<int> fourth = Stroke();
  EXPECT_EQ(std::find(fourth.begin(), fourth.end(), 37), fourth.end());
}

TEST_F(DictionaryTest, TheDefinitionPacketHoldsThePatternAndItsPackedTile) {
  stroke_.state.useTone = true;
  tones_.pattern.offsetX = -2;
  tones_.pattern.offsetY = 9;
  tones_.pattern.inverted = true;
  tones_.name = std::string(70, 'n');  // cut at 64
  const uint32_t start = mngr_.writePos();
  ASSERT_TRUE(mngr_.writeDocState());
  bool seen = false;
  mngr_.walkPackets(start, mngr_.writePos(), [&](const SPacketFrame& f) {
    if (f.header.cls != 0 || f.header.code != 36) return true;
    seen = true;
    std::vector<uint8_t> p(f.length);
    mngr_.readAt(f.payloadPos, p.data(), f.length);
    EXPECT_EQ(LoadU32(p.data()), 501u);
    EXPECT_EQ(LoadU16(p.data() + 12), 8);
    EXPECT_EQ(LoadU16(p.data() + 14), 0);
    EXPECT_EQ(LoadU16(p.data() + 16), 64);
    EXPECT_EQ(LoadU16(p.data() + 18), 1);
    EXPECT_EQ(LoadU16(p.data() + 20), 0x0102);
    EXPECT_EQ(LoadI32(p.data() + 24), 150);
    EXPECT_EQ(LoadI32(p.data() + 28), -2);
    EXPECT_EQ(LoadI32(p.data() + 32), 9);
    EXPECT_EQ(LoadI32(p.data() + 36), 5);
    EXPECT_EQ(LoadI32(p.data() + 40), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 84), 64), std::string(64, 'n'));
    EXPECT_EQ(LoadI32(p.data() + 148), 20);
    const int32_t packed = LoadI32(p.data() + 152);
    const int32_t n = LoadI32(p.data() + 156);
    EXPECT_EQ(n, (packed + 1) & ~1);
    EXPECT_EQ(f.length, 160 + n);
    std::vector<uint8_t> rows(20);
    EXPECT_TRUE(BlockUnpack(p.data() + 160, static_cast<size_t>(packed), rows.data(), 20));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(rows[y * 5 + x], tones_.tile->GetPixelPtr(x, y)[0]);
    return true;
  });
  EXPECT_TRUE(seen);
}

TEST_F(DictionaryTest, UndoingTheDefinitionsStepForgetsItsKey) {
  stroke_.state.useTone = true;
  document_.nib.key = 900;
  document_.nibChannel = MakeChannel(3, 3, 1);
  std::vector<int> first = Stroke();
  EXPECT_NE(std::find(first.begin(), first.end(), 36), first.end());
  EXPECT_NE(std::find(first.begin(), first.end(), 44), first.end());
  EXPECT_TRUE(mngr_.toneDict.contains(501));
  EXPECT_TRUE(mngr_.shapeDict.contains(900));
  ASSERT_TRUE(mngr_.undoStep());
  EXPECT_FALSE(mngr_.toneDict.contains(501));
  EXPECT_FALSE(mngr_.shapeDict.contains(900));
  std::vector<int> again = Stroke();
  EXPECT_NE(std::find(again.begin(), again.end(), 36), again.end());
  EXPECT_NE(std::find(again.begin(), again.end(), 44), again.end());
}

TEST_F(DictionaryTest, OnlyAnImageNibIsRecordedAsAShape) {
  std::vector<int> plain = Stroke();
  EXPECT_EQ(std::find(plain.begin(), plain.end(), 44), plain.end());
  EXPECT_EQ(std::find(plain.begin(), plain.end(), 45), plain.end());
  document_.nib.key = 901;
  document_.nib.scale = 50;
  document_.nibChannel = MakeChannel(4, 2, 2);
  std::vector<int> image = Stroke();
  EXPECT_EQ((std::vector<int>{8, 52, 44}), image);
  EXPECT_EQ(Stroke(), std::vector<int>{8});
  document_.nib.scale = 75;  // the same nib at another scale: a reference
  EXPECT_EQ(Stroke(), (std::vector<int>{8, 45}));
  document_.nibChannel.reset();  // back to a parametric nib
  EXPECT_EQ(Stroke(), (std::vector<int>{8, 52}));
}

TEST_F(DictionaryTest, GradientColoursAreWrittenWhenTheyChange) {
  stroke_.state.useGradation = true;
  std::vector<int> first = Stroke();
  EXPECT_NE(std::find(first.begin(), first.end(), 40), first.end());
  EXPECT_EQ(Stroke(), std::vector<int>{8});
  document_.slots.SetStop(2, 0x00FF00, 1, 128);
  std::vector<int> changed = Stroke();
  EXPECT_EQ(changed, (std::vector<int>{8, 40}));
}

TEST_F(DictionaryTest, AFlagWordNeverWrittenFailsTheDictionaryWrites) {
  // A fresh recording that has not written its document state yet.
  CEventMngr m(kBlock, 1048576);
  m.attachDocument(&document_);
  ASSERT_TRUE(m.setupRecording(&stroke_, &tones_, 8, 8));
  EXPECT_FALSE(m.writeTone());
  EXPECT_FALSE(m.writeGradientColors(false));
  EXPECT_FALSE(m.writePenShape());
  EXPECT_TRUE(m.writeGradientColors(true));  // a gradient fill does not ask the flag word
}

// ---------------------------------------------------------------------------------------------
// A refused append changes nothing

TEST_F(DictionaryTest, ARefusedStateRecordLeavesRecordAndBitAsTheyWere) {
  // Regression: the stored record and its bit were updated before the append, so after a
  // failure they claimed a state the stream never got.
  ASSERT_TRUE(mngr_.writeAllState());
  ASSERT_TRUE(mngr_.commitStep());
  FillBlockLeaving(4);
  const Snapshot before = Take(0, 0);
  SPenSizeRecord size{};
  size.width = 99.0f;
  SetMemoryRefusals(1);
  EXPECT_EQ(mngr_.writeStateRecord(kStPenSize, &size, sizeof size), StateWrite::kFailed);
  SetMemoryRefusals(0);
  ExpectSame(before, Take(0, 0));
}

TEST_F(DictionaryTest, ARefusedTextRecordLeavesTheTextAsItWas) {
  const uint8_t first[4] = {2, 0, 'a', 0};
  ASSERT_EQ(mngr_.writeStateRecord(kStText, first, 4), StateWrite::kWritten);
  ASSERT_TRUE(mngr_.commitStep());
  FillBlockLeaving(4);
  const Snapshot before = Take(0, 0);
  const uint8_t second[4] = {2, 0, 'b', 0};
  SetMemoryRefusals(1);
  EXPECT_EQ(mngr_.writeStateRecord(kStText, second, 4), StateWrite::kFailed);
  SetMemoryRefusals(0);
  ExpectSame(before, Take(0, 0));
}

TEST_F(DictionaryTest, ARefusedToneDefinitionLeavesKeyAndSnapshotAsTheyWere) {
  stroke_.state.useTone = false;
  ASSERT_TRUE(mngr_.writeAllState());
  ASSERT_TRUE(mngr_.commitStep());
  FillBlockLeaving(11);  // room for the active layer and the flag word, not the definition
  stroke_.state.useTone = true;
  const Snapshot before = Take(501, 0);
  // The flag word fits; the definition needs the next block.
  SetMemoryRefusals(1);
  EXPECT_FALSE(mngr_.writeDocState());
  SetMemoryRefusals(0);
  Snapshot after = Take(501, 0);
  EXPECT_FALSE(after.toneKey);
  EXPECT_FALSE(mngr_.isSnapshotValid(kStToneReference));
  EXPECT_TRUE(mngr_.isBroken());
  // Only the flag word (and the active layer) went in.
  EXPECT_EQ(after.writePos, before.writePos + 6 + 4);
}

TEST_F(DictionaryTest, RefusedGradientColoursAndShapeDefinitionLeaveTheirStateAsItWas) {
  document_.slots.SetStop(2, 0x00FF00, 1, 128);
  ASSERT_TRUE(mngr_.writeAllState());
  ASSERT_TRUE(mngr_.commitStep());
  FillBlockLeaving(2);
  {
    const Snapshot before = Take(0, 902);
    SetMemoryRefusals(1);
    EXPECT_FALSE(mngr_.writeGradientColors(true));
    SetMemoryRefusals(0);
    ExpectSame(before, Take(0, 902));
  }
  // A fresh recording for the shape (the stream above stopped at its failure).
  CEventMngr m(kBlock, 1048576);
  m.attachDocument(&document_);
  m.attachPen(&pen_);
  ASSERT_TRUE(m.setupRecording(&stroke_, &tones_, 8, 8));
  ASSERT_TRUE(m.writeAllState());
  ASSERT_TRUE(m.commitStep());
  std::vector<uint8_t> data(kBlock - m.writePos() - 6 - 4);
  uint8_t n[4];
  StoreU32(n, static_cast<uint32_t>(data.size()));
  ASSERT_TRUE(m.appendPacket(kPcInfo, 3, n, 4, data.data(), static_cast<uint32_t>(data.size())));
  ASSERT_TRUE(m.commitStep());
  document_.nib.key = 902;
  document_.nibChannel = MakeChannel(8, 8, 5);
  const uint8_t bitsBefore = m.snapshotValid[2];
  SetMemoryRefusals(1);
  EXPECT_FALSE(m.writePenState());
  SetMemoryRefusals(0);
  EXPECT_FALSE(m.shapeDict.contains(902));
  EXPECT_EQ(m.snapshotValid[2] & 0x08, bitsBefore & 0x08);
}

// ---------------------------------------------------------------------------------------------
// Playback

class DictionaryPlayTest : public DictionaryTest {
 protected:
  // Plays every dictionary packet of the recorded stream into a second manager that holds
  // the same bytes.
  bool PlayAll(CEventMngr& player) {
    bool ok = true;
    player.walkPackets(0, player.writePos(), [&](const SPacketFrame& f) {
      if (f.header.cls != 0) return true;
      switch (f.header.code) {
        case 36: ok = player.playToneDefinition(f) && ok; break;
        case 37: ok = player.playToneReference(f) && ok; break;
        case 40: ok = player.playGradientColors(f) && ok; break;
        case 44: ok = player.playShapeDefinition(f) && ok; break;
        case 45: ok = player.playShapeReference(f) && ok; break;
        case 52: {
          SNibShapeRecord r;
          player.readAt(f.payloadPos, &r, sizeof r);
          player.writeStateRecord(52, &r, sizeof r);
          break;
        }
        default: break;
      }
      return true;
    });
    return ok;
  }

  // A player holding a copy of the recorded bytes.
  void LoadInto(CEventMngr& player) {
    std::vector<uint8_t> bytes(mngr_.committed());
    mngr_.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_TRUE(player.setupStream(nullptr, nullptr, 8, 8));
    ASSERT_EQ(player.writeSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
    ASSERT_TRUE(player.setLoadedLength(static_cast<int32_t>(bytes.size()), 1));
    player.state = kEventPlaying;
    player.attachPlayedResources(&played_);
  }

  FakePlayedResources played_;
};

TEST_F(DictionaryPlayTest, RecordedPicturesComeBackWhole) {
  stroke_.state.useTone = true;
  stroke_.state.useGradation = true;
  document_.nib.key = 903;
  document_.nib.scale = 40;
  document_.nibChannel = MakeChannel(6, 3, 7);
  Stroke();
  tones_.pattern.offsetY = 5;
  document_.nib.scale = 60;
  Stroke();
  CEventMngr player(kBlock, 1048576);
  LoadInto(player);
  ASSERT_TRUE(PlayAll(player));
  ASSERT_EQ(played_.patterns.size(), 1u);
  const auto& pattern = played_.patterns[0];
  EXPECT_EQ(pattern.scale, 150);
  EXPECT_EQ(pattern.offsetY, 5);  // the reference moved it
  EXPECT_EQ(pattern.name, "tone");
  ASSERT_TRUE(pattern.tile);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(pattern.tile->GetPixelPtr(x, y)[0], tones_.tile->GetPixelPtr(x, y)[0]);
  EXPECT_EQ(played_.current, 0);
  ASSERT_TRUE(played_.shape);
  EXPECT_EQ(played_.shapeKey, 903u);
  EXPECT_EQ(played_.shapeScale, 60);
  EXPECT_EQ(played_.rebuilds, 2);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(played_.shape->GetPixelPtr(x, y)[0], document_.nibChannel->GetPixelPtr(x, y)[0]);
  EXPECT_TRUE(player.playUsesImageShape());
  EXPECT_TRUE(player.slotGroup.IsValid());
  EXPECT_TRUE(player.isSnapshotValid(kStGradColors));
  player.clearDictionaries();
  EXPECT_FALSE(player.toneDict.contains(501));
}

// A dictionary packet written by hand into a player's stream, and played.
class DictionaryPacketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(player_.setupStream(nullptr, nullptr, 8, 8));
    player_.attachPlayedResources(&played_);
  }
  // Appends the packet's bytes and answers its frame.
  SPacketFrame Put(uint8_t code, const std::vector<uint8_t>& payload) {
    const uint32_t pos = player_.writePos();
    const uint8_t header[2] = {0, code};
    player_.writeSpan(pos, header, 2);
    player_.writeSpan(pos + 2, payload.data(), static_cast<uint32_t>(payload.size()));
    SPacketFrame f;
    EXPECT_TRUE(player_.readPacketFrame(pos, player_.writePos(), f));
    return f;
  }
  static std::vector<uint8_t> ToneDefinition(uint32_t key, int32_t w, int32_t h, int32_t tileBytes,
                                             uint16_t nameLength, int32_t packedOverride = -1) {
    // The tile is always 4 x 4; the sizes the header claims are the test's.
    std::vector<uint8_t> tile(16, 7);
    std::vector<uint8_t> packed;
    uint32_t packedLength = BlockPack(tile.data(), tile.size(), packed);
    if (packedLength & 1) packed.push_back(0);
    std::vector<uint8_t> p(160);
    StoreU32(p.data(), key);
    StoreU16(p.data() + 12, 8);
    StoreU16(p.data() + 16, nameLength);
    StoreU16(p.data() + 18, 1);
    StoreU32(p.data() + 24, 100);
    StoreU32(p.data() + 36, static_cast<uint32_t>(w));
    StoreU32(p.data() + 40, static_cast<uint32_t>(h));
    std::memcpy(p.data() + 84, "pattern", 7);
    StoreU32(p.data() + 148, static_cast<uint32_t>(tileBytes));
    StoreU32(p.data() + 152, static_cast<uint32_t>(packedOverride >= 0 ? packedOverride : packedLength));
    StoreU32(p.data() + 156, static_cast<uint32_t>(packed.size()));
    p.insert(p.end(), packed.begin(), packed.end());
    return p;
  }

  CEventMngr player_{kBlock, 1048576};
  FakePlayedResources played_;
};

TEST_F(DictionaryPacketTest, SizesInsideADefinitionAreCheckedBeforeUse) {
  // Regression: tile sizes, packed lengths and name lengths were used as they came.
  struct Case {
    const char* name;
    std::vector<uint8_t> payload;
  };
  const std::vector<Case> bad = {
      {"name longer than 64", ToneDefinition(1, 4, 4, 16, 65)},
      {"tile bytes below width x height", ToneDefinition(2, 4, 4, 15, 7)},
      {"width x height beyond 32 bits", ToneDefinition(3, 0x10000, 0x10000, 16, 7)},
      {"negative width", ToneDefinition(4, -4, 4, 16, 7)},
      {"packed length beyond n", ToneDefinition(5, 4, 4, 16, 7, 4000)},
      {"tile bytes no packed tile can hold", ToneDefinition(6, 4, 4, 0x7FFFFFF0, 7)},
  };
  for (const Case& c : bad) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(player_.playToneDefinition(Put(36, c.payload)));
  }
  EXPECT_TRUE(played_.patterns.empty());
  EXPECT_TRUE(player_.playToneDefinition(Put(36, ToneDefinition(9, 4, 4, 16, 7))));
  ASSERT_EQ(played_.patterns.size(), 1u);
  EXPECT_EQ(played_.patterns[0].name, "pattern");
  // A key is defined once; a reference needs a defined key.
  EXPECT_FALSE(player_.playToneDefinition(Put(36, ToneDefinition(9, 4, 4, 16, 7))));
  std::vector<uint8_t> ref(20);
  StoreU32(ref.data(), 10);
  EXPECT_FALSE(player_.playToneReference(Put(37, ref)));
  StoreU32(ref.data(), 9);
  StoreU32(ref.data() + 12, 6);
  EXPECT_TRUE(player_.playToneReference(Put(37, ref)));
  EXPECT_EQ(played_.patterns[0].offsetX, 6);
}

TEST_F(DictionaryPacketTest, ShapeAndGradientPacketsAreChecked) {
  std::vector<uint8_t> def(40);
  StoreU32(def.data(), 5);
  StoreU32(def.data() + 20, 3);
  StoreU32(def.data() + 24, 3);
  StoreU32(def.data() + 28, 8);  // fewer bytes than 3 x 3
  StoreU32(def.data() + 32, 2);
  StoreU32(def.data() + 36, 2);
  def.push_back(0);
  def.push_back(0);
  EXPECT_FALSE(player_.playShapeDefinition(Put(44, def)));
  std::vector<uint8_t> ref(24);
  StoreU32(ref.data(), 5);
  EXPECT_FALSE(player_.playShapeReference(Put(45, ref)));  // key never defined
  EXPECT_EQ(played_.rebuilds, 0);

  std::vector<uint8_t> grad(12);
  EXPECT_FALSE(player_.playGradientColors(Put(40, grad)));  // no slots
  grad.resize(12 + 24);
  StoreU16(grad.data() + 6, 24);
  grad[12] = grad[13] = 1;  // one live stop
  StoreU32(grad.data() + 12 + 12, 1);
  EXPECT_TRUE(player_.playGradientColors(Put(40, grad)));
  EXPECT_TRUE(player_.isSnapshotValid(kStGradColors));
}

TEST_F(DictionaryPacketTest, DamagedDefinitionsFailWithoutHarm) {
  // Seeded random damage to recorded definitions: every handler answers, and nothing is read or
  // written out of bounds (the sanitizers watch).
  uint64_t seed = 12345;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  const std::vector<uint8_t> tone = ToneDefinition(100, 4, 4, 16, 7);
  std::vector<uint8_t> shape(40);
  StoreU32(shape.data() + 20, 4);
  StoreU32(shape.data() + 24, 4);
  StoreU32(shape.data() + 28, 16);
  shape.insert(shape.end(), tone.begin() + 160, tone.end());
  std::memcpy(shape.data() + 32, tone.data() + 152, 8);
  int accepted = 0;
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> t = i % 2 ? tone : shape;
    const size_t fixed = i % 2 ? 160 : 40;
    for (int k = 0; k < 3; ++k) t[next() % fixed] = static_cast<uint8_t>(next());
    StoreU32(t.data(), static_cast<uint32_t>(1000 + i));  // a fresh key each time
    // Keep n consistent with the bytes present, as the packet framing would.
    StoreU32(t.data() + fixed - 4, static_cast<uint32_t>(t.size() - fixed));
    const bool ok = i % 2 ? player_.playToneDefinition(Put(36, t)) : player_.playShapeDefinition(Put(44, t));
    accepted += ok ? 1 : 0;
  }
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace tf
