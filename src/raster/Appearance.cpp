#include "raster/Appearance.h"

#include <memory>

#include "raster/ColorConvert.h"

namespace tf {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

constexpr SystemColorTable kClassic = {
    Rgb(64, 64, 64),     // 3D dark shadow
    Rgb(212, 208, 200),  // button face
    Rgb(255, 255, 255),  // button highlight
    Rgb(212, 208, 200),  // 3D light
    Rgb(128, 128, 128),  // button shadow
    Rgb(212, 208, 200),  // active border
    Rgb(10, 36, 106),    // active caption
    Rgb(128, 128, 128),  // application workspace
    Rgb(58, 110, 165),   // desktop
    Rgb(0, 0, 0),        // button text
    Rgb(255, 255, 255),  // caption text
    Rgb(166, 202, 240),  // gradient of the active caption
    Rgb(192, 192, 192),  // gradient of an inactive caption
    Rgb(128, 128, 128),  // grey text
    Rgb(10, 36, 106),    // highlight
    Rgb(255, 255, 255),  // highlight text
    Rgb(0, 0, 128),      // hot-tracked item
    Rgb(212, 208, 200),  // inactive border
    Rgb(128, 128, 128),  // inactive caption
    Rgb(212, 208, 200),  // inactive caption text
    Rgb(255, 255, 225),  // tooltip background
    Rgb(0, 0, 0),        // tooltip text
    Rgb(212, 208, 200),  // menu
    Rgb(0, 0, 0),        // menu text
    Rgb(212, 208, 200),  // scroll bar
    Rgb(255, 255, 255),  // window
    Rgb(0, 0, 0),        // window frame
    Rgb(0, 0, 0),        // window text
};

constexpr uint32_t WithAlpha(uint32_t pixel, uint32_t alpha) { return (pixel & 0x00FFFFFF) | alpha << 24; }

constexpr std::array<uint32_t, kAppearanceColorCount> TableFrom(const SystemColorTable& system) {
  std::array<uint32_t, kAppearanceColorCount> t{};
  for (int32_t i = 0; i < kSystemColorCount; ++i) t[i] = ColorToBGRA(system[i], 255);
  t[acHighlightHalf] = WithAlpha(t[acHighlight], 128);
  t[acGrayTextHalf] = WithAlpha(t[acGrayText], 128);
  t[acBtnFaceClear] = WithAlpha(t[acBtnFace], 0);
  t[acBtnFaceHalf] = WithAlpha(t[acBtnFace], 128);
  t[acBtnFaceThird] = WithAlpha(t[acBtnFace], 85);
  t[acBtnFaceTwoThirds] = WithAlpha(t[acBtnFace], 170);
  return t;
}

using Map7 = std::array<std::array<uint8_t, 7>, 7>;

// Symbol 0: the triangle pointing up in rows 1..4, 128 at both ends of each row, 255 between.
constexpr Map7 TriangleUp() {
  Map7 m{};
  for (int k = 0; k < 4; ++k) {
    for (int c = 3 - k; c <= 3 + k; ++c) m[1 + k][c] = (c == 3 - k || c == 3 + k) ? 128 : 255;
  }
  return m;
}

constexpr Map7 Transposed(const Map7& m) {
  Map7 t{};
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 7; ++c) t[r][c] = m[c][r];
  return t;
}
constexpr Map7 FlippedRows(const Map7& m) {
  Map7 t{};
  for (int r = 0; r < 7; ++r) t[r] = m[6 - r];
  return t;
}
constexpr Map7 FlippedColumns(const Map7& m) {
  Map7 t{};
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 7; ++c) t[r][c] = m[r][6 - c];
  return t;
}

// Symbol 4: small up and down triangles (widths 1, 3, 5) around a faint bar.
constexpr Map7 UpDownArrow() {
  Map7 m{};
  for (int k = 0; k < 3; ++k) {
    for (int c = 3 - k; c <= 3 + k; ++c) {
      const uint8_t v = (c == 3 - k || c == 3 + k) ? 128 : 255;
      m[k][c] = v;
      m[6 - k][c] = v;
    }
  }
  m[3] = {32, 64, 64, 64, 64, 64, 32};
  return m;
}

