#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "paint/PaintDocument.h"
#include "paint/PixelWriters.h"
#include "paint/PresetSettings.h"
#include "paint/Stroke.h"
#include "paint/ToneRecord.h"
#include "paint/ToneSet.h"
#include "platform/ByteOrder.h"
#include "platform/FileDialog.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ChunkStream.h"
#include "raster/Composite.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "support/TempFolder.h"
#include "support/TestRng.h"

namespace tf {
namespace {

uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8;
}
uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | Get16(s, at + 2) << 16; }
float GetF(const std::string& s, size_t at) {
  const uint32_t u = Get32(s, at);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// A TTNL chunk read apart from the program's reader: the byte pass undone piece by piece (XOR,
// then the group reversal), then inflated.
struct ApartImage {
  uint32_t kind, content, group, xorByte, stride, width, height;
  std::vector<uint8_t> pixels;
  size_t chunkLength;
};
ApartImage ReadImageApart(const std::string& f, size_t at) {
  ApartImage img{};
  EXPECT_EQ(f.substr(at, 4), "TTNL");
  const uint32_t size = Get32(f, at + 4);
  img.chunkLength = 8 + size;
  const size_t info = at + 8;
  img.kind = Get16(f, info);
  img.content = Get16(f, info + 2);
  img.group = static_cast<uint8_t>(f[info + 4]);
  img.xorByte = static_cast<uint8_t>(f[info + 5]);
  img.stride = static_cast<uint8_t>(f[info + 6]);
  img.width = Get32(f, info + 16);
  img.height = Get32(f, info + 20);
  const uint32_t packed = Get32(f, info + 24), unpacked = Get32(f, info + 28);
  std::vector<uint8_t> bytes(f.begin() + static_cast<long>(info + 40),
                             f.begin() + static_cast<long>(info + 40 + packed));
  for (size_t piece = 0; piece < bytes.size(); piece += 16384) {
    const size_t n = std::min<size_t>(16384, bytes.size() - piece);
    uint8_t* p = bytes.data() + piece;
    if (img.xorByte != 0)
      for (size_t i = 0; i < n; i += img.stride + 1) p[i] ^= static_cast<uint8_t>(~img.xorByte);
    if (img.group >= 2)
      for (size_t g = 0; g + img.group <= n; g += img.group) std::reverse(p + g, p + g + img.group);
  }
  img.pixels.resize(unpacked);
  uLongf length = unpacked;
  EXPECT_EQ(uncompress(img.pixels.data(), &length, bytes.data(), bytes.size()), Z_OK);
  EXPECT_EQ(length, unpacked);
  return img;
}

// Bytes of records built here, for crafted inputs.
void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
std::string SetHeader(uint16_t count, uint16_t current, uint16_t at8 = 0, uint16_t version = 1) {
  std::string s = "PTST";
  Put32(s, 24);
  Put16(s, at8);
  Put16(s, version);
  Put16(s, count);
  Put16(s, current);
  s.append(16, '\0');
  return s;
}
// A TTNL image made by the program's writer (its reader is tested with the chunk routines).
std::string Image(int32_t w, int32_t h, uint16_t content, int32_t unpacked = -1, uint8_t fill = 0) {
  MemoryStream s;
  std::vector<uint8_t> px(static_cast<size_t>(std::max(1, w * h)), fill);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(fill + i * 7);
  SImageChunkInfo info;
  info.kind = kImagePlain;
  info.contentCode = content;
  info.width = info.sourceWidth = w;
  info.height = info.sourceHeight = h;
  info.unpackedLength = unpacked >= 0 ? unpacked : w * h;
  if (WriteImageChunk(s, info, px.data()) != 0) {
    // Sizes the writer refuses: a hand-made chunk with a zlib stream of the given length.
    std::vector<uint8_t> raw(static_cast<size_t>(std::max(0, info.unpackedLength)), 1);
    std::vector<uint8_t> packed(compressBound(raw.size()) + 16);
    uLongf n = packed.size();
    compress(packed.data(), &n, raw.data(), raw.size());
    std::string c = "TTNL";
    Put32(c, static_cast<uint32_t>(40 + n + (4 - n % 4) % 4));
    Put16(c, 1);
    Put16(c, content);
    Put32(c, 0);
    Put32(c, static_cast<uint32_t>(w));
    Put32(c, static_cast<uint32_t>(h));
    Put32(c, static_cast<uint32_t>(w));
    Put32(c, static_cast<uint32_t>(h));
    Put32(c, static_cast<uint32_t>(n));
    Put32(c, static_cast<uint32_t>(info.unpackedLength));
    c.append(8, '\0');
    c.append(reinterpret_cast<const char*>(packed.data()), n);
    c.append((4 - n % 4) % 4, '\0');
    return c;
  }
  return std::string(s.Bytes().begin(), s.Bytes().end());
}
std::string Record(uint16_t kind, const std::string& name, int32_t scale, int32_t w, int32_t h,
                   uint32_t flags = 0x100, const uint8_t* attr = nullptr, uint16_t tag = 8) {
  const size_t pad = (4 - name.size() % 4) % 4;
  std::string s = "TPAT";
  Put32(s, static_cast<uint32_t>(72 + name.size() + pad));
  Put16(s, tag);
  Put16(s, kind);
  Put16(s, static_cast<uint32_t>(name.size()));
  Put16(s, 1);
  Put32(s, flags);
  Put32(s, static_cast<uint32_t>(scale));
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  s.append(8, '\0');
  if (attr != nullptr)
    s.append(reinterpret_cast<const char*>(attr), 24);
  else
    s.append(24, '\0');
  s.append(8, '\0');
  s += name;
  s.append(pad, '\0');
  return s;
}

SToneAttr ToneAttr(float resolution, float ruling, float angle, float density, uint8_t shape = 0) {
  SToneAttr a;
  InitToneAttr(a);
  a.shape = shape;
  a.resolution = resolution;
  a.ruling = ruling;
  a.angle = angle;
  a.density = density;
  return a;
}
std::string ToneRecordBytes(const SToneAttr& a, const std::string& name, int32_t scale = 100) {
  uint8_t bytes[24];
  uint32_t flags = 0;
  EncodeToneAttr(a, bytes, flags);
  return Record(1, name, scale, 64, 64, flags, bytes) + Image(64, 64, kContentChannel);
}

class ToneSetTest : public test::TempFolderTest {
 protected:
  ToneSetTest() : TempFolderTest("tf-toneset") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    settings_.programFolder = PathOf("prog/");
    SetPresetSettingsHost(&settings_);
    SetWarningHost(&warnings_);
  }
  void TearDown() override {
    SetPresetSettingsHost(nullptr);
    SetWarningHost(nullptr);
    SetFileDialogHost(nullptr);
    ResetPixelWriters();
    TempFolderTest::TearDown();
  }
  std::string Names(CToneMngr& m) {
    std::string out;
    for (int32_t i = 0; i < m.Count(); ++i) out += m.GetItem(i)->Name() + ";";
    return out;
  }
  MemoryPresetSettings settings_;
  RecordingWarningHost warnings_;
};

