#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <numbers>
#include <vector>

#include "MouseDriver.h"
#include "ui/ColorCells.h"
#include "ui/ColorPickerForm.h"
#include "ui/ColorPickers.h"
#include "ui/NumEdits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tf {
namespace {

using namespace tf::test;

SColorValue FromPixel(uint32_t pixel) {
  SColorValue v;
  BGRAToColorValue(pixel, v);
  return v;
}

// Answers PickColorDialog from a script and records what it was asked.
struct ScriptedDialog {
  std::vector<uint32_t> asked;
  bool confirm = true;
  uint32_t answer = 0xFF336699;
  PickColorDialogRunner saved;
  ScriptedDialog() {
    saved = SetPickColorDialogRunner([this](SColorValue& v) {
      asked.push_back(ColorValueToBGRA(v, 255));
      if (confirm) BGRAToColorValue(answer, v);
      return confirm;
    });
  }
  ~ScriptedDialog() { SetPickColorDialogRunner(saved); }
};

TEST(ColorPickerWidgetTest, DragsLeavingTheControlClamp) {
  QWidget top;
  top.resize(400, 400);
  auto* picker = new TColorPicker(&top);
  picker->setGeometry(50, 50, 300, 282);
  int32_t changes = 0;
  picker->SetOnChange([&](TCustomColorPicker& sender) {
    EXPECT_EQ(&sender, picker);
    ++changes;
  });
  ASSERT_TRUE(ShowWindow(&top));
  ASSERT_EQ(picker->ColorSpace(), cpHSV);
  Press(picker, {100, 100});
  EXPECT_GT(changes, 0);
  MoveTo(picker, {-40, 330});  // left of and below the control: saturation 0, value 0
  EXPECT_EQ(picker->ColorManager().GetHSV().s, 0.0f);
  EXPECT_EQ(picker->ColorManager().GetHSV().v, 0.0f);
  MoveTo(picker, {340, -40});  // right of and above: 1, 1
  EXPECT_EQ(picker->ColorManager().GetHSV().s, 1.0f);
  EXPECT_EQ(picker->ColorManager().GetHSV().v, 1.0f);
  Release(picker, {340, -40});
  EXPECT_EQ(picker->Core().DragMode(), 0);
  // The control shows the foreground at its offset.
  EXPECT_EQ(picker->Graphic().GetPixel(100, 100), picker->Core().Foreground().GetPixel(100, 100));
}

TEST(ColorPickerWidgetTest, ReplaceKeepsTheColourAndMovesTheManager) {
  QWidget top;
  top.resize(400, 400);
  TCustomColorPicker* picker = new TColorPicker(&top);
  picker->setGeometry(10, 20, 200, 182);
  picker->SetColorSpace(cpSHV);
  picker->SetColor(FromPixel(0xFF204080));
  int32_t changes = 0;
  picker->SetOnChange([&](TCustomColorPicker&) { ++changes; });
  ASSERT_TRUE(ShowWindow(&top));
  QPointer<TCustomColorPicker> old = picker;
  TColorManager* manager = &picker->ColorManager();
  ASSERT_TRUE(ReplaceColorPicker(picker, kPickerTriangle, cpSHV));
  EXPECT_NE(picker, old.data());
  EXPECT_EQ(picker->GetPickerKind(), kPickerTriangle);
  EXPECT_EQ(picker->ColorSpace(), cpHSL);  // cpSHV is not the triangle's
  EXPECT_EQ(&picker->ColorManager(), manager);
  EXPECT_EQ(picker->ColorManager().GetPackedRGB(), 0x204080u);
  EXPECT_EQ(picker->geometry(), QRect(10, 20, 200, 182));
  EXPECT_EQ(picker->parentWidget(), &top);
  EXPECT_TRUE(picker->isVisible());
  ASSERT_FALSE(old.isNull());  // deleted later
  EXPECT_FALSE(old->isVisible());
  EXPECT_EQ(old->parentWidget(), nullptr);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(old.isNull());
  Click(picker, {100, 6});  // on the hue ring: the moved callback fires
  EXPECT_GT(changes, 0);
  // Same kind: nothing; a kind outside 0..3: false.
  TCustomColorPicker* same = picker;
  EXPECT_TRUE(ReplaceColorPicker(picker, kPickerTriangle, cpHSV));
  EXPECT_EQ(picker, same);
  EXPECT_FALSE(ReplaceColorPicker(picker, 7, cpHSV));
  EXPECT_EQ(picker, same);
}

TEST(ColorCellWidgetTest, TwinCellOf36By36) {
  ScriptedDialog dialog;
  QWidget top;
  top.resize(100, 100);
  auto* cell = new TTwinColorCell(&top);
  cell->setGeometry(10, 10, 36, 36);
  ASSERT_TRUE(ShowWindow(&top));
  Click(cell, {30, 5});
  EXPECT_EQ(cell->ColorManager().GetPackedRGB(), 0xFFFFFFu);  // swapped: main white
  Click(cell, {30, 30});
  EXPECT_EQ(cell->ActiveCell(), 2);
  // A double-click on the corner swaps once and opens nothing.
  DoubleClick(cell, {30, 5});
  EXPECT_EQ(cell->ColorManager().GetPackedRGB(), 0x000000u);
  EXPECT_TRUE(dialog.asked.empty());
  // A double-click on the main colour: its first click makes it active, the dialog opens for it.
  DoubleClick(cell, {5, 5});
  EXPECT_EQ(cell->ActiveCell(), 1);
  ASSERT_EQ(dialog.asked.size(), 1u);
  EXPECT_EQ(dialog.asked[0], 0xFF000000u);
  EXPECT_EQ(cell->ColorManager().GetPackedRGB(), 0x336699u);
  // Declined: unchanged.
  dialog.confirm = false;
  DoubleClick(cell, {30, 30});
  EXPECT_EQ(dialog.asked.size(), 2u);
  EXPECT_EQ(cell->Core().SubColor().GetPackedRGB(), 0xFFFFFFu);
}

TEST(ColorCellWidgetTest, PickerCellHalvesAndFrame) {
  ScriptedDialog dialog;
  QWidget top;
  top.resize(100, 100);
  auto* cell = new TPickerColorCell(&top);
  cell->setGeometry(10, 10, 40, 30);
  cell->SetColor(FromPixel(0xFF102030));
  cell->SetInitialColor(FromPixel(0xFFA0B0C0));
  cell->SetDrawInitialColor(true);
  std::vector<std::pair<int, int>> downs;
  cell->SetOnMouseDown([&](TCustomColorCell&, int32_t x, int32_t y) { downs.emplace_back(x, y); });
  int32_t changes = 0;
  cell->SetOnChange([&](TCustomColorCell&) { ++changes; });
  ASSERT_TRUE(ShowWindow(&top));
  EXPECT_EQ(cell->Graphic().GetPixel(20, 5) & 0xFFFFFF, 0xA0B0C0u);
  EXPECT_EQ(cell->Graphic().GetPixel(20, 25) & 0xFFFFFF, 0x102030u);
  Click(cell, {1, 10});  // the frame: the usual handling only
  EXPECT_TRUE(dialog.asked.empty());
  Click(cell, {20, 5});  // upper half: the dialog on the current colour
  Click(cell, {20, 25});
  EXPECT_EQ(downs.size(), 3u);
  ASSERT_EQ(dialog.asked.size(), 2u);
  EXPECT_EQ(dialog.asked[0], 0xFF102030u);
  EXPECT_EQ(cell->ColorManager().GetPackedRGB(), 0x336699u);
  EXPECT_EQ(changes, 1);
  cell->SetCallPickerDialog(false);
  Click(cell, {20, 25});
  EXPECT_EQ(dialog.asked.size(), 2u);
  cell->setEnabled(false);
  EXPECT_NE(cell->Graphic().GetPixel(20, 25) & 0xFFFFFF, 0x336699u);
}

// Types text into a number edit as a person does: focus, the keys, Return.
void Type(TNumEdit* edit, const char* text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QString::fromUtf8(text));
  QTest::keyClick(edit, Qt::Key_Return);
}

