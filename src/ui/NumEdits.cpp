#include "ui/NumEdits.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QShortcutEvent>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "platform/Text.h"
#include "platform/qt/AppEventFilter.h"
#include "raster/Appearance.h"
#include "ui/UiAppearance.h"

namespace tf {

namespace {

QString NumText(const TNumMngr* manager, const std::string& format) {
  return manager != nullptr ? QString::fromStdString(FormatNum(format.c_str(), manager->Value())) : QStringLiteral("0");
}

}  // namespace

// ---- TCustomEditEx, TNumEdit ----------------------------------------------------------------

TCustomEditEx::TCustomEditEx(QWidget* parent) : QLineEdit(parent) { SetAlignment(Qt::AlignLeft); }

TNumEdit::TNumEdit(QWidget* parent) : TCustomEditEx(parent) {
  resize(40, height());
  setMaxLength(16);
  SetAlignment(Qt::AlignRight);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { TextEdited(text); });
  connect(this, &QLineEdit::textChanged, this, [this](const QString&) {
    if (OnChange) OnChange(this);
  });
}

TNumEdit::~TNumEdit() { SetAssociate(nullptr); }

void TNumEdit::SetAssociate(TNumMngr* manager) {
  if (associate_ != nullptr) associate_->Detach(this);
  associate_ = manager;
  if (manager != nullptr) manager->Attach(this);
  NumRefresh();
}

void TNumEdit::SetFormatString(const std::string& format) {
  if (format == format_) return;
  format_ = format;
  NumRefresh();
}

void TNumEdit::NumRefresh() { setText(NumText(associate_, format_)); }

bool TNumEdit::AcceptsChar(QChar ch, const QString& text) const {
  if (ch.unicode() < 32) return true;
  if (ch >= u'0' && ch <= u'9') return true;
  if (ch == u'-') return associate_ == nullptr || associate_->IsSigned();
  const QChar separator = QLatin1Char(DecimalSeparator());
  return ch == separator && !text.contains(separator);
}

void TNumEdit::TextEdited(const QString& text) {
  if (associate_ == nullptr) return;
  float v = 0;
  // An incomplete text ("-", "-." on the way to "-.5") changes nothing and shows nothing.
  switch (ParseNumberText(text.toStdString(), associate_->IsSigned(), v)) {
    case TNumParse::Number:
      associate_->ChangeValue(this, std::min(associate_->ValueMax(), std::max(associate_->ValueMin(), v)));
      break;
    case TNumParse::Overflow: associate_->ApplyOverflow(this, v < 0); break;
    default: break;
  }
}

void TNumEdit::ApplyAndStep(bool up, bool big) {
  if (associate_ == nullptr) return;
  associate_->SetValueText(this, text().toStdString());
  if (associate_ == nullptr) return;  // a message box ran and the manager went away
  up ? associate_->StepUp(this, big) : associate_->StepDown(this, big);
}

void TNumEdit::AfterCut() {
  if (associate_ != nullptr) associate_->ResetValue();
}

void TNumEdit::AfterPaste() {
  if (associate_ != nullptr) associate_->SetValueText(this, text().toStdString());
}

void TNumEdit::ApplyPendingText() {
  if (associate_ == nullptr) return;
  if (text() != NumText(associate_, format_)) associate_->SetValueText(this, text().toStdString());
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
    ApplyAndStep(event->key() == Qt::Key_Up, (event->modifiers() & Qt::ShiftModifier) != 0);
    TCustomEditEx::keyPressEvent(event);
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    TCustomEditEx::keyPressEvent(event);
    AfterCut();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    TCustomEditEx::keyPressEvent(event);
    AfterPaste();
    return;
  }
  const QString typed = event->text();
  for (const QChar ch : typed) {
    if (!AcceptsChar(ch, text())) {
      event->accept();  // discarded
      return;
    }
  }
  TCustomEditEx::keyPressEvent(event);
}