constexpr Map7 SmallDot(int cx, int cy) {
  Map7 m{};
  constexpr uint8_t block[3][3] = {{85, 204, 85}, {204, 255, 204}, {85, 204, 85}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[cy - 1 + r][cx - 1 + c] = block[r][c];
  return m;
}

constexpr Map7 Plus(bool vertical) {
  Map7 m{};
  for (int i = 1; i <= 5; ++i) {
    m[3][i] = 255;
    if (vertical) m[i][3] = 255;
  }
  return m;
}

constexpr std::array<Map7, TAppearanceManager::kButtonSymbolCount> kSymbols = {
    TriangleUp(),
    FlippedRows(TriangleUp()),
    Transposed(TriangleUp()),
    FlippedColumns(Transposed(TriangleUp())),
    UpDownArrow(),
    Transposed(UpDownArrow()),
    Map7{{{0, 32, 0, 0, 0, 32, 0},
          {32, 255, 85, 0, 85, 255, 32},
          {0, 85, 255, 128, 255, 85, 0},
          {0, 0, 128, 255, 128, 0, 0},
          {0, 85, 255, 128, 255, 85, 0},
          {32, 255, 85, 0, 85, 255, 32},
          {0, 32, 0, 0, 0, 32, 0}}},
    SmallDot(5, 3),
    SmallDot(3, 5),
    SmallDot(1, 3),
    SmallDot(3, 1),
    Plus(true),
    Plus(false),
};

constexpr Map7 kCheckMark = {{{0, 0, 0, 0, 0, 0, 128},
                              {0, 0, 0, 0, 0, 128, 255},
                              {128, 0, 0, 0, 128, 255, 128},
                              {255, 128, 0, 128, 255, 128, 0},
                              {128, 255, 128, 255, 128, 0, 0},
                              {0, 128, 255, 128, 0, 0, 0},
                              {0, 0, 128, 0, 0, 0, 0}}};

using Map9x7 = std::array<std::array<uint8_t, 9>, 7>;
constexpr std::array<Map9x7, 2> kEyes = {{
    {{{0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 51, 51, 51, 0, 0, 51, 153, 255},
      {51, 204, 255, 204, 153, 204, 255, 255, 51},
      {204, 153, 102, 128, 255, 160, 204, 102, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0, 0}}},
    {{{0, 0, 0, 51, 102, 102, 51, 0, 0},
      {0, 102, 204, 255, 255, 255, 255, 204, 0},
      {51, 204, 255, 51, 204, 255, 255, 255, 153},
      {153, 204, 255, 204, 255, 255, 255, 153, 204},
      {204, 0, 204, 255, 255, 255, 204, 0, 153},
      {51, 0, 153, 204, 255, 204, 102, 51, 0},
      {0, 0, 102, 153, 255, 204, 153, 51, 0}}},
}};

// Lays a coverage map at (x, y): each value v > 0 blends the colour bytes towards the ink with
// weight v / 255, alpha unchanged.
template <size_t W, size_t H>
void LaySymbol(TMemoryGraphic& g, int32_t x, int32_t y, const std::array<std::array<uint8_t, W>, H>& map,
               uint32_t ink) {
  for (size_t r = 0; r < H; ++r) {
    for (size_t c = 0; c < W; ++c) {
      const uint8_t v = map[r][c];
      if (v == 0) continue;
      const int32_t px = x + static_cast<int32_t>(c), py = y + static_cast<int32_t>(r);
      if (!g.Contains(px, py)) continue;
      const float weight = static_cast<float>(v / 255.0);
      uint32_t p = g.GetPixel(px, py);
      uint32_t out = p & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        out |= uint32_t{ApplyChannelOp(ChannelBlend, p >> shift & 0xFF, ink >> shift & 0xFF, weight)} << shift;
      }
      g.SetPixel(px, py, out);
    }
  }
}

// Index-map palette of the marks and caption glyphs; 0 and unknown values leave the pixel.
void SetFromIndex(TMemoryGraphic& g, int32_t x, int32_t y, int32_t index) {
  static constexpr int32_t kPalette[7] = {-1,        acWindowFrame, ac3DDkShadow,  acBtnShadow,
                                          acBtnFace, ac3DLight,     acBtnHighlight};
  if (index < 1 || index > 6) return;
  g.SetPixel(x, y, AppearanceColors[kPalette[index]]);
}

void PaintMap(TMemoryGraphic& g, const char* rows) {
  int32_t x = 0, y = 0;
  for (const char* p = rows; *p; ++p) {
    if (*p == ';') {
      ++y;
      x = 0;
    } else if (*p >= '0' && *p <= '9') {
      SetFromIndex(g, x++, y, *p - '0');
    }
  }
}

constexpr const char* kPentagon =
    "000010000;000161000;001643100;016444310;164444431;164444431;164444431;143333331;111111111";
constexpr const char* kMarkMaps[8] = {
    nullptr,
    kPentagon,
    kPentagon,
    "000010000;000161000;001643100;016444310;164444431;143333331;111111111",
    "000010000;000141000;001432100;014323210;143232321;142323221;143232321;132222221;111111111",
    "000010000;000161000;001633100;016343310;163434331;164343431;163434331;133333331;111111111",
    "000010000;000161000;001665100;016656510;166565631;165656531;166565631;153333331;111111111",
    "1111111111;1666666641;1644444431;1644444431;1644444431;1433333331;1111111111",
};
constexpr int32_t kMarkSizes[8][2] = {{11, 11}, {9, 9}, {9, 9}, {9, 7}, {9, 9}, {9, 9}, {9, 9}, {10, 7}};

