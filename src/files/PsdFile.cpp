#include "files/PsdFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "document/LayerData.h"
#include "document/LayerMngr.h"
#include "document/Mask.h"
#include "files/DocChunkParts.h"
#include "files/psd/PsdReader.h"
#include "files/psd/PsdWriter.h"
#include "paper/FlowImage.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Host.h"
#include "platform/Progress.h"
#include "platform/ResourceText.h"
#include "platform/Text.h"
#include "platform/Warning.h"
#include "raster/ChunkStream.h"
#include "raster/BlockVCH.h"
#include "raster/BlockVMTC.h"
#include "raster/ScaleImage.h"

namespace tf {

namespace {

// Texts (UTF-8; layer and mask names are turned into code page 932 where they are made).
const char* BackgroundWord() { return Tx(TextId::PsdBackgroundWord); }
const char* ReadErrorText() { return Tx(TextId::PsdReadErrorText); }
const char* NumberedName() { return Tx(TextId::PsdNumberedName); }
const char* NumberedDefaultName() { return Tx(TextId::PsdNumberedDefaultName); }
const char* PlainName() { return Tx(TextId::PsdPlainName); }
const char* PlainDefaultName() { return Tx(TextId::PsdPlainDefaultName); }

constexpr int32_t kThumbnailBox = 128;
constexpr int32_t kMaxExportChannels = 24;
constexpr uint8_t kNormalMode = 3;

std::string NameText(const char* format, const char* word, int32_t number) {
  return Utf8ToCp932(DocFormatCode(format, word, number));
}

// Writes a plane of bytes (rows of width at srcStride) into lanes of a tiled store at (x, y),
// clipped to the store; every tile it touches is committed first. False when a commit is refused.
bool WritePlane(CBlockImage& store, const int32_t* lanes, int32_t laneCount, int32_t x, int32_t y, int32_t width,
                int32_t height, const uint8_t* src, int64_t srcStride) {
  SRectWH rect{x, y, width, height};
  if (!store.ClipRect(rect)) return true;
  src += int64_t{rect.top - y} * srcStride + (rect.left - x);
  if (!store.PrepareRect(rect, false)) return false;
  const int32_t bpp = store.BytesPerPixel();
  const int32_t tile = store.TileWidth();
  const int32_t shift = store.TileShift();
  const int32_t mask = store.TileMask();
  for (int32_t row = rect.top; row < rect.top + rect.height;) {
    const int32_t rows = std::min(tile - (row & mask), rect.top + rect.height - row);
    for (int32_t column = rect.left; column < rect.left + rect.width;) {
      const int32_t run = std::min(tile - (column & mask), rect.left + rect.width - column);
      STileInfo* t = store.GetTile(column >> shift, row >> shift, false);
      if (t == nullptr) return false;
      // A whole 8-bit tile of one value stays uncommitted with that value as its fill.
      if (bpp == 1 && !t->committed && store.PieceIsWholeTile(SRectWH{column, row, run, rows})) {
        const uint8_t* first = src + int64_t{row - rect.top} * srcStride + (column - rect.left);
        bool uniform = true;
        for (int32_t r = 0; r < rows && uniform; ++r) {
          const uint8_t* s = first + int64_t{r} * srcStride;
          for (int32_t i = 0; i < run && uniform; ++i) uniform = s[i] == first[0];
        }
        if (uniform) {
          t->fill = first[0];
          column += run;
          continue;
        }
      }
      if (!t->committed) t = store.GetTile(column >> shift, row >> shift, true);
      if (t == nullptr || !t->committed) return false;
      for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* s = src + int64_t{row + r - rect.top} * srcStride + (column - rect.left);
        uint8_t* d = t->block + (int64_t{(row + r) & mask} * tile + (column & mask)) * bpp;
        if (bpp == 1) {
          std::memcpy(d, s, static_cast<size_t>(run));
          continue;
        }
        for (int32_t l = 0; l < laneCount; ++l) {
          uint8_t* dl = d + lanes[l];
          for (int32_t i = 0; i < run; ++i) dl[i * bpp] = s[i];
        }
      }
      column += run;
    }
    row += rows;
  }
  return true;
}

// Pixels B, G, R, A from four planes, n of them.
void InterleaveRow(const uint8_t* b, const uint8_t* g, const uint8_t* r, const uint8_t* a, uint32_t* out,
                   int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i vg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + i));
    const __m128i vr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i));
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i bgLow = _mm_unpacklo_epi8(vb, vg), bgHigh = _mm_unpackhi_epi8(vb, vg);
    const __m128i raLow = _mm_unpacklo_epi8(vr, va), raHigh = _mm_unpackhi_epi8(vr, va);
    __m128i* o = reinterpret_cast<__m128i*>(out + i);
    _mm_storeu_si128(o, _mm_unpacklo_epi16(bgLow, raLow));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLow, raLow));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
  }
