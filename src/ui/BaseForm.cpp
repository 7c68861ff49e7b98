#include "ui/BaseForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

#include "platform/Confirm.h"
#include "raster/Appearance.h"
#include "ui/UiAppearance.h"

namespace tf {

TBaseForm::TBaseForm(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {
  QPalette p = palette();
  p.setColor(QPalette::Window, AppearanceColor(acBtnFace));
  p.setColor(QPalette::WindowText, AppearanceColor(acWindowText));
  setPalette(p);
  setAutoFillBackground(true);
  setFont(DefaultFormFont());
}

namespace {
constexpr int kButtonRightMargin = 320 - 216;
}

TDialogBaseForm::TDialogBaseForm(QWidget* parent)
    : TBaseForm(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
  resize(320, 80);
  buttonOK_ = new QPushButton(QStringLiteral("OK"), this);
  buttonOK_->setGeometry(216, 8, 88, 20);
  buttonOK_->setDefault(true);
  buttonCancel_ = new QPushButton(QString::fromUtf8("キャンセル"), this);
  buttonCancel_->setGeometry(216, 40, 88, 20);
  setTabOrder(buttonOK_, buttonCancel_);
  connect(buttonOK_, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
  connect(buttonCancel_, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  SetButtonMode(1);
}

void TDialogBaseForm::SetButtonMode(uint8_t mode) {
  if (mode == buttonMode_) return;
  buttonMode_ = mode;
  if (mode == 1) {
    cancelRole_ = buttonCancel_;
    buttonCancel_->setVisible(true);
  } else if (mode == 0) {
    cancelRole_ = buttonOK_;
    buttonCancel_->setVisible(false);
  }
}

void TDialogBaseForm::ButtonOKClick() {
  buttonOK_->setFocus(Qt::OtherFocusReason);
  done(kResultOk);
}

void TDialogBaseForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (cancelRole_ && cancelRole_->isVisible() && cancelRole_->isEnabled()) cancelRole_->click();
    event->accept();
    return;
  }
  TBaseForm::keyPressEvent(event);
}

void TDialogBaseForm::reject() {
  // Closing the window: Cancel's result, whatever the mode.
  done(kResultCancel);
}

void TDialogBaseForm::setVisible(bool visible) {
  // Centred on the screen (the owner's, when there is one) unless the caller placed it. Placing
  // it before Qt shows it keeps Qt's own placement (centred over the owner) out.
  if (visible && !isVisible() && !testAttribute(Qt::WA_Moved)) {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
      const QRect area = screen->availableGeometry();
      move(area.center() - QPoint(width() / 2, height() / 2));
    }
  }
  TBaseForm::setVisible(visible);
}

void TDialogBaseForm::resizeEvent(QResizeEvent* event) {
  TBaseForm::resizeEvent(event);
  // Anchored top and right.
  buttonOK_->move(width() - kButtonRightMargin, buttonOK_->y());
  buttonCancel_->move(width() - kButtonRightMargin, buttonCancel_->y());
}

}  // namespace tf
