#pragma once

// A memory stream whose writes are refused from a given byte on, for failure injection: every
// write that would reach past the limit writes only the bytes up to it.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Stream.h"

namespace tf::test {

class FaultStream final : public Stream {
 public:
  // Writes stop after limit bytes written in all (negative: no limit).
  explicit FaultStream(int64_t limit = -1) : limit_(limit) {}
  explicit FaultStream(std::vector<uint8_t> bytes, int64_t limit = -1)
      : memory_(std::move(bytes)), limit_(limit) {
    memory_.Seek(0, SeekOrigin::kEnd);
  }

  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t allowed = count;
    if (limit_ >= 0) allowed = std::clamp<int64_t>(limit_ - written_, 0, count);
    const int64_t n = allowed > 0 ? memory_.Write(buffer, allowed) : 0;
    written_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return memory_.Seek(offset, origin); }
  int64_t Size() override { return memory_.Size(); }
  bool SetSize(int64_t size) override { return memory_.SetSize(size); }
  int64_t Position() override { return memory_.Position(); }

  void SetLimit(int64_t limit) {
    limit_ = limit;
    written_ = 0;
  }
  const std::vector<uint8_t>& Bytes() const { return memory_.Bytes(); }
  MemoryStream& Memory() { return memory_; }

 private:
  MemoryStream memory_;
  int64_t limit_;
  int64_t written_ = 0;
};

}  // namespace tf::test