struct DialogFixture {
  TColorPickerForm form;
  DialogFixture() {
    SColorValue start = FromPixel(0xFF406080);
    form.SetInitialColor(start);
    form.SetColor(start);
    form.show();
    QTest::qWaitForWindowExposed(&form);
  }
  float Field(int32_t f) { return form.Numbers().Field(f).Value(); }
};

TEST(ColorPickerFormTest, TypedNumbers) {
  DialogFixture d;
  Type(d.form.Edit(cfH), "370");
  EXPECT_EQ(d.Field(cfH), 10.0f);
  EXPECT_NEAR(d.form.Picker()->ColorManager().GetHSV().h, 10 * std::numbers::pi / 180, 1e-5);
  Type(d.form.Edit(cfR), "255");
  Type(d.form.Edit(cfG), "0");
  Type(d.form.Edit(cfB), "0");
  EXPECT_EQ(d.Field(cfH), 0.0f);
  EXPECT_NEAR(d.Field(cfS), 100.0f, 1e-4);
  EXPECT_NEAR(d.Field(cfV), 100.0f, 1e-4);
  EXPECT_EQ(d.Field(cfU), 0.0f);
  EXPECT_NEAR(d.Field(cfA), 100.0f, 1e-4);
  EXPECT_NEAR(d.Field(cfL), 50.0f, 1e-4);
  Type(d.form.Edit(cfR), "0");
  Type(d.form.Edit(cfB), "255");
  EXPECT_NEAR(d.Field(cfH), 240.0f, 1e-3);
  SColorValue shown;
  d.form.GetColor(shown);
  EXPECT_EQ(ColorValueToBGRA(shown, 255), 0xFF0000FFu);  // the preview follows
}