TChannel Ramp(int32_t w, int32_t h) {
  TChannel c(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *c.GetPixelPtr(x, y) = static_cast<uint8_t>((x * 37 + y * 11) & 0xFF);
  return TChannel(c);
}

TEST_F(ToneSetTest, WrittenBytesReadApartAndRoundTrip) {
  CToneMngr m;
  TChannel ramp = Ramp(5, 3);
  const TPoint off{2, -7};
  ASSERT_EQ(m.AddPattern(ramp, 150, &off), 0);
  m.GetItem(0)->SetName("pat");
  static_cast<CPat8*>(m.GetItem(0))->SetInverted(true);
  SToneAttr a = ToneAttr(600, 75, 30, 40, 2);
  a.spread = 3;
  a.name = "tone";
  a.toneSwitch = 0;
  ASSERT_EQ(m.AddTone(a, true, nullptr), 1);
  m.GetItem(1)->SetScale(150);
  m.SetCurrent(1);
  const std::string path = PathOf("a.tts");
  ASSERT_TRUE(m.Save(path));
  EXPECT_FALSE(m.IsModified());

  const std::string f = ReadFile(path);
  EXPECT_EQ(f.substr(0, 4), "PTST");
  EXPECT_EQ(Get32(f, 4), 24u);
  EXPECT_EQ(Get16(f, 8), 0u);
  EXPECT_EQ(Get16(f, 10), 1u);
  EXPECT_EQ(Get16(f, 12), 2u);
  EXPECT_EQ(Get16(f, 14), 1u);
  size_t at = 32;
  // The plain pattern.
  EXPECT_EQ(f.substr(at, 4), "TPAT");
  EXPECT_EQ(Get32(f, at + 4), 76u);  // 72 + "pat" padded to 4
  EXPECT_EQ(Get16(f, at + 8), 8u);
  EXPECT_EQ(Get16(f, at + 10), 0u);
  EXPECT_EQ(Get16(f, at + 12), 3u);
  EXPECT_EQ(Get32(f, at + 16), 0x102u);  // plain, inverted
  EXPECT_EQ(Get32(f, at + 20), 150u);
  EXPECT_EQ(Get32(f, at + 24), 2u);
  EXPECT_EQ(Get32(f, at + 28), static_cast<uint32_t>(-7));
  EXPECT_EQ(Get32(f, at + 32), 5u);
  EXPECT_EQ(Get32(f, at + 36), 3u);
  EXPECT_EQ(f.substr(at + 80, 3), "pat");
  at += 8 + 76;
  ApartImage img = ReadImageApart(f, at);
  EXPECT_EQ(img.kind, 2u);
  EXPECT_EQ(img.content, 4u);
  EXPECT_EQ(img.group, 3u);
  EXPECT_EQ(img.stride, 2u);
  EXPECT_EQ(img.xorByte, kPatternImageXorByte);
  EXPECT_EQ(img.width, 5u);
  ASSERT_EQ(img.pixels.size(), 15u);
  EXPECT_EQ(0, std::memcmp(img.pixels.data(), ramp.Bits(), 15));
  at += img.chunkLength;
  // The tone: attributes byte for byte, the switch in flags bit 0.
  EXPECT_EQ(f.substr(at, 4), "TPAT");
  EXPECT_EQ(Get16(f, at + 10), 1u);
  EXPECT_EQ(Get32(f, at + 16), 0u);
  EXPECT_EQ(Get32(f, at + 20), 150u);
  EXPECT_EQ(static_cast<uint8_t>(f[at + 48]), 2);
  EXPECT_EQ(GetF(f, at + 52), 600.0f);
  EXPECT_EQ(GetF(f, at + 56), 75.0f);
  EXPECT_EQ(GetF(f, at + 60), 40.0f);
  EXPECT_EQ(GetF(f, at + 64), 30.0f);
  EXPECT_EQ(Get32(f, at + 68), 3u);
  at += 8 + Get32(f, at + 4);
  img = ReadImageApart(f, at);
  EXPECT_EQ(img.content, 2u);
  EXPECT_EQ(img.width, 64u);
  EXPECT_EQ(0, std::memcmp(img.pixels.data(), static_cast<CPat8*>(m.GetItem(1))->Tile().Bits(), 64 * 64));
  EXPECT_EQ(at + img.chunkLength, f.size());

  CToneMngr back;
  ASSERT_TRUE(back.LoadFromFile(path, false));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(Names(back), "pat;tone;");
  EXPECT_EQ(back.CurrentIndex(), 1);
  const CPat8* p = static_cast<CPat8*>(back.GetItem(0));
  EXPECT_TRUE(p->Inverted());
  EXPECT_EQ(p->Scale(), 150);
  EXPECT_EQ(p->OffsetY(), -7);
  EXPECT_EQ(0, std::memcmp(p->Tile().Bits(), ramp.Bits(), 15));
  const CPat8Tone* t = static_cast<CPat8Tone*>(back.GetItem(1));
  EXPECT_TRUE(SameToneBytes(t->Attr(), a));
  EXPECT_EQ(t->Attr().toneSwitch, 0);
  EXPECT_EQ(t->Scale(), 150);
  // The working copy of a tone at scale 150 has resolution times 1.5.
  const CPat8Tone* w = static_cast<const CPat8Tone*>(back.WorkingCopy());
  ASSERT_NE(w, nullptr);
  EXPECT_FLOAT_EQ(w->Attr().resolution, 900.0f);
  EXPECT_EQ(w->Scale(), 100);
  CToneMaker ref;
  ASSERT_TRUE(ref.Setup(2, 3, 12, 30, 40));
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 30; ++x) ASSERT_EQ(back.ToneValueAt(x, y, 255), ref.Sample(x, y));
  EXPECT_FALSE(back.IsModified());
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(ToneSetTest, WorkingCopyAtScaleIsTheAreaAverage) {
  CToneMngr m;
  TChannel ramp = Ramp(64, 64);
  ASSERT_EQ(m.AddPattern(ramp, 50, nullptr), 0);
  m.SetCurrent(0);
  const CPat8* w = static_cast<const CPat8*>(m.WorkingCopy());
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->Width(), 32);
  ASSERT_EQ(w->Height(), 32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      const int sum = ramp.GetPixel(2 * x, 2 * y) + ramp.GetPixel(2 * x + 1, 2 * y) +
                      ramp.GetPixel(2 * x, 2 * y + 1) + ramp.GetPixel(2 * x + 1, 2 * y + 1);
      ASSERT_EQ(w->Tile().GetPixel(x, y), static_cast<int>((sum + 0.01f) / 4.0f)) << x << "," << y;
    }
  // A scale that is not a whole ratio: within one level of the exact area average.
  m.GetItem(0)->SetScale(75);
  m.SetCurrent(0);
  w = static_cast<const CPat8*>(m.WorkingCopy());
  ASSERT_EQ(w->Width(), 48);
  const double step = 64.0 / 48.0;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      double sum = 0;
      for (int32_t sy = 0; sy < 64; ++sy)
        for (int32_t sx = 0; sx < 64; ++sx) {
          const double ox = std::max(0.0, std::min(x * step + step, sx + 1.0) - std::max(x * step, double(sx)));
          const double oy = std::max(0.0, std::min(y * step + step, sy + 1.0) - std::max(y * step, double(sy)));
          sum += ox * oy * ramp.GetPixel(sx, sy);
        }
      ASSERT_NEAR(w->Tile().GetPixel(x, y), sum / (step * step), 1.001) << x << "," << y;
    }
  // The working copy takes the entry's offsets and inversion, at scale 100.
  static_cast<CPat8*>(m.GetItem(0))->SetInverted(true);
  m.GetItem(0)->SetOffsets(4, 5);
  m.SetCurrent(0);
  EXPECT_TRUE(static_cast<const CPat8*>(m.WorkingCopy())->Inverted());
  EXPECT_EQ(m.WorkingCopy()->OffsetX(), 4);
  EXPECT_EQ(m.WorkingCopy()->Scale(), 100);
}