#endif
  for (; i < n; ++i) out[i] = uint32_t{b[i]} | uint32_t{g[i]} << 8 | uint32_t{r[i]} << 16 | uint32_t{a[i]} << 24;
}

// Whether rows x n bytes of a plane (rows stride apart) all equal the first.
bool PlaneUniform(const uint8_t* p, int64_t stride, int32_t rows, int32_t n) {
  const uint8_t value = p[0];
  for (int32_t r = 0; r < rows; ++r) {
    const uint8_t* row = p + r * stride;
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
    for (; i + 16 <= n; i += 16)
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)), wanted)) !=
          0xFFFF)
        return false;
#endif
    for (; i < n; ++i)
      if (row[i] != value) return false;
  }
  return true;
}

// Writes a layer's channel planes (rows of width bytes; null: the byte stays) into the store at
// (x, y), clipped to the store; with opaque the alpha byte becomes 255. A whole tile whose
// pixels come out all equal only takes that value as its fill, so that nothing is committed
// for it; every other tile is committed and written. False when a commit is refused.
bool WriteLayerPixels(CBlockVMTC& store, const uint8_t* const planes[4], bool opaque, int32_t x, int32_t y,
                      int32_t width, int32_t height) {
  SRectWH rect{x, y, width, height};
  if (!store.ClipRect(rect)) return true;
  const int64_t skip = int64_t{rect.top - y} * width + (rect.left - x);
  uint32_t keep = 0;
  for (int lane = 0; lane < 4; ++lane)
    if (planes[lane] == nullptr && !(lane == 3 && opaque)) keep |= 0xFFu << (8 * lane);
  const uint32_t forced = opaque && planes[3] == nullptr ? 0xFF000000u : 0u;
  const bool all = planes[0] != nullptr && planes[1] != nullptr && planes[2] != nullptr && planes[3] != nullptr;
  const int32_t tile = store.TileWidth();
  const int32_t shift = store.TileShift();
  const int32_t mask = store.TileMask();
  std::vector<uint32_t> block(static_cast<size_t>(tile) * tile);
  STileInfo scratch{};
  bool refill = false;
  CBlockImage::PendingCommits pending(store);
  struct SDeferredTile {
    STileInfo* tile;
    int64_t at;  // of its first pixel in the planes
    int32_t row;
    int32_t rows;
    int32_t run;
  };
  std::vector<SDeferredTile> deferred;
  for (int32_t row = rect.top; row < rect.top + rect.height;) {
    const int32_t rows = std::min(tile - (row & mask), rect.top + rect.height - row);
    for (int32_t column = rect.left; column < rect.left + rect.width;) {
      const int32_t run = std::min(tile - (column & mask), rect.left + rect.width - column);
      SRectWH piece{column, row, run, rows};
      const int32_t index = (column >> shift) + (row >> shift) * store.TilesAcross();
      const STileInfo& record = store.TileRecord(index, scratch);
      const bool whole = !record.committed && store.PieceIsWholeTile(piece);
      if (whole && all) {
        // Four planes over a whole fresh tile: one value, or interleaved straight into it.
        const int64_t at = skip + int64_t{row - rect.top} * width + (column - rect.left);
        STileInfo* t = store.GetTile(column >> shift, row >> shift, false);
        if (t == nullptr) return false;
        refill = true;
        if (PlaneUniform(planes[0] + at, width, rows, run) && PlaneUniform(planes[1] + at, width, rows, run) &&
            PlaneUniform(planes[2] + at, width, rows, run) && PlaneUniform(planes[3] + at, width, rows, run)) {
          t->fill = uint32_t{planes[0][at]} | uint32_t{planes[1][at]} << 8 | uint32_t{planes[2][at]} << 16 |
                    uint32_t{planes[3][at]} << 24;
        } else {
          if (!pending.Commit(*t, true)) return false;
          deferred.push_back(SDeferredTile{t, at, row, rows, run});
        }
        column += run;
        continue;
      }
      // The piece's pixels, row after row, from the planes over what the tile holds.
      const uint32_t base = record.fill & keep;
      bool uniform = true;
      uint32_t first = 0;
      for (int32_t r = 0; r < rows; ++r) {
        const int64_t at = skip + int64_t{row + r - rect.top} * width + (column - rect.left);
        uint32_t* out = block.data() + static_cast<size_t>(r) * tile;
        if (all) {
          const uint8_t* b = planes[0] + at;
          const uint8_t* g = planes[1] + at;
          const uint8_t* red = planes[2] + at;
          const uint8_t* a = planes[3] + at;
          InterleaveRow(b, g, red, a, out, run);
        } else {
          for (int32_t i = 0; i < run; ++i) out[i] = base | forced;
          for (int lane = 0; lane < 4; ++lane) {
            if (planes[lane] == nullptr) continue;
            const uint8_t* in = planes[lane] + at;
            const int32_t bits = 8 * lane;
            for (int32_t i = 0; i < run; ++i) out[i] |= uint32_t{in[i]} << bits;
          }
        }
        if (whole) {
          if (r == 0) first = out[0];
          uint32_t differ = 0;
          for (int32_t i = 0; i < run; ++i) differ |= out[i] ^ first;
          uniform = uniform && differ == 0;
        }
      }
      if (whole && uniform) {
        // The uncommitted tile reads as its fill; the content rectangles are rebuilt at the end.
        STileInfo* t = store.GetTile(column >> shift, row >> shift, false);
        if (t == nullptr) return false;
        t->fill = first;
        refill = true;
      } else {
        // A whole tile written over every byte is committed without its fill written first.
        STileInfo* t = store.GetTile(column >> shift, row >> shift, false);
        if (t == nullptr) return false;
        if (whole && keep == 0) {
          if (!pending.Commit(*t, true)) return false;
          refill = true;
        } else if (!t->committed) {
          t = store.GetTile(column >> shift, row >> shift, true);
          if (t == nullptr || !t->committed) return false;
        }
        for (int32_t r = 0; r < rows; ++r) {
          uint32_t* dest = reinterpret_cast<uint32_t*>(t->block) + int64_t{(row + r) & mask} * tile + (column & mask);
          const uint32_t* src = block.data() + static_cast<size_t>(r) * tile;
          if (keep == 0) {
            std::memcpy(dest, src, static_cast<size_t>(run) * 4);
          } else {
            for (int32_t i = 0; i < run; ++i) dest[i] = (dest[i] & keep) | (src[i] & ~keep);
          }
        }
      }
      column += run;
    }
    row += rows;
  }
  // The tiles committed for four planes are made resident in long spans, then written.
  pending.PrepareForWrite();
  for (const SDeferredTile& d : deferred)
    for (int32_t r = 0; r < d.rows; ++r) {
      const int64_t o = d.at + int64_t{r} * width;
      InterleaveRow(planes[0] + o, planes[1] + o, planes[2] + o, planes[3] + o,
                    reinterpret_cast<uint32_t*>(d.tile->block) + int64_t{(d.row + r) & mask} * tile, d.run);
    }
  if (refill) store.UpdateContentRects();
  return true;
}

