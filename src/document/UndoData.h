// Undo records (CUndoData) and the table of the 64 operation codes.
#pragma once
// Undo records: one CUndoData per change that can be undone, and the table of the 64 operation
// codes that says what a record of each code holds and what the document refreshes after it.
//
// Records name layers and masks by their program-wide unique ids, never by stack index. What a
// record names is looked up through an UndoTargetResolver (implemented by the layer stack and
// the mask list); a record whose layer or mask is gone fails.
//
// A record owns what it holds: its pixel stores, its alpha plane, its byte tables and names, and
// the object a command detached (a layer, a layer manager, a list of layers, a mask or a mask
// manager) as far as the release rules of its code say (see ReleaseHeld). Records are not
// copyable; CreateCopy makes a deep copy without the held object.
#include <cstdint>
#include <memory>
#include <new>
#include <ranges>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "raster/BlockVMTC.h"
#include "raster/ByteImage.h"
#include "raster/Geometry.h"

namespace tf {

// ---------------------------------------------------------------------------------------------
// Operation codes

enum UndoCode : uint8_t {
  kUndoOwnPixels = 0,  // pixels of a rectangle, a layer's own pixel undo
  kUndoLayerRect = 1,  // pixels of a rectangle (fills, selection-limited flips, old events)
  kUndoLayerClear = 2,
  kUndoStroke = 3,
  kUndoShape = 4,
  kUndoPasteIntoLayer = 5,
  kUndoFilter = 6,
  kUndoFlipLayerHorizontal = 7,
  kUndoFlipLayerVertical = 8,
  kUndoInvertLayerColors = 9,
  kUndoRotateLayer180 = 10,
  kUndoInvertLayerAlpha = 11,
  kUndoFlipImageHorizontal = 12,
  kUndoFlipImageVertical = 13,
  kUndoInvertImageColors = 14,
  kUndoRotateImage180 = 15,
  kUndoLayerAlpha = 16,
  kUndoPaperColor = 17,
  kUndoLayerOpacity = 18,
  kUndoFolderOpacity = 19,
  kUndoDissolve = 20,
  kUndoBlendMode = 21,
  kUndoVisibility = 22,
  kUndoLayerOffset = 23,
  kUndoLayerAndSelectionOffset = 24,
  kUndoLayerName = 25,
  kUndoAlphaProtect = 26,
  kUndoNewLayer = 27,
  kUndoDeleteLayer = 28,
  kUndoDuplicateLayer = 29,
  kUndoNewLayerFromPaste = 30,
  kUndoMoveLayer = 31,
  kUndoMergeDown = 32,
  kUndoMergeVisible = 33,
  kUndoGrowLayer = 34,
  kUndoGrowLayerWithSelection = 35,
  kUndoRebuildLayer = 36,
  kUndoSelectionToLayer = 37,
  kUndoFolderDepths = 38,
  kUndoRemoveFolder = 39,
  kUndoMergeFolder = 40,
  kUndoDeleteFolder = 41,
  kUndoMoveBlock = 42,
  kUndoMoveBlockGrown = 43,
  kUndoMoveBlockWithSelection = 44,
  kUndoShowOnlyActive = 45,
  kUndoShowAll = 46,
  kUndoInvertVisibility = 47,
  kUndoFolderVisibility = 48,
  kUndoTurnCanvas90 = 49,
  kUndoCanvasSize = 50,
  kUndoResolution = 51,
  kUndoTrimCanvas = 52,
  kUndoAddMask = 53,
  kUndoMaskFromLayer = 54,
  kUndoDeleteMask = 55,
  kUndoMaskPixels = 56,
  kUndoActiveMask = 57,
  kUndoMoveMask = 58,
  kUndoInvertMask = 59,
  kUndoMaskOffset = 60,
  kUndoSelectionFlags = 61,
  kUndoCombineMasks = 62,
  kUndoMaskName = 63,
};

inline constexpr int kUndoCodeCount = 64;

// Categories: what a record holds and which handler undoes it.
enum UndoCategory : uint8_t {
  kUndoCategoryNone = 0,        // not a code of the table
  kUndoCategoryPixels = 1,      // saved pixel tiles (codes 0-6)
  kUndoCategoryAlpha = 2,       // a saved alpha plane (16)
  kUndoCategoryReversible = 3,  // an operation that is its own inverse (7-15)
  kUndoCategoryAttribute = 4,   // old and new attribute values (17-26)
  kUndoCategoryLayers = 5,      // layer structure (27-52)
  kUndoCategoryMasks = 6,       // mask structure (53-63)
};

// Flag bits of a code.
enum UndoFlag : uint16_t {
  kUndoFlagLayerList = 0x0001,         // layer list changed: refresh the layer pane too
  kUndoFlagRebuildView = 0x0002,       // reload the working copy, recompose and refresh everything
  kUndoFlagCanvasSize = 0x0004,        // the canvas size changed
  kUndoFlagWholeStore = 0x0008,        // the refresh area is the active layer's whole store
  kUndoFlagHeavy = 0x0010,             // counts against the document undo depth
  kUndoFlagOwnsBlock = 0x0020,         // the record owns a byte block (alpha plane or table)
  kUndoFlagLayerPane = 0x0040,         // refresh the layer pane
  kUndoFlagMasks = 0x0080,             // masks changed: refresh the mask pane
  kUndoFlagSelectionOutline = 0x0100,  // rebuild the selection outline
  kUndoFlagKeepActive = 0x0200,        // do not make the record's layer active
  kUndoFlagNoReload = 0x0400,          // do not reload the area into the working copy
  kUndoFlagDirtyRegions = 0x0800,      // refresh through the layer's content regions
  kUndoFlagNoLayerRefresh = 0x1000,    // no layer refresh at all
};

// One entry of the code table.
struct TUndoCodeInfo {
  uint8_t code;      // equal to its index
  uint8_t category;  // UndoCategory
  uint16_t flags;    // UndoFlag bits
};
static_assert(sizeof(TUndoCodeInfo) == 4);

// The 64 entries, indexed by code.
extern const TUndoCodeInfo kUndoCodeTable[kUndoCodeCount];

// The entry of a code; a code outside 0..63 gets {code, 0, 0} (category none).
TUndoCodeInfo UndoCodeInfo(int32_t code);
inline uint8_t UndoCodeCategory(int32_t code) { return UndoCodeInfo(code).category; }
inline uint16_t UndoCodeFlags(int32_t code) { return UndoCodeInfo(code).flags; }

// Shown when a record cannot be made for want of memory.
inline constexpr const char* kUndoOutOfMemoryText = "メモリ不足によりアンドゥ情報の保存に失敗しました！";

// ---------------------------------------------------------------------------------------------
// Finding what records name

// Looks layers and masks up by their unique ids. The layer stack and the mask list of a
// document implement it; tests use a double.
class UndoTargetResolver {
 public:
  virtual ~UndoTargetResolver() = default;
  // Stack index of the layer with this id; -1 when no layer has it.
  virtual int32_t FindLayerIndex(int32_t layerId) const = 0;
  // Pixel store of the layer with this id; null when no layer has it.
  virtual CBlockVMTC* FindLayerPixels(int32_t layerId) = 0;
  // Index of the mask with this id; -1 when no mask has it.
  virtual int32_t FindMaskIndex(int32_t maskId) const = 0;
};

// ---------------------------------------------------------------------------------------------
// The object a record keeps

// Bytes an object holds, for the memory report: MemoryUse(object) (an overload beside each
// class, see raster/BlockImage.h); for a container (a list of layers) the sum over its entries
// (pointers followed, null entries count 0). An object of a class without MemoryUse cannot be
// held.
template <class T>
int64_t UndoObjectMemory(const T& object);

// Type-erased owner of a detached object. The record decides at release whether the object is
// freed or only forgotten (it may live in the document again).
class CUndoHeld {
 public:
  CUndoHeld() = default;
  CUndoHeld(const CUndoHeld&) = delete;
  CUndoHeld& operator=(const CUndoHeld&) = delete;
  // Frees the object unless Forget was called.
  virtual ~CUndoHeld() = default;
  virtual int64_t MemorySize() const = 0;
  // For a container: takes entries first .. count - 1 out without freeing them (they live in the
  // document). False when the object is no container.
  virtual bool DetachEntriesFrom(int32_t first) = 0;
  // Drops the object without freeing it.
  virtual void Forget() = 0;
  virtual const void* Address() const = 0;
};

template <class T>
class TUndoHeld final : public CUndoHeld {
 public:
  explicit TUndoHeld(T* object) : object_(object) {}
  ~TUndoHeld() override { delete object_; }
  int64_t MemorySize() const override { return object_ ? UndoObjectMemory(*object_) : 0; }
  bool DetachEntriesFrom(int32_t first) override;
  void Forget() override { object_ = nullptr; }
  const void* Address() const override { return object_; }
  T* Get() const { return object_; }
  T* Release() {
    T* object = object_;
    object_ = nullptr;
    return object;
  }
  // Holds the object in place of the one held, which is handed back unfreed.
  T* Exchange(T* object) {
    T* previous = object_;
    object_ = object;
    return previous;
  }

