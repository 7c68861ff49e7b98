#include "files/qt/FileDialogs.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QGridLayout>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include "files/FileKinds.h"
#include "platform/ResourceText.h"

namespace tf {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string StripExtension(const std::string& name) { return ReplaceExtension(name, std::string()); }

bool*& PreviewSetting() {
  static bool* setting = nullptr;
  return setting;
}

}  // namespace

TPreviewPaintBox::TPreviewPaintBox(const CFilePreview& preview, QWidget* parent) : QWidget(parent), preview_(preview) {
  setFixedSize(128, 128);
}

void TPreviewPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(0, 0, 127, 127);
  const TMTC& image = preview_.Image();
  if (!image.IsValid()) return;
  const QImage picture(image.Bits(), image.Width(), image.Height(), 4 * image.Width(), QImage::Format_RGB32);
  painter.drawImage(1, 1, picture);
}

TOpenFrame::TOpenFrame(CFilePreview& preview, QWidget* parent) : QWidget(parent), preview_(preview) {
  setObjectName("TOpenFrame");
  setMinimumWidth(140);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 5, 0, 0);
  PaintBox1 = new TPreviewPaintBox(preview, this);
  PaintBox1->setObjectName("PaintBox1");
  LabelSize = new QLabel(QString::fromUtf8(Tx(TextId::PreviewSizeStart)), this);
  LabelSize->setObjectName("LabelSize");
  LabelUpdateTime = new QLabel(QString::fromUtf8(Tx(TextId::PreviewTimeStart)), this);
  LabelUpdateTime->setObjectName("LabelUpdateTime");
  CheckBoxPreview = new QCheckBox(QString::fromUtf8(Tx(TextId::PreviewCheck)), this);
  CheckBoxPreview->setObjectName("CheckBoxPreview");
  CheckBoxPreview->setChecked(preview.ShowPreview());
  layout->addWidget(PaintBox1);
  layout->addWidget(LabelSize);
  layout->addWidget(LabelUpdateTime);
  layout->addWidget(CheckBoxPreview);
  layout->addStretch(1);
  PaintBox1->setEnabled(false);
  // A click makes the preview again first.
  connect(CheckBoxPreview, &QCheckBox::toggled, this, [this](bool on) {
    preview_.SetShowPreview(on);
    Refresh();
  });
}

void TOpenFrame::Refresh() {
  LabelSize->setText(QString::fromStdString(preview_.SizeLabel()));
  LabelUpdateTime->setText(QString::fromStdString(preview_.TimeLabel()));
  const bool available = preview_.Available();
  LabelSize->setEnabled(available);
  LabelUpdateTime->setEnabled(available);
  PaintBox1->setEnabled(available);
  PaintBox1->update();
}

CPrevOpenDialog::CPrevOpenDialog(int32_t kind, bool withPreview, QWidget* parent) : QFileDialog(parent), kind_(kind) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::HideNameFilterDetails, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  setSizeGripEnabled(true);
  QStringList filters;
  for (const std::string& f : QtNameFilters(FilterForKind(kind))) filters << Q(f);
  setNameFilters(filters);
  if (PreviewSetting()) preview_.SetShowPreview(*PreviewSetting());
  if (withPreview) {
    frame_ = new TOpenFrame(preview_, this);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(frame_, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
      preview_.Select(path.toStdString());
      frame_->Refresh();
    });
    frame_->Refresh();
    frame_->LabelSize->setText(QString::fromUtf8(Tx(TextId::PreviewSizeStart)));
    frame_->LabelUpdateTime->setText(QString::fromUtf8(Tx(TextId::PreviewTimeStart)));
  }
  connect(this, &QFileDialog::filterSelected, this, [this](const QString&) {
    const int32_t index = FilterIndex();
    if (index > 0) TypeChange(index);
  });
}

QCheckBox* CPrevOpenDialog::AddCheckBox(const QString& caption) {
  extra_ = new QCheckBox(caption, frame_ ? static_cast<QWidget*>(frame_) : this);
  extra_->setObjectName("ExtraCheckBox");
  if (frame_) frame_->layout()->addWidget(extra_);
  else if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(extra_, grid->rowCount(), 0);
  return extra_;
}

int32_t CPrevOpenDialog::FilterIndex() const {
  // The type box holds the filters in order (their shown text lacks the hidden patterns).
  if (auto* types = findChild<QComboBox*>("fileTypeCombo")) return types->currentIndex() + 1;
  return static_cast<int32_t>(nameFilters().indexOf(selectedNameFilter())) + 1;
}

