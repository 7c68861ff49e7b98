// Scripted application host, document window and document undo for the document tests.
#pragma once
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "events/EventStream.h"
#include "paper/HeadlessWindow.h"
#include "paper/Paper.h"
#include "platform/Debug.h"
#include "platform/Warning.h"
#include "support/FakeRecordSources.h"

namespace tf {

// Zoom ratios print as numerator/denominator in test messages.
inline std::ostream& operator<<(std::ostream& os, const TZoomRatio& r) {
  return os << r.numerator << "/" << r.denominator;
}

}  // namespace tf

namespace tf::test {

// Settings and the main window's stroke and tone set, as a test sets them.
class TestPaperHost : public PaperHost {
 public:
  TestPaperHost() { tones.has = false; }
  SPaperSettings Settings() override { return settings; }
  IRecordedStroke* MainRecordedStroke() override { return &stroke; }
  IRecordedTones* MainRecordedTones() override { return &tones; }
  SGradOption CurrentGradientOptions() override { return gradOptions; }
  bool ToolColours(uint32_t& foreground, uint32_t& background) override {
    if (!hasToolColours) return PaperHost::ToolColours(foreground, background);
    foreground = toolForeground;
    background = toolBackground;
    return true;
  }

  SPaperSettings settings;
  FakeRecordedStroke stroke;
  FakeRecordedTones tones;
  SGradOption gradOptions{0, 0, 0, 0, 1};
  bool hasToolColours = false;
  uint32_t toolForeground = 0;
  uint32_t toolBackground = 0;
};

// Installs a TestPaperHost, a recording warning host and a debug sink for the test's lifetime.
class PaperTestScope {
 public:
  PaperTestScope() {
    previousHost_ = SetPaperHost(&host);
    previousWarnings_ = SetWarningHost(&warnings);
    previousSink_ = SetDebugSink([this](std::string_view text) { debugLines.emplace_back(text); });
  }
  ~PaperTestScope() {
    SetDebugSink(previousSink_);
    SetWarningHost(previousWarnings_);
    SetPaperHost(previousHost_);
  }
  bool DebugSaid(const std::string& part) const {
    for (const std::string& line : debugLines)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

  TestPaperHost host;
  RecordingWarningHost warnings;
  std::vector<std::string> debugLines;

 private:
  PaperHost* previousHost_ = nullptr;
  WarningHost* previousWarnings_ = nullptr;
  DebugSink previousSink_;
};

// A headless window that writes what the document asks of it into a shared log.
class ScriptedWindow : public HeadlessDocumentWindow {
 public:
  explicit ScriptedWindow(std::vector<std::string>& log) : log_(log) {}
  bool SetModified(bool value) override {
    log_.push_back(value ? "modified" : "unmodified");
    return HeadlessDocumentWindow::SetModified(value);
  }
  void Invalidate(bool erase) override {
    log_.push_back("invalidate");
    HeadlessDocumentWindow::Invalidate(erase);
  }
  void UpdateScrollBars(const TPoint* centre) override {
    log_.push_back("scrollbars");
    HeadlessDocumentWindow::UpdateScrollBars(centre);
  }

 private:
  std::vector<std::string>& log_;
};

// A document undo that notes every push; a probe runs at each push so that a test can see what
// the document and its stream looked like at that moment.
class ScriptedUndo : public CDocumentUndo {
 public:
  struct Entry {
    std::string kind;  // "rect", "attribute" or "record"
    uint8_t code = 0;
    int32_t value = 0;
    bool layer = false;
  };
  ScriptedUndo(std::vector<std::string>& log, std::function<std::string()> probe = {})
      : log_(log), probe_(std::move(probe)) {}
  bool IsEnabled() const override { return true; }
  bool SaveLayerRect(CLayerData&, const SRectWH&, uint8_t code) override { return Note({"rect", code, 0, true}); }
  bool PushAttribute(CLayerData* layer, int32_t value, int32_t, uint8_t code) override {
    return Note({"attribute", code, value, layer != nullptr});
  }
  bool Push(std::unique_ptr<CUndoHeld>& held, uint8_t code, int32_t value1, int32_t, int32_t, int32_t) override {
    if (!Note({"record", code, value1, false})) return false;
    kept.push_back(std::move(held));
    return true;
  }
  void ClearAll() override { pushes.clear(); }
  int64_t MemorySize() const override { return memory; }

  std::vector<Entry> pushes;
  std::vector<std::unique_ptr<CUndoHeld>> kept;
  bool refuse = false;
  int64_t memory = 0;

 private:
  bool Note(const Entry& push) {
    log_.push_back("undo " + std::to_string(push.code) + (probe_ ? " " + probe_() : std::string()));
    if (refuse) return false;
    pushes.push_back(push);
    return true;
  }
  std::vector<std::string>& log_;
  std::function<std::string()> probe_;
};

// One packet of a stream.
struct StreamPacket {
  uint8_t cls = 0;
  uint8_t code = 0;
  std::vector<uint8_t> payload;
};

// Every packet from the start of the stream to its write position.
inline std::vector<StreamPacket> ReadPackets(const CEventMngr& events) {
  std::vector<StreamPacket> packets;
  events.walkPackets(0, events.writePos(), [&](const SPacketFrame& frame) {
    StreamPacket packet{frame.header.cls, frame.header.code, std::vector<uint8_t>(frame.length)};
    if (frame.length > 0) events.readAt(frame.payloadPos, packet.payload.data(), frame.length);
    packets.push_back(std::move(packet));
    return true;
  });
  return packets;
}

// Little-endian bytes of 32-bit values, for expected payloads.
inline void AppendI32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

}  // namespace tf::test
