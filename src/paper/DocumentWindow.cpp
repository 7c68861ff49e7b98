// The installed application host of the documents.
#include "paper/DocumentWindow.h"

#include "platform/HostSlot.h"

namespace tf {

namespace {
using Slot = HostSlot<PaperHost, PaperHost>;
}  // namespace

PaperHost* SetPaperHost(PaperHost* host) { return Slot::Install(host); }

PaperHost& GetPaperHost() { return Slot::Get(); }

SPaperSettings PaperSettings() { return GetPaperHost().Settings(); }

}  // namespace tf
