#include "app/AppProfile.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/Screen.h"
#include "platform/Stream.h"

namespace tf {
namespace {

// Settings strings longer than this are not ours (paths and names); they read as missing.
constexpr size_t kMaxSettingString = 4096;

// ---------------------------------------------------------------------------------------------
// Range checks of values read from the registry.

struct IntRange {
  int32_t lo = INT32_MIN;
  int32_t hi = INT32_MAX;
  bool clamp = true;          // out of range: the nearer end; else the default
  bool skipNegative = false;  // negative values pass unchanged
};

constexpr IntRange Any() { return {}; }
constexpr IntRange Clamp(int32_t lo, int32_t hi) { return {lo, hi, true, false}; }
constexpr IntRange OrDefault(int32_t lo, int32_t hi) { return {lo, hi, false, false}; }
// Window coordinates and sizes: anything beyond the window system's 16-bit range is not ours.
constexpr IntRange Coord() { return OrDefault(-32768, 32767); }

int32_t CheckInt(int32_t value, int32_t def, const IntRange& r) {
  if (r.skipNegative && value < 0) return value;
  if (value >= r.lo && value <= r.hi) return value;
  if (!r.clamp) return def;
  return value < r.lo ? r.lo : r.hi;
}

struct FloatRange {
  float lo;
  float hi;
  bool clamp;
};

float CheckFloat(float value, float def, const FloatRange& r) {
  if (!std::isfinite(value)) return def;
  if (value >= r.lo && value <= r.hi) return value;
  if (!r.clamp) return def;
  return value < r.lo ? r.lo : r.hi;
}

constexpr FloatRange kOpacity{0.0f, 1.0f, true};

// ColorSampler: picker kind 0..3 in bits 16 to 23 (the four picker buttons), colour space 0..8
// in bits 0 to 7.
bool IsColorSampler(int32_t value) { return ((value >> 16) & 0xFF) <= 3 && (value & 0xFF) <= 8; }
constexpr FloatRange kPaperLength{0.01f, 10000.0f, false};

std::string Indexed(const char* format, int index) {
  char name[64];
  std::snprintf(name, sizeof name, format, index);
  return name;
}

// ---------------------------------------------------------------------------------------------
// One list of keys per section serves both directions: a loader reads and checks each value,
// a saver writes it.

class Loader {
 public:
  explicit Loader(const CRegistryKey& key) : key_(key) {}

  void Int(std::string_view name, int32_t& field, int32_t def, IntRange r = Any()) {
    int32_t v;
    RegReadInt(key_, name, v, def);
    field = CheckInt(v, def, r);
  }
  void Color(std::string_view name, uint32_t& field, uint32_t def) {
    int32_t v;
    RegReadInt(key_, name, v, static_cast<int32_t>(def));
    field = static_cast<uint32_t>(v);
  }
  void Bool(std::string_view name, bool& field, bool def) { RegReadBool(key_, name, field, def); }
  void Float(std::string_view name, float& field, float def, const FloatRange& r) {
    float v;
    RegReadFloat(key_, name, v, def);
    field = CheckFloat(v, def, r);
  }
  void String(std::string_view name, std::string& field, std::string_view def) {
    std::string v;
    if (!RegReadString(key_, name, v, def) || v.size() > kMaxSettingString) v.assign(def);
    field = std::move(v);
  }
  // A value that is used only when valid says so; otherwise the default.
  void IntIf(std::string_view name, int32_t& field, int32_t def, bool (*valid)(int32_t)) {
    int32_t v;
    RegReadInt(key_, name, v, def);
    field = valid(v) ? v : def;
  }
  // A value only written (the loader leaves the field alone).
  void WriteOnly(std::string_view, const std::string&) {}
  // A value whose absence gives another number than the default the read passes.
  void IntMissingAs(std::string_view name, int32_t& field, int32_t def, int32_t missing) {
    int32_t v;
    field = RegReadInt(key_, name, v, def) ? v : missing;
  }
  // A value read into the field but written from the current environment.
  void IntFromNow(std::string_view name, int32_t& field, int32_t now) { RegReadInt(key_, name, field, now); }