// Reads one byte lane of a store rectangle (inside the store) into rows of rect.width bytes at
// out, without committing anything: untouched and uncommitted tiles give their fill.
void ReadLane(const CBlockImage& store, int32_t lane, const SRectWH& rect, uint8_t* out, int64_t outStride) {
  const int32_t bpp = store.BytesPerPixel();
  const int32_t tile = store.TileWidth();
  const int32_t shift = store.TileShift();
  const int32_t mask = store.TileMask();
  STileInfo scratch{};
  for (int32_t row = rect.top; row < rect.top + rect.height;) {
    const int32_t rows = std::min(tile - (row & mask), rect.top + rect.height - row);
    for (int32_t column = rect.left; column < rect.left + rect.width;) {
      const int32_t run = std::min(tile - (column & mask), rect.left + rect.width - column);
      const int32_t index = (column >> shift) + (row >> shift) * store.TilesAcross();
      const STileInfo& t = store.TileRecord(index, scratch);
      for (int32_t r = 0; r < rows; ++r) {
        uint8_t* o = out + int64_t{row + r - rect.top} * outStride + (column - rect.left);
        if (!t.committed) {
          std::memset(o, static_cast<uint8_t>(t.fill >> (8 * lane)), static_cast<size_t>(run));
          continue;
        }
        const uint8_t* s = t.block + (int64_t{(row + r) & mask} * tile + (column & mask)) * bpp + lane;
        if (bpp == 1) {
          std::memcpy(o, s, static_cast<size_t>(run));
        } else {
          for (int32_t i = 0; i < run; ++i) o[i] = s[i * bpp];
        }
      }
      column += run;
    }
    row += rows;
  }
}

// Resource 1006: length-prefixed names. A length running past the resource ends the list.
std::vector<std::string> ParseAlphaNames(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t length = bytes[at];
    if (length > bytes.size() - at - 1) break;
    names.emplace_back(reinterpret_cast<const char*>(bytes.data() + at + 1), length);
    at += 1 + length;
  }
  return names;
}

class PsdImport {
 public:
  PsdImport(CPsdReader& reader, TPaper& paper, TProgressDlg* dialog, const SPsdHeader& header)
      : reader_(reader), paper_(paper), dialog_(dialog), header_(header) {}

  // The record of file layer fileIndex, inserted at record.index.
  uint8_t ImportLayer(const SPsdLayerRecord& record, int32_t fileIndex);
  uint8_t ImportBackground();
  uint8_t ImportAlphaChannels();

