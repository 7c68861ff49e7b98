#include "files/Scanner.h"

#include <dlfcn.h>
#include <sane/sane.h>

#include <atomic>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/Debug.h"
#include "platform/ResourceText.h"
#include "platform/Warning.h"
#include "raster/DibImage.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Frames into pictures

bool CScanAssembler::Refuse(const std::string& why) {
  if (!refused_) {
    refused_ = true;
    refusal_ = why;
    DebugOutF("scanner: %s\n", why.c_str());
  }
  data_.clear();
  pixels_.clear();
  return false;
}

bool CScanAssembler::BeginFrame(const SScanFrame& frame) {
  if (refused_) return false;
  frame_ = frame;
  data_.clear();
  const bool known = frame.format <= ScanFrameFormat::kBlue;
  if (!known) return Refuse("frame format unknown");
  if (frame.depth != 1 && frame.depth != 8 && frame.depth != 16) return Refuse("sample depth unknown");
  if (frame.depth == 1 && frame.format == ScanFrameFormat::kRgb) return Refuse("one-bit colour frames are not read");
  if (frame.pixelsPerLine <= 0 || frame.lines == 0 || frame.lines < -1) return Refuse("empty frame");
  if (frame.pixelsPerLine > kScanMaxSide || frame.lines > kScanMaxSide)
  {
    tooLarge_ = true;
    return Refuse("frame larger than a canvas");
  }
  const int64_t samples = frame.format == ScanFrameFormat::kRgb ? 3 : 1;
  const int64_t needed = (int64_t{frame.pixelsPerLine} * samples * frame.depth + 7) / 8;
  if (frame.bytesPerLine < needed) return Refuse("line shorter than its pixels");
  const bool single = frame.format == ScanFrameFormat::kGray || frame.format == ScanFrameFormat::kRgb;
  if (single && channels_ != 0) return Refuse("a whole frame after a colour band");
  if (!single && width_ != 0 && frame.pixelsPerLine != width_) return Refuse("colour bands of other widths");
  if (frame.lines > 0) data_.reserve(static_cast<size_t>(frame.bytesPerLine) * static_cast<size_t>(frame.lines));
  return true;
}

bool CScanAssembler::Append(const uint8_t* data, size_t size) {
  if (refused_) return false;
  const int64_t maxLines = frame_.lines > 0 ? frame_.lines : kScanMaxSide;
  const int64_t limit = int64_t{frame_.bytesPerLine} * maxLines;
  if (static_cast<int64_t>(data_.size() + size) > limit) {
    if (frame_.lines > 0) {
      // A device that sends more than it announced: the rest is not part of the picture.
      size = static_cast<size_t>(limit - static_cast<int64_t>(data_.size()));
    } else {
      tooLarge_ = true;
      frame_.lines = static_cast<int32_t>((data_.size() + size) / static_cast<size_t>(frame_.bytesPerLine));
      return Refuse("frame larger than a canvas");
    }
  }
  data_.insert(data_.end(), data, data + size);
  return true;
}

namespace {

uint8_t Sample(const uint8_t* line, int32_t depth, int64_t index) {
  switch (depth) {
    case 1: return (line[index >> 3] >> (7 - (index & 7))) & 1 ? 0 : 255;  // 1 is black
    case 8: return line[index];
    default: {
      uint16_t v;
      std::memcpy(&v, line + index * 2, 2);  // host order
      return static_cast<uint8_t>(v >> 8);
    }
  }
}

}  // namespace

