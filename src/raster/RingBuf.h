// CRingBuf: a ring of fixed-size slots with undo and redo counts.
#pragma once
// CRingBuf: a ring of fixed-size slots with undo and redo counts. The back count is the
// number of items at and behind the cursor (the current item and older ones); the forward
// count the number of items ahead of it that can be redone. At most slotCount items are kept
// behind; the extra slots give room for items ahead when resizing.
// CRingBufDWORD: the same with 32-bit items.
#include <cstdint>

namespace tf {

class CRingBuf {
 public:
  // Not ready until Setup; every field 0 but the item size.
  explicit CRingBuf(int32_t itemSize = 0) : itemSize_(itemSize) {}
  virtual ~CRingBuf() { FreeBuffer(); }
  CRingBuf(const CRingBuf&) = delete;
  CRingBuf& operator=(const CRingBuf&) = delete;

  // A fresh ring of count + extra slots of itemSize bytes (zeroed). False (ring unchanged) when
  // count < 1, itemSize < 1 or extra < 0; false and not ready when the block would pass the
  // int32 range or memory runs out.
  bool Setup(int32_t itemSize, int32_t count, int32_t extra);
  // Block present and slot count > 0.
  bool IsReady() const { return block_ != nullptr && slotCount_ > 0; }
  // Empties the ring (cursor at the first slot).
  bool Reset();
  // Frees the block and zeroes every field, the item size too.
  void FreeBuffer();
  // Forward count := 0; returns how many there were (0 when not ready).
  int32_t ClearForward();

  // Overwrites the current slot; the back count becomes 1 when it was 0.
  bool Put(const void* item);
  // Stores the item in the next slot and makes it current; back + 1 (the oldest given up at
  // the slot count), forward 0.
  bool Push(const void* item);
  // Discards the current item: cursor one slot back, back - 1, forward 0. False when back = 0.
  bool Drop();
  // Undo step: cursor back, back - 1, forward + 1. False when back = 0.
  bool Back();
  // Redo step: cursor forward, back + 1, forward - 1. False when forward = 0.
  bool Forward();
  // Copies the current item; false when back = 0.
  bool Read(void* item) const;
  // offset 0: Read. -n: the item n slots behind (1 <= n <= back - 1). +n: the item n slots
  // ahead (1 <= n <= forward). False out of range or when back = 0.
  bool Peek(int32_t offset, void* item) const;
  // Keeps the newest min(back, count) items behind and the nearest min(forward, extra) ahead in
  // a ring of count + extra slots. False (ring unchanged) when count <= 0, extra < 0, the item
  // size is 0, items ahead would survive without a current one, or memory runs out.
  bool Resize(int32_t count, int32_t extra);
  // itemSize*(count + extra); -1 when negative or beyond int32.
  static int32_t ByteSize(int32_t itemSize, int32_t count, int32_t extra);

  int32_t BlockByteSize() const { return blockBytes_; }
  int32_t ItemSize() const { return itemSize_; }
  int32_t SlotCount() const { return slotCount_; }
  int32_t Extra() const { return extra_; }
  int32_t BackCount() const { return back_; }
  int32_t ForwardCount() const { return forward_; }

 protected:
  // Address of the slot `steps` slots from the cursor (negative is behind), wrapping.
  uint8_t* SlotAt(int32_t steps) const;
  int32_t TotalSlots() const { return slotCount_ + extra_; }

 private:
  int32_t blockBytes_ = 0;
  uint8_t* block_ = nullptr;
  int32_t itemSize_ = 0;
  int32_t slotCount_ = 0;
  int32_t extra_ = 0;
  int32_t back_ = 0;
  int32_t forward_ = 0;
  int32_t cursor_ = 0;  // slot index of the current item
};

class CRingBufDWORD : public CRingBuf {
 public:
  CRingBufDWORD() : CRingBuf(4) {}

  bool Setup(int32_t count, int32_t extra) { return CRingBuf::Setup(4, count, extra); }
  // The value in the current slot; 0 when the ring is not ready.
  int32_t Current() const;
  bool Peek(int32_t offset, int32_t& value) const;
  bool Read(int32_t& value) const { return CRingBuf::Read(&value); }
  bool Put(int32_t value) { return CRingBuf::Put(&value); }
  bool Push(int32_t value) { return CRingBuf::Push(&value); }
};

}  // namespace tf
