// The dab renderer: settings, sizes, dab set-up and the plain paint and coverage dabs.
#include "paint/PenRender.h"

#include <cmath>
#include <cstring>

#include "paint/NibPreset.h"
#include "paint/PenRenderWalk.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "platform/Debug.h"
#include "raster/FlatImage.h"
#include "raster/SafeConvert.h"

namespace tf {

CPenRender::CPenRender(TStroke* stroke)
    : stroke_(stroke),
      gradeMap_(std::make_unique<CGradeMapObj>(kFalloffEntries)),
      shape_(std::make_unique<CPenShape>(gradeMap_.get())) {
  nibShape_.Init(10);
  NibFlagWord::Clear(nibFlag_);
  shape_->SetAntialias(true);
  shape_->SetUseFalloff(true);
  shape_->SetUseLookup(true);
}

CPenRender::~CPenRender() = default;

TStroke* CPenRender::SetStroke(TStroke* stroke) {
  TStroke* old = stroke_;
  stroke_ = stroke;
  return old;
}

PaintDocument* CPenRender::SetPaper(PaintDocument* paper) {
  PaintDocument* old = paper_;
  paper_ = paper;
  return old;
}

bool CPenRender::Fail(const char* what) {
  failed_ = true;
  DebugOutF("%s (%s): %s\n", kPenAssertionText, kPenAssertionSource, what);
  return false;
}

bool CPenRender::TakeFailure() {
  const bool was = failed_;
  failed_ = false;
  return was;
}

// ---------------------------------------------------------------------------------------------
// Settings

void CPenRender::GetPenParams(SPenParam& record) const { record = params_; }
void CPenRender::GetGradeMap(SGradeMap& record) const { record = gradeMap_->Profile(); }
void CPenRender::GetColor(uint32_t pair[2]) const {
  pair[0] = colours_[0];
  pair[1] = colours_[1];
}
void CPenRender::GetNibShape(SNibShape& record) const { record = nibShape_; }
void CPenRender::GetNibFlag(uint32_t& word) const { word = nibFlag_; }

bool CPenRender::SetNibShape(const SNibShape& record) {
  if (nibShape_.Equal(record)) return false;
  nibShape_ = record;
  return true;
}

bool CPenRender::SetNibFlag(uint32_t word) {
  if (NibFlagWord::Equal(nibFlag_, word)) return false;
  nibFlag_ = word;
  return true;
}

bool CPenRender::SetGradeMap(const SGradeMap& profile) {
  if (!gradeMap_->SetProfile(profile)) return false;
  shape_->Update();
  return true;
}

void CPenRender::SetPenShape(CPenShapeObj* preset, bool copyShape, bool copyFlag, bool copyProfile) {
  if (preset != nullptr && preset->IsBitmapNib()) {
    imageNib_ = preset;
    imageNibFlag_ = 1;
    shape_->SetImageNib(preset, true);
  } else {
    imageNib_ = nullptr;
    imageNibFlag_ = 0;
    imageNibScale_ = 0;
  }
  if (preset == nullptr) return;
  if (copyShape) SetNibShape(preset->Shape());
  if (copyFlag) SetNibFlag(preset->Flag());
  if (copyProfile) SetGradeMap(preset->Profile());
}

namespace {

// A byte field: 255 or a negative argument leaves it; true when it changed.
bool SetByteField(uint8_t& field, int32_t value) {
  if (value < 0 || value == 255) return false;
  const uint8_t stored = static_cast<uint8_t>(value);
  if (field == stored) return false;
  field = stored;
  return true;
}

}  // namespace

bool CPenRender::SetPenHeader(int32_t type, int32_t option2, int32_t channel, int32_t option1) {
  bool changed = SetByteField(params_.type, type);
  changed |= SetByteField(params_.option2, option2);
  if (channel >= 0 && channel != 255) changed |= SetByteField(params_.channel, channel != 0 ? 1 : 0);
  changed |= SetByteField(params_.option1, option1);
  return changed;
}

bool CPenRender::SetPenValues(const SPenParam& record, uint32_t mask) {
  auto* own = reinterpret_cast<uint8_t*>(&params_);
  const auto* given = reinterpret_cast<const uint8_t*>(&record);
  bool changed = false;
  for (int32_t slot = 0; slot < 3; ++slot) {
    if ((mask & (1u << slot)) == 0) continue;
    const size_t offset = 4 + 4 * static_cast<size_t>(slot);
    if (std::memcmp(own + offset, given + offset, 4) != 0) {
      std::memcpy(own + offset, given + offset, 4);
      changed = true;
    }
  }
  return changed;
}

bool CPenRender::SetPenParams(const SPenParam& record, uint32_t mask) {
  const bool header = SetPenHeader(record.type, record.option2, record.channel, record.option1);
  const bool values = SetPenValues(record, mask);
  return header || values;
}

bool CPenRender::LoadColors() {
  if (stroke_ == nullptr) return Fail("LoadColors without a stroke");
  colours_[0] = stroke_->GetColor();
  colours_[1] = stroke_->GetBackColor();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Sizes

float CPenRender::GetNibSize() const {
  if (imageNibFlag_ != 0) return static_cast<float>(imageNibScale_);
  return nibShape_.GetSize();
}

float CPenRender::GetMinSize(float size) const {
  if (imageNibFlag_ != 0 && imageNib_ != nullptr) {
    const int64_t low = imageNib_->GetScaleMin();
    const int64_t value = low + int64_t{nibShape_.GetMinPercent()} * (int64_t{imageNibScale_} - low) / 100;
    return static_cast<float>(value);
  }
  return nibShape_.GetMinRatio() * size;
}

float CPenRender::GetSpacingPixels(float spacing, float size) const {
  if (imageNibFlag_ != 0 && imageNib_ != nullptr) {
    return static_cast<float>(imageNib_->GetLongSide()) * static_cast<float>(imageNibScale_) * 0.01f * spacing;
  }
  return spacing * size;
}

void CPenRender::GetDabExtent(float size, int32_t& hx, int32_t& hy) const {
  if (imageNibFlag_ != 0 && imageNib_ != nullptr && imageNib_->Image() != nullptr) {
    const TChannel& image = *imageNib_->Image();
    hx = CeilSaturated(static_cast<float>(image.Width()) * size * 0.005f);
    hy = CeilSaturated(static_cast<float>(image.Height()) * size * 0.005f);
    return;
  }
  hx = hy = CeilSaturated(size);
}

// ---------------------------------------------------------------------------------------------
// Dab set-up

bool CPenRender::SetupDab(int32_t width, int32_t height, const SDabPoint& dab, uint32_t value, float rx,
                          float ry) {
  if (!(dab.opacity > 0.0f)) return false;
  // A position or radius that is not a number draws nothing.
  if (!std::isfinite(dab.x) || !std::isfinite(dab.y) || std::isnan(rx) || std::isnan(ry)) return false;
  rx = std::max(0.1f, rx);
  ry = std::max(0.1f, ry);
  dabX_ = dab.x;
  dabY_ = dab.y;
  centreX_ = SingleToFix(dab.x);
  centreY_ = SingleToFix(dab.y);
  radiusX_ = SingleToFix(rx);
  radiusY_ = SingleToFix(ry);
  opacity_ = SingleToFix(dab.opacity);
  value_ = value;
  const int64_t left = (int64_t{centreX_} - radiusX_) >> 16;
  const int64_t top = (int64_t{centreY_} - radiusY_) >> 16;
  const int64_t right = (int64_t{centreX_} + radiusX_ + 0xFFFF) >> 16;
  const int64_t bottom = (int64_t{centreY_} + radiusY_ + 0xFFFF) >> 16;
  const int64_t clippedLeft = std::max<int64_t>(left, 0), clippedTop = std::max<int64_t>(top, 0);
  const int64_t clippedRight = std::min<int64_t>(right, width), clippedBottom = std::min<int64_t>(bottom, height);
  bounds_ = {static_cast<int32_t>(clippedLeft), static_cast<int32_t>(clippedTop),
             static_cast<int32_t>(std::max(clippedRight, clippedLeft)),
             static_cast<int32_t>(std::max(clippedBottom, clippedTop))};
  clipX_ = static_cast<int32_t>(clippedLeft - left);
  clipY_ = static_cast<int32_t>(clippedTop - top);
  return clippedRight > clippedLeft && clippedBottom > clippedTop;
}

bool CPenRender::PrepareNib() {
  const int32_t aspect = nibShape_.GetAspectPercent();
  const int32_t angle = nibShape_.GetAngleInt();
  const bool exact = params_.option2 != 0;
  // The walk reads the footprint at the pixels of the dab's bounds only.
  const SSampleWindow window{centreX_, centreY_, bounds_};
  bool ok;
  if (aspect == 100) {
    ok = exact ? shape_->SetExactCircle(centreX_, centreY_, minorAxis_, radiusX_)
               : shape_->SetCircle(radiusX_, &window);
  } else {
    ok = exact ? shape_->SetExactEllipse(centreX_, centreY_, minorAxis_, -angle, aspect, radiusX_)
               : shape_->SetEllipse(radiusX_, aspect, -angle, &window);
  }
  return ok ? true : Fail("the nib could not be prepared");
}

bool CPenRender::PrepareDab(float size) {
  if (imageNibFlag_ == 0 || imageNib_ == nullptr) return PrepareNib();
  const double scale = std::trunc(static_cast<double>(size) + 0.5);
  if (scale >= imageNib_->GetScaleMin() && scale <= imageNib_->GetScaleMax()) {
    imageNib_->SetScale(static_cast<int32_t>(scale));
  }
  return shape_->SetImageNib(imageNib_, false) ? true : Fail("the image nib could not be prepared");
}

bool CPenRender::SetupAndPrepare(int32_t width, int32_t height, const SDabPoint& dab, uint32_t value,
                                 float size) {
  if (imageNibFlag_ != 0 && imageNib_ != nullptr) {
    if (!PrepareDab(size)) return false;
    return SetupDab(width, height, dab, value, FixToSingle(shape_->HalfWidth()),
                    FixToSingle(shape_->HalfHeight()));
  }
  if (!SetupDab(width, height, dab, value, size, size)) return false;
  shape_->SetExactLimit(width, height);
  return PrepareDab(size);
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool CPenRender::StartDab(TMTC& image, float x, float y, float /*pressure*/) {
  imageNibScale_ = (imageNibFlag_ != 0 && imageNib_ != nullptr) ? imageNib_->GetScalePercent() : 0;
  switch (params_.type) {
    case kRenderWatercolour: WatercolourStart(image, x, y); break;
    case kRenderBlur: BlurStart(); break;
    case kRenderSpread:
    case kRenderFingertip: SmudgeStart(image, x, y); break;
    case kRenderBurnDodge: BurnDodgeStart(); break;
    default: break;
  }
  return !failed_;
}

bool CPenRender::DabToImage(TMTC& image, const SDabPoint& dab, uint32_t colour, float size) {
  if (!image.IsValid()) return false;
  if (!SetupAndPrepare(image.Width(), image.Height(), dab, colour, size)) return false;
  return RunImageDab(image);
}

bool CPenRender::RunImageDab(TMTC& image) {
  switch (params_.type) {
    case kRenderPaint: return PaintDabImage(image);
    case kRenderWatercolour: return WatercolourDab(image);
    case kRenderBlur: return BlurDab(image);
    case kRenderEraser: return EraserDab(image);
    case kRenderSpread: return SpreadDab(image);
    case kRenderFingertip: return FingertipDab(image);
    case kRenderBurnDodge: return BurnDodgeDab(image);
    default: DebugOutF("CPenRender::DabToImage: unknown render type %d, no dab\n", params_.type); return false;
  }
}

bool CPenRender::PaintDabImage(TMTC& image) {
  const SDibView& view = image.View();
  const uint32_t colour = value_;
  // The plain first stage with a writer that leaves a pixel alone at value 0: the dense walk.
  if (GetImageStage1() == &ImageValuePlain && opacity_ <= 0x10000) {
    const PixelOp op = GetColourWriter();
    if (op == &PixelPaintOver) {
      WalkRowsDense<uint32_t>(view, [colour](uint32_t* p, int32_t v) { PixelPaintOver(p, colour, v); });
      return true;
    }
    if (op == &BlendColor) {
      WalkRowsDense<uint32_t>(view, [colour](uint32_t* p, int32_t v) { BlendColor(p, colour, v); });
      return true;
    }
  }
  WithImageWriter([&](auto write) {
    WalkDab([&](int32_t x, int32_t y, int32_t value) { write(PixelAddr32(view, x, y), x, y, value, colour); });
  });
  return true;
}

bool CPenRender::PaintDabChannel(TChannel& channel) {
  const SDibView& view = channel.View();
  const auto extra = static_cast<int32_t>(value_);
  if (GetChannelStage1() == &ChannelValuePlain && GetChannelStage2() == &ChannelWriteMax && opacity_ <= 0x10000) {
    WalkRowsDense<uint8_t>(view, [extra](uint8_t* p, int32_t v) { ChannelWriteMax(p, extra, v); });
    return true;
  }
  WithChannelWriter([&](auto write) {
    WalkDab([&](int32_t x, int32_t y, int32_t value) { write(PixelAddr8(view, x, y), x, y, value, extra); });
  });
  return true;
}

bool CPenRender::DabToChannelOnce(TChannel& channel, const SDabPoint& dab, int32_t value, float size) {
  if (!SetupAndPrepare(channel.Width(), channel.Height(), dab, static_cast<uint32_t>(value), size)) return false;
  return PaintDabChannel(channel);
}

bool CPenRender::DabToChannel(TChannel& channel, const SDabPoint& dab, int32_t value, float size) {
  if (!channel.IsValid()) return false;
  return DabToChannelPasses(channel, dab, value, size);
}

bool CPenRender::DabToChannelPasses(TChannel& channel, const SDabPoint& dab, int32_t value, float size) {
  // Coverage dabs always place the nib at its sub-pixel position.
  const uint8_t option2 = params_.option2;
  params_.option2 = 1;
  bool drawn;
  if (size >= 0.5f && size < 3.0f) {
    minorAxis_ = true;
    drawn = DabToChannelOnce(channel, dab, value, size);
    minorAxis_ = false;
    if (!failed_) drawn |= DabToChannelOnce(channel, dab, value, size);
  } else {
    drawn = DabToChannelOnce(channel, dab, value, size);
  }
  params_.option2 = option2;
  return drawn && !failed_;
}

void CPenRender::EndStroke() {
  if (imageNibFlag_ != 0 && imageNib_ != nullptr) imageNib_->SetScale(imageNibScale_);
}

}  // namespace tf
