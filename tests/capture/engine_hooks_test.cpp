// The StartPage and EndDoc hooks hand back what the driver's own entry
// answers, and fail when there is no entry or no PDEV to hook.
#include "capture/engine_hooks.h"

#include <gtest/gtest.h>

#include "capture/pdev_state.h"

namespace {

int gCalls = 0;
winabi::ULONG gFlags = 0;
template <winabi::BOOL kResult>
winabi::BOOL StartPageEntry(winabi::SURFOBJ*) {
  ++gCalls;
  return kResult;
}
template <winabi::BOOL kResult>
winabi::BOOL EndDocEntry(winabi::SURFOBJ*, winabi::ULONG fl) {
  ++gCalls;
  gFlags = fl;
  return kResult;
}

TEST(EngineHooks, AnswerWithTheDriverEntryOrFail) {
  const struct {
    const char* what;
    winabi::PFN_DrvStartPage startPage;
    winabi::PFN_DrvEndDoc endDoc;
    winabi::BOOL expected;
  } cases[] = {
      {"no saved entries", nullptr, nullptr, 0},
      {"entries that fail", &StartPageEntry<0>, &EndDocEntry<0>, 0},
      {"entries that succeed", &StartPageEntry<1>, &EndDocEntry<1>, 1},
  };
  for (const auto& c : cases) {
    capture::PdevState state;
    state.savedDrvStartPage = c.startPage;
    state.savedDrvEndDoc = c.endDoc;
    winabi::DEVOBJ devobj{};
    devobj.pdevOEM = &state;
    winabi::SURFOBJ surface{};
    surface.dhpdev = &devobj;
    gCalls = 0;
    gFlags = 0;
    EXPECT_EQ(capture::StartPageHook(&surface), c.expected) << c.what;
    EXPECT_EQ(state.pageStartPending, 1u) << c.what;
    EXPECT_EQ(capture::EndDocHook(&surface, 0x9), c.expected) << c.what;
    const int entries = c.endDoc != nullptr ? 2 : 0;
    EXPECT_EQ(gCalls, entries) << c.what;
    EXPECT_EQ(gFlags, entries != 0 ? 0x9u : 0u) << c.what;
  }
}

TEST(EngineHooks, FailWithoutAPdevState) {
  winabi::DEVOBJ noState{};
  winabi::SURFOBJ noPdev{};
  winabi::SURFOBJ stateless{};
  stateless.dhpdev = &noState;
  for (winabi::SURFOBJ* pso : {static_cast<winabi::SURFOBJ*>(nullptr), &noPdev, &stateless}) {
    EXPECT_EQ(capture::StartPageHook(pso), 0);
    EXPECT_EQ(capture::EndDocHook(pso, 0), 0);
  }
}

}  // namespace
