// TProgressWindow: the window of the progress dialog (the core's TProgressDlg) on Qt.
#pragma once
// A small modeless window over its owner: what is being done, the current step, a bar and the
// percentage. The work it reports on runs on the same thread, so every change is painted at once
// (QWidget::repaint), not when the event loop next runs.
#include <QLabel>
#include <QProgressBar>

#include "platform/Progress.h"
#include "ui/BaseForm.h"

namespace tf {

class TProgressWindow final : public TBaseForm, public TProgressDlg {
  Q_OBJECT
 public:
  explicit TProgressWindow(QWidget* parent = nullptr);

  QLabel* Label1() const { return label1_; }
  QLabel* Label2() const { return label2_; }
  QLabel* Label3() const { return label3_; }
  QProgressBar* ProgressBar1() const { return bar_; }

 protected:
  void ShowTitle(const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ShowPercent(int32_t percent) override;
  void ShowWindow(WindowHandle owner) override;

 private:
  void PaintNow(QWidget* widget);

  QLabel* label1_;
  QLabel* label2_;
  QLabel* label3_;
  QProgressBar* bar_;
};

// Makes TProgressWindow dialogs.
class QtProgressHost final : public ProgressHost {
 public:
  std::unique_ptr<TProgressDlg> MakeProgressDlg() override;
};

// The caption of a dialog given no title: the application's display name, else the product name.
QString ProgramTitleText();

}  // namespace tf
