// File kinds: filters, extensions and path kinds; the preview pane's picture and labels.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "events/EventFile.h"
#include "files/FileKinds.h"
#include "files/FilePreview.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "platform/FileDialog.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

TEST(FileKindsTest, FiltersStandAsGiven) {
  EXPECT_EQ(FilterForKind(1),
            "BMP (*.bmp)|*.BMP|JPEG (*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.jfi)|*.JPG;*.JPEG;*.JPE;*.JIF;*.JFIF;*.JFI|"
            "PNG (*.png)|*.PNG");
  EXPECT_EQ(FilterForKind(0).substr(0, 46), "Tintaframe (*.tfi)|*.tfi|Tintaframe1.1 (*.wpb)");
  EXPECT_NE(FilterForKind(0).find("|すべての画像|*.tfi;*.wpb;*.bmp;*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.jfi;*.png;*.psd|"
                                  "すべてのファイル|*.*"),
            std::string::npos);
  EXPECT_EQ(FilterForKind(2),
            "Tintaframe4 イベント (*.te4/*.ta4)|*.te4;*.ta4|Tintaframe3 イベント (*.te3/*.ta3)|*.te3;*.ta3|"
            "Tintaframe2.2 イベント (*.tes)|*.tes|Tintaframe1.1 イベント (*.wpe)|*.wpe|"
            "すべてのイベント|*.wpe;*.tes;*.te3;*.ta3;*.te4;*.ta4");
  EXPECT_EQ(FilterForKind(3), "Tintaframe ブラシ集 (*.pmt)|*.pmt");
  EXPECT_EQ(FilterForKind(5),
            "Tintaframe パレット (*.tpl)|*.tpl|Adobe 色見本 (*.aco)|*.aco|"
            "Painter カラーセット (*.pcs/*.txt)|*.pcs;*.txt|すべてのパレット|*.tpl;*.aco;*.pcs;*.txt");
  EXPECT_EQ(FilterForKind(13),
            "Tintaframe パレット (*.tpl)|*.tpl|Adobe 色見本 (*.aco)|*.aco|Painter カラーセット (*.pcs/*.txt)|*.pcs;*.txt");
  EXPECT_EQ(FilterForKind(10), "Tintaframe4 イベント (*.te4)|*.te4");
  EXPECT_EQ(FilterForKind(17), "BMP (*.bmp)|*.BMP|PNG (*.png)|*.PNG");
  EXPECT_EQ(FilterForKind(18), "カーソル (*.cur)|*.CUR");
  EXPECT_EQ(FilterForKind(19), "");
  EXPECT_EQ(DefaultExtForKind(0), "tfi");
  EXPECT_EQ(DefaultExtForKind(17), "bmp");
  EXPECT_EQ(DefaultExtForKind(18), "cur");
  EXPECT_EQ(DefaultExtForKind(19), "");
}

TEST(FileKindsTest, KindsOfPathsAndExtensions) {
  struct Case {
    const char* path;
    PathKind kind;
  };
  const Case cases[] = {{"/a/b.JPEG", kPathJpeg}, {"x.ta3", kPathEvents3}, {"x.ani", kPathOther},
                        {"x.tfi", kPathDocument}, {"x.TE4", kPathEvents4}, {"x.wpb", kPathOldDocument},
                        {"x.wpe", kPathOldEvents}, {"x.tes", kPathEvents2}, {"x.Png", kPathPng},
                        {"x.psd", kPathPsd},      {"x.bmp", kPathBmp},     {"dir.d/noext", kPathOther}};
  for (const Case& c : cases) EXPECT_EQ(GetFileKind(c.path), c.kind) << c.path;
  EXPECT_TRUE(IsExtensionOfKind("ani", 18));
  EXPECT_TRUE(IsExtensionOfKind(".CUR", 18));
  EXPECT_TRUE(IsExtensionOfKind("psd", 9));
  EXPECT_FALSE(IsExtensionOfKind("tfi", 9));
  EXPECT_TRUE(IsExtensionOfKind("wpb", 8));
  EXPECT_FALSE(IsExtensionOfKind("te3", 10));
  EXPECT_TRUE(IsExtensionOfKind("txt", 13));
  EXPECT_FALSE(IsExtensionOfKind("aco", 16));
  EXPECT_FALSE(IsExtensionOfKind("bmp", 19));
}

