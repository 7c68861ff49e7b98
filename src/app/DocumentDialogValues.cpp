#include "app/DocumentDialogValues.h"

#include <algorithm>
#include <cmath>

#include "app/AppProfile.h"
#include "document/BlendMode.h"
#include "filters/Convolve.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

constexpr float kMinSide = 8;
constexpr float kMaxSide = 10000;

SNumMngrProps SizeProps(float value, float min, float max) {
  SNumMngrProps p;
  p.value = value;
  p.valueMin = min;
  p.valueMax = max;
  p.wrapMin = min;
  p.wrapMax = max;
  return p;
}

// Sets range and value without the change reaching back (the caller is busy).
void Put(TNumMngr& model, float value) { model.SetValue(value); }
void Range(TNumMngr& model, float min, float max) {
  if (min > max) std::swap(min, max);
  model.SetRange(nullptr, model.Value(), min, max);
}

// Unit limits of a side: percent takes the pixel limits as percentages of the side.
SUnitLimits SideLimits(uint8_t unit, float r, int32_t current) {
  if (unit == luPercent) {
    const long double c = std::max(current, 1);
    return {static_cast<float>(kMinSide / c * 100), static_cast<float>(kMaxSide / c * 100)};
  }
  return GetSizeLimits(unit, r);
}

}  // namespace

uint8_t UnitOfListIndex(int32_t index) { return index >= 0 && index < 4 ? kUnitListUnits[index] : luPercent; }

int32_t TruncHalfUp(long double v) { return static_cast<int32_t>(std::trunc(v + 0.5L)); }
float OpacityToPercent(int32_t opacity) { return static_cast<float>(opacity * 100.0L / 255); }
int32_t PercentToOpacity(float percent) { return TruncHalfUp(static_cast<long double>(percent) * 2.55L); }

float SidePixels(const SSizeSide& side, float resolution) {
  return ConvertUnit(side.unit, luPixel, side.size, resolution);
}

float SideInUnit(const SSizeSide& side, uint8_t unit, float resolution) {
  if (unit == luPercent) return static_cast<float>(SidePixels(side, resolution) * 100.0L / std::max(side.current, 1));
  return ConvertUnit(side.unit, unit, side.size, resolution);
}

// ---- Image size -----------------------------------------------------------------------------

CImageSizeCore::CImageSizeCore() {
  NumWidth.Load(SizeProps(100, 0, 1.0e6f));
  NumHeight.Load(SizeProps(100, 0, 1.0e6f));
  NumPixelW.Load(SizeProps(8, kMinSide, kMaxSide));
  NumPixelH.Load(SizeProps(8, kMinSide, kMaxSide));
}

void CImageSizeCore::Wire() {
  NumWidth.OnChange = [this](TNumMngr*) { ParamChange(sNumWidth); };
  NumHeight.OnChange = [this](TNumMngr*) { ParamChange(sNumHeight); };
  NumPixelW.OnChange = [this](TNumMngr*) { ParamChange(sNumPixelW); };
  NumPixelH.OnChange = [this](TNumMngr*) { ParamChange(sNumPixelH); };
}

void CImageSizeCore::Seed(int32_t width, int32_t height, int32_t resolution) {
  w_ = {width, static_cast<float>(width), luPixel};
  h_ = {height, static_cast<float>(height), luPixel};
  resolution_ = static_cast<float>(resolution);
  NumPixelW.SetValue(static_cast<float>(width));
  NumPixelH.SetValue(static_cast<float>(height));
}


