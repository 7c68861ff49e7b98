// TPreviewFrame: a zoomable, pannable view of one layer inside a filter dialog; TPreviewFilter:
// the same with the dialog's filter applied to what it shows.
#pragma once
// The arithmetic is CPreviewGeometry's (filters/PreviewGeometry.h); the frame composes its
// picture into a buffer (face colour, a one-pixel frame, the 8 x 8 checkerboard under the view)
// and its paint box only shows that buffer. Below the box: "倍率", the magnification bar (not
// linear: 100 % in the middle) and its number.
#include <QWidget>
#include <memory>

#include "filters/PreviewGeometry.h"
#include "raster/FlatImage.h"
#include "raster/NumMngr.h"
#include "ui/GraphicControl.h"

class QLabel;
class QTimer;

namespace tf {

class CFlt4Core;
class CLayerData;
class TFlowImage;
class TGraphicTrackbar;
class TNumLabel;

class TPreviewFrame : public QWidget {
  Q_OBJECT
 public:
  explicit TPreviewFrame(QWidget* parent = nullptr);
  ~TPreviewFrame() override;

  // Binds to the layer of a document window's flow image and centres on its selection; false
  // (the background stays) without a flow image or layer, or with an empty selection.
  virtual bool SetSource(TFlowImage* flow, int32_t layerIndex);
  virtual void Redraw();
  // Lays out the box above the 22-pixel strip of the magnification controls.
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);

  CPreviewGeometry& Geometry() { return geometry_; }
  TNumMngr& Num1() { return num1_; }
  TGraphicTrackbar* Track1() const { return track1_; }
  GraphicControl* PaintBox1() const { return paintBox_; }
  const TMTC& Buffer() const { return buffer_; }
  const TMTC& WindowImage() const { return windowImage_; }
  bool Panning() const { return panning_; }
  bool TrackHeld() const;

 protected:
  // Fills the window image with the unfiltered layer (the frame) or the filtered one.
  virtual bool FillWindowImage(bool fast);
  // Steps 4 to 6 of a redraw: scale, compose, show.
  void Compose(bool fast);
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void ValueChange(const void* sender);
  bool SmoothAllowed() const;

  TFlowImage* flow_ = nullptr;
  CLayerData* layer_ = nullptr;
  CPreviewGeometry geometry_;
  TMTC buffer_;
  TMTC viewImage_;
  TMTC windowImage_;

 private:
  GraphicControl* paintBox_;
  QTimer* timer1_;
  TNumMngr num1_;
  TGraphicTrackbar* track1_;
  QLabel* static1_;
  TNumLabel* label1_;
  QLabel* static1Unit_;
  bool panning_ = false;
  bool inValueChange_ = false;
  bool haveImage_ = false;
};

class TPreviewFilter : public TPreviewFrame {
  Q_OBJECT
 public:
  explicit TPreviewFilter(QWidget* parent = nullptr);
  bool Bind(CFlt4Core* core, const void* block, int32_t size);
  void Redraw() override;

 protected:
  bool FillWindowImage(bool fast) override;

 private:
  CFlt4Core* core_ = nullptr;
  const void* block_ = nullptr;
  int32_t size_ = 0;
};

}  // namespace tf