 private:
  CPsdReader& reader_;
  TPaper& paper_;
  TProgressDlg* dialog_;
  const SPsdHeader& header_;
  SPsdChannel channel_;
  std::vector<uint8_t> lanes_[4];  // one layer's channels by the byte they go to
};

uint8_t PsdImport::ImportLayer(const SPsdLayerRecord& record, int32_t fileIndex) {
  const int64_t left = std::min<int64_t>(record.rect.left, 0);
  const int64_t top = std::min<int64_t>(record.rect.top, 0);
  const int64_t right = std::max<int64_t>(record.rect.right, header_.width);
  const int64_t bottom = std::max<int64_t>(record.rect.bottom, header_.height);
  if (right - left > kPsdMaxStoreSide || bottom - top > kPsdMaxStoreSide) return kPsdImportLayer;
  const int32_t storeWidth = static_cast<int32_t>(right - left);
  const int32_t storeHeight = static_cast<int32_t>(bottom - top);
  const bool hidden = (record.flags & kPsdFlagHidden) != 0 ||
                      (record.flags & (kPsdFlagWritten | kPsdFlagDivider)) == (kPsdFlagWritten | kPsdFlagDivider);
  const int32_t index = paper_.InsertLayer(record.index, storeWidth, !hidden, record.opacity,
                                           static_cast<uint8_t>(record.blendMode & 0xFF), storeHeight);
  if (index < 0) return kPsdImportLayer;
  CLayerData& layer = *paper_.GetLayer(index);
  layer.offsetX = static_cast<int32_t>(-left);
  layer.offsetY = static_cast<int32_t>(-top);
  layer.canvasWidth = header_.width;
  layer.canvasHeight = header_.height;
  layer.alphaProtect = (record.flags & kPsdFlagProtected) ? 1 : 0;
  if (PsdIsDissolveKey(record.blendKey)) {
    layer.dissolve = 1;
    layer.dissolveThreshold = record.opacity;
    layer.opacity = 255;
    layer.blendMode = kNormalMode;
  }
  layer.visible = hidden ? 0 : 1;

  if (record.useName) {
    layer.name = *record.useName;
  } else if (!record.name.empty()) {
    layer.name = record.name;
  } else if (index > 0) {
    layer.name = record.number < 0 ? NameText(NumberedDefaultName(), kDocLayerWord, index)
                                   : NameText(NumberedName(), kDocLayerWord, record.number);
  } else {
    layer.name = NameText(record.number < 0 ? PlainDefaultName() : PlainName(), BackgroundWord(), 0);
  }
  ProgressSetStatus(dialog_, DocFormat(kDocLoadingStep, Cp932ToUtf8(layer.name)));

  CBlockVMTC& store = *layer.Store();
  const int32_t x = static_cast<int32_t>(record.rect.left - left);
  const int32_t y = static_cast<int32_t>(record.rect.top - top);
  const int32_t width = static_cast<int32_t>(record.rect.right - record.rect.left);
  const int32_t height = static_cast<int32_t>(record.rect.bottom - record.rect.top);
  // Every channel first, each into the buffer of its byte; then the pixels tile by tile.
  const uint8_t* planes[4] = {nullptr, nullptr, nullptr, nullptr};
  bool any = false;
  for (int32_t number = 0; number < record.channelCount; ++number) {
    channel_.layer = fileIndex;
    channel_.number = number;
    if (reader_.LayerChannel(channel_) != kPsdOk) continue;
    int32_t lane = 0;
    switch (channel_.id) {
      case kPsdChannelRed: lane = 2; break;
      case kPsdChannelGreen: lane = 1; break;
      case kPsdChannelBlue: lane = 0; break;
      case kPsdChannelAlpha: lane = 3; break;
      default: continue;  // no byte of ours
    }
    // A channel that did not decode to the rectangle's area is left out.
    if (channel_.width != width || channel_.height != height || channel_.bytes != int64_t{width} * height) continue;
    lanes_[lane].swap(channel_.pixels);
    planes[lane] = lanes_[lane].data();
    if (header_.colorMode == kPsdModeGrey && lane == 2) planes[0] = planes[1] = planes[2];
    any = true;
  }
  if (!any) return kPsdImportNoLayer;
  // Without a transparency channel the layer's rectangle is opaque.
  // Whole tiles of one value stay uncommitted as they are written: no compaction is needed.
  if (!WriteLayerPixels(store, planes, planes[3] == nullptr, x, y, width, height)) return kFileNoMemory;
  paper_.UpdateLayerThumbnail(index);
  return kFileOk;
}

