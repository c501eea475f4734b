// The extended crop search and label fitting on pages drawn with zint; every
// redrawn barcode is read back with zxing-cpp, and its printed module widths
// are measured against the encoded ones.
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <zint.h>

#include <cstring>
#include <string>
#include <vector>

#include "crop/label_fitting.h"
#include "crop/region_analysis.h"
#include "support/barcode_fixtures.h"

namespace {

using fixtures::Page;

void Frame(Page* page, int left, int top, int width, int height) {
  for (int k = 0; k < 2; ++k) {
    for (int x = left; x < left + width; ++x) page->at(x, top + k) = page->at(x, top + height - 1 - k) = 0;
    for (int y = top; y < top + height; ++y) page->at(left + k, y) = page->at(left + width - 1 - k, y) = 0;
  }
}

void Block(Page* page, int left, int top, int width, int height, uint8_t value = 0) {
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) page->at(x, y) = value;
}

// A QR Code of zint, drawn with its top-left at (left, top); gives its side
// and, when asked, the modules of its middle row.
int DrawQr(Page* page, const std::string& data, int left, int top, int module,
           std::vector<uint8_t>* middleRow = nullptr) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_QRCODE;
  symbol->option_2 = 2;  // version 2: 25 modules
  ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                  static_cast<int>(data.size()));
  for (int row = 0; row < symbol->rows; ++row)
    for (int col = 0; col < symbol->width; ++col)
      if ((symbol->encoded_data[row][col / 8] >> (col % 8)) & 1)
        Block(page, left + col * module, top + row * module, module, module);
  for (int col = 0; middleRow && col < symbol->width; ++col)
    middleRow->push_back((symbol->encoded_data[symbol->rows / 2][col / 8] >> (col % 8)) & 1);
  const int side = symbol->width * module;
  ZBarcode_Delete(symbol);
  return side;
}

// A page of the rows of an image or a label (the first sample of each
// pixel), and an image of a page.
Page FromRows(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride, uint32_t bpp) {
  Page page(static_cast<int>(width), static_cast<int>(height));
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) page.at(int(x), int(y)) = pixels[size_t{y} * stride + x * bpp];
  return page;
}
Page FromLabel(const crop::LabelImage& l) {
  return FromRows(l.pixels.data(), l.width, l.height, l.stride, l.bytesPerPixel);
}
Page FromImage(const crop::OwnedImage& i) { return FromRows(i.pixels.get(), i.width, i.height, i.stride, 1); }

crop::OwnedImage RegionOf(const Page& page) {
  crop::OwnedImage region;
  EXPECT_TRUE(crop::MakeImage(&region, uint32_t(page.width), uint32_t(page.height), 1, 255));
  for (int y = 0; y < page.height; ++y)
    std::memcpy(region.pixels.get() + size_t(y) * region.stride, &page.grey[size_t(y) * page.width], size_t(page.width));
  return region;
}

// Texts zxing reads in a window of the page (linear and QR Code).
std::vector<std::string> ReadTexts(const Page& page, int left, int top, int width, int height) {
  Page window(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int px = left + x, py = top + y;
      window.at(x, y) = px >= 0 && py >= 0 && px < page.width && py < page.height ? page.grey[size_t(py) * page.width + px] : 255;
    }
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::LinearCodes | ZXing::BarcodeFormat::QRCode);
  hints.setMaxNumberOfSymbols(1);
  ZXing::ImageView view(window.grey.data(), window.width, window.height, ZXing::ImageFormat::Lum);
  std::vector<std::string> texts;
  for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints))
    if (r.isValid()) texts.push_back(r.text());
  return texts;
}

// Measures one printed linear barcode along the middle row of its box: the
// share of its modules printed exactly k dots wide (a run of r modules r x k
// dots wide counts r), or -1 when the runs do not match the encoded ones.
double ExactShare(const Page& page, const crop::BarcodeBox& box, const std::vector<uint8_t>& modules, int k) {
  std::vector<int> printed;
  const int y = box.y + box.height / 2;
  int x = box.x;
  while (x < box.x + box.width && page.grey[size_t(y) * page.width + x] >= 128) ++x;
  int last = box.x + box.width;
  while (last > x && page.grey[size_t(y) * page.width + last - 1] >= 128) --last;
  while (x < last) {
    const bool dark = page.grey[size_t(y) * page.width + x] < 128;
    int run = 0;
    while (x < last && (page.grey[size_t(y) * page.width + x] < 128) == dark) ++x, ++run;
    printed.push_back(run);
  }
  // Light modules at the ends do not show against the white around them.
  size_t first = 0, end = modules.size();
  while (first < end && !modules[first]) ++first;
  while (end > first && !modules[end - 1]) --end;
  std::vector<int> encoded;
  for (size_t m = first; m < end;) {
    size_t e = m;
    while (e < end && modules[e] == modules[m]) ++e;
    encoded.push_back(static_cast<int>(e - m));
    m = e;
  }
  if (printed.size() != encoded.size()) return -1;
  int exact = 0;
  for (size_t i = 0; i < encoded.size(); ++i)
    if (printed[i] == encoded[i] * k) exact += encoded[i];
  return double(exact) / double(end - first);
}

