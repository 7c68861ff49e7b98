// Nib presets, the nib set and its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "paint/NibSetFile.h"
#include "paint/NibShape.h"
#include "platform/BlockPack.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

std::unique_ptr<TChannel> PatternImage(int w, int h) {
  auto image = std::make_unique<TChannel>(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) *PixelAddr8(image->View(), x, y) = static_cast<uint8_t>((x * 37 + y * 11) & 0xFF);
  }
  return image;
}

std::unique_ptr<CPenShapeObj> ImageNib(int w, int h, const char* name) {
  auto nib = std::make_unique<CPenShapeObj>();
  nib->SetParametric(nullptr, nullptr, nullptr);
  nib->SetImage(PatternImage(w, h), true);
  nib->SetName(name);
  return nib;
}

std::unique_ptr<CPenShapeObj> ParametricNib(int kind, int core, int floor, int size, int minRatio, int aspect,
                                            int angle, uint32_t flag, const char* name) {
  SNibRecord r;
  r.Init();
  r.profile.kind = static_cast<uint8_t>(kind);
  r.profile.core = core;
  r.profile.floor = floor;
  r.shape = SNibShape{size, aspect, angle, minRatio};
  r.flag = flag;
  auto nib = std::make_unique<CPenShapeObj>(r);
  nib->SetName(name);
  return nib;
}

// ---------------------------------------------------------------------------------------------
// Presets

TEST(NibPreset, BuiltinRecords) {
  const int32_t sizes[] = {100, 1600, 1200, 1200, 3000, 1500, 2500};
  const int32_t minima[] = {750, 333, 1000, 1000, 600, 600, 600};
  for (int i = 0; i < kBuiltinNibCount; ++i) {
    SNibRecord r;
    ASSERT_TRUE(BuiltinNibRecord(i, r));
    EXPECT_EQ(r.shape.size, sizes[i]);
    EXPECT_EQ(r.shape.minRatio, minima[i]);
    EXPECT_EQ(r.shape.aspect, 1000);
    EXPECT_EQ(r.profile.kind, i == 6 ? 0 : 3);
    EXPECT_EQ(r.profile.core, i < 3 ? 1000 : 0);
  }
  SNibRecord r;
  EXPECT_FALSE(BuiltinNibRecord(7, r));
}

TEST(NibPreset, ImageScaleRanges) {
  CPenShapeObj nib;
  ASSERT_TRUE(nib.SetImage(PatternImage(10, 40), true));
  EXPECT_EQ(nib.GetScaleMin(), 40);
  EXPECT_EQ(nib.GetScaleMax(), 500);
  EXPECT_EQ(nib.GetScalePercent(), 100);
  EXPECT_EQ(nib.Shape().size, 10000);
  EXPECT_FLOAT_EQ(nib.GetRadius(), 20);
  // An empty range (200..17): below the minimum takes the minimum, the maximum is not looked at.
  ASSERT_TRUE(nib.SetImage(PatternImage(2, 3000), false));
  EXPECT_EQ(nib.GetScaleMin(), 200);
  EXPECT_EQ(nib.GetScaleMax(), 17);
  EXPECT_EQ(nib.GetScalePercent(), 200);
  ASSERT_TRUE(nib.SetImage(PatternImage(600, 20), true));
  EXPECT_EQ(nib.GetScaleMax(), 85);
  EXPECT_EQ(nib.GetScalePercent(), 85);
  EXPECT_FALSE(nib.SetScale(86));
  EXPECT_FALSE(nib.SetScale(85));  // unchanged
  EXPECT_TRUE(nib.SetScale(50));
  EXPECT_EQ(nib.Shape().size, 5000);
}

// Width or height 0 divided by zero (400 div min side).
TEST(NibPreset, EmptyImagesAreRefused) {
  CPenShapeObj nib;
  const uint32_t serial = nib.SerialId();
  EXPECT_FALSE(nib.SetImage(std::make_unique<TChannel>(0, 5), true));
  EXPECT_FALSE(nib.SetImage(std::make_unique<TChannel>(), true));
  EXPECT_FALSE(nib.SetImage(nullptr, true));
  EXPECT_FALSE(nib.IsBitmapNib());
  EXPECT_EQ(nib.SerialId(), serial);
}

