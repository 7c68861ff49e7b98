// Number edits and labels bound to a TNumMngr, and the labels that turn into an edit when clicked.
#pragma once
// TNumEdit: a one-line edit of a number. Typing is filtered (digits, a minus when the number may
// be negative, one decimal separator); the value follows the typing live while the text stays as
// typed; Up and Down apply the text and step (Shift: ten steps); leaving the edit applies the text;
// a cut resets the value to its default, a paste applies the whole text; the wheel, when the form
// does not take it, applies the text and steps (ten steps with the left button held). A text that
// does not convert ("-.") is silent while typing and shows its message box when applied.
//
// TNumLabel shows a number. TNumLabelEdit and TLabelEdit open one of the program's two shared
// inline edits (SharedNumEdit, SharedTextEdit) over themselves when clicked. An open inline edit
// takes over the application's events: Tab, Enter and Space accept, Escape cancels, a press outside
// it accepts (the press goes nowhere else), Ctrl and Alt shortcuts do not fire, and losing the
// application's focus accepts.
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "raster/NumMngr.h"
#include "ui/HotTrack.h"

class QWheelEvent;

namespace tf {

// A form that sees a wheel turn over its number edits before they do (answers true when it took it).
class FormWheelHandler {
 public:
  virtual ~FormWheelHandler() = default;
  virtual bool FormMouseWheel(QWheelEvent* event) = 0;
};

// An edit with a text alignment.
class TCustomEditEx : public QLineEdit {
  Q_OBJECT
 public:
  explicit TCustomEditEx(QWidget* parent = nullptr);
  Qt::Alignment Alignment() const { return alignment(); }
  void SetAlignment(Qt::Alignment alignment) { setAlignment(alignment | Qt::AlignVCenter); }
};

class TNumEdit : public TCustomEditEx, public TNumControl {
  Q_OBJECT
 public:
  explicit TNumEdit(QWidget* parent = nullptr);
  ~TNumEdit() override;

  TNumMngr* Associate() const { return associate_; }
  void SetAssociate(TNumMngr* manager);
  const std::string& FormatString() const { return format_; }
  void SetFormatString(const std::string& format);

  void NumRefresh() override;
  void NumRelease() override { SetAssociate(nullptr); }

  // Every change of the text (typed or set).
  std::function<void(TNumEdit* sender)> OnChange;

 protected:
  // Applies the text when it differs from the value's own text.
  void ApplyPendingText();
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  bool AcceptsChar(QChar ch, const QString& text) const;
  void TextEdited(const QString& text);
  void AfterCut();
  void AfterPaste();
  void ApplyAndStep(bool up, bool big);

  TNumMngr* associate_ = nullptr;
  std::string format_ = "%1.0f";
};

// What the two inline edits share: the capture of the application's events while open.
class CaptureState {
 public:
  enum : uint8_t { kEndNone = 0, kEndAccept = 1, kEndCancel = 2 };
  explicit CaptureState(QLineEdit* edit) : edit_(edit) {}
  ~CaptureState();
  bool Capturing() const { return capturing_; }
  uint8_t EndReason() const { return endReason_; }
  // Starts capturing (nothing when already capturing).
  void Enter();
  // Ends capturing: runs the completion, then gives the events back.
  void Exit();
  // The edit lost the focus: to another window (accepted, as when the application loses it), to
  // a popup menu of its own (still open), or by the program's doing (no end reason: cancelled).
  void FocusLost(Qt::FocusReason reason);
  std::function<void()> OnExit;
  // Whether the number edit ignores the messages now (it ended already).
  bool ignoreAfterEnd = false;

 private:
  bool Message(QEvent* event);
  bool ShortCut(QEvent* event);
  void Deactivate(QWindow* newFocus);
  void EndWith(uint8_t reason);

