// The resampler's interpolation kernel: 512 rows of 8 signed 16-bit entries, entries
// 0..5 the weights of one phase, entries 6 and 7 zero; and its conversion to doubles, which the
// decoder reads.
#pragma once

#include <array>
#include <cstdint>

namespace brisca {

inline constexpr int kKernelRows = 512;
inline constexpr int kKernelTaps = 6;
inline constexpr int kKernelStride = 8;  // entries per row (6 weights, 2 zeros)
inline constexpr std::int32_t kKernelRowSum = 32766;

using KernelRow = std::array<std::int16_t, kKernelStride>;
using KernelTable = std::array<KernelRow, kKernelRows>;

// The constant table of the program (preview/kernel_table.cpp, written by tools/gen_kernel_table
// from generate_kernel_table()).
extern const KernelTable kernel_table;

// Converts kernel_table to doubles (each entry / 32768) once. Idempotent and safe to call from
// any thread; the program calls it at start-up, and decode_block calls it too, so decoding before
// start-up is not an error.
void build_kernel();
// The converted table: kKernelRows rows of kKernelStride doubles, 64-byte aligned. Builds it if
// that has not happened yet.
const double* kernel_doubles();

// The stated rule for row r, before any rounding: 32766 x sinc(d) x (0.54 + 0.46 cos(pi d / 3))
// at d = k - 2 - r/512, less one sixth of the row's excess over 32766.
std::array<double, kKernelTaps> kernel_rule_exact(int row);
// The rule's integer entries: kernel_rule_exact truncated toward zero.
std::array<int, kKernelTaps> kernel_rule_truncated(int row);

// The eleven reference rows the table holds exactly (the rule alone misses some of their entries
// by one).
struct ReferenceRow {
  int row;
  std::array<std::int16_t, kKernelTaps> weights;
};
extern const std::array<ReferenceRow, 11> kReferenceRows;

// Builds the table from the rule: see kernel.cpp for the integer adjustment.
KernelTable generate_kernel_table();

}  // namespace brisca