void TNumEdit::inputMethodEvent(QInputMethodEvent* event) {
  const QString commit = event->commitString();
  QString kept;
  QString current = text();
  for (const QChar ch : commit) {
    if (AcceptsChar(ch, current)) {
      kept.append(ch);
      current.append(ch);
    }
  }
  if (kept == commit) {
    TCustomEditEx::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
  TCustomEditEx::inputMethodEvent(&filtered);
}

void TNumEdit::focusOutEvent(QFocusEvent* event) {
  ApplyPendingText();
  TCustomEditEx::focusOutEvent(event);
}

void TNumEdit::wheelEvent(QWheelEvent* event) {
  if (auto* form = dynamic_cast<FormWheelHandler*>(window()); form != nullptr && form->FormMouseWheel(event)) {
    event->accept();
    return;
  }
  const int delta = event->angleDelta().y();
  if (associate_ == nullptr || delta == 0) {
    TCustomEditEx::wheelEvent(event);
    return;
  }
  ApplyAndStep(delta > 0, (event->buttons() & Qt::LeftButton) != 0);
  event->accept();
}

void TNumEdit::contextMenuEvent(QContextMenuEvent* event) {
  // cut() and paste() are not virtual: follow the menu's own actions, known by their names (Qt 6.5
  // on) or by the key shown after the tab of their text (earlier versions name none).
  QMenu* menu = createStandardContextMenu();
  auto is = [](const QAction* action, const char* name, QKeySequence::StandardKey key) {
    if (action->objectName() == QLatin1String(name)) return true;
    const QString keys = action->text().section(QLatin1Char('\t'), 1);
    return !keys.isEmpty() && keys == QKeySequence(key).toString(QKeySequence::NativeText);
  };
  for (QAction* action : menu->actions()) {
    if (is(action, "edit-cut", QKeySequence::Cut)) {
      connect(action, &QAction::triggered, this, [this] { AfterCut(); });
    } else if (is(action, "edit-paste", QKeySequence::Paste)) {
      connect(action, &QAction::triggered, this, [this] { AfterPaste(); });
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
  event->accept();
}

// ---- Capturing inline edits ---------------------------------------------------------------

CaptureState::~CaptureState() {
  if (handlersId_ != 0 && QCoreApplication::instance() != nullptr) AppEventFilter::Instance().Remove(handlersId_);
}

void CaptureState::Enter() {
  if (capturing_) return;
  capturing_ = true;
  endReason_ = kEndNone;
  handlersId_ = AppEventFilter::Instance().Push({
      [this](QEvent* e) { return Message(e); },
      [this](QEvent* e) { return ShortCut(e); },
      [this](QWindow* w) { Deactivate(w); },
  });
}

void CaptureState::Exit() {
  if (!capturing_) return;
  capturing_ = false;
  if (OnExit) {
    auto completion = OnExit;
    completion();
  }
  if (handlersId_ != 0) {
    AppEventFilter::Instance().Remove(handlersId_);
    handlersId_ = 0;
  }
}

void CaptureState::FocusLost(Qt::FocusReason reason) {
  if (!capturing_ || reason == Qt::PopupFocusReason) return;
  if (reason == Qt::ActiveWindowFocusReason) {
    EndWith(kEndAccept);
  } else {
    Exit();
  }
}

void CaptureState::EndWith(uint8_t reason) {
  endReason_ = reason;
  Exit();
}

bool CaptureState::Message(QEvent* event) {
  if (ignoreAfterEnd && endReason_ != kEndNone) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: EndWith(kEndAccept); return true;
        case Qt::Key_Escape: EndWith(kEndCancel); return true;
        default: return false;
      }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) return false;
      const QRect inside(edit_->mapToGlobal(QPoint(0, 0)), edit_->size());
      if (edit_->isVisible() && inside.contains(mouse->globalPosition().toPoint())) return false;
      EndWith(kEndAccept);
      return true;
    }
    default: return false;
  }
}

bool CaptureState::ShortCut(QEvent* event) {
  if (event->type() != QEvent::Shortcut) return false;
  const QKeySequence keys = static_cast<QShortcutEvent*>(event)->key();
  if (keys.isEmpty()) return false;
  return (keys[0].keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
}

void CaptureState::Deactivate(QWindow* newFocus) {
  if (newFocus != nullptr && newFocus == edit_->window()->windowHandle()) return;
  EndWith(kEndAccept);
  AppEventFilter::Instance().ForwardDeactivate(newFocus);
}

TCaptureEdit::TCaptureEdit() : capture_(this) {
  hide();
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (maxBytes_ <= 0 || static_cast<int32_t>(Utf8ToCp932(text.toStdString()).size()) <= maxBytes_) lastText_ = text;
  });
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { Limit(text); });
}

TCaptureEdit::~TCaptureEdit() { capture_.Exit(); }

void TCaptureEdit::Limit(const QString& text) {
  if (maxBytes_ <= 0 || static_cast<int32_t>(Utf8ToCp932(text.toStdString()).size()) <= maxBytes_) return;
  // Over the limit in code page 932 bytes: the edit goes back to the text before.
  const int cursor = cursorPosition() - static_cast<int>(text.size() - lastText_.size());
  const QString before = lastText_;
  setText(before);
  setCursorPosition(std::clamp(cursor, 0, static_cast<int>(before.size())));
}

