// Files of a few bytes that claim huge pictures (built by tests/data/tiny_files.py): they are
// refused with the record's code before anything of the claimed size is allocated, flat or
// tiled.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerData.h"
#include "files/DocFile.h"
#include "paper/HeadlessWindow.h"
#include "paper/PaperTestSupport.h"
#include "platform/AddressSpace.h"
#include "platform/Memory.h"
#include "platform/Stream.h"
#include "raster/ChunkStream.h"
#include "raster/FlatImage.h"
#include "raster/ImageChunk.h"
#include "support/PythonReader.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// What a file under 1 KB may cost at most, in one block and in committed tiles.
constexpr int64_t kFewMegabytes = int64_t{4} << 20;

class TinyFilesTest : public test::TempFolderTest {
 protected:
  TinyFilesTest() : TempFolderTest("tf-tiny-files") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    std::map<std::string, std::string> out;
    std::string text;
    ASSERT_EQ(test::RunDataScript("tiny_files.py", "write '" + PathOf("") + "'", out, text), 0) << text;
    ASSERT_EQ(out["layer_23000.tfi"], "136");
    ASSERT_EQ(out["thumbnail_10000.tfi"], "116");
  }
  test::PaperTestScope scope;
};

TEST_F(TinyFilesTest, LayerRecordClaimingAStoreItsFileCannotHoldIsRefusedBeforeItIsMade) {
  HeadlessDocumentWindow window;
  TakeLargestMemoryBlockAsked();
  const uint64_t committedBefore = CommittedBytesTotal();
  EXPECT_EQ(LoadDocFile(PathOf("layer_23000.tfi"), window.Paper()), kFileOk);
  EXPECT_LT(TakeLargestMemoryBlockAsked(), kFewMegabytes);
  EXPECT_LT(static_cast<int64_t>(CommittedBytesTotal() - committedBefore), kFewMegabytes);
  // The record's code is warned about; the document opens with one layer of its canvas.
  bool warned = false;
  for (const std::string& text : scope.warnings.Texts()) warned = warned || text.find("(err=22)") != std::string::npos;
  EXPECT_TRUE(warned) << ::testing::PrintToString(scope.warnings.Texts());
  TPaper& paper = window.Paper();
  ASSERT_EQ(paper.GetLayerCount(), 1);
  EXPECT_EQ(paper.GetLayer(0)->StoreWidth(), 64);
  EXPECT_EQ(paper.GetLayer(0)->StoreHeight(), 48);
}

TEST_F(TinyFilesTest, PicturesLargerThanTheirPackedBytesCanFillAreRefusedBeforeAllocating) {
  // The open dialog's preview of a document.
  {
    TakeLargestMemoryBlockAsked();
    std::unique_ptr<TMTC> image;
    SSize canvas{};
    EXPECT_EQ(ReadDocumentThumbnail(PathOf("thumbnail_10000.tfi"), image, canvas), kFileChunkSize);
    EXPECT_EQ(image, nullptr);
    EXPECT_LT(TakeLargestMemoryBlockAsked(), kFewMegabytes);
  }
  // A channel chunk as nib and tone sets read it.
  {
    FileStream file;
    ASSERT_TRUE(file.OpenRead(PathOf("channel_10000.ttnl")));
    TakeLargestMemoryBlockAsked();
    SImageChunkInfo info;
    std::unique_ptr<TChannel> channel;
    int64_t length = 0;
    EXPECT_EQ(ReadChannelChunk(file, info, channel, length), kFileChunkSize);
    EXPECT_EQ(channel, nullptr);
    EXPECT_LT(TakeLargestMemoryBlockAsked(), kFewMegabytes);
  }
  // The whole picture packed is still read, however well it packs.
  {
    TChannel flat(3000, 2000);
    ASSERT_TRUE(flat.IsValid());
    MemoryStream stream;
    SImageChunkInfo info{};
    info.contentCode = kContentChannel4;
    info.width = info.sourceWidth = flat.Width();
    info.height = info.sourceHeight = flat.Height();
    info.unpackedLength = flat.GetImageSize();
    ASSERT_EQ(WriteImageChunk(stream, info, flat.Bits()), kFileOk);
    ASSERT_TRUE(stream.SetPosition(0));
    std::unique_ptr<TChannel> back;
    int64_t length = 0;
    EXPECT_EQ(ReadChannelChunk(stream, info, back, length), kFileOk);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Width(), 3000);
  }
}

}  // namespace
}  // namespace tf
