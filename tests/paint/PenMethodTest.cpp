// Brush presets, the brush set and the brush set file (.pmt).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "paint/FalloffMap.h"
#include "paint/NibPreset.h"
#include "paint/NibShape.h"
#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenMethodFile.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "platform/ByteOrder.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/FlatImage.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// Runs the independent reader tests/data/brush_set.py on a file; its key=value lines.
int RunBrushSetReader(const std::string& path, std::map<std::string, std::string>& out, std::string& text) {
  const std::string command = std::string("python3 '") + TF_TEST_DATA_DIR + "/brush_set.py' '" + path + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return 127;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = ::pclose(pipe);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) out[line.substr(0, equals)] = line.substr(equals + 1);
    at = end + 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::unique_ptr<TMTC> Picture(int w, int h) {
  auto image = std::make_unique<TMTC>(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      *image->Pixel(x, y) = 0xFF000000u | static_cast<uint32_t>(x * 2 << 16 | y * 3 << 8 | 77);
  }
  return image;
}

std::unique_ptr<TChannel> NibImage(int w, int h) {
  auto channel = std::make_unique<TChannel>(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      *PixelAddr8(channel->View(), x, y) = static_cast<uint8_t>((x * 13 + y * 5) & 0xFF);
  }
  return channel;
}

// A brush of the kind made through TPaintParam, with its nib.
std::unique_ptr<CPenMethodObj> Brush(uint8_t kind, const char* name = nullptr) {
  TPaintParam p(kind);
  if (name != nullptr) p.SetName(Utf8ToCp932(name));
  auto brush = std::make_unique<CPenMethodObj>();
  brush->SetNib(std::make_unique<CPenShapeObj>());
  EXPECT_TRUE(p.SaveToPenMethod(brush.get()));
  return brush;
}

uint8_t KindOf(const CPenMethodObj* brush) {
  uint8_t kind = 255;
  PenMethodPaintKind(kind, brush);
  return kind;
}

class QuietWarnings {
 public:
  QuietWarnings() { previous_ = SetWarningHost(&host_); }
  ~QuietWarnings() { SetWarningHost(previous_); }
  const std::vector<std::string>& Texts() const { return host_.Texts(); }
  void Clear() { host_.Clear(); }

 private:
  RecordingWarningHost host_;
  WarningHost* previous_;
};

class BrushSetFileTest : public test::TempFolderTest {
 protected:
  BrushSetFileTest() : TempFolderTest("tf-brushset") {}
  QuietWarnings warnings_;
};

// ---- Brush presets ----

TEST(PenMethodObjTest, IconSizesAndParameterRules) {
  CPenMethodObj brush;
  EXPECT_FALSE(brush.IsValid());
  auto big = Picture(200, 100);
  ASSERT_TRUE(brush.SetIcon(big.get()));
  EXPECT_EQ(brush.Icon()->Width(), 128);
  EXPECT_EQ(brush.Icon()->Height(), 64);
  EXPECT_EQ(brush.SmallIcon()->Width(), 32);
  EXPECT_EQ(brush.SmallIcon()->Height(), 32);
  auto small = Picture(20, 30);
  ASSERT_TRUE(brush.SetIcon(small.get()));
  EXPECT_EQ(brush.Icon()->Width(), 20);
  EXPECT_EQ(brush.Icon()->GetPixel(5, 7), small->GetPixel(5, 7));
  EXPECT_TRUE(brush.SetIcon(nullptr));
  EXPECT_FALSE(brush.HasIcon());

  EXPECT_FALSE(brush.SetParams(nullptr, nullptr, nullptr));
  EXPECT_FALSE(brush.IsValid());
  CPenMethodObj copy;
  EXPECT_FALSE(copy.Assign(brush));  // not valid
  SPenMethodParams block;
  EXPECT_FALSE(brush.GetParamsBlock(block));

  auto made = Brush(13, "ぼかしA");
  made->SetIcon(small.get());
  auto twin = CPenMethodObj::CreateCopy(*made);
  ASSERT_NE(twin, nullptr);
  EXPECT_TRUE(twin->IsValid());
  EXPECT_EQ(twin->Name(), made->Name());
  EXPECT_TRUE(twin->HasNib());
  EXPECT_NE(twin->Nib(), made->Nib());
  EXPECT_TRUE(twin->HasIcon());
  EXPECT_NE(twin->SerialId(), made->SerialId());
  EXPECT_EQ(std::memcmp(&twin->Params(), &made->Params(), sizeof(SPenMethodParams)), 0);
}