void CImageSizeCore::ParamChange(Sender sender) {
  if (busy_) return;
  busy_ = true;
  const uint8_t u = UnitOfListIndex(unitIndexW), v = UnitOfListIndex(unitIndexH);
  const float r = resolution_;
  float pw = 0, ph = 0, qw = 0, qh = 0;
  if (relation) {
    pw = static_cast<float>(w_.current);
    ph = static_cast<float>(h_.current);
    qw = u == luPercent ? 100 : ConvertUnit(luPixel, u, pw, r);
    qh = v == luPercent ? 100 : ConvertUnit(luPixel, v, ph, r);
  }
  Range(NumPixelW, kMinSide - pw, kMaxSide - pw);
  Range(NumPixelH, kMinSide - ph, kMaxSide - ph);
  const SUnitLimits lw = SideLimits(u, r, w_.current), lh = SideLimits(v, r, h_.current);
  Range(NumWidth, lw.min - qw, lw.max - qw);
  Range(NumHeight, lh.min - qh, lh.max - qh);
  auto refreshW = [&] { Put(NumWidth, SideInUnit(w_, u, resolution_) - qw); };
  auto refreshH = [&] { Put(NumHeight, SideInUnit(h_, v, resolution_) - qh); };
  auto takeUnit = [&](SSizeSide& side, TNumMngr& unitModel, uint8_t unit, float q) {
    const long double value = static_cast<long double>(unitModel.Value()) + q;
    if (unit == luPercent) {
      side.size = static_cast<float>(value * side.current / 100);
      side.unit = luPixel;
    } else {
      side.size = static_cast<float>(value);
      side.unit = unit;
    }
  };
  switch (sender) {
    case sCmbWidth: refreshW(); break;
    case sCmbHeight: refreshH(); break;
    case sNumPixelW:
      w_.size = NumPixelW.Value() + pw;
      w_.unit = luPixel;
      refreshW();
      break;
    case sNumPixelH:
      h_.size = NumPixelH.Value() + ph;
      h_.unit = luPixel;
      refreshH();
      break;
    case sNumWidth:
      takeUnit(w_, NumWidth, u, qw);
      Put(NumPixelW, SidePixels(w_, resolution_) - pw);
      break;
    case sNumHeight:
      takeUnit(h_, NumHeight, v, qh);
      Put(NumPixelH, SidePixels(h_, resolution_) - ph);
      break;
    case sChkRelation:
      Put(NumPixelW, SidePixels(w_, resolution_) - pw);
      Put(NumPixelH, SidePixels(h_, resolution_) - ph);
      refreshW();
      refreshH();
      break;
    default: break;
  }
  busy_ = false;
}

std::string CImageSizeCore::SizeText() const {
  return TxFormat(TextId::DocSizeFormat, w_.current, Tx(TextId::DocTimes), h_.current);
}
std::string CImageSizeCore::PixelCaption() const {
  return TxFormat(TextId::DocPixelGroupFormat, static_cast<double>(SidePixels(w_, resolution_)), static_cast<double>(SidePixels(h_, resolution_)));
}
int32_t CImageSizeCore::ResultWidth() const { return TruncHalfUp(SidePixels(w_, resolution_)); }
int32_t CImageSizeCore::ResultHeight() const { return TruncHalfUp(SidePixels(h_, resolution_)); }

// ---- Resolution -----------------------------------------------------------------------------

CResolutionCore::CResolutionCore() {
  NumWidth.Load(SizeProps(100, 0, 1.0e6f));
  NumHeight.Load(SizeProps(100, 0, 1.0e6f));
  NumPixelW.Load(SizeProps(8, kMinSide, kMaxSide));
  NumPixelH.Load(SizeProps(8, kMinSide, kMaxSide));
  SNumMngrProps r = SizeProps(72, 72, 600);
  r.valueDefault = 72;
  NumResolution.Load(r);
}

void CResolutionCore::Wire() {
  NumWidth.OnChange = [this](TNumMngr*) { ParamChange(sNumWidth); };
  NumHeight.OnChange = [this](TNumMngr*) { ParamChange(sNumHeight); };
  NumPixelW.OnChange = [this](TNumMngr*) { ParamChange(sNumPixelW); };
  NumPixelH.OnChange = [this](TNumMngr*) { ParamChange(sNumPixelH); };
  NumResolution.OnChange = [this](TNumMngr*) { ParamChange(sNumResolution); };
}

void CResolutionCore::Seed(int32_t width, int32_t height, int32_t resolution) {
  w_ = {width, static_cast<float>(width), luPixel};
  h_ = {height, static_cast<float>(height), luPixel};
  NumResolution.SetValue(static_cast<float>(resolution));
  NumPixelW.SetValue(static_cast<float>(width));
  NumPixelH.SetValue(static_cast<float>(height));
}

