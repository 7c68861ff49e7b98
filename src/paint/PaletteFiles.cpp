#include "paint/PaletteFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "platform/Warning.h"
#include "raster/ColorMath.h"
#include "raster/Geometry.h"
#include "raster/SmallRoutines.h"

namespace tf {

namespace {

uint32_t MakeColour(uint8_t top, uint32_t r, uint32_t g, uint32_t b) {
  return uint32_t{top} << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
void StoreBE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

void ClampLayout(SPaletteData& out) {
  out.cellWidth = ClampInt(out.cellWidth, 8, 64);
  out.cellHeight = ClampInt(out.cellHeight, 8, 64);
  out.columns = ClampInt(out.columns, 1, 64);
  out.rows = ClampInt(out.rows, 1, 64);
}

// Whether the text at p starts with the prefix, letters compared case-insensitively.
bool StartsWithNoCase(const char* p, const char* prefix) {
  for (; *prefix != '\0'; ++p, ++prefix)
    if (std::toupper(static_cast<unsigned char>(*p)) != std::toupper(static_cast<unsigned char>(*prefix)))
      return false;
  return true;
}

}  // namespace

PaletteKind PaletteKindOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return kPaletteNone;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".tpl") return kPaletteTpl;
  if (ext == ".pcs") return kPalettePcs;
  if (ext == ".txt") return kPaletteTxt;
  if (ext == ".aco") return kPaletteAco;
  return kPaletteNone;
}

int32_t ReadPaletteTpl(const std::vector<uint8_t>& bytes, SPaletteData& out) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "TPAL", 4) != 0) return -1;
  out.hasLayout = true;
  out.cellWidth = bytes.size() > 8 ? bytes[8] : 0;
  out.cellHeight = bytes.size() > 9 ? bytes[9] : 0;
  out.columns = bytes.size() > 10 ? bytes[10] : 0;
  out.rows = bytes.size() > 11 ? bytes[11] : 0;
  const uint32_t count = bytes.size() >= 16 ? LoadU32(bytes.data() + 12) : 0;
  out.announced = static_cast<int32_t>(std::min<uint32_t>(count, INT32_MAX));
  // The count comes from the file: room only for the colours the bytes can hold.
  const size_t available = bytes.size() > 20 ? (bytes.size() - 20) / 4 : 0;
  const size_t n = std::min<size_t>(count, available);
  out.colours.resize(n);
  for (size_t i = 0; i < n; ++i) out.colours[i] = LoadU32(bytes.data() + 20 + 4 * i);
  ClampLayout(out);
  return static_cast<int32_t>(n);
}

int32_t ReadPaletteText(const std::vector<uint8_t>& bytes, SPaletteData& out) {
  out.hasLayout = true;
  out.cellWidth = out.cellHeight = out.columns = out.rows = -1;
  out.colours.reserve(256);
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    std::string line(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(end));
    // The parser reads C strings: an embedded zero ends the line.
    line = std::string(line.c_str());
    start = end + 1;
    bool any = false;
    int32_t rgb[3] = {0, 0, 0};
    const char* p = line.c_str();
    while (*p != '\0') {
      if (*p == ' ' || *p == ',') {
        ++p;
        continue;
      }
      const char* prefix = nullptr;
      int32_t* target = nullptr;
      int32_t colourByte = -1;
      switch (std::toupper(static_cast<unsigned char>(*p))) {
        case 'R':
          if (StartsWithNoCase(p, "ROWS ")) {
            prefix = "ROWS ";
            target = &out.rows;
          } else if (StartsWithNoCase(p, "R:")) {
            prefix = "R:";
            colourByte = 0;
          }
          break;
        case 'C':
          if (StartsWithNoCase(p, "COLS ")) prefix = "COLS ", target = &out.columns;
          break;
        case 'W':
          if (StartsWithNoCase(p, "WIDTH ")) prefix = "WIDTH ", target = &out.cellWidth;
          break;
        case 'H':
          if (StartsWithNoCase(p, "HEIGHT ")) prefix = "HEIGHT ", target = &out.cellHeight;
          break;
        case 'T':
          if (StartsWithNoCase(p, "TEXTHEIGHT ")) prefix = "TEXTHEIGHT ";
          break;
        case 'S':
          if (StartsWithNoCase(p, "SPACING ")) prefix = "SPACING ";
          break;
        case 'G':
          if (StartsWithNoCase(p, "G:")) prefix = "G:", colourByte = 1;
          break;
        case 'B':
          if (StartsWithNoCase(p, "B:")) prefix = "B:", colourByte = 2;
          break;
        default: break;
      }
      if (prefix == nullptr) {
        while (*p != '\0' && *p != ' ') ++p;  // an unknown token
        continue;
      }
      p += std::strlen(prefix);
      int32_t value = 0, used = 0;
      const bool number = ParseDecimal(p, value, used);
      p += used;
      if (!number) continue;
      if (target != nullptr) *target = value;
      if (colourByte >= 0) {
        rgb[colourByte] = value & 0xFF;
        any = true;
      }
    }
    if (any)
      out.colours.push_back(MakeColour(0, static_cast<uint32_t>(rgb[0]), static_cast<uint32_t>(rgb[1]),
                                       static_cast<uint32_t>(rgb[2])));
  }
  out.announced = static_cast<int32_t>(out.colours.size());
  if (!out.colours.empty()) ClampLayout(out);
  return static_cast<int32_t>(out.colours.size());
}