TEST(NibPreset, SerialIdsAssignAndReset) {
  CPenShapeObj a, b;
  EXPECT_NE(a.SerialId(), b.SerialId());
  a.SetParametric(nullptr, nullptr, nullptr);
  const uint32_t before = a.SerialId();
  a.SetImage(PatternImage(4, 4), true);
  EXPECT_NE(a.SerialId(), before);
  EXPECT_TRUE(b.Assign(a));  // image copy, new id, scale kept
  EXPECT_TRUE(b.IsBitmapNib());
  EXPECT_NE(b.SerialId(), a.SerialId());
  EXPECT_EQ(std::memcmp(b.Image()->Bits(), a.Image()->Bits(), 16), 0);
  CPenShapeObj invalid;
  EXPECT_FALSE(b.Assign(invalid));
  b.ResetToDefaultShape();
  EXPECT_FALSE(b.IsBitmapNib());
  EXPECT_EQ(b.Shape().size, 1000);
  EXPECT_EQ(b.GetNibKind(), CPenShapeObj::kParametric);
}

TEST(NibSet, DeletingBeforeTheCurrentNibKeepsTheSameNibCurrent) {
  CPenShapeMngr set;
  int notifications = 0;
  set.SetChangeCallback([&](CPenShapeMngr&) { ++notifications; });
  ASSERT_TRUE(set.UseBuiltins());
  ASSERT_EQ(set.Count(), 7);
  ASSERT_TRUE(set.SetCurrent(4));
  CPenShapeObj* current = set.GetCurrent();
  ASSERT_TRUE(set.Delete(1));
  EXPECT_EQ(set.GetCurrent(), current);
  EXPECT_EQ(set.GetCurrentIndex(), 3);
  ASSERT_TRUE(set.Delete(3));  // the current one: its index stays, the next nib is current
  EXPECT_EQ(set.GetCurrentIndex(), 3);
  set.SetCurrent(4);
  ASSERT_TRUE(set.Delete(4));  // the last: the new last
  EXPECT_EQ(set.GetCurrentIndex(), 3);
  EXPECT_FALSE(set.Delete(4));
  EXPECT_TRUE(set.IsModified());
  EXPECT_GT(notifications, 0);
  EXPECT_FALSE(set.SetCurrent(99));
  EXPECT_EQ(set.GetCurrentIndex(), 3);
  EXPECT_EQ(set.Insert(9, std::make_unique<CPenShapeObj>()), -1);
  EXPECT_EQ(set.Insert(0, std::make_unique<CPenShapeObj>()), 0);
  EXPECT_EQ(set.ClearAll(), 5);
  EXPECT_EQ(set.GetCurrentIndex(), -1);
}

// ---------------------------------------------------------------------------------------------
// The file

