// The picture exchange over the memory clipboard: round trips, the alpha rule, the program's own
// formats, damaged entries from other programs, and spilling.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "document/LayerData.h"
#include "files/ClipboardExchange.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "platform/ByteOrder.h"
#include "platform/ClipboardFormats.h"
#include "raster/BmpConv32.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

constexpr WindowHandle kWindow{};

class ClipboardExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { old_ = SetClipboardService(&clipboard_); }
  void TearDown() override {
    SetClipboardService(old_);
    SetClipboardSpill(false);
  }
  static void Fill(TMTC& image) {
    const int32_t w = image.Width(), h = image.Height();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        *image.Pixel(x, y) = static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) << 24 | ((x * 5) & 0xFF) << 16 | ((y * 9) & 0xFF) << 8 | 77;
  }
  MemoryClipboard clipboard_;
  ClipboardService* old_ = nullptr;
};

TEST_F(ClipboardExchangeTest, RoundTripsWithClippedRectangles) {
  TMTC image(20, 12);
  Fill(image);
  struct Case {
    int bits;
    SRectWH rect;
    SRectWH expected;  // the clipped rectangle
    bool withAttr;
  };
  const Case cases[] = {
      {24, {3, 2, 7, 5}, {3, 2, 7, 5}, false},     {32, {3, 2, 7, 5}, {3, 2, 7, 5}, true},
      {32, {-4, -3, 10, 8}, {0, 0, 6, 5}, false},  {24, {15, 8, 100, 100}, {15, 8, 5, 4}, true},
      {32, {0, 0, 20, 12}, {0, 0, 20, 12}, true},
  };
  CLayerData layer;
  ASSERT_TRUE(layer.Init(20, 12, 3));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits at " << c.rect.left << "," << c.rect.top);
    ASSERT_TRUE(ClipboardEmpty(kWindow, true));
    ASSERT_TRUE(c.bits == 24 ? PutClipboardImage24(kWindow, image, c.rect) : PutClipboardImage32(kWindow, image, c.rect));
    if (c.withAttr) ASSERT_TRUE(PutClipLayerAttr(kWindow, layer));
    EXPECT_TRUE(ClipboardHasImage(kWindow));
    int32_t w = 0, h = 0, bits = 0;
    ASSERT_TRUE(GetClipboardImageSize(kWindow, w, h, bits));
    EXPECT_EQ(w, c.expected.width);
    EXPECT_EQ(h, c.expected.height);
    EXPECT_EQ(bits, c.bits);
    std::unique_ptr<TMTC> back = ReadClipboardImage(kWindow);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Width(), c.expected.width);
    ASSERT_EQ(back->Height(), c.expected.height);
    // The alpha rule: 32-bit data keeps alpha only beside our layer attributes.
    const bool keep = c.bits == 32 && c.withAttr;
    int wrong = 0;
    for (int32_t y = 0; y < back->Height(); ++y)
      for (int32_t x = 0; x < back->Width(); ++x) {
        const uint32_t want = image.GetPixel(c.expected.left + x, c.expected.top + y);
        if (back->GetPixel(x, y) != (keep ? want : want | 0xFF000000u)) ++wrong;
      }
    EXPECT_EQ(wrong, 0);
  }
  // Nothing left after clipping.
  EXPECT_FALSE(PutClipboardImage32(kWindow, image, SRectWH{20, 0, 5, 5}));
  EXPECT_FALSE(PutClipboardImage24(kWindow, image, SRectWH{0, 0, 0, 5}));
}

TEST_F(ClipboardExchangeTest, OtherProgramsGetPngMadeOnRequest) {
  TMTC image(9, 4);
  Fill(image);
  ClipboardEmpty(kWindow, true);
  ASSERT_TRUE(PutClipboardImage32(kWindow, image, SRectWH{0, 0, 9, 4}));
  EXPECT_EQ(clipboard_.renders, 0);
  std::vector<uint8_t> png;
  ASSERT_TRUE(ClipboardReadFormat(kWindow, "image/png", [&](const uint8_t* b, size_t n) {
    png.assign(b, b + n);
    return true;
  }));
  EXPECT_EQ(clipboard_.renders, 1);
  SDib dib;
  ASSERT_EQ(PngDecode(png.data(), png.size(), dib), 0);
  EXPECT_EQ(dib.Width(), 9);
  EXPECT_EQ(LoadLE<uint32_t>(dib.Data()), image.GetPixel(0, 0));
}