void TCaptureEdit::focusOutEvent(QFocusEvent* event) {
  TCustomEditEx::focusOutEvent(event);
  capture_.FocusLost(event->reason());
}

TCaptureNumEdit::TCaptureNumEdit() : capture_(this) {
  hide();
  capture_.ignoreAfterEnd = true;
}

TCaptureNumEdit::~TCaptureNumEdit() {
  if (capture_.Capturing()) {
    ApplyPendingText();
    capture_.Exit();
  }
}

void TCaptureNumEdit::focusOutEvent(QFocusEvent* event) {
  TNumEdit::focusOutEvent(event);
  capture_.FocusLost(event->reason());
}

namespace {

// Owns the two shared edits; a child of the application, so they go with it.
class SharedEdits final : public QObject {
 public:
  SharedEdits() { setParent(QCoreApplication::instance()); }
  ~SharedEdits() override {
    delete num.data();
    delete text.data();
  }
  QPointer<TCaptureNumEdit> num;
  QPointer<TCaptureEdit> text;
};

SharedEdits* Holder() {
  static QPointer<SharedEdits> holder;
  if (holder.isNull()) holder = new SharedEdits();
  return holder.data();
}

// The label whose inline number edit is open.
QPointer<QObject> g_numEditOwner;

}  // namespace

TCaptureNumEdit* SharedNumEdit() {
  SharedEdits* holder = Holder();
  if (holder->num.isNull()) holder->num = new TCaptureNumEdit();
  return holder->num.data();
}

TCaptureEdit* SharedTextEdit() {
  SharedEdits* holder = Holder();
  if (holder->text.isNull()) holder->text = new TCaptureEdit();
  return holder->text.data();
}

void OpenSharedNumEdit(QObject* owner, QWidget* parent, const QRect& bounds, bool frame, const QFont& font,
                       TNumMngr* manager, const std::string& format, int32_t maxLength, const QString& text,
                       std::function<void()> completion) {
  TCaptureNumEdit* edit = SharedNumEdit();
  g_numEditOwner = owner;
  edit->setParent(parent);
  edit->SetAssociate(manager);
  edit->SetFormatString(format);
  edit->setGeometry(bounds);
  edit->setFrame(frame);
  edit->setFont(font);
  edit->setMaxLength(std::max(maxLength, 1));
  edit->setText(text);
  edit->Capture().OnExit = std::move(completion);
  edit->show();
  edit->raise();
  edit->setFocus(Qt::MouseFocusReason);
  edit->Enter();
}

void FinishSharedNumEdit(float valueAtOpen) {
  TCaptureNumEdit* edit = SharedNumEdit();
  if (TNumMngr* manager = edit->Associate(); manager != nullptr) {
    if (edit->Capture().EndReason() == CaptureState::kEndAccept) {
      manager->SetValueText(edit, edit->text().toStdString());
    } else {
      manager->SetValue(valueAtOpen);
    }
  }
  // Let go of the manager before hiding: hiding moves the focus, and the focus-out would apply
  // the text (after Escape too).
  edit->SetAssociate(nullptr);
  edit->Capture().OnExit = nullptr;
  g_numEditOwner = nullptr;
  edit->hide();
  edit->setParent(nullptr);
}

void CloseSharedNumEditOf(QObject* owner) {
  if (owner == nullptr || g_numEditOwner != owner) return;
  SharedNumEdit()->Capture().Exit();
}

// ---- Labels -------------------------------------------------------------------------------

TNumLabel::TNumLabel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  resize(36, 16);
  setText(QStringLiteral("0"));
}

TNumLabel::~TNumLabel() { SetAssociate(nullptr); }

void TNumLabel::SetAssociate(TNumMngr* manager) {
  if (associate_ != nullptr) associate_->Detach(this);
  associate_ = manager;
  if (manager != nullptr) manager->Attach(this);
  NumRefresh();
}

void TNumLabel::NumRefresh() { setText(NumText(associate_, FormatString)); }

void PaintClickedLabel(QLabel* label) {
  QPainter p(label);
  const int w = label->width(), h = label->height();
  p.fillRect(label->rect(), label->palette().color(QPalette::Window));
  QRect r = label->contentsRect();
  r.setTop(r.top() + 2);
  const Qt::Alignment a = label->alignment();
  if (a & Qt::AlignRight) {
    r.setRight(r.right() - 3);
    r.setLeft(std::max(r.left(), 4));
  } else if (a & Qt::AlignLeft) {
    r.setLeft(r.left() + 3);
    r.setRight(std::min(r.right() + 3, w - 1 - 4));
  }
  p.setFont(label->font());
  p.setPen(label->isEnabled() ? AppearanceColor(acWindowText) : AppearanceColor(acGrayText));
  const Qt::Alignment vertical = a & Qt::AlignVertical_Mask ? a & Qt::AlignVertical_Mask : Qt::AlignTop;
  p.drawText(r, static_cast<int>((a & Qt::AlignHorizontal_Mask) | vertical | Qt::TextSingleLine), label->text());
  p.setPen(AppearanceColor(acGrayText));
  p.drawRect(0, 0, w - 1, h - 1);
}