class NibSetFileTest : public test::TempFolderTest {
 protected:
  NibSetFileTest() : TempFolderTest("tf-nibset") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    SetWarningHost(&warnings_);
    SetFileDialogHost(&dialogs_);
  }
  void TearDown() override {
    SetWarningHost(nullptr);
    SetFileDialogHost(nullptr);
    TempFolderTest::TearDown();
  }

  // Two parametric nibs and an image nib; current index 1.
  void FillSet(CPenShapeMngr& set) {
    set.Add(ParametricNib(0, 250, 125, 65535, 333, 400, 3599, 1, "丸ペン"));
    set.Add(ImageNib(13, 7, "image"));
    set.Add(ParametricNib(5, 0, 1000, 100, 1000, 1000, 0, 0, ""));
    set.SetCurrent(1);
  }
  std::vector<uint8_t> Bytes(const std::string& path) {
    const std::string s = ReadFile(path);
    return std::vector<uint8_t>(s.begin(), s.end());
  }
  void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
  }
  std::string SavedSet() {
    CPenShapeMngr set;
    FillSet(set);
    const std::string path = PathOf("set.psh");
    EXPECT_EQ(SaveNibSet(path, set), 0);
    return path;
  }

  RecordingWarningHost warnings_;
  ScriptedFileDialogHost dialogs_;
};

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The file read by a walk of its own, from the layout tables.
TEST_F(NibSetFileTest, AWrittenFileFollowsTheLayout) {
  CPenShapeMngr set;
  FillSet(set);
  const std::string path = PathOf("layout.psh");
  ASSERT_EQ(SaveNibSet(path, set), 0);
  const std::vector<uint8_t> b = Bytes(path);
  ASSERT_GE(b.size(), 32u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "PSST");
  EXPECT_EQ(U32(b, 4), 24u);
  EXPECT_EQ(U16(b, 8), 1);
  EXPECT_EQ(U16(b, 10), 0);
  EXPECT_EQ(U16(b, 12), 3);
  EXPECT_EQ(U16(b, 14), 1);
  for (size_t i = 16; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;

  size_t at = 32;
  // Nib 0: parametric, a 9-byte name padded to 12.
  EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 4), "PSHP");
  EXPECT_EQ(U32(b, at + 4), 120u + 12u);
  size_t body = at + 8;
  EXPECT_EQ(U16(b, body + 0), 0);
  EXPECT_EQ(U16(b, body + 2), 9);
  EXPECT_EQ(U16(b, body + 4), 1);
  EXPECT_EQ(U16(b, body + 16), 0);
  EXPECT_EQ(U16(b, body + 20), 250);
  EXPECT_EQ(U16(b, body + 22), 125);
  EXPECT_EQ(U16(b, body + 40), 65535);  // radius 655.35 px survives in 16 bits
  EXPECT_EQ(U16(b, body + 42), 333);
  EXPECT_EQ(U16(b, body + 44), 400);
  EXPECT_EQ(U16(b, body + 46), 3599);
  EXPECT_EQ(U32(b, body + 64), 1u);
  EXPECT_EQ(U16(b, body + 88), 0);
  EXPECT_EQ(std::string(b.begin() + body + 120, b.begin() + body + 129), "丸ペン");
  for (size_t i = body + 129; i < body + 132; ++i) EXPECT_EQ(b[i], 0);
  at = body + 132;

  // Nib 1: an image nib; its TTNL chunk follows the PSHP chunk outside its size.
  EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 4), "PSHP");
  EXPECT_EQ(U32(b, at + 4), 120u + 8u);
  body = at + 8;
  EXPECT_EQ(U16(b, body + 0), 1);
  EXPECT_EQ(U16(b, body + 40), 10000);
  EXPECT_EQ(U16(b, body + 88), 100);
  EXPECT_EQ(U16(b, body + 92), 400 / 7);
  EXPECT_EQ(U16(b, body + 94), 500);
  at = body + 128;
  EXPECT_EQ(std::string(b.begin() + at, b.begin() + at + 4), "TTNL");
  const uint32_t size = U32(b, at + 4);
  const size_t info = at + 8;
  EXPECT_EQ(U16(b, info + 0), 2);  // kind: packed, byte pass
  EXPECT_EQ(U16(b, info + 2), 4);  // 8-bit channel
  EXPECT_EQ(b[info + 4], 7);       // group size
  EXPECT_EQ(b[info + 6], 3);       // stride
  EXPECT_EQ(b[info + 7], 0);       // tail
  EXPECT_EQ(U32(b, info + 8), 13u);
  EXPECT_EQ(U32(b, info + 12), 7u);
  EXPECT_EQ(U32(b, info + 16), 13u);
  EXPECT_EQ(U32(b, info + 20), 7u);
  const uint32_t packed = U32(b, info + 24);
  EXPECT_EQ(U32(b, info + 28), 91u);
  EXPECT_EQ(size, 40 + packed + (4 - packed % 4) % 4);
  std::vector<uint8_t> bytes(b.begin() + info + 40, b.begin() + info + 40 + packed);
  UndoBytePass(bytes.data(), bytes.size(), b[info + 4], b[info + 5], b[info + 6]);
  std::vector<uint8_t> pixels(91);
  ASSERT_TRUE(BlockUnpack(bytes.data(), bytes.size(), pixels.data(), pixels.size()));
  EXPECT_EQ(std::memcmp(pixels.data(), set.GetItem(1)->Image()->Bits(), 91), 0);
  at = at + 8 + size;

  // Nib 2: no name, no padding; the file ends after it.
  EXPECT_EQ(U32(b, at + 4), 120u);
  EXPECT_EQ(U16(b, at + 8 + 2), 0);
  EXPECT_EQ(U16(b, at + 8 + 16), 5);
  EXPECT_EQ(at + 128, b.size());
}

