// Module entry and class factory: the HRESULTs and the counts the spooler
// relies on to unload the module.
#include "frame/module.h"

#include <gtest/gtest.h>

#include "frame/class_factory.h"
#include "frame/exports.h"

namespace {

using winabi::GUID;

constexpr GUID kOtherGuid = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(DllGetClassObject, RefusalsLeaveNoFactory) {
  GUID nearly = winabi::CLSID_RenderPlugin;
  nearly.Data4[7] ^= 1;  // differs only in the second half: still another class
  const struct {
    const char* what;
    const GUID *clsid, *iid;
    winabi::HRESULT expected;
  } cases[] = {
      {"other class", &kOtherGuid, &winabi::IID_IClassFactory, winabi::CLASS_E_CLASSNOTAVAILABLE},
      {"nearly our class", &nearly, &winabi::IID_IClassFactory, winabi::CLASS_E_CLASSNOTAVAILABLE},
      {"not a factory", &winabi::CLSID_RenderPlugin, &winabi::IID_IPrintOemUni2,
       winabi::E_NOINTERFACE},
  };
  const int before = frame::RenderPluginFactory::LiveCount();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    void* out = &out;
    EXPECT_EQ(DllGetClassObject(c.clsid, c.iid, &out), c.expected);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(frame::RenderPluginFactory::LiveCount(), before);
  }
  EXPECT_EQ(DllGetClassObject(&winabi::CLSID_RenderPlugin, &winabi::IID_IClassFactory, nullptr),
            winabi::E_POINTER);
}

TEST(DllGetClassObject, FactoryAnswersBothInterfacesAndDiesOnLastRelease) {
  const int before = frame::RenderPluginFactory::LiveCount();
  for (const GUID* iid : {&winabi::IID_IUnknown, &winabi::IID_IClassFactory}) {
    void* out = nullptr;
    ASSERT_EQ(DllGetClassObject(&winabi::CLSID_RenderPlugin, iid, &out), winabi::S_OK);
    auto* factory = static_cast<winabi::IClassFactory*>(out);
    EXPECT_EQ(frame::RenderPluginFactory::LiveCount(), before + 1);
    EXPECT_EQ(factory->AddRef(), 2u);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(frame::RenderPluginFactory::LiveCount(), before);
  }
}

struct FactoryFixture : ::testing::Test {
  winabi::IClassFactory* factory = nullptr;
  void SetUp() override {
    void* out = nullptr;
    ASSERT_EQ(DllGetClassObject(&winabi::CLSID_RenderPlugin, &winabi::IID_IClassFactory, &out),
              winabi::S_OK);
    factory = static_cast<winabi::IClassFactory*>(out);
  }
  void TearDown() override {
    if (factory != nullptr) factory->Release();
  }
};

TEST_F(FactoryFixture, CreateInstanceResults) {
  const int objects = frame::Module().objectCount.load();
  void* out = &out;
  EXPECT_EQ(factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni2, nullptr),
            winabi::E_POINTER);

  winabi::IUnknown* outer = factory;  // any non-null unknown asks for aggregation
  EXPECT_EQ(factory->CreateInstance(outer, winabi::IID_IPrintOemUni2, &out),
            winabi::CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(frame::Module().objectCount.load(), objects);

  // The older interface without the 2 is not served; the object is gone again.
  out = &out;
  EXPECT_EQ(factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni, &out),
            winabi::E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(frame::Module().objectCount.load(), objects);

  void* factoryAgain = nullptr;
  EXPECT_EQ(factory->QueryInterface(winabi::IID_IPrintOemUni2, &factoryAgain),
            winabi::E_NOINTERFACE);
  EXPECT_EQ(factoryAgain, nullptr);
}

// A C client calls through the object's table with the object first; only
// that way can an IID arrive as a null address.
using QueryInterfaceEntry = winabi::HRESULT (*)(void*, const GUID*, void**);
using CreateInstanceEntry = winabi::HRESULT (*)(void*, void*, const GUID*, void**);
template <typename Entry>
Entry TableEntry(void* object, int slot) {
  return reinterpret_cast<Entry>((*static_cast<void***>(object))[slot]);
}

TEST_F(FactoryFixture, NullIidIsRefusedAtEveryEntry) {
  const int factories = frame::RenderPluginFactory::LiveCount();
  void* out = &out;
  EXPECT_EQ(DllGetClassObject(&winabi::CLSID_RenderPlugin, nullptr, &out), winabi::E_POINTER);
  EXPECT_EQ(out, nullptr);
  out = &out;
  EXPECT_EQ(DllGetClassObject(nullptr, &winabi::IID_IClassFactory, &out), winabi::E_POINTER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(frame::RenderPluginFactory::LiveCount(), factories);

  out = &out;
  EXPECT_EQ(TableEntry<QueryInterfaceEntry>(factory, 0)(factory, nullptr, &out),
            winabi::E_POINTER);
  EXPECT_EQ(out, nullptr);

  const int objects = frame::Module().objectCount.load();
  out = &out;
  EXPECT_EQ(TableEntry<CreateInstanceEntry>(factory, 3)(factory, nullptr, nullptr, &out),
            winabi::E_POINTER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(frame::Module().objectCount.load(), objects);

  ASSERT_EQ(factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni2, &out), winabi::S_OK);
  auto* plugin = static_cast<winabi::IPrintOemUni2*>(out);
  out = &out;
  EXPECT_EQ(TableEntry<QueryInterfaceEntry>(plugin, 0)(plugin, nullptr, &out), winabi::E_POINTER);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(plugin->Release(), 0u);
}

TEST_F(FactoryFixture, UnloadOnlyWithoutObjectsAndLocks) {
  ASSERT_EQ(DllCanUnloadNow(), winabi::S_OK);
  void* out = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni2, &out), winabi::S_OK);
  auto* plugin = static_cast<winabi::IPrintOemUni2*>(out);
  EXPECT_EQ(frame::Module().objectCount.load(), 1);
  EXPECT_EQ(DllCanUnloadNow(), winabi::S_FALSE);

  EXPECT_EQ(factory->LockServer(1), winabi::S_OK);
  EXPECT_EQ(factory->LockServer(1), winabi::S_OK);
  EXPECT_EQ(plugin->Release(), 0u);
  EXPECT_EQ(frame::Module().objectCount.load(), 0);
  EXPECT_EQ(DllCanUnloadNow(), winabi::S_FALSE);  // still locked twice
  EXPECT_EQ(factory->LockServer(0), winabi::S_OK);
  EXPECT_EQ(DllCanUnloadNow(), winabi::S_FALSE);
  EXPECT_EQ(factory->LockServer(0), winabi::S_OK);
  EXPECT_EQ(DllCanUnloadNow(), winabi::S_OK);
}

}  // namespace