uint8_t Px(const Page& page, int x, int y) { return page.grey[size_t(y) * size_t(page.width) + size_t(x)]; }

barcode::SymbolResult Result(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t type,
                             double module) {
  barcode::SymbolResult r;
  std::memset(&r, 0, sizeof r);
  r.centreX = left, r.centreY = top, r.width = width, r.height = height;
  r.type = type;
  r.moduleSize = module;
  return r;
}

crop::SourceImage Source(const Page& page) {
  return {page.grey.data(), uint32_t(page.width), uint32_t(page.width), uint32_t(page.height), 6, 1};
}

const std::string kShipText = "SHIP-NORVAL";

// Two 800-dot labels side by side, 60 blank columns apart, each with a
// Code 128 of 3-dot modules and a QR Code of 25 modules at 8 dots.
Page WorkedExamplePage(std::vector<uint8_t>* modules) {
  Page page(1700, 1040);
  *modules = fixtures::EncodeLinear(BARCODE_CODE128, kShipText);
  for (int l = 0; l < 2; ++l) {
    const int left = 20 + l * 860;
    Frame(&page, left, 20, 800, 1000);
    for (int line = 0; line < 4; ++line) Block(&page, left + 40, 60 + line * 40, 300 + line * 50, 18);
    fixtures::DrawLinear(&page, *modules, {left + 400.0, 420, 3, 160, 0});
    DrawQr(&page, "QR-LABEL-" + std::to_string(l), left + 300, 620, 8);
    // Marks beside the QR Code narrow its room.
    Block(&page, left + 200, 620, 16, 200);
    Block(&page, left + 590, 620, 16, 200);
  }
  return page;
}

// Grey, and the same page in three bytes a pixel: the labels keep the
// page's pixel size, rows padded to four bytes.
TEST(ExtendedCropSearch, WorkedExampleGivesTwoLabelsOfThePrintableWidth) {
  std::vector<uint8_t> modules;
  const Page page = WorkedExamplePage(&modules);
  std::vector<uint8_t> rgb(page.grey.size() * 3);
  for (size_t i = 0; i < page.grey.size(); ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = page.grey[i];
  const crop::SourceImage sources[] = {
      Source(page), {rgb.data(), uint32_t(page.width), uint32_t(page.width * 3), uint32_t(page.height), 6, 3}};
  for (const crop::SourceImage& source : sources) {
    SCOPED_TRACE(source.bytesPerPixel);
    crop::LabelImageList labels;
    ASSERT_EQ(crop::ExtendedCropSearch(&source, 406, 1, &labels), 0);
    ASSERT_EQ(int(labels.size()), 2);
    for (int i = 0; i < 2; ++i) {
      const crop::LabelImage& label = labels[i];
      EXPECT_EQ(label.width, 406u);
      EXPECT_EQ(label.bytesPerPixel, source.bytesPerPixel);
      EXPECT_EQ(label.stride, source.bytesPerPixel == 1 ? 408u : 1220u);
      EXPECT_EQ(label.reRendered, 1);
      EXPECT_EQ(label.antiAliased, 0);
      ASSERT_GE(label.barcodes.size(), 1u);
      const Page printed = FromLabel(label);
      for (uint32_t b = 0; b < label.barcodes.size(); ++b) {
        const crop::BarcodeBox& box = label.barcodes[b];
        const auto texts = ReadTexts(printed, box.x - 30, box.y - 30, box.width + 60, box.height + 60);
        ASSERT_EQ(texts.size(), 1u) << "label " << i << " box " << b;
        EXPECT_TRUE(texts[0] == kShipText || texts[0] == "QR-LABEL-" + std::to_string(i)) << texts[0];
        if (texts[0] != kShipText) continue;
        EXPECT_EQ(ExactShare(printed, box, modules, 2), 1.0) << "label " << i;
      }
    }
  }
}

// Two small labels whose frames are `gap` blank columns apart.
TEST(ExtendedCropSearch, BandsSplitAtTheLeastColumnGap) {
  const struct {
    int gap;
    uint32_t is203;
    int labels;
  } kCases[] = {{34, 1, 2}, {33, 1, 2}, {32, 1, 1}, {50, 0, 2}, {49, 0, 1}};
  const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "BAND");
  for (const auto& c : kCases) {
    Page page(2 * 300 + c.gap + 40, 300);
    for (int l = 0; l < 2; ++l) {
      const int left = 20 + l * (300 + c.gap);
      Frame(&page, left, 20, 300, 260);
      fixtures::DrawLinear(&page, modules, {left + 150.0, 150, 2, 100, 0}, 0);
    }
    crop::SourceImage source = Source(page);
    crop::LabelImageList labels;
    ASSERT_EQ(crop::ExtendedCropSearch(&source, 2000, c.is203, &labels), 0) << c.gap;
    EXPECT_EQ(int(labels.size()), c.labels) << "gap " << c.gap << " 203 " << c.is203;
  }
}

