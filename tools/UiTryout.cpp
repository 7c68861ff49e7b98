// A small program to try the base forms by hand (or under Xvfb with xdotool): a main window with
// buttons that open the base dialog (OK and Cancel, or OK only), a popup (also one opened on the
// button press, with the hold rule) and a progress window over work that runs on the UI thread.
// A second window stands in for the main window of the docking manager: a row of small controls
// (slider, dial, tab strip, path label, drop-down) over a picture with the view grabber, and two
// floating tool windows with views to drag, dock, roll up and snap.
// File buttons: the open dialog of kind 0 with its preview pane (starting in the folder given as
// the first argument), a paste that shows the clipboard's picture, and a copy of a test picture.
// A third window holds the list views: the brush pane (large icons) and the options strip over the
// default brush set (E and R step the strip's brush left and right, Ctrl+click deletes a brush),
// an older pen's five slots, and three stand-in lists (two of one class, one of another) to drag,
// reorder and copy between.
// Everything that happens is printed on stdout, one line each, so a script can follow it.
#include <QAction>
#include <QImage>
#include <QPixmap>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <string>

#include "app/qt/FormAbout.h"
#include "document/Clipboard.h"
#include "files/ClipboardExchange.h"
#include "files/DocFile.h"
#include "paper/HeadlessWindow.h"
#include "platform/ClipboardFormats.h"
#include "platform/FileDialog.h"
#include "platform/Progress.h"
#include "platform/qt/QtHosts.h"
#include "raster/Appearance.h"
#include "ui/BaseForm.h"
#include "ui/DockFloat.h"
#include "ui/GrabberControl.h"
#include "ui/GraphicTrackbar.h"
#include "ui/SmallControls.h"
#include "ui/GraphicControl.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/PopupBase.h"
#include "ui/UiHosts.h"
#include "paint/PaintParam.h"
#include "paint/PenMethod.h"
#include "paint/PenSetting.h"
#include "paint/Stroke.h"
#include "palettes/ListView.h"
#include "palettes/PenMethodListView.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include <QKeyEvent>

// The palette controls' window (tools/UiTryoutLook.cpp).
void ShowLookControls();
#include "app/AppProfile.h"
#include "app/qt/FormPreference.h"
#include "ui/ColorCells.h"
#include "app/qt/DocumentDialogs.h"
#include "app/qt/FormValue.h"
#include "raster/BlockVMTC.h"
#include "ui/NumEdits.h"
#include "ui/NumSpin.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// A strip of the glyphs and colour fields the surface draws, shown through a GraphicControl.
class GlyphStrip : public tf::GraphicControl {
 public:
  using GraphicControl::GraphicControl;

 protected:
  void RenderGraphic() override {
    tf::TMemoryGraphic& g = Graphic();
    g.SetBackground(tf::AppearanceColors[tf::acBtnFace]);
    g.Clear();
    const tf::SChannelOps over{tf::ChannelBlend, tf::ChannelKeep};
    const tf::TAppearanceManager& m = tf::AppearanceManager();
    for (int32_t symbol = 0; symbol < 13; ++symbol) {
      for (int32_t state = 0; state < 3; ++state) {
        const tf::TMemoryGraphic& glyph = m.GetButtonGlyph(symbol, state);
        g.DrawGraphic(4 + symbol * 14, 4 + state * 14, 11, 11, glyph, 0, 0, over);
      }
    }
    g.FillHueRamp({4, 48, 184, 60}, tf::kDirRight, 0.0f, 1.0f, 1.0f, 1.0f, over, true);
    g.FillGradient({4, 62, 184, 74}, tf::BGRABlack, tf::BGRAWhite, tf::kDirRight, over);
    g.FillDot(190, 4, 24, tf::BGRARed, over);
    g.FrameDot(190, 32, 24, 3, tf::BGRABlue, over);
  }
};

class TryoutPopup : public tf::TPopupBaseForm {
 public:
  explicit TryoutPopup(QWidget* parent) : TPopupBaseForm(parent) {
    resize(230, 110);
    auto* label = new QLabel(QString::fromUtf8("ポップアップ: Esc / Enter / click outside"), this);
    label->setGeometry(6, 4, 220, 16);
    auto* strip = new GlyphStrip(this);
    strip->setGeometry(6, 24, 218, 80);
  }
};

