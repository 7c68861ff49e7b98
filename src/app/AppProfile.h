// CAppProfile: the program's settings and the facts about its environment.
#pragma once
// CAppProfile: the one settings object of the program. It holds facts about the environment,
// probed once at start-up, and every persistent setting, read from the registry at start-up
// (LoadAll) and written back at exit (SaveAll). Fields carry the registry value names.
//
// Registry: HKEY_CURRENT_USER\Software\Quillmarsh\Tintaframe4 Plus with the sections fileIO,
// config, color, paper, window and font. Integers are dwords, booleans dwords 0 or 1 (non-zero
// reads as true), floats 8-byte binary doubles (kept as float here), strings zero-terminated.
// Every value read is range-checked before it is stored into a field.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace tf {

inline constexpr int kPaperPresetCount = 6;
inline constexpr int kFloatFormMax = 16;
inline constexpr int kFloatPaneMax = 16;
inline constexpr int kDockViewCount = 10;

// Section names, in the order of the name table.
inline constexpr const char* kSectionFileIO = "fileIO";
inline constexpr const char* kSectionConfig = "config";
inline constexpr const char* kSectionColor = "color";
inline constexpr const char* kSectionPaper = "paper";
inline constexpr const char* kSectionWindow = "window";
inline constexpr const char* kSectionFont = "font";

// Registry prefixes of the ten dock views, in pane order ("OptionViewParentForm" and so on).
inline constexpr const char* kDockViewNames[kDockViewCount] = {
    "OptionView", "NavigatorView", "LoupeView", "InfomationView", "ColorView",
    "SwatchView", "BrushListView", "LayerView", "MaskView",       "EventView"};

// One user preset of the new-document dialog (paper section: unit%d, dpi%d, w%d, h%d,
// transparent%d).
struct SPaperPreset {
  int32_t unit = 0;  // length unit index 0..3 (px, in, cm, mm)
  int32_t dpi = 0;
  float w = 0;
  float h = 0;
  bool transparent = false;
};

// One floating tool window ("FloatForm%d..."), kept at its position in the list.
struct SFloatFormLayout {
  int32_t PaneCount = 0;  // columns of the window
  bool Visible = false;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// One column of a floating window ("FloatPane%d..."), numbered across all windows in order.
struct SFloatColumnLayout {
  int32_t ParentForm = 0;
  int32_t PaneIndex = 0;
  int32_t ActiveView = 0;
  int32_t ViewCount = 0;
  bool Collapse = false;
};

// Place of one dock view ("<view>ParentForm" ...).
struct SViewLayout {
  int32_t ParentForm = 0;
  int32_t ParentPane = 0;
  int32_t ViewIndex = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Visible = false;
};

// The text tool's settings (font section).
struct SFontSettings {
  std::string face;
  int32_t point = 0;
  int32_t charset = 0;
  bool italic = false;
  bool bold = false;
  bool vertical = false;
  bool underline = false;
  bool strikeout = false;
  int32_t spacing = 0;
  int32_t leading = 0;
  bool useFont = false;
  bool usePreview = false;
};

// Registry access on an open key. Reads answer true when the value exists with the right kind;
// otherwise the out value takes the default. Writes answer true when written.
bool RegReadInt(const CRegistryKey& key, std::string_view name, int32_t& value, int32_t def);
bool RegReadBool(const CRegistryKey& key, std::string_view name, bool& value, bool def);
bool RegReadFloat(const CRegistryKey& key, std::string_view name, float& value, float def);
bool RegReadString(const CRegistryKey& key, std::string_view name, std::string& value, std::string_view def);
bool RegWriteInt(CRegistryKey& key, std::string_view name, int32_t value);
bool RegWriteBool(CRegistryKey& key, std::string_view name, bool value);
// The value is widened to a double.
bool RegWriteFloat(CRegistryKey& key, std::string_view name, float value);
bool RegWriteString(CRegistryKey& key, std::string_view name, std::string_view value);

class CAppProfile {
 public:
  // Called by SaveAll before anything is written: the main window stores its placement, the
  // tool window its pane layout (and pen settings) into the object.
  using SaveHook = std::function<void(CAppProfile&)>;
  // The image library's speed probe: fills the figure (the program compares it with 1e9).
  using SpeedProbe = std::function<void(int32_t iterations, double* figure)>;

