// The preferences dialog without its window: what its controls hold, how they load from and save
// to the settings, Initialise, the enabling rules, the grid colour arithmetic and the preset path
// check; and the document window's part of applying them.
#pragma once
// The dialog (app/qt/FormPreference.h) copies SPreferenceValues into its controls and back; OK
// stores them with SavePreferenceValues. Number models keep Singles clamped to their ranges, as
// the dialog's number edits do.
#include <cstdint>
#include <functional>
#include <string>

#include "raster/ColorValue.h"

namespace tf {

class CAppProfile;
class MainFormChild;

// The five start-up preset files in the order of their groups: brushes, nibs, swatches,
// gradients, tones.
inline constexpr int32_t kPreferencePresetCount = 5;
// Their file kinds (validation and browse dialogs).
extern const int32_t kPreferencePresetKinds[kPreferencePresetCount];

// Ranges of the number models.
inline constexpr float kUndoMin = 1, kUndoMax = 50;
inline constexpr float kGridMin = 2, kGridMax = 500;
inline constexpr float kGridOpacityMin = 1, kGridOpacityMax = 100;

struct SPreferenceValues {
  // ---- page "ツール" ----
  int32_t middleButton = 0;  // list item, -1 when the list shows none
  bool rightButtonPicks = true;
  float undo = 8;
  int32_t shortcut = 0;  // list item
  bool useGrabCtrl = true;
  bool toolFindNextWithShift = false;  // checked = not ToolFindNext
  bool drawToolAutoSave = false;
  bool grabToolDblClk = true;
  bool zoomToolDblClk = true;
  bool exchangeColors = false;
  bool autoFreeHand = false;
  bool verticalPopup = true;
  // ---- page "カーソル・グリッド" ----
  bool drawCursorFine = false;
  std::string cursorPath;
  bool brushGhost = false;
  bool ghostCenter = true;
  bool otherCursorFine = false;
  float gridX = 32, gridY = 32;
  SColorValue gridColor;
  float gridOpacity = 50;
  // ---- page "書類" ----
  bool showScrollBar = false;
  bool fullPath = false;
  bool autoScroll = false;
  bool forceDisp = false;
  bool autoSize = true, autoSizeOnlyEvent = true, autoSizeOnlyZoomOut = true;
  bool playAntiOff = true;
  bool saveConfirm = true;   // checked = not silentFileIO
  int32_t psdItem = 2;       // "4", "5", "6"
  bool separatePaths = false;  // FileIODir bit 1
  bool filePathFirst = true;   // FileIODir bit 0
  // ---- page "起動ファイル" ----
  int32_t saveAsQuit = 0;  // list item
  bool useLastFile = true;
  std::string presetPaths[kPreferencePresetCount];

  // Paths typed or browsed in this dialog; only those are checked and stored by OK.
  bool cursorPathEdited = false;
  bool presetPathEdited[kPreferencePresetCount] = {};
};

// A number model's value: clamped into its range (NaN gives the minimum).
float ClampNumber(float value, float min, float max);
// The grid opacity edit from the stored colour: alpha x 100 / 255, or 50 for alpha 0.
float GridOpacityFromColor(uint32_t gridColor);
// The stored grid colour: the cell's colour opaque, its alpha replaced by
// Trunc(opacity x 255 / 100 + 0.5).
uint32_t GridColorFromValues(const SColorValue& colour, float opacity);

// The controls from the settings (lists show -1 for a value they hold no item for).
void LoadPreferenceValues(const CAppProfile& profile, SPreferenceValues& values);
// OK: the settings from the controls. A list showing no item leaves its setting as it was; only
// the paths edited or browsed are checked (ValidatePresetPath) and stored.
void SavePreferenceValues(const SPreferenceValues& values, CAppProfile& profile);
// The button "初期化(&I)": the controls to the settings' defaults (the grid opacity is kept);
// the paths count as edited.
void InitialisePreferenceValues(SPreferenceValues& values);

// Which controls are enabled.
struct SPreferenceEnabling {
  bool cursorPath;        // edit and browse button: only with the standard drawing cursor
  bool ghostCenter;       // only with the brush outline
  bool autoSizeOptions;   // only with auto size
  bool presetGroups;      // not while the last files are used
};
SPreferenceEnabling PreferenceEnabling(const SPreferenceValues& values);

// The path with its extension replaced by the kind's default one when it is not one of the
// kind's; setting := that path when the file exists, else empty.
void ValidatePresetPath(std::string& setting, const std::string& path, int32_t kind);

// The document window's part after the dialog: it re-reads its grid and undo settings. The
// document window registers its routine (TDrawWindow::ApplyPreferences); until it does, the call
// refuses with a developer-output line.
using DocumentPreferencesApplier = std::function<bool(MainFormChild* window)>;
DocumentPreferencesApplier SetDocumentPreferencesApplier(DocumentPreferencesApplier applier);
bool ApplyDocumentPreferences(MainFormChild* window);

}  // namespace tf