TEST_F(NibSetFileTest, RoundTripKeepsEveryFieldAndTheFootprints) {
  CPenShapeMngr set;
  FillSet(set);
  const std::string path = PathOf("round.psh");
  ASSERT_EQ(SaveNibSet(path, set), 0);
  EXPECT_EQ(set.GetFileName(), path);
  EXPECT_FALSE(set.IsModified());
  CPenShapeMngr back;
  back.Add(std::make_unique<CPenShapeObj>());
  ASSERT_EQ(LoadNibSet(path, back, false), 0);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.GetCurrentIndex(), 1);
  EXPECT_EQ(back.GetFileName(), path);
  EXPECT_FALSE(back.IsModified());
  EXPECT_TRUE(warnings_.Texts().empty());
  CGradeMapObj map(kFalloffEntries);
  for (int i = 0; i < 3; ++i) {
    const CPenShapeObj& a = *set.GetItem(i);
    const CPenShapeObj& b = *back.GetItem(i);
    EXPECT_EQ(b.Name(), a.Name());
    EXPECT_TRUE(b.Profile().Equal(a.Profile())) << i;
    EXPECT_TRUE(b.Shape().Equal(a.Shape())) << i;
    EXPECT_EQ(b.Flag(), a.Flag());
    EXPECT_EQ(b.IsBitmapNib(), a.IsBitmapNib());
    // Saved and reloaded nibs give the same footprints.
    map.SetProfile(a.Profile());
    CPenShape fa(&map), fb(&map);
    fa.SetAntialias(true);
    fb.SetAntialias(true);
    if (a.IsBitmapNib()) {
      EXPECT_EQ(b.GetScalePercent(), a.GetScalePercent());
      ASSERT_TRUE(fa.SetImageNib(&a, true));
      ASSERT_TRUE(fb.SetImageNib(&b, true));
    } else {
      auto radius = [](const CPenShapeObj& n) {
        return static_cast<Fixed>(int64_t{std::min(n.Shape().size, 51200)} * 65536 / 100);
      };
      ASSERT_TRUE(fa.SetEllipse(radius(a), a.Shape().aspect / 10, a.Shape().angle / 10));
      ASSERT_TRUE(fb.SetEllipse(radius(b), b.Shape().aspect / 10, b.Shape().angle / 10));
    }
    ASSERT_EQ(fa.GridWidth(), fb.GridWidth());
    ASSERT_EQ(fa.GridHeight(), fb.GridHeight());
    EXPECT_EQ(std::memcmp(fa.ResultPlane(), fb.ResultPlane(), sizeof(int32_t) * fa.GridWidth() * fa.GridHeight()),
              0);
  }
}

TEST_F(NibSetFileTest, ImageScaleSurvivesTheRoundTrip) {
  CPenShapeMngr set;
  set.Add(ImageNib(10, 40, "scaled"));
  ASSERT_TRUE(set.GetItem(0)->SetScale(250));
  const std::string path = PathOf("scale.psh");
  ASSERT_EQ(SaveNibSet(path, set), 0);
  CPenShapeMngr back;
  ASSERT_EQ(LoadNibSet(path, back, false), 0);
  EXPECT_EQ(back.GetItem(0)->GetScalePercent(), 250);
  EXPECT_EQ(back.GetItem(0)->Shape().size, 25000);
}

TEST_F(NibSetFileTest, PartialLoadWarnsWithTheMissingCount) {
  std::vector<uint8_t> b = Bytes(SavedSet());
  b[12] = 5;  // five announced, three held
  const std::string path = PathOf("partial.psh");
  WriteBytes(path, b);
  CPenShapeMngr set;
  ASSERT_EQ(LoadNibSet(path, set, false), 0);
  EXPECT_EQ(set.Count(), 3);
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "2個のペン先集が読み込めませんでした！");
  // A record of a later version among them: skipped and counted.
  b[12] = 4;
  b[32 + 8 + 4] = 2;  // nib 0's record version
  WriteBytes(path, b);
  warnings_.Clear();
  ASSERT_EQ(LoadNibSet(path, set, false), 0);
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(warnings_.Texts()[0], "2個のペン先集が読み込めませんでした！");
}

