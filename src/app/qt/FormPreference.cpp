#include "app/qt/FormPreference.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "app/AppProfile.h"
#include "app/ToolWindow.h"
#include "app/qt/MainForm.h"
#include "platform/FileDialog.h"
#include "platform/ResourceText.h"
#include "ui/ColorCells.h"
#include "ui/GraphicTrackbar.h"
#include "ui/NumEdits.h"

namespace tf {
namespace {

QString Text(TextId id) { return QString::fromUtf8(Tx(id)); }

constexpr int32_t kPageLeft = 128, kPageTop = 8, kPageWidth = 400, kPageHeight = 352;

QCheckBox* Check(QWidget* parent, TextId text, int32_t x, int32_t y) {
  auto* box = new QCheckBox(Text(text), parent);
  box->move(x, y);
  box->adjustSize();
  return box;
}

QRadioButton* Radio(QWidget* parent, TextId text, int32_t x, int32_t y) {
  auto* radio = new QRadioButton(Text(text), parent);
  radio->move(x, y);
  radio->adjustSize();
  return radio;
}

QGroupBox* Group(QWidget* parent, TextId text, int32_t x, int32_t y, int32_t w, int32_t h) {
  auto* group = new QGroupBox(Text(text), parent);
  group->setGeometry(x, y, w, h);
  return group;
}

QComboBox* List(QWidget* parent, TextId label, std::initializer_list<TextId> items, int32_t x, int32_t y,
                int32_t labelWidth, int32_t width) {
  auto* caption = new QLabel(Text(label), parent);
  caption->move(x, y + 3);
  auto* list = new QComboBox(parent);
  list->setGeometry(x + labelWidth, y, width, 20);
  for (TextId item : items) list->addItem(Text(item));
  caption->setBuddy(list);
  return list;
}

void SetItem(QComboBox* list, int32_t item) { list->setCurrentIndex(item >= 0 && item < list->count() ? item : -1); }

std::string Str(const QString& text) { return text.toStdString(); }

}  // namespace

TFormPreference::TFormPreference(CAppProfile& profile, QWidget* parent) : TDialogBaseForm(parent), profile_(profile) {
  setWindowTitle(Text(TextId::PrefCaption));
  lstPage_ = new QListWidget(this);
  lstPage_->setGeometry(8, kPageTop, kPageLeft - 16, kPageHeight);
  for (TextId page : {TextId::PrefPageTools, TextId::PrefPageCursorGrid, TextId::PrefPageDocument,
                      TextId::PrefPageStartup}) {
    lstPage_->addItem(Text(page));
  }
  for (int32_t i = 0; i < 4; ++i) {
    pages_[i] = new QWidget(this);
    pages_[i]->setGeometry(kPageLeft, kPageTop, kPageWidth, kPageHeight);
  }
  BuildToolsPage(pages_[0]);
  BuildCursorGridPage(pages_[1]);
  BuildDocumentPage(pages_[2]);
  BuildStartupPage(pages_[3]);
  btnInitialize_ = new QPushButton(Text(TextId::PrefInitialize), this);
  btnInitialize_->setGeometry(8, kPageTop + kPageHeight + 8, 88, 20);
  connect(btnInitialize_, &QPushButton::clicked, this, [this] { Initialize(); });
  connect(lstPage_, &QListWidget::currentRowChanged, this, [this](int row) { SelectPage(row); });

  PlaceButtons();
  const QRect cancel = ButtonCancel()->geometry();
  resize(cancel.x() + cancel.width() + 16, cancel.y() + cancel.height() + 8);

  // The first items of the lists, then the settings.
  cmbShortCut->setCurrentIndex(0);
  cmbMButtonProc->setCurrentIndex(0);
  cmbSaveAsQuit->setCurrentIndex(0);
  SPreferenceValues values;
  LoadPreferenceValues(profile_, values);
  SetValues(values);
  lstPage_->setCurrentRow(0);
  SelectPage(0);
  for (int32_t i = 0; i < 4; ++i) ValueChange(i, false);
}

TFormPreference::~TFormPreference() {
  for (TNumMngr& n : numbers_) n.OnChange = nullptr;
}

TNumEdit* TFormPreference::NumberRow(QWidget* parent, int32_t index, int32_t y, const char* label,
                                     const char* unit, float min, float max) {
  auto* caption = new QLabel(QString::fromUtf8(label), parent);
  caption->move(8, y + 3);
  SNumMngrProps props;
  props.valueMin = min, props.valueMax = max, props.value = min, props.valueDefault = min;
  numbers_[index].Load(props);
  auto* edit = new TNumEdit(parent);
  edit->setGeometry(96, y, 40, 20);
  edit->SetAlignment(Qt::AlignRight);
  edit->SetFormatString("%1.0f");
  edit->SetAssociate(&numbers_[index]);
  caption->setBuddy(edit);
  auto* unitLabel = new QLabel(QString::fromUtf8(unit), parent);
  unitLabel->move(140, y + 3);
  // The track bar takes the paint box's place.
  auto* bar = new TGraphicTrackbar(parent);
  bar->setGeometry(170, y, 180, 20);
  bar->SetFocusControl(edit);
  bar->OnChange = [this, index](TGraphicTrackbar*) { ValueChange(index, true); };
  numbers_[index].OnChange = [this, index](TNumMngr*) { ValueChange(index, false); };
  trackbars_[index] = bar;
  numberEdits_[index] = edit;
  return edit;
}

void TFormPreference::BuildToolsPage(QWidget* page) {
  QGroupBox* tools = Group(page, TextId::PrefGroupTools, 0, 0, kPageWidth, 176);
  cmbMButtonProc =
      List(tools, TextId::PrefMiddleButton,
           {TextId::PrefMiddleButton0, TextId::PrefMiddleButton1, TextId::PrefMiddleButton2, TextId::PrefMiddleButton3,
            TextId::PrefMiddleButton4, TextId::PrefMiddleButton5, TextId::PrefMiddleButton6, TextId::PrefMiddleButton7,
            TextId::PrefMiddleButton8, TextId::PrefMiddleButton9, TextId::PrefMiddleButton10},
           8, 20, 128, 160);
  chkRightButton = Check(tools, TextId::PrefRightButton, 8, 46);
  NumberRow(tools, kNumUndo, 68, Tx(TextId::PrefUndo), Tx(TextId::PrefUndoUnit), kUndoMin, kUndoMax);
  cmbShortCut = List(tools, TextId::PrefShortcut, {TextId::PrefShortcut0, TextId::PrefShortcut1}, 8, 96, 128, 160);
  chkUseGrabCtrl = Check(tools, TextId::PrefUseGrabCtrl, 8, 124);
  chkToolFindNext = Check(tools, TextId::PrefToolFindNext, 8, 148);
  QGroupBox* palette = Group(page, TextId::PrefGroupPalette, 0, 184, kPageWidth, 160);
  chkDrawToolAutoSave = Check(palette, TextId::PrefDrawToolAutoSave, 8, 20);
  chkGrabToolDblClk = Check(palette, TextId::PrefGrabToolDblClk, 8, 42);
  chkZoomToolDblClk = Check(palette, TextId::PrefZoomToolDblClk, 8, 64);
  chkExColor = Check(palette, TextId::PrefExColor, 8, 86);
  chkAutoFreeHand = Check(palette, TextId::PrefAutoFreeHand, 8, 108);
  chkVerticalPopup = Check(palette, TextId::PrefVerticalPopup, 8, 130);
}

void TFormPreference::BuildCursorGridPage(QWidget* page) {
  QGroupBox* draw = Group(page, TextId::PrefGroupDrawCursor, 0, 0, kPageWidth, 120);
  radDrawCursorS = Radio(draw, TextId::PrefDrawCursorS, 8, 20);
  radDrawCursorP = Radio(draw, TextId::PrefDrawCursorP, 120, 20);
  edtCursorPath_ = new QLineEdit(draw);
  edtCursorPath_->setGeometry(8, 44, 290, 20);
  btnCursorPath_ = new QPushButton(Text(TextId::PrefCursorBrowse), draw);
  btnCursorPath_->setGeometry(304, 44, 88, 20);
  chkBrushGhost = Check(draw, TextId::PrefBrushGhost, 8, 70);
  chkGhostCenter = Check(draw, TextId::PrefGhostCenter, 24, 92);
  QGroupBox* other = Group(page, TextId::PrefGroupOtherCursor, 0, 128, kPageWidth, 48);
  radOtherCursorT = Radio(other, TextId::PrefOtherCursorT, 8, 20);
  radOtherCursorE = Radio(other, TextId::PrefOtherCursorE, 120, 20);
  QGroupBox* grid = Group(page, TextId::PrefGroupGrid, 0, 184, kPageWidth, 130);
  NumberRow(grid, kNumGridX, 20, Tx(TextId::PrefGridWidth), Tx(TextId::PrefGridPixels), kGridMin, kGridMax);
  NumberRow(grid, kNumGridY, 46, Tx(TextId::PrefGridHeight), Tx(TextId::PrefGridPixels), kGridMin, kGridMax);
  auto* colourLabel = new QLabel(Text(TextId::PrefGridColour), grid);
  colourLabel->move(8, 78);
  gridColor_ = new TPickerColorCell(grid);
  gridColor_->setGeometry(40, 72, 40, 24);
  NumberRow(grid, kNumGridOpaque, 100, Tx(TextId::PrefGridOpacity), TxFormat(TextId::PrefGridPercent).c_str(), kGridOpacityMin,
            kGridOpacityMax);
  connect(radDrawCursorS, &QRadioButton::toggled, this, [this] { UpdateEnabling(); });
  connect(chkBrushGhost, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  connect(edtCursorPath_, &QLineEdit::textEdited, this, [this] { cursorPathEdited_ = true; });
  connect(btnCursorPath_, &QPushButton::clicked, this, [this] { BrowseCursor(); });
}

void TFormPreference::BuildDocumentPage(QWidget* page) {
  QGroupBox* doc = Group(page, TextId::PrefGroupDocument, 0, 0, kPageWidth, 206);
  chkDispScrollBar = Check(doc, TextId::PrefDispScrollBar, 8, 20);
  chkDispFullPath = Check(doc, TextId::PrefDispFullPath, 8, 42);
  chkUseAutoScroll = Check(doc, TextId::PrefUseAutoScroll, 8, 64);
  chkForceDisp = Check(doc, TextId::PrefForceDisp, 8, 86);
  chkAutoSize = Check(doc, TextId::PrefAutoSize, 8, 108);
  chkAutoSizeOnlyEvent = Check(doc, TextId::PrefAutoSizeOnlyEvent, 24, 130);
  chkAutoSizeOnlyZoomOut = Check(doc, TextId::PrefAutoSizeOnlyZoomOut, 24, 152);
  chkPlayAntiOff = Check(doc, TextId::PrefPlayAntiOff, 8, 176);
  QGroupBox* save = Group(page, TextId::PrefGroupSave, 0, 214, kPageWidth, 120);
  chkSaveConfirm = Check(save, TextId::PrefSaveConfirm, 8, 20);
  cmbPSD = List(save, TextId::PrefPsd, {}, 8, 44, 160, 60);
  cmbPSD->addItems({QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")});
  chkImageIOOtherPath = Check(save, TextId::PrefImageIOOtherPath, 8, 70);
  chkPriorityFilePath = Check(save, TextId::PrefPriorityFilePath, 8, 92);
  connect(chkAutoSize, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
}

void TFormPreference::BuildStartupPage(QWidget* page) {
  cmbSaveAsQuit = List(page, TextId::PrefSaveAsQuit,
                       {TextId::PrefSaveAsQuit0, TextId::PrefSaveAsQuit1, TextId::PrefSaveAsQuit2}, 0, 0, 200, 140);
  chkUseLastFile = Check(page, TextId::PrefUseLastFile, 0, 28);
  static constexpr TextId kGroups[kPreferencePresetCount] = {TextId::PrefGroupBrush, TextId::PrefGroupNib,
                                                             TextId::PrefGroupSwatch, TextId::PrefGroupGradient,
                                                             TextId::PrefGroupTone};
  static constexpr TextId kButtons[kPreferencePresetCount] = {TextId::PrefBrowseBrush, TextId::PrefBrowseNib,
                                                              TextId::PrefBrowseSwatch, TextId::PrefBrowseGradient,
                                                              TextId::PrefBrowseTone};
  for (int32_t i = 0; i < kPreferencePresetCount; ++i) {
    presetGroups_[i] = Group(page, kGroups[i], 0, 56 + 58 * i, kPageWidth, 52);
    presetEdits_[i] = new QLineEdit(presetGroups_[i]);
    presetEdits_[i]->setGeometry(8, 22, 290, 20);
    presetButtons_[i] = new QPushButton(Text(kButtons[i]), presetGroups_[i]);
    presetButtons_[i]->setGeometry(304, 22, 88, 20);
    connect(presetEdits_[i], &QLineEdit::textEdited, this, [this, i] { presetEdited_[i] = true; });
    connect(presetButtons_[i], &QPushButton::clicked, this, [this, i] { BrowsePreset(i); });
  }
  connect(chkUseLastFile, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
}

void TFormPreference::PlaceButtons() {
  const int32_t y = kPageTop + kPageHeight + 8;
  const int32_t right = kPageLeft + kPageWidth;
  ButtonCancel()->setGeometry(right - 88, y, 88, 20);
  ButtonOK()->setGeometry(right - 88 - 4 - 88, y, 88, 20);
}

void TFormPreference::resizeEvent(QResizeEvent* event) {
  TDialogBaseForm::resizeEvent(event);
  PlaceButtons();
}

void TFormPreference::keyPressEvent(QKeyEvent* event) {
  // Escape answers OK here.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    ButtonOK()->click();
    event->accept();
    return;
  }
  TDialogBaseForm::keyPressEvent(event);
}

void TFormPreference::SelectPage(int32_t index) {
  for (int32_t i = 0; i < 4; ++i) {
    pages_[i]->setVisible(i == index);
    pages_[i]->setEnabled(i == index);
  }
}

void TFormPreference::ValueChange(int32_t index, bool fromTrackbar) {
  if (valueChanging_) return;
  valueChanging_ = true;
  if (fromTrackbar) {
    numbers_[index].SetPosition(trackbars_[index]->GetPosition());
  } else {
    trackbars_[index]->SetPosition(numbers_[index].GetPosition());
  }
  valueChanging_ = false;
}

void TFormPreference::UpdateEnabling() {
  const SPreferenceEnabling e = PreferenceEnabling(Values());
  edtCursorPath_->setEnabled(e.cursorPath);
  btnCursorPath_->setEnabled(e.cursorPath);
  chkGhostCenter->setEnabled(e.ghostCenter);
  chkAutoSizeOnlyEvent->setEnabled(e.autoSizeOptions);
  chkAutoSizeOnlyZoomOut->setEnabled(e.autoSizeOptions);
  for (QGroupBox* group : presetGroups_) group->setEnabled(e.presetGroups);
}

SPreferenceValues TFormPreference::Values() const {
  SPreferenceValues v;
  v.middleButton = cmbMButtonProc->currentIndex();
  v.rightButtonPicks = chkRightButton->isChecked();
  v.undo = numbers_[kNumUndo].Value();
  v.shortcut = cmbShortCut->currentIndex();
  v.useGrabCtrl = chkUseGrabCtrl->isChecked();
  v.toolFindNextWithShift = chkToolFindNext->isChecked();
  v.drawToolAutoSave = chkDrawToolAutoSave->isChecked();
  v.grabToolDblClk = chkGrabToolDblClk->isChecked();
  v.zoomToolDblClk = chkZoomToolDblClk->isChecked();
  v.exchangeColors = chkExColor->isChecked();
  v.autoFreeHand = chkAutoFreeHand->isChecked();
  v.verticalPopup = chkVerticalPopup->isChecked();
  v.drawCursorFine = radDrawCursorP->isChecked();
  v.cursorPath = Str(edtCursorPath_->text());
  v.brushGhost = chkBrushGhost->isChecked();
  v.ghostCenter = chkGhostCenter->isChecked();
  v.otherCursorFine = radOtherCursorE->isChecked();
  v.gridX = numbers_[kNumGridX].Value();
  v.gridY = numbers_[kNumGridY].Value();
  gridColor_->GetColor(v.gridColor);
  v.gridOpacity = numbers_[kNumGridOpaque].Value();
  v.showScrollBar = chkDispScrollBar->isChecked();
  v.fullPath = chkDispFullPath->isChecked();
  v.autoScroll = chkUseAutoScroll->isChecked();
  v.forceDisp = chkForceDisp->isChecked();
  v.autoSize = chkAutoSize->isChecked();
  v.autoSizeOnlyEvent = chkAutoSizeOnlyEvent->isChecked();
  v.autoSizeOnlyZoomOut = chkAutoSizeOnlyZoomOut->isChecked();
  v.playAntiOff = chkPlayAntiOff->isChecked();
  v.saveConfirm = chkSaveConfirm->isChecked();
  v.psdItem = cmbPSD->currentIndex();
  v.separatePaths = chkImageIOOtherPath->isChecked();
  v.filePathFirst = chkPriorityFilePath->isChecked();
  v.saveAsQuit = cmbSaveAsQuit->currentIndex();
  v.useLastFile = chkUseLastFile->isChecked();
  for (int32_t i = 0; i < kPreferencePresetCount; ++i) {
    v.presetPaths[i] = Str(presetEdits_[i]->text());
    v.presetPathEdited[i] = presetEdited_[i];
  }
  v.cursorPathEdited = cursorPathEdited_;
  return v;
}

void TFormPreference::SetValues(const SPreferenceValues& v) {
  SetItem(cmbMButtonProc, v.middleButton);
  chkRightButton->setChecked(v.rightButtonPicks);
  numbers_[kNumUndo].SetValue(v.undo);
  SetItem(cmbShortCut, v.shortcut);
  chkUseGrabCtrl->setChecked(v.useGrabCtrl);
  chkToolFindNext->setChecked(v.toolFindNextWithShift);
  chkDrawToolAutoSave->setChecked(v.drawToolAutoSave);
  chkGrabToolDblClk->setChecked(v.grabToolDblClk);
  chkZoomToolDblClk->setChecked(v.zoomToolDblClk);
  chkExColor->setChecked(v.exchangeColors);
  chkAutoFreeHand->setChecked(v.autoFreeHand);
  chkVerticalPopup->setChecked(v.verticalPopup);
  (v.drawCursorFine ? radDrawCursorP : radDrawCursorS)->setChecked(true);
  edtCursorPath_->setText(QString::fromStdString(v.cursorPath));
  chkBrushGhost->setChecked(v.brushGhost);
  chkGhostCenter->setChecked(v.ghostCenter);
  (v.otherCursorFine ? radOtherCursorE : radOtherCursorT)->setChecked(true);
  numbers_[kNumGridX].SetValue(v.gridX);
  numbers_[kNumGridY].SetValue(v.gridY);
  gridColor_->SetColor(v.gridColor);
  numbers_[kNumGridOpaque].SetValue(v.gridOpacity);
  chkDispScrollBar->setChecked(v.showScrollBar);
  chkDispFullPath->setChecked(v.fullPath);
  chkUseAutoScroll->setChecked(v.autoScroll);
  chkForceDisp->setChecked(v.forceDisp);
  chkAutoSize->setChecked(v.autoSize);
  chkAutoSizeOnlyEvent->setChecked(v.autoSizeOnlyEvent);
  chkAutoSizeOnlyZoomOut->setChecked(v.autoSizeOnlyZoomOut);
  chkPlayAntiOff->setChecked(v.playAntiOff);
  chkSaveConfirm->setChecked(v.saveConfirm);
  SetItem(cmbPSD, v.psdItem);
  chkImageIOOtherPath->setChecked(v.separatePaths);
  chkPriorityFilePath->setChecked(v.filePathFirst);
  SetItem(cmbSaveAsQuit, v.saveAsQuit);
  chkUseLastFile->setChecked(v.useLastFile);
  for (int32_t i = 0; i < kPreferencePresetCount; ++i) {
    presetEdits_[i]->setText(QString::fromStdString(v.presetPaths[i]));
    presetEdited_[i] = v.presetPathEdited[i];
  }
  cursorPathEdited_ = v.cursorPathEdited;
  UpdateEnabling();
}

void TFormPreference::Initialize() {
  SPreferenceValues v = Values();
  InitialisePreferenceValues(v);
  SetValues(v);
}

void TFormPreference::ButtonOKClick() {
  TDialogBaseForm::ButtonOKClick();
  SaveSettings();
}

void TFormPreference::SaveSettings() { SavePreferenceValues(Values(), profile_); }

void TFormPreference::BrowseCursor() {
  const std::string current = Str(edtCursorPath_->text());
  std::error_code error;
  const std::filesystem::path path(current);
  std::string folder = path.parent_path().string();
  const std::string proposed = std::filesystem::is_regular_file(path, error) ? path.filename().string() : "";
  std::string chosen;
  if (!ExecuteFileDialog(chosen, kFileDialogCursorOpen, proposed, &folder, nullptr)) return;
  edtCursorPath_->setText(QString::fromStdString(chosen));
  cursorPathEdited_ = true;
}

void TFormPreference::BrowsePreset(int32_t index) {
  const std::string* const folders[kPreferencePresetCount] = {&profile_.penPath, &profile_.penPath,
                                                              &profile_.palPath, &profile_.gradPath2,
                                                              &profile_.tonePath};
  std::string folder = *folders[index];
  std::string chosen;
  if (!ExecuteFileDialog(chosen, kPreferencePresetKinds[index], Str(presetEdits_[index]->text()), &folder, nullptr)) {
    return;
  }
  presetEdits_[index]->setText(QString::fromStdString(chosen));
  presetEdited_[index] = true;
}

int32_t ShowPreferencesDialog(TMainForm& main, MainFormChild* window) {
  auto* dialog = new TFormPreference(AppProfile(), &main);
  const int32_t result = main.RunModalDialog(dialog);
  delete dialog;
  if (ToolWindow* tool = main.Tool()) tool->LoadToolCursors();
  if (window != nullptr) ApplyDocumentPreferences(window);
  return result;
}

void ShowPreferences(TMainForm& main) {
  ShowPreferencesDialog(main, main.GetActiveDrawWindow());
  if (ToolWindow* tool = main.Tool()) tool->ApplySliderDirection();
}

}  // namespace tf
