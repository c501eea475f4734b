// A print job against the host world: the plug-in created through its
// exports, a printer with its devmodes, and a DEVOBJ as the universal driver
// builds it. Bands are 8-bit grey rows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "capture/engine_hooks.h"
#include "capture/job_state.h"
#include "capture/pdev_state.h"
#include "frame/private_devmode.h"
#include "output/page_counters.h"
#include "platform/host/world.h"
#include "support/fake_driver.h"
#include "support/plugin.h"

namespace testing_support {

// The process as the spooler finds it before its first job: a fresh host
// world, job state and page counters.
inline void ResetProcess() {
  host::ResetWorld();
  capture::ResetJobState();
  output::ResetPageCounters();
}

struct FreshProcessTest : ::testing::Test {
  void SetUp() override { ResetProcess(); }
  void TearDown() override { host::ResetWorld(); }
};

class HostJob {
 public:
  explicit HostJob(const std::u16string& printerName = u"Desk",
                   const std::u16string& driver = u"Norvale LT-210 (203 dpi)") {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lr-job-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    tempDir_ = dir.string();
    host::TheWorld().tempDirectory = tempDir_;
    printer_ = host::AddPrinter({printerName, driver, std::nullopt, 0, {}});
    plugin = NewPlugin();
    plugin->PublishDriverInterface(&driverInterface);

    std::memset(&record, 0, sizeof record);
    frame::WriteDevmodeHeader(&record);
    record.printerResolution = 203;
    record.maximumPrintWidth = 104.0f;
    record.maximumMediaWidth = 112.0f;
    std::copy(driver.begin(), driver.end(), record.modelName);
    publicDm.dmOrientation = 1;
    publicDm.dmCopies = 1;
    devobj.hPrinter = printer_;
    procs_.DrvWriteSpoolBuf = &HostJob::WriteSpool;
    devobj.pDrvProcs = &procs_;
    Streams()[&devobj] = &stream;
    devobj.pPublicDM = &publicDm;
    devobj.pOEMDM = &record;
  }
  ~HostJob() {
    Streams().erase(&devobj);
    if (enabled_) plugin->DisablePDEV(&devobj);
    plugin->Release();
    std::filesystem::remove_all(tempDir_);
  }

  void SetForm(const std::u16string& name) {
    std::memset(publicDm.dmFormName, 0, sizeof publicDm.dmFormName);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 31), publicDm.dmFormName);
  }

  void Enable() {
    winabi::GDIINFO gdi{};
    gdi.cBitsPixel = 8;
    winabi::DEVINFO devInfo{};
    plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof gdi, &gdi, sizeof devInfo, &devInfo,
                       nullptr, &devobj.pdevOEM);
    enabled_ = true;
  }

  capture::PdevState* state() { return static_cast<capture::PdevState*>(devobj.pdevOEM); }

  void StartPage() {
    winabi::SURFOBJ surface{};
    surface.dhpdev = &devobj;
    capture::StartPageHook(&surface);
  }

  // One band of `rows` rows of `width` 8-bit pixels, all of `grey`.
  winabi::HRESULT Band(std::int32_t width, std::int32_t rows, std::uint8_t grey,
                       winabi::DWORD callbackId = 5) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
    std::vector<std::uint8_t> pixels(stride * static_cast<std::uint32_t>(rows), grey);
    winabi::BITMAPINFOHEADER info{};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = rows;
    info.biPlanes = 1;
    info.biBitCount = 8;
    info.biSizeImage = static_cast<winabi::DWORD>(pixels.size());
    winabi::IPPARAMS params{};
    params.dwSize = sizeof params;
    winabi::BYTE* result = nullptr;
    return plugin->ImageProcessing(&devobj, pixels.data(), &info, nullptr, callbackId, &params,
                                   &result);
  }

  void EndDoc() {
    winabi::SURFOBJ surface{};
    surface.dhpdev = &devobj;
    capture::EndDocHook(&surface, 0);
  }

  std::vector<std::filesystem::path> TempFiles() const {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(tempDir_)) files.push_back(e.path());
    return files;
  }

  winabi::IPrintOemUni2* plugin = nullptr;
  FakeDriverInterface driverInterface;
  std::vector<std::uint8_t> stream;  // what the device object's spool entry received
  frame::PrivateDevmode record;
  winabi::DEVMODEW publicDm{};
  winabi::DEVOBJ devobj{};

 private:
  static std::map<const winabi::DEVOBJ*, std::vector<std::uint8_t>*>& Streams() {
    static std::map<const winabi::DEVOBJ*, std::vector<std::uint8_t>*> streams;
    return streams;
  }
  static winabi::DWORD WriteSpool(winabi::DEVOBJ* devobj, void* buffer, winabi::DWORD size) {
    auto it = Streams().find(devobj);
    if (it == Streams().end()) return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    it->second->insert(it->second->end(), bytes, bytes + size);
    return size;
  }

  winabi::DRVPROCS procs_{};
  std::string tempDir_;
  os::PrinterHandle printer_ = nullptr;
  bool enabled_ = false;
};

}  // namespace testing_support
