// Data codewords of an ECC 200 symbol to text: ASCII with its latches into
// C40, Text, X12, EDIFACT and Base 256.
#include <cstring>

#include "barcode/datamatrix.h"

namespace barcode {

namespace {

constexpr int32_t kNoSymbol = -6;
constexpr char kMacroEnd[] = "RSEOT";

// Bounded output; text beyond the room is dropped.
struct TextOut {
  char* text;
  int32_t size;
  int32_t length = 0;
  void Put(int value) {
    if (length < size - 1) text[length++] = static_cast<char>(value);
  }
  void Put(const char* s) {
    for (; *s != '\0'; ++s) Put(*s);
  }
};

enum class Scheme { kAscii, kC40, kText, kX12, kEdifact, kBase256 };

struct Reader {
  const uint8_t* codewords;
  int32_t count;
  int32_t pos = 0;
  TextOut out;
  bool upperShift = false;
  bool macro = false;

  void PutChar(int value) {
    out.Put(upperShift ? value + 128 : value);
    upperShift = false;
  }
};

// One ASCII codeword; sets the scheme to latch into. False at the end of the
// data or on an invalid codeword (*invalid set).
bool AsciiCodeword(Reader* r, Scheme* next, bool* invalid) {
  const int v = r->codewords[r->pos++];
  if (v >= 1 && v <= 128) {
    r->PutChar(v - 1);
  } else if (v == 129) {
    r->pos = r->count;  // padding to the end
    return false;
  } else if (v >= 130 && v <= 229) {
    r->out.Put('0' + (v - 130) / 10);
    r->out.Put('0' + (v - 130) % 10);
  } else if (v == 230) {
    *next = Scheme::kC40;
  } else if (v == 231) {
    *next = Scheme::kBase256;
  } else if (v == 232) {
    r->out.Put(29);
  } else if (v == 233 || v == 234 || v == 241 || v == 254) {
    // Structured append, reader programming, ECI: nothing of the text.
  } else if (v == 235) {
    r->upperShift = true;
  } else if (v == 236 || v == 237) {
    r->out.Put(v == 236 ? "[)>RS05GS" : "[)>RS06GS");
    r->macro = true;
  } else if (v == 238) {
    *next = Scheme::kX12;
  } else if (v == 239) {
    *next = Scheme::kText;
  } else if (v == 240) {
    *next = Scheme::kEdifact;
  } else {
    *invalid = true;
    return false;
  }
  return true;
}

// C40, Text and X12 pack three values into two codewords; 254 unlatches.
bool TripletScheme(Reader* r, Scheme scheme, bool* invalid) {
  int shift = 0;
  while (r->count - r->pos >= 2) {
    if (r->codewords[r->pos] == 254) {
      ++r->pos;
      return true;
    }
    const int packed = r->codewords[r->pos] * 256 + r->codewords[r->pos + 1] - 1;
    r->pos += 2;
    const int values[3] = {packed / 1600, (packed / 40) % 40, packed % 40};
    for (const int v : values) {
      if (scheme == Scheme::kX12) {
        static const char kX12Low[4] = {13, '*', '>', ' '};
        if (v < 4) {
          r->PutChar(kX12Low[v]);
        } else if (v < 14) {
          r->PutChar('0' + v - 4);
        } else {
          r->PutChar('A' + v - 14);
        }
        continue;
      }
      switch (shift) {
        case 0:
          if (v < 3) {
            shift = v + 1;
          } else if (v == 3) {
            r->PutChar(' ');
          } else if (v < 14) {
            r->PutChar('0' + v - 4);
          } else {
            r->PutChar((scheme == Scheme::kC40 ? 'A' : 'a') + v - 14);
          }
          break;
        case 1:
          r->PutChar(v);
          shift = 0;
          break;
        case 2:
          if (v < 15) {
            r->PutChar('!' + v);
          } else if (v < 22) {
            r->PutChar(':' + v - 15);
          } else if (v < 27) {
            r->PutChar('[' + v - 22);
          } else if (v == 27) {
            r->out.Put(29);
          } else if (v == 30) {
            r->upperShift = true;
          } else {
            *invalid = true;
            return false;
          }
          shift = 0;
          break;
        default:
          if (scheme == Scheme::kC40) {
            r->PutChar(96 + v);
          } else if (v == 0) {
            r->PutChar('`');
          } else if (v < 27) {
            r->PutChar('A' + v - 1);
          } else {
            r->PutChar('{' + v - 27);
          }
          shift = 0;
          break;
      }
    }
  }
  return true;
}

// Four six-bit values in three codewords; 31 unlatches, and ASCII resumes
// at the codeword after the one that holds its last bit.
void EdifactScheme(Reader* r) {
  while (r->count - r->pos >= 3) {
    const uint32_t bits = (uint32_t{r->codewords[r->pos]} << 16) |
                          (uint32_t{r->codewords[r->pos + 1]} << 8) | r->codewords[r->pos + 2];
    for (int k = 0; k < 4; ++k) {
      const int v = static_cast<int>((bits >> (18 - 6 * k)) & 63);
      if (v == 31) {
        r->pos += (6 * k + 5) / 8 + 1;
        return;
      }
      r->PutChar(v < 32 ? v + 64 : v);
    }
    r->pos += 3;
  }
}

// Base 256 bytes are scrambled by their position in the symbol (1-based).
int Unscramble(int value, int32_t position) {
  const int pseudo = ((149 * position) % 255) + 1;
  const int v = value - pseudo;
  return v >= 0 ? v : v + 256;
}

void Base256Scheme(Reader* r) {
  if (r->pos >= r->count) return;
  const int first = Unscramble(r->codewords[r->pos], r->pos + 1);
  ++r->pos;
  int32_t length;
  if (first == 0) {
    length = r->count - r->pos;
  } else if (first < 250) {
    length = first;
  } else {
    if (r->pos >= r->count) return;
    length = (first - 249) * 250 + Unscramble(r->codewords[r->pos], r->pos + 1);
    ++r->pos;
  }
  for (int32_t k = 0; k < length && r->pos < r->count; ++k, ++r->pos)
    r->out.Put(Unscramble(r->codewords[r->pos], r->pos + 1));
}

}  // namespace

int32_t DecodeDataMatrixData(const uint8_t* codewords, int32_t count, char* text,
                             int32_t textSize) {
  if (textSize < 1) return kNoSymbol;
  Reader r{codewords, count, 0, TextOut{text, textSize}};
  bool invalid = false;
  while (r.pos < r.count) {
    Scheme next = Scheme::kAscii;
    if (!AsciiCodeword(&r, &next, &invalid)) break;
    switch (next) {
      case Scheme::kC40:
      case Scheme::kText:
      case Scheme::kX12:
        if (!TripletScheme(&r, next, &invalid)) break;
        break;
      case Scheme::kEdifact:
        EdifactScheme(&r);
        break;
      case Scheme::kBase256:
        Base256Scheme(&r);
        break;
      case Scheme::kAscii:
        break;
    }
    if (invalid) break;
  }
  if (invalid) {
    text[0] = '\0';
    return kNoSymbol;
  }
  if (r.macro) r.out.Put(kMacroEnd);
  text[r.out.length] = '\0';
  return 0;
}

}  // namespace barcode