TEST_F(NibSetFileTest, UnknownChunksBetweenRecordsAreSkipped) {
  std::vector<uint8_t> b = Bytes(SavedSet());
  const std::vector<uint8_t> extra = {'X', 'T', 'R', 'A', 6, 0, 0, 0, 1, 2, 3, 4, 5, 6};
  b.insert(b.begin() + 32, extra.begin(), extra.end());
  const std::string path = PathOf("unknown.psh");
  WriteBytes(path, b);
  CPenShapeMngr set;
  ASSERT_EQ(LoadNibSet(path, set, false), 0);
  EXPECT_EQ(set.Count(), 3);
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(NibSetFileTest, AppendingKeepsCurrentAndFileNameAndMarksModified) {
  const std::string path = SavedSet();
  CPenShapeMngr set;
  set.UseBuiltins();
  set.SetCurrent(5);
  set.SetFileName("/elsewhere/own.psh");
  set.SetModified(false);
  ASSERT_EQ(LoadNibSet(path, set, true), 0);
  EXPECT_EQ(set.Count(), 10);
  EXPECT_EQ(set.GetCurrentIndex(), 5);
  EXPECT_EQ(set.GetFileName(), "/elsewhere/own.psh");
  EXPECT_TRUE(set.IsModified());
}

TEST_F(NibSetFileTest, StoredCurrentIndexIsSignedAndClamped) {
  std::vector<uint8_t> b = Bytes(SavedSet());
  const std::string path = PathOf("current.psh");
  for (auto [low, high, expected] : {std::tuple{0xFF, 0xFF, 0}, std::tuple{7, 0, 2}, std::tuple{0x00, 0x80, 0}}) {
    b[14] = static_cast<uint8_t>(low);
    b[15] = static_cast<uint8_t>(high);
    WriteBytes(path, b);
    CPenShapeMngr set;
    ASSERT_EQ(LoadNibSet(path, set, false), 0);
    EXPECT_EQ(set.GetCurrentIndex(), expected);
  }
}

TEST_F(NibSetFileTest, SavingAnEmptySetFailsAndMakesNoFile) {
  CPenShapeMngr set;
  const std::string path = PathOf("empty.psh");
  EXPECT_EQ(SaveNibSet(path, set), 37);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(set.SaveToFile(path));
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "ペン先集の保存に失敗しました! (err=37)");
  EXPECT_EQ(SaveNibSet(PathOf("no/such/folder/x.psh"), *std::make_unique<CPenShapeMngr>()), 37);
  set.UseBuiltins();
  EXPECT_EQ(SaveNibSet(PathOf("no/such/folder/x.psh"), set), 5);
}

// A failed save cut the user's previous file back to the records written before the failure.
TEST_F(NibSetFileTest, AFailedSaveLeavesThePreviousFileWhole) {
  const std::string path = SavedSet();
  const std::vector<uint8_t> before = Bytes(path);
  CPenShapeMngr big;
  for (int i = 0; i < 0x10000; ++i) big.Add(std::make_unique<CPenShapeObj>());
  EXPECT_EQ(SaveNibSet(path, big), kFileChunkSize);
  EXPECT_EQ(Bytes(path), before);
  EXPECT_EQ(EntryCount(), 1u);  // no temporary file left
  EXPECT_NE(big.GetFileName(), path);
}

// The header and record faults as one table: each gives its code and leaves the set unchanged.
TEST_F(NibSetFileTest, DamagedFilesGiveTheirCodesAndChangeNothing) {
  const std::vector<uint8_t> good = Bytes(SavedSet());
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
    uint8_t code;
  } cases[] = {
      {"wrong set id", 0, 'X', 16},
      {"wrong header size", 4, 25, 17},
      {"version 2", 8, 2, 12},
      {"no nibs announced", 12, 0, 37},
      // The walk stops on a damaged chunk with nothing read: none loaded.
      {"first chunk runs past the end", 32 + 6, 0x7F, 37},
      // Nib 0 too short for its body, so nothing is read of it; the walk steps by its size into
      // bytes that run past the end.
      {"record shorter than its body", 32 + 4, 100, 37},
  };
  const std::string path = PathOf("damaged.psh");
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    b[c.at] = c.value;
    WriteBytes(path, b);
    CPenShapeMngr set;
    set.UseBuiltins();
    set.SetFileName("/keep.psh");
    set.SetModified(false);
    EXPECT_EQ(LoadNibSet(path, set, false), c.code) << c.what;
    EXPECT_EQ(set.Count(), 7) << c.what;
    EXPECT_EQ(set.GetFileName(), "/keep.psh") << c.what;
    EXPECT_FALSE(set.IsModified()) << c.what;
  }
  CPenShapeMngr set;
  EXPECT_EQ(LoadNibSet(PathOf("missing.psh"), set, false), 4);
  EXPECT_FALSE(set.LoadFromFile(PathOf("missing.psh"), false));
  EXPECT_EQ(warnings_.Texts().back(), "ペン先集の読み込みに失敗しました! (err=4)");
}