TEST_F(ToneSetTest, ToneValueAt) {
  CToneMngr m;
  EXPECT_EQ(m.ToneValueAt(3, 4, 200), 200);
  TChannel c(2, 1);
  *c.GetPixelPtr(0, 0) = 255;
  *c.GetPixelPtr(1, 0) = 0;
  m.AddPattern(c, 100, nullptr);
  m.SetCurrent(0);
  EXPECT_EQ(m.ToneValueAt(0, 0, 200), 200);
  EXPECT_EQ(m.ToneValueAt(1, 0, 200), 0);
  EXPECT_EQ(m.ToneValueAt(-1, 5, 200), 0);
  uint8_t row[7] = {10, 20, 30, 40, 50, 60, 70};
  m.ToneRow(-3, 0, 7, row);
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(row[i], ((-3 + i) & 1) ? 0 : 10 * (i + 1));
}

TEST_F(ToneSetTest, UnreadableRecordsAreSkippedAndCounted) {
  const SToneAttr good = ToneAttr(600, 75, 45, 50);
  SToneAttr wide = good;
  wide.angle = 120;
  SToneAttr noRuling = good;
  noRuling.ruling = 0;
  std::string unknown = "ZZZZ";
  Put32(unknown, 4);
  unknown += "abcd";
  const std::string file = SetHeader(9, 0) + Record(2, "kind2", 100, 4, 4) + Image(4, 4, 4) +
                           Record(0, "ok", 100, 4, 4) + Image(4, 4, 4) + ToneRecordBytes(wide, "wide") +
                           ToneRecordBytes(noRuling, "ruling") + unknown + Record(0, "w0", 100, 0, 4) +
                           Image(0, 4, 4, 0) + Record(0, "bytes", 100, 4, 4) + Image(4, 4, 4, 15) +
                           Record(0, "scale", 10, 4, 4) + Image(4, 4, 4) + ToneRecordBytes(good, "tone") +
                           Record(0, "tag", 100, 4, 4, 0x100, nullptr, 9) + Image(4, 4, 4);
  WriteFile(PathOf("bad.tts"), file);
  CToneMngr m;
  ASSERT_TRUE(m.LoadFromFile(PathOf("bad.tts"), false));
  EXPECT_EQ(Names(m), "ok;tone;");
  ASSERT_EQ(warnings_.Texts().size(), 1u);
  EXPECT_EQ(warnings_.Texts()[0], "7個のトーン集が読み込めませんでした！");
}