  QLineEdit* edit_;
  bool capturing_ = false;
  uint8_t endReason_ = kEndNone;
  int32_t handlersId_ = 0;
};

// The shared inline text edit.
class TCaptureEdit : public TCustomEditEx {
  Q_OBJECT
 public:
  TCaptureEdit();
  ~TCaptureEdit() override;
  CaptureState& Capture() { return capture_; }
  void Enter() { capture_.Enter(); }
  // A limit in code page 932 bytes (0: none).
  int32_t MaxBytes() const { return maxBytes_; }
  void SetMaxBytes(int32_t bytes) { maxBytes_ = bytes; }

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Limit(const QString& text);
  CaptureState capture_;
  int32_t maxBytes_ = 0;
  QString lastText_;
};

// The shared inline number edit.
class TCaptureNumEdit : public TNumEdit {
  Q_OBJECT
 public:
  TCaptureNumEdit();
  ~TCaptureNumEdit() override;
  CaptureState& Capture() { return capture_; }
  void Enter() { capture_.Enter(); }

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  CaptureState capture_;
};

// The program's two inline edits, made on first use (a QApplication must exist) and deleted with
// the application.
TCaptureNumEdit* SharedNumEdit();
TCaptureEdit* SharedTextEdit();

class TNumLabel : public QLabel, public TNumControl, public HotTrackControl {
  Q_OBJECT
 public:
  explicit TNumLabel(QWidget* parent = nullptr);
  ~TNumLabel() override;

  TNumMngr* Associate() const { return associate_; }
  void SetAssociate(TNumMngr* manager);
  // A plain field: shown from the next change on.
  std::string FormatString = "%1.0f";

  void NumRefresh() override;
  void NumRelease() override { SetAssociate(nullptr); }

 private:
  TNumMngr* associate_ = nullptr;
};

// The text of a clicked label: placed 2 pixels lower, 3 in from the side it is aligned to, at most
// 4 from the other edge; framed in the grey-text colour.
void PaintClickedLabel(QLabel* label);

class TNumLabelEdit : public TNumLabel {
  Q_OBJECT
 public:
  explicit TNumLabelEdit(QWidget* parent = nullptr);
  ~TNumLabelEdit() override;

  bool ReadOnly() const { return readOnly_; }
  virtual void SetReadOnly(bool readOnly);
  int32_t MaxLength = 16;
  // The shared number edit is open (over any label).
  virtual bool IsEditing() const;

  std::function<void(TNumLabelEdit* sender)> OnEditEnter;
  std::function<void(TNumLabelEdit* sender)> OnEditExit;

 protected:
  virtual void DoEditEnter();
  virtual void DoEditExit();
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Completion();
  bool readOnly_ = false;
  float savedValue_ = 0;
};

class TLabelEdit : public QLabel, public HotTrackControl {
  Q_OBJECT
 public:
  explicit TLabelEdit(QWidget* parent = nullptr);
  ~TLabelEdit() override;

  // In code page 932 bytes; 0: no limit.
  int32_t MaxLength = 0;
  virtual bool IsEditing() const;

  std::function<void(TLabelEdit* sender)> OnEditEnter;
  std::function<void(TLabelEdit* sender)> OnEditExit;
  std::function<void(TLabelEdit* sender)> OnChange;

 protected:
  virtual void DoEditEnter();
  virtual void DoEditExit();
  virtual void DoChange();
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Completion();
  bool opened_ = false;  // the shared text edit is open over this label
};

// Opens the shared number edit for owner over a rectangle of parent (the clicked label's), bound to
// manager, framed or not; completion runs when it closes. Used by the clicked labels and the label
// with a popup.
void OpenSharedNumEdit(QObject* owner, QWidget* parent, const QRect& bounds, bool frame, const QFont& font, TNumMngr* manager,
                       const std::string& format, int32_t maxLength, const QString& text,
                       std::function<void()> completion);
// What the labels do when the shared number edit closes: accept applies its text, otherwise the
// value from the opening goes back; then the edit lets go (manager first, then it hides).
void FinishSharedNumEdit(float valueAtOpen);
// An owner going away while its edit is open closes it (no end reason: cancelled).
void CloseSharedNumEditOf(QObject* owner);

}  // namespace tf