// A view that fills itself with a colour and writes its name.
class ColourView : public tf::TCustomDockView {
 public:
  ColourView(const std::string& name, QColor colour) : colour_(colour) {
    SetCaption(name);
    OnPaint = [this](tf::TCustomDockView* view, QPainter& p) {
      p.fillRect(view->rect().adjusted(4, 4, -4, -4), colour_);
      p.setPen(Qt::black);
      p.drawText(view->rect(), Qt::AlignCenter, QString::fromStdString(view->Caption()));
    };
  }
  intptr_t DockMessage(tf::SDockMessage& m) override {
    if (m.code != tf::kDockMouseWheel) return 0;
    Say("wheel offered to " + Caption() + ", delta " + std::to_string(tf::WheelDelta(m)));
    return 0;
  }

 private:
  QColor colour_;
};

// The document area: a picture turned and scaled by the grabber, which it composites itself.
class PictureArea : public QWidget {
 public:
  explicit PictureArea(QWidget* parent) : QWidget(parent) {
    grabber = new tf::TGrabberControl(this);
    grabber->move(20, 20);
    grabber->OnChange = [this](tf::TGrabberControl* g) {
      Say("grabber: rotation " + std::to_string(g->Rotation()) + ", scale " + std::to_string(g->Scale()));
      update();
    };
    grabber->OnGrabberEnter = [](tf::TGrabberControl*) { Say("grabber drag begins"); };
    grabber->OnGrabberExit = [](tf::TGrabberControl*) { Say("grabber drag ends"); };
    grabber->OnHint = [](const std::string& hint) { Say("hint: " + hint); };
  }
  tf::TGrabberControl* grabber;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(128, 128, 128));
    p.save();
    p.translate(width() / 2.0, height() / 2.0);
    p.rotate(grabber->Rotation());
    p.scale(grabber->Scale(), grabber->Scale());
    QLinearGradient g(-120, -90, 120, 90);
    g.setColorAt(0, QColor(230, 80, 40));
    g.setColorAt(1, QColor(40, 90, 220));
    p.fillRect(QRectF(-120, -90, 240, 180), g);
    p.setPen(Qt::white);
    p.drawText(QRectF(-120, -90, 240, 180), Qt::AlignCenter, QStringLiteral("Tintaframe ↑"));
    p.restore();
    if (grabber->isVisible()) grabber->DrawTo(p, grabber->x(), grabber->y());
  }
  void wheelEvent(QWheelEvent* e) override {
    Say("document window takes the wheel, delta " + std::to_string(e->angleDelta().y()));
  }
};

// The stand-in main window: owner of the floating forms.
class StandInMain : public QWidget, public tf::DockFloatOwner {
 public:
  StandInMain() {
    setWindowTitle(QStringLiteral("Main window (stand-in)"));
    auto* slider = new tf::TGraphicTrackbar(this);
    slider->setGeometry(10, 10, 109, 12);
    slider->SetCenterLine(true);
    slider->OnChange = [](tf::TGraphicTrackbar* b) { Say("slider " + std::to_string(b->GetPosition())); };
    auto* vertical = new tf::TGraphicTrackbar(this);
    vertical->SetOrientation(tf::TGraphicTrackbarOrientation::gtVertical);
    vertical->setGeometry(130, 4, 13, 60);
    vertical->SetPosition(0.7f);
    vertical->OnChange = [](tf::TGraphicTrackbar* b) { Say("vertical " + std::to_string(b->GetPosition())); };
    auto* dial = new tf::TGraphicTrackbar(this);
    dial->SetOrientation(tf::TGraphicTrackbarOrientation::gtClockWise);
    dial->setGeometry(150, 4, 32, 32);
    dial->OnChange = [](tf::TGraphicTrackbar* b) { Say("dial " + std::to_string(b->GetPosition())); };
    auto* tabs = new tf::TGraphicTabControl(this);
    tabs->setGeometry(190, 4, 240, 40);
    tabs->AddTab("ブラシ");
    tabs->AddTab("ペン先");
    tabs->AddTab("Texture");
    tabs->OnChange = [](tf::TGraphicTabControl* t) { Say("tab " + std::to_string(t->ActiveIndex())); };
    auto* path = new tf::TPathLabel(this);
    path->setGeometry(440, 6, 190, 16);
    path->SetPath(QStringLiteral("/home/user/tintaframe/preset/brushes/watercolour.pmt"));
    path->SetModified(true);
    auto* dropDown = new tf::TDropDownMenu(this);
    dropDown->move(640, 8);
    menu_.addAction(QStringLiteral("Reset"), [] { Say("menu: Reset"); });
    menu_.addAction(QStringLiteral("Save as..."), [] { Say("menu: Save as"); });
    dropDown->SetPopupMenu(&menu_);
    area = new PictureArea(this);
    area->setGeometry(0, 70, 760, 490);
    resize(760, 560);
  }
  QWidget* DockOwnerWindow() override { return this; }
  bool DockOwnerDocumentArea(tf::TRect& r) override {
    const QPoint o = area->mapToGlobal(QPoint(0, 0));
    r = {o.x(), o.y(), o.x() + area->width(), o.y() + area->height()};
    return true;
  }
  bool DockOwnerAnswer(tf::SDockMessage& m) override {
    Say("document window answers the wheel, delta " + std::to_string(tf::WheelDelta(m)));
    m.result = 1;
    return true;
  }
  void DockOwnerFocus() override { activateWindow(); }
  PictureArea* area;

