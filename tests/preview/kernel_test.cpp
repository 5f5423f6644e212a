#include <gtest/gtest.h>

#include <cstdlib>

#include "preview/kernel.h"

namespace brisca {
namespace {

TEST(KernelTable, HoldsTheReferenceRowsExactly) {
  for (const ReferenceRow& ref : kReferenceRows) {
    const KernelRow& row = kernel_table[static_cast<std::size_t>(ref.row)];
    for (int k = 0; k < kKernelTaps; ++k) EXPECT_EQ(row[k], ref.weights[k]) << "row " << ref.row;
  }
  const KernelRow& zero = kernel_table[0];
  EXPECT_EQ((KernelRow{0, 0, 32766, 0, 0, 0, 0, 0}), zero);
}

TEST(KernelTable, EveryRowSumsTo32766AndEndsInTwoZeros) {
  for (int r = 0; r < kKernelRows; ++r) {
    const KernelRow& row = kernel_table[static_cast<std::size_t>(r)];
    int sum = 0;
    for (int k = 0; k < kKernelTaps; ++k) sum += row[k];
    EXPECT_EQ(sum, kKernelRowSum) << "row " << r;
    EXPECT_EQ(row[6], 0);
    EXPECT_EQ(row[7], 0);
  }
}

TEST(KernelTable, MirrorsAndFollowsTheRuleWithinOne) {
  for (int r = 1; r < kKernelRows; ++r) {
    const KernelRow& row = kernel_table[static_cast<std::size_t>(r)];
    const KernelRow& mirror = kernel_table[static_cast<std::size_t>(kKernelRows - r)];
    const auto rule = kernel_rule_truncated(r);
    for (int k = 0; k < kKernelTaps; ++k) {
      EXPECT_LE(std::abs(row[k] - mirror[kKernelTaps - 1 - k]), 1) << "row " << r << " k " << k;
      EXPECT_LE(std::abs(row[k] - rule[k]), 1) << "row " << r << " k " << k;
    }
  }
}

TEST(KernelTable, IsWhatTheGeneratorMakes) {
  // preview/kernel_table.cpp is written by tools/gen_kernel_table; it must not drift from it.
  EXPECT_EQ(generate_kernel_table(), kernel_table);
}

TEST(KernelDoubles, AreTheEntriesOver32768AndBuildOnce) {
  build_kernel();
  const double* first = kernel_doubles();
  build_kernel();
  EXPECT_EQ(first, kernel_doubles());
  for (int r = 0; r < kKernelRows; ++r)
    for (int k = 0; k < kKernelStride; ++k)
      ASSERT_EQ(first[r * kKernelStride + k],
                kernel_table[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)] / 32768.0);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % 64, 0u);
}

}  // namespace
}  // namespace brisca