TEST(PenMethodObjTest, TPaintParamThroughABrushPreset) {
  TPaintParam p(11);
  p.SetOpaque(0.42f);
  p.SetPenSpacing(0.33f);
  p.SetGamma(1.5f);
  p.SetEffect(20);
  p.SetEnv(40);
  p.SetSpeed(60);
  p.SetUseTone(1);
  p.SetIfTransparency(1);
  p.SetWidth(9.5f);
  p.SetNibAngle(15);
  p.SetAirMap(3);
  auto icon = Picture(16, 16);
  p.SetIcon(icon.get());
  CPenMethodObj brush;
  EXPECT_FALSE(p.SaveToPenMethod(&brush));  // no nib to fill
  EXPECT_FALSE(p.SaveToPenMethod(nullptr));
  brush.SetNib(std::make_unique<CPenShapeObj>());
  ASSERT_TRUE(p.SaveToPenMethod(&brush));
  EXPECT_EQ(brush.Name(), p.name);
  bool made = false;
  auto q = TPaintParam::CreateFromPenMethod(&brush, made);
  ASSERT_TRUE(made);
  EXPECT_EQ(q->kind, 11);
  EXPECT_FLOAT_EQ(q->opaque, 0.419f);  // trunc(0.42f x 1000): the float lies just below 0.42
  EXPECT_FLOAT_EQ(q->penSpacing, 0.33f);
  EXPECT_FLOAT_EQ(q->gamma, 1.5f);
  EXPECT_FLOAT_EQ(q->env, 40.0f);
  EXPECT_EQ(q->useTone, 1);
  EXPECT_EQ(q->ifTransparency, 1);
  EXPECT_FLOAT_EQ(q->width, 9.5f);
  EXPECT_FLOAT_EQ(q->nibAngle, 15.0f);
  EXPECT_EQ(q->airMap, 3);
  EXPECT_TRUE(q->hasIcon);
  // An older kind cannot become a brush.
  TPaintParam old(2);
  EXPECT_FALSE(old.SaveToPenMethod(&brush));
  EXPECT_EQ(TPaintParam::CreateFromPenMethod(nullptr, made), nullptr);
  EXPECT_FALSE(made);
}

// ---- The brush set ----

