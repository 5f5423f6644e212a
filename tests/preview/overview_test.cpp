// The overview of a sound file: its envelope, length, wholeness and down-load time.
#include "preview/overview.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/preview/block_maker.h"
#include "tests/support/sound_files.h"

namespace brisca {
namespace {

using test::TempDir;

// 880 samples of one level: the start values and every sample byte equal, step 1, no feedback.
Bytes level_block(std::uint16_t number, std::int8_t level) {
  test::BlockFields fields;
  fields.start.fill(static_cast<std::int16_t>(level * 256));
  fields.samples.assign(kSamplesPerBlock, level);
  return test::data_message(number, test::make_data_block(fields));
}

std::uint64_t chunks_of(const std::vector<Bytes>& messages) {
  std::uint64_t chunks = 0;
  for (const Bytes& m : messages) chunks += (m.size() + 199) / 200;
  return chunks;
}

TEST(Overview, EnvelopeOfAKnownSound) {
  // 150 blocks high, then 150 low: far more samples than buckets, so the buckets merge.
  std::vector<Bytes> blocks;
  for (std::uint16_t b = 1; b <= 300; ++b) blocks.push_back(level_block(b, b <= 150 ? 64 : -64));
  TempDir tmp;
  write_file(tmp / "steps.mid", test::sound_file(blocks, 301));
  const SoundOverview o = compute_overview(tmp / "steps.mid");

  ASSERT_TRUE(o.readable);
  EXPECT_TRUE(o.complete);
  EXPECT_FALSE(o.damaged());
  EXPECT_EQ(o.blocks, 301);
  EXPECT_EQ(o.name, "TEST");
  EXPECT_EQ(o.type, "DRUM");
  EXPECT_EQ(o.samples, 300u * 880u);
  EXPECT_DOUBLE_EQ(o.seconds(), 264000.0 / 44100.0);
  EXPECT_LE(o.envelope.size(), 2 * EnvelopeBuilder::kMaxBuckets);
  std::vector<Bytes> all{make_header_block("TEST", "DRUM", 301)};
  all.insert(all.end(), blocks.begin(), blocks.end());
  EXPECT_DOUBLE_EQ(o.download_seconds(), (chunks_of(all) + 1) * 0.070);

  // 16384 x 32766 / 32768, truncated. A bucket is 512 samples by now, so the columns next to
  // the step may hold a little of the other side.
  EXPECT_EQ(o.samples_per_bucket, 512u);
  const std::vector<SampleRange> hundred = o.columns(100);
  ASSERT_EQ(hundred.size(), 100u);
  for (int c = 0; c < 100; ++c) {
    if (c == 49 || c == 50) continue;
    const std::int16_t level = c < 50 ? 16383 : -16383;
    EXPECT_EQ(hundred[c].low, level) << c;
    EXPECT_EQ(hundred[c].high, level) << c;
  }
  // Seven columns: the middle one holds the step from high to low.
  const std::vector<SampleRange> seven = o.columns(7);
  EXPECT_EQ(seven[2].low, 16383);
  EXPECT_EQ(seven[3].low, -16383);
  EXPECT_EQ(seven[3].high, 16383);
  EXPECT_EQ(seven[4].high, -16383);
  // More columns than samples in a short sound: every column still shows its sample.
  write_file(tmp / "one.mid", test::sound_file({level_block(1, -64)}, 2));
  const std::vector<SampleRange> wide = compute_overview(tmp / "one.mid").columns(2000);
  ASSERT_EQ(wide.size(), 2000u);
  EXPECT_EQ(wide.front().high, -16383);
  EXPECT_EQ(wide.back().low, -16383);
}

TEST(Overview, DamagedAndShortFiles) {
  TempDir tmp;
  // The header promises 27 blocks; three are there. What is there still decodes.
  write_file(tmp / "short.mid", test::sound_file({level_block(1, 10), level_block(2, 10)}, 27));
  SoundOverview o = compute_overview(tmp / "short.mid");
  EXPECT_TRUE(o.readable);
  EXPECT_TRUE(o.damaged());
  EXPECT_EQ(o.problem, "ends after 3 of 27 blocks");
  EXPECT_EQ(o.blocks, 27);
  EXPECT_EQ(o.samples, 1760u);

  // Cut inside its second data block.
  Bytes whole = test::sound_file({level_block(1, 10), level_block(2, 10)}, 3);
  EXPECT_FALSE(compute_overview(tmp / "short.mid").complete);
  write_file(tmp / "cut.mid", Bytes(whole.begin(), whole.end() - 300));
  o = compute_overview(tmp / "cut.mid");
  EXPECT_TRUE(o.damaged());
  EXPECT_EQ(o.problem, "ends after 2 of 3 blocks");
  write_file(tmp / "whole.mid", whole);
  EXPECT_FALSE(compute_overview(tmp / "whole.mid").damaged());

  // Data blocks without their header, as received: they decode, and the row is still marked.
  write_file(tmp / "Unnamed (partial).mid", make_smf0({level_block(1, 10), level_block(2, 10)}));
  o = compute_overview(tmp / "Unnamed (partial).mid");
  EXPECT_TRUE(o.damaged());
  EXPECT_EQ(o.problem, "has no header block");
  EXPECT_EQ(o.blocks, 0);
  EXPECT_EQ(o.samples, 1760u);

  // A header only: whole, but nothing to draw.
  write_file(tmp / "empty.mid", test::sound_file({}, 1));
  o = compute_overview(tmp / "empty.mid");
  EXPECT_FALSE(o.damaged());
  EXPECT_EQ(o.samples, 0u);
  EXPECT_TRUE(o.columns(50).empty());

  // Not a sound file, or no file at all.
  for (const std::string& path : {test::write_text(tmp / "text.mid", "hello"), tmp / "none.mid",
                                  test::write_bad_track(tmp / "track.mid")}) {
    o = compute_overview(path);
    EXPECT_FALSE(o.readable) << path;
    EXPECT_TRUE(o.damaged()) << path;
    EXPECT_TRUE(o.envelope.empty()) << path;
  }
}

}  // namespace
}  // namespace brisca