// A short chunk header or a chunk running past the end once threw away every nib read before.
TEST_F(NibSetFileTest, ADamagedChunkKeepsTheNibsReadBeforeIt) {
  const std::vector<uint8_t> good = Bytes(SavedSet());
  std::vector<size_t> starts;  // the nib chunks (an image chunk follows the image nib)
  for (size_t at = 32; at + 8 <= good.size(); at += 8 + U32(good, at + 4))
    if (good[at] == 'P' && good[at + 1] == 'S' && good[at + 2] == 'H' && good[at + 3] == 'P') starts.push_back(at);
  ASSERT_EQ(starts.size(), 3u);
  CPenShapeMngr source;
  FillSet(source);
  const std::string path = PathOf("cut.psh");
  for (const size_t kept : {size_t{1}, size_t{2}}) {
    for (const bool shortHeader : {true, false}) {
      SCOPED_TRACE(::testing::Message() << kept << (shortHeader ? " short header" : " past the end"));
      std::vector<uint8_t> b = good;
      if (shortHeader) {
        b.resize(starts[kept] + 6);
      } else {
        b[starts[kept] + 7] = 0x40;  // the size runs far past the end
      }
      WriteBytes(path, b);
      warnings_.Clear();
      CPenShapeMngr set;
      set.UseBuiltins();
      ASSERT_EQ(LoadNibSet(path, set, false), 0);
      ASSERT_EQ(set.Count(), static_cast<int32_t>(kept));
      for (size_t i = 0; i < kept; ++i)
        EXPECT_EQ(set.GetItem(static_cast<int32_t>(i))->Name(), source.GetItem(static_cast<int32_t>(i))->Name());
      ASSERT_EQ(warnings_.Texts().size(), 1u);
      EXPECT_EQ(warnings_.Texts()[0], std::to_string(3 - kept) + "個のペン先集が読み込めませんでした！");
    }
  }
}

// Every prefix of a file: a code and an unchanged set, or a load of the whole records it holds.
TEST_F(NibSetFileTest, TruncatedFilesNeverLoadHalfARecord) {
  const std::vector<uint8_t> good = Bytes(SavedSet());
  const std::string path = PathOf("cut.psh");
  for (size_t length = 0; length < good.size(); ++length) {
    WriteBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + length));
    CPenShapeMngr set;
    set.UseBuiltins();
    const uint8_t code = LoadNibSet(path, set, false);
    if (code != 0) {
      EXPECT_EQ(set.Count(), 7) << length;
    } else {
      EXPECT_LT(set.Count(), 3) << length;
      EXPECT_GE(set.Count(), 1) << length;
    }
  }
}

// A replacing load that read no nib emptied the set first and left it empty.
TEST_F(NibSetFileTest, ALoadThatReadsNoNibKeepsTheSet) {
  std::vector<uint8_t> b = Bytes(SavedSet());
  b.resize(32 + 8 + 132);  // nib 0 only
  b[12] = 1;
  b[32 + 8 + 4] = 9;  // of an unknown version
  const std::string path = PathOf("none.psh");
  WriteBytes(path, b);
  CPenShapeMngr set;
  set.UseBuiltins();
  EXPECT_EQ(LoadNibSet(path, set, false), 37);
  EXPECT_EQ(set.Count(), 7);
}

// An image nib whose picture is empty or does not hold width x height bytes cannot be read.
TEST_F(NibSetFileTest, ImageNibsWithBadPicturesAreUnreadable) {
  CPenShapeMngr one;
  one.Add(ImageNib(13, 7, "image"));
  const std::string source = PathOf("image.psh");
  ASSERT_EQ(SaveNibSet(source, one), 0);
  const std::vector<uint8_t> good = Bytes(source);
  const size_t info = 32 + 8 + 128 + 8;  // set header, PSHP chunk with a 5-byte name, TTNL header
  ASSERT_EQ(std::string(good.begin() + info - 8, good.begin() + info - 4), "TTNL");
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  } cases[] = {{"width 0", info + 16, 0},
               {"width 14", info + 16, 14},
               {"content code 0", info + 2, 0},
               {"packed byte flipped", info + 45, 0x5C}};
  const std::string path = PathOf("bad.psh");
  for (const Case& c : cases) {
    std::vector<uint8_t> b = good;
    b[c.at] ^= c.value == 0x5C ? 0xFF : 0;
    if (c.value != 0x5C) b[c.at] = c.value;
    WriteBytes(path, b);
    CPenShapeMngr set;
    set.UseBuiltins();
    EXPECT_EQ(LoadNibSet(path, set, false), 37) << c.what;
    EXPECT_EQ(set.Count(), 7) << c.what;
  }
}