TEST(PenMethodMngrTest, InsertMovesStoredPositionsAboveTheIndex) {
  CPenMethodMngr set;
  for (uint8_t k = 9; k < 15; ++k) set.Add(Brush(k));
  const int32_t positions[5] = {0, 2, 3, 5, 1};
  set.SetStoredPositions(positions);
  ASSERT_EQ(set.Insert(2, Brush(16)), 2);
  int32_t now[5];
  ASSERT_TRUE(set.GetStoredPositions(now));
  const int32_t expected[5] = {0, 2, 4, 6, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(now[i], expected[i]) << i;
  EXPECT_EQ(KindOf(set.GetItem(now[1])), 16);  // position 2 points at the new brush
  EXPECT_EQ(set.Insert(9, Brush(9)), -1);
  EXPECT_EQ(set.Insert(-1, Brush(9)), -1);
  EXPECT_EQ(set.Insert(0, nullptr), -1);
  // Deleting moves positions above it down and keeps every position inside the list.
  ASSERT_TRUE(set.Delete(6));
  set.GetStoredPositions(now);
  EXPECT_EQ(now[3], 5);
  EXPECT_TRUE(set.IsModified());
}

TEST(PenMethodMngrTest, RegressionDeleteBeforeTheCurrentBrushKeepsItCurrent) {
  CPenMethodMngr set;
  for (uint8_t k = 9; k < 14; ++k) set.Add(Brush(k));
  ASSERT_TRUE(set.SetCurrent(3));
  CPenMethodObj* current = set.GetCurrent();
  ASSERT_TRUE(set.Delete(1));
  EXPECT_EQ(set.GetCurrent(), current);
  EXPECT_EQ(set.GetCurrentIndex(), 2);
  ASSERT_TRUE(set.Delete(3));  // after the current one: nothing moves
  EXPECT_EQ(set.GetCurrent(), current);
  ASSERT_TRUE(set.Delete(2));  // the current one itself: the index stays within the list
  EXPECT_EQ(set.GetCurrentIndex(), 1);
  EXPECT_FALSE(set.Delete(7));
}

TEST(PenMethodMngrTest, AlternateIndexAndNotifications) {
  CPenMethodMngr set;
  int notified = 0;
  set.SetChangeCallback([&](CPenMethodMngr&) { ++notified; });
  for (uint8_t k = 9; k < 12; ++k) set.Add(Brush(k));
  notified = 0;
  EXPECT_TRUE(set.SetAlternateIndex(1, false));
  EXPECT_EQ(notified, 0);                        // a valid index is stored quietly
  EXPECT_TRUE(set.SetAlternateIndex(9, false));  // unchanged, and still valid
  EXPECT_EQ(set.GetAlternateIndex(), 1);
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(set.SetAlternateIndex(9, true));
  EXPECT_EQ(set.GetAlternateIndex(), 2);
  EXPECT_FALSE(set.SetCurrent(5));
  EXPECT_EQ(notified, 3);
  EXPECT_EQ(set.ClearAll(), 3);
  EXPECT_EQ(set.GetAlternateIndex(), -1);
  EXPECT_EQ(set.GetCurrentIndex(), -1);
}

TEST(PenMethodMngrTest, AddMissingKindsInKindOrder) {
  CPenMethodMngr empty;
  EXPECT_TRUE(empty.AddMissingKinds());
  ASSERT_EQ(empty.Count(), 9);
  EXPECT_EQ(empty.GetCurrentIndex(), 0);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(KindOf(empty.GetItem(i)), 9 + i);
    EXPECT_EQ(empty.GetItem(i)->Name(), Utf8ToCp932(PaintKindName(static_cast<uint8_t>(9 + i))));
    EXPECT_TRUE(empty.GetItem(i)->HasNib());
  }
  EXPECT_TRUE(empty.HasAllKinds());
  EXPECT_FALSE(empty.AddMissingKinds());  // nothing handled

  CPenMethodMngr some;
  some.Add(Brush(10));
  some.Add(Brush(9));
  EXPECT_FALSE(some.AddMissingKinds());
  ASSERT_EQ(some.Count(), 9);
  for (int i = 2; i < 9; ++i) EXPECT_EQ(KindOf(some.GetItem(i)), 9 + i);
  EXPECT_TRUE(some.HasAllKinds());
  EXPECT_EQ(some.GetCurrentIndex(), -1);
}

// ---- The file ----

