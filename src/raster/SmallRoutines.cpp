#include "raster/SmallRoutines.h"

#include <sys/stat.h>

#include <cstring>

#include "platform/Screen.h"

namespace tf {

std::string ExtractFileTitle(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + '/' + name;
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

char* StrNewCopy(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  char* copy = nullptr;
  if (!TryGetMem(copy, static_cast<int64_t>(length) + 2)) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  copy[length + 1] = '\0';
  return copy;
}

bool ParseDecimal(const char* text, int32_t& value, int32_t& used) {
  value = 0;
  used = 0;
  if (text == nullptr) return false;
  int32_t i = 0;
  while (text[i] == ' ') ++i;
  if (!IsDigitChar(text[i])) {
    used = i;
    return false;
  }
  // Accumulated unsigned so that a long run of digits wraps instead of overflowing.
  uint32_t v = 0;
  while (IsDigitChar(text[i])) {
    v = v * 10u + static_cast<uint32_t>(text[i] - '0');
    ++i;
  }
  value = static_cast<int32_t>(v);
  used = i;
  return true;
}

int32_t StrScanLen(const char* text, char c) {
  if (text == nullptr) return 0;
  int32_t i = 0;
  while (text[i] != '\0' && text[i] != c) ++i;
  return i;
}

bool StreamWriteCStr(Stream& stream, const char* text) {
  if (text == nullptr) return true;
  return stream.WriteExact(text, static_cast<int64_t>(std::strlen(text)));
}

namespace {

// Position on one axis: the least move that puts [pos, pos + size) inside the area; a window
// larger than the area goes to the area's start.
int32_t FitAxis(int32_t pos, int32_t size, int32_t areaStart, int32_t areaSize) {
  int64_t last = int64_t{areaStart} + areaSize - size;
  if (last < areaStart) return areaStart;
  if (pos < areaStart) return areaStart;
  if (pos > last) return static_cast<int32_t>(last);
  return pos;
}

}  // namespace

bool FitWindowToScreen(WindowHandle window, TPoint& position) {
  WindowHost& host = GetWindowHost();
  ScreenRect screen = host.VirtualScreen();
  if (screen.width == 0) screen.width = GetPrimaryScreenWidth();
  if (screen.height == 0) screen.height = GetPrimaryScreenHeight();
  ScreenRect rect;
  if (screen.width <= 0 || screen.height <= 0 || !host.GetWindowRect(window, rect)) return false;
  SRectWH r{rect.left, rect.top, rect.width, rect.height};
  SRectWH area{screen.left, screen.top, screen.width, screen.height};
  if (!KeepRectInside(r, area)) {
    r.left = FitAxis(rect.left, rect.width, area.left, area.width);
    r.top = FitAxis(rect.top, rect.height, area.top, area.height);
  }
  position = TPoint{r.left, r.top};
  return r.left != rect.left || r.top != rect.top;
}

bool KeepFormOnScreen(WindowHandle window) {
  TPoint position{0, 0};
  if (!FitWindowToScreen(window, position)) return false;
  GetWindowHost().MoveWindow(window, position.x, position.y);
  return true;
}

}  // namespace tf