TEST_F(ClipboardExchangeTest, PicturesFromOtherPrograms) {
  // A 2 x 2 8-bit DIB, a 32-bit one (pastes opaque), a PNG and a JPEG, each alone.
  std::vector<uint8_t> dib8(40 + 8 + 8);
  SBitmapInfoHeader h{40, 2, 2, 1, 8, kBiRgb, 8, 0, 0, 2, 0};
  EncodeBitmapInfoHeader(h, dib8.data());
  StoreLE<uint32_t>(dib8.data() + 40, 0x00102030u);
  StoreLE<uint32_t>(dib8.data() + 44, 0x00405060u);
  dib8[48] = 1, dib8[52] = 0;
  clipboard_.PutFromOtherProgram({{"image/x-bmp", dib8}});
  std::unique_ptr<TMTC> image = ReadClipboardImage(kWindow);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixel(0, 1), 0xFF405060u);  // bottom row stored first
  EXPECT_EQ(image->GetPixel(0, 0), 0xFF102030u);

  std::vector<uint8_t> dib32(40 + 4);
  SBitmapInfoHeader h32{40, 1, -1, 1, 32, kBiRgb, 4, 0, 0, 0, 0};
  EncodeBitmapInfoHeader(h32, dib32.data());
  StoreLE<uint32_t>(dib32.data() + 40, 0x10203040u);
  clipboard_.PutFromOtherProgram({{"image/bmp", dib32}});
  image = ReadClipboardImage(kWindow);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixel(0, 0), 0xFF203040u);

  SDib rgba;
  ASSERT_TRUE(rgba.Make(3, -2, 32, 0));
  for (size_t i = 0; i < rgba.pixelBytes; ++i) rgba.pixels[i] = static_cast<uint8_t>(i * 20);
  std::vector<uint8_t> png, jpeg;
  ASSERT_TRUE(PngEncodeDib(rgba, -1, png));
  ASSERT_TRUE(JpegEncodeDib(rgba, SJpegOptions{}, jpeg));
  clipboard_.PutFromOtherProgram({{"image/png", png}, {"image/jpeg", jpeg}});
  image = ReadClipboardImage(kWindow);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixel(1, 1), LoadLE<uint32_t>(rgba.pixels.get() + 16));  // PNG first, alpha kept
  clipboard_.PutFromOtherProgram({{"image/jpeg", jpeg}});
  image = ReadClipboardImage(kWindow);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 3);
  clipboard_.PutFromOtherProgram({{"text/plain", {'a'}}});
  EXPECT_FALSE(ClipboardHasImage(kWindow));
  EXPECT_FALSE(ReadClipboardImage(kWindow));
}

// Damaged or hostile DIBs and sizes: refused, never read past the entry.
TEST_F(ClipboardExchangeTest, MalformedDibEntries) {
  auto header = [](int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t used, size_t total) {
    std::vector<uint8_t> b(total);
    SBitmapInfoHeader hh{40, w, h, 1, bits, compression, 0, 0, 0, used, 0};
    if (total >= 40) EncodeBitmapInfoHeader(hh, b.data());
    else if (total >= 4) StoreLE<uint32_t>(b.data(), 40);
    return b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"header cut", header(2, 2, 24, 0, 0, 20)},
      {"rows cut", header(4, 4, 24, 0, 0, 40 + 30)},
      {"table past the entry", header(2, 2, 8, 0, 200, 40 + 100)},
      {"more colours than 2^bits", header(2, 2, 4, 0, 17, 40 + 17 * 4 + 8)},
      {"bit fields cut", header(2, 2, 32, kBiBitfields, 0, 40 + 8)},
      {"height INT32_MIN", header(2, INT32_MIN, 24, 0, 0, 40 + 64)},
      {"20000 x 20000", header(20000, 20000, 24, 0, 0, 40 + 64)},
      {"width negative", header(-3, 2, 24, 0, 0, 40 + 64)},
      {"depth 2", header(2, 2, 2, 0, 0, 40 + 64)},
      {"header size huge", [] {
         std::vector<uint8_t> b(64);
         StoreLE<uint32_t>(b.data(), 0xFFFFFFF0u);
         return b;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clipboard_.PutFromOtherProgram({{"image/bmp", c.bytes}});
    EXPECT_FALSE(ReadClipboardImage(kWindow));
  }
  // The size question computes in 64 bits and refuses what no picture may be.
  for (int32_t height : {INT32_MIN, 20000}) {
    clipboard_.PutFromOtherProgram({{"image/bmp", header(20000, height, 24, 0, 0, 40)}});
    int32_t w, h, bits;
    EXPECT_FALSE(GetClipboardImageSize(kWindow, w, h, bits));
  }
  // A top-down picture keeps its rows in order.
  std::vector<uint8_t> top = header(1, -2, 32, 0, 0, 48);
  StoreLE<uint32_t>(top.data() + 40, 0x111111u);
  StoreLE<uint32_t>(top.data() + 44, 0x222222u);
  clipboard_.PutFromOtherProgram({{"image/bmp", top}});
  std::unique_ptr<TMTC> image = ReadClipboardImage(kWindow);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixel(0, 0), 0xFF111111u);
  int32_t w, h, bits;
  ASSERT_TRUE(GetClipboardImageSize(kWindow, w, h, bits));
  EXPECT_EQ(h, 2);
}

