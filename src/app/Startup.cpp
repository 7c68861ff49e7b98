// The start of the program without the window system.
#include "app/Startup.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "app/AppProfile.h"
#include "document/BlendMode.h"
#include "platform/Confirm.h"
#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Screen.h"
#include "platform/Warning.h"
#include "raster/SmallRoutines.h"

namespace tf {

bool RenderOrViewerMode = false;
bool ViewerMode = false;
std::string OutputFolder;
int32_t ViewerWaitSeconds = 0;
WindowHandle ResultWindow = 0;

void ResetStartupValues() {
  RenderOrViewerMode = false;
  ViewerMode = false;
  OutputFolder.clear();
  ViewerWaitSeconds = 0;
  ResultWindow = 0;
}

bool IsSwitchArg(const std::string& argument, std::string& rest) {
  if (argument.empty()) return false;
  if (argument[0] == '/') {
    // An absolute path: it exists, or its second "/" comes before any ":".
    const size_t slash = argument.find('/', 1);
    const size_t colon = argument.find(':', 1);
    if (slash != std::string::npos && (colon == std::string::npos || slash < colon)) return false;
    if (FileExists(argument)) return false;
  } else if (argument[0] != '-') {
    return false;
  }
  rest = argument.substr(1);
  return true;
}

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Lower(a[i]) != b[i]) return false;
  }
  return true;
}

// The value after the letter: one ":" skipped when it follows.
std::string ValueAfterLetter(const std::string& rest) {
  std::string value = rest.substr(1);
  if (!value.empty() && value[0] == ':') value.erase(0, 1);
  return value;
}

// A 32-bit integer: decimal with an optional sign, or "$" and up to eight hexadecimal digits.
// False for no digits, other characters, or a value outside 32 bits.
bool ParseSwitchInteger(const std::string& text, int32_t& value) {
  if (text.empty()) return false;
  if (text[0] == '$') {
    if (text.size() < 2 || text.size() > 9) return false;
    uint32_t v = 0;
    for (size_t i = 1; i < text.size(); ++i) {
      const char c = Lower(text[i]);
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<uint32_t>(c - 'a' + 10);
      } else {
        return false;
      }
      v = (v << 4) | digit;
    }
    value = static_cast<int32_t>(v);
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigitChar(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

void WarnUnknownSwitch(const std::string& argument) {
  ShowWarningBox(TxFormat(TextId::UnknownSwitch, argument.c_str()), 0, nullptr);
}

}  // namespace

void ScanSwitches(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    std::string rest;
    if (!IsSwitchArg(argument, rest)) continue;
    const char letter = rest.empty() ? '\0' : Lower(rest[0]);
    if (EqualsNoCase(rest, "render")) {
      RenderOrViewerMode = true;
      ViewerMode = false;
    } else if (EqualsNoCase(rest, "viewer")) {
      RenderOrViewerMode = true;
      ViewerMode = true;
    } else if (letter == 'o') {
      OutputFolder = ValueAfterLetter(rest);
    } else if (letter == 't') {
      const std::string value = ValueAfterLetter(rest);
      int32_t seconds = 10;
      if (!value.empty() && !ParseSwitchInteger(value, seconds)) {
        WarnUnknownSwitch(argument);
        continue;
      }
      ViewerWaitSeconds = seconds;
    } else if (letter == 'w') {
      int32_t window = 0;
      if (!ParseSwitchInteger(ValueAfterLetter(rest), window)) {
        WarnUnknownSwitch(argument);
        continue;
      }
      ResultWindow = static_cast<WindowHandle>(window);
    } else {
      WarnUnknownSwitch(argument);
    }
  }
}

bool AsksUnattendedRun(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    std::string rest;
    if (IsSwitchArg(argument, rest) && (EqualsNoCase(rest, "render") || EqualsNoCase(rest, "viewer"))) return true;
  }
  return false;
}

std::string ChoosePlatform(const std::vector<std::string>& arguments, const char* qpaPlatform, const char* display,
                           const char* waylandDisplay) {
  if (qpaPlatform != nullptr && *qpaPlatform != '\0') return {};
  const bool hasDisplay = (display != nullptr && *display != '\0') || (waylandDisplay != nullptr && *waylandDisplay != '\0');
  if (!hasDisplay && AsksUnattendedRun(arguments)) return "offscreen";
  return "xcb";
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::string folder(PATH_MAX, '\0');
  if (::getcwd(folder.data(), folder.size()) == nullptr) return path;
  folder.resize(std::strlen(folder.c_str()));
  std::string relative = path;
  while (relative.size() >= 2 && relative[0] == '.' && relative[1] == '/') relative.erase(0, 2);
  return JoinPath(folder, relative);
}

uint32_t QueryReply() {
  if (!RenderOrViewerMode) return kInstanceReplyNormal;
  return ViewerMode ? kInstanceReplyViewer : kInstanceReplyRender;
}

int32_t StartupChecks(std::vector<std::string>& arguments, InstanceHost& instance) {
  // 1. Colour depth.
  if (GetDesktopBitsPerPixel() < 15) {
    if (AskConfirm(TxFormat(TextId::PaletteModeQuestion, Tx(TextId::ProductName)), kButtonsYesNo) != kResultYes) {
      return 1;
    }
  }
  // 2. Switches.
  ScanSwitches(arguments);
  // 3. Single instance.
  if (RenderOrViewerMode) return 0;
  const int32_t lock = instance.TakeInstanceLock();
  if (lock < 0) return -1;
  if (lock > 0) return 0;
  if (instance.QueryRunningInstance() != kInstanceReplyNormal) return -2;
  std::vector<std::string> kept;
  bool handing = true;
  for (const std::string& argument : arguments) {
    std::string rest;
    if (argument.empty() || IsSwitchArg(argument, rest)) {
      kept.push_back(argument);
      continue;
    }
    if (handing && instance.SendPath(AbsolutePath(argument))) continue;
    // Not acknowledged: the instance went away or refused it; this start opens it (and the rest).
    handing = false;
    kept.push_back(argument);
  }
  if (!handing) {
    DebugOut("StartupChecks: the running instance stopped taking files; opening the rest here\n");
    arguments = std::move(kept);
    return -2;
  }
  instance.AskToRaise();
  return 1;
}

std::string LanguageModulePath(const std::string& programFolder, const std::string& programFileName) {
  std::string name = programFileName;
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1)) name.erase(dot);
  return JoinPath(programFolder, name + ".enu");
}

bool LoadLanguageModule(CAppProfile& profile) {
  profile.UiLanguage = 2;
  const std::string path = LanguageModulePath(profile.programFolder, profile.programFileName);
  if (!LoadTextModule(path)) {
    ShowWarning(TxFormat(TextId::LanguageModuleFailed, path.c_str()));
    return false;
  }
  LoadBlendModeNames();
  return true;
}

bool InitApplication(CAppProfile& profile) {
  profile.LoadAll();
  return LoadLanguageModule(profile);
}

}  // namespace tf
