// The map of 32-bit keys to 32-bit values (mapDD routines) and CMapDD, its wrapper.
#pragma once
// The image library's map of 32-bit keys to 32-bit values, and CMapDD, its wrapper.
#include <cstdint>

namespace tf {

struct MapDD;  // opaque
using MapDDHandle = MapDD*;

// Result codes of the map routines (0 is success).
enum MapDDResult : int32_t {
  kMapDDOk = 0,
  kMapDDNoMemory = 1,
  kMapDDBadHandle = 2,
  kMapDDKeyMissing = 3,
};

// Creates a map sized for about initialSize keys (negative counts as 0).
int32_t mapDDCreate(MapDDHandle* handle, int32_t initialSize);
// Frees the map; a null handle gives kMapDDBadHandle.
int32_t mapDDDestroy(MapDDHandle handle);
// Non-zero when the key is present; its value then goes to *value (when given).
int32_t mapDDLookup(MapDDHandle handle, uint32_t key, uint32_t* value);
// Adds the key or replaces its value.
int32_t mapDDSetAt(MapDDHandle handle, uint32_t key, uint32_t value);
// Removes the key; kMapDDKeyMissing when it was not there.
int32_t mapDDRemoveKey(MapDDHandle handle, uint32_t key);
// Removes every key.
int32_t mapDDRemoveAll(MapDDHandle handle);

// Keeps the handle and the result of the last call.
class CMapDD {
 public:
  explicit CMapDD(int32_t initialSize);
  ~CMapDD();
  CMapDD(const CMapDD&) = delete;
  CMapDD& operator=(const CMapDD&) = delete;

  // The map exists.
  bool isValid() const { return handle_ != nullptr; }
  int32_t lastResult() const { return lastResult_; }

  bool lookup(uint32_t key, uint32_t& value);
  bool contains(uint32_t key);
  bool setAt(uint32_t key, uint32_t value);
  bool removeKey(uint32_t key);
  bool removeAll();

 private:
  MapDDHandle handle_ = nullptr;
  int32_t lastResult_ = 0;
};

}  // namespace tf