 private:
  T* object_;
};

// ---------------------------------------------------------------------------------------------
// The record

class CUndoData {
 public:
  // A fresh record: not filled, not undone, zero rect, layer index and id -1, no stores, no
  // block, nothing held, zero values, category 1, code 0.
  CUndoData() = default;
  // Create (layer id).
  explicit CUndoData(int32_t layerId) : layerId(layerId) {}
  CUndoData(const CUndoData&) = delete;
  CUndoData& operator=(const CUndoData&) = delete;
  // Destroy: frees the stores, the block, the tables and names, and releases the held objects
  // by the release rules.
  ~CUndoData();

  // A category-1 record of the rectangle aligned outward to 32-pixel tiles, with an empty pixel
  // store of the aligned size. Null for an empty rectangle, an aligned size beyond int32, or when
  // the store cannot be made (out of memory).
  static std::unique_ptr<CUndoData> CreateRect(int32_t layerId, uint8_t code, const SRectWH& rect);
  // The same with the given store as its pixel store when that has the aligned size, or when it
  // is a spare of another shape with at least the aligned rectangle's tile count (see
  // SavePixels); any other store is freed and a new one made. What the store holds stays until
  // SavePixels overwrites it.
  static std::unique_ptr<CUndoData> CreateRect(int32_t layerId, uint8_t code, const SRectWH& rect,
                                               std::unique_ptr<CBlockVMTC> store);
  // The rectangle aligned outward to 32-pixel tiles, as CreateRect aligns it; false for an empty
  // rectangle or an aligned size beyond int32.
  static bool AlignedRect(const SRectWH& rect, SRectWH& aligned);
  // A deep copy: filled, rect, layer id, category, code, values, mask index and id, stores,
  // alpha plane, tables, layer ids and names. Layer index -1, not undone, nothing held. Null when memory
  // runs out.
  static std::unique_ptr<CUndoData> CreateCopy(const CUndoData& source);