 private:
  const CRegistryKey& key_;
};

class Saver {
 public:
  explicit Saver(CRegistryKey& key) : key_(key) {}

  void Int(std::string_view name, int32_t& field, int32_t, IntRange = Any()) { RegWriteInt(key_, name, field); }
  void Color(std::string_view name, uint32_t& field, uint32_t) {
    RegWriteInt(key_, name, static_cast<int32_t>(field));
  }
  void Bool(std::string_view name, bool& field, bool) { RegWriteBool(key_, name, field); }
  void Float(std::string_view name, float& field, float, const FloatRange&) { RegWriteFloat(key_, name, field); }
  void String(std::string_view name, std::string& field, std::string_view) { RegWriteString(key_, name, field); }
  void IntIf(std::string_view name, int32_t& field, int32_t, bool (*)(int32_t)) {
    RegWriteInt(key_, name, field);
  }
  void WriteOnly(std::string_view name, const std::string& value) { RegWriteString(key_, name, value); }
  void IntMissingAs(std::string_view name, int32_t& field, int32_t, int32_t) { RegWriteInt(key_, name, field); }
  void IntFromNow(std::string_view name, int32_t&, int32_t now) { RegWriteInt(key_, name, now); }

 private:
  CRegistryKey& key_;
};

template <class V>
void VisitFileIO(CAppProfile& p, V& v) {
  const std::string& folder = p.programFolder;
  const std::string preset = folder + "preset";
  v.WriteOnly("appPath", folder);
  v.String("loadPath", p.loadPath, folder);
  v.String("savePath", p.savePath, folder);
  v.String("eventPath", p.eventPath, folder);
  v.String("palPath", p.palPath, preset);
  v.String("tonePath", p.tonePath, preset);
  v.String("gradPath2", p.gradPath2, preset);
  v.String("penPath", p.penPath, preset);
  v.String("palFile", p.palFile, "");
  v.String("toneFile", p.toneFile, "");
  v.String("gradFile2", p.gradFile2, "");
  v.String("nibFile", p.nibFile, "");
  v.String("brushFile", p.brushFile, "");
  v.Int("FileIODir", p.FileIODir, 1);
  v.Int("pictLoadExtIdx", p.pictLoadExtIdx, 1, OrDefault(1, 64));
  v.Int("eventLoadExtIdx", p.eventLoadExtIdx, 1, OrDefault(1, 64));
  v.Bool("silentFileIO", p.silentFileIO, false);
  v.Bool("jpegUseProgressive", p.jpegUseProgressive, false);
  v.Bool("jpegUseSmooth", p.jpegUseSmooth, false);
  v.Int("jpegValSmooth", p.jpegValSmooth, 0, Clamp(0, 100));
  v.Int("jpegQType", p.jpegQType, 1, Clamp(0, 4));
  v.Int("jpegQuality", p.jpegQuality, 90, Clamp(0, 100));
  v.Int("jpegQVHigh", p.jpegQVHigh, 100, Clamp(0, 100));
  v.Int("jpegQHigh", p.jpegQHigh, 90, Clamp(0, 100));
  v.Int("jpegQStd", p.jpegQStd, 75, Clamp(0, 100));
  v.Int("jpegQLow", p.jpegQLow, 50, Clamp(0, 100));
  v.Int("psdSaveVer", p.psdSaveVer, 6, Clamp(3, 7));
  v.Int("psdSaveFlags", p.psdSaveFlags, 0);
}

template <class V>
void VisitConfig(CAppProfile& p, V& v) {
  v.IntMissingAs("appVerID", p.appVerID, 20, 0);
  v.IntFromNow("lastCP", p.lastCP, p.ansiCodePage);
  v.IntFromNow("lastLCID", p.lastLCID, p.userLocale);
  v.Int("gridW", p.gridW, 32, Clamp(2, 500));
  v.Int("gridH", p.gridH, 32, Clamp(2, 500));
  v.Int("undoMax", p.undoMax, 8, Clamp(1, 50));
  v.Int("fillLimit", p.fillLimit, 20, Clamp(0, 500));
  v.Int("wandLimit", p.wandLimit, 20, Clamp(0, 500));
  v.Int("fillTarget", p.fillTarget, 0, Clamp(0, 1));
  v.Int("wandTarget", p.wandTarget, 0, Clamp(0, 1));
  v.Bool("fillAntiAlias", p.fillAntiAlias, false);
  v.Bool("wandAntiAlias", p.wandAntiAlias, false);
  v.Int("gradType", p.gradType, 0, OrDefault(0, 2));
  v.Int("gradMap", p.gradMap, 0, Clamp(0, 1));
  v.Int("gradRep", p.gradRep, 0, Clamp(0, 1));
  v.Int("gradRepCnt", p.gradRepCnt, 1, Clamp(1, 500));
  v.Bool("ignoreTablet", p.ignoreTablet, false);
  v.Int("eventWait", p.eventWait, 0, Clamp(0, 60000));
  v.Int("tabletType", p.tabletType, 0, OrDefault(0, 1));
  v.Bool("rgbPalBarFixed", p.rgbPalBarFixed, true);
  v.Bool("useRBtnColPicker", p.useRBtnColPicker, true);
  v.Bool("useAutoScroll", p.useAutoScroll, false);
  v.Bool("useFilePreview", p.useFilePreview, true);
  v.Bool("useZoomAntialias", p.useZoomAntialias, p.processorSpeed > 1e9);
  v.Bool("showScrollBar", p.showScrollBar, false);
  v.Bool("titleFullpath", p.titleFullpath, false);
  v.Int("mouseMBtnFunc", p.mouseMBtnFunc, 0, Clamp(0, 10));
  v.Float("opaquePaint", p.opaquePaint, 1.0f, kOpacity);
  v.Float("opaqueAreaFill", p.opaqueAreaFill, 1.0f, kOpacity);
  v.Float("opaqueSeedFill", p.opaqueSeedFill, 1.0f, kOpacity);
  v.Float("opaqueGradate", p.opaqueGradate, 1.0f, kOpacity);
  v.Float("opaqueDraw", p.opaqueDraw, 1.0f, kOpacity);
  v.Float("opaqueLine", p.opaqueLine, 1.0f, kOpacity);
  v.Float("opaqueFont", p.opaqueFont, 1.0f, kOpacity);
  v.Bool("DrawToolMode", p.DrawToolMode, false);
  v.Bool("AutoFreeHand", p.AutoFreeHand, false);
  // Schemes other than 0 and 1 are kept: they offer only replace and add.
  v.Int("ShortcutMode", p.ShortcutMode, 0);
  v.Bool("UseLastFile", p.UseLastFile, true);
  v.Int("PresetSaveAsQuit", p.PresetSaveAsQuit, 0, OrDefault(0, 2));
  v.Color("GridColor", p.GridColor, 0x80000000u);
  v.Bool("DrawToolAutoSave", p.DrawToolAutoSave, false);
  v.Int("DrawToolCursor", p.DrawToolCursor, 0, OrDefault(0, 1));
  v.Int("OtherToolCursor", p.OtherToolCursor, 0, OrDefault(0, 1));
  v.String("CursorFile", p.CursorFile, "");
  v.Bool("BrushGhost", p.BrushGhost, false);
  v.Bool("ShowGhostCenter", p.ShowGhostCenter, true);
  v.Bool("UseGrabCtrl", p.UseGrabCtrl, true);
  v.Bool("CellExchange", p.CellExchange, false);
  v.Int("AutoSizeAdjust", p.AutoSizeAdjust, 7);
  v.Bool("PlayAntiOff", p.PlayAntiOff, true);
  v.Bool("ForceDispParam", p.ForceDispParam, false);
  v.Bool("RotZoomDblClk", p.RotZoomDblClk, true);
  v.Bool("RotGrabDblClk", p.RotGrabDblClk, true);
  v.Bool("UseVertSlider", p.UseVertSlider, true);
  v.Bool("ToolFindNext", p.ToolFindNext, true);
  v.Int("ToolSubMode", p.ToolSubMode, 0);
}

template <class V>
void VisitColor(CAppProfile& p, V& v) {
  v.Color("fgCol", p.fgCol, 0x000000u);
  v.Color("bgCol", p.bgCol, 0xFFFFFFu);
}

template <class V>
void VisitPaper(CAppProfile& p, V& v) {
  for (int i = 0; i < kPaperPresetCount; ++i) {
    SPaperPreset& preset = p.paper[i];
    v.Int(Indexed("unit%d", i), preset.unit, 0, OrDefault(0, 3));
    v.Int(Indexed("dpi%d", i), preset.dpi, 72, Clamp(72, 600));
    v.Float(Indexed("w%d", i), preset.w, 640.0f, kPaperLength);
    v.Float(Indexed("h%d", i), preset.h, 480.0f, kPaperLength);
    v.Bool(Indexed("transparent%d", i), preset.transparent, false);
  }
}

// The window section up to the float forms.
template <class V>
void VisitWindowHead(CAppProfile& p, V& v) {
  IntRange width = Clamp(200, std::max(200, GetPrimaryScreenWidth()));
  IntRange height = Clamp(200, std::max(200, GetPrimaryScreenHeight()));
  width.skipNegative = height.skipNegative = true;
  v.Int("mainWinX", p.mainWinX, -1, Coord());
  v.Int("mainWinY", p.mainWinY, -1, Coord());
  v.Int("mainWinW", p.mainWinW, -1, width);
  v.Int("mainWinH", p.mainWinH, -1, height);
  v.Bool("mainWinMax", p.mainWinMax, true);
  v.Bool("childWinMax", p.childWinMax, false);
  v.Int("fontDlgX", p.fontDlgX, -1, Coord());
  v.Int("fontDlgY", p.fontDlgY, -1, Coord());
  v.Int("fontDlgW", p.fontDlgW, -1, Coord());
  v.Int("fontDlgH", p.fontDlgH, -1, Coord());
}

template <class V>
void VisitFloatForm(SFloatFormLayout& f, int i, V& v) {
  v.Bool(Indexed("FloatForm%dVisible", i), f.Visible, true);
  v.Int(Indexed("FloatForm%dX", i), f.X, 0, Coord());
  v.Int(Indexed("FloatForm%dY", i), f.Y, 0, Coord());
  v.Int(Indexed("FloatForm%dWidth", i), f.Width, 0, Coord());
  v.Int(Indexed("FloatForm%dHeight", i), f.Height, 0, Coord());
}

template <class V>
void VisitFloatPane(SFloatColumnLayout& c, int n, V& v) {
  v.Int(Indexed("FloatPane%dParentForm", n), c.ParentForm, -1, OrDefault(-1, kFloatFormMax - 1));
  v.Int(Indexed("FloatPane%dPaneIndex", n), c.PaneIndex, -1, OrDefault(-1, kFloatPaneMax - 1));
  v.Int(Indexed("FloatPane%dActiveView", n), c.ActiveView, -1, OrDefault(-1, kDockViewCount - 1));
  v.Int(Indexed("FloatPane%dViewCount", n), c.ViewCount, 0, OrDefault(0, kDockViewCount));
  v.Bool(Indexed("FloatPane%dCollapse", n), c.Collapse, false);
}

// The window section after the float forms.
template <class V>
void VisitWindowTail(CAppProfile& p, V& v) {
  v.Bool("ToolFormVisible", p.ToolFormVisible, true);
  v.Int("ToolFormX", p.ToolFormX, -1, Coord());
  v.Int("ToolFormY", p.ToolFormY, -1, Coord());
  v.Int("ToolFormWidth", p.ToolFormWidth, -1, Coord());
  v.Int("ToolFormHeight", p.ToolFormHeight, -1, Coord());
  for (int i = 0; i < kDockViewCount; ++i) {
    SViewLayout& view = p.views[i];
    std::string prefix = kDockViewNames[i];
    v.Int(prefix + "ParentForm", view.ParentForm, -1, OrDefault(-1, kFloatFormMax - 1));
    v.Int(prefix + "ParentPane", view.ParentPane, -1, OrDefault(-1, kFloatPaneMax - 1));
    v.Int(prefix + "ViewIndex", view.ViewIndex, -1, OrDefault(-1, kDockViewCount - 1));
    v.Int(prefix + "Width", view.Width, -1, Coord());
    v.Int(prefix + "Height", view.Height, -1, Coord());
    v.Bool(prefix + "Visible", view.Visible, true);
  }
  v.Int("NavigatorContains", p.NavigatorContains, -1);
  v.Bool("PreviewCounterRotate", p.PreviewCounterRotate, false);
  v.Bool("OptionListDblClick", p.OptionListDblClick, false);
  v.IntIf("ColorSampler", p.ColorSampler, 3, IsColorSampler);
  v.Int("SwathListType", p.SwathListType, -1);
  v.Int("BrushListType", p.BrushListType, -1);
  v.Int("LayerListType", p.LayerListType, -1);
  v.Int("MaskListType", p.MaskListType, -1);
  v.Int("EventCapacity", p.EventCapacity, -1, Clamp(-1, 50));
  v.Int("LoupeMagnification", p.LoupeMagnification, 2, Clamp(0, 8));
  v.Bool("LoupeCenter", p.LoupeCenter, true);
  v.Int("LoupeStroking", p.LoupeStroking, 1);
  v.Int("PopBrushListWidth", p.PopBrushListWidth, -1, Coord());
  v.Int("PopBrushListHeight", p.PopBrushListHeight, -1, Coord());
  v.Int("PopPenNibListWidth", p.PopPenNibListWidth, -1, Coord());
  v.Int("PopPenNibListHeight", p.PopPenNibListHeight, -1, Coord());
  v.Int("PopGradListWidth", p.PopGradListWidth, -1, Coord());
  v.Int("PopGradListHeight", p.PopGradListHeight, -1, Coord());
  v.Int("PopToneListWidth", p.PopToneListWidth, -1, Coord());
  v.Int("PopToneListHeight", p.PopToneListHeight, -1, Coord());
  v.Int("PopBrushListType", p.PopBrushListType, -1);
  v.Int("PopPenNibListType", p.PopPenNibListType, -1);
  v.Int("PopGradListType", p.PopGradListType, -1);
  v.Int("PopToneListType", p.PopToneListType, -1);
  v.Int("PopGradPrevType", p.PopGradPrevType, -1);
  v.Int("PopTonePrevType", p.PopTonePrevType, -1);
  v.Int("EdtBrushListType", p.EdtBrushListType, -1);
  v.Int("EdtPenNibListType", p.EdtPenNibListType, -1);
  v.Int("EdtGradListType", p.EdtGradListType, -1);
  v.Int("EdtToneListType", p.EdtToneListType, -1);
}

template <class V>
void VisitFont(CAppProfile& p, V& v) {
  SFontSettings& f = p.font;
  v.String("face", f.face, "");
  v.Int("point", f.point, 0, Clamp(0, 999));
  v.Int("charset", f.charset, -1, OrDefault(-1, 255));
  v.Bool("italic", f.italic, false);
  v.Bool("bold", f.bold, false);
  v.Bool("vertical", f.vertical, false);
  v.Bool("underline", f.underline, false);
  v.Bool("strikeout", f.strikeout, false);
  v.Int("spacing", f.spacing, 0, Clamp(-999, 999));
  v.Int("leading", f.leading, 0, Clamp(-999, 999));
  v.Bool("useFont", f.useFont, true);
  v.Bool("usePreview", f.usePreview, true);
}

// Opens the key of a section, making it when missing.
bool OpenSectionKey(CRegistryKey& key, const char* section) {
  // Appended rather than "\\" + path: gcc 12 warns falsely (-Wrestrict) on that form.
  std::string path = "\\";
  path += CAppProfile::SectionPath(section);
  return key.OpenKey(path, true);
}

// A section's one list of keys, read (V = Loader) or written (V = Saver); false when the key
// does not open.
template <class V>
bool VisitSection(CAppProfile& p, const char* section, void (*visit)(CAppProfile&, V&)) {
  CRegistryKey key(&p.Registry());
  if (!OpenSectionKey(key, section)) return false;
  V visitor(key);
  visit(p, visitor);
  return true;
}

const SFloatFormLayout kDefaultFloatForm{0, true, 0, 0, 0, 0};
const SFloatColumnLayout kDefaultFloatPane{-1, -1, -1, 0, false};

// ---------------------------------------------------------------------------------------------
// Environment

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

int32_t LocaleFromEnvironment() {
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    if (std::strncmp(value, "ja", 2) == 0) return 0x411;
    if (std::strncmp(value, "ko", 2) == 0) return 0x412;
    return 0x409;
  }
  return 0x409;
}

int32_t OsVersionNumber() {
  struct utsname u;
  if (::uname(&u) != 0) return 0;
  int major = 0, minor = 0;
  if (std::sscanf(u.release, "%d.%d", &major, &minor) < 1) return 0;
  return major * 100 + minor;
}

void BuiltInSpeedProbe(int32_t, double* figure) {
  if (!figure) return;
  // The processor's clock in Hz; every processor this runs on is fast, so unknown means fast.
  double hz = 0;
  {
    std::ifstream in("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    double khz = 0;
    if (in >> khz && khz > 0) hz = khz * 1000.0;
  }
  if (hz <= 0) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("cpu MHz", 0) == 0) {
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
          double mhz = std::atof(line.c_str() + colon + 1);
          if (mhz > 0) hz = mhz * 1e6;
        }
        break;
      }
    }
  }
  *figure = hz > 0 ? hz : 2e9;
}