TEST_F(ToneSetTest, FailedLoadsKeepTheSet) {
  CToneMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  m.SetModified(false);
  const std::string good = SetHeader(2, 1) + Record(0, "a", 100, 4, 4) + Image(4, 4, 4) +
                           ToneRecordBytes(ToneAttr(300, 50, 15, 20), "b");
  struct Case {
    std::string name, bytes;
    uint8_t code;
  } cases[] = {
      {"id", "PTSX" + good.substr(4), kFileChunkId},
      {"size", good.substr(0, 4) + std::string("\x18\0\0\1", 4) + good.substr(8), kFileChunkSize},
      {"field at 8", SetHeader(2, 1, 1) + good.substr(32), kToneRecordField},
      {"version", SetHeader(2, 1, 0, 2) + good.substr(32), kFileLevel},
      {"count 0", SetHeader(0, 0) + good.substr(32), kToneEmptySet},
      {"short", good.substr(0, 31), kFileShortRead},
      // The walk stops on a damaged chunk with nothing loaded: none loaded (once 9 and 10).
      {"first chunk head cut", good.substr(0, 32 + 5), kToneEmptySet},
      {"first chunk past the end", good.substr(0, 32 + 8 + 10), kToneEmptySet},
      {"nothing readable", SetHeader(1, 0) + Record(3, "x", 100, 4, 4) + Image(4, 4, 4), kToneEmptySet},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(PathOf("f.tts"), c.bytes);
    EXPECT_EQ(LoadToneSet(PathOf("f.tts"), m, false), c.code);
    EXPECT_EQ(m.Count(), 2);
    EXPECT_FALSE(m.IsModified());
  }
  EXPECT_EQ(LoadToneSet(PathOf("none.tts"), m, false), kFileMissing);
  // Every truncation and a sweep of single-byte corruptions: a code or what read, never a crash.
  test::XorShiftRng rng(0x7715);
  for (size_t n = 0; n < good.size(); n += 3) {
    WriteFile(PathOf("t.tts"), good.substr(0, n));
    CToneMngr t;
    ASSERT_TRUE(t.LoadBuiltins());
    if (LoadToneSet(PathOf("t.tts"), t, false) != 0) {
      EXPECT_EQ(t.Count(), 2);
    }
  }
  for (int k = 0; k < 80; ++k) {
    std::string bad = good;
    bad[32 + rng.Next() % (bad.size() - 32)] = static_cast<char>(rng.Next());
    WriteFile(PathOf("c.tts"), bad);
    CToneMngr t;
    LoadToneSet(PathOf("c.tts"), t, false);
    for (int32_t i = 0; i < t.Count(); ++i) t.SetCurrent(i);
  }
}

