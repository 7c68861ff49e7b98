// The file dialogs as real QFileDialogs on the offscreen platform, driven by real events: the
// filter switch renames the file, a missing name is refused, the preview pane follows the
// selection, and the check box is kept in the settings.
#include <gtest/gtest.h>

// Before Qt: the paper test support names a member "slots", which Qt makes a macro.
#include "paper/HeadlessWindow.h"
#include "paper/PaperTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <fstream>

#include "app/AppProfile.h"
#include "files/DocFile.h"
#include "files/JpegCodec.h"
#include "files/qt/FileDialogs.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

class FileDialogsTest : public test::TempFolderTest {
 protected:
  FileDialogsTest() : TempFolderTest("dialogs") {}
  void SetUp() override {
    TempFolderTest::SetUp();
    AppProfile().useFilePreview = true;
    SetFilePreviewSetting(&AppProfile().useFilePreview);
  }
  void TearDown() override {
    SetFilePreviewSetting(nullptr);
    TempFolderTest::TearDown();
  }
  // Runs fn once the modal dialog is up.
  static void WhenShown(std::function<void(CPrevOpenDialog*)> fn) {
    QTimer::singleShot(0, [fn] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      fn(static_cast<CPrevOpenDialog*>(dialog));
    });
  }
};

QLineEdit* NameEdit(QFileDialog* d) { return d->findChild<QLineEdit*>("fileNameEdit"); }

TEST_F(FileDialogsTest, FilterSwitchRewritesTheName) {
  const int32_t index = 3;
  std::unique_ptr<CPrevOpenDialog> dialog(MakeFileDialog(8, "picture.tfi", &dir_, &index));
  ASSERT_TRUE(dialog);
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  ASSERT_NE(NameEdit(dialog.get()), nullptr);
  EXPECT_EQ(NameEdit(dialog.get())->text(), "picture.jpg");
  EXPECT_EQ(dialog->FilterIndex(), 3);
  // The user picks filter 1 from the type box with the keyboard.
  auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  types->setFocus();
  QTest::keyClick(types, Qt::Key_Up);
  QTest::keyClick(types, Qt::Key_Up);
  EXPECT_EQ(dialog->FilterIndex(), 1);
  EXPECT_EQ(NameEdit(dialog.get())->text(), "picture.tfi");
  // The filter text stands as given, its patterns hidden.
  EXPECT_EQ(types->itemText(1), "BMP (*.bmp)");
  EXPECT_EQ(dialog->defaultSuffix(), "tfi");
}

TEST_F(FileDialogsTest, OpenKindRefusesAMissingName) {
  QtFileDialogHost host;
  bool stillOpen = false, warned = false;
  WhenShown([&](CPrevOpenDialog* d) {
    QLineEdit* edit = NameEdit(d);
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, "missing.png");
    // The dialog answers with its own message box; close it.
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        warned = true;
        box->accept();
      }
    });
    QTest::keyClick(edit, Qt::Key_Return);
    stillOpen = d->isVisible();
    d->reject();
  });
  std::string path, folder = dir_;
  EXPECT_FALSE(host.ExecuteFileDialog(path, 0, "", &folder, nullptr));
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(warned);
}

TEST_F(FileDialogsTest, OpenReturnsPathFolderAndFilter) {
  const std::string file = PathOf("a.png");
  std::ofstream(file) << "x";
  QtFileDialogHost host;
  WhenShown([&](CPrevOpenDialog* d) {
    QLineEdit* edit = NameEdit(d);
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, "a.png");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  std::string path, folder = dir_;
  int32_t index = 5;
  ASSERT_TRUE(host.ExecuteFileDialog(path, 0, "", &folder, &index));
  EXPECT_EQ(path, file);
  EXPECT_EQ(folder, dir_ + "/");
  EXPECT_EQ(index, 5);
}

// A real click on the file's row of the dialog's list, once the folder has been read.
void ClickItem(QFileDialog* dialog, const char* name) {
  auto* list = dialog->findChild<QListView*>("listView");
  ASSERT_NE(list, nullptr);
  QModelIndex item;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
      const QModelIndex i = list->model()->index(row, 0, root);
      if (i.data().toString() == QString::fromUtf8(name)) {
        item = i;
        return true;
      }
    }
    return false;
  }, 5000));
  list->scrollTo(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
  QApplication::processEvents();
}