TEST(ExtendedCropSearch, RegionsSplitAtTheLeastRowGap) {
  const struct {
    int gap;
    int labels;
  } kCases[] = {{193, 2}, {192, 1}};
  const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "ROWS");
  for (const auto& c : kCases) {
    Page page(400, 2 * 200 + c.gap + 40);
    for (int l = 0; l < 2; ++l) {
      const int top = 20 + l * (200 + c.gap);
      Frame(&page, 50, top, 300, 200);
      fixtures::DrawLinear(&page, modules, {200.0, top + 100.0, 2, 80, 0}, 0);
    }
    crop::SourceImage source = Source(page);
    crop::LabelImageList labels;
    ASSERT_EQ(crop::ExtendedCropSearch(&source, 300, 1, &labels), 0) << c.gap;
    EXPECT_EQ(int(labels.size()), c.labels) << "gap " << c.gap;
  }
}

TEST(ExtendedCropSearch, UprightCode128IsTurnedToReadLeftToRight) {
  const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "TURN-90");
  Page page(400, 600);
  Frame(&page, 20, 20, 360, 560);
  fixtures::DrawLinear(&page, modules, {200, 300, 2, 120, 90}, 0);
  crop::SourceImage source = Source(page);
  crop::LabelImageList labels;
  ASSERT_EQ(crop::ExtendedCropSearch(&source, 600, 1, &labels), 0);
  ASSERT_EQ(int(labels.size()), 1);
  const crop::LabelImage& label = labels[0];
  EXPECT_EQ(label.width, 600u);  // 560 high page rows became 560 columns, centred on 600
  EXPECT_EQ(label.height, 360u);
  ASSERT_EQ(label.barcodes.size(), 1u);
  const crop::BarcodeBox& box = label.barcodes[0];
  EXPECT_GT(box.width, box.height);
  const Page printed = FromLabel(label);
  // Read along rows without zxing's own turning: it must read upright now.
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::Code128);
  hints.setTryRotate(false);
  ZXing::ImageView view(printed.grey.data(), printed.width, printed.height, ZXing::ImageFormat::Lum);
  const ZXing::Result r = ZXing::ReadBarcode(view, hints);
  EXPECT_EQ(r.text(), "TURN-90");
}

TEST(ExtendedCropSearch, TenBarcodesOnAPageAreRefused) {
  Page page(1400, 1200);
  for (int i = 0; i < 10; ++i) {
    const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "N" + std::to_string(i));
    fixtures::DrawLinear(&page, modules, {200.0 + (i % 2) * 700, 120.0 + (i / 2) * 220, 2, 90, 0});
  }
  crop::SourceImage source = Source(page);
  crop::LabelImageList labels;
  EXPECT_EQ(crop::ExtendedCropSearch(&source, 406, 1, &labels), 5);
  EXPECT_EQ(int(labels.size()), 0);
}