TEST_F(ToneSetTest, AppendKeepsEntriesAndSaveOfEmptySetFails) {
  CToneMngr m;
  EXPECT_EQ(SaveToneSet(PathOf("e.tts"), m), kToneEmptySet);
  EXPECT_FALSE(PresetFileExists(PathOf("e.tts")));
  WriteFile(PathOf("x.tts"), SetHeader(1, 0xFFFF) + Record(0, "x", 100, 4, 4) + Image(4, 4, 4));
  ASSERT_TRUE(m.LoadBuiltins());
  m.SetCurrent(1);
  m.SetModified(false);
  ASSERT_TRUE(m.LoadFromFile(PathOf("x.tts"), true));
  EXPECT_EQ(m.Count(), 3);
  EXPECT_TRUE(m.IsModified());
  EXPECT_EQ(m.CurrentIndex(), 1);
  ASSERT_TRUE(m.LoadFromFile(PathOf("x.tts"), false));
  EXPECT_EQ(m.Count(), 1);
  EXPECT_EQ(m.CurrentIndex(), 0);  // -1 clamped
  EXPECT_FALSE(m.IsModified());
}

TEST_F(ToneSetTest, DeleteKeepsTheCurrentEntryConsistent) {
  struct Case {
    int32_t current, deleted, expectIndex;
    const char* expectName;
  } cases[] = {{3, 3, 2, "c"}, {1, 1, 1, "c"}, {3, 1, 2, "d"}, {0, 2, 1, "b"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "current " << c.current << " deleted " << c.deleted);
    CToneMngr m;
    for (const char* name : {"a", "b", "c", "d"}) {
      TChannel ch(2, 2);
      m.GetItem(m.AddPattern(ch, 100, nullptr))->SetName(name);
    }
    m.SetCurrent(c.current);
    ASSERT_TRUE(m.Delete(c.deleted));
    EXPECT_EQ(m.CurrentIndex(), c.expectIndex);
    EXPECT_EQ(m.GetCurrentPattern(), m.GetItem(c.expectIndex));
    EXPECT_EQ(m.GetCurrentPattern()->Name(), c.expectName);
    EXPECT_EQ(m.WorkingCopy()->Name(), c.expectName);
  }
}