TEST(ColorPickerFormTest, PickerClicksFillTheNumbersAndTheUpperPreviewRestores) {
  DialogFixture d;
  Click(d.form.Picker(), {150, 50});
  SColorValue picked;
  d.form.GetColor(picked);
  EXPECT_NE(ColorValueToBGRA(picked, 255), 0xFF406080u);
  EXPECT_EQ(d.Field(cfR), static_cast<float>(ColorValueToBGRA(picked, 0) >> 16 & 0xFF));
  Click(d.form.Preview(), {28, 10});  // the upper half: the colour the dialog opened with
  d.form.GetColor(picked);
  EXPECT_EQ(ColorValueToBGRA(picked, 255), 0xFF406080u);
  EXPECT_EQ(d.Field(cfR), 64.0f);
  EXPECT_EQ(d.form.Picker()->ColorManager().GetPackedRGB(), 0x406080u);
}

TEST(ColorPickerFormTest, KindsEnableTheirSpaces) {
  DialogFixture d;
  EXPECT_TRUE(d.form.Radio(cfH)->isChecked());
  d.form.ComboBoxK()->setCurrentIndex(1);
  emit d.form.ComboBoxK()->activated(1);
  EXPECT_EQ(d.form.Picker()->GetPickerKind(), kPickerTriangle);
  EXPECT_EQ(d.form.Picker()->ColorManager().GetPackedRGB(), 0x406080u);
  EXPECT_TRUE(d.form.Radio(cfU)->isChecked());
  for (int32_t f : {cfR, cfG, cfB, cfS, cfV, cfA, cfL}) EXPECT_FALSE(d.form.Radio(f)->isEnabled()) << f;
  EXPECT_TRUE(d.form.Radio(cfH)->isEnabled());
  EXPECT_FALSE(d.form.CheckBoxC()->isEnabled());
  d.form.Radio(cfH)->click();
  EXPECT_EQ(d.form.Picker()->ColorSpace(), cpHSV);
  d.form.ComboBoxK()->setCurrentIndex(2);
  emit d.form.ComboBoxK()->activated(2);
  EXPECT_EQ(d.form.Picker()->ColorSpace(), cpLHS);
  EXPECT_TRUE(d.form.CheckBoxC()->isEnabled());
  d.form.ComboBoxK()->setCurrentIndex(1);
  emit d.form.ComboBoxK()->activated(1);
  EXPECT_EQ(d.form.Picker()->ColorSpace(), cpHSV);  // remembered for the item
  d.form.CheckBoxC()->setChecked(false);
  EXPECT_FALSE(d.form.Picker()->SliderColored());
}

TEST(ColorPickerFormTest, PickColorDialogCancelKeepsAndOkReturns) {
  for (bool ok : {false, true}) {
    SColorValue value = FromPixel(0xFF112233);
    QTimer::singleShot(0, [ok] {
      auto* form = qobject_cast<TColorPickerForm*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      form->Numbers().Field(cfR).SetValue(200);
      (ok ? form->ButtonOK() : form->ButtonCancel())->click();
    });
    EXPECT_EQ(PickColorDialog(value), ok);
    EXPECT_EQ(ColorValueToBGRA(value, 255), ok ? 0xFFC82233u : 0xFF112233u);
  }
}

}  // namespace
}  // namespace tf
