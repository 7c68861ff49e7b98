// A small program to try the base forms by hand (or under Xvfb with xdotool): a main window with
// buttons that open the base dialog (OK and Cancel, or OK only), a popup (also one opened on the
// button press, with the hold rule) and a progress window over work that runs on the UI thread.
// A second window stands in for the main window of the docking manager: a row of small controls
// (slider, dial, tab strip, path label, drop-down) over a picture with the view grabber, and two
// floating tool windows with views to drag, dock, roll up and snap.
// File buttons: the open dialog of kind 0 with its preview pane (starting in the folder given as
// the first argument), a paste that shows the clipboard's picture, and a copy of a test picture.
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

  QWidget main;
  main.setWindowTitle(QStringLiteral("UI tryout"));
  main.setGeometry(40, 40, 360, 520);
  auto* layout = new QVBoxLayout(&main);
  auto* dialogButton = new QPushButton(QStringLiteral("Dialog..."), &main);
  auto* okOnlyButton = new QPushButton(QStringLiteral("Dialog, OK only..."), &main);
  auto* popupButton = new QPushButton(QStringLiteral("Popup"), &main);
  auto* holdButton = new QPushButton(QStringLiteral("Hold popup (press and hold)"), &main);
  auto* progressButton = new QPushButton(QStringLiteral("Progress"), &main);
  auto* edit = new QLineEdit(&main);
  auto* openButton = new QPushButton(QStringLiteral("Open (kind 0)..."), &main);
  auto* pasteButton = new QPushButton(QStringLiteral("Paste picture"), &main);
  auto* copyButton = new QPushButton(QStringLiteral("Copy test picture"), &main);
  auto* pasted = new QLabel(&main);
  pasted->setMinimumSize(200, 120);
  for (QWidget* w : {static_cast<QWidget*>(openButton), static_cast<QWidget*>(pasteButton),
                     static_cast<QWidget*>(copyButton), static_cast<QWidget*>(pasted)})
    layout->addWidget(w);
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
                     static_cast<QWidget*>(progressButton), static_cast<QWidget*>(edit)}) {
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
  Say("ready");
  const int code = QApplication::exec();
  report.stop();
  tf::UninstallUiHosts();
  return code;
}