struct SStateColors {
  int32_t ring, face, ink;
};
constexpr SStateColors kButtonStates[3] = {
    {acBtnShadow, acBtnFace, acWindowText},
    {acHighlight, acHighlightText, acHighlight},
    {acBtnShadow, acBtnFace, acGrayText},
};
constexpr SStateColors kListStates[3] = {
    {acBtnShadow, acWindow, acWindowText},
    {acHighlight, acHighlightText, acHighlight},
    {acBtnShadow, acBtnFace, acGrayText},
};
struct SToggleColors {
  int32_t topLeft, bottomRight, face, ink;
};
constexpr SToggleColors kToggleStates[3] = {
    {acBtnShadow, acBtnHighlight, acBtnFace, acWindowText},
    {acHighlight, acHighlight, acHighlightText, acHighlight},
    {acBtnShadow, acBtnHighlight, acBtnFace, acGrayText},
};

const TMemoryGraphic& EmptyGlyph() {
  static const TMemoryGraphic empty;
  return empty;
}

template <class Array>
const TMemoryGraphic& Pick(const Array& glyphs, int64_t index) {
  return index >= 0 && index < static_cast<int64_t>(glyphs.size()) ? glyphs[static_cast<size_t>(index)]
                                                                   : EmptyGlyph();
}

bool ValidState(int32_t state) { return state >= gsNone && state <= gsDisabled; }

std::unique_ptr<TAppearanceManager>& ManagerSlot() {
  static std::unique_ptr<TAppearanceManager> manager;
  return manager;
}

}  // namespace

std::array<uint32_t, kAppearanceColorCount> AppearanceColors = TableFrom(kClassic);

const SystemColorTable& ClassicSystemColors() { return kClassic; }

void TAppearanceManager::LoadSystemColors(const SystemColorTable& systemColors) {
  AppearanceColors = TableFrom(systemColors);
}

TAppearanceManager::TAppearanceManager(const SystemColorTable& systemColors) {
  LoadSystemColors(systemColors);
  for (int32_t i = 0; i < kMarkCount; ++i)
    marks_[i] = TMemoryGraphic(kMarkSizes[i][0], kMarkSizes[i][1], BGRAClear);
  BuildMarkGlyphs();
  for (auto& g : captions_) g = TMemoryGraphic(18, 18, BGRAClear);
  BuildCaptionGlyphs();
  for (auto& g : grips_) g = TMemoryGraphic(17, 15, AppearanceColors[acBtnFaceClear]);
  BuildGripGlyphs();
  for (auto& g : buttons_) g = TMemoryGraphic(11, 11, BGRAClear);
  BuildButtonGlyphs();
  for (auto& g : lists_) g = TMemoryGraphic(11, 11);
  BuildListGlyphs();
  for (auto& g : checks_) g = TMemoryGraphic(13, 13);
  BuildCheckGlyphs();
}

void TAppearanceManager::BuildMarkGlyphs() {
  TMemoryGraphic& ring = marks_[0];
  ring.Clear();
  // The ring's coverage into alpha only, then a white ring inside it.
  ring.FrameDot(0, 0, 11, 4, BGRABlack, {ChannelKeep, ChannelBlend});
  ring.FrameDot(1, 1, 9, 2, BGRAWhite, {ChannelBlend, ChannelKeep});
  for (int32_t i = 1; i < kMarkCount; ++i) {
    marks_[i].Clear();
    PaintMap(marks_[i], kMarkMaps[i]);
  }
}

void TAppearanceManager::BuildCaptionGlyphs() {
  for (int32_t active = 0; active < kCaptionCount; ++active) {
    TMemoryGraphic& g = captions_[active];
    g.Clear();
    // The roof: outline rising from the bottom corners to two pixels in the middle, face inside.
    for (int32_t r = 0; r < 16; ++r) {
      const int32_t left = 8 - (r + 1) / 2, right = 9 + (r + 1) / 2;
      SetFromIndex(g, left, r, 1);
      SetFromIndex(g, right, r, 1);
      for (int32_t c = left + 1; c < right; ++c) SetFromIndex(g, c, r, 4);
      if (active && right - left > 1) {
        SetFromIndex(g, left + 1, r, 6);
        SetFromIndex(g, right - 1, r, 3);
      }
    }
    for (int32_t c = 0; c < 18; ++c) {
      if (active) {
        g.SetPixel(c, 16, g.GetPixel(c, 15));
        SetFromIndex(g, c, 17, c == 0 ? 6 : 4);
      } else {
        SetFromIndex(g, c, 16, 1);
        SetFromIndex(g, c, 17, 6);
      }
    }
  }
}

