#include "app/qt/MainForm.h"

#include <cctype>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include "app/AppPaperHost.h"
#include "app/AppProfile.h"
#include "app/Startup.h"
#include "app/DrawWindow.h"
#include "app/PlaybackControl.h"
#include "app/RenderMode.h"
#include "app/qt/CursorSlots.h"
#include "app/qt/DrawWindowWidget.h"
#include "app/qt/EventReportForm.h"
#include "app/qt/MRUMenu.h"
#include "app/qt/MainStatusBar.h"
#include "app/qt/TextToolWindow.h"
#include "filters/qt/FilterDialogsQt.h"
#include "paint/PenRender.h"
#include "paint/PixelWriters.h"
#include "paint/Stroke.h"
#include "paper/Paper.h"
#include "platform/Clock.h"
#include "platform/Debug.h"
#include "platform/ResultPipe.h"
#include "platform/Warning.h"
#include "raster/LengthUnit.h"
#include "platform/Registry.h"
#include "platform/ResourceText.h"
#include "platform/qt/AppEventFilter.h"
#include "platform/qt/QtHosts.h"
#include "platform/qt/QtTablet.h"
#include "raster/Placement.h"
#include "raster/SmallRoutines.h"
#include "ui/DockFloat.h"

namespace tf {

namespace {

QString Q(TextId id) { return QString::fromUtf8(Tx(id)); }

// The semi-modal loop's filter of the application's events (the text window's rules).
class TextWindowFilter final : public QObject {
 public:
  TextWindowFilter(TMainForm& form, TextToolWindow& window) : form_(form), window_(window) {}
  bool quitting = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    QWidget* text = window_.Widget();
    switch (event->type()) {
      case QEvent::Quit:
        quitting = true;
        return false;
      case QEvent::Paint:
      case QEvent::UpdateRequest:
        return false;
      default: break;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    const bool inside = text != nullptr && (widget == text || text->isAncestorOf(widget));
    if (inside) {
      if (event->type() == QEvent::Close && widget == text) {
        window_.SetModalResult(2);
        event->ignore();
        return true;
      }
      if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
          (static_cast<QKeyEvent*>(event)->modifiers() & Qt::AltModifier)) {
        return window_.AltKey(static_cast<QKeyEvent*>(event));
      }
      return false;
    }
    switch (event->type()) {
      case QEvent::WindowActivate:
      case QEvent::WindowDeactivate:
      case QEvent::ActivationChange:
        // Activation of other windows is swallowed; the text window stays in front.
        return widget->isWindow();
      default: break;
    }
    if (window_.IsEditing()) return false;
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      MainFormChild* child = form_.GetActiveDrawWindow();
      QMdiSubWindow* sub = form_.ActiveSubWindow();
      if (child != nullptr && sub != nullptr && sub->widget() != nullptr &&
          (widget == sub->widget() || sub->widget()->isAncestorOf(widget))) {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        TPoint canvas{0, 0};
        if (child->ScreenToCanvas(global.x(), global.y(), canvas)) {
          window_.CanvasPoint(static_cast<int16_t>(canvas.x), static_cast<int16_t>(canvas.y));
          return true;
        }
      }
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) {
      // The key pre-filter of input routing takes Tab (shows and hides the palettes).
      DebugOut("Tab during the text window: the key pre-filter is not built yet.\n");
      return true;
    }
    return false;
  }

 private:
  TMainForm& form_;
  TextToolWindow& window_;
};

}  // namespace

// Where an unattended run's result goes: the exit status, the starter's pipe, then the close.
class TMainFormResults final : public RunResultHost {
 public:
  explicit TMainFormResults(TMainForm& form) : form_(form) {}
  void DeliverResult(int32_t code) override {
    SetRunExitCode(code);
    if (ResultWindow != 0) WriteResultToDescriptor(static_cast<int64_t>(ResultWindow), code);
  }
  void CloseProgram() override {
    QTimer::singleShot(0, &form_, [form = &form_] { form->close(); });
  }

 private:
  TMainForm& form_;
};

