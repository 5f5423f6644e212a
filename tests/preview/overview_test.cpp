// The overview of a sound file: its envelope, length, wholeness and down-load time.
#include "preview/overview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

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
  EXPECT_DOUBLE_EQ(o.download_seconds(), static_cast<double>(chunks_of(all)) * 0.070);

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

// A sound file whose track opens with channel events before its blocks. The channel events
// need the running status: each file must read them with its own, or its blocks are misread.
Bytes with_channel_events(const Bytes& file, const Bytes& events) {
  Bytes out(file.begin(), file.begin() + 22);
  out.insert(out.end(), events.begin(), events.end());
  out.insert(out.end(), file.begin() + 22, file.end());
  const auto length = static_cast<std::uint32_t>(out.size() - 22);
  for (int i = 0; i < 4; ++i) out[18 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  return out;
}

// The list's workers read many files at once, each on its own thread, while the window reads
// others. Every overview made so must equal the one made of that file alone.
TEST(Overview, ManyFilesReadAtOnceGiveTheirOwnOverviews) {
  const std::vector<Bytes> openings{
      {0x00, 0xC5, 0x07, 0x00, 0x08},              // program change, one data byte, reused
      {0x00, 0x3C, 0x40, 0x00, 0x3E, 0x41},        // data bytes first: the start-up status
      {0x00, 0x92, 0x3C, 0x40, 0x00, 0x3E, 0x00},  // a note on, reused
  };
  TempDir tmp;
  std::vector<std::string> paths;
  for (int f = 0; f < 12; ++f) {
    const int count = 2 + f % 5;
    std::vector<Bytes> blocks;
    for (int b = 1; b <= count; ++b)
      blocks.push_back(
          level_block(static_cast<std::uint16_t>(b), static_cast<std::int8_t>(f * 9 - 50)));
    paths.push_back(tmp / ("sound" + std::to_string(f) + ".mid"));
    write_file(paths.back(), with_channel_events(test::sound_file(blocks, count + 1),
                                                 openings[static_cast<std::size_t>(f) % 3]));
  }
  std::vector<SoundOverview> alone;
  for (const std::string& path : paths) {
    alone.push_back(compute_overview(path));
    const SoundOverview& o = alone.back();
    const int f = static_cast<int>(alone.size()) - 1;
    ASSERT_TRUE(o.complete) << path << ": " << o.problem;
    EXPECT_EQ(o.blocks, 3 + f % 5) << path;
    EXPECT_EQ(o.samples, static_cast<std::uint64_t>(2 + f % 5) * 880u) << path;
  }

  constexpr int kThreads = 4, kRounds = 3;
  std::vector<std::vector<SoundOverview>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread starts at another file, so different files are read at the same moment.
      for (std::size_t i = 0; i < kRounds * paths.size(); ++i)
        seen[t].push_back(compute_overview(paths[(i + 3 * t) % paths.size()]));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), kRounds * paths.size());
    for (std::size_t i = 0; i < seen[t].size(); ++i) {
      const SoundOverview& want = alone[(i + 3 * t) % paths.size()];
      const SoundOverview& got = seen[t][i];
      EXPECT_EQ(got.blocks, want.blocks) << "thread " << t << " read " << i;
      EXPECT_EQ(got.complete, want.complete) << "thread " << t << " read " << i;
      EXPECT_EQ(got.chunks, want.chunks) << "thread " << t << " read " << i;
      EXPECT_EQ(got.samples, want.samples) << "thread " << t << " read " << i;
      ASSERT_EQ(got.envelope.size(), want.envelope.size());
      for (std::size_t b = 0; b < got.envelope.size(); ++b) {
        EXPECT_EQ(got.envelope[b].low, want.envelope[b].low);
        EXPECT_EQ(got.envelope[b].high, want.envelope[b].high);
      }
    }
  }
}

}  // namespace
}  // namespace brisca