TEST_F(ToneSetTest, FailedSaveKeepsThePreviousFile) {
  CToneMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  const std::string path = PathOf("keep.tts");
  ASSERT_TRUE(m.Save(path));
  const std::string before = ReadFile(path);
  // A pattern whose tile is empty cannot be written: the save fails and the file stays.
  m.Add(std::make_unique<CPat8>(0, 0, kTypeCodePattern));
  EXPECT_FALSE(m.Save(path));
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(EntryCount(), 1u);
  EXPECT_TRUE(m.IsModified());
}

TEST_F(ToneSetTest, FirstStartOffersTheBuiltinDotPatterns) {
  CToneMngr m;
  ASSERT_TRUE(m.LoadDefault(true));
  ASSERT_EQ(m.Count(), 2);
  EXPECT_EQ(m.CurrentIndex(), 0);
  EXPECT_EQ(m.GetItem(0)->Width(), 64);
  EXPECT_EQ(m.GetItem(1)->Height(), 64);
  EXPECT_EQ(m.GetItem(0)->Name(), "");
  EXPECT_EQ(m.GetItem(0)->Scale(), 100);
  EXPECT_NE(m.WorkingCopy(), nullptr);
  EXPECT_EQ(settings_.files[1], "");
  EXPECT_TRUE(warnings_.Texts().empty());
}

