#include "stream_reader.h"

#include <cstring>

#include "block_decoders.h"

namespace labelview {

namespace {

constexpr std::size_t kHeaderSize = 16;

class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  Stream Run() {
    while (at_ < size_ && !stream_.error) {
      if (StartsWith("!S") || StartsWith("!R")) {
        ReadBlock();
      } else if (StartsWith("BITMAP ")) {
        ReadBitmap();
      } else {
        ReadLine();
      }
    }
    return std::move(stream_);
  }

 private:
  bool StartsWith(const char* text) const {
    const std::size_t n = std::strlen(text);
    return size_ - at_ >= n && std::memcmp(bytes_ + at_, text, n) == 0;
  }
  void Fail(std::size_t offset, std::string expected) {
    stream_.error = StreamError{offset, std::move(expected)};
  }
  unsigned Le16(std::size_t offset) const { return bytes_[offset] | (bytes_[offset + 1] << 8); }

  bool ExpectLineEnd() {
    if (!StartsWith("\r\n")) {
      Fail(at_, "CR LF after the raster data");
      return false;
    }
    at_ += 2;
    return true;
  }

  void AddRaster(std::size_t offset, std::string text, Raster raster) {
    stream_.rasters.push_back(std::move(raster));
    sinceCls_ = stream_.rasters.size() - 1;
    stream_.commands.push_back({offset, std::move(text), sinceCls_});
  }

  void ReadBlock() {
    const std::size_t start = at_;
    if (size_ - at_ < kHeaderSize) return Fail(at_, "a 16-byte block header");
    const std::uint8_t* h = bytes_ + at_;
    const bool lzss = h[1] == 'S';
    const std::uint8_t trailer0 = lzss ? 0x00 : 0x80, trailer1 = lzss ? 0x00 : 0x03;
    if (Le16(at_ + 2) != 0 || Le16(at_ + 4) != 0) return Fail(at_ + 2, "zero x and y fields");
    if (Le16(at_ + 10) != 1 || Le16(at_ + 12) != 0) return Fail(at_ + 10, "fields 1 and 0");
    if (h[14] != trailer0 || h[15] != trailer1) {
      return Fail(at_ + 14, lzss ? "trailer bytes 00 00" : "trailer bytes 80 03");
    }
    Raster raster;
    raster.kind = lzss ? RasterKind::kLzss : RasterKind::kRunLength;
    raster.bytesPerRow = Le16(at_ + 6);
    raster.rows = Le16(at_ + 8);
    at_ += kHeaderSize;
    const std::size_t decoded = std::size_t{raster.bytesPerRow} * raster.rows;
    const std::size_t available = size_ - at_;
    const std::size_t expansion = lzss ? kLzssMaxExpansion : kRunLengthMaxExpansion;
    if (decoded / expansion > available) {
      return Fail(at_, "data for " + std::to_string(decoded) + " decoded bytes");
    }
    const DecodeResult result =
        lzss ? DecodeLzss(bytes_ + at_, available, decoded, raster.data)
             : DecodeRunLength(bytes_ + at_, available, decoded, raster.data);
    if (!result.ok) return Fail(at_ + result.consumed, result.expected);
    raster.encodedBytes = result.consumed;
    at_ += result.consumed;
    const std::string text = std::string(lzss ? "!S" : "!R") + " block " +
                             std::to_string(raster.bytesPerRow) + " bytes x " +
                             std::to_string(raster.rows) + " rows, " +
                             std::to_string(result.consumed) + " data bytes";
    if (!ExpectLineEnd()) return;
    AddRaster(start, text, std::move(raster));
  }

  // "BITMAP x,y,width bytes,rows,mode," then width x rows bytes.
  void ReadBitmap() {
    const std::size_t start = at_;
    std::size_t p = at_ + 7;
    std::int64_t fields[5] = {};
    for (int f = 0; f < 5; ++f) {
      const std::size_t fieldStart = p;
      bool negative = false;
      if (p < size_ && bytes_[p] == '-') {
        negative = true;
        ++p;
      }
      std::int64_t value = 0;
      std::size_t digits = 0;
      while (p < size_ && bytes_[p] >= '0' && bytes_[p] <= '9' && digits < 10) {
        value = value * 10 + (bytes_[p++] - '0');
        ++digits;
      }
      if (digits == 0 || p >= size_ || bytes_[p] != ',') {
        return Fail(digits == 0 ? fieldStart : p, "a number and ',' in the BITMAP command");
      }
      ++p;
      fields[f] = negative ? -value : value;
    }
    if (fields[2] < 0 || fields[3] < 0 || fields[2] > 65535 || fields[3] > 65535) {
      return Fail(start, "BITMAP width and height from 0 to 65535");
    }
    Raster raster;
    raster.bytesPerRow = static_cast<std::uint32_t>(fields[2]);
    raster.rows = static_cast<std::uint32_t>(fields[3]);
    std::string text(reinterpret_cast<const char*>(bytes_ + start), p - start);
    at_ = p;
    const std::size_t count = std::size_t{raster.bytesPerRow} * raster.rows;
    if (size_ - at_ < count) {
      return Fail(size_,
                  std::to_string(count) + " BITMAP data bytes from offset " + std::to_string(at_));
    }
    raster.data.assign(bytes_ + at_, bytes_ + at_ + count);
    raster.encodedBytes = count;
    at_ += count;
    text += " <" + std::to_string(count) + " bytes>";
    if (!ExpectLineEnd()) return;
    AddRaster(start, text, std::move(raster));
  }

  void ReadLine() {
    const std::size_t start = at_;
    std::size_t end = at_;
    while (end < size_ && bytes_[end] != '\r' && end - at_ <= kMaxLineLength) ++end;
    if (end - at_ > kMaxLineLength) return Fail(start, "a command line of at most 255 characters");
    if (end + 1 >= size_ || bytes_[end] != '\r' || bytes_[end + 1] != '\n') {
      return Fail(end, "CR LF ending the command");
    }
    std::string text(reinterpret_cast<const char*>(bytes_ + at_), end - at_);
    if (text == "\x1B!D") {
      text = "ESC !D";
    } else {
      for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E) return Fail(start + i, "a printable command character");
      }
    }
    at_ = end + 2;
    if (text == "CLS") sinceCls_.reset();
    if (text.compare(0, 6, "PRINT ") == 0) {
      PrintedLabel label;
      if (!ParsePrint(text, label)) return Fail(start, "PRINT m,n with two numbers");
      label.raster = sinceCls_;
      stream_.labels.push_back(label);
    }
    stream_.commands.push_back({start, std::move(text), std::nullopt});
  }

  static bool ParsePrint(const std::string& text, PrintedLabel& label) {
    std::size_t p = 6;
    std::int64_t* targets[2] = {&label.sets, &label.copies};
    for (int f = 0; f < 2; ++f) {
      std::int64_t value = 0;
      std::size_t digits = 0;
      bool negative = p < text.size() && text[p] == '-';
      if (negative) ++p;
      while (p < text.size() && text[p] >= '0' && text[p] <= '9' && digits < 10) {
        value = value * 10 + (text[p++] - '0');
        ++digits;
      }
      if (digits == 0) return false;
      *targets[f] = negative ? -value : value;
      if (f == 0) {
        if (p >= text.size() || text[p] != ',') return false;
        ++p;
      }
    }
    return p == text.size();
  }

  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::optional<std::size_t> sinceCls_;
  Stream stream_;
};

}  // namespace

Stream ReadStream(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr) size = 0;
  return Reader(bytes, size).Run();
}

}  // namespace labelview