bool CScanAssembler::EndFrame() {
  if (refused_) return false;
  const int64_t lines = frame_.lines > 0 ? frame_.lines : static_cast<int64_t>(data_.size()) / frame_.bytesPerLine;
  if (lines <= 0 || static_cast<int64_t>(data_.size()) < lines * frame_.bytesPerLine)
    return Refuse("frame shorter than its lines");
  if (lines > kScanMaxSide) {
    tooLarge_ = true;
    return Refuse("frame larger than a canvas");
  }
  const bool single = frame_.format == ScanFrameFormat::kGray || frame_.format == ScanFrameFormat::kRgb;
  if (single || channels_ == 0) {
    width_ = frame_.pixelsPerLine;
    height_ = static_cast<int32_t>(lines);
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0xFF000000u);
  } else if (lines != height_) {
    return Refuse("colour bands of other heights");
  }
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* line = data_.data() + static_cast<size_t>(y) * static_cast<size_t>(frame_.bytesPerLine);
    uint32_t* out = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
    for (int32_t x = 0; x < width_; ++x) {
      switch (frame_.format) {
        case ScanFrameFormat::kGray: {
          const uint32_t g = Sample(line, frame_.depth, x);
          out[x] = 0xFF000000u | g << 16 | g << 8 | g;
          break;
        }
        case ScanFrameFormat::kRgb: {
          const uint32_t r = Sample(line, frame_.depth, int64_t{x} * 3);
          const uint32_t g = Sample(line, frame_.depth, int64_t{x} * 3 + 1);
          const uint32_t b = Sample(line, frame_.depth, int64_t{x} * 3 + 2);
          out[x] = 0xFF000000u | r << 16 | g << 8 | b;
          break;
        }
        case ScanFrameFormat::kRed: out[x] = (out[x] & 0xFF00FFFFu) | uint32_t{Sample(line, frame_.depth, x)} << 16; break;
        case ScanFrameFormat::kGreen: out[x] = (out[x] & 0xFFFF00FFu) | uint32_t{Sample(line, frame_.depth, x)} << 8; break;
        case ScanFrameFormat::kBlue: out[x] = (out[x] & 0xFFFFFF00u) | Sample(line, frame_.depth, x); break;
      }
    }
  }
  if (frame_.format == ScanFrameFormat::kRed) channels_ |= 1;
  if (frame_.format == ScanFrameFormat::kGreen) channels_ |= 2;
  if (frame_.format == ScanFrameFormat::kBlue) channels_ |= 4;
  data_.clear();
  data_.shrink_to_fit();
  return true;
}

std::unique_ptr<TTC> CScanAssembler::TakePicture() {
  if (refused_ || pixels_.empty()) return nullptr;
  if (channels_ != 0 && channels_ != 7) {
    Refuse("colour bands missing");
    return nullptr;
  }
  auto picture = std::make_unique<TTC>(width_, height_, true);
  if (!picture->IsValid()) return nullptr;
  for (int32_t y = 0; y < height_; ++y)
    std::memcpy(picture->Pixel(0, y), pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_),
                static_cast<size_t>(width_) * 4);
  pixels_.clear();
  return picture;
}

// ---------------------------------------------------------------------------------------------
// The library

namespace {

std::string& LibraryName() {
  static std::string name = "libsane.so.1";
  return name;
}

void ScanError(TextId text) { ShowWarningBox(Tx(text), 0, Tx(TextId::ScanErrorCaption)); }

}  // namespace

struct CScanSession::Library {
  void* handle = nullptr;
  SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
  void (*exit)() = nullptr;
  SANE_Status (*getDevices)(const SANE_Device***, SANE_Bool) = nullptr;
  SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
  void (*close)(SANE_Handle) = nullptr;
  const SANE_Option_Descriptor* (*optionDescriptor)(SANE_Handle, SANE_Int) = nullptr;
  SANE_Status (*controlOption)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
  SANE_Status (*getParameters)(SANE_Handle, SANE_Parameters*) = nullptr;
  SANE_Status (*start)(SANE_Handle) = nullptr;
  SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
  void (*cancel)(SANE_Handle) = nullptr;
  std::atomic<bool> cancelled{false};

  template <typename F>
  bool Find(F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(handle, name));
    return slot != nullptr;
  }
};

std::string CScanSession::SetLibraryName(const std::string& name) {
  std::string old = LibraryName();
  LibraryName() = name;
  return old;
}

CScanSession::CScanSession() = default;

CScanSession::~CScanSession() {
  CloseSource();
  CloseManager();
  Unload();
}

CScanSession& ScanSession() {
  static CScanSession session;
  return session;
}

bool CScanSession::Load() {
  if (state_ >= 2) return true;
  auto lib = std::make_unique<Library>();
  lib->handle = dlopen(LibraryName().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib->handle == nullptr) return false;
  const bool all = lib->Find(lib->init, "sane_init") && lib->Find(lib->exit, "sane_exit") &&
                   lib->Find(lib->getDevices, "sane_get_devices") && lib->Find(lib->open, "sane_open") &&
                   lib->Find(lib->close, "sane_close") &&
                   lib->Find(lib->optionDescriptor, "sane_get_option_descriptor") &&
                   lib->Find(lib->controlOption, "sane_control_option") &&
                   lib->Find(lib->getParameters, "sane_get_parameters") && lib->Find(lib->start, "sane_start") &&
                   lib->Find(lib->read, "sane_read") && lib->Find(lib->cancel, "sane_cancel");
  if (!all) {
    dlclose(lib->handle);
    return false;
  }
  lib_ = std::move(lib);
  state_ = 2;
  return true;
}