// What the document windows ask of the main window.
class TMainFormDrawOwner final : public DrawWindowOwner {
 public:
  explicit TMainFormDrawOwner(TMainForm& form) : form_(form) {}
  ToolWindow* Tool() override { return form_.Tool(); }
  CPenRender* MainPenRender() override { return form_.MainPenRender(); }
  int32_t StrokeEngine() const override { return form_.StrokeEngine(); }
  bool RenderOrViewerMode() const override { return RenderOrViewerModeFlag(); }
  bool TextWindowOpen() const override { return form_.Core().gate.SemiModalRunning(); }
  bool TabletPenInProximity() const override {
    TWinTab32& tablet = form_.Tablet();
    return tablet.IsOpen() && tablet.inRange;
  }
  void UpdatePlayingState() override {
    // Also called while a document window is being destroyed: read the frame afterwards.
    QTimer::singleShot(0, &form_, [form = &form_] {
      DrawWindowWidget* active = form->ActiveDrawWindow();
      form->Core().playing = active != nullptr && active->IsPlaying();
      form->SetIdlePlayback(form->Core().playing);
    });
  }
  void ShowEventReport(const TEventReportParam& report) override { tf::ShowEventReport(report, &form_); }
  RunResultHost* RunResults() override { return &results_; }
  void ShowPlaybackProgress(int32_t done, int32_t total, uint32_t startTime) override {
    form_.ReportPlaybackProgress(timeGetTime(), total, done, startTime);
  }
  void UpdateInfoPanel() override { form_.UpdateInfoPanel(); }
  void SetStatusText(const std::string& text, int32_t panel) override { form_.SetStatusText(text, panel); }
  std::vector<TDrawWindow*> DocumentWindows() override {
    std::vector<TDrawWindow*> list;
    for (DrawWindowWidget* w : form_.DrawWindows()) list.push_back(&w->Core());
    return list;
  }
  void ActivateNextWindow(bool backwards) override {
    if (backwards) {
      form_.MdiArea()->activatePreviousSubWindow();
    } else {
      form_.MdiArea()->activateNextSubWindow();
    }
  }
  void PostMainClose() override {
    QTimer::singleShot(0, &form_, [form = &form_] { form->close(); });
  }
  SSize MainClientSize() const override {
    const QWidget* area = form_.MdiArea()->viewport();
    return {area->width(), area->height()};
  }
  bool renderMode = false;

 private:
  bool RenderOrViewerModeFlag() const { return renderMode; }
  TMainForm& form_;
  TMainFormResults results_{form_};
};

TMainForm::TMainForm(SMainFormStart start, QWidget* parent) : QMainWindow(parent), start_(std::move(start)) {
  CAppProfile& profile = AppProfile();
  setObjectName("MainForm");
  // 2. Caption.
  const QString caption = QString::fromStdString(MainCaption(start_.renderOrViewerMode && !start_.viewerMode));
  setWindowTitle(caption);
  QGuiApplication::setApplicationDisplayName(QString());

  // The frame: the document area above the status bar.
  auto* centre = new QWidget(this);
  auto* layout = new QVBoxLayout(centre);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  mdiArea_ = new QMdiArea(centre);
  mdiArea_->setBackground(palette().color(QPalette::Dark));
  statusBar_ = new TMainStatusBar(centre);
  layout->addWidget(mdiArea_, 1);
  layout->addWidget(statusBar_, 0);
  setCentralWidget(centre);
  statusBar_->onPanelClick = [this](int32_t panel, const QRect& r) { StatusBarMouseDown(panel, r); };
  resize(632, 424 + statusBar_->sizeHint().height());

  // 3. The recent files, and the open-window list.
  BuildMenus();
  fileMRUList_.SetMaximum(9);
  fileMRUList_.removeOnClick = false;
  fileMRUList_.useSubmenu = true;
  fileMRUList_.insertSeparator = false;
  fileMRUList_.submenuName = Tx(TextId::MainRecentFiles);
  fileMRUList_.maxCaptionWidth = 200;
  fileMRUList_.autoSaveName = std::string(kRegistryRoot);
  fileMRUList_.autoSaveKey = "fileMRU";
  fileMRUList_.registry = &profile.Registry();
  fileMRUList_.onItemClick = [this](const SMRUItem&, const std::string& entry) { OpenFile(entry); };
  fileMRUMenu_ = new TMRUMenu(fileMRUList_, menuFile_, fileAnchor_, this);
  fileMRUList_.Load();
  windowMRUList_.SetMaximum(9);
  windowMRUList_.removeOnClick = false;
  windowMRUList_.insertSeparator = true;
  windowMRUList_.maxCaptionWidth = 0;
  windowMRUList_.autoSave = false;
  windowMRUList_.onItemClick = [this](const SMRUItem& item, const std::string&) { WindowListClick(item.position); };
  windowMRUMenu_ = new TMRUMenu(windowMRUList_, menuWindow_, windowAnchor_, this);
  BuildPopups();

  // 4. Cursors.
  LoadToolCursors();

  // 6. The application's events.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) { ApplicationStateChanged(state); });
  AppEventFilter::Instance();

  // 7. The tablet; its context opens with the application's activation.
  tablet_ = std::make_unique<TWinTab32>(!profile.ignoreTablet, profile.tabletType);

  // 8. The docking manager, the tool window and the pen renderer of its stroke.
  dockManager_ = new TDockFloatManager(this, this);
  tool_ = CreateToolWindow(*this);
  penRender_ = std::make_unique<CPenRender>(&tool_->GetStroke());
  InitStrokeWriters(tool_->GetStroke());
  paperHost_ = std::make_unique<CAppPaperHost>(profile, tool_.get());
  paperHostBefore_ = SetPaperHost(paperHost_.get());
  InstallFilterDialogs([this](QDialog* dialog) { return RunModalDialog(dialog); });

  // 9. Engine 2. (The tool-window shortcuts Ctrl+0 .. Ctrl+9 come with the menus' actions.)
  core_.strokeEngine = 2;
  core_.lastProgressTime = 0;
  core_.inMenuLoop = false;

  // 10. Settings migration.
  if (profile.appVerID <= 10) profile.gradFile2.clear();
  profile.appVerID = 20;

  // 11. - 12.
  core_.eraserSwitch = false;
  core_.eraserSwitchPending = false;
  core_.firstActivationPending = true;
  core_.lastPaneRefreshTime = 0;
  setAcceptDrops(true);

  // 13. Placement; saved at exit by the settings saver, with the recent files.
  RestorePlacement();
  const bool unattended = start_.renderOrViewerMode;
  profile.storeMainWindowState = [this, unattended](CAppProfile& p) {
    SaveWindowState(p);
    if (!unattended) fileMRUList_.Save();
  };
  profile.storeToolWindowLayout = [this](CAppProfile& p) {
    if (tool_) tool_->SaveSettings(p);
  };

  // 14. Info panel, tablet panels, Timer1.
  core_.infoPanelMode = 0;
  ShowTabletType(profile.tabletType);
  ShowTabletMode(profile.DrawToolMode);
  SetStatusText(TabletStateText(tablet_->IsOpen()), kPanelTablet);
  timer1_ = new QTimer(this);
  timer1_->setInterval(50);
  connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
  timer1_->start();
  // Playback while idle: a zero-interval timer, running only while the active window plays, so
  // input is still handled between the steps.
  idleTimer_ = new QTimer(this);
  idleTimer_->setInterval(0);
  connect(idleTimer_, &QTimer::timeout, this, [this] { PlaybackStep(); });

  // Document windows: the owner they reach the main window through, their activation, and the
  // interim Ctrl+N (File > New and its dialog come with the menus).
  drawOwner_ = std::make_unique<TMainFormDrawOwner>(*this);
  drawOwner_->renderMode = start_.renderOrViewerMode;
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
    QWidget* now = sub != nullptr ? sub->widget() : nullptr;
    if (now == activeChild_) return;
    if (auto* before = qobject_cast<DrawWindowWidget*>(activeChild_.data())) before->Activated(false);
    activeChild_ = now;
    if (auto* after = qobject_cast<DrawWindowWidget*>(now)) after->Activated(true);
  });
  newAction_ = new QAction(this);
  newAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  newAction_->setShortcutContext(Qt::WindowShortcut);
  connect(newAction_, &QAction::triggered, this, [this] { NewDocumentFromPreset(); });
  addAction(newAction_);
}

