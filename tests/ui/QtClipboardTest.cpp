// The Qt clipboard service on the offscreen platform (an in-process clipboard): our formats go
// through QClipboard and QMimeData, delayed ones are made when read, ownership follows setMimeData.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "files/ClipboardExchange.h"
#include "files/PngCodec.h"
#include "platform/qt/QtClipboard.h"

namespace tf {
namespace {

constexpr WindowHandle kWindow{};

class QtClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override { old_ = SetClipboardService(&service_); }
  void TearDown() override {
    SetClipboardService(old_);
    QGuiApplication::clipboard()->clear();
  }
  QtClipboardService service_;
  ClipboardService* old_ = nullptr;
};

TEST_F(QtClipboardTest, OurFormatsRoundTrip) {
  TMTC image(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) *image.Pixel(x, y) = 0x80000000u | static_cast<uint32_t>(x * 40) << 16 | y * 60;
  ASSERT_TRUE(ClipboardEmpty(kWindow, true));
  EXPECT_TRUE(ClipboardOwned(kWindow));
  ASSERT_TRUE(PutClipboardImage32(kWindow, image, SRectWH{1, 1, 4, 2}));
  ASSERT_TRUE(PutClipBox(kWindow, SRectWH{1, 1, 4, 2}));
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  const QStringList formats = data->formats();
  EXPECT_TRUE(formats.contains("image/bmp"));
  EXPECT_TRUE(formats.contains("image/png"));  // offered, made on request
  EXPECT_TRUE(formats.contains(kClipBoxFormat));
  SRectWH box{};
  ASSERT_TRUE(GetClipBox(kWindow, box));
  EXPECT_EQ(box.width, 4);
  std::unique_ptr<TMTC> back = ReadClipboardImage(kWindow);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->GetPixel(0, 0), image.GetPixel(1, 1) | 0xFF000000u);  // no layer attributes: opaque
  // Another reader asks for PNG: retrieveData makes it.
  const QByteArray png = data->data("image/png");
  SDib dib;
  ASSERT_EQ(PngDecode(reinterpret_cast<const uint8_t*>(png.constData()), static_cast<size_t>(png.size()), dib), 0);
  EXPECT_EQ(dib.Width(), 4);
  // The clip box offered without data is no clip box.
  ASSERT_TRUE(ClearClipBox(kWindow));
  EXPECT_FALSE(GetClipBox(kWindow, box));
  EXPECT_TRUE(ClipboardHasImage(kWindow));
}

TEST_F(QtClipboardTest, OwnershipFollowsTheClipboard) {
  ASSERT_TRUE(ClipboardEmpty(kWindow, true));
  EXPECT_FALSE(ClipboardEmpty(kWindow, false));  // ours already: left alone
  ASSERT_TRUE(ClipboardSetData(kWindow, "application/x-test", {1, 2, 3}));
  EXPECT_TRUE(ClipboardOwned(kWindow));
  // Someone else puts text there.
  auto* other = new QMimeData();
  other->setText("hello");
  QGuiApplication::clipboard()->setMimeData(other);
  EXPECT_FALSE(ClipboardOwned(kWindow));
  EXPECT_FALSE(ClipboardHasFormat(kWindow, "application/x-test"));
  EXPECT_FALSE(ClipboardHasImage(kWindow));
  EXPECT_TRUE(ClipboardEmpty(kWindow, false));
  EXPECT_TRUE(ClipboardOwned(kWindow));
}

TEST_F(QtClipboardTest, DelayedFormatsAreMadeOnceAndAtTheEnd) {
  int made = 0;
  ASSERT_TRUE(ClipboardEmpty(kWindow, true));
  ASSERT_TRUE(ClipboardSetDelayed(kWindow, "application/x-late", [&] {
    ++made;
    return std::vector<uint8_t>{9, 8};
  }));
  EXPECT_TRUE(ClipboardHasFormat(kWindow, "application/x-late"));
  EXPECT_EQ(made, 0);
  service_.RenderAll();
  EXPECT_EQ(made, 1);
  size_t count = 0;
  ASSERT_TRUE(ClipboardReadFormat(kWindow, "application/x-late", [&](const uint8_t* b, size_t n) {
    count = n;
    return b[0] == 9;
  }));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(made, 1);
}

}  // namespace
}  // namespace tf
