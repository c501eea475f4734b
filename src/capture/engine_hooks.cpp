// Engine hooks. The PDEV handle of a surface is the universal driver's device
// object, whose pdevOEM is our PdevState.
#include "capture/engine_hooks.h"

#include "capture/page_out.h"
#include "capture/pdev_state.h"
#include "platform/os.h"
#include "settings/form_manager.h"

namespace capture {

namespace {
PdevState* StateOf(winabi::SURFOBJ* pso) {
  if (pso == nullptr || pso->dhpdev == nullptr) return nullptr;
  auto* devobj = static_cast<winabi::DEVOBJ*>(pso->dhpdev);
  return static_cast<PdevState*>(devobj->pdevOEM);
}
}  // namespace

winabi::BOOL StartPageHook(winabi::SURFOBJ* pso) {
  PdevState* state = StateOf(pso);
  if (state == nullptr) return 0;
  state->pageStartPending = 1;
  return state->savedDrvStartPage != nullptr ? state->savedDrvStartPage(pso) : 0;
}

winabi::BOOL EndDocHook(winabi::SURFOBJ* pso, winabi::ULONG fl) {
  PdevState* state = StateOf(pso);
  if (state == nullptr) return 0;
  // A document that captured a page prints its saved page as the last one;
  // a page still being captured (never completed) is discarded.
  if (state->pageBuffer != nullptr) {
    auto* devobj = static_cast<winabi::DEVOBJ*>(pso->dhpdev);
    // Nothing may unwind into the spooler; the document still ends below.
    try {
      PageOut(devobj, true);
      settings::SyncFormsFromRegistry(devobj->hPrinter);
    } catch (...) {
    }
    os::LocalFree(state->pageBuffer);
    state->pageBuffer = nullptr;
    state->pageBufferSize = 0;
  }
  return state->savedDrvEndDoc != nullptr ? state->savedDrvEndDoc(pso, fl) : 0;
}

}  // namespace capture
