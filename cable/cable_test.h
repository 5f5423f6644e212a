// The cable test: test messages go out on a MIDI output and come back on a MIDI input (the
// interface's out cabled to its in, or a module's thru), first at the default pace, then at
// slower ones, until one delivers every message whole.
//
// Each pace sends at least kMessagesPerPace messages (ten sound-dump blocks' worth) the way a
// down-load does: a chunk goes only after the output reported the one before done, one chunk per
// tick of the pace's interval. A pace stops at the first message damaged or lost (it cannot pass
// any more) once the message on its way is whole, then waits for what is still on its way. The
// first pace that passes is the fastest that does, as the paces are tried fastest first.
//
// Everything runs on the thread of the clock the test is given, driven by a tick on that clock
// and by what the input posts onto it; nothing blocks.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cable/cable_check.h"
#include "cable/cable_ladder.h"
#include "common/clock.h"
#include "common/result.h"
#include "download/midi_out_port.h"
#include "download/send_gate.h"
#include "monitor/midi_in_port.h"
#include "pace/pace.h"

namespace brisca {

struct CablePaceResult {
  Pace pace;
  CableCount count;
  double bytes_per_second = 0;  // bytes of whole messages over the time they took to arrive
  bool passed = false;
};

enum class CableEnd {
  Passed,       // a pace passed: `found`
  NonePassed,   // every pace damaged or lost messages: the cable is unusable
  NothingBack,  // nothing came back on the input
  OutputLost,   // the output failed or stopped reporting chunks done
  Stopped,      // stop() was called
};

struct CableOutcome {
  CableEnd end = CableEnd::Stopped;
  std::optional<CablePaceResult> found;
  std::string text;  // one line for the user
};

// "200-byte chunks every 70 ms: 10 sent, 10 whole, 0 damaged, 0 lost, 2790 bytes/s".
std::string pace_line(const CablePaceResult& result);

class CableEvents {
 public:
  virtual ~CableEvents() = default;
  virtual void pace_tried(const CablePaceResult& /*result*/) {}
  // From 0 to 1, now and then.
  virtual void progress(double /*fraction*/) {}
  virtual void finished(const CableOutcome& outcome) = 0;
};

class CableTest : private MidiInListener {
 public:
  static constexpr int kMessagesPerPace = 10;
  // After a pace's last message went out, how long what is still on its way may take.
  static constexpr std::chrono::milliseconds kSettle{2000};
  // The same after a pace failed: only long enough for the interface to empty its buffer, so the
  // next pace starts on an idle interface.
  static constexpr std::chrono::milliseconds kFailedSettle{1000};
  // How long the output may take to report a chunk done before it counts as lost.
  static constexpr std::chrono::milliseconds kDoneWait{2000};

  CableTest(MidiService& service, Clock& clock, CableEvents& events);
  ~CableTest() override;
  CableTest(const CableTest&) = delete;
  CableTest& operator=(const CableTest&) = delete;

  // Opens the output and the input (entries of their name tables) and starts; the error says
  // why it could not start. `at_least` is the least time each pace sends for.
  Status start(int out_choice, int in_choice,
               std::chrono::milliseconds at_least = std::chrono::milliseconds(0));
  // Ends the test now (the outcome is Stopped); the devices are closed.
  void stop();
  bool running() const { return state_ != State::Idle; }

  const CableCheck& check() const { return check_; }
  const Pace& pace() const { return paces_[static_cast<std::size_t>(pace_index_)]; }

 private:
  enum class State { Idle, Sending, Settling };

  void short_message(std::uint32_t packed) override;
  void long_data(const std::uint8_t* data, std::uint32_t length) override;

  void on_tick();
  void begin_pace();
  bool take_done();
  void send_chunk();
  bool more_to_send() const;
  void end_pace();
  void finish(CableEnd end, std::string text, std::optional<CablePaceResult> found = {});
  void close_devices();
  void show_progress();

  MidiService& service_;
  Clock& clock_;
  CableEvents& events_;
  MidiOutPort out_;
  MidiInPort in_;
  DestinationLock lock_;
  CableCheck check_;
  ScopedTimer tick_;

  std::vector<Pace> paces_ = cable_ladder();
  int pace_index_ = 0;
  State state_ = State::Idle;
  std::chrono::milliseconds at_least_{0};
  std::vector<std::uint8_t> message_;
  std::size_t next_offset_ = 0;
  MidiHeader* outstanding_ = nullptr;
  Clock::TimePoint sent_at_{};       // when the outstanding chunk went
  Clock::TimePoint pace_start_{};    // the pace's first chunk
  Clock::TimePoint last_whole_{};    // the latest message of the pace that arrived whole
  Clock::TimePoint settle_start_{};  // the pace's last chunk reported done
  int whole_seen_ = 0;
};

}  // namespace brisca
