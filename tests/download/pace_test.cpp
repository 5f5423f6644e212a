// The pace: what is offered and refused, its stored form, and the one down-load time that the
// list's tooltips, `import` and the time left share.
#include "pace/pace.h"

#include <gtest/gtest.h>

namespace brisca {
namespace {

TEST(Pace, OffersTheDefaultAndSlowerRefusesFasterWithAReason) {
  EXPECT_TRUE(Pace{}.is_default());
  EXPECT_EQ(pace_problem(Pace{}), "");
  EXPECT_EQ(pace_problem(Pace{1, 70, 0}), "");
  EXPECT_EQ(pace_problem(Pace{200, 60'000, 600'000}), "");
  EXPECT_DOUBLE_EQ(Pace{}.bytes_per_second(), 200 * 1000.0 / 70);

  EXPECT_EQ(pace_problem(Pace{201, 70, 0}),
            "a chunk of 201 bytes is larger than 200: nothing faster than 200-byte chunks every "
            "70 ms is offered");
  EXPECT_EQ(pace_problem(Pace{200, 69, 0}),
            "an interval of 69 ms is shorter than 70 ms: nothing faster than 200-byte "
            "chunks every 70 ms is offered");
  EXPECT_NE(pace_problem(Pace{0, 70, 0}), "");
  EXPECT_NE(pace_problem(Pace{200, 60'001, 0}), "");
  EXPECT_NE(pace_problem(Pace{200, 70, -1}), "");
  EXPECT_NE(pace_problem(Pace{200, 70, 600'001}), "");

  EXPECT_EQ(pace_text(Pace{}), "200-byte chunks every 70 ms, no pause between files");
  EXPECT_EQ(pace_text(Pace{64, 140, 500}), "64-byte chunks every 140 ms, 500 ms between files");
}

TEST(Pace, StoredFormComesBackAndAnythingElseReadsAsNothing) {
  const Pace slow{64, 140, 500};
  EXPECT_EQ(pace_to_setting(slow), "chunk 64 interval 140 gap 500");
  EXPECT_EQ(pace_from_setting(pace_to_setting(slow)), slow);
  EXPECT_EQ(pace_from_setting(pace_to_setting(Pace{})), Pace{});
  for (const char* bad :
       {"", "chunk 201 interval 70 gap 0", "chunk 200 interval 50 gap 0",
        "chunk 200 interval 70 gap -1", "chunk 200 interval 70 gap 0 more", "chunk 200 interval 70",
        "chunk  200 interval 70 gap 0", "chunk 2e2 interval 70 gap 0",
        "interval 70 chunk 200 gap 0", "chunk 200 interval 9999999999 gap 0"})
    EXPECT_EQ(pace_from_setting(bad), std::nullopt) << bad;
}

// A file's time is one interval per chunk: the first goes as the file starts, the tick that
// takes the last one's done report ends it. The sequencer test times the same by its ticks.
TEST(Pace, DownloadTimeIsOneIntervalPerChunkOfThePacesSize) {
  MessageLengths sound;
  sound.add(1174);                               // the header block
  for (int i = 0; i < 26; ++i) sound.add(1174);  // 26 data blocks
  sound.add(201);
  EXPECT_EQ(sound.messages(), 28u);
  EXPECT_EQ(sound.chunks(200), 27u * 6 + 2);
  EXPECT_EQ(sound.chunks(100), 27u * 12 + 3);
  EXPECT_EQ(download_ms(sound, Pace{}), (27 * 6 + 2) * 70);
  EXPECT_EQ(download_ms(sound, Pace{100, 250, 1000}), (27 * 12 + 3) * 250);  // gap not included
  EXPECT_EQ(download_ms(MessageLengths{}, Pace{}), 0);
  EXPECT_EQ(chunk_count(0, 200), 0u);
  EXPECT_EQ(chunk_count(200, 200), 1u);
  EXPECT_EQ(chunk_count(201, 200), 2u);
}

}  // namespace
}  // namespace brisca