  // Every field empty or zero; registry: the given store or CRegistry::Instance().
  explicit CAppProfile(CRegistry* registry = nullptr);

  CRegistry& Registry() const;
  void SetRegistry(CRegistry* registry);  // null: CRegistry::Instance()

  // ProbeEnvironment, then the loaders of fileIO, config, color, paper, window, font. True.
  bool LoadAll();
  // The save hooks, then the savers of window, fileIO, config, color, paper, font, then the
  // registry store is written to its file. False when the file could not be written.
  bool SaveAll();

  // Fills the environment facts below.
  void ProbeEnvironment();

  // One loader and one saver per section; each opens (making when missing) its section key
  // and answers false when it does not open (nothing read or written then).
  bool LoadFileIO();
  bool SaveFileIO();
  bool LoadConfig();
  bool SaveConfig();
  bool LoadColor();
  bool SaveColor();
  bool LoadPaper();
  bool SavePaper();
  bool LoadWindow();
  bool SaveWindow();
  bool LoadFont();
  bool SaveFont();

  // Stores the remembered opacity of a tool kind (its top bit ignored): 0 opaquePaint,
  // 4 opaqueSeedFill, 10 opaqueDraw, 11 and 13 opaqueAreaFill, 12 opaqueLine, 14 opaqueFont,
  // 19 opaqueGradate; other kinds change nothing.
  void SetToolOpacity(int32_t kind, float opacity);

  // Number of column records the float forms use (sum of their pane counts, at most 16).
  int32_t FloatPaneTotal() const;

  // Path of a section key ("Software\Quillmarsh\Tintaframe4 Plus\<section>").
  static std::string SectionPath(std::string_view section);

  // Test hook for the speed probe; an empty function restores the built-in one. Returns the
  // probe installed before.
  static SpeedProbe SetSpeedProbe(SpeedProbe probe);

  SaveHook storeMainWindowState;
  SaveHook storeToolWindowLayout;

  // ---- environment facts (never stored) ----
  int32_t userLocale = 0;    // locale id (0x411 Japanese, 0x412 Korean, 0x409 other)
  int32_t ansiCodePage = 0;  // 932: strings of files and settings are code page 932
  uint8_t UiLanguage = 0;    // 0 Japanese, 1 Korean, 2 other
  bool isNTFamily = false;
  int32_t osVersion = 0;  // major x 100 + minor
  double counterFrequency = 0;
  double processorSpeed = 0;
  int32_t monitorCount = 0;
  std::string sharedDataFolder;  // with a trailing '/'
  std::string programFolder;     // with a trailing '/'
  std::string programFileName;
  std::string tempFolder;  // with a trailing '/'

  // ---- runtime only ----
  bool EnbLabelDrag = false;
  bool EnbLabelDblClk = false;

  // ---- fileIO ----
  std::string loadPath;
  std::string savePath;
  std::string eventPath;
  std::string palPath;
  std::string tonePath;
  std::string gradPath2;
  std::string penPath;
  std::string palFile;
  std::string toneFile;
  std::string gradFile2;
  std::string nibFile;
  std::string brushFile;
  int32_t FileIODir = 0;
  int32_t pictLoadExtIdx = 0;
  int32_t eventLoadExtIdx = 0;
  bool silentFileIO = false;
  bool jpegUseProgressive = false;
  bool jpegUseSmooth = false;
  int32_t jpegValSmooth = 0;
  int32_t jpegQType = 0;
  int32_t jpegQuality = 0;
  int32_t jpegQVHigh = 0;
  int32_t jpegQHigh = 0;
  int32_t jpegQStd = 0;
  int32_t jpegQLow = 0;
  int32_t psdSaveVer = 0;
  int32_t psdSaveFlags = 0;