TEST_F(BrushSetFileTest, RoundTripCheckedByAnIndependentReader) {
  CPenMethodMngr set;
  set.Add(Brush(9, "鉛筆その1"));
  auto withIcon = Brush(12, "エアー");
  auto icon = Picture(40, 24);
  withIcon->SetIcon(icon.get());
  set.Add(std::move(withIcon));
  // An image nib, edited through the tool settings.
  TPaintParam p(14);
  p.SetName("finger");
  auto nibImage = NibImage(20, 30);
  p.SetNibImage(nibImage.get());
  p.SetNibScale(1.5f);
  p.SetNibAngle(-30);
  p.SetIfSize(1);
  p.SetUseGradation(1);
  p.SetSizeThresholds(70000, 12);  // the file keeps the low 16 bits
  auto imageBrush = std::make_unique<CPenMethodObj>();
  imageBrush->SetNib(std::make_unique<CPenShapeObj>());
  ASSERT_TRUE(p.SaveToPenMethod(imageBrush.get()));
  set.Add(std::move(imageBrush));
  auto bare = std::make_unique<CPenMethodObj>();  // no icon, no nib
  SPenParam pen;
  PenParamForKind(pen, 17);
  bare->SetParams(&pen, nullptr, nullptr);
  bare->SetName("bare");
  set.Add(std::move(bare));
  set.SetCurrent(2);
  set.SetAlternateIndex(1, false);
  const int32_t positions[5] = {3, 0, 1, 2, 3};
  set.SetStoredPositions(positions);

  const std::string path = PathOf("set.pmt");
  ASSERT_EQ(SaveBrushSet(path, set), 0);
  EXPECT_EQ(set.GetFileName(), path);
  EXPECT_FALSE(set.IsModified());

  std::map<std::string, std::string> keys;
  std::string text;
  ASSERT_EQ(RunBrushSetReader(path, keys, text), 0) << text;
  EXPECT_EQ(keys["count"], "4");
  EXPECT_EQ(keys["current"], "2");
  EXPECT_EQ(keys["flags"], "3");
  EXPECT_EQ(keys["alternate"], "1");
  EXPECT_EQ(keys["positions"], "3,0,1,2,3");
  std::string hex;
  for (unsigned char c : Utf8ToCp932("鉛筆その1")) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", c);
    hex += two;
  }
  EXPECT_EQ(keys["b0.name"], hex);    // code page 932 bytes, length in bytes
  EXPECT_EQ(keys["b0.flags"], "11");  // nib, and option byte 3 of the pencil
  EXPECT_EQ(keys["b0.nib"], "0,3,0,0,100,0,1000,0,0");
  EXPECT_EQ(keys["b1.icon"], "40x24");
  EXPECT_EQ(keys["b1.flags"], "3");
  EXPECT_EQ(keys["b2.type"], "5");
  EXPECT_EQ(keys["b2.flags"], "10101");  // nib, gradation, ifSIZE
  EXPECT_EQ(keys["b2.t1"], std::to_string(70000 & 0xFFFF));
  EXPECT_EQ(keys["b2.nibimage"], "20x30");
  EXPECT_EQ(keys["b2.nib"].substr(0, 2), "1,");
  EXPECT_EQ(keys["b3.flags"], "0");  // only the PMTD chunk
  EXPECT_EQ(keys.count("b3.nib"), 0u);
  EXPECT_EQ(keys["b3.opt1"], "1");

  CPenMethodMngr again;
  ASSERT_EQ(LoadBrushSet(path, again, false), 0);
  ASSERT_EQ(again.Count(), 4);
  EXPECT_EQ(again.GetCurrentIndex(), 2);
  EXPECT_EQ(again.GetAlternateIndex(), 1);
  int32_t read[5];
  ASSERT_TRUE(again.GetStoredPositions(read));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(read[i], positions[i]);
  for (int i = 0; i < 4; ++i) {
    const CPenMethodObj& a = *set.GetItem(i);
    const CPenMethodObj& b = *again.GetItem(i);
    EXPECT_EQ(a.Name(), b.Name()) << i;
    EXPECT_EQ(a.HasIcon(), b.HasIcon()) << i;
    EXPECT_EQ(a.HasNib(), b.HasNib()) << i;
    SPenMethodParams pa = a.Params(), pb = b.Params();
    pa.stroke.sizeThreshold1 &= 0xFFFF;
    EXPECT_EQ(std::memcmp(&pa, &pb, sizeof pa), 0) << i;
    if (a.HasNib()) {
      EXPECT_TRUE(a.Nib()->Shape().Equal(b.Nib()->Shape())) << i;
      EXPECT_TRUE(a.Nib()->Profile().Equal(b.Nib()->Profile())) << i;
      EXPECT_EQ(a.Nib()->IsBitmapNib(), b.Nib()->IsBitmapNib()) << i;
    }
  }
  const TMTC& iconRead = *again.GetItem(1)->Icon();
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 40; ++x) ASSERT_EQ(iconRead.GetPixel(x, y), icon->GetPixel(x, y));
  }
  bool made = false;
  auto q = TPaintParam::CreateFromPenMethod(again.GetItem(2), made);
  ASSERT_TRUE(made);
  ASSERT_TRUE(q->hasNibImage);
  EXPECT_EQ(std::memcmp(q->nibImage.get(), p.nibImage.get(), 600), 0);
  EXPECT_FLOAT_EQ(q->nibScale, 1.5f);
  EXPECT_FLOAT_EQ(q->nibAngle, 330.0f);
  EXPECT_FALSE(TPaintParam::CreateFromPenMethod(again.GetItem(3), made) != nullptr && made);  // no nib
}

