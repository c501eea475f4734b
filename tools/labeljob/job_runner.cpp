#include "job_runner.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "capture/band_capture.h"
#include "crop/crop_variants.h"
#include "frame/exports.h"
#include "frame/module.h"
#include "platform/host/world.h"
#include "platform/os.h"
#include "settings/name_list.h"

namespace labeljob {

namespace {

// The universal driver's spool service: everything lands in one stream.
class SpoolService final : public winabi::IPrintOemDriverUni {
 public:
  std::vector<std::uint8_t>* stream = nullptr;

  winabi::HRESULT QueryInterface(const winabi::GUID& riid, void** ppv) override {
    if (winabi::IsEqualGuid(riid, winabi::IID_IPrintOemDriverUni) ||
        winabi::IsEqualGuid(riid, winabi::IID_IUnknown)) {
      *ppv = this;
      return winabi::S_OK;
    }
    *ppv = nullptr;
    return winabi::E_NOINTERFACE;
  }
  winabi::ULONG AddRef() override { return 2; }
  winabi::ULONG Release() override { return 1; }
  winabi::HRESULT DrvGetDriverSetting(void*, const char*, void*, winabi::DWORD, winabi::DWORD*,
                                      winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvWriteSpoolBuf(winabi::DEVOBJ*, void* buffer, winabi::DWORD size,
                                   winabi::DWORD* written) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    stream->insert(stream->end(), bytes, bytes + size);
    *written = size;
    return winabi::S_OK;
  }
  winabi::HRESULT DrvXMoveTo(winabi::DEVOBJ*, winabi::INT, winabi::DWORD, winabi::INT*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvYMoveTo(winabi::DEVOBJ*, winabi::INT, winabi::DWORD, winabi::INT*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvGetStandardVariable(winabi::DEVOBJ*, winabi::DWORD, void*, winabi::DWORD,
                                         winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvGetGPDData(winabi::DEVOBJ*, winabi::DWORD, void*, void*, winabi::DWORD,
                                winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvUniTextOut(winabi::SURFOBJ*, void*, void*, void*, winabi::RECTL*,
                                winabi::RECTL*, void*, void*, winabi::POINTL*,
                                winabi::ULONG) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvWriteAbortBuf(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD) override {
    return winabi::E_NOTIMPL;
  }
};

// The device object's own spool entry, for the plug-in's command stream.
std::vector<std::uint8_t>* gDeviceStream = nullptr;
winabi::DWORD DeviceWriteSpoolBuf(winabi::DEVOBJ*, void* buffer, winabi::DWORD size) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (gDeviceStream != nullptr) gDeviceStream->insert(gDeviceStream->end(), bytes, bytes + size);
  return size;
}

// The universal driver's own engine entries, which the hooks call on.
winabi::BOOL DriverStartPage(winabi::SURFOBJ*) { return 1; }
winabi::BOOL DriverEndDoc(winabi::SURFOBJ*, winabi::ULONG) { return 1; }

std::int64_t Dots(std::int64_t thousandths, std::uint32_t resolution) {
  return static_cast<std::int64_t>(static_cast<double>(thousandths) / 1000.0 / 25.4 * resolution);
}

// The page the driver renders for the job: the form's printable area in dots
// (turned for landscape), at least one dot each way.
std::pair<std::int64_t, std::int64_t> PageDots(const JobSettings& job) {
  const std::uint32_t dpi = job.record.printerResolution;
  std::int64_t width = Dots(job.publicDm.dmPaperWidth * std::int64_t{100}, dpi);
  std::int64_t height = Dots(job.publicDm.dmPaperLength * std::int64_t{100}, dpi);
  const std::u16string formName = frame::FieldText(job.publicDm.dmFormName, 32);
  int formIndex = 0;
  if (!formName.empty()) {
    const std::vector<os::FormInfo>& forms = host::TheWorld().forms;
    for (std::size_t i = 0; i < forms.size(); ++i) {
      const os::FormInfo& f = forms[i];
      if (!settings::SameFormName(f.name, formName)) continue;
      width = Dots(std::int64_t{f.imageableArea.right} - f.imageableArea.left, dpi);
      height = Dots(std::int64_t{f.imageableArea.bottom} - f.imageableArea.top, dpi);
      formIndex = static_cast<int>(i) + 1;
      break;
    }
  }
  if (job.publicDm.dmOrientation == 2) std::swap(width, height);
  // Letter and A4 (the spooler's first and ninth forms) are rendered at the
  // printable area of the driver's printer description, whose line counts the
  // plug-in knows: a taller page would run into the next one.
  if (formIndex == 1 || formIndex == 9) {
    const int across = job.publicDm.dmOrientation == 2 ? 1 : 2;
    const settings::FormMargins none;
    width = capture::ExpectedPageHeight(across, formIndex, dpi, none, 0, 1);
    height = capture::ExpectedPageHeight(3 - across, formIndex, dpi, none, 0, 1);
  }
  return {std::max<std::int64_t>(width, 1), std::max<std::int64_t>(height, 1)};
}

// The picture at the top left of the page; what lies outside the page is cut
// off, what the picture does not cover stays white.
GreyPage RenderPage(const GreyPage& picture, std::uint32_t width, std::uint32_t height) {
  GreyPage page;
  page.width = width;
  page.height = height;
  page.pixels.assign(static_cast<std::size_t>(page.width) * page.height, 255);
  const std::uint32_t w = std::min(page.width, picture.width);
  const std::uint32_t h = std::min(page.height, picture.height);
  for (std::uint32_t y = 0; y < h; ++y) {
    std::memcpy(&page.pixels[static_cast<std::size_t>(y) * page.width],
                &picture.pixels[static_cast<std::size_t>(y) * picture.width], w);
  }
  return page;
}

// The spooler form an earlier job made from a media definition, as the
// plug-in makes it; none when a size does not fit 32 bits (the plug-in skips
// such a definition too).
std::optional<os::FormInfo> FormOf(const MediaDefinition& def) {
  auto value = [&](const char* name) -> std::int64_t {
    auto it = def.values.find(name);
    return it == def.values.end() ? 0 : static_cast<std::int32_t>(it->second);
  };
  const bool continuous = value("numLabelMediaType") == 3;
  const std::int64_t cx = value("mmLabelWidth") * 100, cy = value("mmLabelLength") * 100;
  const std::int64_t fields[] = {cx,
                                 cy,
                                 value("mmLeftMargin") * 100,
                                 continuous ? value("mmTopMargin") * 100 : 0,
                                 cx - value("mmRightMargin") * 100,
                                 cy - (continuous ? value("mmBottomMargin") * 100 : 0)};
  for (std::int64_t f : fields) {
    if (f < INT32_MIN || f > INT32_MAX) return std::nullopt;
  }
  os::FormInfo form;
  form.name = host::FromUtf8(def.name);
  form.size = {static_cast<std::int32_t>(fields[0]), static_cast<std::int32_t>(fields[1])};
  form.imageableArea = {static_cast<std::int32_t>(fields[2]), static_cast<std::int32_t>(fields[3]),
                        static_cast<std::int32_t>(fields[4]), static_cast<std::int32_t>(fields[5])};
  return form;
}

// Why a job printed no label, from what the job asked for and what the
// plug-in showed.
std::string WhyNoLabel(const JobSettings& job, const JobResult& result) {
  if (!result.messages.empty()) return "the plug-in showed: " + result.messages.front().text;
  const std::u16string formName = frame::FieldText(job.publicDm.dmFormName, 32);
  if (formName.empty()) {
    const bool anyRoll = std::any_of(job.printer.media.begin(), job.printer.media.end(),
                                     [](const MediaDefinition& d) {
                                       auto it = d.values.find("numLabelMediaType");
                                       return it != d.values.end() && it->second == 3;
                                     });
    if (!anyRoll) {
      return "dmFormName is empty and the printer profile has no continuous medium "
             "(numLabelMediaType 3) to take the paper width from, so no page size is known";
    }
    return "dmFormName is empty and no continuous medium of the printer matches "
           "the paper width, so no page size is known";
  }
  const bool known = std::any_of(
      host::TheWorld().forms.begin(), host::TheWorld().forms.end(),
      [&](const os::FormInfo& f) { return settings::SameFormName(f.name, formName); });
  if (!known) return "dmFormName \"" + host::ToUtf8(formName) + "\" is not a form of the spooler";
  return "the plug-in completed no page";
}

void NoteCropPage(const JobSettings& job, const winabi::DEVOBJ& devobj, std::uint32_t page,
                  JobResult* result) {
  if (job.record.cropPrintSwitch != 1) return;
  const auto* live = static_cast<const frame::PrivateDevmode*>(devobj.pOEMDM);
  CropPageOutcome outcome{page, live->cropResult, live->cropPageCount, {}};
  for (const crop::ExtendedLabelNote& note : crop::TakeExtendedLabelNotes())
    outcome.labels.push_back({note.reRendered, note.antiAliased});
  result->cropPages.push_back(std::move(outcome));
}

}  // namespace

void PrepareWorld(const JobSettings& job, const RunOptions& options) {
  host::ResetWorld();
  host::World& world = host::TheWorld();
  if (!options.tempDirectory.empty()) world.tempDirectory = options.tempDirectory;
  const std::u16string printer = host::FromUtf8(job.printer.printerName);
  host::AddPrinter({printer,
                    frame::FieldText(job.record.modelName, frame::kPathChars),
                    std::nullopt,
                    0,
                    {{u"labeljob document", 0x10}}});
  // The spooler already has the forms that earlier jobs made from the media
  // definitions, and the four built-in label forms.
  for (const MediaDefinition& def : job.printer.media) {
    std::map<std::u16string, std::uint32_t> values;
    for (const auto& [name, value] : def.values) values[host::FromUtf8(name)] = value;
    host::AddMediaDefinition(printer, host::FromUtf8(def.name), values);
    if (std::optional<os::FormInfo> form = FormOf(def)) world.forms.push_back(*form);
  }
  const struct {
    const char16_t* name;
    std::int32_t cx, cy;
  } builtIn[] = {{u"2X4", 50800, 101600},
                 {u"4X4", 101600, 101600},
                 {u"4X6", 101600, 152400},
                 {u"6X8", 152400, 203200}};
  for (const auto& f : builtIn) {
    const bool present = std::any_of(world.forms.begin(), world.forms.end(),
                                     [&](const os::FormInfo& x) { return x.name == f.name; });
    if (!present) world.forms.push_back(os::FormInfo{0, f.name, {f.cx, f.cy}, {0, 0, f.cx, f.cy}});
  }
  // The loader's part: process attach of the plug-in module.
  frame::OnProcessDetach();
  frame::OnProcessAttach();
}

JobResult RunDocument(const JobSettings& job, const std::vector<GreyPage>& pages,
                      const RunOptions& options) {
  JobResult result;
  SpoolService spool;
  spool.stream = &result.stream;
  gDeviceStream = &result.stream;

  void* out = nullptr;
  DllGetClassObject(&winabi::CLSID_RenderPlugin, &winabi::IID_IClassFactory, &out);
  auto* factory = static_cast<winabi::IClassFactory*>(out);
  factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni2, &out);
  factory->Release();
  auto* plugin = static_cast<winabi::IPrintOemUni2*>(out);

  plugin->PublishDriverInterface(&spool);
  winabi::DRVENABLEDATA hooks{};
  plugin->EnableDriver(winabi::PRINTER_OEMINTF_VERSION, sizeof hooks, &hooks);
  winabi::PFN_DrvStartPage startPage = nullptr;
  winabi::PFN_DrvEndDoc endDoc = nullptr;
  for (winabi::ULONG i = 0; i < hooks.c; ++i) {
    if (hooks.pdrvfn[i].iFunc == winabi::INDEX_DrvStartPage) {
      startPage = reinterpret_cast<winabi::PFN_DrvStartPage>(hooks.pdrvfn[i].pfn);
    } else if (hooks.pdrvfn[i].iFunc == winabi::INDEX_DrvEndDoc) {
      endDoc = reinterpret_cast<winabi::PFN_DrvEndDoc>(hooks.pdrvfn[i].pfn);
    }
  }

  // The devmodes: size, default, then merge the job's settings into them.
  winabi::OEMDMPARAM param{};
  param.cbSize = sizeof param;
  plugin->DevMode(frame::OEMDM_SIZE, &param);
  std::vector<std::uint8_t> privateDm(
      std::max<std::size_t>(param.cbBufSize, sizeof(frame::PrivateDevmode)));
  winabi::DEVMODEW publicDm = job.publicDm;
  param.pPublicDMOut = &publicDm;
  param.pOEMDMOut = privateDm.data();
  plugin->DevMode(frame::OEMDM_DEFAULT, &param);
  // The job's devmode as the driver holds it: the private record right behind
  // the public part, inside its dmDriverExtra bytes.
  std::vector<std::uint8_t> jobDevmode(sizeof(winabi::DEVMODEW) + sizeof job.record);
  std::memcpy(jobDevmode.data(), &job.publicDm, sizeof(winabi::DEVMODEW));
  std::memcpy(jobDevmode.data() + sizeof(winabi::DEVMODEW), &job.record, sizeof job.record);
  param.pPublicDMIn = reinterpret_cast<winabi::DEVMODEW*>(jobDevmode.data());
  param.pOEMDMIn = jobDevmode.data() + sizeof(winabi::DEVMODEW);
  plugin->DevMode(frame::OEMDM_MERGE, &param);

  winabi::DRVPROCS procs{};
  procs.DrvWriteSpoolBuf = &DeviceWriteSpoolBuf;
  winabi::DEVOBJ devobj{};
  devobj.dwSize = sizeof devobj;
  devobj.hPrinter = host::PrinterHandleOf(host::FromUtf8(job.printer.printerName));
  devobj.pPublicDM = &publicDm;
  devobj.pOEMDM = privateDm.data();
  devobj.pDrvProcs = &procs;
  winabi::DRVFN driverFns[] = {
      {winabi::INDEX_DrvStartPage, reinterpret_cast<winabi::PFN>(&DriverStartPage)},
      {winabi::INDEX_DrvEndDoc, reinterpret_cast<winabi::PFN>(&DriverEndDoc)},
  };
  winabi::DRVENABLEDATA driverTable{winabi::PRINTER_OEMINTF_VERSION, 2, driverFns};
  winabi::GDIINFO gdi{};
  gdi.cBitsPixel = 8;
  winabi::DEVINFO devInfo{};
  plugin->EnablePDEV(&devobj, nullptr, 0, nullptr, sizeof gdi, &gdi, sizeof devInfo, &devInfo,
                     &driverTable, &devobj.pdevOEM);

  winabi::SURFOBJ surface{};
  surface.dhpdev = &devobj;
  const std::uint32_t bandHeight = std::max<std::uint32_t>(options.bandHeight, 1);
  for (const GreyPage& picture : pages) {
    const auto [width, height] = PageDots(job);
    const GreyPage page = RenderPage(picture, static_cast<std::uint32_t>(width),
                                     static_cast<std::uint32_t>(height));
    if (startPage != nullptr) startPage(&surface);
    const std::uint32_t stride = (page.width + 3) & ~3u;
    std::vector<std::uint8_t> band(static_cast<std::size_t>(stride) * bandHeight, 255);
    for (std::uint32_t top = 0; top < page.height; top += bandHeight) {
      const std::uint32_t rows = std::min(bandHeight, page.height - top);
      for (std::uint32_t y = 0; y < rows; ++y) {
        std::memcpy(&band[static_cast<std::size_t>(y) * stride],
                    &page.pixels[static_cast<std::size_t>(top + y) * page.width], page.width);
      }
      winabi::BITMAPINFOHEADER info{};
      info.biSize = sizeof info;
      info.biWidth = static_cast<winabi::LONG>(page.width);
      info.biHeight = static_cast<winabi::LONG>(rows);
      info.biPlanes = 1;
      info.biBitCount = 8;
      info.biSizeImage = stride * rows;
      winabi::IPPARAMS ip{};
      ip.dwSize = winabi::kIpParamsPublishedSize;
      ip.bBanding = 1;
      winabi::BYTE* taken = nullptr;
      plugin->ImageProcessing(&devobj, band.data(), &info, nullptr, 5, &ip, &taken);
    }
    ++result.pagesCaptured;
    // The page before this one has gone out.
    if (result.pagesCaptured > 1) NoteCropPage(job, devobj, result.pagesCaptured - 1, &result);
    if (options.afterPage) options.afterPage(result.pagesCaptured - 1, result.stream);
  }
  if (endDoc != nullptr) endDoc(&surface, 0);
  if (result.pagesCaptured > 0) NoteCropPage(job, devobj, result.pagesCaptured, &result);
  plugin->DisablePDEV(&devobj);
  plugin->DisableDriver();
  plugin->Release();
  gDeviceStream = nullptr;

  result.labelsPrinted = CountPrintedLabels(result.stream);
  for (const host::Message& m : host::TheWorld().messages) {
    result.messages.push_back({host::ToUtf8(m.title), host::ToUtf8(m.text)});
  }
  for (const os::FormInfo& f : host::TheWorld().forms) {
    if (f.flags != 0) continue;  // the server's standard forms
    result.forms.push_back({host::ToUtf8(f.name), f.size.cx, f.size.cy, f.imageableArea.left,
                            f.imageableArea.top, f.imageableArea.right, f.imageableArea.bottom});
  }
  return result;
}

JobResult RunJob(const JobSettings& job, const std::vector<GreyPage>& pages,
                 const RunOptions& options) {
  JobResult result;
  RunOptions actual = options;
  std::filesystem::path made;
  if (actual.tempDirectory.empty()) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (!ec) {
      made = base / ("labeljob-" + std::to_string(os::CurrentProcessId()));
      std::filesystem::create_directories(made, ec);
    }
    if (ec) {
      const char* tmpdir = std::getenv("TMPDIR");
      const std::string where =
          !made.empty() ? made.string() : tmpdir != nullptr ? tmpdir : "of the system";
      result.error = "temporary folder " + where + ": cannot be used (" + ec.message() + ")";
      return result;
    }
    actual.tempDirectory = made.string();
  }
  PrepareWorld(job, actual);
  // A page side over what a raster block carries is never printed: say so
  // before spending the capture on it.
  const auto [width, height] = PageDots(job);
  if (!pages.empty() && (width > kMaxPageSide || height > kMaxPageSide)) {
    result.noLabelReason = "the job's form makes pages of " + std::to_string(width) + " x " +
                           std::to_string(height) + " dots; a raster block carries at most " +
                           std::to_string(kMaxPageSide) + " dots each way";
  } else {
    result = RunDocument(job, pages, actual);
    if (result.labelsPrinted == 0) result.noLabelReason = WhyNoLabel(job, result);
  }
  if (!made.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(made, ec);
  }
  return result;
}

std::uint32_t CountPrintedLabels(const std::vector<std::uint8_t>& stream) {
  static const char kPrint[] = "\r\nPRINT ";
  std::uint32_t total = 0;
  auto it = stream.begin();
  while (true) {
    it = std::search(it, stream.end(), kPrint, kPrint + 8);
    if (it == stream.end()) break;
    it += 8;
    auto lineEnd = std::find(it, stream.end(), '\r');
    const std::string line(it, lineEnd);
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    std::uint32_t copies = 0;
    for (std::size_t i = comma + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
      copies = copies * 10 + static_cast<std::uint32_t>(line[i] - '0');
    }
    total += copies;
  }
  return total;
}

}  // namespace labeljob
