// Process attach and PDEV set-up against the host world: where the resource
// module is looked for, the fallback, palettes and GDI+.
#include <gtest/gtest.h>

#include "capture/pdev_state.h"
#include "frame/module.h"
#include "frame/render_plugin.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "support/plugin.h"
#include "support/resource_module.h"

namespace {

using HostFixture = DetachedModuleTest;
using testing_support::NewPlugin;

TEST_F(HostFixture, ResourceModuleComesFromSubfolderThree) {
  host::TheWorld().loadableLibraries = {HostResourceModulePath()};
  frame::OnProcessAttach();
  ASSERT_EQ(host::TheWorld().loadedLibraries.size(), 1u);
  EXPECT_NE(frame::Module().resourceModule, nullptr);
  EXPECT_NE(frame::Module().resourceModule, os::ThisModule());
  // A second attach keeps the handle it has.
  frame::OnProcessAttach();
  EXPECT_EQ(host::TheWorld().loadedLibraries.size(), 1u);
  frame::OnProcessDetach();
  EXPECT_EQ(host::TheWorld().freedLibraries, 1);
  EXPECT_EQ(frame::Module().resourceModule, nullptr);
}

TEST_F(HostFixture, MissingResourceModuleFallsBackToThePlugin) {
  frame::OnProcessAttach();
  EXPECT_EQ(frame::Module().resourceModule, os::ThisModule());
  frame::OnProcessDetach();
  EXPECT_EQ(host::TheWorld().freedLibraries, 0);  // nothing was loaded, nothing freed
}

// The whole resource module path (directory, "/3/", "KLMV47Ar.dll") must fit
// the 260-byte buffer with its terminator; a longer one is cut and not found.
TEST_F(HostFixture, ResourcePathUpToTheBufferLoadsALongerOneFallsBack) {
  const struct {
    std::size_t pathChars;
    bool loads;
  } cases[] = {{259, true}, {260, false}, {280, false}};
  for (const auto& c : cases) {
    host::ResetWorld();
    host::TheWorld().driverDirectory = std::string(c.pathChars - 15, 'd');
    host::TheWorld().loadableLibraries = {HostResourceModulePath()};
    ASSERT_EQ(HostResourceModulePath().size(), c.pathChars);
    frame::OnProcessAttach();
    EXPECT_EQ(frame::Module().resourceModule != os::ThisModule(), c.loads) << c.pathChars;
    frame::OnProcessDetach();
  }
}

// A 24-bit PDEV, which gets a palette of its own.
winabi::HRESULT EnableTrueColour(winabi::IPrintOemUni2* plugin, winabi::DEVOBJ* devobj,
                                 winabi::DEVINFO* devInfo) {
  winabi::GDIINFO gdi{};
  gdi.cBitsPixel = 24;
  return plugin->EnablePDEV(devobj, nullptr, 0, nullptr, 0, &gdi, 0, devInfo, nullptr,
                            &devobj->pdevOEM);
}

TEST_F(HostFixture, TrueColourPdevGetsItsOwnPaletteAndTheLastGdiplusToken) {
  winabi::IPrintOemUni2* plugin = NewPlugin();
  ASSERT_NE(plugin, nullptr);
  winabi::DEVINFO devInfo{};
  winabi::DEVOBJ first{}, second{};
  ASSERT_EQ(EnableTrueColour(plugin, &first, &devInfo), winabi::S_OK);
  EXPECT_EQ(host::TheWorld().palettesCreated, 1);
  EXPECT_NE(devInfo.hpalDefault, nullptr);
  EXPECT_EQ(static_cast<capture::PdevState*>(first.pdevOEM)->paletteHandle, devInfo.hpalDefault);
  const std::uintptr_t firstToken = host::TheWorld().lastGdiplusToken;

  // Two PDEVs: the later token wins and the first DisablePDEV uses it.
  ASSERT_EQ(EnableTrueColour(plugin, &second, &devInfo), winabi::S_OK);
  const std::uintptr_t secondToken = host::TheWorld().lastGdiplusToken;
  EXPECT_NE(firstToken, secondToken);
  EXPECT_EQ(plugin->DisablePDEV(&first), winabi::S_OK);
  EXPECT_EQ(host::TheWorld().lastShutdownToken, secondToken);
  EXPECT_EQ(plugin->DisablePDEV(&second), winabi::S_OK);
  EXPECT_EQ(host::TheWorld().gdiplusShutdowns, 2);
  EXPECT_EQ(plugin->Release(), 0u);
}

TEST_F(HostFixture, FailedPaletteLeavesTheDefaultNull) {
  host::TheWorld().paletteCreationFails = true;
  winabi::IPrintOemUni2* plugin = NewPlugin();
  ASSERT_NE(plugin, nullptr);
  int stale = 0;
  winabi::DEVINFO devInfo{};
  devInfo.hpalDefault = &stale;
  winabi::DEVOBJ devobj{};
  ASSERT_EQ(EnableTrueColour(plugin, &devobj, &devInfo), winabi::S_OK);
  EXPECT_EQ(devInfo.hpalDefault, nullptr);
  EXPECT_EQ(plugin->DisablePDEV(&devobj), winabi::S_OK);
  EXPECT_EQ(plugin->Release(), 0u);
}

}  // namespace