void CScanSession::Unload() {
  if (state_ != 2 || !lib_) return;
  dlclose(lib_->handle);
  lib_.reset();
  state_ = 1;
}

bool CScanSession::OpenManager() {
  if (state_ != 2) {
    if (state_ < 2) ShowWarningBox(Tx(TextId::ScanAssertion), 0, Tx(TextId::ScanAssertCaption));
    return state_ >= 3;
  }
  SANE_Int version = 0;
  if (lib_->init(&version, nullptr) != SANE_STATUS_GOOD) return false;
  state_ = 3;
  return true;
}

void CScanSession::CloseManager() {
  if (state_ != 3) return;
  lib_->exit();
  state_ = 2;
}

bool CScanSession::OpenSource() {
  if (state_ != 3) {
    ShowWarningBox(Tx(TextId::ScanAssertion), 0, Tx(TextId::ScanAssertCaption));
    return false;
  }
  SANE_Handle h = nullptr;
  if (chosenDevice_.empty() || lib_->open(chosenDevice_.c_str(), &h) != SANE_STATUS_GOOD) return false;
  device_ = h;
  state_ = 4;
  return true;
}

void CScanSession::CloseSource() {
  if (state_ > 4) {
    lib_->cancel(device_);
    state_ = 4;
  }
  if (state_ != 4) return;
  lib_->close(device_);
  device_ = nullptr;
  state_ = 3;
}

bool CScanSession::SelectImageSource(ScannerUiHost& host) {
  if (!Load()) {
    ScanError(TextId::ScanCannotLoad);
    return false;
  }
  if (!OpenManager()) {
    ScanError(TextId::ScanCannotOpen);
    Unload();
    return false;
  }
  std::vector<SScannerDevice> devices;
  const SANE_Device** list = nullptr;
  if (lib_->getDevices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list != nullptr) {
    for (int32_t i = 0; list[i] != nullptr && i < 1000; ++i) {
      const SANE_Device* d = list[i];
      devices.push_back({d->name ? d->name : "", d->vendor ? d->vendor : "", d->model ? d->model : "",
                         d->type ? d->type : ""});
    }
  }
  int32_t current = 0;
  for (size_t i = 0; i < devices.size(); ++i)
    if (devices[i].name == chosenDevice_) current = static_cast<int32_t>(i);
  const int32_t chosen = host.ChooseDevice(devices, current);
  const bool ok = chosen >= 0 && chosen < static_cast<int32_t>(devices.size());
  if (ok) chosenDevice_ = devices[static_cast<size_t>(chosen)].name;
  CloseManager();
  Unload();
  return ok;
}

int32_t CScanSession::OptionIndex(const std::string& name) {
  if (state_ < 4) return -1;
  for (SANE_Int i = 1; i < 10000; ++i) {
    const SANE_Option_Descriptor* d = lib_->optionDescriptor(device_, i);
    if (d == nullptr) break;
    if (d->name != nullptr && name == d->name) return i;
  }
  return -1;
}

std::vector<SScanOption> CScanSession::Options() {
  std::vector<SScanOption> options;
  if (state_ < 4) return options;
  for (SANE_Int i = 1; i < 10000; ++i) {
    const SANE_Option_Descriptor* d = lib_->optionDescriptor(device_, i);
    if (d == nullptr) break;
    SScanOption o;
    o.index = i;
    o.name = d->name ? d->name : "";
    o.title = d->title ? d->title : "";
    o.type = d->type;
    o.unit = d->unit;
    o.active = (d->cap & SANE_CAP_INACTIVE) == 0;
    o.settable = (d->cap & SANE_CAP_SOFT_SELECT) != 0;
    if (o.active && (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) &&
        d->size >= static_cast<SANE_Int>(sizeof(SANE_Word))) {
      std::vector<SANE_Word> words(static_cast<size_t>(d->size) / sizeof(SANE_Word) + 1);
      if (lib_->controlOption(device_, i, SANE_ACTION_GET_VALUE, words.data(), nullptr) == SANE_STATUS_GOOD)
        o.number = d->type == SANE_TYPE_FIXED ? SANE_UNFIX(words[0]) : words[0];
    } else if (o.active && d->type == SANE_TYPE_STRING && d->size > 0) {
      std::vector<char> text(static_cast<size_t>(d->size) + 1, '\0');
      if (lib_->controlOption(device_, i, SANE_ACTION_GET_VALUE, text.data(), nullptr) == SANE_STATUS_GOOD)
        o.text = text.data();
    }
    auto number = [d](SANE_Word w) { return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w); };
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range != nullptr) {
      o.minimum = number(d->constraint.range->min);
      o.maximum = number(d->constraint.range->max);
      o.step = number(d->constraint.range->quant);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list != nullptr) {
      const SANE_Int n = d->constraint.word_list[0];
      for (SANE_Int k = 1; k <= n && k < 10000; ++k) o.numbers.push_back(number(d->constraint.word_list[k]));
    } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list != nullptr) {
      for (int32_t k = 0; d->constraint.string_list[k] != nullptr && k < 10000; ++k)
        o.texts.emplace_back(d->constraint.string_list[k]);
    }
    options.push_back(std::move(o));
  }
  return options;
}