TEST_F(ClipboardExchangeTest, LayerAttributesAndTheirEdgeCases) {
  CLayerData source;
  ASSERT_TRUE(source.Init(40, 30, 5));
  source.name = "layer";
  source.opacity = 99;
  source.canvasWidth = 20;
  source.canvasHeight = 10;
  source.offsetX = 7;
  source.offsetY = 3;
  ClipboardEmpty(kWindow, true);
  ASSERT_TRUE(PutClipLayerAttr(kWindow, source));
  SClipLayerAttr record;
  std::string name;
  ASSERT_TRUE(ReadClipLayerAttr(kWindow, record, name));
  EXPECT_EQ(name, "layer");
  EXPECT_EQ(record.opacity, 99);
  EXPECT_NE(record.flags & kClipLayerClipboard, 0);
  std::vector<uint8_t> entry;
  ClipboardReadFormat(kWindow, kClipLayerAttrFormat, [&](const uint8_t* b, size_t n) {
    entry.assign(b, b + n);
    return true;
  });
  ASSERT_EQ(entry.size(), 88u);

  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    bool accepted;
    const char* name;
  };
  const Case cases[] = {
      {"as put", [](std::vector<uint8_t>&) {}, true, "layer"},
      {"size field 71", [](std::vector<uint8_t>& b) { StoreLE<uint32_t>(b.data() + 4, 71); }, false, ""},
      {"not TLYR", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, false, ""},
      {"79 bytes", [](std::vector<uint8_t>& b) { b.resize(79); }, false, ""},
      {"record without name", [](std::vector<uint8_t>& b) { b.resize(80); }, true, ""},
      {"name without its zero", [](std::vector<uint8_t>& b) {
         b.resize(83);
         b[80] = 'a', b[81] = 'b', b[82] = 'c';
       }, true, "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = entry;
    c.change(bytes);
    clipboard_.PutFromOtherProgram({{kClipLayerAttrFormat, bytes}});
    name = "stale";
    EXPECT_EQ(ReadClipLayerAttr(kWindow, record, name), c.accepted);
    if (c.accepted) EXPECT_EQ(name, c.name);
  }

  // Applying: mode 40 becomes 21; an offset outside the store is clamped and reported.
  CLayerData target;
  ASSERT_TRUE(target.Init(40, 30, 3));
  target.canvasWidth = 20;
  target.canvasHeight = 10;
  SClipLayerAttr a = record;
  a.blendMode = 40;
  a.flags = kClipLayerVisible | kClipLayerClipboard;
  a.offsetX = 100;
  a.offsetY = -5;
  EXPECT_FALSE(ApplyClipLayerAttr(target, a, "x"));
  EXPECT_EQ(target.blendMode, 21);
  EXPECT_EQ(target.offsetX, 20);
  EXPECT_EQ(target.offsetY, 0);
  a.offsetX = 4;
  a.offsetY = 6;
  EXPECT_TRUE(ApplyClipLayerAttr(target, a, "x"));
  EXPECT_EQ(target.offsetX, 4);
  EXPECT_EQ(target.offsetY, 6);
  // Without the clipboard flag (image packets of recordings) the offsets stay as they are.
  a.flags = kClipLayerVisible;
  a.offsetX = 1;
  EXPECT_TRUE(ApplyClipLayerAttr(target, a, "x"));
  EXPECT_EQ(target.offsetX, 4);
}

TEST_F(ClipboardExchangeTest, ClipBox) {
  ClipboardEmpty(kWindow, true);
  ASSERT_TRUE(PutClipBox(kWindow, SRectWH{-3, 4, 50, 60}));
  SRectWH r{};
  ASSERT_TRUE(GetClipBox(kWindow, r));
  EXPECT_EQ(r.left, -3);
  EXPECT_EQ(r.height, 60);
  ASSERT_TRUE(ClearClipBox(kWindow));
  EXPECT_FALSE(GetClipBox(kWindow, r));
  clipboard_.PutFromOtherProgram({{kClipBoxFormat, {1, 2, 3}}});
  EXPECT_FALSE(GetClipBox(kWindow, r));
}

