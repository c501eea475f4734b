// Sheets of shipping labels for crop print jobs, drawn without any library so
// that the same pages run natively and under Wine: Code 128 (code set B) by
// the symbology's element table, and blocks standing for printed text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "job_settings.h"
#include "png_page.h"

namespace testing_support {

// Element widths of Code 128 values 0-105, bar first (ISO/IEC 15417 table).
inline constexpr int kCode128Elements[106] = {
    212222, 222122, 222221, 121223, 121322, 131222, 122213, 122312, 132212, 221213, 221312, 231212,
    112232, 122132, 122231, 113222, 123122, 123221, 223211, 221132, 221231, 213212, 223112, 312131,
    311222, 321122, 321221, 312212, 322112, 322211, 212123, 212321, 232121, 111323, 131123, 131321,
    112313, 132113, 132311, 211313, 231113, 231311, 112133, 112331, 132131, 113123, 113321, 133121,
    313121, 211331, 231131, 213113, 213311, 213131, 311123, 311321, 331121, 312113, 312311, 332111,
    314111, 221411, 431111, 111224, 111422, 121124, 121421, 141122, 141221, 112214, 112412, 122114,
    122411, 142112, 142211, 241211, 221114, 413111, 241112, 134111, 111242, 121142, 121241, 114212,
    124112, 124211, 411212, 421112, 421211, 212141, 214121, 412121, 111143, 111341, 131141, 114113,
    114311, 411113, 411311, 113141, 114131, 311141, 411131, 211412, 211214, 211232};
inline constexpr int kCode128StartB = 104;
inline constexpr int kCode128Stop = 2331112;  // seven elements, ends on a bar

// Element widths of a Code 128 symbol of printable ASCII text.
inline std::vector<int> Code128Elements(const std::string& text) {
  std::vector<int> values{kCode128StartB};
  int sum = kCode128StartB;
  for (size_t i = 0; i < text.size(); ++i) {
    values.push_back(text[i] - 32);
    sum += static_cast<int>(i + 1) * (text[i] - 32);
  }
  values.push_back(sum % 103);
  std::vector<int> widths;
  auto digits = [&widths](int packed, int count) {
    std::vector<int> d(static_cast<size_t>(count));
    for (int i = count - 1; i >= 0; --i, packed /= 10) d[static_cast<size_t>(i)] = packed % 10;
    widths.insert(widths.end(), d.begin(), d.end());
  };
  for (int v : values) digits(kCode128Elements[v], 6);
  digits(kCode128Stop, 7);
  return widths;
}

inline int Code128Modules(const std::string& text) {
  return static_cast<int>(11 * (text.size() + 2) + 13);
}

class LabelSheet {
 public:
  LabelSheet(std::uint32_t width, std::uint32_t height) {
    page_.width = width;
    page_.height = height;
    page_.pixels.assign(static_cast<size_t>(width) * height, 255);
  }

  void Fill(int x, int y, int w, int h, std::uint8_t grey = 0) {
    const int x1 = std::min<int>(x + w, static_cast<int>(page_.width));
    const int y1 = std::min<int>(y + h, static_cast<int>(page_.height));
    for (int yy = std::max(y, 0); yy < y1; ++yy) {
      for (int xx = std::max(x, 0); xx < x1; ++xx) {
        page_.pixels[static_cast<size_t>(yy) * page_.width + static_cast<size_t>(xx)] = grey;
      }
    }
  }

  // Bars from (x, y); returns the width the bars span.
  int Code128(int x, int y, const std::string& text, int module, int height) {
    int at = x;
    bool bar = true;
    for (int w : Code128Elements(text)) {
      if (bar) Fill(at, y, w * module, height);
      at += w * module;
      bar = !bar;
    }
    return at - x;
  }

  // A line of "text": blocks of glyph size with gaps, as a printed line reads.
  void TextLine(int x, int y, int chars, int glyph = 12) {
    for (int i = 0; i < chars; ++i) Fill(x + i * (glyph + 4), y, glyph, glyph + 4);
  }

  // A shipping label: barcode on top, two lines of text under it.
  void ShippingLabel(int x, int y, const std::string& text, int module = 2, int barHeight = 120) {
    const int bars = Code128(x, y, text, module, barHeight);
    TextLine(x, y + barHeight + 20, static_cast<int>(text.size()));
    TextLine(x, y + barHeight + 56, std::max(4, bars / 32));
  }

  const labeljob::GreyPage& page() const { return page_; }

 private:
  labeljob::GreyPage page_;
};

// A media definition without margins, sizes in 0.1 mm.
inline labeljob::MediaDefinition LabelMedia(const std::string& name, std::uint32_t type,
                                            std::uint32_t width, std::uint32_t length) {
  return {name,
          {{"numLabelMediaType", type},
           {"numLabelMediaMethod", 1},
           {"mmLabelWidth", width},
           {"mmLabelLength", length},
           {"mmRightMargin", 0},
           {"mmLeftMargin", 0},
           {"mmTopMargin", 0},
           {"mmBottomMargin", 0},
           {"numMediaSensorSetting", 0},
           {"mmGapHeight", type == 3 ? 0u : 30u},
           {"mmGapOffset", 0},
           {"mmMarkHeight", 0},
           {"mmMarkOffset", 0}}};
}

}  // namespace testing_support