bool CScanSession::SetNumber(const std::string& name, double value) {
  const int32_t i = OptionIndex(name);
  if (i < 0 || !std::isfinite(value)) return false;
  const SANE_Option_Descriptor* d = lib_->optionDescriptor(device_, i);
  SANE_Word w;
  if (d->type == SANE_TYPE_FIXED) w = SANE_FIX(value);
  else if (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_BOOL) w = static_cast<SANE_Word>(std::lround(value));
  else return false;
  // A word list option with several words (gamma tables and the like) is not set here.
  if (d->size != static_cast<SANE_Int>(sizeof(SANE_Word))) return false;
  return lib_->controlOption(device_, i, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
}

bool CScanSession::SetText(const std::string& name, const std::string& value) {
  const int32_t i = OptionIndex(name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* d = lib_->optionDescriptor(device_, i);
  if (d->type != SANE_TYPE_STRING || d->size <= 0) return false;
  std::vector<char> text(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)), '\0');
  std::strncpy(text.data(), value.c_str(), text.size() - 1);
  return lib_->controlOption(device_, i, SANE_ACTION_SET_VALUE, text.data(), nullptr) == SANE_STATUS_GOOD;
}

void CScanSession::CancelTransfer() {
  if (lib_ && device_ != nullptr && state_ >= 6) {
    lib_->cancelled = true;
    lib_->cancel(device_);
  }
}

bool CScanSession::NoteRefusal(const CScanAssembler& assembler) {
  refusal_ = assembler.Refusal();
  if (assembler.RefusedAsTooLarge()) {
    tooLargeWidth_ = assembler.RefusedWidth();
    tooLargeHeight_ = assembler.RefusedHeight();
  }
  return false;
}

bool CScanSession::ReadPage(CScanAssembler& assembler) {
  std::vector<SANE_Byte> buffer(64 * 1024);
  for (int32_t frame = 0; frame < 3; ++frame) {
    if (frame > 0 && lib_->start(device_) != SANE_STATUS_GOOD) return false;
    SANE_Parameters p{};
    if (lib_->getParameters(device_, &p) != SANE_STATUS_GOOD) return false;
    SScanFrame f;
    f.format = static_cast<ScanFrameFormat>(p.format);
    f.depth = p.depth;
    f.pixelsPerLine = p.pixels_per_line;
    f.bytesPerLine = p.bytes_per_line;
    f.lines = p.lines;
    if (!assembler.BeginFrame(f)) return NoteRefusal(assembler);
    for (;;) {
      SANE_Int got = 0;
      const SANE_Status status = lib_->read(device_, buffer.data(), static_cast<SANE_Int>(buffer.size()), &got);
      if (status == SANE_STATUS_EOF) break;
      if (status != SANE_STATUS_GOOD) return false;  // cancelled or a device error
      if (got < 0 || got > static_cast<SANE_Int>(buffer.size())) return false;
      if (!assembler.Append(buffer.data(), static_cast<size_t>(got))) return NoteRefusal(assembler);
    }
    if (!assembler.EndFrame()) return NoteRefusal(assembler);
    if (p.last_frame) return true;
  }
  return false;  // more than three frames make no page
}