int32_t CResolutionCore::Resolution() const { return TruncHalfUp(NumResolution.Value()); }


void CResolutionCore::ParamChange(Sender sender) {
  if (busy_) return;
  busy_ = true;
  const float r = static_cast<float>(Resolution());
  const uint8_t u = UnitOfListIndex(unitIndexW), v = UnitOfListIndex(unitIndexH);
  const SUnitLimits lw = SideLimits(u, r, w_.current), lh = SideLimits(v, r, h_.current);
  const long double W0 = std::max(w_.current, 1), H0 = std::max(h_.current, 1);
  if (constraint) {
    Range(NumWidth, static_cast<float>(std::max<long double>(lw.min * W0 / H0, lw.min)),
          static_cast<float>(std::min<long double>(lw.max, lw.max * W0 / H0)));
    Range(NumHeight, static_cast<float>(std::max<long double>(lh.min * H0 / W0, lh.min)),
          static_cast<float>(std::min<long double>(lh.max, lh.max * H0 / W0)));
    Range(NumPixelW, static_cast<float>(std::max<long double>(kMinSide * W0 / H0, kMinSide)),
          static_cast<float>(std::min<long double>(kMaxSide, kMaxSide * W0 / H0)));
    Range(NumPixelH, static_cast<float>(std::max<long double>(kMinSide * H0 / W0, kMinSide)),
          static_cast<float>(std::min<long double>(kMaxSide, kMaxSide * H0 / W0)));
  } else {
    Range(NumWidth, lw.min, lw.max);
    Range(NumHeight, lh.min, lh.max);
    Range(NumPixelW, kMinSide, kMaxSide);
    Range(NumPixelH, kMinSide, kMaxSide);
  }
  auto takeUnit = [&](SSizeSide& side, const TNumMngr& model, uint8_t unit) {
    if (unit == luPercent) {
      side.size = static_cast<float>(static_cast<long double>(model.Value()) * side.current / 100);
      side.unit = luPixel;
    } else {
      side.size = model.Value();
      side.unit = unit;
    }
  };
  bool widthLeads = false, heightLeads = false;
  switch (sender) {
    case sCmbWidth: Put(NumWidth, SideInUnit(w_, u, r)); break;
    case sCmbHeight: Put(NumHeight, SideInUnit(h_, v, r)); break;
    case sNumPixelW:
      w_ = {w_.current, NumPixelW.Value(), luPixel};
      Put(NumWidth, SideInUnit(w_, u, r));
      widthLeads = true;
      break;
    case sNumWidth:
      takeUnit(w_, NumWidth, u);
      Put(NumPixelW, SidePixels(w_, r));
      widthLeads = true;
      break;
    case sNumPixelH:
      h_ = {h_.current, NumPixelH.Value(), luPixel};
      Put(NumHeight, SideInUnit(h_, v, r));
      heightLeads = true;
      break;
    case sNumHeight:
      takeUnit(h_, NumHeight, v);
      Put(NumPixelH, SidePixels(h_, r));
      heightLeads = true;
      break;
    case sNumResolution:
      // The physical size is kept: the unit field's value stays, the pixels follow.
      if (u != luPercent) {
        w_ = {w_.current, NumWidth.Value(), u};
        Put(NumPixelW, SidePixels(w_, r));
      }
      if (v != luPercent) {
        h_ = {h_.current, NumHeight.Value(), v};
        Put(NumPixelH, SidePixels(h_, r));
      }
      widthLeads = v == luPercent;
      heightLeads = !widthLeads && u == luPercent;
      break;
    default: break;
  }
  if (constraint && widthLeads) {
    h_.size = static_cast<float>(H0 * w_.size / W0);
    h_.unit = w_.unit;
    Put(NumPixelH, SidePixels(h_, r));
    Put(NumHeight, v == luPercent ? static_cast<float>(NumPixelH.Value() * 100.0L / H0) : SideInUnit(h_, v, r));
  } else if (constraint && heightLeads) {
    w_.size = static_cast<float>(W0 * h_.size / H0);
    w_.unit = h_.unit;
    Put(NumPixelW, SidePixels(w_, r));
    Put(NumWidth, u == luPercent ? static_cast<float>(NumPixelW.Value() * 100.0L / W0) : SideInUnit(w_, u, r));
  }
  busy_ = false;
}