// A floor outside 0..1000 from a file gave falloff entries above 255.
TEST_F(NibSetFileTest, FalloffOutsideItsRangeIsClampedOnLoad) {
  std::vector<uint8_t> b = Bytes(SavedSet());
  b[32 + 8 + 22] = 0x88;  // floor 5000
  b[32 + 8 + 23] = 0x13;
  const std::string path = PathOf("floor.psh");
  WriteBytes(path, b);
  CPenShapeMngr set;
  ASSERT_EQ(LoadNibSet(path, set, false), 0);
  EXPECT_EQ(set.GetItem(0)->Profile().floor, 1000);
}

TEST_F(NibSetFileTest, DefaultSetSearchAndBuiltins) {
  const std::string saved = SavedSet();
  std::string penPath = dir_ + "/pens", nibFile = "";
  const std::string program = dir_ + "/program/";
  std::filesystem::create_directories(penPath);
  std::filesystem::create_directories(program + "preset");
  // Nothing anywhere: the built-ins, nibFile and the file name cleared.
  CPenShapeMngr set;
  EXPECT_TRUE(set.LoadDefault(true, penPath, nibFile, program));
  EXPECT_EQ(set.Count(), 7);
  EXPECT_EQ(nibFile, "");
  EXPECT_EQ(penPath, program + "preset");
  CPenShapeMngr none;
  EXPECT_FALSE(none.LoadDefault(false, penPath, nibFile, program));
  EXPECT_EQ(none.Count(), 0);
  // default.psh in the program's preset folder.
  std::filesystem::copy_file(saved, program + "preset/default.psh");
  penPath = dir_ + "/pens";
  CPenShapeMngr fromProgram;
  EXPECT_TRUE(fromProgram.LoadDefault(true, penPath, nibFile, program));
  EXPECT_EQ(fromProgram.Count(), 3);
  EXPECT_EQ(nibFile, program + "preset/default.psh");
  EXPECT_EQ(fromProgram.GetFileName(), nibFile);
  // An existing nibFile is taken as it is.
  nibFile = saved;
  CPenShapeMngr named;
  EXPECT_TRUE(named.LoadDefault(true, penPath, nibFile, program));
  EXPECT_EQ(named.GetFileName(), saved);
  // A damaged default: the warning, then the built-ins.
  WriteFile(saved, "PSST");
  CPenShapeMngr damaged;
  EXPECT_TRUE(damaged.LoadDefault(true, penPath, nibFile, program));
  EXPECT_EQ(damaged.Count(), 7);
  EXPECT_EQ(nibFile, "");
  EXPECT_EQ(warnings_.Texts().back(), "ペン先集の読み込みに失敗しました! (err=9)");
}

TEST_F(NibSetFileTest, DialogsStartFromTheCurrentFile) {
  const std::string saved = SavedSet();
  CPenShapeMngr set;
  set.UseBuiltins();
  set.SetFileName(dir_ + "/mine.psh");
  dialogs_.Cancel();
  EXPECT_FALSE(set.LoadWithDialog(false));
  dialogs_.Choose(saved);
  EXPECT_TRUE(set.LoadWithDialog(true));
  EXPECT_EQ(set.Count(), 10);
  ASSERT_EQ(dialogs_.Requests().size(), 2u);
  EXPECT_EQ(dialogs_.Requests()[0].kind, kFileDialogNibSetOpen);
  EXPECT_EQ(dialogs_.Requests()[0].initialName, "mine.psh");
  EXPECT_EQ(dialogs_.Requests()[0].folder, dir_ + "/");
  const std::string target = PathOf("chosen.psh");
  dialogs_.Choose(target);
  EXPECT_TRUE(set.SaveWithDialog());
  EXPECT_EQ(dialogs_.Requests().back().kind, kFileDialogNibSetSave);
  EXPECT_EQ(set.GetFileName(), target);
  EXPECT_TRUE(std::filesystem::exists(target));
  // Without a dialog host the request is cancelled.
  SetFileDialogHost(nullptr);
  EXPECT_FALSE(set.SaveWithDialog());
}

}  // namespace
}  // namespace tf