uint8_t PsdImport::ImportBackground() {
  const int32_t index = paper_.InsertLayer(0, header_.width, true, 255, kNormalMode, header_.height);
  if (index < 0) return kPsdImportLayer;
  CLayerData& layer = *paper_.GetLayer(index);
  CBlockVMTC& store = *layer.Store();
  bool any = false;
  const int32_t colours = std::min(header_.colorChannels, 3);
  std::vector<uint8_t> expanded;
  for (int32_t number = 0; number < colours; ++number) {
    channel_.number = number;
    if (reader_.NextMergedChannel(channel_) != kPsdOk) continue;
    const int32_t width = channel_.rect.right - channel_.rect.left;
    const int32_t height = channel_.rect.bottom - channel_.rect.top;
    int32_t lanes[3] = {0, 1, 2};
    int32_t laneCount = 1;
    const uint8_t* rows = channel_.pixels.data();
    if (header_.colorMode == kPsdModeGrey) {
      laneCount = 3;
    } else if (header_.colorMode == kPsdModeRgb) {
      lanes[0] = 2 - number;
    } else if (header_.colorMode == kPsdModeBitmap) {
      // Rows of (width + 7) / 8 bytes, a set bit black.
      const int64_t rowBytes = (int64_t{width} + 7) / 8;
      if (channel_.bytes < rowBytes * height) continue;
      expanded.resize(static_cast<size_t>(int64_t{width} * height));
      for (int32_t yy = 0; yy < height; ++yy)
        for (int32_t xx = 0; xx < width; ++xx)
          expanded[static_cast<size_t>(int64_t{yy} * width + xx)] =
              (rows[int64_t{yy} * rowBytes + (xx >> 3)] & (0x80 >> (xx & 7))) ? 0 : 255;
      rows = expanded.data();
      laneCount = 3;
    } else {
      return kPsdImportMode;
    }
    if (header_.colorMode != kPsdModeBitmap && channel_.bytes < int64_t{width} * height) continue;
    // The channel's rectangle is clipped to the layer.
    if (!WritePlane(store, lanes, laneCount, channel_.rect.left, channel_.rect.top, width, height, rows, width))
      continue;
    any = true;
  }
  channel_.pixels = {};
  if (!any) return kPsdImportNoMerged;
  store.SetAlphaAll(255);
  layer.name = NameText(PlainName(), BackgroundWord(), 0);
  store.Compact();
  paper_.UpdateLayerThumbnail(index);
  return kFileOk;
}

uint8_t PsdImport::ImportAlphaChannels() {
  CMaskMngr* masks = paper_.MaskMngr();
  if (masks == nullptr) return kFileNoMaskManager;
  std::vector<uint8_t> list(static_cast<size_t>(std::max<int64_t>(reader_.ImageResource(1006, nullptr, 0), 0)));
  if (!list.empty()) reader_.ImageResource(1006, list.data(), static_cast<int64_t>(list.size()));
  const std::vector<std::string> names = ParseAlphaNames(list);
  size_t nextName = 0;
  int32_t made = 0;
  uint8_t code = kFileOk;
  for (int32_t number = header_.colorChannels; number < header_.allChannels; ++number) {
    const std::string* name = nextName < names.size() ? &names[nextName] : nullptr;
    ++nextName;
    if (number == header_.colorChannels && header_.mergedAlpha) continue;
    channel_.number = number;
    if (reader_.NextMergedChannel(channel_) != kPsdOk) continue;
    auto mask = CMaskData::Create(masks->GetCount(), header_.width, header_.height);
    if (!mask) return kPsdImportMaskMade;
    const int32_t width = channel_.rect.right - channel_.rect.left;
    const int32_t height = channel_.rect.bottom - channel_.rect.top;
    if (channel_.bytes < int64_t{width} * height) continue;
    const int32_t lane = 0;
    if (!WritePlane(*mask->Store(), &lane, 1, channel_.rect.left, channel_.rect.top, width, height,
                    channel_.pixels.data(), width))
      continue;
    mask->name = name != nullptr ? *name : NameText(NumberedName(), kDocMaskWord, masks->GetCount() + 1);
    ProgressSetStatus(dialog_, DocFormat(kDocLoadingStep, Cp932ToUtf8(mask->name)));
    mask->Store()->Compact();
    mask->UpdateThumbnail(header_.width, header_.height);
    masks->Renumber();
    if (masks->InsertMask(masks->GetCount(), mask) < 0) {
      code = kPsdImportMaskRefused;
      continue;
    }
    masks->Renumber();
    ++made;
    ProgressStepBy(dialog_, 1);
  }
  channel_.pixels = {};
  if (code != kFileOk) return code;
  return made > 0 ? uint8_t{kFileOk} : kPsdImportNoAlpha;
}

bool ColourModeSupported(const SPsdHeader& header) {
  if (header.colorMode == kPsdModeGrey || header.colorMode == kPsdModeRgb)
    return header.colorChannels > 0 && header.bitsPerPixel / header.colorChannels == 8;
  return header.colorMode == kPsdModeBitmap && header.bitsPerPixel == 1;
}

}  // namespace