std::string CResolutionCore::SizeText() const {
  return TxFormat(TextId::DocSizeFormat, w_.current, Tx(TextId::DocTimes), h_.current);
}
std::string CResolutionCore::PixelCaption() const {
  const float r = static_cast<float>(Resolution());
  return TxFormat(TextId::DocPixelGroupFormat, static_cast<double>(SidePixels(w_, r)), static_cast<double>(SidePixels(h_, r)));
}
int32_t CResolutionCore::ResultWidth() const { return TruncHalfUp(SidePixels(w_, static_cast<float>(Resolution()))); }
int32_t CResolutionCore::ResultHeight() const { return TruncHalfUp(SidePixels(h_, static_cast<float>(Resolution()))); }

// ---- JPEG -----------------------------------------------------------------------------------

int32_t JpegPresetQuality(const CAppProfile& profile, int32_t index) {
  switch (index) {
    case 0: return profile.jpegQVHigh;
    case 2: return profile.jpegQStd;
    case 3: return profile.jpegQLow;
    default: return profile.jpegQHigh;
  }
}

int32_t JpegPresetOfQuality(const CAppProfile& profile, float quality) {
  const long double c = 2.0L * quality;
  if (c >= profile.jpegQVHigh + profile.jpegQHigh) return 0;
  if (c >= profile.jpegQHigh + profile.jpegQStd) return 1;
  if (c >= profile.jpegQStd + profile.jpegQLow) return 2;
  return 3;
}

float JpegTrackIn(float p) { return static_cast<float>(5.0L * p / (13 - 8.0L * p)); }
float JpegTrackOut(float p) { return static_cast<float>(13.0L * p / (8.0L * p + 5)); }

CJpegOptionCore::CJpegOptionCore(const CAppProfile& profile) : profile_(profile) {
  SNumMngrProps q = SizeProps(75, 10, 100);
  q.valueDefault = 75;
  NumQ.Load(q);
  NumS.Load(SizeProps(0, 0, 100));
  NumQ.OnChange = [this](TNumMngr*) { ValueChange(sNumQ); };
  NumS.OnChange = [this](TNumMngr*) { ValueChange(sNumS); };
}

void CJpegOptionCore::Seed() {
  busy_ = true;
  if (profile_.jpegQType >= 0 && profile_.jpegQType <= 3) {
    presetIndex = profile_.jpegQType;
    NumQ.SetValue(static_cast<float>(JpegPresetQuality(profile_, presetIndex)));
  } else {
    NumQ.SetValue(static_cast<float>(profile_.jpegQuality));
    presetIndex = JpegPresetOfQuality(profile_, NumQ.Value());
  }
  NumS.SetValue(static_cast<float>(profile_.jpegValSmooth));
  progressive = profile_.jpegUseProgressive;
  trackQ = NumQ.GetPosition();
  trackS = NumS.GetPosition();
  Fill();
  busy_ = false;
}

void CJpegOptionCore::ValueChange(Sender sender, float trackPosition) {
  if (busy_) return;
  busy_ = true;
  switch (sender) {
    case sCmbC:
      NumQ.SetValue(static_cast<float>(JpegPresetQuality(profile_, presetIndex)));
      trackQ = NumQ.GetPosition();
      break;
    case sNumQ:
      presetIndex = JpegPresetOfQuality(profile_, NumQ.Value());
      trackQ = NumQ.GetPosition();
      break;
    case sTrackQ:
      NumQ.SetPosition(trackPosition);
      presetIndex = JpegPresetOfQuality(profile_, NumQ.Value());
      trackQ = trackPosition;
      break;
    case sNumS: trackS = NumS.GetPosition(); break;
    case sTrackS:
      NumS.SetPosition(trackPosition);
      trackS = trackPosition;
      break;
    case sChkG:
    case sChkP: break;
    default: busy_ = false; return;
  }
  Fill();
  busy_ = false;
}