TMainForm::~TMainForm() {
  CAppProfile& profile = AppProfile();
  profile.storeMainWindowState = nullptr;
  profile.storeToolWindowLayout = nullptr;
  if (timer1_ != nullptr) timer1_->stop();
  // The document windows go before the tool window and the renderer they use.
  disconnect(mdiArea_, nullptr, this, nullptr);
  activeChild_ = nullptr;
  for (DrawWindowWidget* widget : mdiArea_->findChildren<DrawWindowWidget*>()) delete widget;
  if (tablet_) tablet_->Close();
  tablet_.reset();
  UninstallFilterDialogs();
  SetPaperHost(paperHostBefore_);
  paperHost_.reset();
  penRender_.reset();
  FreeToolWindow(tool_);
  delete dockManager_;
  dockManager_ = nullptr;
  delete fileMRUMenu_;
  fileMRUMenu_ = nullptr;
  delete windowMRUMenu_;
  windowMRUMenu_ = nullptr;
}

void TMainForm::BuildMenus() {
  menuFile_ = menuBar()->addMenu(Q(TextId::MainMenuFile));
  fileAnchor_ = menuFile_->addSeparator();
  menuWindow_ = menuBar()->addMenu(Q(TextId::MainMenuWindow));
  windowAnchor_ = menuWindow_->addSeparator();
  HookMenuLoop(menuFile_);
  HookMenuLoop(menuWindow_);
  connect(menuWindow_, &QMenu::aboutToShow, this, [this] { RebuildWindowList(); });
}

void TMainForm::HookMenuLoop(QMenu* menu) {
  connect(menu, &QMenu::aboutToShow, this, [this] { core_.inMenuLoop = true; });
  connect(menu, &QMenu::aboutToHide, this, [this] { core_.inMenuLoop = false; });
}

void TMainForm::BuildPopups() {
  auto make = [this](const char* name, const std::function<QString(int32_t)>& text, int32_t count) {
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    for (int32_t i = 0; i < count; ++i) {
      QAction* action = menu->addAction(text(i));
      action->setCheckable(true);
      connect(action, &QAction::triggered, this, [this, menu, i] { MenuClick(menu, i); });
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { PopupOpening(menu); });
    return menu;
  };
  auto table = [](const TextId* texts) { return [texts](int32_t i) { return Q(texts[i]); }; };
  popZoom_ = make("PopZoom", [](int32_t i) { return QString::fromStdString(ZoomPopupText(i)); }, kZoomPopupCount);
  popRotate_ = make("PopRotate", table(kRotatePopupTexts), kRotatePopupCount);
  popReso_ = make("PopReso", table(kResoPopupTexts), kResoPopupCount);
  popTabletType_ = make("PopTabletType", table(kTabletTypePopupTexts), kTabletTypePopupCount);
  popTabletMode_ = make("PopTabletMode", table(kTabletModePopupTexts), kTabletModePopupCount);
}

// ---- placement ----