int32_t ReadPaletteAco(const std::vector<uint8_t>& bytes, SPaletteData& out) {
  if (bytes.size() < 4) return bytes.size() < 2 ? -1 : 0;
  if (LoadBE16(bytes.data()) != 1) {
    ShowWarning("Invalid ACO version!");
    return 0;
  }
  const int32_t count = LoadBE16(bytes.data() + 2);
  out.announced = count;
  const size_t available = (bytes.size() - 4) / 10;
  out.colours.reserve(std::min<size_t>(static_cast<size_t>(count), available));
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = 4 + 10 * static_cast<size_t>(i);
    if (at + 10 > bytes.size()) break;  // a short record ends the reading
    const uint8_t* r = bytes.data() + at;
    const uint32_t space = LoadBE16(r), w = LoadBE16(r + 2), x = LoadBE16(r + 4), y = LoadBE16(r + 6),
                   z = LoadBE16(r + 8);
    switch (space) {
      case 0:
        out.colours.push_back(MakeColour(kSwatchFromRgb, w * 255 / 65535, x * 255 / 65535, y * 255 / 65535));
        break;
      case 1: {
        SHSVFix hsv;
        hsv.hue = static_cast<int32_t>(w * 360);
        hsv.saturation = static_cast<int32_t>(int64_t{x} * kFix255 / 65535);
        hsv.value = static_cast<int32_t>(int64_t{y} * kFix255 / 65535);
        uint8_t rgb[3];
        HSVToRGB(hsv, rgb);
        out.colours.push_back(MakeColour(kSwatchFromHsb, rgb[0], rgb[1], rgb[2]));
        break;
      }
      case 2: {
        auto ink = [](uint32_t c) { return static_cast<int32_t>(int64_t{65535 - c} * kFix255 / 65535); };
        SCMYKFix cmyk{ink(w), ink(x), ink(y), ink(z)};
        uint8_t rgb[3];
        CMYKToRGB(cmyk, rgb);
        out.colours.push_back(MakeColour(kSwatchFromCmyk, rgb[0], rgb[1], rgb[2]));
        break;
      }
      case 8: {
        const uint32_t g = std::min<uint32_t>(w * 255 / 10000, 255);
        out.colours.push_back(MakeColour(kSwatchFromGrey, g, g, g));
        break;
      }
      default: break;  // other spaces are skipped and not counted
    }
  }
  return static_cast<int32_t>(out.colours.size());
}

bool WritePaletteTpl(Stream& stream, const std::vector<uint32_t>& colours, int32_t cellWidth, int32_t cellHeight,
                     int32_t columns, int32_t rows) {
  std::vector<uint8_t> bytes(20 + 4 * colours.size(), 0);
  std::memcpy(bytes.data(), "TPAL", 4);
  StoreU32(bytes.data() + 4, static_cast<uint32_t>(colours.size() * 4 + 12));
  bytes[8] = static_cast<uint8_t>(cellWidth);
  bytes[9] = static_cast<uint8_t>(cellHeight);
  bytes[10] = static_cast<uint8_t>(columns);
  bytes[11] = static_cast<uint8_t>(rows);
  StoreU32(bytes.data() + 12, static_cast<uint32_t>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) StoreU32(bytes.data() + 20 + 4 * i, colours[i]);
  return stream.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
}

bool WritePaletteText(Stream& stream, const std::vector<uint32_t>& colours, int32_t cellWidth, int32_t cellHeight,
                      int32_t columns, int32_t rows, bool crlf) {
  std::string text;
  const char* end = crlf ? "\r\n" : "\r";
  char line[64];
  auto add = [&](const char* format, int32_t v) {
    std::snprintf(line, sizeof line, format, v);
    text += line;
    text += end;
  };
  add("ROWS %d", rows);
  add("COLS %d", columns);
  add("WIDTH %d", cellWidth);
  add("HEIGHT %d", cellHeight);
  add("TEXTHEIGHT %d", 0);
  add("SPACING %d", 1);
  for (uint32_t c : colours) {
    std::snprintf(line, sizeof line, "R:%3.3d, G:%3.3d, B:%3.3d", static_cast<int>((c >> 16) & 0xFF),
                  static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF));
    text += line;
    text += end;
  }
  return stream.WriteExact(text.data(), static_cast<int64_t>(text.size()));
}

bool WritePaletteAco(Stream& stream, const std::vector<uint32_t>& colours) {
  if (colours.size() > 0xFFFF) return false;
  std::vector<uint8_t> bytes(4 + 10 * colours.size(), 0);
  StoreBE16(bytes.data(), 1);
  StoreBE16(bytes.data() + 2, static_cast<uint32_t>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) {
    uint8_t* r = bytes.data() + 4 + 10 * i;
    const uint32_t c = colours[i];
    StoreBE16(r + 2, ((c >> 16) & 0xFF) * 65535 / 255);
    StoreBE16(r + 4, ((c >> 8) & 0xFF) * 65535 / 255);
    StoreBE16(r + 6, (c & 0xFF) * 65535 / 255);
  }
  return stream.WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace tf