TEST(ExtendedCropSearch, NarrowLabelIsCentredWithTheOddColumnOnTheRight) {
  const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "MIDDLE");
  Page page(400, 300);
  Frame(&page, 40, 20, 301, 260);  // band: columns 40 ... 340
  fixtures::DrawLinear(&page, modules, {190, 150, 2, 100, 0}, 0);
  crop::SourceImage source = Source(page);
  for (uint32_t printable : {301u, 302u, 305u}) {
    crop::LabelImageList labels;
    ASSERT_EQ(crop::ExtendedCropSearch(&source, printable, 1, &labels), 0);
    ASSERT_EQ(int(labels.size()), 1);
    const Page printed = FromLabel(labels[0]);
    ASSERT_EQ(printed.width, int(printable));
    int left = 0, right = 0;
    while (Px(printed, left, 100) == 255) ++left;
    while (Px(printed, printed.width - 1 - right, 100) == 255) ++right;
    EXPECT_EQ(left, int(printable - 301) / 2) << printable;
    EXPECT_EQ(right, int(printable - 301) - left) << printable;
  }
}

TEST(ExtendedCropSearch, GreyBarcodeIsFlaggedEvenWhenTheLabelFits) {
  const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, "SOFT-EDGE");
  Page page(500, 300);
  fixtures::DrawLinear(&page, modules, {250, 150, 3, 100, 0}, 0);
  fixtures::BoxBlur(&page);
  Frame(&page, 20, 20, 460, 260);
  crop::SourceImage source = Source(page);
  crop::LabelImageList labels;
  ASSERT_EQ(crop::ExtendedCropSearch(&source, 460, 1, &labels), 0);
  ASSERT_EQ(int(labels.size()), 1);
  EXPECT_EQ(labels[0].antiAliased, 1);
  EXPECT_EQ(labels[0].reRendered, 0);
  // Exactly the printable width: taken as it is, byte for byte.
  const Page printed = FromLabel(labels[0]);
  for (int y = 0; y < 260; y += 37)
    for (int x = 0; x < 460; ++x) ASSERT_EQ(Px(printed, x, y), Px(page, 20 + x, 20 + y)) << x << "," << y;
}

// Label fitting of a drawn Code 128 whose result record is given: the region
// is 1.5 times the printable width.
struct FitCase {
  int module;
  bool is203;
  int32_t code;
  int redrawnModule;
};

TEST(FitRegion, WideRegionRedrawsByWholeModulesOrRefuses) {
  const FitCase kCases[] = {{3, true, 0, 2}, {3, false, 6, 0}, {1, true, 6, 0}};
  for (const FitCase& c : kCases) {
    const auto modules = fixtures::EncodeLinear(BARCODE_CODE128, c.module == 1 ? std::string(44, 'W') : "FIT-1.5-REGION");
    const int barWidth = int(modules.size()) * c.module;
    const int regionWidth = c.module == 1 ? barWidth + 20 : 609;
    Page page(regionWidth, 240);
    fixtures::DrawLinear(&page, modules, {regionWidth / 2.0, 120, c.module, 100, 0}, 0);
    crop::OwnedImage region = RegionOf(page);
    std::vector<barcode::SymbolResult> r{
        Result((regionWidth - barWidth) / 2 - 1, 69, barWidth + 2, 102, barcode::kCode128, c.module)};
    barcode::SymbolResultList list{1, r.data()};
    const uint32_t printable = uint32_t(regionWidth * 2 / 3);
    crop::OwnedImage label;
    ASSERT_EQ(crop::FitRegion(&region, &list, printable, c.is203, &label), c.code) << c.module;
    if (c.code != 0) continue;
    EXPECT_EQ(label.width, printable);
    EXPECT_EQ(r[0].reRendered, 1u);
    const Page printed = FromImage(label);
    const crop::BarcodeBox box{r[0].centreX, r[0].centreY, r[0].width, r[0].height};
    // Its scaled centre stays where it was.
    EXPECT_NEAR(box.x + box.width / 2.0, (regionWidth / 2.0) * printable / regionWidth, 2.0);
    const auto texts = ReadTexts(printed, 0, 0, printed.width, printed.height);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "FIT-1.5-REGION");
    // Nearly every module whole: a dot of rounding here and there.
    EXPECT_GE(ExactShare(printed, box, modules, c.redrawnModule), 0.98);
  }
}

