// The records the PSD reader and writer exchange with the importer and exporter, the reader's
// and writer's result codes and the blend-key table.
#pragma once
// These records live in memory only (nothing stores their bytes); the file itself is big-endian
// PSD version 1 (see PsdReader.h and PsdWriter.h).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "raster/Geometry.h"

namespace tf {

// Result codes of the PSD reader and writer. ExportPsdFile hands them to the user through
// MapPsdCode, so each is chosen to land on the program code of the same meaning.
enum PsdCode : uint8_t {
  kPsdOk = 0,
  kPsdBadArgument = 1,   // a request the handle cannot serve (index, channel, state)
  kPsdNoData = 2,        // the part asked for is not in the file
  kPsdNoMemory = 3,      // -> 1
  kPsdUnsupported = 4,   // depth, mode or compression the reader does not handle
  kPsdNotPsd = 5,        // -> 52: no PSD signature, or a version other than 1
  kPsdCorrupt = 6,       // a length, count or rectangle that does not fit its section
  kPsdCallback = 7,      // a writer callback reported failure
  kPsdException = 8,     // -> 3
  kPsdBadPacked = 12,    // PackBits or zip data that does not decode to the rows
  kPsdBadSize = 13,      // sides, channel or layer counts out of range
  kPsdOpenFailed = 16,   // -> 6
  kPsdShortRead = 17,    // -> 9
  kPsdShortWrite = 18,   // -> 8
  kPsdNoHeader = 20,     // write before a header was given
  kPsdTooLarge = 21,     // a section the format's 32-bit lengths cannot hold
};

// Program code of a reader or writer code (taken modulo 128).
uint8_t MapPsdCode(int32_t code);

// Limits the reader holds files to.
inline constexpr int32_t kPsdMaxSide = 10000;      // the canvas limit
inline constexpr int32_t kPsdMaxChannels = 56;     // per layer and in the header
inline constexpr int32_t kPsdMaxLayers = 10000;    // the layer stack's limit
inline constexpr int32_t kPsdMaxStoreSide = 65536; // a layer store side the importer accepts

// Colour modes of the header record (not PSD's own numbers).
enum PsdColorMode : int32_t { kPsdModeGrey = 0, kPsdModeRgb = 1, kPsdModeBitmap = 3 };
// Other PSD modes are given as this plus PSD's number.
inline constexpr int32_t kPsdModeOther = 0x10;

// Layer flags.
inline constexpr uint8_t kPsdFlagProtected = 0x1;
inline constexpr uint8_t kPsdFlagHidden = 0x2;
inline constexpr uint8_t kPsdFlagWritten = 0x8;
inline constexpr uint8_t kPsdFlagDivider = 0x10;  // with 0x8: a group divider, read as hidden

// Channel ids.
inline constexpr int32_t kPsdChannelRed = 0;
inline constexpr int32_t kPsdChannelGreen = 1;
inline constexpr int32_t kPsdChannelBlue = 2;
inline constexpr int32_t kPsdChannelAlpha = -1;
inline constexpr int32_t kPsdChannelMask = -2;

// The whole-file header.
struct SPsdHeader {
  int32_t bitsPerPixel = 0;  // colour data: depth x colour channels (24 when written)
  int32_t reserved = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolutionX = 0;  // dots per inch
  int32_t resolutionY = 0;
  int32_t colorMode = 0;      // PsdColorMode
  int32_t colorChannels = 0;  // written 3
  int32_t allChannels = 0;    // channels of the merged picture
  int32_t layerCount = 0;
  int32_t activeLayer = 0;
  int32_t layerNameCounter = 0;  // counter + 1
  uint8_t mergedAlpha = 0;       // the merged picture carries a transparency channel
  uint8_t extraChannels = 0;     // 0xFF when there are more channels than colour channels
  uint8_t extraChannels2 = 0;
  uint8_t reserved2 = 0;
};

// One layer.
struct SPsdLayerRecord {
  int32_t index = 0;   // position in the stack, 0 at the bottom
  int32_t number = 0;  // written: unique id + 1; read: negative marks default names
  int32_t channelCount = 0;
  TRect rect{0, 0, 0, 0};  // canvas coordinates
  uint16_t blendMode = 3;
  char blendKey[4] = {0, 0, 0, 0};  // "diss" for dissolve, else zero (the mode decides)
  uint8_t opacity = 255;
  uint8_t flags = 0;
  std::string name;                    // code page 932 bytes, at most 255 written
  std::optional<std::string> useName;  // the name to use (read: from 'luni'), code page 932
};

// One channel's pixels: one byte per pixel, rows top to bottom.
struct SPsdChannel {
  int32_t layer = 0;   // layer channels
  int32_t number = 0;  // 0-based
  int32_t id = 0;
  std::vector<uint8_t> pixels;  // capacity kept between channels
  int64_t bytes = 0;            // bytes in it
  TRect rect{0, 0, 0, 0};       // merged channels: 0, 0, width, height
  int32_t width = 0;            // what the writer expects of a layer channel
  int32_t height = 0;
  std::string name;  // extra channel name (code page 932)
};

// Blend mode id to PSD key and back: one table both ways; an unknown key reads as 3.
const char* PsdBlendKey(uint8_t mode);
uint8_t PsdBlendModeOfKey(const char key[4]);
inline bool PsdIsDissolveKey(const char key[4]) {
  return key[0] == 'd' && key[1] == 'i' && key[2] == 's' && key[3] == 's';
}

// UTF-16 code units (as 'luni' blocks hold them) to UTF-8 and back; unpaired surrogates become
// U+FFFD.
std::string Utf16ToUtf8(const std::vector<uint16_t>& units);
std::vector<uint16_t> Utf8ToUtf16(const std::string& utf8);

}  // namespace tf
