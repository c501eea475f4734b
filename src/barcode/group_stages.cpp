#include "barcode/group_stages.h"

namespace barcode {

namespace {
test_hooks::StageObserver stageObserver = nullptr;
}  // namespace

void ObserveStage(const char* stage, const ScanContext& ctx) {
  if (stageObserver != nullptr) stageObserver(stage, ctx);
}

void test_hooks::ObserveStages(StageObserver observer) { stageObserver = observer; }

}  // namespace barcode
