// labelview: lists the commands of a label command stream, decodes its raster
// blocks and writes every printed label as a PNG (dark dots black).
#include <png.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stream_reader.h"

namespace {

constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

// The raster as a 1-bit grey PNG: the stream's 0 bits (dark) are PNG black.
bool WritePng(const std::filesystem::path& path, const labelview::Raster& raster) {
  if (raster.bytesPerRow == 0 || raster.rows == 0) return false;
  FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png != nullptr && info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, raster.bytesPerRow * 8, raster.rows, 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < raster.rows; ++y) {
      png_write_row(png, raster.data.data() + std::size_t{y} * raster.bytesPerRow);
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

const char* KindName(labelview::RasterKind kind) {
  switch (kind) {
    case labelview::RasterKind::kLzss:
      return "lzss";
    case labelview::RasterKind::kRunLength:
      return "run-length";
    default:
      return "plain";
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"List a label command stream and write its printed labels as PNG files."};
  std::string input;
  std::string outDir = ".";
  bool json = false;
  app.add_option("stream", input, "label command stream (.prn)")->required();
  app.add_option("-o,--output", outDir, "folder for the label PNGs (default: current folder)");
  app.add_flag("--json", json, "print the commands and labels as one JSON document");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }

  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << "labelview: cannot read " << input << "\n";
    return kExitUsage;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  const labelview::Stream stream = labelview::ReadStream(bytes.data(), bytes.size());

  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  // Every image is written under a temporary name and renamed once all are
  // written, so a failing run leaves no label files behind.
  nlohmann::json labels = nlohmann::json::array();
  std::vector<std::filesystem::path> written;
  std::vector<std::size_t> emptyLabels;
  const auto partOf = [](const std::filesystem::path& p) { return p.string() + ".part"; };
  const auto removeWritten = [&] {
    for (const auto& p : written) std::filesystem::remove(partOf(p), ec);
  };
  for (std::size_t i = 0; i < stream.labels.size(); ++i) {
    const labelview::PrintedLabel& label = stream.labels[i];
    nlohmann::json entry{{"sets", label.sets}, {"copies", label.copies}};
    if (label.raster) {
      const labelview::Raster& raster = stream.rasters[*label.raster];
      entry["width"] = std::uint64_t{raster.bytesPerRow} * 8;
      entry["height"] = raster.rows;
      if (raster.bytesPerRow == 0 || raster.rows == 0) {
        emptyLabels.push_back(i + 1);  // printed, but nothing to show
        labels.push_back(entry);
        continue;
      }
      char name[32];
      std::snprintf(name, sizeof name, "label_%03zu.png", i + 1);
      const auto path = std::filesystem::path(outDir) / name;
      if (!WritePng(partOf(path), raster)) {
        if (std::filesystem::is_regular_file(partOf(path), ec)) {
          std::filesystem::remove(partOf(path), ec);
        }
        removeWritten();
        std::cerr << "labelview: cannot write " << path.string() << "\n";
        return kExitUsage;
      }
      written.push_back(path);
      entry["file"] = path.string();
    }
    labels.push_back(entry);
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    std::filesystem::rename(partOf(written[i]), written[i], ec);
    if (ec) {
      std::cerr << "labelview: cannot write " << written[i].string() << "\n";
      for (std::size_t j = 0; j < i; ++j) std::filesystem::remove(written[j], ec);
      removeWritten();
      return kExitUsage;
    }
  }
  const int count = static_cast<int>(written.size());

  if (json) {
    nlohmann::json commands = nlohmann::json::array();
    for (const auto& c : stream.commands) {
      nlohmann::json entry{{"offset", c.offset}, {"text", c.text}};
      if (c.raster) {
        const auto& r = stream.rasters[*c.raster];
        entry["raster"] = {{"kind", KindName(r.kind)},
                           {"bytesPerRow", r.bytesPerRow},
                           {"rows", r.rows},
                           {"encodedBytes", r.encodedBytes}};
      }
      commands.push_back(entry);
    }
    nlohmann::json doc{{"stream", input}, {"commands", commands}, {"labels", labels}};
    if (stream.error) {
      doc["error"] = {{"offset", stream.error->offset}, {"expected", stream.error->expected}};
    }
    std::cout << doc.dump(2) << "\n";
  } else {
    for (const auto& c : stream.commands) {
      std::printf("%08zu  %s\n", c.offset, c.text.c_str());
    }
    for (std::size_t n : emptyLabels) std::printf("label %zu: empty raster (0 dots), no image\n", n);
    std::printf("%d label image(s) written to %s\n", count, outDir.c_str());
  }
  if (stream.error) {
    std::cerr << "labelview: " << input << ": malformed at byte " << stream.error->offset
              << ": expected " << stream.error->expected << "\n";
    return kExitMalformed;
  }
  return 0;
}
