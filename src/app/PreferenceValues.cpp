#include "app/PreferenceValues.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/AppProfile.h"
#include "files/FileKinds.h"
#include "platform/Debug.h"
#include "platform/FileDialog.h"
#include "raster/ColorConvert.h"

namespace tf {

const int32_t kPreferencePresetKinds[kPreferencePresetCount] = {
    kFileDialogBrushSetOpen, kFileDialogNibSetOpen, kFileDialogPaletteOpen, kFileDialogGradientSetOpen,
    kFileDialogToneSetOpen};

namespace {

// The settings of the five preset files, in group order.
std::string* PresetSetting(CAppProfile& p, int32_t i) {
  std::string* const settings[kPreferencePresetCount] = {&p.brushFile, &p.nibFile, &p.palFile, &p.gradFile2,
                                                         &p.toneFile};
  return settings[i];
}
const std::string& PresetSetting(const CAppProfile& p, int32_t i) {
  return *PresetSetting(const_cast<CAppProfile&>(p), i);
}

// A list's item for a stored value, -1 when it has none.
int32_t ListItem(int32_t value, int32_t count) { return value >= 0 && value < count ? value : -1; }

DocumentPreferencesApplier& Applier() {
  static DocumentPreferencesApplier applier;
  return applier;
}

}  // namespace

float ClampNumber(float value, float min, float max) {
  if (std::isnan(value)) return min;
  return value < min ? min : (value > max ? max : value);
}

float GridOpacityFromColor(uint32_t gridColor) {
  const uint32_t a = gridColor >> 24;
  return a == 0 ? 50.0f : static_cast<float>(a * 100.0 / 255.0);
}

uint32_t GridColorFromValues(const SColorValue& colour, float opacity) {
  const int32_t alpha = TruncToInt(static_cast<double>(opacity) * 255.0 / 100.0 + 0.5);
  return (ColorValueToBGRA(colour, 255) & 0xFFFFFF) | static_cast<uint32_t>(alpha & 0xFF) << 24;
}

void LoadPreferenceValues(const CAppProfile& p, SPreferenceValues& v) {
  v.middleButton = ListItem(p.mouseMBtnFunc, 11);
  v.rightButtonPicks = p.useRBtnColPicker;
  v.undo = ClampNumber(static_cast<float>(p.undoMax), kUndoMin, kUndoMax);
  v.shortcut = ListItem(p.ShortcutMode, 2);
  v.useGrabCtrl = p.UseGrabCtrl;
  v.toolFindNextWithShift = !p.ToolFindNext;
  v.drawToolAutoSave = p.DrawToolAutoSave;
  v.grabToolDblClk = p.RotGrabDblClk;
  v.zoomToolDblClk = p.RotZoomDblClk;
  v.exchangeColors = p.CellExchange;
  v.autoFreeHand = p.AutoFreeHand;
  v.verticalPopup = p.UseVertSlider;

  v.drawCursorFine = p.DrawToolCursor == 1;
  v.cursorPath = p.CursorFile;
  v.brushGhost = p.BrushGhost;
  v.ghostCenter = p.ShowGhostCenter;
  v.otherCursorFine = p.OtherToolCursor == 1;
  v.gridX = ClampNumber(static_cast<float>(p.gridW), kGridMin, kGridMax);
  v.gridY = ClampNumber(static_cast<float>(p.gridH), kGridMin, kGridMax);
  BGRAToColorValue(p.GridColor, v.gridColor);
  v.gridOpacity = ClampNumber(GridOpacityFromColor(p.GridColor), kGridOpacityMin, kGridOpacityMax);

  v.showScrollBar = p.showScrollBar;
  v.fullPath = p.titleFullpath;
  v.autoScroll = p.useAutoScroll;
  v.forceDisp = p.ForceDispParam;
  v.autoSize = (p.AutoSizeAdjust & 1) != 0;
  v.autoSizeOnlyEvent = (p.AutoSizeAdjust & 2) != 0;
  v.autoSizeOnlyZoomOut = (p.AutoSizeAdjust & 4) != 0;
  v.playAntiOff = p.PlayAntiOff;
  v.saveConfirm = !p.silentFileIO;
  v.psdItem = ListItem(p.psdSaveVer - 4, 3);
  v.separatePaths = (p.FileIODir & 2) != 0;
  v.filePathFirst = (p.FileIODir & 1) != 0;

  v.saveAsQuit = ListItem(p.PresetSaveAsQuit, 3);
  v.useLastFile = p.UseLastFile;
  for (int32_t i = 0; i < kPreferencePresetCount; ++i) {
    v.presetPaths[i] = PresetSetting(p, i);
    v.presetPathEdited[i] = false;
  }
  v.cursorPathEdited = false;
}

void SavePreferenceValues(const SPreferenceValues& v, CAppProfile& p) {
  if (v.middleButton >= 0) p.mouseMBtnFunc = v.middleButton;
  p.useRBtnColPicker = v.rightButtonPicks;
  p.undoMax = TruncToInt(v.undo);
  if (v.shortcut >= 0) p.ShortcutMode = v.shortcut;
  p.UseGrabCtrl = v.useGrabCtrl;
  p.ToolFindNext = !v.toolFindNextWithShift;
  p.DrawToolAutoSave = v.drawToolAutoSave;
  p.RotGrabDblClk = v.grabToolDblClk;
  p.RotZoomDblClk = v.zoomToolDblClk;
  p.CellExchange = v.exchangeColors;
  p.AutoFreeHand = v.autoFreeHand;
  p.UseVertSlider = v.verticalPopup;

  p.DrawToolCursor = v.drawCursorFine ? 1 : 0;
  if (v.cursorPathEdited) ValidatePresetPath(p.CursorFile, v.cursorPath, kFileDialogCursorOpen);
  p.BrushGhost = v.brushGhost;
  p.ShowGhostCenter = v.ghostCenter;
  p.OtherToolCursor = v.otherCursorFine ? 1 : 0;
  p.gridW = TruncToInt(v.gridX);
  p.gridH = TruncToInt(v.gridY);
  p.GridColor = GridColorFromValues(v.gridColor, v.gridOpacity);

  p.showScrollBar = v.showScrollBar;
  p.titleFullpath = v.fullPath;
  p.useAutoScroll = v.autoScroll;
  p.ForceDispParam = v.forceDisp;
  p.AutoSizeAdjust = (v.autoSize ? 1 : 0) | (v.autoSizeOnlyEvent ? 2 : 0) | (v.autoSizeOnlyZoomOut ? 4 : 0);
  p.PlayAntiOff = v.playAntiOff;
  p.silentFileIO = !v.saveConfirm;
  if (v.psdItem >= 0) p.psdSaveVer = v.psdItem + 4;
  p.FileIODir = (v.filePathFirst ? 1 : 0) | (v.separatePaths ? 2 : 0);

  if (v.saveAsQuit >= 0) p.PresetSaveAsQuit = v.saveAsQuit;
  p.UseLastFile = v.useLastFile;
  for (int32_t i = 0; i < kPreferencePresetCount; ++i) {
    if (v.presetPathEdited[i]) ValidatePresetPath(*PresetSetting(p, i), v.presetPaths[i], kPreferencePresetKinds[i]);
  }
}

void InitialisePreferenceValues(SPreferenceValues& v) {
  const float opacity = v.gridOpacity;
  v = SPreferenceValues{};
  v.gridOpacity = opacity;
  BGRAToColorValue(0x80000000, v.gridColor);
  v.cursorPathEdited = true;
  for (bool& edited : v.presetPathEdited) edited = true;
}

SPreferenceEnabling PreferenceEnabling(const SPreferenceValues& v) {
  return {!v.drawCursorFine, v.brushGhost, v.autoSize, !v.useLastFile};
}

void ValidatePresetPath(std::string& setting, const std::string& path, int32_t kind) {
  std::string checked = path;
  const std::string extension = std::filesystem::path(path).extension().string();
  if (!IsExtensionOfKind(extension, kind)) checked = ReplaceExtension(path, "." + DefaultExtForKind(kind));
  std::error_code error;
  setting = !path.empty() && std::filesystem::is_regular_file(checked, error) ? checked : std::string();
}

DocumentPreferencesApplier SetDocumentPreferencesApplier(DocumentPreferencesApplier applier) {
  DocumentPreferencesApplier old = std::move(Applier());
  Applier() = std::move(applier);
  return old;
}

bool ApplyDocumentPreferences(MainFormChild* window) {
  if (!Applier()) {
    DebugOut("ApplyDocumentPreferences: the document window is not built yet; its grid and undo settings are not "
             "re-read\n");
    return false;
  }
  return Applier()(window);
}

}  // namespace tf
