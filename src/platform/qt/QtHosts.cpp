#include "platform/qt/QtHosts.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/qt/AppEventFilter.h"

namespace tf {

WindowHandle HandleOfWidget(QWidget* widget) { return reinterpret_cast<WindowHandle>(widget); }

QWidget* WidgetOfHandle(WindowHandle handle) {
  if (handle == 0) return nullptr;
  for (QWidget* w : QApplication::allWidgets()) {
    if (reinterpret_cast<WindowHandle>(w) == handle) return w;
  }
  return nullptr;
}

namespace {

QPointer<QWidget>& MainWindowSlot() {
  static QPointer<QWidget> window;
  return window;
}

}  // namespace

void SetMainWindowWidget(QWidget* window) { MainWindowSlot() = window; }
QWidget* MainWindowWidget() { return MainWindowSlot().data(); }

QWidget* DialogOwner(QWidget* given) {
  if (given != nullptr) return given;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return MainWindowWidget();
}

QString MessageBoxText(std::string_view text) {
  QString out = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

QString StandardWarningCaption() {
  return QString::fromStdString(TxFormat(TextId::WarningCaptionFormat, Tx(TextId::WarningCaption), Tx(TextId::ProductName)));
}

void QtWarningHost::ShowWarningBox(std::string_view text, WindowHandle owner, const char* caption) {
  const QString title = caption != nullptr ? QString::fromUtf8(caption) : StandardWarningCaption();
  QMessageBox box(QMessageBox::Warning, title, MessageBoxText(text), QMessageBox::Ok, DialogOwner(WidgetOfHandle(owner)));
  box.exec();
}

void QtWarningHost::ShowInformation(std::string_view text) {
  QMessageBox box(QMessageBox::Information, QString::fromUtf8(Tx(TextId::ProductName)), MessageBoxText(text),
                  QMessageBox::Ok, DialogOwner());
  box.exec();
}

void QtWarningHost::ShowMessage(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(Tx(TextId::ProductName)), MessageBoxText(text),
                  QMessageBox::Ok, DialogOwner());
  box.exec();
}

bool QtShellHost::ShellOpen(const std::string& path) {
  const QFileInfo info(QString::fromStdString(path));
  if (!info.isFile() || !info.isReadable()) {
    DebugOutF("ShellOpen: %s is no readable file\n", path.c_str());
    return false;
  }
  QFile file(info.absoluteFilePath());
  if (!file.open(QIODevice::ReadOnly)) return false;
  file.close();
  return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

bool QtShellHost::OpenURL(const std::string& address) {
  if (address.empty()) return false;
  const QUrl url(QString::fromStdString(address));
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

int32_t QtConfirmHost::AskConfirm(std::string_view text, int32_t buttons) {
  struct Button {
    QMessageBox::StandardButton qt;
    int32_t result;
  };
  static const std::vector<std::vector<Button>> sets = {
      {{QMessageBox::Ok, kResultOk}},
      {{QMessageBox::Ok, kResultOk}, {QMessageBox::Cancel, kResultCancel}},
      {{QMessageBox::Abort, kResultAbort},
       {QMessageBox::Retry, kResultRetry},
       {QMessageBox::Ignore, kResultIgnore}},
      {{QMessageBox::Yes, kResultYes}, {QMessageBox::No, kResultNo}, {QMessageBox::Cancel, kResultCancel}},
      {{QMessageBox::Yes, kResultYes}, {QMessageBox::No, kResultNo}},
      {{QMessageBox::Retry, kResultRetry}, {QMessageBox::Cancel, kResultCancel}},
  };
  const std::vector<Button>& set =
      buttons >= 0 && buttons < static_cast<int32_t>(sets.size()) ? sets[buttons] : sets[0];
  const int32_t cautious = CautiousAnswer(buttons);
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(Tx(TextId::ProductName)), MessageBoxText(text),
                  QMessageBox::NoButton, DialogOwner());
  for (const Button& b : set) {
    QAbstractButton* button = box.addButton(b.qt);
    if (b.result == cautious) box.setEscapeButton(button);
  }
  box.setDefaultButton(set.front().qt);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Button& b : set) {
    if (clicked != nullptr && clicked == box.button(b.qt)) return b.result;
  }
  return cautious;
}

int32_t QtScreenHost::PrimaryScreenWidth() {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 0;
}
int32_t QtScreenHost::PrimaryScreenHeight() {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 0;
}
int32_t QtScreenHost::MonitorCount() { return static_cast<int32_t>(QGuiApplication::screens().size()); }
int32_t QtScreenHost::DesktopBitsPerPixel() {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->depth() : 0;
}
std::vector<MonitorInfo> QtScreenHost::Monitors() {
  std::vector<MonitorInfo> out;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry(), a = s->availableGeometry();
    out.push_back({{g.x(), g.y(), g.width(), g.height()}, {a.x(), a.y(), a.width(), a.height()}});
  }
  return out;
}

ScreenRect QtWindowHost::VirtualScreen() {
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return {};
  const QRect v = s->virtualGeometry();
  return {v.x(), v.y(), v.width(), v.height()};
}