  // Fields ---------------------------------------------------------------------------------------
  bool filled = false;       // holds saved data; otherwise MemorySize is 0
  bool undone = false;       // 0 on the undo list, 1 after it was undone (on the redo list)
  SRectWH rect{0, 0, 0, 0};  // area in layer-store coordinates (see the categories)
  int32_t layerIndex = -1;   // stack index when the record was made (or another index, by code)
  int32_t layerId = -1;      // unique id of the layer concerned
  uint8_t category = kUndoCategoryPixels;
  uint8_t code = kUndoOwnPixels;
  int32_t value1 = 0;  // per code: old and new values, indexes, offsets
  int32_t value2 = 0;
  int32_t value3 = 0;
  int32_t value4 = 0;
  // A mask a layer-structure or attribute record names besides its values (codes 24, 35, 44)
  // and its unique id: full ids, not squeezed into half a value.
  int32_t maskIndex = -1;
  int32_t maskId = -1;
  // Byte tables: folder depths (code 39; code 38 before), one visible byte per layer (45-48).
  std::vector<uint8_t> table;
  // Code 38: folder depths after.
  std::vector<uint8_t> table2;
  // Codes 12 to 15 applied to the visible layers only: the ids of the layers the operation
  // changed (empty: every layer of the stack).
  std::vector<int32_t> layerIds;
  // Names, code page 932 bytes: code 25 the names in value1 and value2 (name1 is applied on the
  // next undo or redo); code 63 the old (name1) and new (name2) mask name.
  std::string name1;
  std::string name2;

