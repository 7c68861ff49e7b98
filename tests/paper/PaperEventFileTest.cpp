#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "events/EventFile.h"
#include "events/EventStream.h"
#include "paper/EventFileIO.h"
#include "paper/Paper.h"
#include "paper/PaperEventFile.h"
#include "platform/ByteOrder.h"
#include "platform/Stream.h"
#include "raster/ImageChunk.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

class PaperEventFileTest : public test::TempFolderTest {
 protected:
  PaperEventFileTest() : TempFolderTest("tf-paper-eventfile") {}
};

std::vector<uint8_t> StreamBytes(const CEventMngr& m) {
  std::vector<uint8_t> bytes(static_cast<size_t>(m.committed()));
  EXPECT_EQ(m.readSpan(0, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
  return bytes;
}

// A document's recording saved through the document object and loaded into another one; the
// thumbnail comes from its display buffer (rows bottom-up).
TEST_F(PaperEventFileTest, DocumentRecordingRoundTrips) {
  TPaper paper(nullptr);
  CEventMngr* manager = paper.EventMngr();
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(manager->isRecording());
  paper.canvasWidth = 64;
  paper.canvasHeight = 32;
  TTC& display = paper.DisplayBuffer();
  ASSERT_TRUE(display.Resize(64, 32));
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 64; ++x) *display.Pixel(x, y) = y < 16 ? 0x00112233u : 0x00445566u;
  ASSERT_TRUE(manager->commitStep());
  for (int i = 0; i < 5; ++i) {
    std::vector<uint8_t> data(300 + i, static_cast<uint8_t>(i));
    uint8_t count[4];
    StoreU32(count, static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(manager->appendPacket(kPcInfo, 3, count, 4, data.data(), static_cast<uint32_t>(data.size())));
    ASSERT_TRUE(manager->commitStep());
  }
  const std::vector<uint8_t> before = StreamBytes(*manager);

  CPaperEventFileDocument document(paper);
  const std::string path = PathOf("paper.te4");
  ASSERT_TRUE(SaveEventFile(path, document, true, -1, -1, true));
  EXPECT_EQ(StreamBytes(*manager), before);
  EXPECT_TRUE(manager->isRecording());

  TPaper other(nullptr);
  CPaperEventFileDocument target(other);
  ASSERT_EQ(LoadEventFile(path, target), 0);
  std::vector<uint8_t> expected = before;
  expected.push_back(kPcPaper);
  expected.push_back(kPaperEndMarker);
  EXPECT_EQ(StreamBytes(*other.EventMngr()), expected);

  // The thumbnail fits 256 x 256 with the canvas's aspect, top rows first, alpha 255.
  std::unique_ptr<TMTC> thumbnail;
  SSize canvas{};
  ASSERT_EQ(ReadEventThumbnail(path, thumbnail, canvas), 0);
  EXPECT_EQ(canvas.width, 64);
  EXPECT_EQ(canvas.height, 32);
  ASSERT_EQ(thumbnail->Width(), 256);
  ASSERT_EQ(thumbnail->Height(), 128);
  EXPECT_EQ(thumbnail->GetPixel(0, 0), 0xFF112233u);
  EXPECT_EQ(thumbnail->GetPixel(255, 127), 0xFF445566u);
}

}  // namespace
}  // namespace tf
