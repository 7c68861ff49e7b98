// Palette files: the program's .tpl, Adobe Color Swatch .aco (version 1) and the text palettes.
#pragma once
// Readers and writers of the four palette formats, chosen by extension (case-insensitive):
//   .tpl  "TPAL", little-endian: layout bytes, count, colours as 32-bit values
//   .pcs  text lines ending in CR      .txt  the same lines ending in CR LF
//   .aco  Adobe Color Swatch version 1: 16-bit big-endian version, count, records of
//         (colour space, w, x, y, z)
// Colours are 0x00RRGGBB (blue in the low byte); the top byte carries the colour space of an
// .aco colour: 0 RGB, 1 HSB, 2 grey, 3 CMYK.
#include <cstdint>
#include <string>
#include <vector>

namespace tf {

class Stream;

enum PaletteKind : int32_t {
  kPaletteNone = 0,
  kPaletteTpl = 1,
  kPalettePcs = 2,
  kPaletteTxt = 3,
  kPaletteAco = 4
};

// The colour spaces an .aco colour came from, as the top byte of the colour.
enum : uint8_t { kSwatchFromRgb = 0, kSwatchFromHsb = 1, kSwatchFromGrey = 2, kSwatchFromCmyk = 3 };

PaletteKind PaletteKindOf(const std::string& path);

// What a palette reader gives.
struct SPaletteData {
  std::vector<uint32_t> colours;
  int32_t announced = 0;  // the colours the file announces
  // Layout (.tpl and text palettes): cell size and columns and rows, clamped to 8..64 and
  // 1..64 when read; hasLayout tells whether the format carries them.
  bool hasLayout = false;
  int32_t cellWidth = 0, cellHeight = 0, columns = 0, rows = 0;
};

// Each reads the whole file's bytes. The result: the number of colours read, -1 when the data
// is not of the format (wrong magic, unreadable).
int32_t ReadPaletteTpl(const std::vector<uint8_t>& bytes, SPaletteData& out);
int32_t ReadPaletteText(const std::vector<uint8_t>& bytes, SPaletteData& out);
// A version other than 1 shows "Invalid ACO version!" and reads nothing (0).
int32_t ReadPaletteAco(const std::vector<uint8_t>& bytes, SPaletteData& out);

// The writers; false on a short write.
bool WritePaletteTpl(Stream& stream, const std::vector<uint32_t>& colours, int32_t cellWidth, int32_t cellHeight,
                     int32_t columns, int32_t rows);
// Lines end in CR, or CR LF when crlf.
bool WritePaletteText(Stream& stream, const std::vector<uint32_t>& colours, int32_t cellWidth, int32_t cellHeight,
                      int32_t columns, int32_t rows, bool crlf);
// Every colour as RGB; false for more than 65535 colours.
bool WritePaletteAco(Stream& stream, const std::vector<uint32_t>& colours);

}  // namespace tf