void TMainForm::RestorePlacement() {
  const CAppProfile& profile = AppProfile();
  if (profile.mainWinMax) {
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  QPoint position = pos();
  if (profile.mainWinX >= 0 && profile.mainWinY >= 0 && (profile.mainWinX | profile.mainWinY) != 0) {
    position = QPoint(profile.mainWinX, profile.mainWinY);
  }
  move(position);
  if (profile.mainWinW > 0 && profile.mainWinH > 0) {
    // The saved size is the outer frame: the client is that less the frame margins, which are
    // known once the window is shown. Until then the frame size stands for the client.
    pendingFrameSize_ = QSize(profile.mainWinW, profile.mainWinH);
    placementPending_ = true;
    resize(pendingFrameSize_);
  }
}

void TMainForm::ApplyPendingPlacement() {
  if (!placementPending_) return;
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const QSize margins(frame.width() - client.width(), frame.height() - client.height());
  resize(std::max(1, pendingFrameSize_.width() - margins.width()),
         std::max(1, pendingFrameSize_.height() - margins.height()));
  if (margins.width() > 0 || margins.height() > 0) placementPending_ = false;
  KeepFormOnScreen(HandleOfWidget(this));
}

void TMainForm::SaveWindowState(CAppProfile& profile) const {
  // A window manager without maximising leaves the state asked for but not the size: such a
  // window counts as normal, so its place and size are kept.
  bool maximized = isMaximized();
  if (maximized && screen() != nullptr) {
    const QRect area = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    maximized = frame.width() >= area.width() * 9 / 10 && frame.height() >= area.height() * 9 / 10;
  }
  profile.mainWinMax = maximized;
  if (profile.mainWinMax) return;
  const QRect frame = frameGeometry();
  profile.mainWinX = frame.x();
  profile.mainWinY = frame.y();
  profile.mainWinW = frame.width();
  profile.mainWinH = frame.height();
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  // The frame margins: measured now, and again when the window manager framed the window.
  QTimer::singleShot(0, this, [this] {
    ApplyPendingPlacement();
    // Without an activation (focus-stealing prevention, a bare X server) the delayed start-up
    // runs at the first pass of the event loop after showing.
    if (core_.TakeFirstActivation()) DelayedStartup();
  });
  QTimer::singleShot(1000, this, [this] {
    ApplyPendingPlacement();
    placementPending_ = false;
  });
}

// ---- start-up and activation ----

bool TMainForm::IsCommandLineFile(const std::string& argument) const {
  std::string rest;
  return !argument.empty() && !IsSwitchArg(argument, rest);
}

void TMainForm::DelayedStartup() {
  core_.firstActivationPending = false;
  // The idle hook of playback comes with input routing.
  tool_->Startup();
  setWindowTitle(QString::fromStdString(MainCaption(start_.renderOrViewerMode && !start_.viewerMode)));
  for (const std::string& argument : start_.arguments) {
    if (IsCommandLineFile(argument)) OpenFile(argument);
  }
  activateWindow();
}

void TMainForm::ApplicationStateChanged(Qt::ApplicationState state) {
  MainFormChild* child = GetActiveDrawWindow();
  if (state == Qt::ApplicationActive) {
    if (core_.TakeFirstActivation()) DelayedStartup();
    if (child != nullptr) child->Activated(true);
    OpenTablet();
    if (child != nullptr) child->SelectToolHandler();
  } else {
    // A key released while another program had the focus never arrives.
    AppEventFilter::Instance().ForgetKeys();
    if (child != nullptr) child->Activated(false);
    CloseTablet();
    if (child != nullptr) child->SelectToolHandler();
  }
}

bool TMainForm::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
      const bool result = QMainWindow::event(event);
      if (MainFormChild* child = GetActiveDrawWindow()) {
        child->Activated(event->type() == QEvent::WindowActivate);
        child->SelectToolHandler();
      }
      if (event->type() == QEvent::WindowActivate && core_.TakeFirstActivation()) DelayedStartup();
      return result;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      const bool result = QMainWindow::event(event);
      if (MainFormChild* child = GetActiveDrawWindow()) child->SelectToolHandler();
      return result;
    }
    case QEvent::StatusTip: {
      // The long part of a hint (after "|") goes to the hint panel.
      const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
      const qsizetype bar = tip.indexOf('|');
      SetStatusText((bar >= 0 ? tip.mid(bar + 1) : tip).toStdString(), kPanelHint);
      return true;
    }
    default: return QMainWindow::event(event);
  }
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || dockManager_ == nullptr) return;
  // Minimised: the floating palettes hide with the window; restored: they come back.
  if (isMinimized()) {
    dockManager_->HideAll();
  } else if (dockManager_->IsHidden()) {
    dockManager_->ShowAll();
  }
}

// ---- close ----

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!start_.renderOrViewerMode) {
    // Every document window is asked first, in the frame's order, without closing any; then the
    // tool window.
    for (QMdiSubWindow* sub : SubWindows()) {
      auto* child = dynamic_cast<MainFormChild*>(sub->widget());
      if (child != nullptr && !child->CloseQuery()) {
        event->ignore();
        return;
      }
    }
    if (tool_ && !tool_->QueryClose()) {
      event->ignore();
      return;
    }
  }
  event->accept();
  closing_ = true;
  if (timer1_ != nullptr) timer1_->stop();
  CloseTablet();
  QCoreApplication::quit();
}

