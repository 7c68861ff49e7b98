#include "filters/qt/FilterDialogsQt.h"

#include <memory>

#include "filters/FilterCommands.h"
#include "filters/FilterDialogValues.h"
#include "filters/qt/NeighbourDialogs.h"

namespace tf {

namespace {

class TQtFilterDialogHost : public FilterDialogHost {
 public:
  explicit TQtFilterDialogHost(FilterModalRunner runner) : runner_(std::move(runner)) {}
  bool RunFilterDialog(const SFilterCatalogueRow& row, CFlt4Core& core, void* block) override {
    if (IsNeighbourDialog(row.key)) return RunNeighbourDialog(row.key, core, runner_, block);
    // The remaining dialogs come with their own filters' work: the default says so and refuses.
    return FilterDialogHost::RunFilterDialog(row, core, block);
  }

 private:
  FilterModalRunner runner_;
};

std::unique_ptr<TQtFilterDialogHost> gHost;

}  // namespace

void InstallFilterDialogs(FilterModalRunner runner) {
  auto host = std::make_unique<TQtFilterDialogHost>(std::move(runner));
  SetFilterDialogHost(host.get());
  gHost = std::move(host);
}

void UninstallFilterDialogs() {
  if (gHost == nullptr) return;
  SetFilterDialogHost(nullptr);
  gHost.reset();
}

}  // namespace tf