  // Stores ---------------------------------------------------------------------------------------
  CBlockVMTC* Pixels() const { return pixels_.get(); }
  CBlockVMTC* Pixels2() const { return pixels2_.get(); }
  bool HasPixels() const { return pixels_ != nullptr; }
  // Takes the store (null frees the one held).
  void SetPixels(std::unique_ptr<CBlockVMTC> store);
  void SetPixels2(std::unique_ptr<CBlockVMTC> store);
  std::unique_ptr<CBlockVMTC> TakePixels() {
    tileOrder_ = false;
    spareShape_ = false;
    return std::move(pixels_);
  }

  // Alpha plane (codes 16 and 37), owned.
  const SByteImage& AlphaPlane() const { return alpha_; }
  SByteImage& AlphaPlane() { return alpha_; }
  // Frees the plane held and adopts the given one; the caller's record is reset.
  void AdoptAlphaPlane(SByteImage& plane);

  // Flags of the record's code.
  uint16_t Flags() const { return UndoCodeFlags(code); }
  // Holds pixels or its code counts against the depth.
  bool IsHeavy() const { return HasPixels() || (Flags() & kUndoFlagHeavy) != 0; }

  // Pixel records -------------------------------------------------------------------------------
  // Clips the rectangle to the layer store, aligns it outward to tiles, copies those tiles of
  // the store into Pixels at (0, 0) (making or remaking the store when its size differs), sets
  // rect to the aligned rectangle and filled. False (record unchanged but for a remade store)
  // when nothing is left after clipping or a tile cannot be copied (out of memory).
  // A store of another shape given to CreateRect, with at least the rectangle's tile count,
  // takes the tiles in row order instead, tile (i, j) of the rectangle at index i + j*tiles
  // across (see InTileOrder). Its tiles past them are never read; those that are committed keep
  // their memory, counted in MemorySize, so that the store serves a larger save later without
  // fresh pages.
  bool SavePixels(const CBlockVMTC& layer, const SRectWH& area);
  // Copies the whole of Pixels into the store with its origin at (rect.left, rect.top) (in
  // tile order: its first tiles, onto the tiles of rect). False when not filled, without pixels,
  // or when a tile cannot be committed (nothing changes then).
  bool RestorePixels(CBlockVMTC& layer) const;
  // Pixels holds the rectangle's tiles in row order rather than in its shape.
  bool InTileOrder() const { return tileOrder_; }
  // When Pixels is the whole of the layer (same size, origin 0, 0): exchanges the two stores'
  // tiles, so that the layer holds the saved pixels and Pixels what the layer held. False,
  // nothing changed, otherwise.
  bool ExchangeWholeStore(CBlockVMTC& layer);
  // Takes the store as Pixels; category 1, filled.
  void SetPixelBlock(int32_t layerIndex, int32_t layerId, uint8_t code, const SRectWH& rect,
                     std::unique_ptr<CBlockVMTC> store);

  // Alpha records -------------------------------------------------------------------------------
  // Snapshot of the alpha plane of the rectangle (clipped to the store). On success: filled,
  // layer id, category 2, code, rect = the clipped origin and the plane's size. False, record
  // unchanged, when nothing is left or memory runs out.
  bool SaveAlpha(int32_t layerId, const CBlockVMTC& layer, uint8_t code, const SRectWH& area);
  // Puts the plane back at rect; false unless filled, holding a plane and of category 2.
  bool RestoreAlpha(CBlockVMTC& layer) const;

  // Other categories ----------------------------------------------------------------------------
  // Frees any pixels; category 3 with the id, rect and code.
  void SetReversible(int32_t layerId, const SRectWH& rect, uint8_t code);
  // Frees any pixels; category 4 with the id, code and values.
  void SetAttribute(int32_t layerId, uint8_t code, int32_t value1, int32_t value2, int32_t value3,
                    int32_t value4);
  // Categories 5 and 6.
  void SetValues(bool filled, int32_t layerId, uint8_t category, uint8_t code, int32_t value1, int32_t value2,
                 int32_t value3, int32_t value4);