uint8_t ImportPsdFile(const std::string& path, TPaper& paper) {
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kFileMissing;
    CPsdReader reader;
    if (reader.Open(path) != kPsdOk) return kPsdImportNoHandle;
    return ImportPsdReader(reader, path, paper);
  } catch (...) {
    return kFileException;
  }
}

uint8_t ImportPsdReader(CPsdReader& reader, const std::string& path, TPaper& paper) {
  try {
    WaitCursor busy;
    std::unique_ptr<TProgressDlg> dialog = CreateProgressDlg(0, 1, "", "");
    ProgressSetTitle(dialog.get(), DocFormat(kDocLoadingTitle, kDocPictureWord, DocFileNameOf(path)));
    if (!reader.Check()) return kPsdImportNotReadable;
    SPsdHeader header;
    if (reader.Header(header) != kPsdOk) return kPsdImportHeader;
    if (!ColourModeSupported(header)) return kPsdImportMode;
    const int32_t extra =
        std::max(header.allChannels - header.colorChannels - (header.mergedAlpha ? 1 : 0), 0);
    ProgressSetRange(dialog.get(), std::max(header.layerCount, 1) + extra, 0);

    // The document from new: canvas, resolution, the paper hidden; no layer, no mask.
    TFlowImage* flow = paper.GetFlowImage();
    CMaskMngr* masks = paper.MaskMngr();
    if (masks != nullptr) masks->Clear();
    paper.filePath = path;
    paper.resolution = header.resolutionX;
    paper.showCanvasColor = 0;
    if (!paper.SetCanvasSize(flow, header.width, header.height)) return kFileNoMemory;
    paper.Layers().Clear();

    PsdImport import(reader, paper, dialog.get(), header);
    uint8_t firstFailure = kFileOk;
    if (header.layerCount > 0) {
      for (int32_t i = 0; i < header.layerCount; ++i) {
        SPsdLayerRecord record;
        if (reader.LayerRecord(i, record) == kPsdOk) {
          record.index = std::min(record.index, paper.GetLayerCount());
          const uint8_t code = import.ImportLayer(record, i);
          if (code != kFileOk && firstFailure == kFileOk) firstFailure = code;
        } else if (firstFailure == kFileOk) {
          firstFailure = kPsdImportNoLayer;
        }
        ProgressStepBy(dialog.get(), 1);
      }
    } else {
      firstFailure = import.ImportBackground();
      if (firstFailure == kPsdImportMode) return kPsdImportMode;
      ProgressStepBy(dialog.get(), 1);
    }
    if (firstFailure != kFileOk) ShowWarning(DocFormatCode(ReadErrorText(), kDocLayerWord, firstFailure));

    CLayerMngr& layers = paper.Layers();
    if (layers.Count() > 0) {
      layers.SetActive(layers.IsValidIndex(header.activeLayer) ? header.activeLayer
                                                               : std::clamp(layers.ActiveIndex(), 0, layers.TopIndex()));
      paper.SetActiveLayer(flow, layers.ActiveIndex());
    }
    layers.SetNameCounter(header.layerNameCounter - 1 > 0 ? header.layerNameCounter - 1 : header.layerCount - 1);

    if (header.colorChannels + (header.mergedAlpha ? 1 : 0) < header.allChannels) {
      const uint8_t code = import.ImportAlphaChannels();
      if (code != kFileOk) ShowWarning(DocFormatCode(ReadErrorText(), kDocMaskWord, code));
    }
    if (masks != nullptr) {
      if (masks->GetCount() == 0) {
        masks->SetNameCounter(0);
        masks->NewMask(0);
        masks->SetActive(0);
      } else {
        masks->SetNameCounter(masks->GetCount());
        const int32_t added = masks->NewMask(masks->GetCount());
        if (added >= 0) masks->SetActive(added);
      }
      paper.RebuildSelectionOutline();
    }
    paper.selectionVisible = 1;
    paper.selectionEnabled = 1;
    if (layers.Count() == 0) return kPsdImportNoLayer;
    paper.RedrawAll(true);
    paper.ready = 1;
    paper.NotifyReady(true);
    return kFileOk;
  } catch (...) {
    return kFileException;
  }
}

// ---------------------------------------------------------------------------------------------
// Export

namespace {

class PsdExportSource final : public PsdWriteSource {
 public:
  PsdExportSource(TPaper& paper, TProgressDlg* dialog, const TMTC* thumbnail)
      : paper_(paper), dialog_(dialog), thumbnail_(thumbnail) {}