  // ---- config ----
  int32_t appVerID = 0;
  int32_t lastCP = 0;
  int32_t lastLCID = 0;
  int32_t gridW = 0;
  int32_t gridH = 0;
  int32_t undoMax = 0;
  int32_t fillLimit = 0;
  int32_t wandLimit = 0;
  int32_t fillTarget = 0;
  int32_t wandTarget = 0;
  bool fillAntiAlias = false;
  bool wandAntiAlias = false;
  int32_t gradType = 0;
  int32_t gradMap = 0;
  int32_t gradRep = 0;
  int32_t gradRepCnt = 0;
  bool ignoreTablet = false;
  int32_t eventWait = 0;
  int32_t tabletType = 0;
  bool rgbPalBarFixed = false;
  bool useRBtnColPicker = false;
  bool useAutoScroll = false;
  bool useFilePreview = false;
  bool useZoomAntialias = false;
  bool showScrollBar = false;
  bool titleFullpath = false;
  int32_t mouseMBtnFunc = 0;
  float opaquePaint = 0;
  float opaqueAreaFill = 0;
  float opaqueSeedFill = 0;
  float opaqueGradate = 0;
  float opaqueDraw = 0;
  float opaqueLine = 0;
  float opaqueFont = 0;
  bool DrawToolMode = false;
  bool AutoFreeHand = false;
  int32_t ShortcutMode = 0;
  bool UseLastFile = false;
  int32_t PresetSaveAsQuit = 0;
  uint32_t GridColor = 0;  // 0xAARRGGBB
  bool DrawToolAutoSave = false;
  int32_t DrawToolCursor = 0;
  int32_t OtherToolCursor = 0;
  std::string CursorFile;
  bool BrushGhost = false;
  bool ShowGhostCenter = false;
  bool UseGrabCtrl = false;
  bool CellExchange = false;
  int32_t AutoSizeAdjust = 0;
  bool PlayAntiOff = false;
  bool ForceDispParam = false;
  bool RotZoomDblClk = false;
  bool RotGrabDblClk = false;
  bool UseVertSlider = false;
  bool ToolFindNext = false;
  int32_t ToolSubMode = 0;

  // ---- color (red in the low byte) ----
  uint32_t fgCol = 0;
  uint32_t bgCol = 0;

  // ---- paper ----
  SPaperPreset paper[kPaperPresetCount];

  // ---- window ----
  int32_t mainWinX = 0;
  int32_t mainWinY = 0;
  int32_t mainWinW = 0;
  int32_t mainWinH = 0;
  bool mainWinMax = false;
  bool childWinMax = false;
  int32_t fontDlgX = 0;
  int32_t fontDlgY = 0;
  int32_t fontDlgW = 0;
  int32_t fontDlgH = 0;
  int32_t FloatFormCount = 0;  // 0..16
  SFloatFormLayout floatForms[kFloatFormMax];
  SFloatColumnLayout floatPanes[kFloatPaneMax];
  bool ToolFormVisible = false;
  int32_t ToolFormX = 0;
  int32_t ToolFormY = 0;
  int32_t ToolFormWidth = 0;
  int32_t ToolFormHeight = 0;
  SViewLayout views[kDockViewCount];  // in the order of kDockViewNames
  int32_t NavigatorContains = 0;
  bool PreviewCounterRotate = false;
  bool OptionListDblClick = false;
  int32_t ColorSampler = 0;
  int32_t SwathListType = 0;
  int32_t BrushListType = 0;
  int32_t LayerListType = 0;
  int32_t MaskListType = 0;
  int32_t EventCapacity = 0;
  int32_t LoupeMagnification = 0;
  bool LoupeCenter = false;
  int32_t LoupeStroking = 0;
  int32_t PopBrushListWidth = 0;
  int32_t PopBrushListHeight = 0;
  int32_t PopPenNibListWidth = 0;
  int32_t PopPenNibListHeight = 0;
  int32_t PopGradListWidth = 0;
  int32_t PopGradListHeight = 0;
  int32_t PopToneListWidth = 0;
  int32_t PopToneListHeight = 0;
  int32_t PopBrushListType = 0;
  int32_t PopPenNibListType = 0;
  int32_t PopGradListType = 0;
  int32_t PopToneListType = 0;
  int32_t PopGradPrevType = 0;
  int32_t PopTonePrevType = 0;
  int32_t EdtBrushListType = 0;
  int32_t EdtPenNibListType = 0;
  int32_t EdtGradListType = 0;
  int32_t EdtToneListType = 0;

  // ---- font ----
  SFontSettings font;

 private:
  CRegistry* registry_;
};

// The process-wide settings object.
CAppProfile& AppProfile();
// Replaces it with a fresh, empty object (tests).
void ResetAppProfile();

}  // namespace tf