void WriteJpeg(const std::string& path) {
  SDib dib;
  ASSERT_TRUE(dib.Make(300, 200, 24, 0));
  for (size_t i = 0; i < dib.pixelBytes; ++i) dib.pixels[i] = static_cast<uint8_t>(i % 251);
  ASSERT_EQ(jpegSaveImage(path, dib, SJpegOptions{}), 0);
}

TEST_F(FileDialogsTest, PreviewFollowsTheSelection) {
  // A document with its thumbnail, the recording fixture, a JPEG and a folder.
  {
    test::PaperTestScope scope;
    HeadlessDocumentWindow window;
    ASSERT_TRUE(window.Paper().NewDocument("d.tfi", &window.Flow(), false, false, 72, 64, 40));
    ASSERT_TRUE(SaveDocFile(PathOf("d.tfi"), window.Paper(), kDocLayers | kDocThumbnail));
  }
  std::ifstream in(std::string(TF_TEST_DATA_DIR) + "/py_events_full.te4", std::ios::binary);
  std::ofstream(PathOf("p.te4"), std::ios::binary) << in.rdbuf();
  WriteJpeg(PathOf("j.jpg"));
  ASSERT_EQ(::mkdir(PathOf("sub").c_str(), 0700), 0);

  const int32_t allFiles = 8;
  std::unique_ptr<CPrevOpenDialog> dialog(MakeFileDialog(0, "", &dir_, &allFiles));
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  TOpenFrame* frame = dialog->Frame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->LabelSize->text(), "大きさ: 0 x 0");
  struct Case {
    const char* name;
    bool available;
    const char* size;
  };
  const Case cases[] = {{"d.tfi", true, "大きさ: 40 × 64"},
                        {"j.jpg", true, "大きさ: 300 × 200"},
                        {"p.te4", true, nullptr},
                        {"sub", false, "大きさ:"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClickItem(dialog.get(), c.name);
    EXPECT_EQ(dialog->Preview().Path(), PathOf(c.name));
    EXPECT_EQ(dialog->Preview().Available(), c.available);
    EXPECT_EQ(frame->PaintBox1->isEnabled(), c.available);
    if (c.size) EXPECT_EQ(frame->LabelSize->text().toStdString(), c.size);
    if (c.available) {
      EXPECT_TRUE(frame->LabelUpdateTime->text().startsWith(QString::fromUtf8("更新日: 20")));
      EXPECT_NE(dialog->Preview().Image().GetPixel(63, 63), 0u);
    } else {
      EXPECT_EQ(frame->LabelUpdateTime->text(), QString::fromUtf8("更新日:"));
      EXPECT_EQ(dialog->Preview().Image().GetPixel(63, 63), 0u);
    }
  }
  // The check box: a real click; its state is kept when the dialog closes.
  ClickItem(dialog.get(), "j.jpg");
  QTest::mouseClick(frame->CheckBoxPreview, Qt::LeftButton, {}, QPoint(4, frame->CheckBoxPreview->height() / 2));
  EXPECT_FALSE(frame->CheckBoxPreview->isChecked());
  EXPECT_EQ(dialog->Preview().Image().GetPixel(63, 63), 0u);
  dialog->reject();
  EXPECT_FALSE(AppProfile().useFilePreview);
}

TEST_F(FileDialogsTest, EventDialogsCarryTheirCheckBox) {
  std::ofstream(PathOf("e.te4")) << "x";
  QtFileDialogHost host;
  WhenShown([&](CPrevOpenDialog* d) {
    auto* box = d->findChild<QCheckBox*>("ExtraCheckBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8("停止状態で開く(&A)"));
    EXPECT_FALSE(box->isChecked());
    box->setChecked(true);
    QLineEdit* edit = NameEdit(d);
    edit->clear();
    QTest::keyClicks(edit, "e.te4");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  std::string path, folder = dir_;
  bool stopped = false;
  ASSERT_TRUE(host.OpenEventFileDialog(path, stopped, "", nullptr, &folder));
  EXPECT_TRUE(stopped);
  EXPECT_EQ(path, PathOf("e.te4"));
  WhenShown([&](CPrevOpenDialog* d) {
    auto* box = d->findChild<QCheckBox*>("ExtraCheckBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromUtf8("保護付きイベント(&V)"));
    EXPECT_EQ(NameEdit(d)->text(), "rec.te4");
    d->reject();
  });
  bool prot = true;
  EXPECT_FALSE(host.SaveEventFileDialog(path, prot, "rec.tfi", nullptr, &folder));
  // Above 18: no dialog.
  EXPECT_FALSE(host.ExecuteFileDialog(path, 19, "", nullptr, nullptr));
}

}  // namespace
}  // namespace tf