// ---- the timer ----

void TMainForm::Timer1Timer() {
  // It fires inside modal loops too: a tick that opens a box must not run the ticks again.
  if (inTimer_ || closing_) return;
  inTimer_ = true;
  PlaybackStep();
  for (QMdiSubWindow* sub : SubWindows()) {
    if (auto* child = dynamic_cast<MainFormChild*>(sub->widget())) child->TimerTick();
  }
  inTimer_ = false;
}

// ---- children ----

QMdiSubWindow* TMainForm::ActiveSubWindow() const {
  // activeSubWindow() is null while the application is inactive.
  return mdiArea_ != nullptr ? mdiArea_->currentSubWindow() : nullptr;
}

MainFormChild* TMainForm::GetActiveDrawWindow() const {
  QMdiSubWindow* sub = ActiveSubWindow();
  return sub != nullptr ? dynamic_cast<MainFormChild*>(sub->widget()) : nullptr;
}

std::vector<QMdiSubWindow*> TMainForm::SubWindows() const {
  std::vector<QMdiSubWindow*> list;
  if (mdiArea_ == nullptr) return list;
  for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::CreationOrder)) list.push_back(sub);
  return list;
}

TStroke& TMainForm::GetStroke() { return tool_->GetStroke(); }
CGradMngr* TMainForm::GetGradMngr() { return tool_->GetGradMngr(); }
CToneMngr* TMainForm::GetToneMngr() { return tool_->GetToneMngr(); }
bool TMainForm::IsJapaneseUI() const { return AppProfile().UiLanguage == 0; }

void TMainForm::ToggleStrokeEngine() { core_.ToggleStrokeEngine(GetActiveDrawWindow()); }

bool TMainForm::IsMainOrDocumentWindow(QWidget* widget) const {
  if (widget == nullptr) return false;
  if (widget == this || widget == mdiArea_ || widget == mdiArea_->viewport()) return true;
  QMdiSubWindow* sub = ActiveSubWindow();
  return sub != nullptr && (widget == sub || widget == sub->widget());
}

void TMainForm::PlaybackStep() {
  if (closing_) return;
  DrawWindowWidget* active = ActiveDrawWindow();
  if (active == nullptr) {
    SetIdlePlayback(false);
    return;
  }
  TDrawWindow& window = active->Core();
  if (!window.IsEventPlayback()) {
    SetIdlePlayback(false);
    return;
  }
  window.PlaybackStep();
}

void TMainForm::SetIdlePlayback(bool on) {
  if (idleTimer_ == nullptr) return;
  if (on && !closing_ && !idleTimer_->isActive()) idleTimer_->start();
  if (!on && idleTimer_->isActive()) idleTimer_->stop();
}

bool TMainForm::ReportPlaybackProgress(uint32_t now, int32_t total, int32_t done, uint32_t startTime) {
  if (now - lastProgressTime_ <= 1000) return false;
  lastProgressTime_ = now;
  if (QApplication::activePopupWidget() == nullptr && tool_ != nullptr) tool_->SetPlaybackProgress(done, total, startTime);
  return true;
}

namespace {

// The event files of this program's recorder.
bool IsEventFileName(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".tes" || ext == ".te3" || ext == ".te4" || ext == ".ta3" || ext == ".ta4";
}

}  // namespace

void TMainForm::OpenFile(const std::string& path) {
  if (IsEventFileName(path)) {
    // A recording plays into a fresh window; one that cannot start leaves its window ignoring input
    // (in the viewer and render modes the run has ended with its result).
    DrawWindowWidget* widget = CreateDrawWindow(std::string());
    if (widget != nullptr) widget->Core().OpenEventFile(path);
    return;
  }
  DebugOutF("Opening documents is not built yet: \"%s\" was not opened.\n", path.c_str());
}

// ---- Window menu ----

void TMainForm::RebuildWindowList() {
  windowMRUList_.BeginUpdate();
  windowMRUList_.Clear();
  windowListWindows_.clear();
  for (QMdiSubWindow* sub : SubWindows()) {
    const size_t before = windowMRUList_.Entries().size();
    windowMRUList_.AppendItem(sub->windowTitle().toStdString());
    // Captions that repeat keep one item; the item's position names its window.
    if (windowMRUList_.Entries().size() > before) windowListWindows_.emplace_back(sub);
  }
  windowMRUList_.EndUpdate();
  QMdiSubWindow* active = ActiveSubWindow();
  const std::vector<QAction*>& actions = windowMRUMenu_->ItemActions();
  for (size_t i = 0; i < actions.size() && i < windowListWindows_.size(); ++i) {
    actions[i]->setCheckable(true);
    actions[i]->setChecked(windowListWindows_[i] == active);
  }
}

