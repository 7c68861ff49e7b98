// The gradient set (CGradMngr), its file (.tgs) and the gradient record TGRD.
#pragma once
// The gradient set: the gradients the gradient tool and the gradation pens choose from, with a
// current entry and its working copy (what editors change and the renderer reads), the options
// in force, an optional pinned two-colour entry at index 0 that is never written to a file, a
// file name and a modified flag.
//
// The set file (.tgs), little-endian: a 32-byte header "GRST" (version 2; version 1 is read),
// then one "TGRD" record per gradient. The record routines also serve the gradient map filter
// and take no document types.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/Gradient.h"

namespace tf {

class Stream;

inline constexpr uint32_t kGradientSetId = 0x54535247;     // "GRST"
inline constexpr uint32_t kGradientRecordId = 0x44524754;  // "TGRD"
inline constexpr int32_t kGradientSetHeaderBytes = 32;
inline constexpr int32_t kGradientRecordHeadBytes = 36;
inline constexpr uint16_t kGradientSetVersion = 2;

// Result codes of the gradient set file beyond the shared ones.
inline constexpr uint8_t kGradientNotStops = 20;   // fewer than two stops, or slots that are not all stops
inline constexpr uint8_t kGradientEmptySet = 37;   // nothing to save, or nothing loaded
inline constexpr uint8_t kGradientStopStore = 48;  // a stop could not be stored

// The set's word in messages, and the name of the pinned entry (UTF-8; names are held as code
// page 932 bytes).
inline constexpr const char* kGradientSetWord = "グラデーション集";
inline constexpr const char* kPinnedGradientName = "** 2色固定 **";

class CGradMngr {
 public:
  using ChangeEvent = std::function<void(CGradMngr&)>;

  // Empty, no current entry; the pinned entry when asked; the options from the settings.
  explicit CGradMngr(bool withPinned = false);
  ~CGradMngr();
  CGradMngr(const CGradMngr&) = delete;
  CGradMngr& operator=(const CGradMngr&) = delete;

  // Off: the pinned entry goes. On: a pinned two-colour entry at index 0 with the settings'
  // options. The current entry stays the same entry. True.
  bool SetPinned(bool on);
  bool HasPinned() const { return pinned_ >= 0; }
  CGradObj* GetPinned() { return HasPinned() ? items_[static_cast<size_t>(pinned_)].get() : nullptr; }
  bool IsPinnedIndex(int32_t index) const { return HasPinned() && index == pinned_; }
  bool IsCurrentPinned() const { return HasPinned() && current_ == pinned_; }
  int32_t PinnedIndex() const { return pinned_; }

  // The pinned entry's options when there is one, else the set's.
  void GetOptions(SGradOption& out) const;
  // Every gradient without options of its own (the pinned entry included) takes them; the set
  // keeps them when there is no pinned entry; the settings store them.
  void SetOptions(const SGradOption& options);
  void StoreOptionsToProfile();
  // Gives the working copy the options and, when asked, a fresh id; false without one.
  bool SetWorkingOptions(const SGradOption& options, bool renewId);
  // Stops following the foreground or background colour take them, in every gradient; false
  // for an empty set.
  bool SetDynamicColors(uint32_t foreground, uint32_t background);

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Null outside 0 .. count - 1.
  CGradObj* GetItem(int32_t index);
  const CGradObj* GetItem(int32_t index) const;
  bool InRange(int32_t index) const { return index >= 0 && index < Count(); }
  // Empty set: no current entry, no working copy, -1 (no event). Else the index clamped
  // becomes current, the working copy follows, change event.
  int32_t SetCurrent(int32_t index);
  int32_t CurrentIndex() const { return current_; }
  CGradObj* Current() { return currentEntry_; }
  // Creates the working copy when missing and assigns it from the current entry.
  CGradObj* GetWorkingCopy();
  CGradObj* WorkingCopy() { return working_.get(); }
  // Appends and marks modified; -1 when appending fails.
  int32_t Add(std::unique_ptr<CGradObj> gradient);
  // Add of an unnamed two-colour gradient.
  int32_t AddTwoColor(uint32_t color0, uint32_t color1);
  // Removes and frees an entry. A deleted current entry hands over to the entry now at its index
  // (the previous one when it was the last); a current index below moves to the entry before the
  // deleted position; a current index above moves down with its entry. Marks modified.
  bool Delete(int32_t index);
  // Every entry gone, pinned and current index -1. Returns the former count.
  int32_t Clear();
  // Clear and the working copy freed.
  int32_t ClearAll();
  // Takes the entries of another set in order (appended; the other set is left empty).
  void TakeEntries(CGradMngr& other);

