#include "paint/Gradient.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/ByteOrder.h"
#include "raster/ColorMath.h"
#include "raster/FlatImage.h"

namespace tf {

namespace {

int32_t g_nextGradId = 1;

bool IsStop(const SColorSlot& s) { return s.used != 0 && s.active != 0; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Stored records

void ColorSlotToBytes(const SColorSlot& slot, uint8_t out[24]) {
  out[0] = slot.used;
  out[1] = slot.active;
  out[2] = slot.flag;
  out[3] = slot.alpha;
  StoreU32(out + 4, static_cast<uint32_t>(slot.index));
  StoreU32(out + 8, slot.color);
  StoreU32(out + 12, static_cast<uint32_t>(slot.weight));
  StoreU32(out + 16, static_cast<uint32_t>(slot.position));
  StoreU32(out + 20, static_cast<uint32_t>(slot.span));
}

SColorSlot ColorSlotFromBytes(const uint8_t in[24]) {
  SColorSlot s;
  s.used = in[0];
  s.active = in[1];
  s.flag = in[2];
  s.alpha = in[3];
  s.index = static_cast<int32_t>(LoadU32(in + 4));
  s.color = LoadU32(in + 8);
  s.weight = static_cast<int32_t>(LoadU32(in + 12));
  s.position = static_cast<int32_t>(LoadU32(in + 16));
  s.span = static_cast<int32_t>(LoadU32(in + 20));
  return s;
}

void GradOptionToBytes(const SGradOption& option, uint8_t out[8]) {
  out[0] = option.ownOptions;
  out[1] = option.shape;
  out[2] = option.mirror;
  out[3] = option.endless;
  StoreU32(out + 4, static_cast<uint32_t>(option.repeatCount));
}

SGradOption GradOptionFromBytes(const uint8_t in[8]) {
  SGradOption o;
  o.ownOptions = in[0];
  o.shape = in[1];
  o.mirror = in[2];
  o.endless = in[3];
  o.repeatCount = static_cast<int32_t>(LoadU32(in + 4));
  return o;
}

void InitGradOption(SGradOption& option) { option = SGradOption{0, 0, 0, 0, 1}; }

// ---------------------------------------------------------------------------------------------
// CColorSlotGroup

SColorSlot CColorSlotGroup::ResetSlot(int32_t index) {
  SColorSlot s{};
  s.flag = 1;
  s.alpha = 255;
  s.index = index;
  s.color = uint32_t{kSourceFixed} << 24;
  return s;
}

CColorSlotGroup::CColorSlotGroup(int32_t capacity) { Reset(std::max(4, capacity)); }

void CColorSlotGroup::Reset(int32_t capacity) {
  if (capacity > 0) growStep_ = std::clamp(capacity, 4, kMaxSlots - 1);
  highest_ = -1;
  first_ = -1;
  last_ = -1;
  stopCount_ = 0;
  weightSum_ = 0;
  name_ = "untitled";
  std::vector<SColorSlot> slots(static_cast<size_t>(growStep_));
  for (int32_t i = 0; i < growStep_; ++i) slots[i] = ResetSlot(i);
  slots_.swap(slots);
}

void CColorSlotGroup::Clear() {
  highest_ = -1;
  first_ = -1;
  last_ = -1;
  stopCount_ = 0;
  weightSum_ = 0;
  std::vector<SColorSlot>().swap(slots_);
}

bool CColorSlotGroup::Grow(int32_t slotsNeeded) {
  if (slotsNeeded >= kMaxSlots) return false;
  const int32_t capacity = Capacity();
  if (capacity > slotsNeeded) return true;
  int32_t newCapacity = capacity;
  while (newCapacity < slotsNeeded) newCapacity += growStep_;
  newCapacity = std::min(newCapacity, kMaxSlots - 1);
  try {
    slots_.resize(static_cast<size_t>(newCapacity));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t i = highest_ + 1; i < newCapacity; ++i) slots_[i] = ResetSlot(i);
  return true;
}

bool CColorSlotGroup::SetSlot(int32_t index, const SColorSlot& slot) {
  if (index < 0 || index >= kMaxSlots || !Grow(index + 1)) return false;
  slots_[index] = slot;
  if (index > highest_) highest_ = index;
  return true;
}

bool CColorSlotGroup::SetStop(int32_t index, uint32_t colorWord, int32_t weight, uint8_t alpha) {
  SColorSlot s = ResetSlot(index);
  s.used = 1;
  s.active = 1;
  s.alpha = alpha;
  s.color = colorWord;
  s.weight = weight;
  s.position = 0;
  s.span = 0;
  return SetSlot(index, s);
}

SColorSlot* CColorSlotGroup::GetSlot(int32_t index) {
  return index >= 0 && index <= highest_ ? &slots_[index] : nullptr;
}

const SColorSlot* CColorSlotGroup::GetSlot(int32_t index) const {
  return index >= 0 && index <= highest_ ? &slots_[index] : nullptr;
}

bool CColorSlotGroup::DeleteSlot(int32_t index) {
  if (index < 1 || index > highest_) return false;
  for (int32_t i = index; i < highest_; ++i) slots_[i] = slots_[i + 1];
  slots_[highest_] = ResetSlot(highest_);
  --highest_;
  return true;
}

bool CColorSlotGroup::RemoveStop(int32_t index) {
  if (index <= first_ || index >= last_ || index + 1 > highest_) return false;
  SColorSlot& previous = slots_[index - 1];
  previous.weight = SaturateInt32(int64_t{slots_[index + 1].position} - previous.position);
  DeleteSlot(index);
  last_ = LastUsed();
  Normalize();
  return true;
}

int32_t CColorSlotGroup::FirstUsed() const {
  for (int32_t i = 0; i <= highest_; ++i)
    if (IsStop(slots_[i])) return i;
  return -1;
}

int32_t CColorSlotGroup::LastUsed() const {
  for (int32_t i = highest_; i >= 0; --i)
    if (IsStop(slots_[i])) return i;
  return -1;
}

int32_t CColorSlotGroup::NextUsed(int32_t index) const {
  if (index >= highest_) return -1;
  for (int32_t i = std::max(index + 1, 0); i <= highest_; ++i)
    if (IsStop(slots_[i])) return i;
  return -1;
}

bool CColorSlotGroup::Normalize() {
  weightSum_ = 0;
  stopCount_ = 0;
  first_ = FirstUsed();
  last_ = LastUsed();
  if (first_ < 0 || last_ < 0) return false;
  if (first_ == last_) {
    stopCount_ = 1;
    weightSum_ = kFixOne;
    slots_[0].position = 0;
    slots_[0].span = kFixOne;
    return true;
  }
  // Weights come from files and events: negative ones count as 0 and the sum must fit int32.
  int64_t sum = 0;
  int32_t count = 0;
  for (int32_t i = first_; i >= 0 && i < last_; i = NextUsed(i)) {
    sum += std::max(slots_[i].weight, 0);
    ++count;
  }
  ++count;
  if (sum <= 0 || sum > INT32_MAX) return false;
  weightSum_ = static_cast<int32_t>(sum);
  stopCount_ = count;
  int32_t total = 0;
  for (int32_t i = first_; i >= 0 && i < last_; i = NextUsed(i)) {
    const int32_t span = FixDiv(std::max(slots_[i].weight, 0), weightSum_);
    slots_[i].position = total;
    slots_[i].span = span;
    total += span;
  }
  slots_[last_].position = kFixOne;
  slots_[last_].span = 0;
  return true;
}

bool CColorSlotGroup::IsValid() const {
  return stopCount_ > 0 && first_ >= 0 && first_ <= highest_ && last_ >= 0 && last_ <= highest_;
}

bool CColorSlotGroup::AllUsed() const {
  if (!IsValid()) return false;
  for (int32_t i = 0; i <= highest_; ++i)
    if (!IsStop(slots_[i])) return false;
  return true;
}

bool CColorSlotGroup::Equals(const CColorSlotGroup& other) const {
  if (!IsValid() || !other.IsValid() || highest_ != other.highest_) return false;
  return std::memcmp(slots_.data(), other.slots_.data(),
                     static_cast<size_t>(highest_ + 1) * sizeof(SColorSlot)) == 0;
}

bool CColorSlotGroup::GetData(const uint8_t*& data, int32_t& byteSize) const {
  if (highest_ < 0) {
    data = nullptr;
    byteSize = 0;
    return false;
  }
  data = reinterpret_cast<const uint8_t*>(slots_.data());
  byteSize = (highest_ + 1) * kColorSlotBytes;
  return true;
}

bool CColorSlotGroup::SetDynamicColors(uint32_t foreground, uint32_t background) {
  if (highest_ < 1) return false;
  for (int32_t i = 0; i <= highest_; ++i) {
    SColorSlot& s = slots_[i];
    const uint32_t source = s.color >> 24;
    if (source == kSourceForeground)
      s.color = (foreground & 0xFFFFFFu) | (uint32_t{kSourceForeground} << 24);
    else if (source == kSourceBackground)
      s.color = (background & 0xFFFFFFu) | (uint32_t{kSourceBackground} << 24);
  }
  return Normalize();
}

bool CColorSlotGroup::CopyTo(CColorSlotGroup* target) const {
  if (target == nullptr || !AllUsed()) return false;
  if (target == this) return true;
  while (target->last_ > 1) {
    if (!target->RemoveStop(1)) {
      // Stops the target cannot give up one by one: start it afresh.
      target->Reset(0);
      break;
    }
  }
  for (int32_t i = first_; i <= last_; ++i)
    if (!target->SetSlot(i, slots_[i])) return false;
  target->name_ = name_;
  return target->Normalize();
}

std::unique_ptr<CColorSlotGroup> CColorSlotGroup::CreateCompactCopy() {
  if (!Normalize()) return nullptr;
  try {
    auto copy = std::make_unique<CColorSlotGroup>(growStep_);
    int32_t k = 0;
    for (int32_t i = first_; i >= 0; i = (i == last_) ? -1 : NextUsed(i))
      if (!copy->SetSlot(k++, slots_[i])) return nullptr;
    if (!copy->Normalize()) return nullptr;
    copy->name_ = name_;
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

uint32_t CColorSlotGroup::SlotColor(int32_t index) const {
  if (index < 0 || index >= Capacity()) return 0;
  const SColorSlot& s = slots_[index];
  return (s.color & 0xFFFFFFu) | (uint32_t{s.alpha} << 24);
}

uint32_t CColorSlotGroup::ColorAt(int32_t f) const {
  if (stopCount_ < 2 || f <= 0) return SlotColor(0);
  if (f >= kFixOne) return SlotColor(last_);
  const int32_t n = std::min(stopCount_ - 1, Capacity() - 1);
  for (int32_t i = 0; i < n; ++i) {
    const SColorSlot& s = slots_[i];
    if (int64_t{s.position} + s.span >= f) {
      // Positions and spans are Normalize's in a compact group; others are kept in range.
      const int64_t offset = int64_t{f} - s.position;
      int32_t k;
      if (s.span <= 0)
        k = offset > 0 ? kFixOne : 0;
      else
        k = FixDiv(SaturateInt32(offset), s.span);
      return LerpColor(SlotColor(i), SlotColor(i + 1), std::clamp(k, 0, kFixOne));
    }
  }
  return SlotColor(last_);
}

uint32_t LerpColor(uint32_t a, uint32_t b, int32_t k) {
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int32_t x = static_cast<int32_t>((a >> shift) & 0xFFu);
    const int32_t y = static_cast<int32_t>((b >> shift) & 0xFFu);
    const int32_t v = x + (((y - x) * k) >> 16);  // arithmetic shift: the floor
    result |= static_cast<uint32_t>(v & 0xFF) << shift;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// CGradObj

void ResetGradIdCounter(int32_t next) { g_nextGradId = next; }

CGradObj::CGradObj() : id_(g_nextGradId++), stops_(std::make_unique<CColorSlotGroup>(16)) {
  InitGradOption(options_);
}

CGradObj::~CGradObj() {
  stops_.reset();
  options_ = SGradOption{};
}

std::unique_ptr<CGradObj> CGradObj::CreateCopy(const CGradObj& source) {
  auto copy = std::make_unique<CGradObj>();
  copy->Assign(source);
  return copy;
}

std::unique_ptr<CGradObj> CGradObj::CreateTwoColor(uint32_t color0, uint32_t color1, const std::string& name) {
  auto g = std::make_unique<CGradObj>();
  g->stops_->SetName(name);
  g->stops_->SetStop(0, color0, kFixOne, 255);
  g->stops_->SetStop(1, color1, kFixOne, 255);
  g->stops_->Normalize();
  return g;
}

void CGradObj::SetOptions(const SGradOption& option) {
  options_ = option;
  if (options_.repeatCount <= 0) options_.repeatCount = 1;
}

bool CGradObj::Assign(const CGradObj& source) {
  SetOptions(source.options_);
  return source.stops_->CopyTo(stops_.get());
}

void CGradObj::SetDefaultName(int32_t n) { stops_->SetName("untitled" + std::to_string(n)); }

void CGradObj::Normalize() {
  if (stops_) stops_->Normalize();
}

int32_t CGradObj::RenewId() {
  const int32_t old = id_;
  id_ = g_nextGradId++;
  return old;
}

// ---------------------------------------------------------------------------------------------
// CGradation

float AngleOf(float x, float y) {
  if (x != 0.0f) {
    float a = static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)) / 6.283185307179586);
    if (a < 0.0f) a = a + 1.0f;
    return a;
  }
  return y >= 0.0f ? 0.25f : 0.75f;
}

namespace {

enum RepeatKind { kRepeatCount, kRepeatEndless, kRepeatRadial };

using Geom = CGradation::Geometry;

inline float Frac(float t) { return t - std::trunc(t); }

template <int Shape>
inline float ShapeValue(const Geom& g, float vx, float vy) {
  if constexpr (Shape == kGradLinear) {
    // A line of zero length has no direction: the first stop everywhere.
    if (g.lengthSq == 0.0f) return 0.0f;
    return (g.direction.x * vx + g.direction.y * vy) / g.lengthSq;
  } else if constexpr (Shape == kGradRadial) {
    float t = AngleOf(vx, vy) - g.referenceAngle;
    while (t < 0.0f) t = t + 1.0f;
    while (t > 1.0f) t = t - 1.0f;
    return t;
  } else {
    if (g.scale.x == 0.0f || g.scale.y == 0.0f) return 0.0f;
    const float a = vx / g.scale.x;
    const float b = vy / g.scale.y;
    return std::sqrt(a * a + b * b);
  }
}

template <int Repeat>
inline float RepeatValue(const Geom& g, float t) {
  if constexpr (Repeat == kRepeatCount) {
    if (t > 0.0f && static_cast<double>(t) < static_cast<double>(g.repeatCount)) return Frac(t);
    return t;
  } else if constexpr (Repeat == kRepeatEndless) {
    if (t >= 0.0f) return Frac(t);
    return 1.0f - Frac(-t);
  } else {
    return Frac(t / g.reciprocal);
  }
}

inline float MapMirror(float t) {
  if (t <= 0.0f) return 0.0f;
  if (t <= 0.5f) return 2.0f * t;
  if (t < 1.0f) return 2.0f * (1.0f - t);
  return 0.0f;
}

template <int Shape, int Repeat, bool Mirror>
inline uint32_t ColorAtT(const Geom& g, const CColorSlotGroup& stops, float vx, float vy) {
  float t = ShapeValue<Shape>(g, vx, vy);
  t = RepeatValue<Repeat>(g, t);
  if constexpr (Mirror) t = MapMirror(t);
  return stops.ColorAt(SingleToFix(t));
}

template <int Shape, int Repeat, bool Mirror>
uint32_t ColorFuncT(const Geom& g, const CColorSlotGroup& stops, float vx, float vy) {
  return ColorAtT<Shape, Repeat, Mirror>(g, stops, vx, vy);
}

template <int Shape, int Repeat, bool Mirror>
void RowFuncT(const Geom& g, const CColorSlotGroup& stops, uint32_t* row, int32_t x, int32_t y, int32_t width) {
  const float vy = static_cast<float>(y) - g.start.y;
  for (int32_t i = 0; i < width; ++i) {
    const float vx = static_cast<float>(x + i) - g.start.x;
    row[i] = ColorToPixel(ColorAtT<Shape, Repeat, Mirror>(g, stops, vx, vy));
  }
}

}  // namespace

CGradation::CGradation(const CColorSlotGroup* stops) : stops_(stops) {
  SetLine(TPoint{0, 0}, TPoint{100 * kFixOne, 0});
  SetOptions(kGradLinear, 0, 0, 1);
}

CGradation::CGradation(const TPoint& start, const TPoint& end, const CColorSlotGroup* stops) : stops_(stops) {
  SetLine(start, end);
  SetOptions(kGradLinear, 0, 0, 1);
}

bool CGradation::SetOptions(int32_t shape, int32_t mirror, int32_t endless, int32_t repeatCount) {
  if (shape < 0 || shape > 2 || mirror < 0 || mirror > 1 || endless < 0 || endless > 1 || repeatCount <= 0)
    return false;
  options_.shape = static_cast<uint8_t>(shape);
  options_.mirror = static_cast<uint8_t>(mirror);
  options_.endless = static_cast<uint8_t>(endless);
  options_.repeatCount = repeatCount;
  // The count stays an integer and its reciprocal is rounded once: above 2^24 a count held as
  // a single would round.
  g_.repeatCount = repeatCount;
  g_.reciprocal = static_cast<float>(1.0 / static_cast<double>(repeatCount));

  // Routines by [shape][endless][mirror]; the radial shape always repeats around the start.
  struct Routines {
    ColorFunc color;
    RowFunc row;
  };
#define TF_ROUTINES(S, R, M) \
  Routines { &ColorFuncT<S, R, M>, &RowFuncT<S, R, M> }
  static constexpr Routines kRoutines[3][2][2] = {
      {{TF_ROUTINES(kGradLinear, kRepeatCount, false), TF_ROUTINES(kGradLinear, kRepeatCount, true)},
       {TF_ROUTINES(kGradLinear, kRepeatEndless, false), TF_ROUTINES(kGradLinear, kRepeatEndless, true)}},
      {{TF_ROUTINES(kGradRadial, kRepeatRadial, false), TF_ROUTINES(kGradRadial, kRepeatRadial, true)},
       {TF_ROUTINES(kGradRadial, kRepeatRadial, false), TF_ROUTINES(kGradRadial, kRepeatRadial, true)}},
      {{TF_ROUTINES(kGradCircular, kRepeatCount, false), TF_ROUTINES(kGradCircular, kRepeatCount, true)},
       {TF_ROUTINES(kGradCircular, kRepeatEndless, false), TF_ROUTINES(kGradCircular, kRepeatEndless, true)}}};
#undef TF_ROUTINES
  const Routines& chosen = kRoutines[shape][endless][mirror];
  colorFunc_ = chosen.color;
  rowFunc_ = chosen.row;
  return true;
}

void CGradation::SetLine(const TPoint& start, const TPoint& end) {
  start16_ = start;
  end16_ = end;
  g_.start = SPointF{FixToSingle(start.x), FixToSingle(start.y)};
  g_.end = SPointF{FixToSingle(end.x), FixToSingle(end.y)};
  // The difference is taken in 16.16 (64 bits, so far-apart points cannot wrap), then as singles.
  const int64_t dx16 = int64_t{end.x} - start.x;
  const int64_t dy16 = int64_t{end.y} - start.y;
  direction16_ = TPoint{static_cast<int32_t>(static_cast<uint32_t>(dx16)),
                        static_cast<int32_t>(static_cast<uint32_t>(dy16))};
  const float dx = static_cast<float>(dx16) * (1.0f / 65536.0f);
  const float dy = static_cast<float>(dy16) * (1.0f / 65536.0f);
  g_.direction = SPointF{dx, dy};
  g_.lengthSq = dx * dx + dy * dy;
  g_.referenceAngle = AngleOf(dx, dy);
  if (options_.shape == kGradCircular) {
    g_.scale.x = dx != 0.0f ? dx : dy;
    g_.scale.y = dy != 0.0f ? dy : dx;
  } else {
    const float m = std::max(std::fabs(dx), std::fabs(dy));
    g_.scale = SPointF{m, m};
  }
}

void CGradation::GetLine(TPoint& start, TPoint& end) const {
  start = start16_;
  end = end16_;
}

uint32_t CGradation::ColorAt(int32_t x, int32_t y) const {
  if (stops_ == nullptr || colorFunc_ == nullptr) return 0;
  return colorFunc_(g_, *stops_, static_cast<float>(x) - g_.start.x, static_cast<float>(y) - g_.start.y);
}

bool CGradation::FillRect(TMTC& image, SRectWH& rect) const {
  if (stops_ == nullptr || rowFunc_ == nullptr) return false;
  if (!image.ClipRect(rect)) return false;
  for (int32_t y = rect.top; y < rect.top + rect.height; ++y)
    rowFunc_(g_, *stops_, image.Pixel(rect.left, y), rect.left, y, rect.width);
  return true;
}

bool DrawGradientSample(TMTC& image, const CGradObj& gradient, const SGradOption& option) {
  if (!image.IsValid() || gradient.Stops() == nullptr || option.repeatCount <= 0) return false;
  const int32_t w = image.Width();
  const int32_t h = image.Height();
  // The line is kept in 16.16.
  if (w > 32768 || h > 32768) return false;
  const int32_t n = option.endless ? 10 : std::min(option.repeatCount, 10);
  const Fixed cx = ((w - 1) << 16) / 2;
  const Fixed cy = ((h - 1) << 16) / 2;
  TPoint start{0, 0};
  TPoint end{0, 0};
  switch (option.shape) {
    case kGradLinear:
      // FixDiv((w - 1) << 16, n << 16), taken without the shifts so wide images cannot wrap.
      end = TPoint{FixDiv(w - 1, n), 0};
      break;
    case kGradRadial:
      start = TPoint{cx, cy};
      end = TPoint{(w - 1) << 16, cy};
      break;
    case kGradCircular:
      start = TPoint{cx, cy};
      end = TPoint{cx + FixDiv(std::max(cx, cy), n << 16), cy};
      break;
    default: return false;
  }
  CGradation renderer(start, end, gradient.Stops());
  if (!renderer.SetOptions(option.shape, option.mirror, option.endless, option.repeatCount)) return false;
  SRectWH rect{0, 0, w, h};
  return renderer.FillRect(image, rect);
}

}  // namespace tf
