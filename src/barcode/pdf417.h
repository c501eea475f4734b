// PDF417: segments made from the start and stop stripes, the reader that
// decodes the codewords between a start and a stop line, and the codeword
// stream decoding (correction over GF(929), compaction modes).
#pragma once

#include <cstdint>

#include "barcode/types.h"

namespace barcode {

// Row candidate kinds: the pattern and the direction it was read in.
enum Pdf417Kind : int32_t {
  kPdfStartKind = 2,         // start, read left to right
  kPdfStartReversedKind = 3, // start, read right to left (symbol turned)
  kPdfStopKind = 4,          // stop, read left to right
  kPdfStopReversedKind = 5,  // stop, read right to left
};

// Reader results beside 0 (read, or nothing readable) and 1 (memory).
constexpr int32_t kPdfStreamOutside = -1;  // the stream points outside its data
constexpr int32_t kPdfStreamBroken = -4;   // a group ends early, an unknown codeword
constexpr int32_t kPdfTooManyErrors = -5;
constexpr int32_t kPdfNoRows = -6;
constexpr int32_t kPdfNoSymbol = -7;

// Bar-space pattern of a codeword (17 bits, first module in bit 16) in
// cluster 0, 1 or 2 (the standard's clusters 0, 3, 6).
uint32_t Pdf417Pattern(int cluster, int codeword);
// The cluster and codeword of a 17-bit pattern, or -1 when no cluster has it.
int32_t Pdf417Lookup(uint32_t pattern, int* cluster);

// Corrects codewords[0 .. count) in place with eccCount check codewords at
// the end. Returns the number of corrected codewords, or -1 when there are
// more errors than the check codewords can correct.
int32_t CorrectPdf417(int32_t* codewords, int32_t count, int32_t eccCount);

// Decodes the data codewords (the length descriptor first) into text of at
// most textSize - 1 bytes, NUL-terminated. 0, kPdfStreamOutside or
// kPdfStreamBroken.
int32_t DecodePdf417Stream(const int32_t* codewords, int32_t dataCount, char* text,
                           int32_t textSize);

// Reads the symbol between a start and a stop segment of a one-byte image
// (1 dark; 3-channel images: dark below 129) stretched yScale times in
// height. flag 0: a pair; 1: a lone start with a stop found by search. 0 with output->text set when read; 0, -6 or
// -7 with no text; -5, -4, -1; 1 when memory ran out.
int32_t ReadPdf417(const BinaryImage& image, const Pdf417Segment& start, const Pdf417Segment& stop,
                   ReaderOutput* output, int flag, double yScale = 1);

}  // namespace barcode
