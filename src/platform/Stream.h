// Byte streams (files, growable memory, fixed blocks) and the atomic save.
#pragma once
// Byte streams: files over descriptors, growable memory, and a fixed caller-owned block.
// Reads and writes return counts and never raise; ReadExact and WriteExact are the
// exact-count forms most callers want. Values in files are little-endian.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tf {

enum class SeekOrigin : int32_t { kBegin = 0, kCurrent = 1, kEnd = 2 };

class Stream {
 public:
  virtual ~Stream() = default;

  // Reads up to count bytes at the position and advances past them; returns how many were
  // read (0 at the end, on an error, or when count <= 0).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes at the position and advances past them; returns how many were
  // written (less than count when the stream refuses or fails).
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position, or -1 (position unchanged) when the result
  // would be negative or the stream cannot seek. Positions past the end are allowed.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // Size in bytes; -1 when it cannot be told.
  virtual int64_t Size() = 0;
  // Cuts or extends (with zero bytes) the stream to size bytes. A position past the new end
  // moves to the new end. False when the stream cannot change its size.
  virtual bool SetSize(int64_t size) = 0;
  // Current position; -1 when it cannot be told.
  virtual int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }

  // Seek that must arrive: true only when the position is now `position`.
  bool SetPosition(int64_t position) { return position >= 0 && Seek(position, SeekOrigin::kBegin) == position; }
  // Bytes from the position to the end (0 when at or past the end or unknown).
  int64_t Remaining();

  // True only when exactly count bytes were read or written (count 0 is true).
  bool ReadExact(void* buffer, int64_t count);
  bool WriteExact(const void* buffer, int64_t count);

  // Little-endian values; false (value 0) on a short read.
  bool ReadU8(uint8_t& value);
  bool ReadU16(uint16_t& value);
  bool ReadU32(uint32_t& value);
  bool ReadI32(int32_t& value);
  bool ReadU64(uint64_t& value);
  bool WriteU8(uint8_t value);
  bool WriteU16(uint16_t value);
  bool WriteU32(uint32_t value);
  bool WriteI32(int32_t value);
  bool WriteU64(uint64_t value);

  // Copies count bytes from source's position to this stream's position; returns how many were
  // copied (short when source ends or this stream refuses).
  int64_t CopyFrom(Stream& source, int64_t count);
};

// How a file is opened.
enum class FileMode : int32_t {
  kCreate,         // create or truncate, read and write
  kOpenRead,       // existing file, read only
  kOpenWrite,      // existing file, write only, contents kept
  kOpenReadWrite,  // existing file, read and write, contents kept
};

// A stream over a file descriptor. "No file" is a state of its own: Descriptor() is -1 then,
// and every operation fails. Descriptor 0 is an ordinary descriptor.
class FileStream final : public Stream {
 public:
  FileStream() = default;
  ~FileStream() override;
  FileStream(FileStream&& other) noexcept;
  FileStream& operator=(FileStream&& other) noexcept;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Each closes a file already open first; false (no file) on failure, LastError() tells why.
  bool Open(const std::string& path, FileMode mode);
  bool Create(const std::string& path) { return Open(path, FileMode::kCreate); }
  bool OpenRead(const std::string& path) { return Open(path, FileMode::kOpenRead); }
  bool OpenReadWrite(const std::string& path) { return Open(path, FileMode::kOpenReadWrite); }
  // Takes ownership of an open descriptor (closing a file already open first).
  void Adopt(int descriptor, const std::string& path, FileMode mode);

  bool IsOpen() const { return descriptor_ >= 0; }
  int Descriptor() const { return descriptor_; }
  const std::string& Path() const { return path_; }
  FileMode Mode() const { return mode_; }
  // errno of the last failed operation (0 when none failed).
  int LastError() const { return lastError_; }

  // Flushes the file's data to the disk.
  bool Sync();
  // Closes the file; false when closing reported an error (data may be lost). Closing with no
  // file open is true.
  bool Close();

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override;
  bool SetSize(int64_t size) override;

 private:
  int descriptor_ = -1;
  FileMode mode_ = FileMode::kOpenRead;
  int lastError_ = 0;
  std::string path_;
};

// A file stream opened in the given mode, or null when it cannot be opened.
std::unique_ptr<FileStream> TryCreateFileStream(const std::string& path, FileMode mode);

