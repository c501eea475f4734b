// The one-dimensional readers: each reads one row of run lengths.
#pragma once

#include <cstdint>

#include "barcode/types.h"

namespace barcode {

// Runs of one pixel row: dark first (possibly 0), so dark runs are even.
struct RunList {
  int32_t count;
  uint32_t* runs;
};

// Readers' form: (sum of deviations) / total; 65536 when not this pattern.
int32_t ReaderPatternVariance(const uint32_t* runs, int n, const int32_t* pattern, int modules,
                              int maxIndividual);
// Index of the best-scoring table row below limit (first wins ties), or -1.
int BestPatternMatch(const uint32_t* runs, const int32_t* table, int count, int n, int modules,
                     int maxIndividual, int limit);
// First dark-aligned position from, from + 2, ... holding the guard; returns
// the run index just behind it, or -1.
int FindGuardPattern(const RunList& runs, const int32_t* pattern, int n, int from);

using LinearReader = int32_t (*)(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadCode39(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadItf(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadCode128(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadEanUpc(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadCodabar(const RunList& runs, ReaderOutput* out, bool* found);
int32_t ReadCode93(const RunList& runs, ReaderOutput* out, bool* found);

// The strip rows ReadLinearStrip reads, in its order: the middle, then a
// fifth of the height below and above, then two fifths. Only these rows of a
// strip are ever looked at.
void LinearStripRows(int32_t height, int32_t rows[5]);

// Reads a strip whose bars run down its columns. typeFlags are the per-type
// enable bytes of ScanOptions. found is set when a symbol was read.
int32_t ReadLinearStrip(const BinaryImage& strip, ReaderOutput* out, const uint8_t* typeFlags,
                        bool* found);

// Helpers shared by the readers.
uint32_t SumRuns(const RunList& runs, int from, int to);  // runs [from, to)
void SetReaderText(ReaderOutput* out, const char* name, const char* text, const char* second);

}  // namespace barcode
