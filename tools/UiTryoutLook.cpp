// The tryout's window of the tool palettes' owner-drawn controls over a sample picture and the
// built-in presets: navigator and loupe, item pickers and drop-downs, the pressure curve, the nib
// aspect editor, preset previews and the gradient bar. Every change is printed on stdout.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "paint/GradientSet.h"
#include "paint/NibPreset.h"
#include "paint/PaintParam.h"
#include "paint/ToneSet.h"
#include "raster/ScaleImage.h"
#include "ui/GradientEdit.h"
#include "ui/ItemPicker.h"
#include "ui/LoupeControl.h"
#include "ui/PresetPreview.h"
#include "ui/PressureGamma.h"

namespace {

void Tell(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Num(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(v));
  return text;
}

// A 640 x 480 sample: colour ramps, rings, a transparent hole.
std::unique_ptr<tf::TMTC> SamplePicture() {
  auto image = std::make_unique<tf::TMTC>(640, 480);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) {
      const double d = std::hypot(x - 320.0, y - 240.0);
      uint32_t r = static_cast<uint32_t>(x * 255 / 639), g = static_cast<uint32_t>(y * 255 / 479);
      uint32_t b = (static_cast<int32_t>(d) / 20) % 2 == 0 ? 200u : 60u;
      uint32_t a = 255;
      if (x > 480 && x < 600 && y > 40 && y < 160) a = static_cast<uint32_t>((x - 480) * 2);
      if (((x / 40) + (y / 40)) % 7 == 0) r = g = b = 255;
      *image->Pixel(x, y) = a << 24 | r << 16 | g << 8 | b;
    }
  }
  return image;
}