void TMainForm::WindowListClick(int32_t position) {
  if (position < 1 || position > static_cast<int32_t>(windowListWindows_.size())) return;
  QMdiSubWindow* sub = windowListWindows_[static_cast<size_t>(position - 1)];
  if (sub == nullptr) return;
  if (sub->isMinimized()) sub->showNormal();
  mdiArea_->setActiveSubWindow(sub);
  sub->setFocus();
}

// ---- status bar ----

void TMainForm::SetStatusText(const std::string& text, int32_t panel) { statusBar_->SetPanelText(panel, text); }
void TMainForm::ShowZoom(float percent) { SetStatusText(ZoomText(percent), kPanelZoom); }
void TMainForm::ShowRotation(float degrees) { SetStatusText(RotationText(degrees), kPanelRotation); }
void TMainForm::ShowTabletType(int32_t type) { SetStatusText(TabletTypeText(type), kPanelTabletType); }
void TMainForm::ShowTabletMode(bool tabletCoordinates) { SetStatusText(TabletModeText(tabletCoordinates), kPanelTabletMode); }

void TMainForm::UpdateInfoPanel() {
  MainFormChild* child = GetActiveDrawWindow();
  SetStatusText(InfoPanelText(core_.infoPanelMode, child != nullptr ? child->Paper() : nullptr), kPanelInfo);
}

bool TMainForm::PopupAtPanel(int32_t panel) {
  const QRect r = statusBar_->PanelRect(panel);
  if (r.isEmpty()) return false;
  const QRect screen(statusBar_->mapToGlobal(r.topLeft()), r.size());
  StatusBarMouseDown(panel, screen);
  for (QMenu* m : {popZoom_, popRotate_, popReso_, popTabletType_, popTabletMode_}) {
    if (m->isVisible()) return true;
  }
  return false;
}

void TMainForm::StatusBarMouseDown(int32_t panel, const QRect& screenRect) {
  const bool document = GetActiveDrawWindow() != nullptr;
  switch (panel) {
    case kPanelZoom:
      if (document) ShowPopup(popZoom_, screenRect);
      break;
    case kPanelRotation:
      if (document) ShowPopup(popRotate_, screenRect);
      break;
    case kPanelInfo:
      if (document) ShowPopup(popReso_, screenRect);
      break;
    case kPanelTablet: TabletPanelClick(); break;
    case kPanelTabletType: ShowPopup(popTabletType_, screenRect); break;
    case kPanelTabletMode: ShowPopup(popTabletMode_, screenRect); break;
    default: break;
  }
}

void TMainForm::ShowPopup(QMenu* menu, const QRect& panelRect) {
  // Centred on the panel's middle above the bar's top, the panel kept free.
  const QSize size = menu->sizeHint();
  const int32_t middle = panelRect.left() + panelRect.width() / 2;
  TRect rect{middle - size.width() / 2, panelRect.top() - size.height(), 0, 0};
  rect.right = rect.left + size.width();
  rect.bottom = rect.top + size.height();
  const TRect avoid{panelRect.left(), panelRect.top(), panelRect.left() + panelRect.width(),
                    panelRect.top() + panelRect.height()};
  PlaceRectBeside(rect, {middle, panelRect.top()}, avoid);
  lastPopupRect_ = QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  menu->popup(QPoint(rect.left, rect.top));
}

void TMainForm::PopupOpening(QMenu* menu) {
  MainFormChild* child = GetActiveDrawWindow();
  TPaper* paper = child != nullptr ? child->Paper() : nullptr;
  const bool tabletOpen = tablet_ && tablet_->IsOpen();
  int32_t checked = -1;
  bool enabled = paper != nullptr;
  if (menu == popZoom_) {
    if (paper != nullptr) checked = ZoomPopupCheck(paper->GetZoom());
  } else if (menu == popRotate_) {
    if (paper != nullptr) checked = RotatePopupCheck(paper->rotation.degrees);
  } else if (menu == popReso_) {
    checked = core_.infoPanelMode;
  } else if (menu == popTabletType_) {
    checked = AppProfile().tabletType;
    enabled = tabletOpen;
  } else if (menu == popTabletMode_) {
    checked = AppProfile().DrawToolMode ? 1 : 0;
    enabled = tabletOpen;
  }
  const QList<QAction*> actions = menu->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    actions[i]->setChecked(i == checked);
    actions[i]->setEnabled(enabled);
  }
}

void TMainForm::MenuClick(QMenu* menu, int32_t item) {
  MainFormChild* child = GetActiveDrawWindow();
  CAppProfile& profile = AppProfile();
  if (menu == popZoom_) {
    if (child == nullptr) return;
    if (item == kZoomPopupActualSize) {
      child->ActualSize();
    } else {
      const TZoomRatio ratio = ZoomPopupRatio(item);
      child->ZoomAboutCentre(ratio.numerator, ratio.denominator);
    }
  } else if (menu == popRotate_) {
    if (child != nullptr) child->SetViewRotation(RotatePopupAngle(item));
  } else if (menu == popReso_) {
    core_.infoPanelMode = static_cast<uint8_t>(item);
    UpdateInfoPanel();
  } else if (menu == popTabletType_) {
    profile.tabletType = item;
    tablet_->SetTabletType(item);
    CloseTablet();
    OpenTablet();
    ShowTabletType(item);
  } else if (menu == popTabletMode_) {
    profile.DrawToolMode = item == 1;
    CloseTablet();
    OpenTablet();
    ShowTabletMode(profile.DrawToolMode);
  }
}