  // Small accessors -----------------------------------------------------------------------------
  void SetLayerIndex(int32_t index) { layerIndex = index; }
  void SetRect(const SRectWH& r) { rect = r; }
  void SetOrigin(int32_t left, int32_t top) {
    rect.left = left;
    rect.top = top;
  }
  void SetSize(int32_t width, int32_t height) {
    rect.width = width;
    rect.height = height;
  }
  // Sets a new id and returns the old one.
  int32_t ExchangeLayerId(int32_t id);
  // Exchanges value1 and value2 (for code 25 also the two names they stand for).
  void SwapValues12();
  // Left and top of rect; the size of Pixels when it exists in the rectangle's shape, else of
  // rect.
  SRectWH GetRect() const;

  // The layer the record names, through the resolver: its store, and its stack index in index
  // when given. Null when the layer is gone.
  CBlockVMTC* FindLayer(UndoTargetResolver& targets, int32_t* index = nullptr) const;

  // Bytes the record holds: 0 when not filled; otherwise the committed bytes of both stores plus
  // the plane and the held objects as the code says.
  int64_t MemorySize() const;

  // Held objects --------------------------------------------------------------------------------
  // The record keeps the object; whether it frees it at the end depends on the code and state
  // (ReleaseHeld). The extra slot keeps a second object of codes 32 (the merged-away upper
  // layer) and 51 (the other mask manager). Setting a slot forgets (does not free) what it held.
  // False, the slot empty and the object still the caller's, when memory runs out.
  template <class T>
  bool SetHeld(T* object) {
    return SetSlot(held_, object);
  }
  template <class T>
  bool SetHeldExtra(T* object) {
    return SetSlot(heldExtra_, object);
  }
  // The held object when it is a T; null otherwise.
  template <class T>
  T* Held() const {
    return SlotGet<T>(held_);
  }
  template <class T>
  T* HeldExtra() const {
    return SlotGet<T>(heldExtra_);
  }
  // Empties the slot without freeing and returns the object (null when it held no T; the slot
  // is then unchanged).
  template <class T>
  T* TakeHeld() {
    return SlotTake<T>(held_);
  }
  template <class T>
  T* TakeHeldExtra() {
    return SlotTake<T>(heldExtra_);
  }
  // Puts the object into the slot in place of the T held there and hands that T back, unfreed,
  // in object (null when the slot was empty; an object of null empties the slot). No
  // allocation when the slot holds a T already, so an undo step that exchanges a held layer,
  // manager or mask with the document's cannot fail half-way. False, nothing changed, when the
  // slot holds an object of another type, or when it was empty and memory runs out.
  template <class T>
  bool ExchangeHeld(T*& object) {
    return SlotExchange(held_, object);
  }
  template <class T>
  bool ExchangeHeldExtra(T*& object) {
    return SlotExchange(heldExtra_, object);
  }
  // Lets both slots go without freeing what they hold: for a record taken back before the
  // objects it names were handed over (they still live in the document).
  void ForgetHeld() {
    ForgetSlot(held_);
    ForgetSlot(heldExtra_);
  }
  // Takes a holder made elsewhere into the held slot (what it held before is forgotten), and
  // hands the slot's holder back unreleased.
  void AdoptHeld(std::unique_ptr<CUndoHeld> holder) {
    ForgetSlot(held_);
    held_ = std::move(holder);
  }
  std::unique_ptr<CUndoHeld> ReleaseHeldSlot() { return std::move(held_); }
  bool HasHeld() const { return held_ != nullptr; }
  bool HasHeldExtra() const { return heldExtra_ != nullptr; }
  const void* HeldAddress() const { return held_ ? held_->Address() : nullptr; }

  // Releases the held objects by the rules of the code (run by the destructor):
  //   27, 29, 30, 37, 54: freed only when undone (otherwise they live in the document);
  //   28, 39: freed only when not undone;
  //   32: the upper layer (extra) freed when not undone; the held layer always;
  //   33: a container; when value2 is 1 its entries 1.. are taken out unfreed first; then freed;
  //   34-36, 40, 41, 43, 44, 50, 52, 53, 55, 56, 62: freed;
  //   51: both slots freed;
  //   any other code: nothing should be held; what is there is forgotten, not freed, and a
  //   line goes to the developer output.
  void ReleaseHeld();

