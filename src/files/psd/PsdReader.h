// CPsdReader: a handle that reads a layered PSD file (version 1, big-endian) piece by piece.
#pragma once
// The file: a 26-byte header ("8BPS", version 1, channels, height, width, depth, mode), the
// colour mode data (skipped), the image resources ("8BIM", id, padded Pascal name, size, data
// padded to even), the layer and mask section (layer count as int16, negative when the merged
// picture carries transparency; the layer records; then each layer's channel data) and the
// merged picture (compression, then every channel). Channel data is raw (0), PackBits with a
// 2-byte count per row (1), zip (2) or zip with row deltas (3).
//
// Every length, count and rectangle from the file is checked against its section before use;
// a failure is a code of PsdRecords.h, never a read outside the file or the section.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/psd/PsdRecords.h"
#include "raster/FlatImage.h"

namespace tf {

class Stream;

class CPsdReader {
 public:
  CPsdReader();
  ~CPsdReader();
  CPsdReader(const CPsdReader&) = delete;
  CPsdReader& operator=(const CPsdReader&) = delete;

  // Opens the file (kPsdOpenFailed when it cannot be opened) or takes a stream.
  uint8_t Open(const std::string& path);
  void OpenStream(std::unique_ptr<Stream> stream);

  // True when the file is a PSD file this reader can take apart: the signature, version 1,
  // and every section inside the file. Reads the sections' layout; the other calls need it.
  bool Check();
  uint8_t LastCode() const { return lastCode_; }

  // The header record: sides 1 to 10000, 1 to 56 channels, at most 10000 layers and no more
  // than the layer section holds (kPsdBadSize otherwise).
  uint8_t Header(SPsdHeader& header);
  // One layer record (index 0 at the bottom): kPsdBadArgument for an index out of range,
  // kPsdCorrupt for a record that does not fit its section (and every record after it),
  // kPsdBadSize for a channel count outside 1 to 56 or an inverted rectangle.
  uint8_t LayerRecord(int32_t index, SPsdLayerRecord& record);
  // The channel of channel.layer numbered channel.number: its id, rectangle and pixels (the
  // layer rectangle's area exactly). Ids below -1 (masks) give their id and no pixels.
  uint8_t LayerChannel(SPsdChannel& channel);
  // The merged picture's channel numbered channel.number (the importer asks for them in order):
  // the rectangle (0, 0, width, height); bitmap files give rows of (width + 7) / 8 bytes.
  // kPsdNoData for a number past the last.
  uint8_t NextMergedChannel(SPsdChannel& channel);
  // Size of the resource (0 when there is none); copies up to size bytes into buffer when given.
  int64_t ImageResource(uint16_t id, uint8_t* buffer, int64_t size);

  // The merged picture as 32-bit pixels (grey, RGB or bitmap at 8 bits; its transparency when
  // the file says it carries one, else alpha 255).
  uint8_t MergedImage(std::unique_ptr<TMTC>& image);
  // A preview picture: the merged picture fitted into 256 x 256 (unscaled when smaller), and
  // the document's size.
  uint8_t Preview(std::unique_ptr<TMTC>& image, SSize& documentSize);

 private:
  struct SChannelEntry {
    int32_t id = 0;
    int64_t offset = 0;  // of the compression field
    int64_t length = 0;  // compression field included
  };
  struct SLayerEntry {
    SPsdLayerRecord record;
    uint8_t code = kPsdOk;
    std::vector<SChannelEntry> channels;
  };
  struct SResource {
    uint16_t id = 0;
    std::vector<uint8_t> data;
  };

  bool ReadAt(int64_t offset, void* buffer, int64_t count);
  uint8_t ParseLayerSection(int64_t start, int64_t length);
  uint8_t ParseLayerRecord(int64_t& at, int64_t end, SLayerEntry& entry);
  uint8_t DecodeChannel(int64_t offset, int64_t length, int64_t rowBytes, int64_t rows, std::vector<uint8_t>& out);
  int32_t ColorChannelCount() const;

  std::unique_ptr<Stream> stream_;
  int64_t fileSize_ = 0;
  bool checked_ = false;
  bool readable_ = false;
  uint8_t lastCode_ = kPsdOk;
  uint8_t headerCode_ = kPsdOk;

  int32_t channels_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t depth_ = 0;
  int32_t psdMode_ = 0;
  int32_t layerCount_ = 0;
  bool mergedAlpha_ = false;
  std::vector<SResource> resources_;
  std::vector<SLayerEntry> layers_;
  int64_t imageDataStart_ = 0;
  std::vector<uint8_t> packed_;  // reused between channels
  std::vector<uint32_t> mergedRowCounts_;
  std::vector<uint8_t> mergedZip_;  // a zip-packed merged picture, whole
};

}  // namespace tf
