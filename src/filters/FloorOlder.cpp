// The older floor: filled by the older filter generations.
#include "filters/Floor.h"
#include "platform/Debug.h"

namespace tf {

bool OlderFloorFilter(FilterContext&, const void*, int32_t) {
  DebugOutF("filter Floor: the older floor algorithm (generation 0) is not built yet\n");
  return false;
}

}  // namespace tf