CAppProfile::SpeedProbe& SpeedProbeSlot() {
  static CAppProfile::SpeedProbe probe;
  return probe;
}

std::unique_ptr<CAppProfile>& ProfileSlot() {
  static std::unique_ptr<CAppProfile> profile;
  return profile;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Registry access routines

bool RegReadInt(const CRegistryKey& key, std::string_view name, int32_t& value, int32_t def) {
  if (key.ReadInteger(name, value)) return true;
  value = def;
  return false;
}

bool RegReadBool(const CRegistryKey& key, std::string_view name, bool& value, bool def) {
  if (key.ReadBool(name, value)) return true;
  value = def;
  return false;
}

bool RegReadFloat(const CRegistryKey& key, std::string_view name, float& value, float def) {
  double d;
  if (key.ReadDouble(name, d)) {
    value = static_cast<float>(d);
    return true;
  }
  value = def;
  return false;
}

bool RegReadString(const CRegistryKey& key, std::string_view name, std::string& value, std::string_view def) {
  if (key.ReadString(name, value)) return true;
  value.assign(def);
  return false;
}

bool RegWriteInt(CRegistryKey& key, std::string_view name, int32_t value) {
  return key.WriteInteger(name, value);
}

bool RegWriteBool(CRegistryKey& key, std::string_view name, bool value) { return key.WriteBool(name, value); }

bool RegWriteFloat(CRegistryKey& key, std::string_view name, float value) {
  return key.WriteDouble(name, static_cast<double>(value));
}

bool RegWriteString(CRegistryKey& key, std::string_view name, std::string_view value) {
  return key.WriteString(name, value);
}

// ---------------------------------------------------------------------------------------------

CAppProfile::CAppProfile(CRegistry* registry) : registry_(registry) {}

CRegistry& CAppProfile::Registry() const { return registry_ ? *registry_ : CRegistry::Instance(); }

void CAppProfile::SetRegistry(CRegistry* registry) { registry_ = registry; }

std::string CAppProfile::SectionPath(std::string_view section) {
  std::string path(kRegistryRoot);
  path.push_back('\\');
  path.append(section);
  return path;
}

CAppProfile::SpeedProbe CAppProfile::SetSpeedProbe(SpeedProbe probe) {
  SpeedProbe previous = std::move(SpeedProbeSlot());
  SpeedProbeSlot() = std::move(probe);
  return previous;
}

void CAppProfile::ProbeEnvironment() {
  userLocale = LocaleFromEnvironment();
  ansiCodePage = 932;  // strings of files, events and settings are code page 932
  if (ansiCodePage == 932 || userLocale == 0x411) {
    UiLanguage = 0;
  } else if (ansiCodePage == 949 || userLocale == 0x412) {
    UiLanguage = 1;
  } else {
    UiLanguage = 2;
  }
  isNTFamily = true;
  osVersion = OsVersionNumber();
  counterFrequency = 1e9;  // the monotonic clock counts nanoseconds
  processorSpeed = 0;
  if (SpeedProbeSlot()) {
    SpeedProbeSlot()(100, &processorSpeed);
  } else {
    BuiltInSpeedProbe(100, &processorSpeed);
  }
  monitorCount = GetMonitorCount();

  const char* data = std::getenv("XDG_DATA_HOME");
  std::string shared;
  if (data && data[0] == '/') {
    shared = data;
  } else {
    const char* home = std::getenv("HOME");
    shared = std::string(home && *home ? home : "/tmp") + "/.local/share";
  }
  MakeFolders(shared);
  sharedDataFolder = WithSlash(shared);

  char exe[4096];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string path(exe, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    programFolder = path.substr(0, slash + 1);
    programFileName = path.substr(slash + 1);
  } else {
    programFolder = "./";
    programFileName = "tintaframe4";
  }

  const char* tmp = std::getenv("TMPDIR");
  tempFolder = WithSlash(tmp && tmp[0] == '/' ? tmp : "/tmp");
}

bool CAppProfile::LoadAll() {
  ProbeEnvironment();
  EnbLabelDrag = true;
  EnbLabelDblClk = true;
  LoadFileIO();
  LoadConfig();
  LoadColor();
  LoadPaper();
  LoadWindow();
  LoadFont();
  return true;
}

bool CAppProfile::SaveAll() {
  if (storeMainWindowState) storeMainWindowState(*this);
  if (storeToolWindowLayout) storeToolWindowLayout(*this);
  SaveWindow();
  SaveFileIO();
  SaveConfig();
  SaveColor();
  SavePaper();
  SaveFont();
  return Registry().Save();
}

bool CAppProfile::LoadFileIO() { return VisitSection<Loader>(*this, kSectionFileIO, VisitFileIO); }
bool CAppProfile::SaveFileIO() { return VisitSection<Saver>(*this, kSectionFileIO, VisitFileIO); }
bool CAppProfile::LoadConfig() { return VisitSection<Loader>(*this, kSectionConfig, VisitConfig); }
bool CAppProfile::SaveConfig() { return VisitSection<Saver>(*this, kSectionConfig, VisitConfig); }
bool CAppProfile::LoadColor() { return VisitSection<Loader>(*this, kSectionColor, VisitColor); }
bool CAppProfile::SaveColor() { return VisitSection<Saver>(*this, kSectionColor, VisitColor); }
bool CAppProfile::LoadPaper() { return VisitSection<Loader>(*this, kSectionPaper, VisitPaper); }
bool CAppProfile::SavePaper() { return VisitSection<Saver>(*this, kSectionPaper, VisitPaper); }
bool CAppProfile::LoadFont() { return VisitSection<Loader>(*this, kSectionFont, VisitFont); }
bool CAppProfile::SaveFont() { return VisitSection<Saver>(*this, kSectionFont, VisitFont); }

bool CAppProfile::LoadWindow() {
  CRegistryKey key(&Registry());
  if (!OpenSectionKey(key, kSectionWindow)) return false;
  Loader loader(key);
  VisitWindowHead(*this, loader);

  // Float forms keep their places; pane records are numbered on across the forms and there
  // are at most 16 of both.
  int32_t count;
  RegReadInt(key, "FloatFormCount", count, 0);
  FloatFormCount = std::clamp(count, 0, kFloatFormMax);
  int pane = 0;
  for (int i = 0; i < kFloatFormMax; ++i) {
    SFloatFormLayout& form = floatForms[i];
    form = kDefaultFloatForm;
    int32_t paneCount;
    if (i >= FloatFormCount || !RegReadInt(key, Indexed("FloatForm%dPaneCount", i), paneCount, 0)) {
      continue;
    }
    form.PaneCount = std::clamp(paneCount, 0, kFloatPaneMax - pane);
    VisitFloatForm(form, i, loader);
    for (int j = 0; j < form.PaneCount; ++j, ++pane) {
      floatPanes[pane] = kDefaultFloatPane;
      VisitFloatPane(floatPanes[pane], pane, loader);
    }
  }
  for (int n = pane; n < kFloatPaneMax; ++n) floatPanes[n] = kDefaultFloatPane;

  VisitWindowTail(*this, loader);
  return true;
}

bool CAppProfile::SaveWindow() {
  CRegistryKey key(&Registry());
  if (!OpenSectionKey(key, kSectionWindow)) return false;
  static const char* const kRecordNames[] = {
      "FloatForm%dPaneCount",  "FloatForm%dVisible",   "FloatForm%dX",          "FloatForm%dY",
      "FloatForm%dWidth",      "FloatForm%dHeight",    "FloatPane%dParentForm", "FloatPane%dPaneIndex",
      "FloatPane%dActiveView", "FloatPane%dViewCount", "FloatPane%dCollapse"};
  for (int i = 0; i < kFloatFormMax; ++i) {
    for (const char* name : kRecordNames) key.DeleteValue(Indexed(name, i));
  }

  Saver saver(key);
  VisitWindowHead(*this, saver);
  int32_t count = std::clamp(FloatFormCount, 0, kFloatFormMax);
  RegWriteInt(key, "FloatFormCount", count);
  int pane = 0;
  for (int i = 0; i < count; ++i) {
    SFloatFormLayout& form = floatForms[i];
    int32_t paneCount = std::clamp(form.PaneCount, 0, kFloatPaneMax - pane);
    RegWriteInt(key, Indexed("FloatForm%dPaneCount", i), paneCount);
    VisitFloatForm(form, i, saver);
    for (int j = 0; j < paneCount; ++j, ++pane) VisitFloatPane(floatPanes[pane], pane, saver);
  }
  VisitWindowTail(*this, saver);
  return true;
}

void CAppProfile::SetToolOpacity(int32_t kind, float opacity) {
  switch (kind & 0x7F) {
    case 0: opaquePaint = opacity; break;
    case 4: opaqueSeedFill = opacity; break;
    case 10: opaqueDraw = opacity; break;
    case 11:
    case 13: opaqueAreaFill = opacity; break;
    case 12: opaqueLine = opacity; break;
    case 14: opaqueFont = opacity; break;
    case 19: opaqueGradate = opacity; break;
    default: break;
  }
}

int32_t CAppProfile::FloatPaneTotal() const {
  int32_t total = 0;
  int32_t count = std::clamp(FloatFormCount, 0, kFloatFormMax);
  for (int i = 0; i < count; ++i) {
    total += std::clamp(floatForms[i].PaneCount, 0, kFloatPaneMax - total);
  }
  return total;
}

CAppProfile& AppProfile() {
  std::unique_ptr<CAppProfile>& slot = ProfileSlot();
  if (!slot) slot = std::make_unique<CAppProfile>();
  return *slot;
}

void ResetAppProfile() { ProfileSlot() = std::make_unique<CAppProfile>(); }

}  // namespace tf
