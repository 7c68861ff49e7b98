#include "platform/ClipboardFormats.h"

#include <new>

#include "platform/Debug.h"
#include "platform/HostSlot.h"

namespace tf {

namespace {

class NoClipboard final : public ClipboardService {
 public:
  bool HasFormat(const std::string&) override { return Say("HasFormat"); }
  bool Empty(bool) override { return Say("Empty"); }
  bool SetData(const std::string&, std::vector<uint8_t>) override { return Say("SetData"); }
  bool SetDelayed(const std::string&, ClipboardRenderer) override { return Say("SetDelayed"); }
  bool Read(const std::string&, const ClipboardReader&) override { return Say("Read"); }
  bool Owns() override { return false; }
  void RenderAll() override {}

 private:
  static bool Say(const char* what) {
    DebugOutF("Clipboard %s: no clipboard service installed\n", what);
    return false;
  }
};

using Slot = HostSlot<ClipboardService, NoClipboard>;

}  // namespace

bool MemoryClipboard::Render(Entry& entry) {
  if (entry.renderer) {
    ClipboardRenderer renderer = std::move(entry.renderer);
    entry.renderer = nullptr;
    ++renders;
    try {
      entry.bytes = renderer();
    } catch (const std::bad_alloc&) {
      entry.bytes.clear();
    }
  }
  return !entry.bytes.empty();
}

bool MemoryClipboard::HasFormat(const std::string& format) {
  if (refuseOpen) return false;
  auto it = formats_.find(format);
  return it != formats_.end() && (it->second.renderer || !it->second.bytes.empty());
}

bool MemoryClipboard::Empty(bool force) {
  if (refuseOpen) return false;
  if (!force && owned_) return false;
  formats_.clear();
  owned_ = true;
  return true;
}

bool MemoryClipboard::SetData(const std::string& format, std::vector<uint8_t> bytes) {
  if (refuseOpen || format.empty()) return false;
  if (!owned_) {
    formats_.clear();
    owned_ = true;
  }
  formats_[format] = Entry{std::move(bytes), nullptr};
  return true;
}

bool MemoryClipboard::SetDelayed(const std::string& format, ClipboardRenderer renderer) {
  if (refuseOpen || format.empty() || !renderer) return false;
  if (!owned_) {
    formats_.clear();
    owned_ = true;
  }
  formats_[format] = Entry{{}, std::move(renderer)};
  return true;
}

bool MemoryClipboard::Read(const std::string& format, const ClipboardReader& reader) {
  if (refuseOpen || format.empty()) return false;
  auto it = formats_.find(format);
  if (it == formats_.end() || !Render(it->second)) return false;
  return reader(it->second.bytes.data(), it->second.bytes.size());
}

void MemoryClipboard::RenderAll() {
  for (auto& [name, entry] : formats_) Render(entry);
}

void MemoryClipboard::PutFromOtherProgram(std::map<std::string, std::vector<uint8_t>> formats) {
  formats_.clear();
  for (auto& [name, bytes] : formats) formats_[name] = Entry{std::move(bytes), nullptr};
  owned_ = false;
}

std::vector<std::string> MemoryClipboard::Formats() const {
  std::vector<std::string> out;
  for (const auto& [name, entry] : formats_) out.push_back(name);
  return out;
}

ClipboardService* SetClipboardService(ClipboardService* service) { return Slot::Install(service); }
ClipboardService& GetClipboardService() { return Slot::Get(); }

bool ClipboardHasFormat(WindowHandle, const std::string& format) {
  return !format.empty() && GetClipboardService().HasFormat(format);
}
bool ClipboardEmpty(WindowHandle, bool force) { return GetClipboardService().Empty(force); }
bool ClipboardSetDelayed(WindowHandle, const std::string& format, ClipboardRenderer renderer) {
  if (format.empty() || !renderer) return false;
  return GetClipboardService().SetDelayed(format, std::move(renderer));
}
bool ClipboardSetData(WindowHandle, const std::string& format, std::vector<uint8_t> bytes) {
  if (format.empty()) return false;
  return GetClipboardService().SetData(format, std::move(bytes));
}
bool ClipboardReadFormat(WindowHandle, const std::string& format, const ClipboardReader& reader) {
  if (format.empty() || !reader) return false;
  return GetClipboardService().Read(format, reader);
}
bool ClipboardOwned(WindowHandle) { return GetClipboardService().Owns(); }

}  // namespace tf
