// TFormAbout: the borderless about window with the picture, the version and the memory in use.
#pragma once
// Closes on a press anywhere (its labels and picture too), on Return, Enter or Escape, and as soon
// as it loses activation. While active it holds the mouse, so the next click anywhere reaches it.
#include "raster/MemoryGraphic.h"
#include "ui/BaseForm.h"

class QLabel;

namespace tf {

class TFormAbout : public TDialogBaseForm {
  Q_OBJECT
 public:
  explicit TFormAbout(bool renderMode, QWidget* parent = nullptr);
  ~TFormAbout() override;

  QLabel* LblVersion = nullptr;
  QLabel* LblPhys = nullptr;
  QLabel* LblVirtual = nullptr;
  QLabel* LblPageFile = nullptr;
  QLabel* LabelIllustrator = nullptr;
  QLabel* LabelShadow = nullptr;
  QWidget* BoxImage = nullptr;
  void done(int result) override;
  bool HasPicture() const { return picture_.IsValid(); }
  const TMemoryGraphic& Picture() const { return picture_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void CloseWithOk();
  void ReleaseGrab();

  TMemoryGraphic picture_;
  bool grabbing_ = false;
  bool closing_ = false;
};

// Opens the about box without owner, modal; true when it closed with result 1.
bool ShowAboutBox(bool renderMode);

}  // namespace tf