 private:
  QMenu menu_;
};

}  // namespace

// A stand-in list over named colours; views of this class exchange items, OtherTryoutList's not.
class TryoutList : public tf::CListViewCore {
 public:
  struct Item {
    std::string name;
    uint32_t colour;
  };
  TryoutList(const char* prefix, int count, uint32_t base) {
    allowedStyles_ = 0x3FF;
    for (int i = 0; i < count; ++i) items.push_back({prefix + std::to_string(i), base + static_cast<uint32_t>(i * 0x00100C08)});
  }
  int32_t GetCount() override { return static_cast<int32_t>(items.size()); }
  uint32_t GetItemFlags(int32_t) override { return 0; }
  std::string GetItemText(int32_t i) override { return IsValidIndex(i) ? items[i].name : ""; }
  void DrawItemImage(tf::TMemoryGraphic& image, const tf::TRect& r, uint32_t, int32_t i) override {
    if (IsValidIndex(i)) image.FillRect(r, items[i].colour, {tf::ChannelCopy, tf::ChannelCopy});
  }
  bool NewItem(bool) override { return false; }
  bool DeleteItem(int32_t i, bool redraw) override {
    if (!CanDelete(i)) return false;
    items.erase(items.begin() + i);
    if (redraw) EnsureCurrentVisible(true);
    return true;
  }
  bool InsertCopy(tf::CListViewCore* destination, int32_t index, int32_t from, bool redraw) override {
    auto* target = dynamic_cast<TryoutList*>(destination);
    if (target == nullptr || !IsValidIndex(from) || !target->CanCopyFrom(index, this, from)) return false;
    const Item copy = items[from];
    if (index < 0 || index > target->GetCount()) index = target->GetCount();
    target->items.insert(target->items.begin() + index, copy);
    target->SelectItem(index, redraw);
    return true;
  }
  std::vector<Item> items;
};
class OtherTryoutList : public TryoutList {
 public:
  using TryoutList::TryoutList;
};

// The lists window: E and R step the options strip.
class ListsWindow : public QWidget {
 public:
  tf::TPenMethodListView* strip = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (strip == nullptr || (event->key() != Qt::Key_E && event->key() != Qt::Key_R)) return QWidget::keyPressEvent(event);
    tf::CPenMethodListCore& items = strip->Items();
    const int32_t next = items.GetSelected() + (event->key() == Qt::Key_E ? -1 : 1);
    if (items.SelectItem(next, true)) Say("strip key: brush " + std::to_string(next));
  }
};

std::string NamesOf(TryoutList& list) {
  std::string line;
  for (const auto& item : list.items) line += " " + item.name;
  return line;
}

