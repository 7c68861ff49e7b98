// The tone set (CToneMngr over CPatMngrBase) and its file (.tts).
#pragma once
// The tone set: the plain patterns and screen tones the tone palette offers and that pens and
// fills paint through. CPatMngrBase is an owning list of patterns with a current entry, a working
// copy, a file name, a modified flag and a change event; CToneMngr adds the shared screen maker,
// a 256 x 256 work channel, the working copies at the entry's scale, the per-pixel tone value the
// pixel writers ask for (ToneSampler), the built-in dot patterns and the set file.
//
// The set file (.tts), little-endian: a 32-byte header "PTST" (version 1), then per entry a
// TPAT record and its TTNL image (paint/ToneRecord.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/PaintDocument.h"
#include "paint/ScreenTone.h"

namespace tf {

class Stream;

inline constexpr int32_t kToneSetHeaderBytes = 32;
inline constexpr const char* kToneSetWord = "トーン集";

class CPatMngrBase {
 public:
  using ChangeEvent = std::function<void(CPatMngrBase&)>;

  CPatMngrBase() = default;
  virtual ~CPatMngrBase();
  CPatMngrBase(const CPatMngrBase&) = delete;
  CPatMngrBase& operator=(const CPatMngrBase&) = delete;

  // The list is not empty and the current index is valid.
  virtual bool HasCurrent() const;
  // DeleteAll; returns the former count.
  virtual int32_t Clear();
  // Frees the working copy; change event.
  virtual void FreeWorkingCopy();
  // The working copy of the current entry at its scale; null when there is none.
  virtual CPatObj* MakeWorkingCopy() = 0;
  // The working copy takes the current entry's name and offsets and scale 100; change event.
  virtual CPatObj* UpdateWorkingCopy();

  // Current index -1, every entry freed, change event. Returns the former count.
  int32_t DeleteAll();
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  CPatObj* GetItem(int32_t index) const {
    return InRange(index) ? items_[static_cast<size_t>(index)].get() : nullptr;
  }
  bool InRange(int32_t index) const { return index >= 0 && index < Count(); }
  // Empty list: no current entry, FreeWorkingCopy, -1. Else the index clamped becomes current
  // and MakeWorkingCopy runs.
  int32_t SetCurrent(int32_t index);
  int32_t CurrentIndex() const { return current_; }
  CPatObj* CurrentEntry() const { return currentEntry_; }
  CPatObj* WorkingCopy() const { return working_.get(); }
  // Appends and marks modified; -1 when it cannot.
  int32_t Add(std::unique_ptr<CPatObj> pattern);
  // Removes and frees an entry; the current entry is kept consistent as in the gradient set (a
  // current index above the deleted one moves down with its entry). Marks modified.
  bool Delete(int32_t index);
  void SetModified(bool modified);
  bool IsModified() const { return modified_; }
  void SetFileName(const std::string& path);
  const std::string& FileName() const { return fileName_; }
  void SetChangeEvent(ChangeEvent event) { changed_ = std::move(event); }

 protected:
  void Notify();
  // Entries of another set appended in order (the other left empty).
  void TakeEntriesFrom(CPatMngrBase& other);

  std::vector<std::unique_ptr<CPatObj>> items_;
  int32_t current_ = -1;
  CPatObj* currentEntry_ = nullptr;
  std::unique_ptr<CPatObj> working_;
  bool modified_ = false;
  std::string fileName_;
  ChangeEvent changed_;
};

class CToneMngr final : public CPatMngrBase, public ToneSampler {
 public:
  CToneMngr();
  ~CToneMngr() override;

  // A built plain pattern of the channel's size holding a copy of it; null for an empty channel.
  std::unique_ptr<CPat8> NewPattern(const TChannel& channel, int32_t scale, const TPoint* offsets);
  int32_t AddPattern(const TChannel& channel, int32_t scale, const TPoint* offsets);
  // A tone sharing the set's maker, built from the attributes (the channel, when given, becomes
  // its preview tile), named from them; null when building fails.
  std::unique_ptr<CPat8Tone> NewTone(const SToneAttr& attr, bool rebuild, const TChannel* channel);
  int32_t AddTone(const SToneAttr& attr, bool rebuild, const TChannel* channel);
  // The dot pattern on the work channel; null for sizes outside 1..256.
  std::unique_ptr<CPat8> DrawDotPattern(float width, float height, float step, float radius);
  int32_t AddDotPattern(float width, float height, float step, float radius);

  // The current entry, or null.
  CPat8* GetCurrentPattern() const { return static_cast<CPat8*>(currentEntry_); }
  CPatObj* MakeWorkingCopy() override;
  CPat8* GetWorkingPattern() { return static_cast<CPat8*>(MakeWorkingCopy()); }
  CPatObj* UpdateWorkingCopy() override;
  void FreeWorkingCopy() override;

  // The value scaled by the working copy's pattern value at the pixel: MulDiv255(value,
  // PixelAt(x, y)); the value itself without a working copy.
  int32_t ToneValueAt(int32_t x, int32_t y, int32_t value) const override;
  // ToneValueAt over a row: values[i] := ToneValueAt(x + i, y, values[i]).
  void ToneRow(int32_t x, int32_t y, int32_t count, uint8_t* values) const;

  // The two built-in dot patterns; false when they cannot be made.
  bool AddBuiltinTones();
  // AddBuiltinTones; entry 0 current when the current index is out of range.
  bool LoadBuiltins();

  bool LoadFromFile(const std::string& path, bool append);
  bool Save(const std::string& path);
  // The default file (settings, preset folders, "default.tts"); built-ins on failure when asked.
  bool LoadDefault(bool builtinsOnFailure);
  // The preview open and save dialogs (kinds 7 and 15) from the set's file name and folder.
  bool LoadWithDialog(bool append);
  bool SaveWithDialog();

  // Appends the entries of another set (the other left empty); its tones take this set's maker.
  void TakeEntries(CToneMngr& other);

  CToneMaker& Maker() { return maker_; }
  // The 256 x 256 work channel of the dot patterns.
  TChannel& WorkChannel();

 private:
  CPatObj* MakePatternWorkingCopy();
  CPatObj* MakeToneWorkingCopy();
  // The working copy's fast paths, refreshed whenever it changes.
  void CacheWorkingCopy();

  CToneMaker maker_;
  TChannel work_;
  const CPat8* workingPlain_ = nullptr;
  const CPat8Tone* workingTone_ = nullptr;
};

// The set file. Codes: 0; 1, 3, 4, 5, 6, 8, 9, 10, 11, 12, 15, 16, 17, 37, 48.
uint8_t SaveToneSet(const std::string& path, CToneMngr& manager);
uint8_t LoadToneSet(const std::string& path, CToneMngr& manager, bool append);
// The same over the file's bytes (path becomes the set's file name).
uint8_t LoadToneSetFromStream(Stream& stream, const std::string& path, CToneMngr& manager, bool append);
// Walks at most `most` records from the position, stepping over each chunk and the image after
// a record by their declared sizes; every readable record is added.
uint8_t ReadPatternRecords(Stream& stream, CToneMngr& manager, int32_t most, int32_t& loaded);

}  // namespace tf
