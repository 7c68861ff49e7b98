// The text tool's layout: glyphs of an outline font laid out into a coverage channel.
#pragma once
// RenderText writes a block of code page 932 text, horizontal or vertical (a face named with "@"
// in front), into a channel as anti-aliased coverage 0..255. CR starts a new line (CR LF counts
// once): one line step (font height + external leading + leading) down for horizontal text, one
// column to the left for vertical text. Characters the font lacks are skipped without moving
// the pen; blank ones (a space) move it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Font.h"
#include "raster/FlatImage.h"
#include "raster/Geometry.h"

namespace tf {

// Names of the charset codes in the charset list ("その他" for codes without a name of their own).
const char* CharsetName(uint8_t charset);

// The glyph levels 0..64 spread onto 0..255 (entry i = i * 255 >> 6; 0 above 64).
extern const std::array<uint8_t, 256> kGlyphGreyTable;

// A glyph source over one opened face: the last glyph's metrics and code.
class CFontGlyph {
 public:
  explicit CFontGlyph(const SFontRequest& font);
  // False when no outline font answers the font request.
  bool IsOpen() const { return face_ != nullptr; }
  bool IsVertical() const { return vertical_; }
  bool IsBold() const { return font_.bold; }
  const STextMetrics& Metrics() const { return face_->Metrics(); }
  const SGlyphMetrics& GlyphMetrics() const { return metrics_; }
  int32_t LastCode() const { return code_; }

  // False for a glyph the font lacks. True with an empty bitmap for a blank glyph; else the
  // bitmap holds 0..255 coverage, rows padded to 4 bytes.
  bool GetGlyph(uint32_t code, std::vector<uint8_t>& bitmap);
  // The same with the font's levels 0..64 as they are (kGlyphGreyTable spreads them).
  bool GetGlyphLevels(uint32_t code, std::vector<uint8_t>& bitmap);
  // stride = (black box width + 3) & ~3, rows = byte size / stride.
  bool BitmapSize(size_t byteSize, int32_t& stride, int32_t& rows) const;
  // cell increment x above 0: main += extra + increment x; cell increment y above 0:
  // cross += leading + increment y.
  void Advance(int32_t& main, int32_t& cross, int32_t extra, int32_t leading) const;

 private:
  SFontRequest font_;
  std::unique_ptr<CFontFace> face_;
  SGlyphMetrics metrics_;
  int32_t code_ = 0;
  bool vertical_ = false;
};

// Widens a glyph by one column: each byte merged into its right neighbour keeping the larger
// value. The stride becomes stride + 1 (not rounded). False, the glyph unchanged, when the
// memory cannot be had.
bool MakeBold(int32_t& stride, int32_t rows, std::vector<uint8_t>& bitmap);

// Byte writer of the glyph blits: (channel byte, value, glyph coverage).
using GlyphByteWriter = void (*)(uint8_t& byte, uint32_t value, uint32_t coverage);

// Writes a stride x rows glyph into the channel with its top-left at the point, clipped to the
// channel; false when nothing is left. rect gets the clipped rectangle. Bytes of coverage 0
// are left as they are (the writer is not called for them).
bool BlitGlyph(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows, const uint8_t* bitmap,
               SRectWH& rect, uint32_t value, GlyphByteWriter writer);
// The same with the glyph turned a quarter turn clockwise: rows wide and stride high; target
// (column j, row i) takes source (x = i, y = rows - 1 - j).
bool BlitGlyphRotated(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows, const uint8_t* bitmap,
                      SRectWH& rect, uint32_t value, GlyphByteWriter writer);

// A request to RenderText.
struct STextJob {
  SFontRequest font;
  std::string text;  // code page 932, read to its first zero
  TChannel* target = nullptr;
  int32_t x = 0;                       // start point: the first line's baseline for horizontal text, the first
  int32_t y = 0;                       // column's middle and top for vertical text
  int32_t spacing = 0;                 // extra pixels between characters
  int32_t leading = 0;                 // extra pixels between lines
  uint8_t logFont[kLogFontSize] = {};  // filled with the font's logical description
  SRectWH drawn{0, 0, 0, 0};           // union of the glyph rectangles drawn
};

// Clears the target channel to 0 and lays the text out into it. Returns the number of glyphs
// drawn, -1 when the font cannot be had or the target is missing.
int32_t RenderText(STextJob& job);

}  // namespace tf