TEST(FileKindsTest, SaveExtensionsByFilterIndex) {
  EXPECT_EQ(SaveExtensionForFilter(8, 3), ".jpg");
  EXPECT_EQ(ReplaceExtension("picture.tfi", SaveExtensionForFilter(8, 3)), "picture.jpg");
  EXPECT_EQ(SaveExtensionForFilter(8, 1), ".tfi");
  EXPECT_EQ(SaveExtensionForFilter(8, 6), "");
  EXPECT_EQ(ReplaceExtension("picture.tfi", SaveExtensionForFilter(8, 6)), "picture");
  EXPECT_EQ(ReplaceExtension("a.b/name", ".png"), "a.b/name.png");
  EXPECT_EQ(SaveExtensionForFilter(13, 3), ".pcs");
  EXPECT_EQ(SaveExtensionForFilter(17, 2), ".png");
  EXPECT_EQ(SaveExtensionForFilter(10, 7), ".te4");
  EXPECT_EQ(SaveExtensionForFilter(0, 1), "");
  EXPECT_TRUE(IsSaveKind(17));
  EXPECT_FALSE(IsSaveKind(16));
  EXPECT_EQ(DialogClassForKind(2), FileDialogClass::kPreviewOpen);
  EXPECT_EQ(DialogClassForKind(17), FileDialogClass::kPreviewSave);
  EXPECT_EQ(DialogClassForKind(13), FileDialogClass::kSave);
  EXPECT_EQ(DialogClassForKind(18), FileDialogClass::kOpen);
  EXPECT_EQ(DialogClassForKind(19), FileDialogClass::kNone);
}

TEST(FileKindsTest, QtFiltersKeepTheTextAndGiveBothCases) {
  const std::vector<std::string> f = QtNameFilters(FilterForKind(0));
  ASSERT_EQ(f.size(), 8u);
  EXPECT_EQ(f[2], "BMP (*.bmp) (*.bmp *.BMP)");
  EXPECT_EQ(f[7], "すべてのファイル (*)");
  const std::vector<std::string> e = QtNameFilters(FilterForKind(2));
  EXPECT_EQ(e[0], "Tintaframe4 イベント (*.te4/*.ta4) (*.te4 *.TE4 *.ta4 *.TA4)");
}

class FilePreviewTest : public test::TempFolderTest {
 protected:
  FilePreviewTest() : TempFolderTest("preview") {}
};