TEST_F(BrushSetFileTest, RegressionStoredPositionsAreClampedAtLoad) {
  CPenMethodMngr set;
  for (uint8_t k = 9; k < 12; ++k) set.Add(Brush(k));
  const int32_t positions[5] = {0, 1, 2, 2, 1};
  set.SetStoredPositions(positions);
  const std::string path = PathOf("positions.pmt");
  ASSERT_EQ(SaveBrushSet(path, set), 0);
  std::vector<uint8_t> bytes = ReadBytes(path);
  bytes[22] = 200;  // beyond the three brushes
  bytes[23] = 0xFF;
  WriteBytes(path, bytes);
  CPenMethodMngr again;
  ASSERT_EQ(LoadBrushSet(path, again, false), 0);
  int32_t read[5];
  ASSERT_TRUE(again.GetStoredPositions(read));
  EXPECT_EQ(read[0], 2);
  EXPECT_EQ(read[1], 2);
  EXPECT_EQ(read[2], 2);

  // Positions beyond 255 are written as their low byte.
  const int32_t big[5] = {258, 1, 2, 0, 1};
  set.SetStoredPositions(big);
  ASSERT_EQ(SaveBrushSet(path, set), 0);
  EXPECT_EQ(ReadBytes(path)[22], 2);
}

TEST_F(BrushSetFileTest, TruncatedAndCorruptedFilesGiveTheirCodesAndChangeNothing) {
  CPenMethodMngr source;
  source.AddMissingKinds();
  auto icon = Picture(8, 8);
  source.GetItem(0)->SetIcon(icon.get());
  const std::string good = PathOf("good.pmt");
  ASSERT_EQ(SaveBrushSet(good, source), 0);
  const std::vector<uint8_t> bytes = ReadBytes(good);
  const uint32_t firstSize = LoadU32(bytes.data() + 36);

  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    uint8_t code;
  };
  auto with = [&](size_t at, std::vector<uint8_t> values) {
    std::vector<uint8_t> out = bytes;
    std::copy(values.begin(), values.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
    return out;
  };
  std::vector<Case> cases = {
      {"short header", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), 9},
      {"wrong id", with(0, {'X', 'M', 'S', 'T'}), 16},
      {"wrong header size", with(4, {25}), 17},
      {"newer version", with(8, {2}), 12},
      {"no brushes announced", with(12, {0, 0}), 37},
      // The walk stops on a damaged chunk with nothing read: none loaded.
      {"first chunk past the end", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 32 + 8 + firstSize - 4),
       37},
      {"chunk header cut", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 36), 37},
  };
  // Every record of a newer version: nothing read.
  std::vector<uint8_t> newer = bytes;
  for (size_t at = 32; at + 8 <= newer.size();) {
    const uint32_t id = LoadU32(newer.data() + at);
    const uint32_t size = LoadU32(newer.data() + at + 4);
    if (id == kChunkBrush) newer[at + 8 + 4] = 2;
    at += 8 + size;
  }
  cases.push_back({"records of a newer version", newer, 37});

  for (const Case& c : cases) {
    const std::string path = PathOf("bad.pmt");
    WriteBytes(path, c.data);
    CPenMethodMngr set;
    set.Add(Brush(9, "keep"));
    set.SetCurrent(0);
    set.SetFileName("old.pmt");
    set.SetModified(false);
    EXPECT_EQ(LoadBrushSet(path, set, false), c.code) << c.what;
    ASSERT_EQ(set.Count(), 1) << c.what;
    EXPECT_EQ(set.GetItem(0)->Name(), "keep") << c.what;
    EXPECT_EQ(set.GetCurrentIndex(), 0) << c.what;
    EXPECT_EQ(set.GetFileName(), "old.pmt") << c.what;
    EXPECT_FALSE(set.IsModified()) << c.what;
  }
  CPenMethodMngr set;
  EXPECT_EQ(LoadBrushSet(PathOf("missing.pmt"), set, false), 4);
}