TEST_F(ToneSetTest, DialogsStartFromTheSetsFile) {
  ScriptedFileDialogHost dialogs;
  SetFileDialogHost(&dialogs);
  CToneMngr m;
  ASSERT_TRUE(m.LoadBuiltins());
  dialogs.Choose(PathOf("d.tts"));
  ASSERT_TRUE(m.SaveWithDialog());
  dialogs.Choose(PathOf("d.tts"));
  ASSERT_TRUE(m.LoadWithDialog(true));
  EXPECT_EQ(m.Count(), 4);
  dialogs.Cancel();
  EXPECT_FALSE(m.LoadWithDialog(false));
  ASSERT_EQ(dialogs.Requests().size(), 3u);
  EXPECT_EQ(dialogs.Requests()[0].kind, kFileDialogToneSetSave);
  EXPECT_EQ(dialogs.Requests()[1].kind, kFileDialogToneSetOpen);
  EXPECT_EQ(dialogs.Requests()[1].initialName, "d.tts");
}

// A document window whose tone source is the tone set.
class ToneDocument final : public PaintDocument {
 public:
  explicit ToneDocument(ToneSampler* tones) : tones_(tones) {}
  bool HasModernEngine() const override { return true; }
  bool IsLockedForPlayback() const override { return false; }
  bool HasLayers() const override { return true; }
  bool ActiveLayerKeepsAlpha() const override { return false; }
  bool GetLayerBlendMode(int32_t, uint32_t& mode) const override {
    mode = 3;
    return true;
  }
  bool IsSelectionEnabled() const override { return false; }
  MaskSampler* GetActiveMask() override { return nullptr; }
  TPoint GetActiveMaskOrigin() const override { return {0, 0}; }
  TPoint GetActiveLayerOffset() const override { return {0, 0}; }
  ToneSampler* GetToneSampler() override { return tones_; }
  uint32_t GradationColorAt(int32_t, int32_t) override { return 0; }

 private:
  ToneSampler* tones_;
};

TEST_F(ToneSetTest, ChosenToneShapesAStrokeThroughTheWriterChain) {
  CToneMngr tones;
  ASSERT_EQ(tones.AddTone(ToneAttr(600, 75, 45, 30, 1), true, nullptr), 0);
  tones.SetCurrent(0);
  ToneDocument doc(&tones);
  SetCurrentDrawWindow(&doc);
  TStroke stroke(2);
  stroke.SetUseTone(true, false);
  BindStrokeToPaper(stroke, &doc);
  TMTC image(40, 30);
  image.FillAll(0x00FFFFFFu);
  WithImageWriter([&](auto write) {
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) write(image.Pixel(x, y), x, y, 255, 0xFF000000u);
  });
  CToneMaker ref;
  ASSERT_TRUE(ref.Setup(1, 0, 8, 45, 30));
  int32_t inked = 0;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool ink = ref.Sample(x, y) == 255;
      inked += ink;
      ASSERT_EQ(image.GetPixel(x, y) >> 24, ink ? 255u : 0u) << x << "," << y;
    }
  EXPECT_GT(inked, 100);
  EXPECT_LT(inked, 1100);
  SetCurrentDrawWindow(nullptr);
}

// A tone whose offsets came from a file as INT_MIN: sampling at the canvas origin wraps like the
// 32-bit coordinates instead of overflowing, and agrees with the pattern's own sampler.
TEST(ToneSetRegression, ExtremeToneOffsetsWrapInsteadOfOverflowing) {
  CToneMngr m;
  SToneAttr a = ToneAttr(600, 75, 30, 40, 2);
  ASSERT_EQ(m.AddTone(a, true, nullptr), 0);
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  m.GetItem(0)->SetOffsets(kMin, kMin);
  m.SetCurrent(0);
  ASSERT_NE(m.WorkingCopy(), nullptr);
  for (int32_t x : {0, 1, -1, 1000}) {
    const uint8_t direct = m.WorkingCopy()->PixelAt(x, 5);
    EXPECT_EQ(m.ToneValueAt(x, 5, 255), direct) << x;
    uint8_t row = 255;
    m.ToneRow(x, 5, 1, &row);
    EXPECT_EQ(row, direct) << x;
  }
}

}  // namespace
}  // namespace tf