int main(int argc, char** argv) {
  // --write-doc PATH: a small document with its thumbnail, for trying the preview pane.
  if (argc == 3 && std::string(argv[1]) == "--write-doc") {
    tf::HeadlessDocumentWindow window;
    tf::TPaper& paper = window.Paper();
    if (!paper.NewDocument("tryout.tfi", &window.Flow(), false, false, 72, 90, 160)) return 1;
    return tf::SaveDocFile(argv[2], paper, tf::kDocLayers | tf::kDocThumbnail) ? 0 : 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Tintaframe4 Plus (tryout)"));
  tf::InstallUiHosts();
  tf::AppProfile().LoadAll();

  QWidget main;
  main.setWindowTitle(QStringLiteral("UI tryout"));
  main.setGeometry(40, 40, 360, 520);
  auto* layout = new QVBoxLayout(&main);
  auto* dialogButton = new QPushButton(QStringLiteral("Dialog..."), &main);
  auto* okOnlyButton = new QPushButton(QStringLiteral("Dialog, OK only..."), &main);
  auto* popupButton = new QPushButton(QStringLiteral("Popup"), &main);
  auto* holdButton = new QPushButton(QStringLiteral("Hold popup (press and hold)"), &main);
  auto* progressButton = new QPushButton(QStringLiteral("Progress"), &main);
  auto* aboutButton = new QPushButton(QStringLiteral("About box..."), &main);
  QObject::connect(aboutButton, &QPushButton::clicked,
                   [] { Say(std::string("about box closed, result ") + (tf::ShowAboutBox(false) ? "1" : "other")); });
  auto* edit = new QLineEdit(&main);
  auto* openButton = new QPushButton(QStringLiteral("Open (kind 0)..."), &main);
  auto* pasteButton = new QPushButton(QStringLiteral("Paste picture"), &main);
  auto* copyButton = new QPushButton(QStringLiteral("Copy test picture"), &main);
  auto* pasted = new QLabel(&main);
  pasted->setMinimumSize(200, 120);
  for (QWidget* w : {static_cast<QWidget*>(openButton), static_cast<QWidget*>(pasteButton),
                     static_cast<QWidget*>(copyButton), static_cast<QWidget*>(pasted)})
    layout->addWidget(w);
  // Colour cells (a click or double-click opens the colour picker dialog) and the preferences
  // dialog, until the menus bring Edit > Preferences.
  auto* twin = new tf::TTwinColorCell(&main);
  twin->setFixedSize(36, 36);
  auto* cell = new tf::TPickerColorCell(&main);
  cell->setFixedSize(60, 24);
  auto* prefButton = new QPushButton(QStringLiteral("Preferences..."), &main);
  for (QWidget* w : {static_cast<QWidget*>(twin), static_cast<QWidget*>(cell), static_cast<QWidget*>(prefButton)})
    layout->addWidget(w);
  twin->SetOnChange([](tf::TCustomColorCell& c) {
    Say("twin colour " + std::to_string(c.ColorManager().GetPackedRGB()));
  });
  cell->SetOnChange([](tf::TCustomColorCell& c) {
    Say("cell colour " + std::to_string(c.ColorManager().GetPackedRGB()));
  });
  QObject::connect(prefButton, &QPushButton::clicked, [&main] {
    tf::CAppProfile& profile = tf::AppProfile();
    tf::TFormPreference form(profile, &main);
    const int result = form.exec();
    char line[160];
    std::snprintf(line, sizeof line, "preferences %d: grid %d x %d colour %08X undo %d", result, profile.gridW,
                  profile.gridH, profile.GridColor, profile.undoMax);
    Say(line);
  });
  const std::string startFolder = argc > 1 ? argv[1] : std::string();
  QObject::connect(openButton, &QPushButton::clicked, [startFolder] {
    std::string path, folder = startFolder;
    int32_t index = 8;
    const bool chosen = tf::ExecuteFileDialog(path, 0, "", &folder, &index);
    Say(chosen ? "open dialog chose " + path : std::string("open dialog cancelled"));
  });
  QObject::connect(pasteButton, &QPushButton::clicked, [pasted] {
    std::unique_ptr<tf::TMTC> image = tf::GetClipboardImage(tf::WindowHandle{});
    if (!image) {
      Say("paste: no picture");
      return;
    }
    const QImage view(image->Bits(), image->Width(), image->Height(), 4 * image->Width(), QImage::Format_ARGB32);
    pasted->setPixmap(QPixmap::fromImage(view.copy()));
    Say("pasted " + std::to_string(image->Width()) + "x" + std::to_string(image->Height()));
  });
  QObject::connect(copyButton, &QPushButton::clicked, [] {
    tf::TMTC image(64, 32);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) *image.Pixel(x, y) = 0xFF000000u | (x * 4) << 16 | (y * 8) << 8 | 0x40;
    tf::ClipboardEmpty(tf::WindowHandle{}, true);
    Say(tf::PutClipboardImage24(tf::WindowHandle{}, image, tf::SRectWH{0, 0, 64, 32}) ? "copied 64x32"
                                                                                      : "copy failed");
  });
  for (QWidget* w : {static_cast<QWidget*>(dialogButton), static_cast<QWidget*>(okOnlyButton),
                     static_cast<QWidget*>(popupButton), static_cast<QWidget*>(holdButton),
                     static_cast<QWidget*>(progressButton), static_cast<QWidget*>(aboutButton),
                     static_cast<QWidget*>(edit)}) {
    layout->addWidget(w);
  }
  // A shortcut of the main window: it must not fire while a popup is open.
  auto* shortcut = new QAction(&main);
  shortcut->setShortcut(QKeySequence(QStringLiteral("Ctrl+K")));
  shortcut->setShortcutContext(Qt::ApplicationShortcut);
  main.addAction(shortcut);
  QObject::connect(shortcut, &QAction::triggered, [] { Say("shortcut Ctrl+K fired"); });
  QObject::connect(edit, &QLineEdit::textChanged, [](const QString& t) { Say("main edit: " + t.toStdString()); });

  auto runDialog = [&main](uint8_t mode) {
    tf::TDialogBaseForm dialog(&main);
    dialog.setWindowTitle(mode == 1 ? QStringLiteral("Base dialog") : QStringLiteral("Base dialog (OK only)"));
    auto* field = new QLineEdit(&dialog);
    field->setGeometry(12, 8, 190, 22);
    QObject::connect(field, &QLineEdit::editingFinished,
                     [field] { Say("dialog field left: " + field->text().toStdString()); });
    dialog.SetButtonMode(mode);
    Say("dialog open, mode " + std::to_string(mode));
    const int result = dialog.exec();
    Say("dialog closed, result " + std::to_string(result) + ", field '" + field->text().toStdString() + "'");
  };
  QObject::connect(dialogButton, &QPushButton::clicked, [&] { runDialog(1); });
  QObject::connect(okOnlyButton, &QPushButton::clicked, [&] { runDialog(0); });

  TryoutPopup popup(&main);
  popup.OnPopupOpen = [](tf::TPopupBaseForm*) { Say("popup open"); };
  popup.OnPopupClose = [](tf::TPopupBaseForm* p) { Say("popup closed, result " + std::to_string(p->Result())); };
  auto openBeside = [&popup](QPushButton* button) {
    const QPoint topLeft = button->mapToGlobal(QPoint(0, 0));
    const tf::TRect avoid{topLeft.x(), topLeft.y(), topLeft.x() + button->width(),
                          topLeft.y() + button->height()};
    popup.Popup(topLeft.x(), topLeft.y(), &avoid);
    Say("popup at " + std::to_string(popup.x()) + "," + std::to_string(popup.y()) + " size " +
        std::to_string(popup.width()) + "x" + std::to_string(popup.height()));
  };
  QObject::connect(popupButton, &QPushButton::clicked, [&] { openBeside(popupButton); });
  QObject::connect(holdButton, &QPushButton::pressed, [&] {
    popup.SetHold(true);
    openBeside(holdButton);
  });

  QObject::connect(progressButton, &QPushButton::clicked, [&main] {
    // The work runs here, on the UI thread, with no event loop: the window must paint by itself.
    const int32_t steps = 40;
    std::unique_ptr<tf::TProgressDlg> dialog =
        tf::CreateProgressDlg(tf::HandleOfWidget(&main), steps, "Sample保存中 (tryout.tfp)", "starting");
    Say(dialog ? "progress shown" : "progress: no dialog");
    for (int32_t i = 0; i < steps; ++i) {
      tf::ProgressSetStatus(dialog.get(), "step " + std::to_string(i + 1) + " を保存しています...");
      QThread::msleep(100);
      const int32_t percent = tf::ProgressStepBy(dialog.get(), 1);
      if (i % 10 == 9) Say("progress " + std::to_string(percent) + "%");
    }
    dialog.reset();
    Say("progress done");
  });

  main.show();

  StandInMain standIn;
  standIn.move(420, 40);
  standIn.show();
  tf::TDockFloatManager manager(&standIn);
  ColourView layers("レイヤー", QColor(250, 230, 180)), masks("マスク", QColor(200, 240, 200)),
      colour("カラー", QColor(200, 220, 250)), navigator("ナビゲータ", QColor(240, 200, 240)),
      loupe("ルーペ", QColor(230, 230, 230));
  tf::TDockFloatForm* first = manager.CreateFloatForm();
  first->setWindowTitle(QStringLiteral("Tools A"));
  first->move(1220, 40);
  first->DockView(0, &layers);
  first->DockView(0, &masks);
  first->DockView(1, &colour);
  first->ShowSiteKeepBounds();
  tf::TDockFloatForm* second = manager.CreateFloatForm();
  second->setWindowTitle(QStringLiteral("Tools B"));
  second->move(1220, 480);
  second->DockView(0, &navigator);
  second->DockView(1, &loupe);
  second->ShowSiteKeepBounds();
  // Report the forms' places and panes now and then, so a script can see what happened.
  QTimer report;
  QObject::connect(&report, &QTimer::timeout, [&manager] {
    std::string line = "forms:";
    for (int32_t i = 0; i < manager.GetFormCount(); ++i) {
      tf::TDockFloatForm* f = manager.GetForm(i);
      line += " [" + f->windowTitle().toStdString() + " at " + std::to_string(f->x()) + "," + std::to_string(f->y()) +
              " " + std::to_string(f->width()) + "x" + std::to_string(f->height()) + (f->isVisible() ? "" : " hidden");
      for (int32_t p = 0; p < f->GetSiteManagerCount(); ++p) {
        tf::TDockViewManager* pane = f->GetSiteManager(p);
        line += " |";
        for (int32_t v = 0; v < pane->GetViewCount(); ++v) {
          line += " " + pane->GetView(v)->Caption() + (pane->GetClosed() ? "(rolled)" : "");
        }
      }
      line += "]";
    }
    static std::string last;
    if (line != last) Say(line);
    last = line;
  });
  // A third window: numbers typed, stepped and slid, and the document dialogs.
  QWidget numbers;
  numbers.setWindowTitle(QStringLiteral("Numbers"));
  numbers.setGeometry(420, 40, 360, 300);
  tf::TNumMngr opacity;
  opacity.SetValueMax(100);
  opacity.SetValueMin(1);
  opacity.SetValue(40);
  auto* numEdit = new tf::TNumEdit(&numbers);
  numEdit->setGeometry(10, 10, 60, 20);
  numEdit->SetAssociate(&opacity);
  auto* spin = new tf::TNumUpDown(&numbers);
  spin->setGeometry(72, 10, 16, 20);
  spin->SetAssociate(&opacity);
  auto* numTrack = new tf::TGraphicTrackbar(&numbers);
  numTrack->setGeometry(96, 12, 150, 14);
  numTrack->OnChange = [&opacity](tf::TGraphicTrackbar* b) { opacity.SetPosition(b->GetPosition()); };
  auto* numLabel = new tf::TNumLabelEdit(&numbers);
  numLabel->setGeometry(10, 40, 60, 18);
  numLabel->SetAssociate(&opacity);
  auto* popupLabel = new tf::TNumLabelEditPopup(&numbers);
  popupLabel->setGeometry(80, 40, 60, 20);
  popupLabel->Orientation = tf::TGraphicTrackbarOrientation::gtVertical;
  popupLabel->SetAssociate(&opacity);
  auto* textLabel = new tf::TLabelEdit(&numbers);
  textLabel->setGeometry(150, 40, 100, 18);
  textLabel->setText(QStringLiteral("名前"));
  textLabel->MaxLength = 16;
  textLabel->OnChange = [](tf::TLabelEdit* l) { Say("label text: " + l->text().toStdString()); };
  opacity.OnChange = [numTrack](tf::TNumMngr* m) {
    numTrack->SetPosition(m->GetPosition());
    Say("number: " + tf::FormatNum("%1.5g", m->Value()));
  };
  numTrack->SetPosition(opacity.GetPosition());
  auto* dialogs = new QWidget(&numbers);
  dialogs->setGeometry(10, 70, 340, 220);
  auto* dialogLayout = new QVBoxLayout(dialogs);
  auto addDialog = [&](const char* name, std::function<void()> run) {
    auto* b = new QPushButton(QString::fromUtf8(name), dialogs);
    dialogLayout->addWidget(b);
    QObject::connect(b, &QPushButton::clicked, run);
  };
  static tf::CBlockVMTC layerStore;
  layerStore.Create(700, 480);
  addDialog("Image size (640 x 480)...", [] {
    tf::TImageSizeValue v{640, 480, 4};
    const bool ok = tf::ExecImageSizeDialog(v, 72);
    Say("image size: " + std::to_string(ok) + " " + std::to_string(v.width) + " x " + std::to_string(v.height) +
        " anchor " + std::to_string(v.anchor));
  });
  addDialog("Resolution...", [] {
    tf::TResolutionValue v{640, 480, 72};
    const bool ok = tf::ExecResolutionDialog(v, 0);
    Say("resolution: " + std::to_string(ok) + " " + std::to_string(v.width) + " x " + std::to_string(v.height) +
        " at " + std::to_string(v.resolution));
  });
  addDialog("JPEG options...", [] {
    tf::TJpegOptionValue v;
    const bool ok = tf::ExecJpegOptionDialog(v);
    Say("jpeg: " + std::to_string(ok) + " quality " + std::to_string(v.quality) + " choice " +
        std::to_string(v.qualityChoice));
  });
  addDialog("New layer...", [] {
    tf::TNewLayerValue v;
    v.name = "レイヤ 2";
    const bool ok = tf::ExecNewLayerDialog(v);
    char colour[16];
    std::snprintf(colour, sizeof colour, "%08X", v.color);
    Say("new layer: " + std::to_string(ok) + " mode " + std::to_string(v.blendMode) + " opacity " +
        std::to_string(v.opacity) + " colour " + colour);
  });
  addDialog("Rotation...", [] {
    float angle = 0;
    const bool ok = tf::ExecRotationDialog(angle);
    Say("rotation: " + std::to_string(ok) + " " + std::to_string(angle));
  });
  addDialog("Layer properties...", [] {
    tf::TLayerOptionValue v;
    v.name = "layer";
    const bool ok = tf::ExecLayerOptionDialog(v, layerStore, 640, 480);
    Say("layer options: " + std::to_string(ok) + " x " + std::to_string(v.x) + " opacity " + std::to_string(v.opacity));
  });
  addDialog("Mask properties (no store)...", [] {
    tf::TMaskOptionValue v;
    v.name = "mask";
    const bool ok = tf::ExecMaskOptionDialog(v, nullptr, 640, 480);
    Say("mask options: " + std::to_string(ok) + " " + v.name);
  });
  numbers.show();

  report.start(300);

  // The list views over the default brush set, with more brushes of the pencil and watercolour.
  tf::CPenMethodMngr brushes;
  brushes.AddMissingKinds();
  for (int i = 0; i < 60; ++i) {
    const int from = i % 4 != 3 ? 0 : 2;
    auto copy = tf::CPenMethodObj::CreateCopy(*brushes.GetItem(from));
    copy->SetName(tf::Utf8ToCp932(tf::PaintKindName(static_cast<uint8_t>(9 + from)) + " " + std::to_string(i + 2)));
    brushes.Add(std::move(copy));
  }
  tf::TStroke stroke(2);
  tf::CPenSettingBlock penSlots;
  tf::LoadPenSettings(tf::CRegistry::Instance(), penSlots);
  ListsWindow lists;
  lists.setWindowTitle(QStringLiteral("Lists"));
  lists.setGeometry(40, 600, 900, 440);
  auto* pane = new tf::TPenMethodListView(&lists);
  pane->setGeometry(10, 50, 210, 380);
  pane->Items().SetOptions(tf::kLvSelection | tf::kLvDeleteClick | tf::kLvDragSource);
  pane->Items().SetDisplayStyle(tf::kStyleIconLarge);
  pane->Items().BindSet(&brushes, &stroke, &penSlots);
  pane->Items().SetPaintKind(9);
  auto* strip = new tf::TPenMethodListView(&lists);
  strip->setGeometry(10, 10, 210, 34);
  strip->Items().SetOptions(tf::kLvSelection);
  strip->Items().SetDisplayStyle(tf::kStyleStrip);
  strip->Items().BindSet(&brushes, &stroke, &penSlots);
  strip->Items().SetPaintKind(9);
  lists.strip = strip;
  auto* older = new tf::TPenMethodListView(&lists);
  older->setGeometry(230, 10, 150, 5 * 32 + 4);
  older->Items().SetOptions(tf::kLvSelection);
  older->Items().SetDisplayStyle(tf::kStyleListNormal);
  older->Items().BindSet(&brushes, &stroke, &penSlots);
  older->Items().SetPaintKind(2);
  auto* kinds = new QPushButton(QStringLiteral("Next kind"), &lists);
  kinds->setGeometry(230, 180, 150, 26);
  auto* slotEdit = new QPushButton(QStringLiteral("Older pen slot: width +5"), &lists);
  slotEdit->setGeometry(230, 210, 150, 26);
  auto* quit = new QPushButton(QStringLiteral("Quit (saves the pen slots)"), &lists);
  quit->setGeometry(230, 240, 150, 26);
  QObject::connect(quit, &QPushButton::clicked, [] { QApplication::quit(); });
  QObject::connect(kinds, &QPushButton::clicked, [pane, strip] {
    const uint8_t kind = static_cast<uint8_t>(9 + (pane->Items().KindFilter() + 1) % 9);
    pane->Items().SetPaintKind(kind);
    strip->Items().SetPaintKind(kind);
    Say("kind " + std::to_string(kind) + ": " + std::to_string(pane->Items().GetCount()) + " brushes, selected " +
        std::to_string(pane->Items().GetSelected()));
  });
  QObject::connect(slotEdit, &QPushButton::clicked, [older, &stroke] {
    tf::CPenMethodListCore& items = older->Items();
    items.SetRealField(12, items.GetPaintParam().width + 5);
    items.StoreSettings();
    Say("older pen slot " + std::to_string(items.GetSelected()) + " width " + std::to_string(stroke.GetWidth()));
  });
  for (tf::TPenMethodListView* v : {pane, strip, older}) {
    v->Core().OnChange = [v, pane, strip](tf::CListViewCore& core) {
      auto& items = static_cast<tf::CPenMethodListCore&>(core);
      // Both show the same set: the other one follows.
      if (v == pane) strip->Items().EnsureCurrentVisible(true);
      if (v == strip) pane->Items().EnsureCurrentVisible(true);
      Say(std::string(v == pane ? "pane" : v == strip ? "strip" : "older") + " selected " +
          std::to_string(items.GetSelected()) + " " + tf::Cp932ToUtf8(items.GetPaintParam().name));
    };
  }
  auto makeList = [&lists](std::unique_ptr<TryoutList> core, int x) {
    core->SetOptions(tf::kLvSelection | tf::kLvDragSource | tf::kLvDropTarget | tf::kLvDeleteClick);
    auto* view = new tf::TtFListView(std::move(core), &lists);
    view->Core().SetDisplayStyle(tf::kStyleListSmall);
    view->setGeometry(x, 10, 150, 24 * 12 + 4);
    return view;
  };
  tf::TtFListView* listA = makeList(std::make_unique<TryoutList>("A", 24, 0xFF3060C0u), 400);
  tf::TtFListView* listB = makeList(std::make_unique<TryoutList>("B", 5, 0xFFC06030u), 570);
  tf::TtFListView* listC = makeList(std::make_unique<OtherTryoutList>("C", 5, 0xFF30A050u), 740);
  for (tf::TtFListView* v : {listA, listB, listC}) {
    v->Core().OnChange = [v](tf::CListViewCore&) {
      static std::string last;
      const std::string line = "list" + NamesOf(static_cast<TryoutList&>(v->Core()));
      if (line != last) Say(line);
      last = line;
    };
  }
  lists.show();
  ShowLookControls();
  Say("ready");
  const int code = QApplication::exec();
  report.stop();
  // The older pens' slots are kept for the next start.
  tf::SavePenSettings(tf::CRegistry::Instance(), penSlots);
  Say(tf::CRegistry::Instance().Save() ? "pen settings saved" : "pen settings not saved");
  pane->Items().UnbindSet();
  strip->Items().UnbindSet();
  older->Items().UnbindSet();
  tf::UninstallUiHosts();
  return code;
}