// A short chunk header or a chunk running past the end once threw away every brush read before.
TEST_F(BrushSetFileTest, ADamagedChunkKeepsTheBrushesReadBeforeIt) {
  CPenMethodMngr source;
  source.AddMissingKinds();
  const std::string path = PathOf("cut.pmt");
  ASSERT_EQ(SaveBrushSet(path, source), 0);
  const std::vector<uint8_t> bytes = ReadBytes(path);
  // Where each brush's chunk starts (its followers are chunks of other ids).
  std::vector<size_t> starts;
  for (size_t at = 32; at + 8 <= bytes.size(); at += 8 + LoadU32(bytes.data() + at + 4))
    if (LoadU32(bytes.data() + at) == kChunkBrush) starts.push_back(at);
  ASSERT_EQ(starts.size(), 9u);
  for (const size_t kept : {size_t{1}, size_t{4}, size_t{8}}) {
    for (const bool shortHeader : {true, false}) {
      SCOPED_TRACE(::testing::Message() << kept << (shortHeader ? " short header" : " past the end"));
      const size_t cut = starts[kept] + (shortHeader ? 5 : 8 + 20);
      WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
      warnings_.Clear();
      CPenMethodMngr set;
      set.Add(Brush(9, "gone"));
      ASSERT_EQ(LoadBrushSet(path, set, false), 0);
      ASSERT_EQ(set.Count(), static_cast<int32_t>(kept));
      for (size_t i = 0; i < kept; ++i)
        EXPECT_EQ(set.GetItem(static_cast<int32_t>(i))->Name(), source.GetItem(static_cast<int32_t>(i))->Name());
      ASSERT_EQ(warnings_.Texts().size(), 1u);
      EXPECT_EQ(warnings_.Texts()[0], std::to_string(9 - kept) + "個のブラシ集が読み込めませんでした！");
    }
  }
}

TEST_F(BrushSetFileTest, AFailedBrushIsSkippedAndTheRestRead) {
  CPenMethodMngr source;
  source.AddMissingKinds();
  const std::string path = PathOf("skip.pmt");
  ASSERT_EQ(SaveBrushSet(path, source), 0);
  std::vector<uint8_t> bytes = ReadBytes(path);
  bytes[32 + 8 + 4] = 7;  // the first record's version
  WriteBytes(path, bytes);
  CPenMethodMngr set;
  EXPECT_EQ(LoadBrushSet(path, set, false), 0);
  EXPECT_EQ(set.Count(), 8);
  EXPECT_EQ(KindOf(set.GetItem(0)), 10);
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "1個のブラシ集が読み込めませんでした！");
  // Loading through the set completes the missing pencil and answers false.
  CPenMethodMngr loaded;
  EXPECT_FALSE(loaded.LoadFromFile(path, false));
  EXPECT_EQ(loaded.Count(), 9);
  EXPECT_EQ(KindOf(loaded.GetItem(8)), 9);
}