void CJpegOptionCore::Fill() {
  value.qualityChoice =
      NumQ.Value() != static_cast<float>(JpegPresetQuality(profile_, presetIndex)) ? 4 : presetIndex;
  value.quality = TruncHalfUp(NumQ.Value());
  value.smoothing = TruncHalfUp(NumS.Value());
  value.grayscale = grayscale;
  value.progressive = progressive;
}

void CJpegOptionCore::WriteSettings(CAppProfile& profile) const {
  profile.jpegQType = value.qualityChoice;
  profile.jpegQuality = value.quality;
  profile.jpegValSmooth = value.smoothing;
  profile.jpegUseSmooth = value.smoothing > 0;
  profile.jpegUseProgressive = value.progressive;
}

// ---- New layer ------------------------------------------------------------------------------

namespace {
const TextId kColourNames[3] = {TextId::DocColourWhite, TextId::DocColourBlack, TextId::DocColourGrey};
}

CNewLayerCore::CNewLayerCore() : lastEntry_(3) {
  for (int i = 0; i < 3; ++i) colourItems[i] = Tx(kColourNames[i]);
  SNumMngrProps o = SizeProps(100, 0, 100);
  o.valueDefault = 100;
  NumOpaque.Load(o);
}

void CNewLayerCore::ModeChange(int32_t index) {
  modeIndex = index;
  const uint8_t mode = BlendModeToLayerMode(static_cast<uint32_t>(index));
  const SLayerParam* entry = GetBlendModeEntry(mode);
  if (entry == nullptr) return;
  if (static_cast<uint32_t>(entry->id) != lastEntry_) {
    for (int i = 0; i < 3; ++i) colourItems[i] = Tx(kColourNames[i]);
    lastEntry_ = static_cast<uint32_t>(entry->id);
  }
  if ((entry->flags & kModeFlagNeutralFill) != 0) {
    const uint32_t c = entry->neutralColor & 0xFFFFFF;
    const int item = c == 0 ? 1 : c == 0xFFFFFF ? 0 : 2;
    colourItems[item] = TxFormat(TextId::DocNeutralItemFormat, Tx(kColourNames[item]), Tx(TextId::DocNeutralColour));
    colourIndex = item;
  } else {
    colourIndex = 0;
  }
}

TNewLayerValue CNewLayerCore::Result(const std::string& name) const {
  static constexpr uint32_t kColours[3] = {0xFFFFFF, 0x000000, 0x7F7F7F};
  TNewLayerValue v;
  v.name = name;
  v.blendMode = BlendModeToLayerMode(static_cast<uint32_t>(modeIndex));
  v.opacity = PercentToOpacity(NumOpaque.Value());
  v.color = kColours[std::clamp(colourIndex, 0, 2)] | (transparent ? 0u : 0xFF000000u);
  return v;
}

// ---- Layer and mask options -------------------------------------------------------------------

void SeedPositionModel(TNumMngr& model, int32_t storeSide, int32_t value) {
  const int32_t a = std::min(storeSide, 10000 - storeSide);
  const float lo = static_cast<float>(std::min(-a, value)), hi = static_cast<float>(std::max(a, value));
  model.Load(SizeProps(static_cast<float>(value), lo, hi));
}

bool CropOffered(int32_t storeW, int32_t storeH, int32_t canvasW, int32_t canvasH) {
  return canvasW < storeW || canvasH < storeH;
}

