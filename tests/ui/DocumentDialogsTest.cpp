#include "app/qt/DocumentDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "MouseDriver.h"
#include "app/AppProfile.h"
#include "app/qt/FormValue.h"
#include "raster/BlockVMTC.h"

namespace tf {
namespace {

using namespace tf::test;

// Runs what a person does in the modal dialog once it shows, then presses OK or Cancel.
template <typename Form>
void WhenShown(std::function<void(Form&)> act, bool ok) {
  QTimer::singleShot(0, [act, ok] {
    auto* form = qobject_cast<Form*>(QApplication::activeModalWidget());
    if (form == nullptr) {
      ADD_FAILURE() << "no dialog";
      return;
    }
    QTest::qWaitForWindowExposed(form);
    act(*form);
    QPushButton* button = ok ? form->ButtonOK() : form->ButtonCancel();
    Click(button, {10, 10});
  });
}

void TypeInto(QLineEdit* edit, const char* text) {
  edit->setFocus();
  edit->selectAll();
  for (const char* c = text; *c != '\0'; ++c) QTest::keyClick(WindowOf(edit), *c);
}

TEST(DocumentDialogsTest, ImageSizeHalfWidth) {
  TImageSizeValue v{640, 480, 4};
  WhenShown<TFormImageSize>(
      [](TFormImageSize& f) {
        EXPECT_EQ(f.LblSize->text(), QStringLiteral("640 × 480 pixel"));
        TypeInto(f.width.edit, "50");
        EXPECT_EQ(f.pixelW.edit->text(), "320");
        EXPECT_EQ(f.GrpPixel->title(), QStringLiteral("ピクセル ( 320 × 480 px )"));
        Click(f.Position, f.Position->Cell(8).center());
        Click(f.Position, {0, 0});  // the border keeps the cell
      },
      true);
  EXPECT_TRUE(ExecImageSizeDialog(v, 72));
  EXPECT_EQ(v.width, 320);
  EXPECT_EQ(v.height, 480);
  EXPECT_EQ(v.anchor, 8);
  // Cancel, and OK without a change, leave the record.
  WhenShown<TFormImageSize>([](TFormImageSize& f) { TypeInto(f.width.edit, "50"); }, false);
  EXPECT_FALSE(ExecImageSizeDialog(v, 72));
  WhenShown<TFormImageSize>([](TFormImageSize&) {}, true);
  EXPECT_FALSE(ExecImageSizeDialog(v, 72));
  EXPECT_EQ(v.width, 320);
}

TEST(DocumentDialogsTest, ResolutionWithAspectAndLayerScale) {
  TResolutionValue v{640, 480, 72};
  WhenShown<TFormResolution>([](TFormResolution& f) { TypeInto(f.pixelW.edit, "320"); }, true);
  EXPECT_TRUE(ExecResolutionDialog(v, 0));
  EXPECT_EQ(v.width, 320);
  EXPECT_EQ(v.height, 240);
  EXPECT_EQ(v.resolution, 72);
  WhenShown<TFormResolution>(
      [](TFormResolution& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("拡大縮小"));
        EXPECT_FALSE(f.resolution.edit->isVisible());
        TypeInto(f.width.edit, "200");  // percent
      },
      true);
  EXPECT_TRUE(ExecResolutionDialog(v, 1));
  EXPECT_EQ(v.width, 640);
  EXPECT_EQ(v.height, 480);
}

TEST(DocumentDialogsTest, JpegWritesSettingsOnlyOnOk) {
  ResetAppProfile();
  CAppProfile& p = AppProfile();
  p.jpegQVHigh = 100;
  p.jpegQHigh = 90;
  p.jpegQStd = 75;
  p.jpegQLow = 50;
  p.jpegQType = 1;
  TJpegOptionValue v;
  v.quality = -1;
  WhenShown<TFormJpegOption>([](TFormJpegOption& f) { TypeInto(f.quality.edit, "82"); }, false);
  EXPECT_FALSE(ExecJpegOptionDialog(v));
  EXPECT_EQ(v.quality, -1);
  EXPECT_EQ(p.jpegQType, 1);
  WhenShown<TFormJpegOption>(
      [](TFormJpegOption& f) {
        EXPECT_EQ(f.quality.edit->text(), "90");
        TypeInto(f.quality.edit, "82");
        EXPECT_EQ(f.CmbC->currentText(), QStringLiteral("標準"));
        Click(f.ChkP, {5, 10});
      },
      true);
  EXPECT_TRUE(ExecJpegOptionDialog(v));
  EXPECT_EQ(v.quality, 82);
  EXPECT_EQ(v.qualityChoice, 4);
  EXPECT_TRUE(v.progressive);
  EXPECT_EQ(p.jpegQType, 4);
  EXPECT_EQ(p.jpegQuality, 82);
  EXPECT_TRUE(p.jpegUseProgressive);
  ResetAppProfile();
}

TEST(DocumentDialogsTest, NewLayerAndRotation) {
  TNewLayerValue v;
  v.name = "layer 2";
  WhenShown<TFormNewLayer>(
      [](TFormNewLayer& f) {
        Click(f.ChkTransparent, {5, 10});
        TypeInto(f.opacity.edit, "50");
      },
      true);
  EXPECT_TRUE(ExecNewLayerDialog(v));
  EXPECT_EQ(v.name, "layer 2");
  EXPECT_EQ(v.opacity, 128);
  EXPECT_EQ(v.color, 0xFFFFFFFFu);
  float angle = 3;
  WhenShown<TFormRotation>([](TFormRotation& f) { TypeInto(f.EdtValue, "190"); }, true);
  EXPECT_TRUE(ExecRotationDialog(angle));
  EXPECT_EQ(angle, -170);
  WhenShown<TFormRotation>([](TFormRotation& f) { TypeInto(f.EdtValue, "20"); }, false);
  EXPECT_FALSE(ExecRotationDialog(angle));
  EXPECT_EQ(angle, -170);
}

TEST(DocumentDialogsTest, LayerOptionsKeepWhatIsLeftAlone) {
  CBlockVMTC store;
  ASSERT_TRUE(store.Create(700, 480));
  TLayerOptionValue v;
  v.x = 30;
  v.opacity = 128;
  v.ditherStrength = 77;
  v.blendMode = 5;
  WhenShown<TFormLayerOption>(
      [](TFormLayerOption& f) {
        EXPECT_TRUE(f.ChkCrop->isEnabled());
        EXPECT_FALSE(f.dither.edit->isEnabled());
        EXPECT_EQ(f.opacity.edit->text(), "50");
      },
      true);
  const TLayerOptionValue before = v;
  EXPECT_TRUE(ExecLayerOptionDialog(v, store, 640, 480));
  EXPECT_EQ(v.opacity, 128);
  EXPECT_EQ(v.ditherStrength, before.ditherStrength);
  EXPECT_EQ(v.blendMode, 5);
  EXPECT_EQ(v.x, 30);
  TMaskOptionValue m;
  WhenShown<TFormLayerOption>(
      [](TFormLayerOption& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("マスクのプロパティ"));
        EXPECT_FALSE(f.ChkCrop->isEnabled());
        TypeInto(f.EdtLayerName, "m");
      },
      true);
  EXPECT_TRUE(ExecMaskOptionDialog(m, nullptr, 640, 480));
  EXPECT_EQ(m.name, "m");
  CBlockVMTC empty;
  EXPECT_FALSE(ExecLayerOptionDialog(v, empty, 640, 480));  // no preview, no dialog
}

TEST(FormValueTest, EditAndTrackFollowEachOther) {
  TFormLogCount form;
  form.NumValue.SetValue(60);
  EXPECT_EQ(form.EdtValue->text(), "50");
  ASSERT_TRUE(ShowWindow(&form));
  TypeInto(form.EdtValue, "25");
  EXPECT_FLOAT_EQ(form.Track->DrawnPosition(), 0.5f);
  Click(form.Track, {form.Track->width() - 2, 6});
  EXPECT_EQ(form.NumValue.Value(), 50);
  EXPECT_EQ(form.EdtValue->text(), "50");
  TFormSplit split;
  split.NumValue.SetValueMax(2);  // a range of no width: position 0, no NaN
  EXPECT_EQ(split.Track->DrawnPosition(), 0.0f);
  EXPECT_EQ(TFormSelExt().NumValue.ValueCenter(), 16);
}

}  // namespace
}  // namespace tf