TEST_F(BrushSetFileTest, LoadFromFileCompletesMissingKindsAndAppends) {
  CPenMethodMngr two;
  two.Add(Brush(9));
  two.Add(Brush(10));
  const std::string path = PathOf("two.pmt");
  ASSERT_EQ(SaveBrushSet(path, two), 0);
  CPenMethodMngr set;
  EXPECT_FALSE(set.LoadFromFile(path, false));
  ASSERT_EQ(set.Count(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(KindOf(set.GetItem(i)), 9 + i);
  const std::string all = PathOf("all.pmt");
  ASSERT_EQ(SaveBrushSet(all, set), 0);
  CPenMethodMngr full;
  EXPECT_TRUE(full.LoadFromFile(all, false));
  EXPECT_EQ(full.Count(), 9);
  EXPECT_TRUE(full.LoadFromFile(path, true));  // appending
  EXPECT_EQ(full.Count(), 11);
  EXPECT_TRUE(full.IsModified());
  // A failed load shows the warning with its code.
  CPenMethodMngr none;
  EXPECT_TRUE(none.LoadFromFile(PathOf("nothing.pmt"), false));  // nine defaults added
  ASSERT_FALSE(warnings_.Texts().empty());
  EXPECT_EQ(warnings_.Texts().back(), "ブラシ集の読み込みに失敗しました! (err=4)");
}

TEST_F(BrushSetFileTest, RegressionAFailedSaveKeepsThePreviousFile) {
  CPenMethodMngr set;
  set.AddMissingKinds();
  const std::string path = PathOf("keep.pmt");
  ASSERT_EQ(SaveBrushSet(path, set), 0);
  const std::vector<uint8_t> before = ReadBytes(path);
  // More brushes than the header can count: the write fails after the file was begun.
  CPenMethodMngr huge;
  std::vector<std::unique_ptr<CPenMethodObj>> many;
  for (int i = 0; i < 0x10000; ++i) many.push_back(std::make_unique<CPenMethodObj>());
  huge.AppendItems(std::move(many));
  EXPECT_EQ(SaveBrushSet(path, huge), kFileChunkSize);
  EXPECT_EQ(ReadBytes(path), before);
  CPenMethodMngr empty;
  EXPECT_EQ(SaveBrushSet(path, empty), 37);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_FALSE(empty.SaveToFile(PathOf("no/such/folder.pmt")));
  EXPECT_EQ(warnings_.Texts().back(), "ブラシ集の保存に失敗しました! (err=37)");
  EXPECT_FALSE(set.SaveToFile(PathOf("no/such/folder.pmt")));
  EXPECT_EQ(warnings_.Texts().back(), "ブラシ集の保存に失敗しました! (err=5)");
}

TEST_F(BrushSetFileTest, FirstStartWithoutPresetFilesGivesNineBrushesWithIcons) {
  CPenMethodMngr set;
  std::string penPath = PathOf("pens");
  std::string brushFile;
  EXPECT_TRUE(set.LoadDefault(true, penPath, brushFile, PathOf("program")));
  EXPECT_EQ(penPath, PathOf("program") + "/preset");
  EXPECT_TRUE(brushFile.empty());
  EXPECT_TRUE(set.GetFileName().empty());
  ASSERT_EQ(set.Count(), 9);
  EXPECT_EQ(set.GetCurrentIndex(), 0);
  for (int i = 0; i < 9; ++i) {
    bool made = false;
    auto p = TPaintParam::CreateFromPenMethod(set.GetItem(i), made);
    ASSERT_TRUE(made) << i;
    ASSERT_NE(p->GetIcon(), nullptr) << i;
    EXPECT_EQ(p->GetIcon()->Width(), 32);
  }
  CPenMethodMngr without;
  std::string noFile;
  EXPECT_FALSE(without.LoadDefault(false, penPath, noFile, PathOf("program")));
  EXPECT_EQ(without.Count(), 0);

  // With default.pmt in the pen folder it is loaded and remembered.
  std::filesystem::create_directories(PathOf("pens"));
  std::string pens = PathOf("pens");
  ASSERT_EQ(SaveBrushSet(pens + "/default.pmt", set), 0);
  CPenMethodMngr loaded;
  std::string file;
  EXPECT_TRUE(loaded.LoadDefault(true, pens, file, PathOf("program")));
  EXPECT_EQ(file, pens + "/default.pmt");
  EXPECT_EQ(loaded.GetFileName(), file);
  EXPECT_EQ(loaded.Count(), 9);

  // A default file lacking kinds leaves its brushes plus the added ones, false, setting cleared.
  CPenMethodMngr two;
  two.Add(Brush(12));
  two.Add(Brush(13));
  ASSERT_EQ(SaveBrushSet(pens + "/default.pmt", two), 0);
  CPenMethodMngr partial;
  EXPECT_FALSE(partial.LoadDefault(true, pens, file, PathOf("program")));
  EXPECT_EQ(partial.Count(), 9);
  EXPECT_TRUE(file.empty());
}

TEST_F(BrushSetFileTest, AnEditedBrushSavedAndReloadedSetsUpTheSamePen) {
  TPaintParam edited(16);
  edited.SetOpaque(0.66f);
  edited.SetPenSpacing(0.21f);
  edited.SetGamma(0.75f);
  edited.SetEffect(35);
  edited.SetEnv(12);
  edited.SetWidth(17.25f);
  edited.SetMin(0.15f);
  edited.SetNibRatio(0.4f);
  edited.SetNibAngle(72.5f);
  edited.SetAirMap(6);
  edited.SetAirMapParam1(0.3f);
  edited.SetIfSize(1);
  CPenMethodMngr set;
  set.AddMissingKinds();
  const int index = 7;  // the burn brush
  ASSERT_EQ(KindOf(set.GetItem(index)), 16);
  ASSERT_TRUE(edited.SaveToPenMethod(set.GetItem(index)));
  const std::string path = PathOf("edited.pmt");
  ASSERT_TRUE(set.SaveToFile(path));
  CPenMethodMngr again;
  ASSERT_TRUE(again.LoadFromFile(path, false));
  bool made = false;
  auto reloaded = TPaintParam::CreateFromPenMethod(again.GetItem(index), made);
  ASSERT_TRUE(made);

  // The records that set up the dab renderer and the stroke are the same.
  SNibShape na, nb;
  edited.GetNibShape(na);
  reloaded->GetNibShape(nb);
  EXPECT_TRUE(na.Equal(nb));
  SGradeMap ga, gb;
  edited.GetGradeMap(ga);
  reloaded->GetGradeMap(gb);
  EXPECT_TRUE(ga.Equal(gb));
  SStrokeParam sa, sb;
  edited.SaveToStrokeParam(sa);
  reloaded->SaveToStrokeParam(sb);
  EXPECT_EQ(std::memcmp(&sa, &sb, sizeof sa), 0);
  SPenParam pa, pb;
  edited.SaveToPenParam(pa);
  reloaded->SaveToPenParam(pb);
  EXPECT_EQ(std::memcmp(&pa, &pb, sizeof pa), 0);
  uint32_t fa = 9, fb = 8;
  edited.GetNibFlagWord(fa);
  reloaded->GetNibFlagWord(fb);
  EXPECT_EQ(fa, fb);
  TStroke strokeA(0), strokeB(0);
  edited.ApplyToStroke(strokeA);
  reloaded->ApplyToStroke(strokeB);
  SPenSetting a{}, b{};
  strokeA.GetPenSetting(a);
  strokeB.GetPenSetting(b);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST_F(BrushSetFileTest, DialogsUseTheBrushSetFileKinds) {
  ScriptedFileDialogHost dialogs;
  FileDialogHost* previous = SetFileDialogHost(&dialogs);
  CPenMethodMngr set;
  set.AddMissingKinds();
  const std::string path = PathOf("chosen.pmt");
  dialogs.Choose(path);
  EXPECT_TRUE(set.SaveWithDialog());
  dialogs.Choose(path);
  CPenMethodMngr other;
  EXPECT_TRUE(other.LoadWithDialog(false));
  dialogs.Cancel();
  EXPECT_FALSE(other.LoadWithDialog(false));
  ASSERT_EQ(dialogs.Requests().size(), 3u);
  EXPECT_EQ(dialogs.Requests()[0].kind, kBrushSetSaveDialog);
  EXPECT_EQ(dialogs.Requests()[1].kind, kBrushSetOpenDialog);
  EXPECT_EQ(dialogs.Requests()[2].initialName, "chosen.pmt");
  SetFileDialogHost(previous);
}

}  // namespace
}  // namespace tf
