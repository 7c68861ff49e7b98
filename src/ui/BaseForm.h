// TBaseForm and TDialogBaseForm: the base of every window of the program but the main and
// document windows, and of every modal dialog.
#pragma once
#include <QDialog>
#include <cstdint>

class QPushButton;

namespace tf {

// A top-level form in the button face colour with the user-interface font (DefaultFormFont).
class TBaseForm : public QDialog {
  Q_OBJECT
 public:
  explicit TBaseForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
};

// A modal dialog with OK and Cancel at its top right (client 320 x 80 to start with).
// Results: 1 OK, 2 Cancel. Esc clicks the cancel-role button (Cancel in mode 1, OK in mode 0);
// closing the window gives 2.
class TDialogBaseForm : public TBaseForm {
  Q_OBJECT
 public:
  explicit TDialogBaseForm(QWidget* parent = nullptr);

  // 1: OK and Cancel; 0: OK only, and OK takes the cancel role; another value is stored and
  // changes nothing else. No change when equal to the current mode.
  void SetButtonMode(uint8_t mode);
  uint8_t ButtonMode() const { return buttonMode_; }
  QPushButton* ButtonOK() const { return buttonOK_; }
  QPushButton* ButtonCancel() const { return buttonCancel_; }
  QPushButton* CancelRoleButton() const { return cancelRole_; }

  void reject() override;
  void setVisible(bool visible) override;

 protected:
  // Moves the focus to OK first, so that the control that had it sees it go before the dialog
  // closes.
  virtual void ButtonOKClick();
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPushButton* buttonOK_;
  QPushButton* buttonCancel_;
  QPushButton* cancelRole_ = nullptr;
  uint8_t buttonMode_ = 255;
};

}  // namespace tf
