// barcodescan: runs the barcode location front-end on PNG images and prints
// what it finds, as a table or as one JSON object per symbol.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "crop/locate_barcodes.h"
#include "png_input.h"

namespace {

// Names by SymbolType; 11 and 12 share one, 12 is flagged.
const char* const kTypeNames[16] = {
    "CODE_39", "ITF",     "CODE_128",   "GS1_128", "CODABAR", "UPC_A",   "UPC_E",   "EAN_8",
    "EAN_13",  "QR_CODE", "DATAMATRIX", "PDF417",  "PDF417",  "CODE_93", "HAN_XIN", "MAXICODE"};
// Every type the library decodes or locates: the linear ones, QR Code,
// Data Matrix, PDF417 (with its flagged twin), Han Xin and MaxiCode.
const int kDefaultTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 9, 10, 11, 12, 14, 15};

// JSON string body: valid UTF-8 passes, other bytes become \u00XX escapes.
std::string JsonString(const char* text) {
  std::string out = "\"";
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; s[i];) {
    unsigned char c = s[i];
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = len > 0;
    for (int k = 1; k < len && valid; ++k) valid = (s[i + k] & 0xC0) == 0x80;
    if (valid && len == 2 && c < 0xC2) valid = false;  // overlong
    if (valid && len == 3) {
      unsigned cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      valid = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
    }
    if (valid && len == 4) {
      unsigned cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
                    (s[i + 3] & 0x3F);
      valid = cp >= 0x10000 && cp <= 0x10FFFF;
    }
    if (!valid) len = 1;
    char buf[8];
    if (!valid || c < 0x20 || c == 0x7F) {
      const char* named = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
      if (valid && named) {
        out += named;
      } else {
        std::snprintf(buf, sizeof(buf), "\\u%04x", c);
        out += buf;
      }
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out.append(reinterpret_cast<const char*>(s + i), static_cast<size_t>(len));
    }
    i += static_cast<size_t>(len);
  }
  return out + "\"";
}

std::string Number(double v) {
  std::ostringstream s;
  s.imbue(std::locale::classic());
  s << v;
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Finds the barcodes on label images (PNG) and prints their types, texts and boxes."};
  std::vector<std::string> files;
  int dpi = 0;
  std::string types;
  int passes = 0, rotation = 0;
  bool json = false;
  app.add_option("IMAGE", files, "PNG images to scan")->required();
  app.add_option("--dpi", dpi, "Resolution (default: the PNG's pHYs, else 300)")
      ->check(CLI::Range(1, 10000));
  app.add_option("--types", types,
                 "Comma list of symbologies (default: every one that is decoded or located): CODE_39, ITF, CODE_128, "
                 "GS1_128, CODABAR, UPC_A, UPC_E, EAN_8, EAN_13, CODE_93, QR_CODE, DATAMATRIX, "
                 "PDF417, HAN_XIN, MAXICODE");
  app.add_option("--passes", passes, "Extra threshold passes")->check(CLI::Range(0, 3));
  app.add_option("--rotation", rotation,
                 "0: upright and turned, 1: turned only, 2: turned for Data Matrix only")
      ->check(CLI::Range(0, 2));
  app.add_flag("--json", json, "One JSON object per symbol per line");
  CLI11_PARSE(app, argc, argv);

  crop::LocateOptions base{};
  if (types.empty()) {
    for (int t : kDefaultTypes) base.types[t] = 1;
  } else {
    std::stringstream list(types);
    std::string name;
    while (std::getline(list, name, ',')) {
      int found = -1;
      // The first match: "PDF417" names type 11, which brings its flagged
      // twin 12 along below.
      for (int t = 0; t < 16 && found < 0; ++t)
        if (name == kTypeNames[t]) found = t;
      if (found < 0) {
        std::cerr << "barcodescan: unknown type '" << name << "' in --types\n";
        return 64;
      }
      base.types[found] = 1;
      if (found == 11) base.types[12] = 1;
    }
  }
  base.rotationMode = static_cast<uint8_t>(rotation);
  base.extraPasses = static_cast<uint8_t>(passes);
  base.maxResults = 100;

  int exitCode = 0;
  for (const std::string& file : files) {
    PngPage page;
    std::string error;
    if (!ReadPngPage(file, &page, &error)) {
      std::cerr << "barcodescan: " << file << ": " << error << "\n";
      exitCode = 2;
      continue;
    }
    crop::LocateOptions opt = base;
    opt.regionWidth = static_cast<int32_t>(page.image.width);
    opt.regionHeight = static_cast<int32_t>(page.image.height);
    opt.resolution = dpi > 0 ? static_cast<uint32_t>(dpi) : (page.dpi > 0 ? page.dpi : 300);
    barcode::SymbolResultList results{};
    int32_t code = crop::LocateBarcodes(&page.image, &opt, &results);
    if (code != 0) {
      std::cerr << "barcodescan: " << file << ": the scan failed (code " << code << ")\n";
      exitCode = 2;
      continue;
    }
    if (!json) std::cout << file << ": " << results.count << " barcode(s)\n";
    for (int i = 0; i < results.count; ++i) {
      const barcode::SymbolResult& r = results.items[i];
      const char* type = r.type < 16 ? kTypeNames[r.type] : "UNKNOWN";
      if (json) {
        std::cout << "{\"file\": " << JsonString(file.c_str()) << ", \"type\": \"" << type
                  << "\", \"text\": " << JsonString(r.text) << ", \"left\": " << r.centreX
                  << ", \"top\": " << r.centreY << ", \"width\": " << r.width
                  << ", \"height\": " << r.height << ", \"angle\": " << Number(r.angle)
                  << ", \"module\": " << Number(r.moduleSize)
                  << (r.type == 12 ? ", \"flagged\": true" : "") << "}\n";
      } else {
        char line[160];
        std::snprintf(line, sizeof(line), "  %-10s %5d,%-5d %5dx%-5d %7.1f deg  %5.2f px  ", type,
                      r.centreX, r.centreY, r.width, r.height, r.angle, r.moduleSize);
        std::cout << line << r.text << "\n";
      }
    }
    crop::FreeLocateResults(&results);
  }
  return exitCode;
}
