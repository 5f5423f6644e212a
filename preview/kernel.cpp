#include "preview/kernel.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace brisca {

const std::array<ReferenceRow, 11> kReferenceRows{{
    {0, {0, 0, 32766, 0, 0, 0}},
    {1, {9, -49, 32765, 49, -9, 1}},
    {2, {19, -97, 32764, 98, -20, 2}},
    {64, {477, -2551, 31793, 3729, -786, 104}},
    {128, {691, -3901, 29024, 8495, -1786, 243}},
    {192, {700, -4215, 24785, 13941, -2856, 411}},
    {256, {582, -3762, 19564, 19564, -3763, 581}},
    {320, {412, -2856, 13941, 24785, -4215, 699}},
    {384, {244, -1786, 8495, 29024, -3901, 690}},
    {448, {105, -785, 3729, 31793, -2552, 476}},
    {511, {1, -9, 49, 32765, -49, 9}},
}};

std::array<double, kKernelTaps> kernel_rule_exact(int row) {
  const double pi = std::numbers::pi;
  const double p = row / 512.0;
  std::array<double, kKernelTaps> w{};
  double sum = 0.0;
  for (int k = 0; k < kKernelTaps; ++k) {
    const double d = k - 2 - p;
    const double sinc = d == 0.0 ? 1.0 : std::sin(pi * d) / (pi * d);
    w[k] = 32766.0 * sinc * (0.54 + 0.46 * std::cos(pi * d / 3.0));
    sum += w[k];
  }
  const double excess = sum - 32766.0;
  for (double& x : w) x -= excess / 6.0;
  return w;
}

std::array<int, kKernelTaps> kernel_rule_truncated(int row) {
  const auto exact = kernel_rule_exact(row);
  std::array<int, kKernelTaps> t{};
  for (int k = 0; k < kKernelTaps; ++k) t[k] = static_cast<int>(std::trunc(exact[k]));
  return t;
}

// The table is made in four steps:
//  1. Rows 0..256: the rule's entries, truncated toward zero. Truncation leaves a row's sum off
//     32766 by a little (-1 .. +2 over the whole table). The integer adjustment is largest
//     remainder: a row short by n gets +1 on the n entries whose exact value lies furthest above
//     its truncated one; a row over by n gets -1 on the n entries furthest below. Each entry
//     moves by at most 1 and no entry moves twice, so every entry stays within 1 of the rule.
//  2. The reference rows among 0..256 replace what steps 1 made of them.
//  3. Rows 257..511 are rows 255..1 in reverse order, so row 512 - r mirrors row r exactly
//     except where both are reference rows (those mirror each other within 1, as given).
//  4. The reference rows among 257..511 replace what step 3 made of them.
// Every row then sums to exactly 32766 (the reference rows do too).
KernelTable generate_kernel_table() {
  KernelTable table{};
  auto put_reference = [&](int from, int to) {
    for (const ReferenceRow& t : kReferenceRows) {
      if (t.row < from || t.row > to) continue;
      KernelRow& row = table[static_cast<std::size_t>(t.row)];
      row.fill(0);
      std::copy(t.weights.begin(), t.weights.end(), row.begin());
    }
  };
  for (int r = 0; r <= kKernelRows / 2; ++r) {
    const auto exact = kernel_rule_exact(r);
    const auto trunc = kernel_rule_truncated(r);
    std::array<int, kKernelTaps> e = trunc;
    int sum = 0;
    for (int x : e) sum += x;
    int short_by = kKernelRowSum - sum;
    std::array<int, kKernelTaps> order{0, 1, 2, 3, 4, 5};
    // Stable sort keeps ties in index order, so the result does not depend on the sort.
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return (exact[a] - trunc[a]) > (exact[b] - trunc[b]); });
    for (int i = 0; short_by > 0; ++i, --short_by) e[order[i]] += 1;
    for (int i = kKernelTaps - 1; short_by < 0; --i, ++short_by) e[order[i]] -= 1;
    KernelRow& row = table[static_cast<std::size_t>(r)];
    row.fill(0);
    for (int k = 0; k < kKernelTaps; ++k) row[k] = static_cast<std::int16_t>(e[k]);
  }
  put_reference(0, kKernelRows / 2);
  for (int r = kKernelRows / 2 + 1; r < kKernelRows; ++r) {
    const KernelRow& src = table[static_cast<std::size_t>(kKernelRows - r)];
    KernelRow& row = table[static_cast<std::size_t>(r)];
    row.fill(0);
    for (int k = 0; k < kKernelTaps; ++k) row[k] = src[kKernelTaps - 1 - k];
  }
  put_reference(kKernelRows / 2 + 1, kKernelRows - 1);
  return table;
}

namespace {
alignas(64) double g_kernel[kKernelRows * kKernelStride];
std::once_flag g_kernel_once;
}  // namespace

void build_kernel() {
  std::call_once(g_kernel_once, [] {
    for (int r = 0; r < kKernelRows; ++r)
      for (int k = 0; k < kKernelStride; ++k)
        g_kernel[r * kKernelStride + k] =
            kernel_table[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)] / 32768.0;
  });
}

const double* kernel_doubles() {
  build_kernel();
  return g_kernel;
}

}  // namespace brisca
