// The text tool's layout: glyphs of an outline font laid out into a coverage channel.
#include "paint/Text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/Debug.h"
#include "platform/Text.h"
#include "raster/Composite.h"

namespace tf {

namespace {

constexpr std::array<uint8_t, 256> MakeGreyTable() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i <= 64; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 255 >> 6);
  return t;
}
constexpr std::array<uint8_t, 256> kGreyTable = MakeGreyTable();

}  // namespace

const std::array<uint8_t, 256> kGlyphGreyTable = kGreyTable;

const char* CharsetName(uint8_t charset) {
  switch (charset) {
    case 0: return "欧文";
    case 2: return "シンボル";
    case 77: return "MAC_CHARSET";
    case 128: return "日本語";
    case 129:
    case 130: return "ハングル";
    case 134: return "簡体字中国語";
    case 136: return "繁体字中国語";
    case 161: return "ギリシャ語";
    case 162: return "トルコ語";
    case 163: return "ベトナム語";
    case 177: return "ヘブライ語";
    case 178: return "アラビア語";
    case 186: return "バルト言語";
    case 204: return "キリル言語";
    case 222: return "タイ語";
    case 238: return "中央ヨーロッパ言語";
    case 255: return "OEM_CHARSET";
    default: return "その他";
  }
}

// ---------------------------------------------------------------------------------------------

CFontGlyph::CFontGlyph(const SFontRequest& font) : font_(font), face_(CFontFace::Open(font)) {
  vertical_ = !font.face.empty() && font.face[0] == '@' && face_ != nullptr && face_->IsVertical();
}

bool CFontGlyph::GetGlyphLevels(uint32_t code, std::vector<uint8_t>& bitmap) {
  code_ = static_cast<int32_t>(code);
  bitmap.clear();
  if (face_ == nullptr) return false;
  return face_->GetGlyph(code, metrics_, bitmap) != GlyphResult::kMissing;
}

bool CFontGlyph::GetGlyph(uint32_t code, std::vector<uint8_t>& bitmap) {
  if (!GetGlyphLevels(code, bitmap)) return false;
  for (uint8_t& v : bitmap) v = kGlyphGreyTable[v];
  return true;
}

bool CFontGlyph::BitmapSize(size_t byteSize, int32_t& stride, int32_t& rows) const {
  stride = (metrics_.blackBoxX + 3) & ~3;
  rows = stride > 0 ? static_cast<int32_t>(byteSize / static_cast<size_t>(stride)) : 0;
  return true;
}

void CFontGlyph::Advance(int32_t& main, int32_t& cross, int32_t extra, int32_t leading) const {
  if (metrics_.cellIncX > 0) main += extra + metrics_.cellIncX;
  if (metrics_.cellIncY > 0) cross += leading + metrics_.cellIncY;
}

// ---------------------------------------------------------------------------------------------

bool MakeBold(int32_t& stride, int32_t rows, std::vector<uint8_t>& bitmap) {
  if (stride <= 0 || rows <= 0 || bitmap.size() < static_cast<size_t>(stride) * static_cast<size_t>(rows))
    return false;
  const int32_t wide = stride + 1;
  std::vector<uint8_t> bold;
  try {
    bold.assign(static_cast<size_t>(wide) * static_cast<size_t>(rows), 0);
  } catch (const std::bad_alloc&) {
    DebugOut("makeFontBold: out of memory!\n");
    return false;
  }
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* src = bitmap.data() + static_cast<size_t>(y) * stride;
    uint8_t* dst = bold.data() + static_cast<size_t>(y) * wide;
    std::memcpy(dst, src, static_cast<size_t>(stride));
    for (int32_t x = 0; x < stride; ++x) dst[x + 1] = std::max(dst[x + 1], src[x]);
  }
  bitmap.swap(bold);
  stride = wide;
  return true;
}

namespace {

// The glyph rectangle (w x h at the point) clipped to the channel; false when empty.
bool ClipGlyph(const TChannel& channel, const TPoint& point, int32_t w, int32_t h, SRectWH& rect) {
  if (!channel.IsValid() || w <= 0 || h <= 0) return false;
  const int64_t left = std::max<int64_t>(point.x, 0);
  const int64_t top = std::max<int64_t>(point.y, 0);
  const int64_t right = std::min<int64_t>(int64_t{point.x} + w, channel.Width());
  const int64_t bottom = std::min<int64_t>(int64_t{point.y} + h, channel.Height());
  if (left >= right || top >= bottom) return false;
  rect = SRectWH{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                 static_cast<int32_t>(bottom - top)};
  return true;
}

}  // namespace

