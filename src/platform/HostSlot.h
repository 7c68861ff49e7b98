// HostSlot: the installed host of one service, or its default.
#pragma once
// The installed host of one service the core reaches through an interface it owns (input,
// cursor, screen, windows, warnings, questions, tool panes): the one the application or a test
// installed, else a default that stands in while none is (a null, headless or recording one).
//
// One slot per pair of types; each service's source file uses its own pair, so the slot's state
// lives there. The default is made on first use.

namespace tf {

template <class Host, class DefaultHost>
class HostSlot {
 public:
  // Installing null restores the default. Returns the host installed before (the default when
  // none was).
  static Host* Install(Host* host) {
    Host* previous = &Get();
    installed_ = host;
    return previous;
  }
  static Host& Get() { return installed_ ? *installed_ : Default(); }
  static DefaultHost& Default() {
    static DefaultHost host;
    return host;
  }

 private:
  static inline Host* installed_ = nullptr;
};

}  // namespace tf