void CPrevOpenDialog::SetFilterIndex(int32_t index) {
  const QStringList filters = nameFilters();
  if (index >= 1 && index <= filters.size()) selectNameFilter(filters[index - 1]);
}

QString CPrevOpenDialog::TypedName() const {
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) return edit->text();
  const QStringList files = selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void CPrevOpenDialog::TypeChange(int32_t filterIndex) {
  if (!IsSaveKind(kind_)) return;
  std::string name = TypedName().toStdString();
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  selectFile(Q(ReplaceExtension(name, SaveExtensionForFilter(kind_, filterIndex))));
}

void CPrevOpenDialog::done(int result) {
  if (frame_ && PreviewSetting()) *PreviewSetting() = frame_->CheckBoxPreview->isChecked();
  QFileDialog::done(result);
}

CPrevSaveDialog::CPrevSaveDialog(int32_t kind, bool withPreview, QWidget* parent)
    : CPrevOpenDialog(kind, withPreview, parent) {
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
}

CPrevOpenDialog* MakeFileDialog(int32_t kind, const std::string& initialName, const std::string* folder,
                                const int32_t* filterIndex, QWidget* parent) {
  CPrevOpenDialog* dialog = nullptr;
  switch (DialogClassForKind(kind)) {
    case FileDialogClass::kPreviewOpen: dialog = new CPrevOpenDialog(kind, true, parent); break;
    case FileDialogClass::kPreviewSave: dialog = new CPrevSaveDialog(kind, true, parent); break;
    case FileDialogClass::kOpen: dialog = new CPrevOpenDialog(kind, false, parent); break;
    case FileDialogClass::kSave: dialog = new CPrevSaveDialog(kind, false, parent); break;
    case FileDialogClass::kNone: return nullptr;
  }
  if (IsSaveKind(kind)) dialog->setDefaultSuffix(Q(DefaultExtForKind(kind)));
  if (folder && !folder->empty()) dialog->setDirectory(Q(*folder));
  if (filterIndex) dialog->SetFilterIndex(*filterIndex);
  std::string name = initialName;
  if (IsSaveKind(kind)) name = ReplaceExtension(StripExtension(name), SaveExtensionForFilter(kind, dialog->FilterIndex()));
  if (!name.empty()) dialog->selectFile(Q(name));
  return dialog;
}

namespace {

// Runs a made dialog: the path, folder and filter index on OK (an open kind's file must exist).
bool RunDialog(CPrevOpenDialog* dialog, std::string& path, std::string* folder, int32_t* filterIndex) {
  const bool accepted = dialog->exec() == QDialog::Accepted;
  const QStringList files = dialog->selectedFiles();
  if (!accepted || files.isEmpty()) return false;
  const std::string chosen = files.first().toStdString();
  if (!IsSaveKind(dialog->Kind()) && !FileExists(chosen)) return false;
  if (filterIndex) *filterIndex = dialog->FilterIndex();
  if (folder) *folder = FolderOf(chosen);
  path = chosen;
  return true;
}

}  // namespace

bool QtFileDialogHost::ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName,
                                         std::string* folder, int32_t* filterIndex) {
  std::unique_ptr<CPrevOpenDialog> dialog(MakeFileDialog(kind, initialName, folder, filterIndex));
  if (!dialog) return false;
  return RunDialog(dialog.get(), path, folder, filterIndex);
}

namespace {

// An event dialog (kind 2 or 10) with its check box under the pane; checked receives its state.
bool RunEventDialog(int32_t kind, TextId caption, std::string& path, bool& checked, const std::string& initialName,
                    int32_t* filterIndex, std::string* folder) {
  std::unique_ptr<CPrevOpenDialog> dialog(MakeFileDialog(kind, StripExtension(initialName), folder, filterIndex));
  QCheckBox* box = dialog->AddCheckBox(QString::fromUtf8(Tx(caption)));
  if (!RunDialog(dialog.get(), path, folder, filterIndex)) return false;
  checked = box->isChecked();
  return true;
}

}  // namespace

bool QtFileDialogHost::OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName,
                                           int32_t* filterIndex, std::string* folder) {
  return RunEventDialog(2, TextId::OpenEventsStopped, path, openStopped, initialName, filterIndex, folder);
}

bool QtFileDialogHost::SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                                           int32_t* filterIndex, std::string* folder) {
  return RunEventDialog(10, TextId::SaveEventsProtected, path, protectedEvents, initialName, filterIndex, folder);
}

void SetFilePreviewSetting(bool* useFilePreview) { PreviewSetting() = useFilePreview; }

void InstallQtFileDialogs(bool install) {
  static QtFileDialogHost host;
  SetFileDialogHost(install ? &host : nullptr);
}

}  // namespace tf
