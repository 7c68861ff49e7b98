// The text layout: glyph placement against FreeType's own metrics, lines and columns, spacing
// and leading, bold, missing and blank glyphs, vertical faces, the blits, the font lists and the
// logical font record. The fonts are the two deps.sh installs (DejaVu Sans, IPAGothic); a test
// that needs one skips with a message when the machine lacks it.
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "paint/Text.h"
#include "platform/ByteOrder.h"
#include "platform/Font.h"
#include "platform/Text.h"

namespace tf {
namespace {

constexpr const char* kLatin = "DejaVu Sans";
constexpr const char* kJapanese = "IPAGothic";
// "あ", "い" and "漢" in code page 932.
constexpr const char* kA = "\x82\xA0";
constexpr const char* kI = "\x82\xA2";

// True when fontconfig gives exactly this family.
bool HaveFamily(const char* family) {
  SFontRequest r;
  r.face = family;
  auto face = CFontFace::Open(r);
  return face != nullptr && face->Family() == family;
}

#define REQUIRE_FONT(family)                            \
  if (!HaveFamily(family))                              \
  GTEST_SKIP() << "font family " << (family)            \
               << " is not installed (scripts/deps.sh " \
                  "installs it)"

SFontRequest Font(const std::string& face, int32_t points = 24) {
  SFontRequest r;
  r.face = face;
  r.pointSize = points;
  r.pixelsPerInch = 96;
  return r;
}

struct Rendered {
  int32_t count = 0;
  TChannel channel{400, 300};
  SRectWH drawn{};
  TRect bounds{};
  bool any = false;
};

Rendered Render(const SFontRequest& font, const std::string& text, int32_t x = 40, int32_t y = 80,
                int32_t spacing = 0, int32_t leading = 0) {
  Rendered r;
  STextJob job;
  job.font = font;
  job.text = text;
  job.target = &r.channel;
  job.x = x;
  job.y = y;
  job.spacing = spacing;
  job.leading = leading;
  r.count = RenderText(job);
  r.drawn = job.drawn;
  r.any = r.channel.GetNonZeroBounds(r.bounds);
  return r;
}

// The channel's bytes inside a rectangle, row by row.
std::vector<uint8_t> Crop(const TChannel& c, const TRect& b) {
  std::vector<uint8_t> out;
  for (int32_t y = b.top; y < b.bottom; ++y)
    for (int32_t x = b.left; x < b.right; ++x) out.push_back(c.GetPixel(x, y));
  return out;
}

// The glyph of one character read straight from FreeType at the same pixel size.
struct FtGlyph {
  int32_t left, top, width, rows, advance;
  std::vector<uint8_t> grey;  // 0..255 as FreeType gives it
};
FtGlyph LoadWithFreeType(const std::string& file, int32_t pixels, uint32_t codePoint) {
  FtGlyph g{};
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  EXPECT_EQ(FT_Init_FreeType(&lib), 0);
  EXPECT_EQ(FT_New_Face(lib, file.c_str(), 0, &face), 0);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  EXPECT_EQ(FT_Load_Char(face, codePoint, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP), 0);
  const FT_Bitmap& b = face->glyph->bitmap;
  g = FtGlyph{face->glyph->bitmap_left,
              face->glyph->bitmap_top,
              static_cast<int32_t>(b.width),
              static_cast<int32_t>(b.rows),
              static_cast<int32_t>((face->glyph->advance.x + 32) >> 6),
              {}};
  for (unsigned y = 0; y < b.rows; ++y)
    for (unsigned x = 0; x < b.width; ++x) g.grey.push_back(b.buffer[y * b.pitch + x]);
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return g;
}

// ---------------------------------------------------------------------------------------------

TEST(TextRender, GlyphPlacementAndLevelsMatchFreeTypeOwnRendering) {
  REQUIRE_FONT(kLatin);
  auto face = CFontFace::Open(Font(kLatin));
  ASSERT_NE(face, nullptr);
  const int32_t pixels = FontPixelHeight(24, 96);
  ASSERT_EQ(pixels, 32);
  for (char c : std::string("AgQ")) {
    const FtGlyph ft = LoadWithFreeType(face->File(), pixels, static_cast<unsigned char>(c));
    const Rendered r = Render(Font(kLatin), std::string(1, c), 40, 80);
    ASSERT_EQ(r.count, 1) << c;
    // The bitmap's top-left lies at (pen x + left bearing, baseline - top) and every level is
    // FreeType's grey brought to 0..64 and spread back onto 0..255.
    std::vector<uint8_t> expected(static_cast<size_t>(ft.width) * ft.rows);
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = kGlyphGreyTable[(ft.grey[i] * 64 + 127) / 255];
    const TRect box{40 + ft.left, 80 - ft.top, 40 + ft.left + ft.width, 80 - ft.top + ft.rows};
    EXPECT_EQ(Crop(r.channel, box), expected) << c;
    TRect outside = r.bounds;
    UnionBounds(outside, box);
    EXPECT_EQ(outside, box) << "ink outside the glyph box of " << c;
    // The drawn rectangle is the glyph's padded bitmap rectangle.
    EXPECT_EQ(r.drawn.left, box.left);
    EXPECT_EQ(r.drawn.top, box.top);
    EXPECT_EQ(r.drawn.width, (ft.width + 3) & ~3);
    EXPECT_EQ(r.drawn.height, ft.rows);
  }
  // Advances: "AV" puts V one advance of A to the right (no kerning).
  const FtGlyph a = LoadWithFreeType(face->File(), pixels, 'A');
  const Rendered av = Render(Font(kLatin), "AV", 40, 80);
  const Rendered v = Render(Font(kLatin), "V", 40 + a.advance, 80);
  const Rendered aOnly = Render(Font(kLatin), "A", 40, 80);
  TRect right{40 + a.advance + 2, 0, 400, 300};
  right.left = std::max(right.left, aOnly.bounds.right);
  EXPECT_EQ(Crop(av.channel, right), Crop(v.channel, right));
}

TEST(TextRender, CrLfStartsTheNextLineOneLineStepDownAtTheStartingX) {
  REQUIRE_FONT(kLatin);
  auto face = CFontFace::Open(Font(kLatin));
  const STextMetrics& tm = face->Metrics();
  EXPECT_EQ(tm.height, tm.ascent + tm.descent);
  for (int32_t leading : {0, 7, -5}) {
    const int32_t step = tm.height + tm.externalLeading + leading;
    for (const char* text : {"A\r\nB", "A\rB"}) {
      const Rendered both = Render(Font(kLatin), text, 40, 80, 0, leading);
      EXPECT_EQ(both.count, 2);
      const Rendered b = Render(Font(kLatin), "B", 40, 80 + step);
      const TRect lower{0, 80 + step - tm.ascent + 2, 400, 300};
      EXPECT_EQ(Crop(both.channel, lower), Crop(b.channel, lower)) << "leading " << leading;
    }
  }
}

TEST(TextRender, SpacingMovesEachCharacterAndASpaceAdvancesWhileAMissingGlyphDoesNot) {
  REQUIRE_FONT(kLatin);
  auto face = CFontFace::Open(Font(kLatin));
  const FtGlyph space = LoadWithFreeType(face->File(), 32, ' ');
  const Rendered plain = Render(Font(kLatin), "IB", 40, 80);
  const Rendered wide = Render(Font(kLatin), "IB", 40, 80, 25);
  // B moves right by the spacing; I stays.
  const Rendered b = Render(Font(kLatin), "B", 40, 80);
  const int32_t bWidth = b.bounds.right - b.bounds.left;
  EXPECT_EQ(wide.bounds.right - plain.bounds.right, 25);
  EXPECT_EQ(wide.bounds.left, plain.bounds.left);
  // A space advances by its cell increment plus the spacing, even at spacing -999.
  const Rendered spaced = Render(Font(kLatin), "I B", 40, 80);
  EXPECT_EQ(spaced.bounds.right - plain.bounds.right, space.advance);
  const Rendered overlap = Render(Font(kLatin), "IB", 300, 80, -999);
  EXPECT_EQ(overlap.count, 1) << "B lands left of the channel";
  EXPECT_LT(overlap.bounds.right - overlap.bounds.left, bWidth);
  // A character the font lacks ("あ" in DejaVu Sans) is skipped without moving the pen; the
  // text stays code page 932 with its double-byte character read as one code.
  const Rendered missing = Render(Font(kLatin), std::string("I") + kA + "B", 40, 80);
  EXPECT_EQ(missing.count, 2);
  EXPECT_EQ(Crop(missing.channel, TRect{0, 0, 400, 300}), Crop(plain.channel, TRect{0, 0, 400, 300}));
}

TEST(TextRender, EmptyTextBadTargetsAndBadFontRecords) {
  REQUIRE_FONT(kLatin);
  Rendered empty = Render(Font(kLatin), "");
  EXPECT_EQ(empty.count, 0);
  EXPECT_FALSE(empty.any);
  // The channel is cleared even when nothing is drawn.
  TChannel c(50, 50);
  c.Fill(9);
  STextJob job;
  job.font = Font(kLatin);
  job.target = &c;
  EXPECT_EQ(RenderText(job), 0);
  TRect b{};
  EXPECT_FALSE(c.GetNonZeroBounds(b));
  // Only what lies before the first zero is text; a lead byte just before it is one last
  // (missing) character and nothing past the zero is read.
  EXPECT_EQ(Render(Font(kLatin), std::string("I\0B", 3)).count, 1);
  EXPECT_EQ(Render(Font(kLatin), std::string("I\x82", 2)).count, 1);
  EXPECT_EQ(Render(Font(kLatin), "\x82").count, 0);
  // Control codes other than CR are no characters.
  EXPECT_EQ(Render(Font(kLatin), "I\tI\nI").count, 3);

  struct Case {
    const char* what;
    SFontRequest font;
  };
  SFontRequest zero = Font(kLatin, 0), huge = Font(kLatin, 999), noName = Font(""), atOnly = Font("@");
  huge.pixelsPerInch = 100000;
  for (const Case& bad : {Case{"size 0", zero}, Case{"size beyond the limit", huge}, Case{"no face", noName},
                          Case{"only the vertical mark", atOnly}}) {
    TChannel kept(20, 20);
    kept.Fill(7);
    STextJob j;
    j.font = bad.font;
    j.text = "A";
    j.target = &kept;
    EXPECT_EQ(RenderText(j), -1) << bad.what;
    EXPECT_EQ(kept.GetPixel(3, 3), 7) << bad.what << ": the channel is left alone";
  }
  STextJob noTarget;
  noTarget.font = Font(kLatin);
  noTarget.text = "A";
  EXPECT_EQ(RenderText(noTarget), -1);
}

TEST(TextRender, DoubleByteCharactersAreOneGlyphAndBoldWidensGlyphAndAdvanceByOne) {
  REQUIRE_FONT(kJapanese);
  const Rendered one = Render(Font(kJapanese), kA);
  const Rendered two = Render(Font(kJapanese), std::string(kA) + kI);
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(two.count, 2);
  // IPAGothic has no bold file: bold is the regular glyph widened by one column.
  SFontRequest bold = Font(kJapanese);
  bold.bold = true;
  const Rendered boldOne = Render(bold, kA);
  EXPECT_EQ(boldOne.bounds.right - boldOne.bounds.left, one.bounds.right - one.bounds.left + 1);
  EXPECT_EQ(boldOne.bounds.left, one.bounds.left);
  const Rendered boldTwo = Render(bold, std::string(kA) + kI);
  EXPECT_EQ(boldTwo.bounds.right, two.bounds.right + 2) << "one for the widened glyph, one for the advance";
  // CP932 text mixing characters the font has and lacks ("\x87\x40" is a circled 1, which
  // IPAGothic has; 0xF040 is a user-defined code with no character).
  const Rendered mixed = Render(Font(kJapanese), std::string(kA) + "\xF0\x40" + kI);
  EXPECT_EQ(Crop(mixed.channel, TRect{0, 0, 400, 300}), Crop(two.channel, TRect{0, 0, 400, 300}));
}

TEST(TextRender, VerticalFaceLaysCharactersDownwardUprightAndCrStartsTheColumnToTheLeft) {
  REQUIRE_FONT(kJapanese);
  ASSERT_TRUE(HasVerticalFace(kJapanese));
  const std::string vface = std::string("@") + kJapanese;
  auto vertical = CFontFace::Open(Font(vface));
  ASSERT_NE(vertical, nullptr);
  EXPECT_TRUE(vertical->IsVertical());
  // The glyph stands upright: the same ink as in horizontal writing.
  const Rendered h = Render(Font(kJapanese), kA, 200, 100);
  const Rendered v = Render(Font(vface), kA, 200, 100);
  ASSERT_EQ(v.count, 1);
  EXPECT_EQ(Crop(v.channel, v.bounds), Crop(h.channel, h.bounds));
  // It hangs from the start point and sits across the pen's line.
  EXPECT_GE(v.bounds.top, 100);
  EXPECT_LT(v.bounds.left, 200);
  EXPECT_GT(v.bounds.right, 200);
  // The second character comes one vertical advance lower in the same column.
  const Rendered two = Render(Font(vface), std::string(kA) + kI, 200, 40);
  SGlyphMetrics m{};
  std::vector<uint8_t> bitmap;
  ASSERT_EQ(vertical->GetGlyph(0x82A0, m, bitmap), GlyphResult::kBitmap);
  const int32_t advance = m.cellIncX;
  EXPECT_GT(advance, 20);
  const Rendered first = Render(Font(vface), kA, 200, 40);
  const Rendered second = Render(Font(vface), kI, 200, 40 + advance);
  const TRect below{0, first.bounds.bottom, 400, 300};
  EXPECT_EQ(Crop(two.channel, below), Crop(second.channel, below));
  EXPECT_GE(second.bounds.top, first.bounds.bottom - 2);
  // CR starts the next column one line step to the left, back at the top.
  const STextMetrics& tm = vertical->Metrics();
  const Rendered cols = Render(Font(vface), std::string(kA) + "\r\n" + kI, 300, 40);
  const Rendered left = Render(Font(vface), kI, 300 - (tm.height + tm.externalLeading), 40);
  const TRect leftPart{0, 0, 300 - tm.height / 2, 300};
  EXPECT_EQ(cols.count, 2);
  EXPECT_EQ(Crop(cols.channel, leftPart), Crop(left.channel, leftPart));
  // Single-byte characters lie on their side: wider than tall.
  const Rendered side = Render(Font(vface), "--", 200, 40);
  EXPECT_GT(side.bounds.bottom - side.bounds.top, side.bounds.right - side.bounds.left);
}

TEST(TextRender, MakeBoldAndTheBlitsMoveTheRightBytes) {
  // MakeBold: stride + 1, each byte merged into its right neighbour keeping the larger.
  int32_t stride = 4;
  std::vector<uint8_t> g = {10, 200, 0, 0, /**/ 0, 5, 90, 3};
  ASSERT_TRUE(MakeBold(stride, 2, g));
  EXPECT_EQ(stride, 5);
  EXPECT_EQ(g, (std::vector<uint8_t>{10, 200, 200, 0, 0, /**/ 0, 5, 90, 90, 3}));
  int32_t bad = 0;
  std::vector<uint8_t> none;
  EXPECT_FALSE(MakeBold(bad, 1, none));

  // A 4 x 2 glyph; the rotated blit turns it a quarter turn clockwise: 2 wide, 4 high.
  const uint8_t glyph[] = {1, 2, 3, 4, /**/ 5, 6, 7, 8};
  auto copy = [](uint8_t& b, uint32_t, uint32_t g) { b = static_cast<uint8_t>(g); };
  TChannel c(6, 6);
  SRectWH rect{};
  ASSERT_TRUE(BlitGlyphRotated(c, TPoint{1, 1}, 4, 2, glyph, rect, 255, copy));
  EXPECT_EQ(rect, (SRectWH{1, 1, 2, 4}));
  const uint8_t expected[4][2] = {{5, 1}, {6, 2}, {7, 3}, {8, 4}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 2; ++j) EXPECT_EQ(c.GetPixel(1 + j, 1 + i), expected[i][j]) << i << "," << j;
  // Clipped at the channel's edges; nothing left: false.
  TChannel d(6, 6);
  ASSERT_TRUE(BlitGlyph(d, TPoint{-2, 5}, 4, 2, glyph, rect, 255, copy));
  EXPECT_EQ(rect, (SRectWH{0, 5, 2, 1}));
  EXPECT_EQ(d.GetPixel(0, 5), 3);
  EXPECT_EQ(d.GetPixel(1, 5), 4);
  EXPECT_FALSE(BlitGlyph(d, TPoint{6, 0}, 4, 2, glyph, rect, 255, copy));
  EXPECT_FALSE(BlitGlyphRotated(d, TPoint{0, -4}, 4, 2, glyph, rect, 255, copy));
  // The blend writer the text uses: coverage over what is there.
  uint8_t byte = 0;
  auto blend = [](uint8_t& b, uint32_t v, uint32_t g) { BlendByte(b, v, g); };
  blend(byte, 255, 128);
  EXPECT_EQ(byte, 128);

  EXPECT_EQ(kGlyphGreyTable[0], 0);
  EXPECT_EQ(kGlyphGreyTable[32], 127);
  EXPECT_EQ(kGlyphGreyTable[64], 255);
  EXPECT_EQ(kGlyphGreyTable[65], 0);
}

TEST(TextRender, FontListsCharsetsAndTheLogicalFontRecord) {
  REQUIRE_FONT(kJapanese);
  REQUIRE_FONT(kLatin);
  const std::vector<std::string> faces = ListFontFaces(false);
  EXPECT_TRUE(std::is_sorted(faces.begin(), faces.end()));
  EXPECT_NE(std::find(faces.begin(), faces.end(), kLatin), faces.end());
  EXPECT_NE(std::find(faces.begin(), faces.end(), kJapanese), faces.end());
  const std::vector<std::string> vfaces = ListFontFaces(true);
  EXPECT_NE(std::find(vfaces.begin(), vfaces.end(), kJapanese), vfaces.end());
  for (const std::string& f : vfaces) EXPECT_NE(f[0], '@');
  const std::vector<uint8_t> ja = ListFontCharsets(kJapanese);
  EXPECT_NE(std::find(ja.begin(), ja.end(), 128), ja.end());
  EXPECT_NE(std::find(ja.begin(), ja.end(), 0), ja.end());
  EXPECT_TRUE(ListFontCharsets("No Such Family Anywhere").empty());
  EXPECT_STREQ(CharsetName(128), "日本語");
  EXPECT_STREQ(CharsetName(130), "ハングル");
  EXPECT_STREQ(CharsetName(5), "その他");
  // Windows names map to installed families.
  EXPECT_EQ(ResolveFontFamily("ＭＳ ゴシック"), kJapanese);
  EXPECT_EQ(ResolveFontFamily("MS PGothic"), "IPAPGothic");
  EXPECT_EQ(ResolveFontFamily(kLatin), kLatin);

  SFontRequest r = Font(std::string("@") + "ＭＳ ゴシック", 24);
  r.bold = true;
  r.italic = true;
  r.charset = 128;
  uint8_t bytes[kLogFontSize];
  std::memset(bytes, 0xEE, sizeof bytes);
  LogFontOf(r).ToBytes(bytes);
  EXPECT_EQ(LoadI32(bytes), -32);
  EXPECT_EQ(LoadI32(bytes + 16), 700);
  EXPECT_EQ(bytes[20], 1);
  EXPECT_EQ(bytes[23], 128);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 28)), "@" + Utf8ToCp932("ＭＳ ゴシック"));
  EXPECT_EQ(bytes[59], 0);
  // A long name is cut without splitting a double-byte character and stays terminated.
  SFontRequest longName = Font(std::string(40, 'x') + "あ");
  LogFontOf(longName).ToBytes(bytes);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(bytes + 28)), 31u);
  // The job's record is filled by RenderText.
  STextJob job;
  TChannel c(10, 10);
  job.font = Font(kLatin);
  job.target = &c;
  RenderText(job);
  EXPECT_EQ(LoadI32(job.logFont), -32);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(job.logFont + 28)), kLatin);
}

}  // namespace
}  // namespace tf
