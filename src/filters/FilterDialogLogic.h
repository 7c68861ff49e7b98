// CFilterDialogLogic: what every filter parameter dialog does between its controls, its block and
// the canvas preview, without widgets; RunFilterDialogLogic: the run of one dialog over a core.
#pragma once
// A dialog keeps two blocks: the current one (what the controls say) and the applied one (what
// the previews show). Control changes arrive at ValueChange: the dialog's ControlChanged answers
// 0 (not its control), 1 (update the previews now) or 2 (update them once the values rest for
// 700 ms: the timer's ticks come to TimerTick and the early ones do nothing). While Busy (the
// controls being loaded, a change being handled) changes are ignored; the Preview check box's
// handler notes its state even then, since loading the controls sets it.
//
// The Qt dialogs (filters/qt/FormFilter.h) derive from this class and from their form: they
// supply the check box, the timer and the modal loop, and route their slots through Guard, which
// keeps an exception for the run function (Qt lets none pass its event loop) and cancels.
#include <cstdint>
#include <exception>
#include <functional>

#include "filters/PreviewGeometry.h"

namespace tf {

class CFlt4Core;
class TMTC;

class CFilterDialogLogic {
 public:
  virtual ~CFilterDialogLogic() = default;

  // The dialog's blocks.
  virtual const void* GetParams() const = 0;
  virtual const void* GetAppliedParams() const = 0;
  virtual int32_t GetParamSize() const = 0;
  virtual void SetAppliedParams(const void* block) = 0;
  // The current block from the controls; the controls (and the check box) from the remembered
  // values; the pairing of a changed control with its partner (0, 1 or 2, see above).
  virtual void ReadControls() = 0;
  virtual void LoadControls() = 0;
  virtual int32_t ControlChanged(const void* sender) = 0;
  // The check box differs from what its handler saw, or the blocks differ.
  virtual bool NeedsUpdate() const;

  // Binds to a valid core and loads the controls (under Busy); no preview yet.
  virtual bool Attach(CFlt4Core* core);
  // When forced or needed: the current block becomes the applied one; with the check box on, the
  // canvas preview follows.
  virtual void UpdatePreview(bool force);

  // What the form supplies.
  virtual bool IsPreviewOn() const = 0;
  virtual void SetPreviewOn(bool on) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  // Ends the modal loop as Cancel (an exception was kept).
  virtual void CancelDialog() = 0;

  // Handlers.
  void FormShow() { UpdatePreview(true); }
  void ValueChange(const void* sender);
  void TimerTick();
  void CheckBoxPreviewClick();

  bool HasCore() const { return core_ != nullptr; }
  CFlt4Core* Core() const { return core_; }
  bool ApplyPreviewNow();
  bool RemovePreview();
  bool Busy() const { return busy_; }
  bool PreviewSeen() const { return previewSeen_; }
  uint32_t LastChange() const { return delay_.LastChange(); }

  // Runs a handler; an exception is kept (the first one) and the dialog cancelled.
  void Guard(const std::function<void()>& handler);
  std::exception_ptr PendingException() const { return pending_; }

 protected:
  // A dialog that opens with the box cleared but keeps the remembered state as seen.
  void SetPreviewSeen(bool seen) { previewSeen_ = seen; }
  // Sets Busy for a scope.
  class BusyScope {
   public:
    explicit BusyScope(CFilterDialogLogic& d) : d_(d), was_(d.busy_) { d_.busy_ = true; }
    ~BusyScope() { d_.busy_ = was_; }
   private:
    CFilterDialogLogic& d_;
    bool was_;
  };

 private:
  CFlt4Core* core_ = nullptr;
  bool busy_ = false;
  bool previewSeen_ = false;
  FilterPreviewDelay delay_;
  std::exception_ptr pending_;
};

// The in-dialog preview of one window w (store pixels) of the core's layer: w of the layer store
// := the backup (any canvas preview there goes), the filter run clipped to w, w of the store into
// image at (0, 0), then w of the store := the backup again, on every way out (a run that fails
// or raises after writing leaves nothing behind). False (image untouched) when the run fails.
bool RenderFilteredWindow(CFlt4Core& core, const void* block, int32_t size, const TRect& w, TMTC& image);
// The unfiltered window: w of the backup (the layer as it was) into image at (0, 0).
bool RenderPlainWindow(const CFlt4Core& core, const TRect& w, TMTC& image);

// The run of a dialog: Attach (false: nothing shown, false), showModal (1 OK, else cancelled),
// the canvas preview removed (repainted only when cancelled), on OK the current block copied to
// blockOut (GetParamSize bytes). An exception kept by the dialog's handlers is raised here, after
// the preview came off, so the command's guard reports it. True on OK.
bool RunFilterDialogLogic(CFilterDialogLogic& dialog, CFlt4Core& core, const std::function<int32_t()>& showModal,
                          void* blockOut);

}  // namespace tf