  bool LayerRecord(int32_t index, SPsdLayerRecord& record) override {
    const CLayerData* layer = paper_.GetLayer(index);
    if (layer == nullptr || layer->Store() == nullptr) return false;
    TRect rect;
    layer->GetStoreRect(rect);
    record.index = index;
    record.number = layer->id + 1;
    record.channelCount = 4;
    record.rect = rect;
    record.blendMode = layer->blendMode;
    std::memset(record.blendKey, 0, 4);
    record.opacity = layer->opacity;
    if (layer->dissolve) {
      std::memcpy(record.blendKey, "diss", 4);
      record.opacity = layer->dissolveThreshold;
    }
    record.flags = kPsdFlagWritten | (layer->visible ? 0 : kPsdFlagHidden) |
                   (layer->alphaProtect ? kPsdFlagProtected : 0);
    record.name = layer->name;
    return true;
  }

  bool LayerChannelId(int32_t /*layer*/, int32_t number, int32_t& id) override {
    static constexpr int32_t kIds[4] = {kPsdChannelAlpha, kPsdChannelRed, kPsdChannelGreen, kPsdChannelBlue};
    if (number < 0 || number > 3) return false;
    id = kIds[number];
    return true;
  }

  bool ExtraChannelInfo(SPsdChannel& channel) override {
    const CMaskMngr* masks = paper_.MaskMngr();
    const CMaskData* mask = masks != nullptr ? masks->GetMask(channel.number - 3) : nullptr;
    if (mask == nullptr) return false;
    channel.id = kPsdChannelAlpha;
    channel.name = mask->name;
    return true;
  }

  bool LayerChannelData(SPsdChannel& channel) override {
    CLayerData* layer = paper_.GetLayer(channel.layer);
    if (layer == nullptr || layer->Store() == nullptr) return false;
    ProgressSetStatus(dialog_, DocFormat(kDocSavingStep, Cp932ToUtf8(layer->name)));
    CBlockVMTC& store = *layer->Store();
    if (store.Width() != channel.width || store.Height() != channel.height) return false;
    const int64_t area = int64_t{channel.width} * channel.height;
    if (static_cast<int64_t>(channel.pixels.size()) < area) channel.pixels.resize(static_cast<size_t>(area));
    int32_t lane = 3;
    switch (channel.id) {
      case kPsdChannelAlpha: lane = 3; break;
      case kPsdChannelRed: lane = 2; break;
      case kPsdChannelGreen: lane = 1; break;
      case kPsdChannelBlue: lane = 0; break;
      default: return false;
    }
    ReadLane(store, lane, SRectWH{0, 0, channel.width, channel.height}, channel.pixels.data(), channel.width);
    channel.bytes = area;
    if (channel.id == kPsdChannelRed) ProgressStepBy(dialog_, 1);
    if (channel.number == 3) store.Compact();
    return true;
  }

  bool MergedChannelData(SPsdChannel& channel) override {
    const int32_t width = paper_.canvasWidth;
    const int32_t height = paper_.canvasHeight;
    const int64_t area = int64_t{width} * height;
    if (channel.number < 3) {
      const TMTC& composed = paper_.DisplayBuffer();
      if (!composed.IsValid() || composed.Width() < width || composed.Height() < height) return false;
      if (static_cast<int64_t>(channel.pixels.size()) < area) channel.pixels.resize(static_cast<size_t>(area));
      const int32_t lane = 2 - channel.number;
      for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = reinterpret_cast<const uint8_t*>(composed.Pixel(0, y)) + lane;
        uint8_t* out = channel.pixels.data() + int64_t{y} * width;
        for (int32_t x = 0; x < width; ++x) out[x] = row[4 * x];
      }
      channel.bytes = area;
      return true;
    }
    const CMaskMngr* masks = paper_.MaskMngr();
    const CMaskData* mask = masks != nullptr ? masks->GetMask(channel.number - 3) : nullptr;
    if (mask == nullptr) return false;
    ProgressSetStatus(dialog_, DocFormat(kDocSavingStep, Cp932ToUtf8(mask->name)));
    int64_t capacity = area;
    if (mask->IsAllocated())
      capacity = std::max(capacity, int64_t{mask->Store()->Width()} * mask->Store()->Height());
    if (static_cast<int64_t>(channel.pixels.size()) < capacity) channel.pixels.resize(static_cast<size_t>(capacity));
    std::memset(channel.pixels.data(), 0, static_cast<size_t>(area));
    if (mask->IsAllocated()) {
      const CBlockVCH& store = *mask->Store();
      // The canvas rectangle inside the store: canvas (x, y) is store (x + offset x, y + offset y).
      SRectWH inStore{mask->offsetX, mask->offsetY, width, height};
      if (store.ClipRect(inStore)) {
        uint8_t* at = channel.pixels.data() + int64_t{inStore.top - mask->offsetY} * width +
                      (inStore.left - mask->offsetX);
        ReadLane(store, 0, inStore, at, width);
      }
    }
    channel.bytes = area;
    ProgressStepBy(dialog_, 1);
    return true;
  }

