#include "app/qt/FormAbout.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/AboutBox.h"
#include "app/MainFormCore.h"
#include "platform/MemoryStatus.h"
#include "platform/ResourceText.h"
#include "raster/Appearance.h"
#include "ui/MemoryGraphicQt.h"

namespace tf {

namespace {

constexpr int kMargin = 8;

QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* MakeLabel(QWidget* parent, const QString& text, Qt::Alignment alignment) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(alignment | Qt::AlignVCenter);
  return label;
}

// The picture box: paints the surface at its top-left corner.
class AboutPictureBox : public QWidget {
 public:
  AboutPictureBox(const TMemoryGraphic& picture, QWidget* parent) : QWidget(parent), picture_(picture) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!picture_.IsValid()) return;
    QPainter painter(this);
    Draw(picture_, painter, 0, 0, picture_.Width(), picture_.Height());
  }

 private:
  const TMemoryGraphic& picture_;
};

}  // namespace

TFormAbout::TFormAbout(bool renderMode, QWidget* parent) : TDialogBaseForm(parent) {
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setWindowTitle(QString::fromUtf8(Tx(TextId::AboutCaption)));
  ButtonOK()->hide();
  ButtonCancel()->hide();
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor::fromRgb(AppearanceColors[acWindow] & 0xFFFFFF));
  setPalette(pal);
  setAutoFillBackground(true);

  const bool pictureMade = LoadAboutPicture(picture_);
  const int pictureWidth = kAboutPictureWidth;
  const int pictureHeight = pictureMade ? kAboutPictureHeight : 0;
  BoxImage = new AboutPictureBox(picture_, this);
  BoxImage->setGeometry(kMargin, kMargin, pictureWidth, pictureHeight);

  int y = kMargin + pictureHeight + (pictureMade ? 6 : 0);
  LblVersion = MakeLabel(this, Q(MainCaption(renderMode)), Qt::AlignHCenter);
  QFont bold = font();
  if (bold.pointSizeF() > 0) bold.setPointSizeF(bold.pointSizeF() + 1);
  else bold.setPixelSize(bold.pixelSize() + 1);
  bold.setBold(true);
  LblVersion->setFont(bold);
  LblVersion->setGeometry(kMargin, y, pictureWidth, 22);
  y += 26;

  const SAboutMemoryLines lines = AboutMemoryLines(ReadMemoryStatus());
  struct Row {
    TextId caption;
    const std::string& value;
    QLabel** label;
  } rows[] = {{TextId::AboutPhysical, lines.physical, &LblPhys},
              {TextId::AboutVirtual, lines.virtualMemory, &LblVirtual},
              {TextId::AboutPageFile, lines.pageFile, &LblPageFile}};
  const int captionWidth = pictureWidth / 2;
  for (const Row& row : rows) {
    QLabel* caption = MakeLabel(this, QString::fromUtf8(Tx(row.caption)), Qt::AlignRight);
    caption->setGeometry(kMargin, y, captionWidth - 8, 18);
    *row.label = MakeLabel(this, Q(row.value), Qt::AlignRight);
    (*row.label)->setGeometry(kMargin + captionWidth, y, pictureWidth - captionWidth, 18);
    y += 20;
  }

  // The credit: white over a dark shadow one pixel down and right, at the picture's bottom right.
  const QString credit = pictureMade ? Q(TxFormat(TextId::AboutIllustrated, kAboutIllustrator)) : QString();
  LabelShadow = MakeLabel(BoxImage, credit, Qt::AlignRight);
  LabelIllustrator = MakeLabel(BoxImage, credit, Qt::AlignRight);
  QPalette white = LabelIllustrator->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  LabelIllustrator->setPalette(white);
  QPalette shadow = LabelShadow->palette();
  shadow.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0x40));
  LabelShadow->setPalette(shadow);
  LabelIllustrator->setGeometry(0, pictureHeight - 20, pictureWidth - 6, 16);
  LabelShadow->setGeometry(1, pictureHeight - 19, pictureWidth - 6, 16);
  LabelIllustrator->setVisible(pictureMade);
  LabelShadow->setVisible(pictureMade);

  // A press on any part closes the box.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  setFixedSize(pictureWidth + 2 * kMargin, y + kMargin);
}

TFormAbout::~TFormAbout() { ReleaseGrab(); }

void TFormAbout::CloseWithOk() {
  ReleaseGrab();
  // A box already closing (its own hide deactivates it) keeps the result it closes with.
  if (isVisible() && !closing_) done(1);
}

void TFormAbout::ReleaseGrab() {
  if (!grabbing_) return;
  grabbing_ = false;
  releaseMouse();
}

void TFormAbout::done(int result) {
  closing_ = true;
  ReleaseGrab();
  TDialogBaseForm::done(result);
}

void TFormAbout::showEvent(QShowEvent* e) {
  closing_ = false;
  TDialogBaseForm::showEvent(e);
}

bool TFormAbout::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) {
    if (!grabbing_ && isVisible()) {
      grabMouse();
      grabbing_ = true;
    }
  } else if (e->type() == QEvent::WindowDeactivate) {
    CloseWithOk();
  }
  return TDialogBaseForm::event(e);
}

void TFormAbout::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      CloseWithOk();
      return;
    default:
      TDialogBaseForm::keyPressEvent(e);
  }
}

void TFormAbout::mousePressEvent(QMouseEvent*) { CloseWithOk(); }

bool TFormAbout::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
    CloseWithOk();
    return true;
  }
  return TDialogBaseForm::eventFilter(watched, e);
}

void TFormAbout::hideEvent(QHideEvent* e) {
  ReleaseGrab();
  TDialogBaseForm::hideEvent(e);
}

void TFormAbout::paintEvent(QPaintEvent* e) {
  TDialogBaseForm::paintEvent(e);
  // The thin border of a borderless pop-up.
  QPainter painter(this);
  painter.setPen(QColor::fromRgb(AppearanceColors[acGrayText] & 0xFFFFFF));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool ShowAboutBox(bool renderMode) {
  TFormAbout form(renderMode, nullptr);
  return form.exec() == 1;
}

}  // namespace tf
