// Taking a picture from a scanner: the scanning session over SANE, and the frames it reads
// turned into one 32-bit picture.
#pragma once
// The session keeps the states of an acquisition (1 nothing loaded, 2 library loaded, 3 library
// initialised, 4 device open, 5 options shown, 6 transfer ready, 7 transferring). The scanner
// library is loaded at run time (libsane.so.1): without it the session says so and nothing else
// happens. The choice of a device and the scan options belong to the window system's half, reached
// through ScannerUiHost; tests script it and use the library's test device.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tf {

class TTC;

// The largest side a scanned picture may have (the canvas limit).
inline constexpr int32_t kScanMaxSide = 10000;
// The most pages one acquisition takes; a feeder holding more is cancelled after these.
inline constexpr int32_t kScanMaxPages = 999;

// ---- frames into pictures (no library needed)

enum class ScanFrameFormat : uint8_t { kGray = 0, kRgb = 1, kRed = 2, kGreen = 3, kBlue = 4 };

struct SScanFrame {
  ScanFrameFormat format = ScanFrameFormat::kGray;
  int32_t depth = 8;           // 1, 8 or 16 bits a sample
  int32_t pixelsPerLine = 0;
  int32_t bytesPerLine = 0;    // may hold padding past the pixels
  int32_t lines = 0;           // -1: unknown until the data ends (a hand scanner)
};

// Builds a picture from the frames of one page (one frame, or a red, a green and a blue frame):
// 1-bit grey with 1 as black, 8 and 16 bits (16 in host order, the high byte kept), padded lines,
// lines counted from the data when unknown. Alpha is 255. Refuses (null) frames whose sides exceed
// kScanMaxSide, that disagree in size, whose depth or format is not one of these, or whose data
// is shorter than their lines.
class CScanAssembler {
 public:
  // A frame begins; false when it is refused.
  bool BeginFrame(const SScanFrame& frame);
  // The frame's bytes as they come; false once the frame is refused (too many lines).
  bool Append(const uint8_t* data, size_t size);
  // The frame is whole; false when it is refused.
  bool EndFrame();
  // The picture after the last frame (null when a frame was refused or none came).
  std::unique_ptr<TTC> TakePicture();
  // Why the picture was refused ("" when it was not).
  const std::string& Refusal() const { return refusal_; }
  // Whether the refusal was a picture larger than a canvas, and its sides as far as known.
  bool RefusedAsTooLarge() const { return tooLarge_; }
  int32_t RefusedWidth() const { return frame_.pixelsPerLine; }
  int32_t RefusedHeight() const { return frame_.lines; }

 private:
  bool Refuse(const std::string& why);
  SScanFrame frame_{};
  std::vector<uint8_t> data_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  // Filled channels of the page (1 red, 2 green, 4 blue).
  uint8_t channels_ = 0;
  std::vector<uint32_t> pixels_;  // top-down, 0xAARRGGBB
  std::string refusal_;
  bool refused_ = false;
  bool tooLarge_ = false;
};

// ---- the library and the session

struct SScannerDevice {
  std::string name;    // the library's device name
  std::string vendor;
  std::string model;
  std::string type;
};

// One option of the open device, as the options dialog shows it.
struct SScanOption {
  int32_t index = 0;
  std::string name;
  std::string title;
  int32_t type = 0;        // 0 bool, 1 int, 2 fixed, 3 string, 4 button, 5 group
  int32_t unit = 0;        // 0 none, 1 pixel, 2 bit, 3 mm, 4 dpi, 5 percent, 6 microsecond
  bool active = true;
  bool settable = true;
  double number = 0;       // bool, int and fixed values
  std::string text;        // string values
  double minimum = 0, maximum = 0, step = 0;  // a range
  std::vector<double> numbers;                // a word list
  std::vector<std::string> texts;             // a string list
};

class CScanSession;

// The window system's half of an acquisition.
class ScannerUiHost {
 public:
  virtual ~ScannerUiHost() = default;
  // The device list; the index chosen, or -1 when the choice was cancelled.
  virtual int32_t ChooseDevice(const std::vector<SScannerDevice>& devices, int32_t current) = 0;
  // The device's options dialog: true when Scan was pressed, false for Cancel. The dialog reads and
  // sets the session's options.
  virtual bool RunScanDialog(CScanSession& session) = 0;
  // While pages are read on the worker: keep the window system alive until finished() answers true;
  // a cancel calls session.CancelTransfer().
  virtual void WaitForTransfer(CScanSession& session, const std::function<bool()>& finished) = 0;
};

class CScanSession {
 public:
  CScanSession();
  ~CScanSession();
  CScanSession(const CScanSession&) = delete;
  CScanSession& operator=(const CScanSession&) = delete;

  // The device list, with the session's default first chosen; false when the library cannot be
  // loaded or initialised (with its message), or the choice was cancelled (silently).
  bool SelectImageSource(ScannerUiHost& host);
  // One acquisition of the chosen device: options dialog, then every page the device gives (at
  // most kScanMaxPages). The pictures taken, first page first; empty when cancelled or failed.
  std::vector<std::unique_ptr<TTC>> AcquireNative(ScannerUiHost& host);
  // Selection, acquisition, the first page (floating-point environment kept); null for nothing.
  std::unique_ptr<TTC> AcquireImage(ScannerUiHost& host);

  int32_t State() const { return state_; }
  const std::string& ChosenDevice() const { return chosenDevice_; }
  // Pages taken by the last acquisition (the first is the picture used).
  int32_t PageCount() const { return pageCount_; }

  // ---- for the options dialog (state 4 or more)
  std::vector<SScanOption> Options();
  bool SetNumber(const std::string& name, double value);
  bool SetText(const std::string& name, const std::string& value);
  // Asks the worker's read to stop (from the window system's thread).
  void CancelTransfer();

  // Tests: the library file name (the default "libsane.so.1").
  static std::string SetLibraryName(const std::string& name);

 private:
  struct Library;
  bool Load();
  void Unload();
  bool OpenManager();
  void CloseManager();
  bool OpenSource();
  void CloseSource();
  // Reads pages until the device has no more; runs on the worker.
  void TransferPages();
  bool ReadPage(CScanAssembler& assembler);
  bool NoteRefusal(const CScanAssembler& assembler);
  int32_t OptionIndex(const std::string& name);

  std::unique_ptr<Library> lib_;
  void* device_ = nullptr;
  int32_t state_ = 1;
  std::string chosenDevice_;
  std::vector<std::unique_ptr<TTC>> pages_;
  int32_t pageCount_ = 0;
  bool transferFailed_ = false;
  std::string refusal_;
  int32_t tooLargeWidth_ = 0;
  int32_t tooLargeHeight_ = 0;
};

// The one session of the program (the chosen device is kept for the session, never remembered).
CScanSession& ScanSession();

// The menu command's other half: a new document window from the picture. Filled by the window that
// opens documents; until then false with a developer-output line.
using NewDocumentFromScanFn = std::function<bool(std::unique_ptr<TTC> picture)>;
NewDocumentFromScanFn SetNewDocumentFromScan(NewDocumentFromScanFn fn);
// File > new from scanner: the picture, then a new untitled document of it. A cancelled choice
// or scan, or a device that gives no picture, ends without a document and without a message.
bool NewFromScanner(ScannerUiHost& host);

}  // namespace tf