class LookWindow : public QWidget {
 public:
  LookWindow() {
    setWindowTitle(QStringLiteral("Palette controls (tryout)"));
    picture_ = SamplePicture();
    gradients_.LoadBuiltins();
    tones_.LoadBuiltins();
    nibs_.UseBuiltins();

    // Navigator and loupe.
    nav_ = new tf::TPreviewControl(this);
    nav_->setGeometry(10, 10, 180, 140);
    nav_->SetDocumentWindow(this);
    nav_->SetDocumentSize(640, 480);
    nav_->SetViewSize(200, 150);
    nav_->SetViewCenter(320, 240);
    nav_->OnRenderThumbnail = [this](tf::TPreviewControl*, tf::TMTC& image, int32_t w, int32_t h) {
      if (w < 1 || h < 1) return;
      image.Resize(w, h);
      tf::CScaleImageTMTC scaler(picture_.get(), &image);
      scaler.Scale(tf::SRectWH{0, 0, 640, 480}, tf::SRectWH{0, 0, w, h});
    };
    nav_->OnViewCenterChanged = [this](tf::TPreviewControl*, int32_t x, int32_t y) {
      Tell("navigator centre " + std::to_string(x) + "," + std::to_string(y));
      DrawLoupe();
    };
    nav_->OnRotationChanged = [this](tf::TPreviewControl*, float r) {
      Tell("navigator rotation " + Num(r));
      DrawLoupe();
    };
    nav_->UpdatePreview(3);
    loupe_ = new tf::TLoupeControl(this);
    loupe_->setGeometry(200, 10, 140, 140);
    loupe_->SetMagnification(0.25f);
    loupe_->SetBackground(tf::lbTransparent);
    DrawLoupe();

    // Pickers.
    int32_t x = 360;
    auto* blend = new tf::TBlendModeDropDwon(this);
    blend->setGeometry(x, 10, 120, 20);
    blend->OnChange = [](tf::TItemPicker* p) {
      Tell("blend mode " + std::to_string(static_cast<tf::TBlendModeDropDwon*>(p)->BlendMode()));
    };
    auto* sub = new tf::TSubPaintDropDown(this);
    sub->setGeometry(x, 36, 40, 28);
    sub->OnChange = [](tf::TItemPicker* p) {
      Tell("sub-paint " + std::to_string(static_cast<tf::TSubPaintDropDown*>(p)->SubPaint()));
    };
    auto* air = new tf::TAirMapDropDown(this);
    air->setGeometry(x + 50, 36, 44, 28);
    air->SetMapKind(2);
    air->OnChange = [](tf::TItemPicker* p) {
      auto* a = static_cast<tf::TAirMapDropDown*>(p);
      Tell("air map kind " + std::to_string(a->MapKind()) + " x " + Num(a->GetMapX()) + " y " + Num(a->GetMapY()));
    };
    auto* toggle = new tf::TAirMapDropDown(this);
    toggle->setGeometry(x + 100, 36, 28, 28);
    toggle->SetDropDownMode(0);
    toggle->OnChange = [](tf::TItemPicker* p) {
      Tell("air map toggle kind " + std::to_string(static_cast<tf::TAirMapDropDown*>(p)->MapKind()));
    };
    const tf::TtFGlyphType glyphs[3] = {tf::tgPencil4, tf::tgEraser4, tf::tgAirBrush4};
    for (int32_t i = 0; i < 3; ++i) {
      auto* button = new tf::TtFGlyphButton(this);
      button->setGeometry(x + 30 * i, 70, 28, 28);
      button->SetGlyphType(glyphs[i]);
      button->SetGroupIndex(5);
      button->OnDown = [i](tf::TItemPicker* b) {
        Tell("glyph button " + std::to_string(i) + (b->GetDown() ? " down" : " up"));
      };
    }
    auto* menuButton = new tf::TtFGlyphButton(this);
    menuButton->setGeometry(x + 95, 70, 38, 28);
    menuButton->SetGlyphType(tf::tgFlat);
    menuButton->SetStyle(tf::kPickerDropDownArrow);
    menu_.addAction(QStringLiteral("Reset"), [] { Tell("glyph menu: Reset"); });
    menuButton->SetPopupMenu(&menu_);

    // Pressure curve and nib aspect editor.
    auto* curve = new tf::TPressureGamma(this);
    curve->setGeometry(360, 110, 80, 64);
    curve->OnChange = [](tf::TPressureGamma* c) { Tell("gamma " + Num(c->Gamma())); };
    auto* aspect = new tf::TAspectRotation(this);
    aspect->setGeometry(450, 110, 96, 104);
    aspect->SetNibListVisible(true);
    aspect->OnDrawPreview = [](tf::TAspectRotation* a, tf::TMemoryGraphic& preview) {
      const tf::SAspectParams& p = a->Logic().Params();
      tf::SNibPreview nib;
      tf::InitNibPreview(nib);
      nib.size = 1.0f;
      nib.ratio = (100.0f - p.flattening) / 100.0f;
      nib.minRatio = p.minRadius / 100.0f;
      nib.angle = p.rotation;
      tf::DrawNibPreview(preview, nib, 0xFF000000u, a->Logic().DisplayRadius(), false, 0xFF808080u);
    };
    aspect->OnChange = [](tf::TAspectRotation* a) {
      const tf::SAspectParams& p = a->Logic().Params();
      Tell("nib max " + Num(p.maxRadius) + " min " + Num(p.minRadius) + " flattening " + Num(p.flattening) +
           " rotation " + Num(p.rotation));
    };
    aspect->OnNibList = [](tf::TAspectRotation*, int32_t sx, int32_t sy) {
      Tell("nib list at " + std::to_string(sx) + "," + std::to_string(sy));
    };
    aspect->Logic().ClearPreview();
    aspect->Logic().Render();

    // Preset previews of the built-in presets.
    int32_t px = 10;
    for (int32_t i = 0; i < gradients_.Count() && i < 4; ++i) {
      auto* g = new tf::TGradientPreview(this);
      g->setGeometry(px, 240, 60, 24);
      g->SetGradient(gradients_.GetItem(i), gradients_.GetItem(i)->Options());
      px += 64;
    }
    for (int32_t i = 0; i < tones_.Count() && i < 3; ++i) {
      auto* t = new tf::TTonePreview(this);
      t->setGeometry(px, 240, 36, 36);
      t->SetPattern(tones_.GetItem(i));
      px += 40;
    }
    for (int32_t i = 0; i < nibs_.Count() && i < 3; ++i) {
      auto* n = new tf::TPenNibPreview(this);
      n->setGeometry(px, 240, 36, 36);
      tf::SNibPreview nib;
      tf::NibPreviewFromShape(*nibs_.GetItem(i), nib);
      n->SetNib(nib);
      tf::FreeNibPreview(nib);
      px += 40;
    }
    auto* swatch = new tf::TSwatchPreview(this);
    swatch->setGeometry(px, 240, 36, 36);
    swatch->SetColor(0x00D04020u);

    // Gradient bar.
    edit_ = new tf::TGradientEdit(this);
    edit_->setGeometry(10, 290, 400, 24);
    if (gradients_.Count() > 2) edit_->SetColorSlotGroup(gradients_.GetItem(2)->Stops());
    edit_->OnChange = [this](tf::TGradientEdit* e) {
      std::string line = "gradient " + std::to_string(e->Count()) + " stops, selected " +
                         std::to_string(e->SelectIndex()) + ":";
      for (int32_t i = 0; i < e->Count(); ++i) {
        const tf::TGradientEditPos& s = e->Stops().GetStop(i);
        line += " " + Num(s.position) + (s.joined ? "j" : "");
      }
      Tell(line);
      update();
    };
    int32_t bx = 10;
    auto addButton = [&](const char* caption, std::function<void()> act) {
      auto* b = new QPushButton(QString::fromUtf8(caption), this);
      b->setGeometry(bx, 320, 90, 26);
      QObject::connect(b, &QPushButton::clicked, act);
      bx += 96;
    };
    addButton("Join right", [this] { edit_->Stops().UnionRight(edit_->SelectIndex()); });
    addButton("Unjoin", [this] { edit_->Stops().Unjoin(edit_->SelectIndex()); });
    addButton("Reverse", [this] { edit_->Stops().Reverse(); });
    addButton("Subdivide 3", [this] { edit_->Stops().Subdivide(edit_->SelectIndex(), 3); });
    resize(600, 360);
  }

 private:
  void DrawLoupe() {
    tf::CNavigator& n = nav_->Logic();
    loupe_->DrawLoupe(*picture_, static_cast<float>(n.ViewCenterX()), static_cast<float>(n.ViewCenterY()),
                      n.Rotation());
  }

  std::unique_ptr<tf::TMTC> picture_;
  tf::CGradMngr gradients_;
  tf::CToneMngr tones_;
  tf::CPenShapeMngr nibs_;
  tf::TPreviewControl* nav_ = nullptr;
  tf::TLoupeControl* loupe_ = nullptr;
  tf::TGradientEdit* edit_ = nullptr;
  QMenu menu_;
};

}  // namespace

// Opens the window (it lives until the program ends).
void ShowLookControls() {
  auto* window = new LookWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->move(40, 600);
  window->show();
}
