// RenderPlugin through its interface: GetInfo, method names, driver
// interface, raw output, engine hooks and PDEV set-up.
#include "frame/render_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "capture/engine_hooks.h"
#include "capture/job_state.h"
#include "capture/pdev_state.h"
#include "frame/module.h"
#include "platform/os.h"
#include "support/fake_driver.h"
#include "support/plugin.h"

namespace {

struct PluginFixture : ::testing::Test {
  winabi::IPrintOemUni2* plugin = nullptr;
  void SetUp() override { ASSERT_NE(plugin = testing_support::NewPlugin(), nullptr); }
  void TearDown() override {
    if (plugin != nullptr) {
      EXPECT_EQ(plugin->Release(), 0u);
    }
    EXPECT_EQ(frame::Module().objectCount.load(), 0);
  }
};

TEST_F(PluginFixture, QueryInterfaceAcceptsOnlyUnknownAndUni2) {
  struct Case {
    const winabi::GUID* iid;
    winabi::HRESULT expected;
  } cases[] = {{&winabi::IID_IUnknown, winabi::S_OK},
               {&winabi::IID_IPrintOemUni2, winabi::S_OK},
               {&winabi::IID_IPrintOemUni, winabi::E_NOINTERFACE},
               {&winabi::IID_IClassFactory, winabi::E_NOINTERFACE},
               {&winabi::IID_IPrintOemDriverUni, winabi::E_NOINTERFACE}};
  for (const Case& c : cases) {
    void* out = &out;
    EXPECT_EQ(plugin->QueryInterface(*c.iid, &out), c.expected);
    if (c.expected == winabi::S_OK) {
      EXPECT_EQ(out, plugin);
      EXPECT_EQ(plugin->Release(), 1u);
    } else {
      EXPECT_EQ(out, nullptr);
    }
  }
}

TEST_F(PluginFixture, GetInfoBufferRules) {
  struct Case {
    winabi::DWORD mode;
    winabi::DWORD bufferSize;
    bool nullBuffer;
    winabi::HRESULT expected;
    winabi::DWORD lastError;  // checked on failure
    winabi::DWORD needed;     // 0xFFFF: untouched
    winabi::DWORD value;      // checked on success ("TFSM" for the signature)
  } cases[] = {
      {1, 4, false, winabi::S_OK, 0, 4, 0x4D534654}, {3, 8, false, winabi::S_OK, 0, 4, 1},
      {2, 4, false, winabi::E_FAIL, 87, 0xFFFF, 0},  {0, 4, false, winabi::E_FAIL, 87, 0xFFFF, 0},
      {1, 3, false, winabi::E_FAIL, 122, 4, 0},      {3, 4, true, winabi::E_FAIL, 122, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " size " << c.bufferSize);
    winabi::DWORD buffer[2] = {0xAAAAAAAA, 0xAAAAAAAA};
    winabi::DWORD needed = 0xFFFF;
    os::SetLastError(0);
    const winabi::HRESULT hr =
        plugin->GetInfo(c.mode, c.nullBuffer ? nullptr : buffer, c.bufferSize, &needed);
    EXPECT_EQ(hr, c.expected);
    EXPECT_EQ(needed, c.needed);
    if (hr == winabi::S_OK) {
      EXPECT_EQ(buffer[0], c.value);
      EXPECT_EQ(buffer[1], 0xAAAAAAAAu);  // exactly four bytes written
    } else {
      EXPECT_EQ(os::GetLastError(), c.lastError);
      EXPECT_EQ(buffer[0], 0xAAAAAAAAu);
    }
  }
  winabi::DWORD buffer = 0;
  os::SetLastError(0);
  EXPECT_EQ(plugin->GetInfo(1, &buffer, 4, nullptr), winabi::E_FAIL);
  EXPECT_EQ(os::GetLastError(), 87u);
}

TEST_F(PluginFixture, GetImplementedMethodMatchesWholeNamesOnly) {
  struct Case {
    const char* name;
    winabi::HRESULT expected;
  } cases[] = {{"CommandCallback", winabi::S_OK}, {"FilterGraphics", winabi::S_OK},
               {"ImageProcessing", winabi::S_OK}, {"ImageProcessingX", winabi::S_FALSE},
               {"CommandCall", winabi::S_FALSE},  {"imageprocessing", winabi::S_FALSE},
               {"Compression", winabi::S_FALSE},  {"", winabi::S_FALSE},
               {"WritePrinter", winabi::S_FALSE}};
  for (const Case& c : cases) {
    std::string name = c.name;
    EXPECT_EQ(plugin->GetImplementedMethod(name.data()), c.expected) << c.name;
  }
}

TEST_F(PluginFixture, UnimplementedSlotsAnswerNotImpl) {
  winabi::INT result = 7;
  EXPECT_EQ(plugin->CommandCallback(nullptr, 1, 0, nullptr, &result), winabi::S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(plugin->ResetPDEV(nullptr, nullptr), winabi::S_OK);
  EXPECT_EQ(plugin->DriverDMS(nullptr, nullptr, 0, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->Compression(nullptr, nullptr, nullptr, 0, 0, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->MemoryUsage(nullptr, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->TTYGetInfo(nullptr, 0, nullptr, 0, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->DownloadFontHeader(nullptr, nullptr, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->DownloadCharGlyph(nullptr, nullptr, 0, nullptr, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->TTDownloadMethod(nullptr, nullptr, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->SendFontCmd(nullptr, nullptr, nullptr), winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, 0),
            winabi::E_NOTIMPL);
  EXPECT_EQ(plugin->WritePrinter(nullptr, nullptr, 0, nullptr), winabi::E_NOTIMPL);
}

TEST_F(PluginFixture, DriverInterfaceIsKeptUntilDisableDriver) {
  testing_support::FakeDriverInterface first;
  testing_support::FakeDriverInterface second;
  EXPECT_EQ(plugin->PublishDriverInterface(&first), winabi::S_OK);
  EXPECT_EQ(first.refCount, 2);
  EXPECT_EQ(plugin->PublishDriverInterface(&second), winabi::S_OK);
  EXPECT_EQ(second.queries, 0);  // the first interface stays

  winabi::BYTE data[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(plugin->FilterGraphics(nullptr, data, 5), winabi::S_OK);
  first.acceptLimit = 3;
  EXPECT_EQ(plugin->FilterGraphics(nullptr, data, 5), winabi::S_FALSE);
  EXPECT_EQ(first.spooled, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 1, 2, 3}));
  // A write that fails without giving a count has written nothing.
  first.failWithoutCount = true;
  EXPECT_EQ(plugin->FilterGraphics(nullptr, data, 1), winabi::S_FALSE);
  EXPECT_EQ(plugin->FilterGraphics(nullptr, data, 0), winabi::S_OK);

  EXPECT_EQ(plugin->DisableDriver(), winabi::S_OK);
  EXPECT_EQ(first.refCount, 1);
  EXPECT_EQ(plugin->DisableDriver(), winabi::S_OK);
  EXPECT_EQ(first.refCount, 1);
}

struct NoDriverUnknown final : winabi::IUnknown {
  winabi::HRESULT QueryInterface(const winabi::GUID&, void** ppv) override {
    *ppv = nullptr;
    return winabi::E_NOINTERFACE;
  }
  winabi::ULONG AddRef() override { return 1; }
  winabi::ULONG Release() override { return 1; }
};

TEST_F(PluginFixture, PublishWithoutDriverInterfaceFails) {
  NoDriverUnknown unknown;
  EXPECT_EQ(plugin->PublishDriverInterface(&unknown), winabi::E_FAIL);
  EXPECT_EQ(plugin->PublishDriverInterface(nullptr), winabi::E_FAIL);
  winabi::BYTE data[1] = {0};
  EXPECT_EQ(plugin->FilterGraphics(nullptr, data, 1), winabi::S_FALSE);
}

TEST_F(PluginFixture, ReleaseDropsTheDriverInterface) {
  testing_support::FakeDriverInterface driver;
  ASSERT_EQ(plugin->PublishDriverInterface(&driver), winabi::S_OK);
  ASSERT_EQ(driver.refCount, 2);
  EXPECT_EQ(plugin->Release(), 0u);
  plugin = nullptr;
  EXPECT_EQ(driver.refCount, 1);
}

// Engine entries of the "universal driver" that record their calls.
int gStartPageCalls = 0;
int gEndDocCalls = 0;
winabi::ULONG gEndDocFlags = 0;
winabi::BOOL DriverStartPage(winabi::SURFOBJ*) {
  ++gStartPageCalls;
  return 1;
}
winabi::BOOL DriverEndDoc(winabi::SURFOBJ*, winabi::ULONG fl) {
  ++gEndDocCalls;
  gEndDocFlags = fl;
  return 1;
}
winabi::BOOL DriverOther(winabi::SURFOBJ*) { return 0; }

// EnableDriver hands out the EndDoc and StartPage hooks; EnablePDEV saves the
// driver's own entries, which the hooks then call.
TEST_F(PluginFixture, PdevLifecycleSavesDriverEntriesAndHooksCallThem) {
  winabi::DRVENABLEDATA hooks{};
  ASSERT_EQ(plugin->EnableDriver(0x00010000, sizeof hooks, &hooks), winabi::S_OK);
  EXPECT_EQ(hooks.iDriverVersion, 0x00010000u);
  ASSERT_EQ(hooks.c, 2u);
  EXPECT_EQ(hooks.pdrvfn[0].iFunc, 34u);
  EXPECT_EQ(hooks.pdrvfn[0].pfn, reinterpret_cast<winabi::PFN>(&capture::EndDocHook));
  EXPECT_EQ(hooks.pdrvfn[1].iFunc, 33u);
  EXPECT_EQ(hooks.pdrvfn[1].pfn, reinterpret_cast<winabi::PFN>(&capture::StartPageHook));

  capture::ResetJobState();
  winabi::DRVFN driverFns[] = {
      {1, reinterpret_cast<winabi::PFN>(&DriverOther)},
      {33, reinterpret_cast<winabi::PFN>(&DriverStartPage)},
      {34, reinterpret_cast<winabi::PFN>(&DriverEndDoc)},
  };
  winabi::DRVENABLEDATA ded{0x00010000, 3, driverFns};
  winabi::GDIINFO gdi{};
  gdi.cBitsPixel = 8;
  winabi::DEVINFO devInfo{};
  int paletteTag = 0;
  devInfo.hpalDefault = &paletteTag;
  winabi::DEVOBJ devobj{};
  void* pdevOem = nullptr;
  ASSERT_EQ(plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof gdi, &gdi, sizeof devInfo,
                               &devInfo, &ded, &pdevOem),
            winabi::S_OK);
  ASSERT_NE(pdevOem, nullptr);
  EXPECT_EQ(capture::TheJobState().newJobFlag, 1u);
  auto* state = static_cast<capture::PdevState*>(pdevOem);
  EXPECT_EQ(state->headerSize, 54u);
  EXPECT_EQ(state->paletteHandle, &paletteTag);
  EXPECT_EQ(state->pageBuffer, nullptr);
  EXPECT_EQ(state->pageStartPending, 0u);

  devobj.pdevOEM = pdevOem;
  winabi::SURFOBJ surface{};
  surface.dhpdev = &devobj;
  gStartPageCalls = gEndDocCalls = 0;
  EXPECT_EQ(capture::StartPageHook(&surface), 1);
  EXPECT_EQ(gStartPageCalls, 1);
  EXPECT_EQ(state->pageStartPending, 1u);
  EXPECT_EQ(capture::EndDocHook(&surface, 0x5), 1);
  EXPECT_EQ(gEndDocCalls, 1);
  EXPECT_EQ(gEndDocFlags, 0x5u);

  EXPECT_EQ(plugin->DisablePDEV(&devobj), winabi::S_OK);
  EXPECT_EQ(devobj.pdevOEM, nullptr);
}

}  // namespace
