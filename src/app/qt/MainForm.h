// The main window: the frame of the document windows, with its status bar and popups, the tablet,
// the recent files, the tool window, the 50 ms timer, the modal runners and a close in order.
#pragma once
// Its decisions live in app/MainFormCore.h; this class draws and routes. Document windows are the
// QMdiSubWindows of the QMdiArea whose widgets implement MainFormChild. Later parts of the program
// fill the named entries that now refuse loudly (a developer-output line): OpenFile (opening
// documents), RouteTabletMessage and the idle hook (input routing and playback), the menus.
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MRUFileList.h"
#include "app/MainFormCore.h"
#include "app/ToolWindow.h"
#include "app/WinTab32.h"
#include "app/qt/Program.h"
#include "ui/DockOwner.h"

class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

namespace tf {

class CAppPaperHost;
class CAppProfile;
class CGradMngr;
class CPenRender;
class CToneMngr;
class TDockFloatManager;
class DrawWindowWidget;
class TMRUMenu;
class TMainStatusBar;
class TMainFormDrawOwner;
class TStroke;
class TextToolWindow;

// How the program was started: the command line's arguments and the unattended modes.
struct SMainFormStart {
  std::vector<std::string> arguments;
  bool renderOrViewerMode = false;
  bool viewerMode = false;
};

class TMainForm final : public QMainWindow,
                        public ProgramMainWindow,
                        public ToolWindowOwner,
                        public DockFloatOwner {
  Q_OBJECT
 public:
  // The creation step: caption, recent files, cursors, hooks, tablet, tool window and its pen
  // renderer, settings migration, drops, placement, Timer1.
  explicit TMainForm(SMainFormStart start, QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- ProgramMainWindow ----
  QWidget* Window() override { return this; }
  // Opening documents is not built yet: refused with a developer-output line.
  void OpenFile(const std::string& path) override;

  // ---- services ----
  MainFormChild* GetActiveDrawWindow() const;
  QMdiSubWindow* ActiveSubWindow() const;
  std::vector<QMdiSubWindow*> SubWindows() const;
  TStroke& GetStroke();
  CGradMngr* GetGradMngr();
  CToneMngr* GetToneMngr();
  bool IsJapaneseUI() const;
  void SetStatusText(const std::string& text, int32_t panel);
  void ShowZoom(float percent);
  void ShowRotation(float degrees);
  void ShowTabletType(int32_t type);
  void ShowTabletMode(bool tabletCoordinates);
  void UpdateInfoPanel();
  // 2 at once while a modal dialog or the text window runs; else the dialog's result.
  int32_t RunModalDialog(QDialog* dialog);
  // Runs the text window semi-modally until it has a result (2 when the application quits).
  int32_t RunTextToolWindow(TextToolWindow& window);
  bool IsMainOrDocumentWindow(QWidget* widget) const;
  void OpenTablet();
  void CloseTablet();
  void SaveWindowState(CAppProfile& profile) const;
  // The menus' open and close mark the menu loop (the menus hook themselves in here).
  void HookMenuLoop(QMenu* menu);
  // A message of the tablet context (packet or proximity), through the message hook.
  void AppMessage(const STabletMessage& message);

  // A wheel turned over a document window is offered to the floating palettes first; true when
  // one of them took it.
  bool OfferWheelToPalettes(QWheelEvent& event);

  // ---- document windows ----
  // A new, empty document window (maximised when it is the only one and childWinMax is set).
  DrawWindowWidget* CreateDrawWindow(const std::string& caption);
  // A document window with a new document; false (with the warning) when it could not be made.
  bool NewDocumentWindow(int32_t width, int32_t height, const std::string& name, bool transparent,
                         int32_t creationFlag, int32_t resolution);
  // Until File > New and its dialog exist: a document of the first user preset, named untitled.
  bool NewDocumentFromPreset();
  // The document windows' widgets in window order.
  std::vector<DrawWindowWidget*> DrawWindows() const;
  DrawWindowWidget* ActiveDrawWindow() const;

  // ---- ToolWindowOwner ----
  CPenRender* MainPenRender() override { return penRender_.get(); }
  MainFormChild* ActiveChild() override { return GetActiveDrawWindow(); }
  int32_t StrokeEngine() const override { return core_.strokeEngine; }
  void ToggleStrokeEngine() override;

  // ---- DockFloatOwner ----
  QWidget* DockOwnerWindow() override { return this; }
  bool DockOwnerDocumentArea(TRect& screenRect) override;
  bool DockOwnerAnswer(SDockMessage& message) override;
  void DockOwnerFocus() override;

  // ---- parts ----
  CMainFormCore& Core() { return core_; }
  QMdiArea* MdiArea() const { return mdiArea_; }
  TMainStatusBar* StatusBar() const { return statusBar_; }
  QMenu* FileMenu() const { return menuFile_; }
  QMenu* WindowMenu() const { return menuWindow_; }
  QMenu* PopZoom() const { return popZoom_; }
  QMenu* PopRotate() const { return popRotate_; }
  QMenu* PopReso() const { return popReso_; }
  QMenu* PopTabletType() const { return popTabletType_; }
  QMenu* PopTabletMode() const { return popTabletMode_; }
  TMRUFileList& FileMRUList() { return fileMRUList_; }
  TMRUFileList& WindowMRUList() { return windowMRUList_; }
  TMRUMenu* WindowMRUMenu() const { return windowMRUMenu_; }
  TWinTab32& Tablet() { return *tablet_; }
  ToolWindow* Tool() const { return tool_.get(); }
  TDockFloatManager* DockManager() const { return dockManager_; }
  QTimer* Timer1() const { return timer1_; }
  bool DelayedStartupDone() const { return !core_.firstActivationPending; }
  // Where a popup of the status bar opened last (screen coordinates).
  QRect LastPopupRect() const { return lastPopupRect_; }

  // Shows the popup of a status-bar panel (as its click does); false when the panel has none now.
  bool PopupAtPanel(int32_t panel);
  // Timer1's handler: every document window's timer routine (guarded against re-entry).
  void Timer1Timer();
  // One playback step of the active document window (the timer's and the idle timer's);
  // the idle timer runs only while the active window plays.
  void PlaybackStep();
  void SetIdlePlayback(bool on);
  QTimer* IdleTimer() const { return idleTimer_; }
  // The tool window's progress, at most once a second and not while a menu is open; true when a
  // report was due.
  bool ReportPlaybackProgress(uint32_t now, int32_t total, int32_t done, uint32_t startTime);
  // Rebuilds the Window menu's document list (as opening the menu does).
  void RebuildWindowList();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildPopups();
  void RestorePlacement();
  void ApplyPendingPlacement();
  void DelayedStartup();
  void ApplicationStateChanged(Qt::ApplicationState state);
  void StatusBarMouseDown(int32_t panel, const QRect& screenRect);
  void ShowPopup(QMenu* menu, const QRect& panelRect);
  void PopupOpening(QMenu* menu);
  void MenuClick(QMenu* menu, int32_t item);
  void WindowListClick(int32_t position);
  void TabletPanelClick();
  void RouteTabletMessage(const STabletMessage& message, const STabletDecoded& decoded);
  bool IsCommandLineFile(const std::string& argument) const;

  SMainFormStart start_;
  CMainFormCore core_;
  QMdiArea* mdiArea_ = nullptr;
  TMainStatusBar* statusBar_ = nullptr;
  QMenu* menuFile_ = nullptr;
  QAction* fileAnchor_ = nullptr;
  QMenu* menuWindow_ = nullptr;
  QAction* windowAnchor_ = nullptr;
  QMenu* popZoom_ = nullptr;
  QMenu* popRotate_ = nullptr;
  QMenu* popReso_ = nullptr;
  QMenu* popTabletType_ = nullptr;
  QMenu* popTabletMode_ = nullptr;
  QTimer* timer1_ = nullptr;
  TMRUFileList fileMRUList_;
  TMRUFileList windowMRUList_;
  TMRUMenu* fileMRUMenu_ = nullptr;
  TMRUMenu* windowMRUMenu_ = nullptr;
  std::vector<QPointer<QMdiSubWindow>> windowListWindows_;
  std::unique_ptr<TWinTab32> tablet_;
  TDockFloatManager* dockManager_ = nullptr;
  std::unique_ptr<ToolWindow> tool_;
  std::unique_ptr<CPenRender> penRender_;
  std::unique_ptr<CAppPaperHost> paperHost_;
  PaperHost* paperHostBefore_ = nullptr;
  QRect lastPopupRect_;
  // Placement: the saved outer frame waiting for the frame margins to be known.
  bool placementPending_ = false;
  QSize pendingFrameSize_;
  bool shownOnce_ = false;
  bool closing_ = false;
  bool inTimer_ = false;
  std::unique_ptr<TMainFormDrawOwner> drawOwner_;
  QPointer<QWidget> activeChild_;
  QAction* newAction_ = nullptr;
  QTimer* idleTimer_ = nullptr;
  uint32_t lastProgressTime_ = 0;
};

// Registers the main window's factory with the program's main block.
void RegisterMainForm();

}  // namespace tf