 private:
  template <class T>
  static bool SetSlot(std::unique_ptr<CUndoHeld>& slot, T* object);
  template <class T>
  static T* SlotGet(const std::unique_ptr<CUndoHeld>& slot);
  template <class T>
  static T* SlotTake(std::unique_ptr<CUndoHeld>& slot);
  template <class T>
  static bool SlotExchange(std::unique_ptr<CUndoHeld>& slot, T*& object);
  static void ForgetSlot(std::unique_ptr<CUndoHeld>& slot);
  static int64_t SlotMemory(const std::unique_ptr<CUndoHeld>& slot) { return slot ? slot->MemorySize() : 0; }

  std::unique_ptr<CBlockVMTC> pixels_;
  bool tileOrder_ = false;   // pixels_ holds rect's tiles in row order (another shape)
  bool spareShape_ = false;  // pixels_ came from CreateRect in another shape: SavePixels keeps it
  std::unique_ptr<CBlockVMTC> pixels2_;
  SByteImage alpha_{};
  std::unique_ptr<CUndoHeld> held_;
  std::unique_ptr<CUndoHeld> heldExtra_;
};

// The record's MemorySize (see MemoryUse in raster/BlockImage.h).
inline int64_t MemoryUse(const CUndoData& record) { return record.MemorySize(); }

// ---------------------------------------------------------------------------------------------
// Templates

namespace undo_detail {
template <class E>
int64_t EntryMemory(const E& entry) {
  if constexpr (std::is_pointer_v<E>) {
    return entry ? UndoObjectMemory(*entry) : 0;
  } else if constexpr (requires {
                         entry.get();
                         *entry;
                       }) {
    return entry ? UndoObjectMemory(*entry) : 0;
  } else {
    return UndoObjectMemory(entry);
  }
}
}  // namespace undo_detail

template <class T>
int64_t UndoObjectMemory(const T& object) {
  if constexpr (std::ranges::range<const T>) {
    int64_t sum = 0;
    for (const auto& entry : object) sum += undo_detail::EntryMemory(entry);
    return sum;
  } else {
    return MemoryUse(object);
  }
}

template <class T>
bool TUndoHeld<T>::DetachEntriesFrom(int32_t first) {
  if (!object_) return false;
  T& list = *object_;
  if constexpr (requires {
                  list.Count();
                  list.Extract(first);
                }) {
    // A layer stack: Extract takes an entry out; the document owns it again, so an owning
    // pointer handed back lets go of it instead of freeing it.
    for (int32_t i = static_cast<int32_t>(list.Count()) - 1; i >= first; --i) {
      auto entry = list.Extract(i);
      if constexpr (requires { entry.release(); }) (void)entry.release();
    }
    return true;
  } else if constexpr (requires {
                         list.size();
                         list.back().release();
                         list.pop_back();
                       }) {
    // A list of owning pointers.
    while (static_cast<int32_t>(list.size()) > first) {
      (void)list.back().release();
      list.pop_back();
    }
    return true;
  } else {
    return false;
  }
}

template <class T>
bool CUndoData::SetSlot(std::unique_ptr<CUndoHeld>& slot, T* object) {
  ForgetSlot(slot);
  if (!object) return true;
  slot.reset(new (std::nothrow) TUndoHeld<T>(object));
  return slot != nullptr;
}

template <class T>
T* CUndoData::SlotGet(const std::unique_ptr<CUndoHeld>& slot) {
  auto* holder = dynamic_cast<TUndoHeld<T>*>(slot.get());
  return holder ? holder->Get() : nullptr;
}

template <class T>
bool CUndoData::SlotExchange(std::unique_ptr<CUndoHeld>& slot, T*& object) {
  if (!slot) {
    if (!SetSlot(slot, object)) return false;
    object = nullptr;
    return true;
  }
  auto* holder = dynamic_cast<TUndoHeld<T>*>(slot.get());
  if (!holder) return false;
  T* previous = holder->Exchange(object);
  if (!object) slot.reset();  // holds nothing now: the holder goes (it frees no object)
  object = previous;
  return true;
}

template <class T>
T* CUndoData::SlotTake(std::unique_ptr<CUndoHeld>& slot) {
  auto* holder = dynamic_cast<TUndoHeld<T>*>(slot.get());
  if (!holder) return nullptr;
  T* object = holder->Release();
  slot.reset();
  return object;
}

}  // namespace tf
