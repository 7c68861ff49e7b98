#include "platform/DWordMap.h"

#include <cstddef>
#include <new>
#include <unordered_map>

namespace tf {

struct MapDD {
  std::unordered_map<uint32_t, uint32_t> items;
};

int32_t mapDDCreate(MapDDHandle* handle, int32_t initialSize) {
  if (!handle) return kMapDDBadHandle;
  *handle = nullptr;
  try {
    auto* map = new MapDD;
    if (initialSize > 0) {
      try {
        map->items.reserve(static_cast<size_t>(initialSize));
      } catch (const std::bad_alloc&) {
        delete map;
        return kMapDDNoMemory;
      }
    }
    *handle = map;
    return kMapDDOk;
  } catch (const std::bad_alloc&) {
    return kMapDDNoMemory;
  }
}

int32_t mapDDDestroy(MapDDHandle handle) {
  if (!handle) return kMapDDBadHandle;
  delete handle;
  return kMapDDOk;
}

int32_t mapDDLookup(MapDDHandle handle, uint32_t key, uint32_t* value) {
  if (!handle) return 0;
  auto it = handle->items.find(key);
  if (it == handle->items.end()) return 0;
  if (value) *value = it->second;
  return 1;
}

int32_t mapDDSetAt(MapDDHandle handle, uint32_t key, uint32_t value) {
  if (!handle) return kMapDDBadHandle;
  try {
    handle->items.insert_or_assign(key, value);
    return kMapDDOk;
  } catch (const std::bad_alloc&) {
    return kMapDDNoMemory;
  }
}

int32_t mapDDRemoveKey(MapDDHandle handle, uint32_t key) {
  if (!handle) return kMapDDBadHandle;
  return handle->items.erase(key) ? kMapDDOk : kMapDDKeyMissing;
}

int32_t mapDDRemoveAll(MapDDHandle handle) {
  if (!handle) return kMapDDBadHandle;
  handle->items.clear();
  return kMapDDOk;
}

CMapDD::CMapDD(int32_t initialSize) { lastResult_ = mapDDCreate(&handle_, initialSize); }

CMapDD::~CMapDD() {
  if (handle_) mapDDDestroy(handle_);
}

bool CMapDD::lookup(uint32_t key, uint32_t& value) {
  lastResult_ = handle_ ? kMapDDOk : kMapDDBadHandle;
  return mapDDLookup(handle_, key, &value) != 0;
}

bool CMapDD::contains(uint32_t key) {
  uint32_t value = 0;
  return lookup(key, value);
}

bool CMapDD::setAt(uint32_t key, uint32_t value) {
  lastResult_ = mapDDSetAt(handle_, key, value);
  return lastResult_ == kMapDDOk;
}

bool CMapDD::removeKey(uint32_t key) {
  lastResult_ = mapDDRemoveKey(handle_, key);
  return lastResult_ == kMapDDOk;
}

bool CMapDD::removeAll() {
  lastResult_ = mapDDRemoveAll(handle_);
  return lastResult_ == kMapDDOk;
}

}  // namespace tf