// ---- tablet ----

void TMainForm::OpenTablet() {
  if (core_.scannerBusy || !tablet_ || !tablet_->IsLoaded()) return;
  if (tablet_->IsOpen()) tablet_->Close();
  tablet_->Open(HandleOfWidget(this), [this](const STabletMessage& message) { AppMessage(message); });
  SetStatusText(TabletStateText(tablet_->IsOpen()), kPanelTablet);
}

void TMainForm::CloseTablet() {
  if (!tablet_ || !tablet_->IsLoaded()) return;
  tablet_->Close();
  SetStatusText(TabletStateText(false), kPanelTablet);
}

void TMainForm::TabletPanelClick() {
  if (!tablet_ || !tablet_->IsLoaded()) return;
  CloseTablet();
  OpenTablet();
  tool_->SetDrawWindow(GetActiveDrawWindow());
  tool_->ApplyTool();
}

void TMainForm::AppMessage(const STabletMessage& message) {
  STabletDecoded decoded;
  if (!tablet_ || !tablet_->Decode(message, decoded)) return;
  RouteTabletMessage(message, decoded);
}

void TMainForm::RouteTabletMessage(const STabletMessage&, const STabletDecoded& decoded) {
  DrawWindowWidget* active = ActiveDrawWindow();
  TWinTab32& tablet = *tablet_;
  // The eraser end: back to the normal tool when the pen leaves, or at the first packet after the
  // stroke that held the switch back.
  if (core_.eraserSwitch) {
    const bool restore = !tablet.inRange || (core_.eraserSwitchPending && active != nullptr &&
                                             !active->Core().IsStrokeActive());
    if (restore) {
      if (active != nullptr && active->Core().IsStrokeActive()) {
        core_.eraserSwitchPending = true;
      } else {
        tool_->SelectToolSet(0);
        core_.eraserSwitch = false;
        core_.eraserSwitchPending = false;
      }
    }
  }
  if (!decoded.packet || active == nullptr) return;
  TDrawWindow& window = active->Core();
  // The fractional screen position, or the pixel the system pointer (which follows the pen) is on.
  float x = tablet.screenX;
  float y = tablet.screenY;
  if (!AppProfile().DrawToolMode) {
    x = static_cast<float>(static_cast<int32_t>(x));
    y = static_cast<float>(static_cast<int32_t>(y));
  }
  const float pressure = tablet.PressureFraction();
  TStroke& stroke = tool_->GetStroke();
  const bool freehand = tool_->ToolMode() == 0;
  if (pressure != 0.0f) {
    bool accepted = false;
    if (freehand) {
      if (window.IsStrokeActive()) {
        accepted = true;
      } else {
        const QPoint screen(static_cast<int32_t>(x), static_cast<int32_t>(y));
        const QPoint local = active->mapFromGlobal(screen);
        QWidget* under = QApplication::widgetAt(screen);
        const bool overWindow = under == nullptr || under == active;
        accepted = overWindow && active->rect().contains(local);
      }
    }
    if (!accepted) return;
    window.StrokeTo(stroke, true, x, y, pressure);
    active->SetAutoScrollTimer(true);
    return;
  }
  if (freehand) window.StrokeEnd(stroke, true, x, y);
  if (tablet.AltitudeFraction() < 0.0f && !window.IsPlaying() && !core_.eraserSwitch) {
    core_.eraserSwitch = true;
    core_.eraserSwitchPending = false;
    tool_->SelectToolSet(1);
  }
  active->SetAutoScrollTimer(false);
}

// ---- document windows ----

std::vector<DrawWindowWidget*> TMainForm::DrawWindows() const {
  std::vector<DrawWindowWidget*> list;
  for (QMdiSubWindow* sub : SubWindows()) {
    if (auto* w = qobject_cast<DrawWindowWidget*>(sub->widget())) list.push_back(w);
  }
  return list;
}

DrawWindowWidget* TMainForm::ActiveDrawWindow() const {
  QMdiSubWindow* sub = ActiveSubWindow();
  return sub != nullptr ? qobject_cast<DrawWindowWidget*>(sub->widget()) : nullptr;
}

DrawWindowWidget* TMainForm::CreateDrawWindow(const std::string& caption) {
  auto* widget = new DrawWindowWidget(*drawOwner_);
  QMdiSubWindow* sub = mdiArea_->addSubWindow(widget);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  widget->AttachSubWindow(sub);
  if (!caption.empty()) widget->SetCaption(caption);
  if (SubWindows().size() == 1 && AppProfile().childWinMax) {
    sub->showMaximized();
  } else {
    sub->show();
  }
  mdiArea_->setActiveSubWindow(sub);
  return widget;
}