  void SetModified(bool modified);
  bool IsModified() const { return modified_; }
  void SetFileName(const std::string& path);
  const std::string& FileName() const { return fileName_; }
  void SetChangeEvent(ChangeEvent event) { changed_ = std::move(event); }

  // Appends the four built-in gradients; false when that fails.
  bool AddBuiltinGradients();
  // AddBuiltinGradients; entry 0 current when the current index is out of range.
  bool LoadBuiltins();

  // LoadGradientSet; a failure is shown with its code. True for code 0.
  bool LoadFromFile(const std::string& path, bool append);
  // SaveGradientSet; a failure is shown with its code. True for code 0.
  bool Save(const std::string& path);
  // The set's default file (settings, preset folders, "default.tgs"); when none loads, the
  // built-in gradients with the flag, and the file setting and name cleared.
  bool LoadDefault(bool builtinsOnFailure);
  // The preview open and save dialogs (kinds 6 and 14) from the set's file name and folder.
  bool LoadWithDialog(bool append);
  bool SaveWithDialog();

 private:
  void Notify();
  std::unique_ptr<CGradObj> MakePinnedEntry() const;

  std::vector<std::unique_ptr<CGradObj>> items_;
  int32_t pinned_ = -1;
  int32_t current_ = -1;
  CGradObj* currentEntry_ = nullptr;
  std::unique_ptr<CGradObj> working_;
  SGradOption options_{0, 0, 0, 0, 1};
  bool modified_ = false;
  std::string fileName_;
  ChangeEvent changed_;
};

// The set file. Codes: 0; 3, 4, 5, 6, 8, 9, 10, 12, 16, 17, 20, 37, 48 (see the constants above
// and raster/ChunkStream.h).
uint8_t SaveGradientSet(const std::string& path, CGradMngr& manager);
uint8_t LoadGradientSet(const std::string& path, CGradMngr& manager, bool append);
// The same over the file's bytes (path becomes the set's file name).
uint8_t LoadGradientSetFromStream(Stream& stream, const std::string& path, CGradMngr& manager, bool append);
// Walks at most `most` chunks' worth of records from the position to the end of the stream,
// stepping by each chunk's declared size; every readable TGRD whose stops normalise is added.
uint8_t ReadGradientRecords(Stream& stream, CGradMngr& manager, int32_t most, int32_t& loaded);

// One TGRD record: 20 when the group is not AllUsed, 8 on a short write.
uint8_t WriteGradientRecord(Stream& stream, const CColorSlotGroup& stops, const SGradOption& options);
// The same; an exception gives 3 and any error cuts the stream back to where the record began.
uint8_t WriteGradientRecordSafe(Stream& stream, const CColorSlotGroup& stops, const SGradOption& options);
// One TGRD record into an empty group: 9, 16, 12, 17 (a name longer than the record), 48, 20
// (fewer than two slots). The options as stored (shape clamped to 0..2, mirror and endless to
// 0..1, a repeat count of 0 read as 1).
uint8_t ReadGradientRecord(Stream& stream, CColorSlotGroup& stops, SGradOption& options);
// The same; an exception gives 3, and on any error the stream goes back to the record's start.
uint8_t ReadGradientRecordSafe(Stream& stream, CColorSlotGroup& stops, SGradOption& options);

}  // namespace tf
