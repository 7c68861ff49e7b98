#include "app/MainFormCore.h"

#include <cmath>

#include "platform/ResourceText.h"
#include "platform/Text.h"

namespace tf {

std::string MainCaption(bool renderMode) {
  std::string caption = FormatC(Tx(TextId::MainCaptionFormat), Tx(TextId::ProductName), kVersionMajor, kVersionRelease);
  if (renderMode) caption += Tx(TextId::MainCaptionRender);
  return caption;
}

void StatusPanelLayout(int32_t barWidth, SStatusPanel panels[kStatusPanelCount]) {
  static constexpr int32_t kFixed[kStatusPanelCount] = {64, 64, 128, 0, 32, 80, 112};
  int32_t left = 0;
  for (int32_t i = 0; i < kStatusPanelCount; ++i) {
    SStatusPanel& panel = panels[i];
    panel.left = left;
    panel.width = i == kPanelHint ? barWidth - 480 : kFixed[i];
    panel.raised = i == kPanelZoom || i == kPanelRotation;
    panel.centred = i != kPanelHint;
    left += panel.width;
  }
}

int32_t StatusPanelAt(int32_t barWidth, int32_t x) {
  SStatusPanel panels[kStatusPanelCount];
  StatusPanelLayout(barWidth, panels);
  if (x < 0) return -1;
  // The first panel whose right edge lies beyond x: a hint panel of width 0 or less is never hit.
  int32_t right = 0;
  for (int32_t i = 0; i < kStatusPanelCount; ++i) {
    right += panels[i].width;
    if (x < right) return i;
  }
  return -1;
}

std::string ZoomText(float percent) { return FormatC(Tx(TextId::StatusZoomFormat), static_cast<double>(percent)); }

std::string RotationText(float degrees) {
  // 0 - d rather than -d: an unturned view shows "0.0", not "-0.0".
  return FormatC(Tx(TextId::StatusRotationFormat), 0.0 - static_cast<double>(degrees), Tx(TextId::StatusDegree));
}

std::string ByteCountText(const char* label, int64_t bytes) {
  const double n = static_cast<double>(bytes);
  if (bytes > 0x40000000) return FormatC(Tx(TextId::StatusBytesGB), label, n / 1073741824.0);
  if (bytes >= 0x100001) return FormatC(Tx(TextId::StatusBytesMB), label, n / 1048576.0);
  if (bytes <= 1024) return FormatC(Tx(TextId::StatusBytes), label, static_cast<int>(bytes));
  return FormatC(Tx(TextId::StatusBytesKB), label, n / 1024.0);
}

std::string InfoPanelText(int32_t mode, const TPaper* paper) {
  if (paper == nullptr) return {};
  int64_t layerBytes = 0;
  int64_t undoBytes = 0;
  switch (mode) {
    case 0:
      return FormatC(Tx(TextId::StatusImageSizeFormat), paper->canvasWidth, Tx(TextId::StatusTimes),
                     paper->canvasHeight);
    case 1: {
      const int64_t total = paper->GetMemoryUsage(layerBytes, undoBytes);
      return ByteCountText(Tx(TextId::StatusMemoryTotal), total);
    }
    case 2:
      paper->GetMemoryUsage(layerBytes, undoBytes);
      return ByteCountText(Tx(TextId::StatusMemoryLayer), layerBytes);
    case 3:
      paper->GetMemoryUsage(layerBytes, undoBytes);
      return ByteCountText(Tx(TextId::StatusMemoryUndo), undoBytes);
    default: return {};
  }
}

std::string TabletStateText(bool open) { return Tx(open ? TextId::StatusTabletOn : TextId::StatusTabletOff); }

std::string TabletTypeText(int32_t type) { return FormatC(Tx(TextId::StatusTabletTypeFormat), type + 1); }

std::string TabletModeText(bool tabletCoordinates) {
  return Tx(tabletCoordinates ? TextId::StatusTabletModeTablet : TextId::StatusTabletModeOS);
}

std::string ZoomPopupText(int32_t item) {
  static constexpr const char* kPercent[kZoomPopupCount] = {"6.25", "8.33", "12.5", "16.67", "25",  "33.33",
                                                            "50",   "66.67", "100", "150",   "200", "300",
                                                            "400",  "600",  "800",  "1200",  "1600"};
  if (item < 0 || item >= kZoomPopupCount) return {};
  return FormatC(Tx(TextId::PopZoomFormat), kPercent[item]);
}

static_assert(kZoomPopupCount == kZoomStepCount);

TZoomRatio ZoomPopupRatio(int32_t item) {
  if (item < 0 || item >= kZoomPopupCount) return {1, 1};
  return kZoomSteps[item];
}

int32_t ZoomPopupCheck(float zoom) {
  for (int32_t i = 0; i < kZoomPopupCount; ++i) {
    const double value = static_cast<double>(kZoomSteps[i].numerator) / kZoomSteps[i].denominator;
    if (std::fabs(static_cast<double>(zoom) - value) < 0.0001) return i;
  }
  return -1;
}

const TextId kRotatePopupTexts[kRotatePopupCount] = {TextId::PopRotate0, TextId::PopRotate90,
                                                     TextId::PopRotate180, TextId::PopRotate270};

float RotatePopupAngle(int32_t item) {
  if (item < 0 || item >= kRotatePopupCount) return 0.0f;
  return -90.0f * static_cast<float>(item);
}

int32_t RotatePopupCheck(float degrees) {
  for (int32_t i = 0; i < kRotatePopupCount; ++i) {
    if (degrees == RotatePopupAngle(i)) return i;
  }
  return -1;
}

const TextId kResoPopupTexts[kResoPopupCount] = {TextId::PopResoSize, TextId::PopResoTotal, TextId::PopResoLayer,
                                                 TextId::PopResoUndo};
const TextId kTabletTypePopupTexts[kTabletTypePopupCount] = {TextId::PopTabletType1, TextId::PopTabletType2};
const TextId kTabletModePopupTexts[kTabletModePopupCount] = {TextId::PopTabletModeOS, TextId::PopTabletModeTablet};

bool CModalGate::BeginModal() {
  if (modal_ || semiModal_) return false;
  modal_ = true;
  return true;
}

bool CModalGate::BeginSemiModal() {
  if (semiModal_) return false;
  semiModal_ = true;
  return true;
}

bool CMainFormCore::ToggleStrokeEngine(MainFormChild* active) {
  if (strokeEngine != 1 && strokeEngine != 2) return false;
  strokeEngine = strokeEngine == 1 ? 2 : 1;
  if (active != nullptr && !active->StrokeOrPlaybackRunning()) active->UseStrokeEngine(strokeEngine);
  return true;
}

bool CMainFormCore::TakeFirstActivation() {
  if (!firstActivationPending) return false;
  firstActivationPending = false;
  return true;
}

}  // namespace tf
