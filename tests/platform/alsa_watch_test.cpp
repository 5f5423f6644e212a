// The sequencer's ports coming and going, through a fake announcement source (there is no
// sequencer on the test machines): each port is reported under the entries the MIDI service
// lists it by, on the watch's clock only, removed under the names it was added with, and
// nothing reaches the listener once the watch is gone.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/manual_clock.h"
#include "platform/rtmidi/alsa_watch.h"

namespace brisca {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kMidi = SND_SEQ_PORT_TYPE_MIDI_GENERIC;
constexpr unsigned kBoth = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ |
                           SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

SeqPort port(int client, int number, const std::string& client_name, unsigned caps = kBoth,
             unsigned type = kMidi) {
  return SeqPort{client, number, client_name, client_name + " MIDI 1", type, caps};
}

// Hands out the announcements a test queues; idle() once the reader is back waiting with none
// left, so everything handed out has been dealt with.
class FakeSource final : public SeqEventSource {
 public:
  explicit FakeSource(std::vector<SeqPort> present) : present_(std::move(present)) {}
  std::vector<SeqPort> ports() override { return present_; }
  std::optional<SeqAnnounce> next(std::chrono::milliseconds wait) override {
    std::unique_lock lock(mutex_);
    waiting_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, wait, [this] { return !queue_.empty(); });
    waiting_ = false;
    if (queue_.empty()) return std::nullopt;
    SeqAnnounce notice = queue_.front();
    queue_.pop_front();
    return notice;
  }
  void announce(SeqAnnounce notice) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(notice));
    changed_.notify_all();
  }
  bool idle(std::chrono::milliseconds limit = 30s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return waiting_ && queue_.empty(); });
  }

 private:
  std::vector<SeqPort> present_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<SeqAnnounce> queue_;
  bool waiting_ = false;
};

struct Heard final : DeviceWatchListener {
  void device_changed(const DeviceEvent& event) override { events.push_back(event); }
  std::vector<DeviceEvent> events;
};

TEST(AlsaWatch, PortsAreNamedAsTheServiceListsThem) {
  const SeqPortEntries synth = seq_port_entries(port(24, 0, "Synth"));
  EXPECT_EQ(synth.input, "ALSA: Synth:Synth MIDI 1");
  EXPECT_EQ(synth.output, "ALSA: Synth:Synth MIDI 1");
  const SeqPortEntries keys =
      seq_port_entries(port(28, 1, "Keys", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ));
  EXPECT_EQ(keys.input, "ALSA: Keys:Keys MIDI 1");
  EXPECT_EQ(keys.output, "");
  // Only other clients' MIDI ports that others may subscribe to.
  for (const SeqPort& p :
       {port(0, 1, "System"), port(129, 0, "BriscaTool"), port(130, 0, "BriscaTool watch"),
        port(20, 0, "Audio", kBoth, 0),
        port(21, 0, "Private", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE)}) {
    const SeqPortEntries none = seq_port_entries(p);
    EXPECT_EQ(none.input + none.output, "") << p.client_name;
  }
}

TEST(AlsaWatch, StartsAndExitsAreToldOnTheClockUnderTheNamesListed) {
  auto owned = std::make_unique<FakeSource>(std::vector<SeqPort>{port(20, 0, "Old")});
  FakeSource& source = *owned;
  ManualClock clock;
  Heard heard;
  auto watch = watch_alsa(clock, heard, std::move(owned));
  ASSERT_NE(watch, nullptr);
  source.announce({SeqAnnounce::Kind::PortStart, port(24, 0, "Synth")});
  source.announce({SeqAnnounce::Kind::PortStart, port(24, 0, "Synth")});  // told twice
  source.announce({SeqAnnounce::Kind::PortExit, SeqPort{20, 0, {}, {}, 0, 0}});
  source.announce({SeqAnnounce::Kind::PortExit, SeqPort{99, 0, {}, {}, 0, 0}});  // never seen
  ASSERT_TRUE(source.idle());
  EXPECT_TRUE(heard.events.empty());  // nothing on the reading thread
  clock.run_posted();
  const std::vector<DeviceEvent> expected{
      {DeviceChange::Added, DeviceKind::MidiIn, "ALSA: Synth:Synth MIDI 1"},
      {DeviceChange::Added, DeviceKind::MidiOut, "ALSA: Synth:Synth MIDI 1"},
      {DeviceChange::Removed, DeviceKind::MidiIn, "ALSA: Old:Old MIDI 1"},
      {DeviceChange::Removed, DeviceKind::MidiOut, "ALSA: Old:Old MIDI 1"}};
  EXPECT_EQ(heard.events, expected);

  heard.events.clear();
  source.announce({SeqAnnounce::Kind::PortExit, SeqPort{24, 0, {}, {}, 0, 0}});
  ASSERT_TRUE(source.idle());
  clock.run_posted();
  EXPECT_EQ(heard.events,
            (std::vector<DeviceEvent>{
                {DeviceChange::Removed, DeviceKind::MidiIn, "ALSA: Synth:Synth MIDI 1"},
                {DeviceChange::Removed, DeviceKind::MidiOut, "ALSA: Synth:Synth MIDI 1"}}));

  heard.events.clear();
  source.announce({SeqAnnounce::Kind::PortStart, port(25, 0, "Late")});
  ASSERT_TRUE(source.idle());
  watch.reset();  // gone before the clock ran: the start is not delivered
  clock.run_posted();
  EXPECT_TRUE(heard.events.empty());
}

}  // namespace
}  // namespace brisca