namespace {

constexpr SChannelOps kCopyOps{ChannelCopy, ChannelCopy};
constexpr SChannelOps kBlendOps{ChannelBlend, ChannelKeep};

struct SPreviewPlace {
  int32_t left, top, width, height;
  long double scale;
};

// The picture of w x h in a square of side, centred, 2 pixels in from the box edge.
SPreviewPlace PlaceInSquare(int32_t side, int32_t w, int32_t h) {
  const int32_t longSide = std::max(w, h), shortSide = std::min(w, h);
  const int32_t scaledShort = std::max(1, TruncHalfUp(static_cast<long double>(shortSide) * side / longSide));
  SPreviewPlace p;
  p.width = w >= h ? side : scaledShort;
  p.height = w >= h ? scaledShort : side;
  p.left = 2 + (side - p.width) / 2;
  p.top = 2 + (side - p.height) / 2;
  p.scale = static_cast<long double>(side) / longSide;
  return p;
}

void FramePicture(TMemoryGraphic& box, const SPreviewPlace& p) {
  box.FrameRect({p.left - 1, p.top - 1, p.left + p.width + 1, p.top + p.height + 1}, 1,
                AppearanceColors[acBtnShadow], kCopyOps);
  box.FrameRect({p.left - 2, p.top - 2, p.left + p.width + 2, p.top + p.height + 2}, 1,
                AppearanceColors[acBtnHighlight], kCopyOps);
}

void OutlineCanvas(TMemoryGraphic& box, const SPreviewPlace& p, int32_t x, int32_t y, int32_t cw, int32_t ch) {
  auto edge = [&](int32_t v) { return static_cast<int32_t>(std::nearbyint(static_cast<double>(v * p.scale))); };
  const TRect r{p.left + edge(x), p.top + edge(y), p.left + edge(x + cw), p.top + edge(y + ch)};
  if (r.right - r.left >= 1 && r.bottom - r.top >= 1) box.FrameRect(r, 1, AppearanceColors[acHighlight], kBlendOps);
}

bool StartBox(TMemoryGraphic& box) {
  if (box.Width() < 8 || box.Height() < 8) return false;
  box.SetBackground(AppearanceColors[acBtnFace]);
  box.Clear();
  return true;
}

}  // namespace

bool DrawLayerPreview(TMemoryGraphic& box, const CBlockVMTC& store, int32_t x, int32_t y, int32_t canvasW,
                      int32_t canvasH) {
  const int32_t sw = store.Width(), sh = store.Height();
  if (sw < 1 || sh < 1 || !StartBox(box)) return false;
  const SPreviewPlace p = PlaceInSquare(box.Width() - 4, sw, sh);
  TMTC scaled;
  if (!scaled.Resize(p.width, p.height)) return false;
  store.DrawScaledTo(scaled, 0, 0, p.width, p.height, 0, 0, sw, sh);
  const TRect picture{p.left, p.top, p.left + p.width, p.top + p.height};
  box.FillChecker(picture, 4, 4, 0xFFFFFFFFu, 0xFFCCCCCCu, kCopyOps);
  box.DrawBits(p.left, p.top, p.width, p.height, reinterpret_cast<const uint32_t*>(scaled.Bits()), 0, 0, p.width,
               p.height, kBlendOps);
  FramePicture(box, p);
  OutlineCanvas(box, p, x, y, canvasW, canvasH);
  return true;
}

bool DrawMaskPreview(TMemoryGraphic& box, const CBlockVCH* store, int32_t x, int32_t y, int32_t canvasW,
                     int32_t canvasH) {
  if (store == nullptr) {
    if (canvasW < 1 || canvasH < 1 || !StartBox(box)) return false;
    // Only the canvas: scaled into the box's full width, centred, framed and filled.
    const int32_t side = box.Width();
    SPreviewPlace p = PlaceInSquare(side - 4, canvasW, canvasH);
    const TRect r{p.left, p.top, p.left + p.width, p.top + p.height};
    box.FillRect(r, AppearanceColors[acWindow], kCopyOps);
    FramePicture(box, p);
    return true;
  }
  const int32_t sw = store->Width(), sh = store->Height();
  if (sw < 1 || sh < 1 || !StartBox(box)) return false;
  const SPreviewPlace p = PlaceInSquare(box.Width() - 4, sw, sh);
  TMTC scaled;
  if (!scaled.Resize(p.width, p.height)) return false;
  if (!store->DrawScaledTo(scaled, 0, 0, p.width, p.height, 0, 0, sw, sh)) return false;
  box.CopyBits(p.left, p.top, p.width, p.height, reinterpret_cast<const uint32_t*>(scaled.Bits()), 0, 0, p.width,
               p.height);
  FramePicture(box, p);
  OutlineCanvas(box, p, x, y, canvasW, canvasH);
  return true;
}

}  // namespace tf