// A growable stream in memory. A write past the end extends it (a gap is zero-filled).
class MemoryStream final : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  bool SetSize(int64_t size) override;
  int64_t Position() override { return position_; }

  uint8_t* Data() { return bytes_.data(); }
  const uint8_t* Data() const { return bytes_.data(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // Hands out the contents and leaves the stream empty.
  std::vector<uint8_t> TakeBytes();
  // Empties the stream; position 0.
  void Clear();

  // Replaces the contents with the whole file (position 0); on failure the stream is unchanged.
  bool LoadFromFile(const std::string& path);
  // Replaces the contents with the rest of source; on failure the stream is unchanged.
  bool LoadFromStream(Stream& source);

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};

// A stream over a block its creator owns. Neither its size nor its block ever changes: a
// write that would pass the end of the block is refused whole (returns 0), SetSize succeeds
// only for the current size. Made from a const block, it refuses every write.
class FixedMemoryStream final : public Stream {
 public:
  FixedMemoryStream() = default;
  FixedMemoryStream(void* block, int64_t size);
  FixedMemoryStream(const void* block, int64_t size);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return size_; }
  bool SetSize(int64_t size) override { return size == size_; }
  int64_t Position() override { return position_; }

  const void* Data() const { return block_; }
  bool IsWritable() const { return writable_; }
  // Returns the block and leaves the stream empty (no block, size 0, position 0).
  void* Detach();

 private:
  uint8_t* block_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
  bool writable_ = false;
};

// The permissions an atomic save gives the file it writes: kKeepFileMode keeps those of the
// file it replaces and gives a new file those a plain create would give; any other value
// (0600, 0644, ...) is given to the file whatever was there before.
inline constexpr int kKeepFileMode = -1;

// Replaces a file only when the new contents are complete. Begin creates a temporary file in
// the target's folder; Commit flushes it to the disk and renames it over the target. When
// the writer is abandoned or destroyed before Commit, or Commit fails, the temporary file is
// removed and the target is as it was. This is the one way the program replaces a file.
//
// Where the file system offers it (O_TMPFILE), the temporary file has no name while it is
// written, so a process killed then leaves nothing; Commit links it under a temporary name and
// renames that over the target. Elsewhere it is a named file ".<target name>.tmp-XXXXXX". Every
// temporary holds an exclusive flock from creation to rename, and Begin first removes the
// temporaries of the target's naming that no process holds (left by a writer that was killed),
// never one that a live writer is filling.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Starts a new file for target (abandoning one already begun), to be given the permissions
  // `mode` names (see kKeepFileMode). False when the temporary file cannot be created.
  bool Begin(const std::string& targetPath, int mode = kKeepFileMode);
  // The temporary file, open for reading and writing. Valid between Begin and Commit.
  FileStream& GetStream() { return stream_; }
  // Flushes, closes and renames the temporary file over the target, with the permissions
  // Begin was given.
  bool Commit();
  // Closes and removes the temporary file; the target is untouched.
  void Abandon();

  bool IsActive() const { return stream_.IsOpen(); }
  const std::string& TargetPath() const { return target_; }
  // The temporary file's name; an unnamed temporary is given it only in Commit.
  const std::string& TempPath() const { return temp_; }
  // True while the temporary file has no name (between Begin and Commit on O_TMPFILE).
  bool IsUnnamed() const { return unnamed_; }
  int LastError() const { return lastError_; }

 private:
  void ReleaseLock();

  FileStream stream_;
  std::string target_;
  std::string temp_;
  bool unnamed_ = false;
  int lockDescriptor_ = -1;  // holds the temporary's flock until the rename is done
  int mode_ = kKeepFileMode;
  int lastError_ = 0;
};

// Whether atomic saves may use unnamed temporary files (O_TMPFILE); on by default. Tests turn
// it off to take the named path on any file system. Returns the setting before.
bool AllowUnnamedTemporaryFiles(bool allowed);

// Writes a file through AtomicFileWriter: the target is replaced only when write returns true
// and the new contents reach the disk. mode as AtomicFileWriter::Begin. When error is given it
// receives the errno of a failed step (0 when write itself returned false).
bool SaveFileAtomically(const std::string& targetPath, const std::function<bool(Stream&)>& write,
                        int mode = kKeepFileMode, int* error = nullptr);

// Makes a folder and every missing folder above it (mode 0700). True when the folder exists
// afterwards; false for an empty path.
bool MakeFolders(const std::string& folder);

}  // namespace tf