namespace {

// The two blits over any writer (a function or an inlined functor).
template <class Writer>
bool BlitGlyphWith(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows, const uint8_t* bitmap,
                   SRectWH& rect, uint32_t value, Writer writer) {
  if (bitmap == nullptr || !ClipGlyph(channel, point, stride, rows, rect)) return false;
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
    const uint8_t* src = bitmap + static_cast<size_t>(y - point.y) * static_cast<size_t>(stride);
    uint8_t* dst = channel.GetPixelPtr(0, y);
    for (int32_t x = rect.left; x < rect.left + rect.width; ++x)
      if (const uint8_t g = src[x - point.x]) writer(dst[x], value, g);
  }
  return true;
}

template <class Writer>
bool BlitGlyphRotatedWith(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows,
                          const uint8_t* bitmap, SRectWH& rect, uint32_t value, Writer writer) {
  if (bitmap == nullptr || !ClipGlyph(channel, point, rows, stride, rect)) return false;
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
    const int32_t i = y - point.y;  // target row: source column
    uint8_t* dst = channel.GetPixelPtr(0, y);
    for (int32_t x = rect.left; x < rect.left + rect.width; ++x) {
      const int32_t j = x - point.x;  // target column: source row rows - 1 - j
      if (const uint8_t g = bitmap[static_cast<size_t>(rows - 1 - j) * static_cast<size_t>(stride) + i])
        writer(dst[x], value, g);
    }
  }
  return true;
}

// BlendByte with the glyph's level spread onto 0..255 on the way (the blits skip level 0).
struct BlendLevel {
  void operator()(uint8_t& byte, uint32_t value, uint32_t level) const {
    // Full coverage blends to the value itself.
    if (level == 64)
      byte = static_cast<uint8_t>(value);
    else
      BlendByte(byte, value, kGlyphGreyTable[level]);
  }
};

}  // namespace

bool BlitGlyph(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows, const uint8_t* bitmap,
               SRectWH& rect, uint32_t value, GlyphByteWriter writer) {
  return writer != nullptr && BlitGlyphWith(channel, point, stride, rows, bitmap, rect, value, writer);
}

bool BlitGlyphRotated(TChannel& channel, const TPoint& point, int32_t stride, int32_t rows, const uint8_t* bitmap,
                      SRectWH& rect, uint32_t value, GlyphByteWriter writer) {
  return writer != nullptr && BlitGlyphRotatedWith(channel, point, stride, rows, bitmap, rect, value, writer);
}

// ---------------------------------------------------------------------------------------------

int32_t RenderText(STextJob& job) {
  if (job.target == nullptr || !job.target->IsValid()) return -1;
  CFontGlyph glyph(job.font);
  if (!glyph.IsOpen()) return -1;
  LogFontOf(job.font).ToBytes(job.logFont);
  const STextMetrics& tm = glyph.Metrics();
  const int32_t lineStep = tm.height + tm.externalLeading + job.leading;
  const bool vertical = glyph.IsVertical();
  job.target->Fill(0);
  job.drawn = SRectWH{0, 0, 0, 0};

  const std::string_view text(job.text.c_str());  // up to the first zero
  TPoint line{job.x, job.y};
  TPoint pen = line;
  int32_t count = 0;
  std::vector<uint8_t> bitmap;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t code = c;
    if (IsCp932LeadByte(c)) {
      code = static_cast<uint32_t>(c) << 8;
      if (i + 1 < text.size()) code |= static_cast<unsigned char>(text[++i]);
    }
    if (code == 13) {
      if (vertical)
        line.x -= lineStep;
      else
        line.y += lineStep;
      pen = line;
      if (i + 1 < text.size() && text[i + 1] == 10) ++i;
      continue;
    }
    // Levels 0..64, spread onto 0..255 as they are blended.
    if (!glyph.GetGlyphLevels(code, bitmap)) continue;  // the font lacks it: no advance
    int32_t extra = 0;
    if (!bitmap.empty()) {
      int32_t stride = 0;
      int32_t rows = 0;
      glyph.BitmapSize(bitmap.size(), stride, rows);
      if (glyph.IsBold() && MakeBold(stride, rows, bitmap)) extra = 1;
      const SGlyphMetrics& m = glyph.GlyphMetrics();
      SRectWH rect{};
      bool drawn;
      if (!vertical) {
        drawn = BlitGlyphWith(*job.target, TPoint{pen.x + m.originX, pen.y - m.originY}, stride, rows,
                              bitmap.data(), rect, 255, BlendLevel{});
      } else {
        drawn = BlitGlyphRotatedWith(*job.target, TPoint{pen.x + m.originY - m.blackBoxY, pen.y + m.originX},
                                     stride, rows, bitmap.data(), rect, 255, BlendLevel{});
      }
      if (drawn) {
        if (count == 0)
          job.drawn = rect;
        else
          UnionRect(job.drawn, rect);
        ++count;
      }
    }
    if (!vertical)
      glyph.Advance(pen.x, pen.y, job.spacing + extra, job.leading);
    else
      glyph.Advance(pen.y, pen.x, job.spacing + extra, job.leading);
  }
  return count;
}

}  // namespace tf