  bool Thumbnail(const TMTC*& image) override {
    image = thumbnail_;
    return thumbnail_ != nullptr;
  }

 private:
  TPaper& paper_;
  TProgressDlg* dialog_;
  const TMTC* thumbnail_;
};

}  // namespace

std::unique_ptr<TMTC> MakePsdThumbnail(const TMTC& composed) {
  SRectWH fit{};
  if (!PlaceSizeInBox(fit, SSize{kThumbnailBox, kThumbnailBox}, composed.Size())) return nullptr;
  auto scaled = std::make_unique<TMTC>(fit.width, fit.height);
  if (!scaled->IsValid()) return nullptr;
  if (!ScaleImageInto(*scaled, const_cast<TMTC&>(composed), false, 0xFFFFFFFFu)) return nullptr;
  const int32_t width = (fit.width + 3) & ~3;
  auto image = std::make_unique<TMTC>(width, fit.height);
  if (!image->IsValid()) return nullptr;
  for (int32_t y = 0; y < fit.height; ++y) {
    uint32_t* out = image->Pixel(0, y);
    for (int32_t x = 0; x < width; ++x) {
      if (x >= fit.width) {
        out[x] = 0xFFFFFFFFu;
        continue;
      }
      // Over white.
      const uint32_t p = scaled->GetPixel(x, y);
      const uint32_t a = p >> 24;
      uint32_t result = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (p >> shift) & 0xFF;
        result |= ((c * a + 255 * (255 - a) + 127) / 255) << shift;
      }
      out[x] = result;
    }
  }
  return image;
}

uint8_t ExportPsdFile(const std::string& path, TPaper& paper, int32_t version, bool overwrite) {
  try {
    std::error_code error;
    if (std::filesystem::exists(path, error) && !overwrite) return kPsdExportExists;
    WaitCursor busy;
    const CMaskMngr* masks = paper.MaskMngr();
    const int32_t maskCount = masks != nullptr && masks->HasAnyMask() ? masks->GetCount() : 0;
    std::unique_ptr<TProgressDlg> dialog = CreateProgressDlg(0, paper.GetLayerCount() + maskCount, "", "");
    ProgressSetTitle(dialog.get(), DocFormat(kDocSavingTitle, kDocPictureWord, DocFileNameOf(path)));
    std::unique_ptr<CPsdWriter> writer(new (std::nothrow) CPsdWriter);
    if (!writer) return kPsdExportNoHandle;

    std::unique_ptr<TMTC> thumbnail;
    if (paper.DisplayBuffer().IsValid()) thumbnail = MakePsdThumbnail(paper.DisplayBuffer());

    SPsdHeader header;
    header.bitsPerPixel = 24;
    header.width = paper.canvasWidth;
    header.height = paper.canvasHeight;
    header.resolutionX = header.resolutionY = paper.resolution;
    header.colorMode = kPsdModeRgb;
    header.colorChannels = 3;
    const int32_t lastMask = masks != nullptr ? masks->GetLastAllocatedIndex() : -1;
    header.allChannels = std::min(3 + lastMask + 1, kMaxExportChannels);
    header.layerCount = paper.GetLayerCount();
    header.activeLayer = paper.GetActiveLayerIndex();
    header.layerNameCounter = paper.Layers().NameCounter() + 1;
    header.mergedAlpha = 0;
    header.extraChannels = header.extraChannels2 = header.allChannels > 3 ? 0xFF : 0;

    if (const uint8_t code = writer->SetHeader(header)) return MapPsdCode(code);
    writer->SetOption(version);
    PsdExportSource source(paper, dialog.get(), thumbnail.get());
    return MapPsdCode(writer->Write(path, source));
  } catch (const std::bad_alloc&) {
    return kFileNoMemory;
  } catch (...) {
    return kFileException;
  }
}

std::unique_ptr<TMTC> LoadPsdMergedImage(const std::string& path, int32_t* resolution) {
  try {
    CPsdReader reader;
    if (reader.Open(path) != kPsdOk) return nullptr;
    std::unique_ptr<TMTC> image;
    if (reader.MergedImage(image) != kPsdOk) return nullptr;
    SPsdHeader header;
    if (resolution != nullptr && reader.Header(header) == kPsdOk) *resolution = header.resolutionX;
    return image;
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<TMTC> ReadPsdPreview(const std::string& path, SSize& documentSize) {
  try {
    const std::string extension = std::filesystem::path(path).extension().string();
    std::string lower = extension;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != ".psd") return nullptr;
    CPsdReader reader;
    if (reader.Open(path) != kPsdOk) return nullptr;
    std::unique_ptr<TMTC> image;
    if (reader.Preview(image, documentSize) != kPsdOk) return nullptr;
    return image;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace tf
