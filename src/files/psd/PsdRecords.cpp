#include "files/psd/PsdRecords.h"

#include <cstring>

namespace tf {

uint8_t MapPsdCode(int32_t code) {
  switch (((code % 128) + 128) % 128) {
    case 0: return 0;
    case 1: return 64;
    case 2: return 38;
    case 3: return 1;
    case 4: return 61;
    case 5: return 52;
    case 6: case 12: case 13: return 62;
    case 7: return 63;
    case 8: case 9: return 3;
    case 16: return 6;
    case 17: return 9;
    case 18: return 8;
    case 20: return 65;
    case 21: return 66;
    default: return 2;
  }
}

namespace {

constexpr const char* kBlendKeys[22] = {
    "mul ", "lddg", "fsub", "norm", "scrn", "over", "hLit", "sLit", "diff", "smud", "dark",
    "lite", "idiv", "div ", "hue ", "sat ", "colr", "lum ", "lbrn", "lLit", "vLit", "pLit",
};

}  // namespace

const char* PsdBlendKey(uint8_t mode) { return mode < 22 ? kBlendKeys[mode] : kBlendKeys[3]; }

uint8_t PsdBlendModeOfKey(const char key[4]) {
  for (uint8_t mode = 0; mode < 22; ++mode)
    if (std::memcmp(kBlendKeys[mode], key, 4) == 0) return mode;
  return 3;
}

std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c == 0) break;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<uint16_t> Utf8ToUtf16(const std::string& utf8) {
  std::vector<uint16_t> out;
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t b = static_cast<uint8_t>(utf8[i]);
    uint32_t c = 0xFFFD;
    size_t extra = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    }
    ++i;
    for (size_t k = 0; k < extra; ++k, ++i) {
      if (i >= utf8.size() || (static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80) {
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (static_cast<uint8_t>(utf8[i]) & 0x3F);
    }
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<uint16_t>(c > 0xFFFF ? 0xFFFD : c));
    }
  }
  return out;
}

}  // namespace tf