void CScanSession::TransferPages() {
  // State 6: a page is ready. One page after another until the device has no more.
  for (int32_t page = 0; state_ == 6; ++page) {
    if (page >= kScanMaxPages || lib_->cancelled) {
      lib_->cancel(device_);
      state_ = 5;
      break;
    }
    const SANE_Status started = lib_->start(device_);
    if (started == SANE_STATUS_NO_DOCS && page > 0) {
      state_ = 5;
      break;
    }
    if (started != SANE_STATUS_GOOD) {
      // Cancelled, or a device that fails to start: no retry, the acquisition ends here.
      transferFailed_ = !lib_->cancelled && started != SANE_STATUS_CANCELLED;
      lib_->cancel(device_);
      state_ = 5;
      break;
    }
    state_ = 7;
    CScanAssembler assembler;
    const bool read = ReadPage(assembler);
    std::unique_ptr<TTC> picture = read ? assembler.TakePicture() : nullptr;
    if (!picture) {
      if (!lib_->cancelled && refusal_.empty()) transferFailed_ = true;
      lib_->cancel(device_);
      state_ = 5;
      break;
    }
    ++pageCount_;
    // Only the first page is kept; the others are counted.
    if (pages_.empty()) pages_.push_back(std::move(picture));
    // A feeder gives the next page on the next start; a flatbed has none.
    state_ = 6;
    bool feeder = false;
    if (const int32_t i = OptionIndex("source"); i >= 0) {
      const SANE_Option_Descriptor* d = lib_->optionDescriptor(device_, i);
      std::vector<char> text(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)) + 1, '\0');
      if (lib_->controlOption(device_, i, SANE_ACTION_GET_VALUE, text.data(), nullptr) == SANE_STATUS_GOOD) {
        const std::string source = text.data();
        feeder = source.find("ADF") != std::string::npos || source.find("Feeder") != std::string::npos ||
                 source.find("feeder") != std::string::npos;
      }
    }
    if (!feeder) {
      lib_->cancel(device_);
      state_ = 5;
    }
  }
}

std::vector<std::unique_ptr<TTC>> CScanSession::AcquireNative(ScannerUiHost& host) {
  pages_.clear();
  pageCount_ = 0;
  transferFailed_ = false;
  refusal_.clear();
  tooLargeWidth_ = tooLargeHeight_ = 0;
  std::vector<std::unique_ptr<TTC>> result;
  if (!Load()) {
    ScanError(TextId::ScanCannotLoad);
    return result;
  }
  if (!OpenManager()) {
    ScanError(TextId::ScanCannotOpen);
    Unload();
    return result;
  }
  if (OpenSource()) {
    lib_->cancelled = false;
    state_ = 5;
    // The options dialog; Scan makes the transfer ready, Cancel closes the source.
    if (host.RunScanDialog(*this)) {
      state_ = 6;
      std::atomic<bool> done{false};
      std::thread worker([this, &done] {
        TransferPages();
        done = true;
      });
      host.WaitForTransfer(*this, [&done] { return done.load(); });
      worker.join();
    }
  } else {
    ScanError(TextId::ScanLastError);
  }
  if (tooLargeWidth_ != 0) {
    ShowWarningBox(TxFormat(TextId::ScanTooLarge, tooLargeWidth_, tooLargeHeight_, kScanMaxSide, kScanMaxSide), 0,
                   Tx(TextId::ScanErrorCaption));
  } else if (!refusal_.empty()) {
    ScanError(TextId::ScanLastError);
  } else if (transferFailed_ && pages_.empty()) {
    ScanError(TextId::ScanLastError);
  }
  CloseSource();
  CloseManager();
  Unload();
  result = std::move(pages_);
  pages_.clear();
  return result;
}

std::unique_ptr<TTC> CScanSession::AcquireImage(ScannerUiHost& host) {
  if (!SelectImageSource(host)) return nullptr;
  std::fenv_t environment;
  std::fegetenv(&environment);
  std::vector<std::unique_ptr<TTC>> pages = AcquireNative(host);
  std::fesetenv(&environment);
  if (pages.empty()) return nullptr;
  return std::move(pages.front());
}

namespace {

NewDocumentFromScanFn& NewDocumentHook() {
  static NewDocumentFromScanFn fn;
  return fn;
}

}  // namespace

NewDocumentFromScanFn SetNewDocumentFromScan(NewDocumentFromScanFn fn) {
  NewDocumentFromScanFn old = std::move(NewDocumentHook());
  NewDocumentHook() = std::move(fn);
  return old;
}

bool NewFromScanner(ScannerUiHost& host) {
  std::unique_ptr<TTC> picture = ScanSession().AcquireImage(host);
  if (!picture) return false;
  if (!NewDocumentHook()) {
    DebugOut("NewFromScanner: documents cannot be made from a picture yet (the document window's commands)\n");
    return false;
  }
  return NewDocumentHook()(std::move(picture));
}

}  // namespace tf
