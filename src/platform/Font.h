// Outline fonts: the families installed, their charsets, and grey glyph bitmaps with metrics.
#pragma once
// Fonts are found through fontconfig and rasterised by FreeType. Only outline fonts are used.
// A face name that begins with "@" asks for the vertical form of the family: its double-byte
// glyphs come turned a quarter turn counter-clockwise (so that a caller that turns the whole
// bitmap back a quarter turn clockwise gets them upright), single-byte glyphs come unturned
// (they lie on their side in a vertical line), and the metrics are given in that turned frame.
//
// Glyph bitmaps hold 0..64 grey levels (FreeType's 0..255 as (v * 64 + 127) / 255), rows top
// down, each row padded with zeros to a multiple of 4 bytes.
//
// Fonts chosen and faces opened are kept for the next request (a text is laid out again on every
// keystroke of the text tool); faces opened at the same file and size share one FreeType face,
// so they are used from one thread, the user-interface thread.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

// Charset codes of the font dialog (the default charset 1 means "any").
inline constexpr uint8_t kCharsetLatin = 0;
inline constexpr uint8_t kCharsetDefault = 1;
inline constexpr uint8_t kCharsetSymbol = 2;
inline constexpr uint8_t kCharsetJapanese = 128;

// The logical description of a font kept with recorded text: a stable 60-byte record of our own
// (five little-endian int32, eight bytes, a 32-byte face name in code page 932 ending in zero).
// It is written into recordings, never read back to pick a font.
inline constexpr size_t kLogFontSize = 60;
struct SLogFont {
  int32_t height = 0;  // negative: the character (em) height in pixels
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 400;  // 400 regular, 700 bold
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = kCharsetDefault;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  char faceName[32] = {};

  void ToBytes(uint8_t out[kLogFontSize]) const;
};

// A font as the text tool asks for it.
struct SFontRequest {
  std::string face;  // UTF-8 family name, "@" in front for the vertical form
  int32_t pointSize = 12;
  int32_t pixelsPerInch = 96;
  uint8_t charset = kCharsetDefault;
  bool bold = false;
  bool italic = false;
  uint32_t color = 0;
};

// size * ppi / 72 rounded to nearest; 0 for a size or resolution below 1.
int32_t FontPixelHeight(int32_t pointSize, int32_t pixelsPerInch);
// The logical description of the request (height -FontPixelHeight).
SLogFont LogFontOf(const SFontRequest& request);

// Font-wide metrics in pixels.
struct STextMetrics {
  int32_t height = 0;  // ascent + descent
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internalLeading = 0;  // height less the em height
  int32_t externalLeading = 0;  // extra space the font asks for between lines
  int32_t emHeight = 0;
};

// Metrics of one glyph in pixels: the bitmap's size, the bitmap's left edge from the pen
// (originX), its top above the baseline (originY), and the pen's advance.
struct SGlyphMetrics {
  int32_t blackBoxX = 0;
  int32_t blackBoxY = 0;
  int32_t originX = 0;
  int32_t originY = 0;
  int32_t cellIncX = 0;
  int32_t cellIncY = 0;
};

enum class GlyphResult {
  kMissing,  // the font has no glyph for the code (or the code is not a character)
  kBlank,    // a glyph without ink (a space): metrics only
  kBitmap,   // metrics and a bitmap
};

// One opened outline face at one pixel size.
class CFontFace {
 public:
  // Null when no outline font answers the request or its size is out of range (1 to 8192
  // pixels); the reason goes to the developer output.
  static std::unique_ptr<CFontFace> Open(const SFontRequest& request);
  ~CFontFace();
  CFontFace(const CFontFace&) = delete;
  CFontFace& operator=(const CFontFace&) = delete;

  bool IsVertical() const { return vertical_; }
  const STextMetrics& Metrics() const { return metrics_; }
  // The family and file fontconfig chose.
  const std::string& Family() const { return family_; }
  const std::string& File() const { return file_; }

  // The glyph of a code page 932 character code (a byte, or lead << 8 | trail). The bitmap is
  // stride x rows bytes with stride = (blackBoxX + 3) & ~3 and rows = blackBoxY.
  GlyphResult GetGlyph(uint32_t code, SGlyphMetrics& metrics, std::vector<uint8_t>& bitmap);

 private:
  CFontFace() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool vertical_ = false;
  STextMetrics metrics_;
  std::string family_;
  std::string file_;
};

// The face list: every outline family once, sorted, UTF-8. vertical: only the families that
// have a vertical form (they cover Chinese, Japanese or Korean or carry vertical metrics),
// named without the "@".
std::vector<std::string> ListFontFaces(bool vertical);
// The charsets an installed family covers, by the codes of the charset list (0 Latin, 2 symbol,
// 128 Japanese, ...), ascending; empty when the family is not installed.
std::vector<uint8_t> ListFontCharsets(std::string_view family);
// True when "@" + family exists: the family is installed and has a vertical form.
bool HasVerticalFace(std::string_view family);
// The installed family a face name stands for: the name itself when installed, else the family
// taken for common Windows names (Japanese Gothic and Mincho faces, Arial, ...), else the name.
std::string ResolveFontFamily(std::string_view face);

}  // namespace tf
