// A small program to try the base forms by hand (or under Xvfb with xdotool): a main window with
// buttons that open the base dialog (OK and Cancel, or OK only), a popup (also one opened on the
// button press, with the hold rule) and a progress window over work that runs on the UI thread.
// File buttons: the open dialog of kind 0 with its preview pane (starting in the folder given as
// the first argument), a paste that shows the clipboard's picture, and a copy of a test picture.
// Everything that happens is printed on stdout, one line each, so a script can follow it.
#include <QAction>
#include <QImage>
#include <QPixmap>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
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
#include "ui/GraphicControl.h"
#include "ui/MemoryGraphicQt.h"
#include "ui/PopupBase.h"
#include "ui/UiHosts.h"

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
  Say("ready");
  const int code = QApplication::exec();
  tf::UninstallUiHosts();
  return code;
}