namespace {

void SetUpClickedLabel(QLabel* label) {
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, AppearanceColor(acWindow));
  label->setPalette(palette);
  label->setCursor(Qt::IBeamCursor);
}

void FollowEnabled(QLabel* label) {
  if (label->isEnabled()) {
    label->setCursor(Qt::IBeamCursor);
  } else {
    label->unsetCursor();
  }
}

}  // namespace

TNumLabelEdit::TNumLabelEdit(QWidget* parent) : TNumLabel(parent) { SetUpClickedLabel(this); }

TNumLabelEdit::~TNumLabelEdit() { CloseSharedNumEditOf(this); }

void TNumLabelEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (readOnly) {
    SetWithholdsMouse(true);
  } else if (isEnabled()) {
    SetWithholdsMouse(false);
  }
}

bool TNumLabelEdit::IsEditing() const { return SharedNumEdit()->isVisible(); }

void TNumLabelEdit::DoEditEnter() {
  if (OnEditEnter) OnEditEnter(this);
}

void TNumLabelEdit::DoEditExit() {
  if (OnEditExit) OnEditExit(this);
}

void TNumLabelEdit::mousePressEvent(QMouseEvent* event) {
  TNumLabel::mousePressEvent(event);
  if (event->button() != Qt::LeftButton || !CanHotTrack(this) || readOnly_ || IsEditing()) return;
  savedValue_ = Associate() != nullptr ? Associate()->Value() : 0.0f;
  QPointer<TNumLabelEdit> self(this);
  OpenSharedNumEdit(this, parentWidget(), geometry(), true, font(), Associate(), FormatString, MaxLength, text(),
                    [self] {
                      if (self) {
                        self->Completion();
                      } else {
                        FinishSharedNumEdit(0);
                      }
                    });
  DoEditEnter();
}

void TNumLabelEdit::Completion() {
  DoEditExit();
  FinishSharedNumEdit(savedValue_);
}

void TNumLabelEdit::paintEvent(QPaintEvent*) { PaintClickedLabel(this); }

void TNumLabelEdit::changeEvent(QEvent* event) {
  TNumLabel::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) FollowEnabled(this);
}

TLabelEdit::TLabelEdit(QWidget* parent) : QLabel(parent) { SetUpClickedLabel(this); }

TLabelEdit::~TLabelEdit() {
  TCaptureEdit* edit = SharedTextEdit();
  if (edit->isVisible() && opened_) edit->Capture().Exit();
}

bool TLabelEdit::IsEditing() const { return SharedTextEdit()->isVisible(); }

void TLabelEdit::DoEditEnter() {
  if (OnEditEnter) OnEditEnter(this);
}

void TLabelEdit::DoEditExit() {
  if (OnEditExit) OnEditExit(this);
}

void TLabelEdit::DoChange() {
  if (OnChange) OnChange(this);
}

void TLabelEdit::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (event->button() != Qt::LeftButton || !CanHotTrack(this) || IsEditing()) return;
  TCaptureEdit* edit = SharedTextEdit();
  edit->setParent(parentWidget());
  edit->setGeometry(geometry());
  edit->setFrame(true);
  edit->setFont(font());
  edit->SetMaxBytes(MaxLength);
  edit->setText(text());
  QPointer<TLabelEdit> self(this);
  edit->Capture().OnExit = [self] {
    if (self) {
      self->Completion();
    } else {
      TCaptureEdit* e = SharedTextEdit();
      e->hide();
      e->setParent(nullptr);
    }
  };
  opened_ = true;
  edit->show();
  edit->raise();
  edit->setFocus(Qt::MouseFocusReason);
  edit->Enter();
  DoEditEnter();
}

void TLabelEdit::Completion() {
  DoEditExit();
  TCaptureEdit* edit = SharedTextEdit();
  if (edit->Capture().EndReason() == CaptureState::kEndAccept && edit->text() != text()) {
    setText(edit->text());
    DoChange();
  }
  edit->Capture().OnExit = nullptr;
  opened_ = false;
  edit->hide();
  edit->setParent(nullptr);
}

void TLabelEdit::paintEvent(QPaintEvent*) { PaintClickedLabel(this); }

void TLabelEdit::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) FollowEnabled(this);
}

}  // namespace tf