bool QtWindowHost::GetWindowRect(WindowHandle window, ScreenRect& rect) {
  QWidget* w = WidgetOfHandle(window);
  if (!w) return false;
  const QRect r = w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
  rect = {r.x(), r.y(), r.width(), r.height()};
  return true;
}

bool QtWindowHost::MoveWindow(WindowHandle window, int32_t left, int32_t top) {
  QWidget* w = WidgetOfHandle(window);
  if (!w) return false;
  w->move(w->isWindow() ? QPoint(left, top) : w->parentWidget()->mapFromGlobal(QPoint(left, top)));
  return true;
}

namespace {

Qt::CursorShape ShapeOf(intptr_t cursor) {
  switch (cursor) {
    case kCursorIBeam: return Qt::IBeamCursor;
    case kCursorWait: return Qt::WaitCursor;
    case kCursorCross: return Qt::CrossCursor;
    case kCursorSizeAll: return Qt::SizeAllCursor;
    case kCursorNo: return Qt::ForbiddenCursor;
    case kCursorHand: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace

QtCursorHost::~QtCursorHost() {
  if (overridden_ && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
}

intptr_t QtCursorHost::SetCursor(intptr_t cursor) {
  const intptr_t previous = current_;
  current_ = cursor;
  const Qt::CursorShape shape = ShapeOf(cursor);
  if (cursor == 0 || shape == Qt::ArrowCursor) {
    if (overridden_) QGuiApplication::restoreOverrideCursor();
    overridden_ = false;
  } else if (overridden_) {
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  } else {
    QGuiApplication::setOverrideCursor(QCursor(shape));
    overridden_ = true;
  }
  return previous;
}

int QtKeyOfVirtualKey(int32_t vk) {
  if (vk >= kVk0 && vk <= kVk0 + 9) return Qt::Key_0 + (vk - kVk0);
  if (vk >= kVkA && vk <= kVkA + 25) return Qt::Key_A + (vk - kVkA);
  if (vk >= kVkF1 && vk < kVkF1 + 24) return Qt::Key_F1 + (vk - kVkF1);
  switch (vk) {
    case kVkBack: return Qt::Key_Backspace;
    case kVkTab: return Qt::Key_Tab;
    case kVkReturn: return Qt::Key_Return;
    case kVkEscape: return Qt::Key_Escape;
    case kVkSpace: return Qt::Key_Space;
    case kVkPrior: return Qt::Key_PageUp;
    case kVkNext: return Qt::Key_PageDown;
    case kVkEnd: return Qt::Key_End;
    case kVkHome: return Qt::Key_Home;
    case kVkLeft: return Qt::Key_Left;
    case kVkUp: return Qt::Key_Up;
    case kVkRight: return Qt::Key_Right;
    case kVkDown: return Qt::Key_Down;
    case kVkInsert: return Qt::Key_Insert;
    case kVkDelete: return Qt::Key_Delete;
    default: return 0;
  }
}

bool QtInputHost::IsKeyDown(int32_t vk) {
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  switch (vk) {
    case kVkShift:
    case kVkLeftShift:
    case kVkRightShift: return mods & Qt::ShiftModifier;
    case kVkControl:
    case kVkLeftControl:
    case kVkRightControl: return mods & Qt::ControlModifier;
    case kVkMenu:
    case kVkLeftMenu:
    case kVkRightMenu: return mods & Qt::AltModifier;
    case kVkLeftButton: return buttons & Qt::LeftButton;
    case kVkRightButton: return buttons & Qt::RightButton;
    case kVkMiddleButton: return buttons & Qt::MiddleButton;
    default: {
      const int key = QtKeyOfVirtualKey(vk);
      return key != 0 && AppEventFilter::Instance().IsQtKeyDown(key);
    }
  }
}

namespace {

struct PlatformHosts {
  QtWarningHost warning;
  QtConfirmHost confirm;
  QtShellHost shell;
  QtScreenHost screen;
  QtWindowHost window;
  QtCursorHost cursor;
  QtInputHost input;
};

PlatformHosts*& Installed() {
  static PlatformHosts* hosts = nullptr;
  return hosts;
}

}  // namespace

void InstallPlatformQtHosts(bool install) {
  PlatformHosts*& hosts = Installed();
  if (install && !hosts) {
    hosts = new PlatformHosts();
    AppEventFilter::Instance();
    SetWarningHost(&hosts->warning);
    SetConfirmHost(&hosts->confirm);
    SetShellHost(&hosts->shell);
    SetScreenHost(&hosts->screen);
    SetWindowHost(&hosts->window);
    SetCursorHost(&hosts->cursor);
    SetInputHost(&hosts->input);
  } else if (!install && hosts) {
    SetWarningHost(nullptr);
    SetConfirmHost(nullptr);
    SetShellHost(nullptr);
    SetScreenHost(nullptr);
    SetWindowHost(nullptr);
    SetCursorHost(nullptr);
    SetInputHost(nullptr);
    delete hosts;
    hosts = nullptr;
  }
}

}  // namespace tf