// The spill file used to be read whenever no DIB was there, from a fixed name in the shared
// temporary folder, even with spilling off.
TEST_F(ClipboardExchangeTest, SpillFileOnlyWhileSpillingIsAllowed) {
  test::ScopedTempFolder folder("spill");
  SetClipboardSpill(false, folder.Path());
  TMTC big(2000, 2000);
  Fill(big);  // 16 MB at 32 bits: over the limit
  ClipboardEmpty(kWindow, true);
  ASSERT_TRUE(PutClipboardImage32(kWindow, big, SRectWH{0, 0, 2000, 2000}));
  EXPECT_TRUE(ClipboardHasFormat(kWindow, kClipDibFormat));  // spilling off: on the clipboard
  EXPECT_FALSE(std::ifstream(folder.File("tfClip.bmp")).good());

  SetClipboardSpill(true, folder.Path());
  ClipboardEmpty(kWindow, true);
  ASSERT_TRUE(PutClipboardImage32(kWindow, big, SRectWH{0, 0, 2000, 2000}));
  EXPECT_FALSE(ClipboardHasFormat(kWindow, kClipDibFormat));  // offered without data
  EXPECT_TRUE(ClipboardHasImage(kWindow));
  std::unique_ptr<TMTC> back = ReadClipboardImage(kWindow);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->GetPixel(1999, 1999), big.GetPixel(1999, 1999));  // alpha kept from the file
  // A small picture goes to the clipboard and the spill file goes.
  ASSERT_TRUE(PutClipboardImage24(kWindow, big, SRectWH{0, 0, 10, 10}));
  EXPECT_FALSE(std::ifstream(folder.File("tfClip.bmp")).good());

  // A spill file left there is not read once spilling is off.
  ASSERT_TRUE(PutClipboardImage32(kWindow, big, SRectWH{0, 0, 2000, 2000}));
  clipboard_.PutFromOtherProgram({});
  SetClipboardSpill(false, folder.Path());
  EXPECT_FALSE(ClipboardHasImage(kWindow));
  EXPECT_FALSE(ReadClipboardImage(kWindow));
  // A damaged spill file gives nothing.
  SetClipboardSpill(true, folder.Path());
  std::ofstream(folder.File("tfClip.bmp"), std::ios::trunc) << "BM too short";
  EXPECT_FALSE(ReadClipboardImage(kWindow));
}

TEST(MemoryClipboardTest, WrapperEdgeCases) {
  MemoryClipboard clipboard;
  ClipboardService* old = SetClipboardService(&clipboard);
  EXPECT_TRUE(ClipboardEmpty(kWindow, false));   // not the owner: emptied
  EXPECT_FALSE(ClipboardEmpty(kWindow, false));  // the owner already: unchanged
  EXPECT_TRUE(ClipboardEmpty(kWindow, true));
  EXPECT_FALSE(ClipboardSetData(kWindow, "", {1}));
  EXPECT_FALSE(ClipboardSetDelayed(kWindow, "", [] { return std::vector<uint8_t>{1}; }));
  EXPECT_FALSE(ClipboardReadFormat(kWindow, "", [](const uint8_t*, size_t) { return true; }));
  EXPECT_FALSE(ClipboardReadFormat(kWindow, "x/y", [](const uint8_t*, size_t) { return true; }));
  ASSERT_TRUE(ClipboardSetDelayed(kWindow, "x/y", [] { return std::vector<uint8_t>{7, 8}; }));
  EXPECT_TRUE(ClipboardHasFormat(kWindow, "x/y"));
  EXPECT_EQ(clipboard.renders, 0);
  size_t seen = 0;
  EXPECT_FALSE(ClipboardReadFormat(kWindow, "x/y", [&](const uint8_t*, size_t n) {
    seen = n;
    return false;  // passed through
  }));
  EXPECT_EQ(seen, 2u);
  clipboard.RenderAll();
  EXPECT_EQ(clipboard.renders, 1);
  clipboard.PutFromOtherProgram({{"a/b", {1}}});
  EXPECT_FALSE(ClipboardOwned(kWindow));
  clipboard.refuseOpen = true;
  EXPECT_FALSE(ClipboardHasFormat(kWindow, "a/b"));
  EXPECT_FALSE(ClipboardEmpty(kWindow, true));
  SetClipboardService(old);
  // The default service has no clipboard.
  EXPECT_FALSE(ClipboardSetData(kWindow, "a/b", {1}));
}

}  // namespace
}  // namespace tf
