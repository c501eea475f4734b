// labeljob: prints page images to a label command stream the way the
// universal printer driver and the spooler would drive the plug-in.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>

#include "job_runner.h"
#include "job_settings.h"
#include "png_page.h"

namespace {

bool ReadJson(const std::string& path, nlohmann::json* out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot be opened";
    return false;
  }
  *out = nlohmann::json::parse(in, nullptr, false);
  if (out->is_discarded()) {
    *error = path + ": not valid JSON";
    return false;
  }
  return true;
}

// A folder that exists (or can be made) and takes a new file; false with
// the reason in error.
bool UsableFolder(const std::string& path, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec || !fs::is_directory(path, ec)) {
    *error = path + ": not a folder and cannot be made one" +
             (ec ? " (" + ec.message() + ")" : std::string());
    return false;
  }
  const fs::path probe = fs::path(path) / (".labeljob-probe-" + std::to_string(::getpid()));
  {
    std::ofstream out(probe, std::ios::binary);
    if (!out) {
      *error = path + ": folder cannot be written";
      return false;
    }
  }
  fs::remove(probe, ec);
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "labeljob: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Prints page images (PNG) through the label printer plug-in, as the Windows\n"
      "universal printer driver and spooler would, and writes the label command\n"
      "stream the printer receives."};
  std::string printerPath, settingsPath, outPath = "out.prn", printFiles;
  std::vector<std::string> assignments, pagePaths;
  std::uint32_t bandHeight = 128;
  bool json = false;
  app.add_option("--printer", printerPath, "printer profile (JSON)")->check(CLI::ExistingFile);
  app.add_option("--settings", settingsPath, "job settings (JSON)")->check(CLI::ExistingFile);
  // Each --set takes exactly one KEY=VALUE, so that pages may follow it.
  app.add_option("--set", assignments, "KEY=VALUE, one setting (after the files)")
      ->allow_extra_args(false);
  app.add_option("-o,--output", outPath, "label command stream to write (default out.prn)");
  app.add_option("--print-files", printFiles,
                 "folder for saved print files (sets printFileSwitch and printFileFolder)");
  app.add_option("--band-height", bandHeight, "rows per band (default 128)")
      ->check(CLI::Range(1u, 100000u));
  app.add_flag("--json", json, "print a JSON summary on stdout");
  app.add_option("pages", pagePaths, "page images (PNG), one per page")->required();
  app.footer("Keys of the printer profile and the job settings:\n" + labeljob::DescribeKeys());
  CLI11_PARSE(app, argc, argv);

  std::string error;
  labeljob::JobSettings job = labeljob::DefaultJobSettings();
  nlohmann::json doc;
  if (!printerPath.empty()) {
    if (!ReadJson(printerPath, &doc, &error) || !labeljob::ApplyPrinterProfile(doc, &job, &error)) {
      return Fail(error);
    }
  }
  if (!settingsPath.empty()) {
    if (!ReadJson(settingsPath, &doc, &error) || !labeljob::ApplyJobSettings(doc, &job, &error)) {
      return Fail(error);
    }
  }
  for (const std::string& a : assignments) {
    if (!labeljob::ApplySetting(a, &job, &error)) return Fail(error);
  }
  if (!printFiles.empty()) {
    if (!UsableFolder(printFiles, &error)) return Fail("--print-files " + error);
    std::error_code ec;
    const std::string folder =
        std::filesystem::absolute(printFiles, ec).lexically_normal().string();
    if (!labeljob::ApplySetting("printFileSwitch=1", &job, &error) ||
        !labeljob::ApplySetting("printFileFolder=" + folder, &job, &error)) {
      return Fail(error);
    }
  }

  std::vector<labeljob::GreyPage> pages(pagePaths.size());
  for (std::size_t i = 0; i < pagePaths.size(); ++i) {
    if (!labeljob::ReadGreyPng(pagePaths[i], &pages[i], &error)) return Fail(error);
  }

  labeljob::RunOptions options;
  options.bandHeight = bandHeight;
  const labeljob::JobResult result = labeljob::RunJob(job, pages, options);
  if (!result.error.empty()) return Fail(result.error);
  if (!result.noLabelReason.empty()) {
    std::cerr << "labeljob: no label printed: " << result.noLabelReason << "\n";
  }

  // Written whole or not at all.
  const std::string partial = outPath + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(result.stream.data()),
              static_cast<std::streamsize>(result.stream.size()));
    if (!out) {
      std::remove(partial.c_str());
      return Fail(outPath + ": cannot be written");
    }
  }
  std::error_code ec;
  std::filesystem::rename(partial, outPath, ec);
  if (ec) {
    std::remove(partial.c_str());
    return Fail(outPath + ": cannot be written (" + ec.message() + ")");
  }

  if (json) {
    nlohmann::json summary = {{"output", outPath},
                              {"pagesCaptured", result.pagesCaptured},
                              {"labelsPrinted", result.labelsPrinted},
                              {"bytesWritten", result.stream.size()},
                              {"noLabelReason", result.noLabelReason.empty()
                                                    ? nlohmann::json(nullptr)
                                                    : nlohmann::json(result.noLabelReason)},
                              {"messages", nlohmann::json::array()},
                              {"forms", nlohmann::json::array()}};
    for (const auto& m : result.messages) {
      summary["messages"].push_back({{"title", m.title}, {"text", m.text}});
    }
    if (!result.cropPages.empty()) {
      summary["cropPages"] = nlohmann::json::array();
      for (const auto& c : result.cropPages) {
        nlohmann::json page = {
            {"page", c.page}, {"cropResult", c.result}, {"cropPageCount", c.cropPageCount}};
        if (!c.labels.empty()) {
          page["labels"] = nlohmann::json::array();
          for (const auto& l : c.labels)
            page["labels"].push_back({{"reRendered", l.reRendered}, {"antiAliased", l.antiAliased}});
        }
        summary["cropPages"].push_back(page);
      }
    }
    for (const auto& f : result.forms) {
      summary["forms"].push_back({{"name", f.name},
                                  {"width", f.width},
                                  {"length", f.length},
                                  {"imageableArea", {f.left, f.top, f.right, f.bottom}}});
    }
    std::cout << summary.dump(2) << "\n";
  } else {
    std::cout << outPath << ": " << result.pagesCaptured << " page(s), " << result.labelsPrinted
              << " label(s), " << result.stream.size() << " bytes\n";
    for (const auto& c : result.cropPages) {
      std::cout << "crop page " << c.page << ": result " << c.result << ", pages with barcodes "
                << c.cropPageCount << "\n";
    }
    for (const auto& m : result.messages)
      std::cout << "message: " << m.title << ": " << m.text << "\n";
  }
  return 0;
}