void WriteJpeg(const std::string& path, int32_t w, int32_t h) {
  SDib dib;
  ASSERT_TRUE(dib.Make(w, h, 24, 0));
  for (size_t i = 0; i < dib.pixelBytes; ++i) dib.pixels[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(jpegSaveImage(path, dib, SJpegOptions{}), 0);
}

TEST_F(FilePreviewTest, ImagesShowTheirSizeAndTime) {
  const std::string jpeg = PathOf("wide.jpg");
  WriteJpeg(jpeg, 2000, 1000);
  CFilePreview preview;
  preview.SetTimeReader([](const std::string&, std::tm& t) {
    t = std::tm{};
    t.tm_year = 2024 - 1900, t.tm_mon = 2, t.tm_mday = 5, t.tm_hour = 7, t.tm_min = 9;
    return true;
  });
  preview.Select(jpeg);
  ASSERT_TRUE(preview.Available());
  EXPECT_EQ(preview.SizeLabel(), "大きさ: 2000 × 1000");
  EXPECT_EQ(preview.TimeLabel(), "更新日: 2024/03/05 07:09");
  // Scaled to 126 x 63, centred: rows above it stay 0.
  EXPECT_EQ(preview.Image().GetPixel(60, 10), 0u);
  EXPECT_NE(preview.Image().GetPixel(60, 63), 0u);
  // The check box off clears the picture, the labels stay.
  preview.SetShowPreview(false);
  EXPECT_EQ(preview.Image().GetPixel(60, 63), 0u);
  EXPECT_EQ(preview.SizeLabel(), "大きさ: 2000 × 1000");
  preview.SetShowPreview(true);
  EXPECT_NE(preview.Image().GetPixel(60, 63), 0u);
  // A folder: bare labels, picture cleared.
  preview.Select(dir_);
  EXPECT_FALSE(preview.Available());
  EXPECT_EQ(preview.SizeLabel(), "大きさ:");
  EXPECT_EQ(preview.TimeLabel(), "更新日:");
  EXPECT_EQ(preview.Image().GetPixel(60, 63), 0u);
}

// A file whose time cannot be read used to keep the previous file's picture and labels.
TEST_F(FilePreviewTest, UnreadableTimeClearsThePreviousPreview) {
  const std::string jpeg = PathOf("a.jpg");
  WriteJpeg(jpeg, 40, 40);
  CFilePreview preview;
  preview.Select(jpeg);
  ASSERT_TRUE(preview.Available());
  preview.SetTimeReader([](const std::string&, std::tm&) { return false; });
  preview.Select(jpeg);
  EXPECT_FALSE(preview.Available());
  EXPECT_EQ(preview.SizeLabel(), "大きさ:");
  EXPECT_EQ(preview.Image().GetPixel(63, 63), 0u);
}

TEST_F(FilePreviewTest, FilesWithoutPictureGiveNone) {
  CFilePreview preview;
  const std::string tfi = PathOf("empty.tfi");
  std::ofstream(tfi) << "not a document";
  preview.Select(tfi);
  EXPECT_FALSE(preview.Available());
  const std::string other = PathOf("a.txt");
  std::ofstream(other) << "text";
  preview.Select(other);
  EXPECT_FALSE(preview.Available());
  preview.Select(PathOf("missing.png"));
  EXPECT_FALSE(preview.Available());
}

TEST_F(FilePreviewTest, EventFileThumbnail) {
  CFilePreview preview;
  const std::string path = std::string(TF_TEST_DATA_DIR) + "/py_events_full.te4";
  preview.Select(path);
  std::unique_ptr<TMTC> thumb;
  SSize size{};
  ASSERT_EQ(ReadEventThumbnail(path, thumb, size), 0);
  EXPECT_TRUE(preview.Available());
  EXPECT_EQ(preview.PictureSize().width, size.width);
  EXPECT_EQ(preview.PictureSize().height, size.height);
  // A recording without a thumbnail gives none.
  preview.Select(std::string(TF_TEST_DATA_DIR) + "/player_painting.te4");
  EXPECT_FALSE(preview.Available());
}

TEST(FileDialogHostTest, EventDialogsAndOptionalFolder) {
  ScriptedFileDialogHost host;
  FileDialogHost* old = SetFileDialogHost(&host);
  host.Choose("/tmp/x/a.te4");
  host.checkBox = true;
  std::string path;
  bool stopped = false;
  int32_t index = 1;
  ASSERT_TRUE(OpenEventFileDialog(path, stopped, "a", &index, nullptr));
  EXPECT_TRUE(stopped);
  EXPECT_EQ(host.Requests().back().kind, 2);
  host.Choose("/tmp/y/b.te4");
  std::string folder = "/tmp";
  bool prot = false;
  ASSERT_TRUE(SaveEventFileDialog(path, prot, "b", nullptr, &folder));
  EXPECT_EQ(folder, "/tmp/y/");
  EXPECT_EQ(host.Requests().back().kind, 10);
  SetFileDialogHost(old);
}

}  // namespace
}  // namespace tf