bool TMainForm::NewDocumentWindow(int32_t width, int32_t height, const std::string& name, bool transparent,
                                  int32_t creationFlag, int32_t resolution) {
  DrawWindowWidget* widget = nullptr;
  try {
    widget = CreateDrawWindow(std::string());
    if (widget->Core().InitNewDocument(name, width, height, transparent, resolution, creationFlag)) {
      widget->Core().FormActivate();
      return true;
    }
  } catch (const std::bad_alloc&) {
  }
  ShowWarning(Tx(TextId::DrawWindowCreateFailed));
  if (widget != nullptr && widget->SubWindow() != nullptr) delete widget->SubWindow();
  return false;
}

bool TMainForm::NewDocumentFromPreset() {
  const SPaperPreset& preset = AppProfile().paper[0];
  const auto unit = static_cast<uint8_t>(preset.unit);
  const float dpi = static_cast<float>(preset.dpi);
  const auto width = static_cast<int32_t>(ConvertUnit(unit, luPixel, preset.w, dpi));
  const auto height = static_cast<int32_t>(ConvertUnit(unit, luPixel, preset.h, dpi));
  return NewDocumentWindow(width, height, MakeUntitledName(), preset.transparent, 0, preset.dpi);
}

// ---- modal runners ----

int32_t TMainForm::RunModalDialog(QDialog* dialog) {
  if (dialog == nullptr || !core_.gate.BeginModal()) return 2;
  const int32_t result = dialog->exec();
  core_.gate.EndModal();
  setGeometry(geometry());
  update();
  return result;
}

int32_t TMainForm::RunTextToolWindow(TextToolWindow& window) {
  QWidget* text = window.Widget();
  QPointer<QWidget> remembered = QApplication::activeWindow();
  const bool captured = core_.gate.BeginSemiModal();
  TextWindowFilter filter(*this, window);
  int32_t handlers = 0;
  if (captured) {
    qApp->installEventFilter(&filter);
    // The innermost handlers: shortcuts of the other windows do not fire while it runs.
    AppHandlers triple;
    triple.shortcut = [text](QEvent*) {
      QWidget* focus = QApplication::focusWidget();
      return !(text != nullptr && focus != nullptr && (focus == text || text->isAncestorOf(focus)));
    };
    handlers = AppEventFilter::Instance().Push(std::move(triple));
  }
  if (text != nullptr) {
    text->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    text->show();
    text->raise();
  }
  window.BeginSemiModal();
  window.SetModalResult(0);
  QEventLoop loop;
  QTimer wake;
  wake.start(50);
  while (window.ModalResult() == 0) {
    if (filter.quitting || closing_ || QCoreApplication::closingDown()) {
      window.SetModalResult(2);
      break;
    }
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  const int32_t result = window.ModalResult();
  window.EndSemiModal();
  if (text != nullptr) text->hide();
  if (remembered) remembered->activateWindow();
  if (captured) {
    AppEventFilter::Instance().Remove(handlers);
    qApp->removeEventFilter(&filter);
    core_.gate.EndSemiModal();
  }
  return result;
}

// ---- wheel and drops ----

bool TMainForm::OfferWheelToPalettes(QWheelEvent& event) {
  if (!tool_ || dockManager_ == nullptr) return false;
  SDockMessage message = WheelMessageOf(event);
  dockManager_->Broadcast(message);
  return message.result != 0;
}

void TMainForm::wheelEvent(QWheelEvent* event) {
  if (OfferWheelToPalettes(*event)) {
    event->accept();
    return;
  }
  QMainWindow::wheelEvent(event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    for (const QUrl& url : event->mimeData()->urls()) {
      if (url.isLocalFile()) {
        event->acceptProposedAction();
        return;
      }
    }
  }
}

void TMainForm::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) OpenFile(url.toLocalFile().toStdString());
  }
  event->acceptProposedAction();
}

// ---- docking owner ----

bool TMainForm::DockOwnerDocumentArea(TRect& screenRect) {
  if (mdiArea_ == nullptr || !mdiArea_->isVisible()) return false;
  const QWidget* area = mdiArea_->viewport();
  const QPoint origin = area->mapToGlobal(QPoint(0, 0));
  screenRect = {origin.x(), origin.y(), origin.x() + area->width(), origin.y() + area->height()};
  return true;
}

bool TMainForm::DockOwnerAnswer(SDockMessage&) {
  // The document windows answer the messages no view took once they are built.
  return false;
}

void TMainForm::DockOwnerFocus() { activateWindow(); }

// ---- factory ----

void RegisterMainForm() {
  SetMainWindowFactory([](const ProgramStart& start) -> std::unique_ptr<ProgramMainWindow> {
    // The pen tablet through the window system's tablet events, for the whole process.
    static QtTabletDriver* driver = nullptr;
    if (driver == nullptr && GetTabletDriver() == nullptr) {
      driver = new QtTabletDriver();
      driver->setParent(qApp);
      SetTabletDriver(driver);
      QObject::connect(driver, &QObject::destroyed, [] {
        SetTabletDriver(nullptr);
        driver = nullptr;
      });
    }
    SMainFormStart formStart;
    formStart.arguments = start.arguments;
    formStart.renderOrViewerMode = RenderOrViewerMode;
    formStart.viewerMode = ViewerMode;
    return std::make_unique<TMainForm>(std::move(formStart));
  });
}

}  // namespace tf