void TAppearanceManager::BuildGripGlyphs() {
  for (int32_t s = 0; s < kGripCount; ++s) {
    TMemoryGraphic& g = grips_[s];
    const SStateColors& c = kButtonStates[s];
    g.SetBackground(WithAlpha(AppearanceColors[c.ring], 0));
    g.Clear();
    g.FillDot(3, 2, 11, AppearanceColors[c.ring], {ChannelCopy, ChannelBlend});
    g.FillDot(4, 3, 9, AppearanceColors[c.face], {ChannelBlend, ChannelKeep});
    LaySymbol(g, 5, 4, kSymbols[1], AppearanceColors[c.ink]);
  }
}

void TAppearanceManager::BuildButtonGlyphs() {
  for (int32_t symbol = 0; symbol < kButtonSymbolCount; ++symbol) {
    for (int32_t s = 0; s < 3; ++s) {
      TMemoryGraphic& g = buttons_[symbol * 3 + s];
      const SStateColors& c = kButtonStates[s];
      g.SetBackground(WithAlpha(AppearanceColors[c.ring], 0));
      g.Clear();
      g.FillDot(0, 0, 11, AppearanceColors[c.ring], {ChannelCopy, ChannelBlend});
      g.FillDot(1, 1, 9, AppearanceColors[c.face], {ChannelBlend, ChannelKeep});
      LaySymbol(g, 2, 2, kSymbols[symbol], AppearanceColors[c.ink]);
    }
  }
}

void TAppearanceManager::BuildListGlyphs() {
  for (int32_t kind = 0; kind < kListKindCount; ++kind) {
    for (int32_t s = 0; s < 3; ++s) {
      TMemoryGraphic& g = lists_[kind * 3 + s];
      const SStateColors& c = kListStates[s];
      g.SetBackground(WithAlpha(AppearanceColors[c.ring], 255));
      g.Clear();
      g.FrameRect({0, 0, 11, 11}, 1, AppearanceColors[c.ring], {ChannelCopy, ChannelBlend});
      g.FillRect({1, 1, 10, 10}, AppearanceColors[c.face], {ChannelBlend, ChannelKeep});
      if (kind == 1) LaySymbol(g, 2, 2, kCheckMark, AppearanceColors[c.ink]);
    }
  }
}

void TAppearanceManager::BuildCheckGlyphs() {
  for (int32_t kind = 0; kind < kCheckKindCount; ++kind) {
    for (int32_t s = 0; s < 3; ++s) {
      TMemoryGraphic& g = checks_[kind * 3 + s];
      const SToggleColors& c = kToggleStates[s];
      g.SetBackground(WithAlpha(AppearanceColors[c.face], 255));
      g.Clear();
      g.DrawBevel({0, 0, 13, 13}, 1, AppearanceColors[c.topLeft], AppearanceColors[c.bottomRight],
                  {ChannelCopy, ChannelBlend});
      g.FillRect({1, 1, 12, 12}, AppearanceColors[c.face], {ChannelBlend, ChannelKeep});
      LaySymbol(g, 2, 3, kEyes[kind], AppearanceColors[c.ink]);
    }
  }
}

const TMemoryGraphic& TAppearanceManager::GetMarkGlyph(int32_t index) const { return Pick(marks_, index); }
const TMemoryGraphic& TAppearanceManager::GetCaptionGlyph(int32_t active) const {
  return Pick(captions_, active);
}
const TMemoryGraphic& TAppearanceManager::GetGripGlyph(int32_t state) const { return Pick(grips_, state); }

const TMemoryGraphic& TAppearanceManager::GetButtonGlyph(int32_t symbol, int32_t state) const {
  if (!ValidState(state) || symbol < 0 || symbol >= kButtonSymbolCount) return EmptyGlyph();
  return buttons_[symbol * 3 + state];
}
const TMemoryGraphic& TAppearanceManager::GetListGlyph(int32_t kind, int32_t state) const {
  if (!ValidState(state) || kind < 0 || kind >= kListKindCount) return EmptyGlyph();
  return lists_[kind * 3 + state];
}
const TMemoryGraphic& TAppearanceManager::GetCheckGlyph(int32_t kind, int32_t state) const {
  if (!ValidState(state) || kind < 0 || kind >= kCheckKindCount) return EmptyGlyph();
  return checks_[kind * 3 + state];
}

TAppearanceManager& AppearanceManager() {
  auto& slot = ManagerSlot();
  if (!slot) slot = std::make_unique<TAppearanceManager>();
  return *slot;
}

TAppearanceManager& ResetAppearanceManager(const SystemColorTable& systemColors) {
  auto& slot = ManagerSlot();
  slot = std::make_unique<TAppearanceManager>(systemColors);
  return *slot;
}

}  // namespace tf
