#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Memory.h"
#include "raster/DynArray.h"
#include "raster/DynStack.h"
#include "raster/RingBuf.h"

namespace tf {
namespace {

// ---------------------------------------------------------------------------------------------
// SDynArray

TEST(DynArrayTest, AllocKeepsSameCountAndReallocatesOtherwise) {
  SDynArray a;
  DynArrayInit(a);
  EXPECT_FALSE(DynArrayAssigned(a));
  EXPECT_FALSE(DynArrayFill(a, 1));
  ASSERT_TRUE(DynArrayAlloc(a, 4, 3));
  EXPECT_EQ(DynArrayByteSize(a), 12);
  ASSERT_TRUE(DynArrayFill(a, 0x5A));
  void* block = a.data;
  EXPECT_TRUE(DynArrayAlloc(a, 4, 3));  // same: kept with contents
  EXPECT_EQ(a.data, block);
  EXPECT_EQ(DynArrayItems<uint8_t>(a)[11], 0x5A);
  ASSERT_TRUE(DynArrayAlloc(a, 4, 5));  // realloc keeps the first bytes
  EXPECT_EQ(DynArrayItems<uint8_t>(a)[11], 0x5A);
  EXPECT_EQ(a.count, 5);
  ASSERT_TRUE(DynArrayAlloc(a, 2, 2));  // a new item size starts over
  EXPECT_EQ(DynArrayByteSize(a), 4);
  EXPECT_FALSE(DynArrayAlloc(a, 2, 0));  // count 0 leaves none
  EXPECT_FALSE(DynArrayAssigned(a));
  DynArrayFree(a);
}

// Size products are computed in 64 bits: a request that does not fit is refused instead of
// allocating a wrapped, too small block.
TEST(DynArrayTest, RefusesSizesBeyondInt32) {
  struct Case {
    int32_t itemSize, count;
  };
  const Case cases[] = {{65536, 65536}, {8, 0x10000001}, {-1, 4}, {4, -1}, {INT32_MAX, 2}};
  for (const Case& c : cases) {
    SDynArray a;
    ASSERT_TRUE(DynArrayAlloc(a, 4, 2));
    void* block = a.data;
    EXPECT_FALSE(DynArrayAlloc(a, c.itemSize, c.count)) << c.itemSize << "x" << c.count;
    EXPECT_EQ(a.data, block);  // unchanged
    EXPECT_EQ(a.count, 2);
    EXPECT_FALSE(DynArrayResize(a, c.itemSize, c.count));
    EXPECT_EQ(a.count, 2);
    DynArrayFree(a);

    SDynArray2D b;
    EXPECT_FALSE(DynArray2DAlloc(b, c.itemSize, c.count, 1));
    EXPECT_FALSE(DynArray2DAlloc(b, 1, c.count, c.itemSize));
    EXPECT_FALSE(DynArray2DAssigned(b));
  }
  SDynArray2D wide;
  EXPECT_FALSE(DynArray2DAlloc(wide, 0, 65536, 65536));  // the item count itself is int32
  EXPECT_EQ(wide.count, 0);
  SPointArray p;
  EXPECT_FALSE(PointArrayAlloc(p, 0x10000000));  // 8 bytes per point
  EXPECT_FALSE(PointArrayAssigned(p));
}

TEST(DynArrayTest, AllocFailureKeepsTheOldBlock) {
  SDynArray a;
  ASSERT_TRUE(DynArrayAlloc(a, 1, 4));
  std::memcpy(a.data, "abcd", 4);
  SetMemoryRefusals(1);
  EXPECT_FALSE(DynArrayAlloc(a, 1, 4000));
  SetMemoryRefusals(0);
  EXPECT_EQ(a.count, 4);  // record and block agree
  EXPECT_EQ(std::memcmp(a.data, "abcd", 4), 0);
  DynArrayFree(a);
}

TEST(DynArrayTest, ResizeKeepsTheLeadingItems) {
  SDynArray a;
  ASSERT_TRUE(DynArrayResize(a, 4, 4));  // empty: plain alloc
  for (int i = 0; i < 4; ++i) DynArrayItems<int32_t>(a)[i] = 10 + i;
  ASSERT_TRUE(DynArrayResize(a, 4, 2));
  EXPECT_EQ(a.count, 2);
  EXPECT_EQ(DynArrayItems<int32_t>(a)[0], 10);
  EXPECT_EQ(DynArrayItems<int32_t>(a)[1], 11);
  ASSERT_TRUE(DynArrayResize(a, 4, 4));
  EXPECT_EQ(DynArrayItems<int32_t>(a)[1], 11);

  SetMemoryRefusals(1);
  EXPECT_FALSE(DynArrayResize(a, 4, 8));
  SetMemoryRefusals(0);
  EXPECT_EQ(a.count, 4);
  EXPECT_EQ(DynArrayItems<int32_t>(a)[0], 10);
  EXPECT_FALSE(DynArrayResize(a, 4, 0));
  EXPECT_EQ(a.count, 4);
  DynArrayFree(a);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.itemSize, 0);
}

TEST(DynArrayTest, MoveCopyAndDetach) {
  SDynArray src, dest;
  ASSERT_TRUE(DynArrayAlloc(src, 2, 3));
  DynArrayFill(src, 7);
  ASSERT_TRUE(DynArrayCopy(dest, src));
  EXPECT_NE(dest.data, src.data);
  EXPECT_EQ(std::memcmp(dest.data, src.data, 6), 0);
  EXPECT_FALSE(DynArrayMove(dest, src));  // dest holds data
  EXPECT_TRUE(DynArrayAssigned(src));
  DynArrayFree(dest);
  void* block = src.data;
  ASSERT_TRUE(DynArrayMove(dest, src));
  EXPECT_EQ(dest.data, block);
  EXPECT_EQ(dest.count, 3);
  EXPECT_FALSE(DynArrayAssigned(src));
  EXPECT_EQ(src.count, 0);

  // Copying from an empty record carries its count and item size, no data.
  SDynArray empty{5, nullptr, 4};
  SDynArray fresh;
  EXPECT_TRUE(DynArrayCopy(fresh, empty));
  EXPECT_EQ(fresh.count, 5);
  EXPECT_FALSE(DynArrayAssigned(fresh));
  EXPECT_FALSE(DynArrayCopy(dest, empty));

  void* detached = DynArrayDetach(dest);
  EXPECT_EQ(detached, block);
  EXPECT_FALSE(DynArrayAssigned(dest));
  FreeMem(detached);
}

TEST(DynArrayTest, TwoDimensionalAndPoints) {
  SDynArray2D a;
  ASSERT_TRUE(DynArray2DAlloc(a, 4, 3, 2));
  EXPECT_EQ(a.count, 6);
  EXPECT_EQ(DynArray2DByteSize(a), 24);
  uint32_t item = 0xDEADBEEF;
  ASSERT_TRUE(DynArray2DFillItems(a, &item));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(DynArray2DItems<uint32_t>(a)[i], item);
  void* block = a.data;
  EXPECT_TRUE(DynArray2DAlloc(a, 4, 3, 2));
  EXPECT_EQ(a.data, block);
  ASSERT_TRUE(DynArray2DAlloc(a, 4, 2, 3));  // same count, other shape
  EXPECT_EQ(a.width, 2);
  ASSERT_TRUE(DynArray2DFill(a, 0));
  EXPECT_EQ(DynArray2DItems<uint32_t>(a)[5], 0u);
  DynArray2DFree(a);
  EXPECT_EQ(a.width, 0);
  EXPECT_FALSE(DynArray2DFillItems(a, &item));

  SPointArray p, q;
  ASSERT_TRUE(PointArrayAlloc(p, 2));
  p.items[1] = TPoint{3, 4};
  TPoint* items = p.items;
  EXPECT_TRUE(PointArrayAlloc(p, 2));
  EXPECT_EQ(p.items, items);
  ASSERT_TRUE(PointArrayAlloc(p, 5));
  EXPECT_EQ(p.items[1], (TPoint{3, 4}));
  ASSERT_TRUE(PointArrayMove(q, p));
  EXPECT_FALSE(PointArrayAssigned(p));
  EXPECT_EQ(q.count, 5);
  EXPECT_FALSE(PointArrayAlloc(q, 0));
  EXPECT_FALSE(PointArrayAssigned(q));
  PointArrayFree(q);
}

// ---------------------------------------------------------------------------------------------
// CDynStack

TEST(DynStackTest, FixedCapacityQueueWithStickyOverflow) {
  CDynStack s(sizeof(int32_t), 2);
  ASSERT_TRUE(s.IsAllocated());
  int32_t a = 1, b = 2, c = 3, out = 0;
  EXPECT_TRUE(s.Push(&a));
  EXPECT_TRUE(s.Push(&b));
  EXPECT_FALSE(s.Push(&c));
  EXPECT_TRUE(s.Overflow());
  EXPECT_EQ(s.Count(), 2);
  EXPECT_TRUE(s.PopFront(&out));
  EXPECT_EQ(out, 1);
  EXPECT_TRUE(s.Overflow());  // until Reset
  EXPECT_TRUE(s.Push(&c));
  EXPECT_TRUE(s.PopFront(&out));
  EXPECT_EQ(out, 2);
  EXPECT_TRUE(s.PopFront(&out));
  EXPECT_EQ(out, 3);
  EXPECT_FALSE(s.PopFront(&out));
  EXPECT_TRUE(s.Reset());
  EXPECT_FALSE(s.Overflow());

  CDynStack none(4, 0);
  EXPECT_FALSE(none.IsAllocated());
  EXPECT_FALSE(none.Reset());
  EXPECT_FALSE(none.Push(&a));
  EXPECT_FALSE(none.PopFront(&out));
}

// ---------------------------------------------------------------------------------------------
// CRingBuf

std::vector<int32_t> Behind(const CRingBufDWORD& r) {
  std::vector<int32_t> items;  // oldest first, current last
  for (int32_t n = r.BackCount() - 1; n >= 0; --n) {
    int32_t v = 0;
    EXPECT_TRUE(r.Peek(-n, v));
    items.push_back(v);
  }
  return items;
}

TEST(RingBufTest, PushReadPeek) {
  CRingBufDWORD r;
  ASSERT_TRUE(r.Setup(3, 2));
  EXPECT_EQ(r.BlockByteSize(), 20);
  for (int32_t v : {1, 2, 3, 4}) ASSERT_TRUE(r.Push(v));
  EXPECT_EQ(r.BackCount(), 3);
  EXPECT_EQ(r.Current(), 4);
  int32_t v = 0;
  EXPECT_TRUE(r.Read(v));
  EXPECT_EQ(v, 4);
  EXPECT_TRUE(r.Peek(-2, v));
  EXPECT_EQ(v, 2);
  EXPECT_FALSE(r.Peek(-3, v));
  EXPECT_FALSE(r.Peek(1, v));

  ASSERT_TRUE(r.Back());
  ASSERT_TRUE(r.Back());
  EXPECT_EQ(r.Current(), 2);
  EXPECT_EQ(r.ForwardCount(), 2);
  EXPECT_TRUE(r.Peek(1, v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(r.Peek(2, v));
  EXPECT_EQ(v, 4);
  EXPECT_FALSE(r.Peek(3, v));
  EXPECT_EQ(r.BackCount(), 1);
  ASSERT_TRUE(r.Forward());
  EXPECT_EQ(r.Current(), 3);
  ASSERT_TRUE(r.Push(9));
  EXPECT_EQ(r.ForwardCount(), 0);
  EXPECT_FALSE(r.Forward());
  EXPECT_EQ(Behind(r), (std::vector<int32_t>{2, 3, 9}));
}

TEST(RingBufTest, DropPutClearForwardReset) {
  CRingBufDWORD r;
  ASSERT_TRUE(r.Setup(4, 0));
  ASSERT_TRUE(r.Put(5));
  EXPECT_EQ(r.BackCount(), 1);
  ASSERT_TRUE(r.Drop());
  EXPECT_EQ(r.BackCount(), 0);
  int32_t v;
  EXPECT_FALSE(r.Read(v));
  EXPECT_FALSE(r.Drop());
  EXPECT_FALSE(r.Back());

  ASSERT_TRUE(r.Put(1));
  ASSERT_TRUE(r.Push(2));
  ASSERT_TRUE(r.Push(3));
  ASSERT_TRUE(r.Back());
  EXPECT_EQ(r.ClearForward(), 1);
  EXPECT_EQ(r.ForwardCount(), 0);
  ASSERT_TRUE(r.Push(4));
  ASSERT_TRUE(r.Drop());
  EXPECT_EQ(r.Current(), 2);
  EXPECT_TRUE(r.Reset());
  EXPECT_EQ(r.BackCount(), 0);
}

TEST(RingBufTest, NotReadyRingRefusesEverything) {
  CRingBufDWORD r;
  EXPECT_FALSE(r.IsReady());
  EXPECT_EQ(r.Current(), 0);  // answers 0 instead of reading through a null block
  int32_t v = 7;
  EXPECT_FALSE(r.Read(v));
  EXPECT_FALSE(r.Peek(0, v));
  EXPECT_FALSE(r.Put(1));
  EXPECT_FALSE(r.Push(1));
  EXPECT_FALSE(r.Back());
  EXPECT_FALSE(r.Forward());
  EXPECT_FALSE(r.Drop());
  EXPECT_FALSE(r.Reset());
  EXPECT_EQ(r.ClearForward(), 0);

  EXPECT_FALSE(r.Setup(0, 2));
  EXPECT_FALSE(r.CRingBuf::Setup(0, 2, 0));
  EXPECT_FALSE(r.Setup(INT32_MAX, 1));  // 4*(count+extra) beyond int32
  EXPECT_EQ(CRingBuf::ByteSize(4, INT32_MAX, 1), -1);
  EXPECT_EQ(CRingBuf::ByteSize(4, 3, 2), 20);
  SetMemoryRefusals(1);
  EXPECT_FALSE(r.Setup(3, 0));
  SetMemoryRefusals(0);
  EXPECT_FALSE(r.IsReady());

  ASSERT_TRUE(r.Setup(2, 0));
  ASSERT_TRUE(r.Push(3));
  r.FreeBuffer();
  EXPECT_FALSE(r.IsReady());
  EXPECT_EQ(r.ItemSize(), 0);
  EXPECT_EQ(r.Current(), 0);
}

TEST(RingBufTest, ResizeKeepsNewestBehindAndNearestAhead) {
  CRingBufDWORD r;
  ASSERT_TRUE(r.Setup(3, 2));
  for (int32_t v : {1, 2, 3, 4}) ASSERT_TRUE(r.Push(v));
  ASSERT_TRUE(r.Resize(2, 0));
  EXPECT_EQ(r.SlotCount(), 2);
  EXPECT_EQ(r.BackCount(), 2);
  EXPECT_EQ(Behind(r), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(r.Current(), 4);
  EXPECT_TRUE(r.Resize(2, 0));  // unchanged

  // With items ahead: back 2 (5, 6), forward 2 (7, 8); grow the redo room to 1.
  ASSERT_TRUE(r.Resize(4, 2));
  for (int32_t v : {5, 6, 7, 8}) ASSERT_TRUE(r.Push(v));
  ASSERT_TRUE(r.Back());
  ASSERT_TRUE(r.Back());
  ASSERT_TRUE(r.Resize(2, 1));
  EXPECT_EQ(Behind(r), (std::vector<int32_t>{5, 6}));
  EXPECT_EQ(r.ForwardCount(), 1);
  int32_t v = 0;
  EXPECT_TRUE(r.Peek(1, v));
  EXPECT_EQ(v, 7);
  ASSERT_TRUE(r.Forward());
  EXPECT_EQ(r.Current(), 7);
  // The ring wraps correctly after the resize.
  ASSERT_TRUE(r.Push(10));
  ASSERT_TRUE(r.Push(11));
  EXPECT_EQ(Behind(r), (std::vector<int32_t>{10, 11}));

  // Items ahead cannot survive without a current one; failures leave the ring as it was.
  CRingBufDWORD s;
  ASSERT_TRUE(s.Setup(2, 2));
  ASSERT_TRUE(s.Put(1));
  ASSERT_TRUE(s.Back());  // back 0, forward 1
  EXPECT_FALSE(s.Resize(3, 2));
  EXPECT_FALSE(s.Resize(0, 2));
  EXPECT_FALSE(s.Resize(2, -1));
  SetMemoryRefusals(1);
  EXPECT_FALSE(r.Resize(5, 5));
  SetMemoryRefusals(0);
  EXPECT_EQ(r.SlotCount(), 2);
  EXPECT_EQ(Behind(r), (std::vector<int32_t>{10, 11}));

  // A ring that was never set up becomes ready through Resize.
  CRingBufDWORD t;
  ASSERT_TRUE(t.Resize(2, 0));
  EXPECT_TRUE(t.IsReady());
  EXPECT_EQ(t.BackCount(), 0);
}

}  // namespace
}  // namespace tf
