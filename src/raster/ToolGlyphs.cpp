#include "raster/ToolGlyphs.h"

#include <memory>

#include "raster/BmpData.h"
#include "raster/FlatImage.h"

namespace tf {
namespace {

const uint8_t kPicture[] = {
#include "ToolGlyphBitmap.inc"
};
static_assert(sizeof(kPicture) == kGlyphPictureBytes, "the glyph picture keeps its exact layout");

// Paper and ink of each state.
struct Tint {
  TAppearanceColor paper;
  TAppearanceColor ink;
};
constexpr Tint kTints[kGlyphStateCount] = {
    {acWindow, acWindowText},
    {acHighlightText, acHighlight},
    {acBtnFace, acGrayText},
};

}  // namespace

const uint8_t* ToolGlyphPicture() { return kPicture; }

TtFGlyphManager::TtFGlyphManager() : TtFGlyphManager(kPicture, sizeof kPicture) {}

TtFGlyphManager::TtFGlyphManager(const uint8_t* bmp, size_t size) { Build(bmp, size); }

void TtFGlyphManager::Build(const uint8_t* bmp, size_t size) {
  const uint32_t backgrounds[kGlyphStateCount] = {AppearanceColors[acBtnFaceClear], AppearanceColors[acBtnFaceClear],
                                                  AppearanceColors[acGrayText] & 0x00FFFFFFu};
  for (int32_t i = 0; i < kGlyphTypeCount * kGlyphStateCount; ++i) {
    TMemoryGraphic& surface = surfaces_[static_cast<size_t>(i)];
    surface.SetBackground(backgrounds[i % kGlyphStateCount]);
    surface.SetSize(kGlyphSize, kGlyphSize);
  }
  TMTC picture;
  if (bmp == nullptr || !LoadBMPFromMemory(picture, bmp, static_cast<int64_t>(size)) ||
      picture.Width() != kGlyphSize || picture.Height() != kGlyphPictureHeight) {
    return;
  }
  // The tint depends on green alone: one colour per green value and state.
  uint32_t colours[kGlyphStateCount][256];
  for (int32_t s = 0; s < kGlyphStateCount; ++s) {
    const uint32_t paper = AppearanceColors[kTints[s].paper];
    const uint32_t ink = AppearanceColors[kTints[s].ink];
    for (int32_t g = 0; g < 256; ++g) {
      const float w = static_cast<float>(255 - g) / 255.0f;
      uint32_t c = 0;
      for (int32_t shift = 0; shift < 24; shift += 8) {
        const uint8_t p = static_cast<uint8_t>(paper >> shift);
        const uint8_t k = static_cast<uint8_t>(ink >> shift);
        c |= static_cast<uint32_t>(ApplyChannelOp(ChannelBlend, p, k, w)) << shift;
      }
      colours[s][g] = c;
    }
  }
  // Rows arrive in file order, the bottom row first: picture row n from the top is image row
  // height - 1 - n.
  for (int32_t n = 0; n < kGlyphPictureHeight; ++n) {
    const uint32_t* source = picture.Pixel(0, kGlyphPictureHeight - 1 - n);
    const int32_t type = n / kGlyphSize;
    const int32_t row = n % kGlyphSize;
    for (int32_t s = 0; s < kGlyphStateCount; ++s) {
      uint32_t* target = surfaces_[static_cast<size_t>(type * kGlyphStateCount + s)].ScanLine(row);
      if (target == nullptr) continue;
      for (int32_t x = 0; x < kGlyphSize; ++x) {
        const uint32_t pixel = source[x];
        const uint32_t green = (pixel >> 8) & 0xFFu;
        const uint32_t red = (pixel >> 16) & 0xFFu;
        target[x] = colours[s][green] | (red << 24);
      }
    }
  }
  pictureRead_ = true;
}

const TMemoryGraphic& TtFGlyphManager::GetGlyph(int32_t type, int32_t state) const {
  static const TMemoryGraphic empty;
  if (type < 0 || type >= kGlyphTypeCount || state < 0 || state >= kGlyphStateCount) return empty;
  return surfaces_[static_cast<size_t>(type * kGlyphStateCount + state)];
}

namespace {

std::unique_ptr<TtFGlyphManager>& ManagerSlot() {
  static std::unique_ptr<TtFGlyphManager> manager;
  return manager;
}

}  // namespace

TtFGlyphManager& GlyphManager() {
  auto& slot = ManagerSlot();
  if (!slot) {
    AppearanceManager();
    slot = std::make_unique<TtFGlyphManager>();
  }
  return *slot;
}

TtFGlyphManager& ResetGlyphManager() {
  auto& slot = ManagerSlot();
  slot = std::make_unique<TtFGlyphManager>();
  return *slot;
}

TtFGlyphType PenKindToGlyph(int32_t kind) {
  static constexpr TtFGlyphType kTable[18] = {
      tgPencil1,    tgEraser1,   tgWaterColor1, tgAirBrush1, tgBlur1,     tgBlur1,
      tgFingertip1, tgBurn1,     tgDodge1,      tgPencil4,   tgEraser4,   tgWaterColor4,
      tgAirBrush4,  tgBlur4,     tgFingertip4,  tgSpread4,   tgBurn4,     tgDodge4,
  };
  return kind >= 0 && kind < 18 ? kTable[kind] : tgPencil4;
}

TtFGlyphType ToolToGlyph(int32_t tool) {
  static constexpr TtFGlyphType kMiddle[8] = {tgFingertip4, tgSpread4, tgBlur1,  tgFingertip1,
                                              tgBurn4,      tgDodge4,  tgBurn1,  tgDodge1};
  if (tool < 0 || tool > 37) return tgPencil4;
  if (tool <= 9) return static_cast<TtFGlyphType>(tool);
  if (tool <= 17) return kMiddle[tool - 10];
  return static_cast<TtFGlyphType>(tool - 18 + tgFillRectangle);
}

}  // namespace tf
