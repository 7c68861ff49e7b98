// The open and save dialogs of file kinds, with the preview pane on their right.
#pragma once
// QFileDialog without the native dialog (the only way to get our pane into its grid layout). The
// pane (TOpenFrame) shows CFilePreview: the selected file's picture, its size and time, and the
// check box "プレビュー(&P)", whose state is kept as useFilePreview. Save kinds give the file name
// the extension of the chosen filter whenever the filter changes; open kinds pick existing files.
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QWidget>

#include <string>

#include "files/FilePreview.h"
#include "platform/FileDialog.h"

namespace tf {

// The frame's picture: 128 x 128, the 126 x 126 preview inside a one-pixel frame.
class TPreviewPaintBox final : public QWidget {
 public:
  TPreviewPaintBox(const CFilePreview& preview, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const CFilePreview& preview_;
};

class TOpenFrame final : public QWidget {
 public:
  explicit TOpenFrame(CFilePreview& preview, QWidget* parent = nullptr);
  // Labels, picture and enabled state from the preview.
  void Refresh();

  TPreviewPaintBox* PaintBox1;
  QLabel* LabelSize;
  QLabel* LabelUpdateTime;
  QCheckBox* CheckBoxPreview;

 private:
  CFilePreview& preview_;
};

class CPrevOpenDialog : public QFileDialog {
 public:
  // kind 0 to 18; withPreview: the pane is there (preview kinds).
  CPrevOpenDialog(int32_t kind, bool withPreview, QWidget* parent = nullptr);
  // A check box under the pane (the event dialogs' extra option).
  QCheckBox* AddCheckBox(const QString& caption);
  // The 1-based index of the chosen filter.
  int32_t FilterIndex() const;
  void SetFilterIndex(int32_t index);
  // The name as the name box holds it now.
  QString TypedName() const;
  TOpenFrame* Frame() const { return frame_; }
  const CFilePreview& Preview() const { return preview_; }
  int32_t Kind() const { return kind_; }

  void done(int result) override;

 protected:
  // Save kinds: the name takes the extension of the filter just chosen.
  void TypeChange(int32_t filterIndex);

 private:
  int32_t kind_;
  CFilePreview preview_;
  TOpenFrame* frame_ = nullptr;
  QCheckBox* extra_ = nullptr;
};

class CPrevSaveDialog final : public CPrevOpenDialog {
 public:
  CPrevSaveDialog(int32_t kind, bool withPreview, QWidget* parent = nullptr);
};

// The host the application installs: every kind's dialog run modally.
class QtFileDialogHost final : public FileDialogHost {
 public:
  bool ExecuteFileDialog(std::string& path, int32_t kind, const std::string& initialName, std::string* folder,
                         int32_t* filterIndex) override;
  bool OpenEventFileDialog(std::string& path, bool& openStopped, const std::string& initialName,
                           int32_t* filterIndex, std::string* folder) override;
  bool SaveEventFileDialog(std::string& path, bool& protectedEvents, const std::string& initialName,
                           int32_t* filterIndex, std::string* folder) override;
};

// Makes the dialog of a kind set up as ExecuteFileDialog runs it (null above 18); tests drive it.
CPrevOpenDialog* MakeFileDialog(int32_t kind, const std::string& initialName, const std::string* folder,
                                const int32_t* filterIndex, QWidget* parent = nullptr);

void InstallQtFileDialogs(bool install);
// The setting the preview check box starts from and is kept in when a dialog closes (the
// application gives its useFilePreview; null: none kept).
void SetFilePreviewSetting(bool* useFilePreview);

}  // namespace tf
