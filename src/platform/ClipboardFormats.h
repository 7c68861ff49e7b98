// The clipboard by named formats: has, empty, set, set delayed, read.
#pragma once
// Thin, balanced wrappers over the system clipboard for the program's own formats and the
// picture exchange. A format is a name (a MIME type on Linux: "image/bmp",
// "application/x-tfLayerAttr"). The service installed at start-up is the Qt clipboard
// (platform/qt/QtClipboard.h); tests install MemoryClipboard. Until one is installed the default
// service has no clipboard: every call fails and says so on the developer output.
//
// Ownership is tracked by the service itself: it owns the clipboard from its own Set until
// another program (or another service) puts something there.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace tf {

// Makes a delayed format's bytes when someone asks for them (at most once).
using ClipboardRenderer = std::function<std::vector<uint8_t>()>;
// Reads a format's bytes; its result is passed through.
using ClipboardReader = std::function<bool(const uint8_t* bytes, size_t count)>;

class ClipboardService {
 public:
  virtual ~ClipboardService() = default;
  // True when the clipboard holds bytes for the format (a delayed format counts; a format
  // offered without data does not).
  virtual bool HasFormat(const std::string& format) = 0;
  // Empties the clipboard when force is set or when the service does not own it; true when
  // emptied. Emptying makes the service the owner.
  virtual bool Empty(bool force) = 0;
  // Adds the format to what the service put there (taking ownership first when another program
  // holds the clipboard). Empty bytes offer the format without data.
  virtual bool SetData(const std::string& format, std::vector<uint8_t> bytes) = 0;
  // Adds a format whose bytes are made on request (or by RenderAll).
  virtual bool SetDelayed(const std::string& format, ClipboardRenderer renderer) = 0;
  // Calls reader with the format's bytes; false when there are none.
  virtual bool Read(const std::string& format, const ClipboardReader& reader) = 0;
  virtual bool Owns() = 0;
  // Makes every delayed format's bytes now (the program is about to end).
  virtual void RenderAll() = 0;
};

// The clipboard of tests: formats in memory, one owner at a time.
class MemoryClipboard final : public ClipboardService {
 public:
  bool HasFormat(const std::string& format) override;
  bool Empty(bool force) override;
  bool SetData(const std::string& format, std::vector<uint8_t> bytes) override;
  bool SetDelayed(const std::string& format, ClipboardRenderer renderer) override;
  bool Read(const std::string& format, const ClipboardReader& reader) override;
  bool Owns() override { return owned_; }
  void RenderAll() override;

  // Another program puts these formats on the clipboard (the service loses ownership).
  void PutFromOtherProgram(std::map<std::string, std::vector<uint8_t>> formats);
  // The formats held, delayed ones included.
  std::vector<std::string> Formats() const;
  // How many delayed formats were rendered.
  int32_t renders = 0;
  // Opening fails while set (another program holds the clipboard open).
  bool refuseOpen = false;

 private:
  struct Entry {
    std::vector<uint8_t> bytes;
    ClipboardRenderer renderer;
  };
  bool Render(Entry& entry);
  std::map<std::string, Entry> formats_;
  bool owned_ = false;
};

// Installing null restores the default service (no clipboard). Returns the service before.
ClipboardService* SetClipboardService(ClipboardService* service);
ClipboardService& GetClipboardService();

// The wrappers: each opens the clipboard for the window, does one thing and closes it again.
bool ClipboardHasFormat(WindowHandle window, const std::string& format);
bool ClipboardEmpty(WindowHandle window, bool force);
bool ClipboardSetDelayed(WindowHandle window, const std::string& format, ClipboardRenderer renderer);
bool ClipboardSetData(WindowHandle window, const std::string& format, std::vector<uint8_t> bytes);
// Calls reader(bytes, count) with the format's data; false for an empty format name, when the
// clipboard cannot be opened or holds no data of the format; else the reader's result.
bool ClipboardReadFormat(WindowHandle window, const std::string& format, const ClipboardReader& reader);
bool ClipboardOwned(WindowHandle window);

}  // namespace tf
