// TMyFile and TMyMemory: an exact-count file and a growable byte buffer.
#pragma once
// TMyFile: a file read and written in exact byte counts.
// TMyMemory: a growable byte buffer with separate read and write positions; the carrier of
// the older version's event streams and a scratch buffer.
#include <cstdint>
#include <string>

#include "platform/Stream.h"

namespace tf {

// Size of a file in bytes; -1 when it cannot be opened or is not a regular file.
int64_t FileSizeByName(const std::string& path);

class TMyFile {
 public:
  TMyFile() = default;  // no file
  ~TMyFile() { Close(); }
  TMyFile(const TMyFile&) = delete;
  TMyFile& operator=(const TMyFile&) = delete;

  // Opens an existing file read-only at position 0; false when it cannot be opened.
  bool OpenRead(const std::string& path);
  // Creates or truncates the file, read-write, at position 0; false on failure.
  bool CreateFile(const std::string& path);
  // True only when exactly count bytes were read or written.
  bool Read(void* buffer, int32_t count);
  bool Write(const void* buffer, int32_t count);
  // Four bytes as a little-endian 32-bit value. A short read gives 0 and sets *ok false.
  uint32_t ReadDWord(bool* ok = nullptr);
  // Closes the file when one is open; no file afterwards.
  void Close() { stream_.Close(); }

  bool IsOpen() const { return stream_.IsOpen(); }
  // The underlying stream, for seeking and sizes.
  FileStream& GetStream() { return stream_; }

 private:
  FileStream stream_;
};

class TMyMemory {
 public:
  // A block of initialSize bytes (none for 0); the growth step is initialSize.
  // Raises std::bad_alloc when the block cannot be allocated.
  explicit TMyMemory(int32_t initialSize = 0);
  ~TMyMemory();
  TMyMemory(TMyMemory&& other) noexcept;
  TMyMemory& operator=(TMyMemory&& other) noexcept;
  TMyMemory(const TMyMemory&) = delete;
  TMyMemory& operator=(const TMyMemory&) = delete;

  // Makes room for n bytes at the write position: when write position + n > capacity, the
  // block grows by max(n, growth step). Raises std::bad_alloc when it cannot (also when the
  // capacity would pass the 32-bit range).
  void Grow(int32_t n);
  // Appends n bytes (they may lie in this buffer: the copy follows a block that grows).
  void Write(const void* data, int32_t n);
  // Little-endian 16-bit value at write position + offset; the write position advances by 2
  // only when offset is 0. False (nothing stored) when the place lies outside the block.
  bool WriteWord(uint16_t value, int32_t offset = 0);
  // Appends little-endian values.
  void WriteByte(uint8_t value) { Write(&value, 1); }
  void WriteDWord(uint32_t value);
  // Write position += n without writing or growing; kept within 0 .. capacity.
  void SkipWrite(int32_t n);
  // Write position := pos, kept within 0 .. capacity.
  void SetWritePos(int32_t pos);

  // Values at read position + offset; the read position advances by the value's size only
  // when offset is 0. A value that is not wholly inside the written bytes reads as 0 and sets
  // the overrun flag (the position still advances).
  uint8_t ReadByte(int32_t offset = 0);
  uint16_t ReadWord(int32_t offset = 0);
  int16_t ReadSmallInt(int32_t offset = 0);
  uint32_t ReadDWord(int32_t offset = 0);
  int32_t ReadInt32(int32_t offset = 0) { return static_cast<int32_t>(ReadDWord(offset)); }
  // Copies n bytes at the read position and advances; on overrun the bytes are zeroed,
  // the flag set and the result false.
  bool Read(void* data, int32_t n);
  // Read position += n. A skip past the written bytes sets the overrun flag; the read position
  // never goes below 0 (a step back past the start stops at 0 and sets the flag). Skipping
  // never grows the block, so a count taken from damaged data allocates nothing.
  void SkipRead(int32_t n);
  void RewindRead() { readPos_ = 0; }

  // Set by any read outside the written bytes; stays set until ClearOverrun, Clear or a load.
  bool Overrun() const { return overrun_; }
  void ClearOverrun() { overrun_ = false; }

  // Both positions 0 and the overrun flag cleared; block and capacity kept.
  void Clear();
  // Replaces the contents with the whole file: read position 0, write position and capacity
  // the file's size; the growth step stays. False (contents unchanged) when the file cannot be
  // opened, is larger than the 32-bit range, or cannot be read completely, or memory runs out.
  bool LoadFromFile(const std::string& path);

  uint8_t* GetBuffer() { return block_; }
  const uint8_t* GetBuffer() const { return block_; }
  uint8_t* GetReadPtr() { return block_ + readPos_; }
  uint8_t* GetWritePtr() { return block_ + writePos_; }
  // Bytes between the read and the write position (negative after reading past the end).
  int32_t GetUnreadSize() const { return writePos_ - readPos_; }

  int32_t GetReadPos() const { return readPos_; }
  int32_t GetWritePos() const { return writePos_; }
  int32_t GetCapacity() const { return capacity_; }
  int32_t GetGrowthStep() const { return growthStep_; }

 private:
  // Address of a size-byte value at read position + offset, or null (overrun set).
  const uint8_t* ReadPlace(int32_t offset, int32_t size);
  void AdvanceRead(int32_t n);

  uint8_t* block_ = nullptr;
  int32_t readPos_ = 0;
  int32_t capacity_ = 0;
  int32_t writePos_ = 0;
  int32_t growthStep_ = 0;
  bool overrun_ = false;
};

}  // namespace tf
