#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <memory>

#include "MouseDriver.h"
#include "app/AppProfile.h"
#include "app/ToolWindow.h"
#include "app/qt/FormPreference.h"
#include "app/qt/MainForm.h"
#include "platform/Debug.h"
#include "platform/Registry.h"
#include "support/TempFolder.h"
#include "ui/ColorCells.h"
#include "ui/GraphicTrackbar.h"
#include "ui/UiHosts.h"

namespace tf {
namespace {

CAppProfile OddProfile() {
  CAppProfile p;
  p.psdSaveVer = 7;
  p.ShortcutMode = 5;
  p.mouseMBtnFunc = 3;
  p.GridColor = 0xC8123456;
  p.gridW = 17;
  p.gridH = 40;
  p.undoMax = 12;
  p.AutoSizeAdjust = 5;
  p.FileIODir = 2;
  p.UseLastFile = false;
  p.brushFile = "/media/off/b.pmt";
  return p;
}

TEST(FormPreferenceTest, UntouchedOkKeepsTheSettingsAndEscapeIsOk) {
  CAppProfile p = OddProfile();
  {
    TFormPreference form(p);
    EXPECT_EQ(form.cmbPSD->currentIndex(), -1);
    EXPECT_EQ(form.cmbShortCut->currentIndex(), -1);
    form.ButtonOK()->click();
  }
  EXPECT_EQ(p.psdSaveVer, 7);
  EXPECT_EQ(p.ShortcutMode, 5);
  EXPECT_EQ(p.mouseMBtnFunc, 3);
  EXPECT_EQ(p.GridColor, 0xC8123456u);
  EXPECT_EQ(p.gridW, 17);
  EXPECT_EQ(p.undoMax, 12);
  EXPECT_EQ(p.AutoSizeAdjust, 5);
  EXPECT_EQ(p.FileIODir, 2);
  EXPECT_EQ(p.brushFile, "/media/off/b.pmt");
  {
    TFormPreference form(p);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.chkDispScrollBar->setChecked(true);
    form.cmbPSD->setCurrentIndex(0);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(form.result(), 1);
  }
  EXPECT_TRUE(p.showScrollBar);
  EXPECT_EQ(p.psdSaveVer, 4);
}

TEST(FormPreferenceTest, InitialiseThenCancelChangesNothing) {
  CAppProfile p = OddProfile();
  TFormPreference form(p);
  form.BtnInitialize()->click();
  EXPECT_EQ(form.cmbPSD->currentIndex(), 2);
  EXPECT_EQ(form.Number(TFormPreference::kNumUndo).Value(), 8.0f);
  form.ButtonCancel()->click();
  EXPECT_EQ(p.psdSaveVer, 7);
  EXPECT_EQ(p.undoMax, 12);
  EXPECT_EQ(p.brushFile, "/media/off/b.pmt");
}

TEST(FormPreferenceTest, PagesTrackBarsAndEnabling) {
  CAppProfile p = OddProfile();
  TFormPreference form(p);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.LstPage()->setCurrentRow(2);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(form.Page(i)->isVisible(), i == 2) << i;
    EXPECT_EQ(form.Page(i)->isEnabled(), i == 2) << i;
  }
  // Number model and track bar keep each other in step.
  TNumMngr& gridX = form.Number(TFormPreference::kNumGridX);
  EXPECT_FLOAT_EQ(form.Trackbar(TFormPreference::kNumGridX)->GetPosition(), gridX.GetPosition());
  gridX.SetValue(500);
  EXPECT_FLOAT_EQ(form.Trackbar(TFormPreference::kNumGridX)->GetPosition(), 1.0f);
  form.Trackbar(TFormPreference::kNumGridX)->SetPosition(0);
  form.Trackbar(TFormPreference::kNumGridX)->OnChange(form.Trackbar(TFormPreference::kNumGridX));
  EXPECT_EQ(gridX.Value(), 2.0f);
  // Enabling rules (on pages not shown, as far as the page).
  form.radDrawCursorP->setChecked(true);
  EXPECT_FALSE(form.CursorPathEdit()->isEnabledTo(form.Page(1)));
  form.radDrawCursorS->setChecked(true);
  EXPECT_TRUE(form.CursorPathEdit()->isEnabledTo(form.Page(1)));
  form.chkBrushGhost->setChecked(false);
  EXPECT_FALSE(form.chkGhostCenter->isEnabledTo(form.Page(1)));
  form.chkAutoSize->setChecked(false);
  EXPECT_FALSE(form.chkAutoSizeOnlyEvent->isEnabledTo(form.Page(2)));
  form.chkUseLastFile->setChecked(true);
  EXPECT_FALSE(form.PresetEdit(0)->isEnabledTo(form.Page(3)));
  form.chkUseLastFile->setChecked(false);
  EXPECT_TRUE(form.PresetEdit(0)->isEnabledTo(form.Page(3)));
  // The grid colour cell and opacity: 100 % stores alpha 255.
  form.Number(TFormPreference::kNumGridOpaque).SetValue(100);
  form.ButtonOK()->click();
  EXPECT_EQ(p.GridColor, 0xFF123456u);
  EXPECT_EQ(p.gridW, 2);
}

class CountingToolWindow final : public InterimToolWindow {
 public:
  using InterimToolWindow::InterimToolWindow;
  void LoadToolCursors() override { ++cursors; }
  void ApplySliderDirection() override { ++sliders; }
  int cursors = 0;
  int sliders = 0;
};

TEST(FormPreferenceTest, ApplyStepsRunAfterCancelToo) {
  InstallUiHosts();
  test::ScopedTempFolder folder("prefmain");
  ResetAppProfile();
  CRegistry store(folder.Path());
  AppProfile().SetRegistry(&store);
  AppProfile().LoadAll();
  AppProfile().mainWinMax = false;
  std::string out;
  auto sink = SetDebugSink([&](std::string_view t) { out += t; });
  CountingToolWindow* tool = nullptr;
  SetToolWindowFactory([&tool](ToolWindowOwner& owner) {
    auto window = std::make_unique<CountingToolWindow>(owner);
    tool = window.get();
    return std::unique_ptr<ToolWindow>(std::move(window));
  });
  {
    TMainForm main(SMainFormStart{});
    SetToolWindowFactory(nullptr);
    ASSERT_NE(tool, nullptr);
    const int32_t undo = AppProfile().undoMax;
    QTimer::singleShot(0, [] {
      auto* form = qobject_cast<TFormPreference*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      form->Number(TFormPreference::kNumUndo).SetValue(33);
      form->ButtonCancel()->click();
    });
    ShowPreferences(main);
    EXPECT_EQ(tool->cursors, 1);
    EXPECT_EQ(tool->sliders, 1);
    EXPECT_EQ(AppProfile().undoMax, undo);
  }
  SetDebugSink(sink);
  ResetAppProfile();
}

}  // namespace
}  // namespace tf