TEST(FitRegion, QrCodeIsRedrawnWithItsPaddingInsideItsRoom) {
  Page page(800, 600);
  Frame(&page, 0, 0, 800, 600);
  std::vector<uint8_t> middle;
  const int side = DrawQr(&page, "QR-LABEL-0", 300, 200, 8, &middle);
  Block(&page, 270, 200, 11, 200);
  Block(&page, 520, 200, 11, 200);
  ASSERT_EQ(side, 200);
  crop::OwnedImage region = RegionOf(page);
  std::vector<barcode::SymbolResult> r{Result(299, 199, 202, 202, barcode::kQrCode, 8)};
  barcode::SymbolResultList list{1, r.data()};
  crop::OwnedImage label;
  ASSERT_EQ(crop::FitRegion(&region, &list, 406, true, &label), 0);
  EXPECT_EQ(r[0].reRendered, 1u);
  // 216 dots with its padding, into a room of 239 x 406/800 = 121: 4 dots per module.
  EXPECT_EQ(r[0].width, 216 * 4 / 8);
  const Page printed = FromImage(label);
  const auto texts = ReadTexts(printed, 0, 0, printed.width, printed.height);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "QR-LABEL-0");
  // The middle module row, inside the padding of 7 dots shrunk by a half.
  // The cut-out took 8 dots of quiet zone each side: 4 after the shrink.
  const crop::BarcodeBox row{r[0].centreX + 2, r[0].centreY + (8 + 12 * 8 + 4) / 2 - 1, 104, 3};
  EXPECT_EQ(ExactShare(printed, row, middle, 4), 1.0);
}

TEST(FitRegion, BadBoxesAndModuleSizesGetTheirCodes) {
  const struct {
    int32_t left, top, width, height;
    double module;
    int32_t code;
  } kCases[] = {
      {-1, 10, 100, 50, 2, 4},    {10, 10, 391, 50, 4, 4},   {10, 10, 390, 50, 4, 0},
      {10, 151, 100, 50, 2, 4},   {10, 150, 100, 50, 2, 0},  {10, 10, 0, 50, 2, 4},
      {50, 50, 300, 50, 0, 5},    {50, 50, 300, 50, 0.49, 5}, {50, 50, 300, 50, 0.5, 6},
      {50, 50, 300, 50, 1, 6},    {50, 50, 300, 50, 3, 0},   {50, 50, 300, 50, 100, 0},
      {50, 50, 300, 50, 101, 5},
  };
  for (const auto& c : kCases) {
    crop::OwnedImage region;
    ASSERT_TRUE(crop::MakeImage(&region, 400, 200, 1, 255));
    for (int y = 60; y < 90; ++y) std::memset(region.pixels.get() + size_t(y) * region.stride + 60, 0, 280);
    std::vector<barcode::SymbolResult> r{Result(c.left, c.top, c.width, c.height, barcode::kCode128, c.module)};
    barcode::SymbolResultList list{1, r.data()};
    crop::OwnedImage label;
    EXPECT_EQ(crop::FitRegion(&region, &list, 200, true, &label), c.code)
        << c.left << " " << c.top << " " << c.width << " module " << c.module;
  }
}

TEST(ExtendedCropSearch, BadPagesGetTheirCodes) {
  std::vector<uint8_t> modules;
  const Page page = WorkedExamplePage(&modules);
  const crop::SourceImage good = Source(page);
  const std::vector<uint8_t> blank(size_t{65535} * 100, 255);
  struct Case {
    crop::SourceImage image;
    uint32_t printable, is203;
    int32_t code;
  };
  auto with = [&](auto change) {
    crop::SourceImage s = good;
    change(&s);
    return s;
  };
  const Case kCases[] = {
      {with([](crop::SourceImage* s) { s->pixels = nullptr; }), 406, 1, 5},
      {good, 0, 1, 5},
      {good, 406, 2, 5},
      {with([](crop::SourceImage* s) { s->format = 7; }), 406, 1, 5},
      {with([](crop::SourceImage* s) { s->bytesPerPixel = 2; }), 406, 1, 5},
      {with([](crop::SourceImage* s) { s->width = 99; }), 406, 1, 5},
      {with([](crop::SourceImage* s) { s->height = 99; }), 406, 1, 5},
      {with([](crop::SourceImage* s) { s->stride = s->width - 1; }), 406, 1, 5},
      // Three bytes per pixel on rows of one byte per pixel: not a page.
      {with([](crop::SourceImage* s) { s->bytesPerPixel = 3; }), 406, 1, 4},
      {{blank.data(), 65535, 65535, 100, 6, 1}, 406, 1, 4},
  };
  for (const Case& c : kCases) {
    crop::LabelImageList labels;
    EXPECT_EQ(crop::ExtendedCropSearch(&c.image, c.printable, c.is203, &labels), c.code)
        << c.image.width << " fmt " << c.image.format << " bpp " << c.image.bytesPerPixel;
    EXPECT_EQ(int(labels.size()), 0);
  }
}

}  // namespace
