#include "cable/cable_test.h"

#include <algorithm>
#include <cmath>

namespace brisca {
namespace {

// With nothing of the first messages back after this long, nothing is coming.
constexpr std::chrono::milliseconds kNothingBack{3000};

}  // namespace

std::string pace_line(const CablePaceResult& r) {
  return chunk_pace_text(r.pace) + ": " + std::to_string(r.count.sent) + " sent, " +
         std::to_string(r.count.whole) + " whole, " + std::to_string(r.count.damaged) +
         " damaged, " + std::to_string(r.count.lost) + " lost, " +
         std::to_string(std::lround(r.bytes_per_second)) + " bytes/s";
}

CableTest::CableTest(MidiService& service, Clock& clock, CableEvents& events)
    : service_(service), clock_(clock), events_(events), out_(service), in_(service, clock) {
  in_.set_listener(this);
}

CableTest::~CableTest() {
  close_devices();
}

Status CableTest::start(int out_choice, int in_choice, std::chrono::milliseconds at_least) {
  if (running())
    return make_error(ErrorCode::InvalidArgument, "The cable test is already running.");
  check_ = CableCheck{};
  at_least_ = at_least;
  if (out_.open(out_choice) == 0)
    return make_error(ErrorCode::DeviceFailed, "The MIDI output cannot be opened.");
  const std::string destination = out_.destination();
  if (!destination.empty() && !lock_.acquire(destination)) {
    close_devices();
    const int holder = lock_.holder();
    return make_error(
        ErrorCode::DeviceBusy,
        "Another BriscaTool" +
            (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
            " is sending to \"" + destination + "\".");
  }
  if (!in_.open(in_choice)) {
    close_devices();
    return make_error(ErrorCode::DeviceFailed, "The MIDI input cannot be opened.");
  }
  pace_index_ = 0;
  begin_pace();
  return {};
}

void CableTest::stop() {
  if (running()) finish(CableEnd::Stopped, "The cable test was stopped.");
}

void CableTest::begin_pace() {
  state_ = State::Sending;
  whole_seen_ = check_.whole_total();
  message_.clear();
  next_offset_ = 0;
  outstanding_ = nullptr;
  pace_start_ = last_whole_ = clock_.now();
  tick_.every(clock_, std::chrono::milliseconds(pace().interval_ms), [this] { on_tick(); });
  send_chunk();
}

// The next chunk of the message on its way, or the first of a new message.
void CableTest::send_chunk() {
  if (next_offset_ >= message_.size()) {
    message_ = cable_message(check_.add_sent(pace_index_));
    next_offset_ = 0;
    show_progress();
  }
  MidiHeader& header = out_.next_header();
  const std::size_t length =
      std::min(message_.size() - next_offset_, static_cast<std::size_t>(pace().chunk_bytes));
  header.data = message_.data() + next_offset_;
  header.buffer_length = static_cast<std::uint32_t>(length);
  next_offset_ += length;
  outstanding_ = &header;
  sent_at_ = clock_.now();
  if (!out_.send_long(header))
    finish(CableEnd::OutputLost, "The MIDI output failed; the cable test stopped.");
}

// One report per tick, as the down-load takes them. True when no chunk is outstanding.
bool CableTest::take_done() {
  if (outstanding_ == nullptr) return true;
  const auto report = out_.take_report();
  if (report && report->kind == PortReport::Kind::Done &&
      out_.own_header(report->header) == outstanding_) {
    out_.unprepare(*outstanding_);
    outstanding_ = nullptr;
    return true;
  }
  if ((report && report->kind == PortReport::Kind::Closed) || clock_.now() - sent_at_ > kDoneWait)
    finish(CableEnd::OutputLost, "The MIDI output stopped responding; the cable test stopped.");
  return false;
}

// A message half sent always goes out whole. Then a new one goes while the pace still has a
// chance to pass and has not sent enough yet.
bool CableTest::more_to_send() const {
  if (next_offset_ < message_.size()) return true;
  const CableCount count = check_.count(pace_index_);
  if (count.damaged > 0 || count.lost > 0) return false;
  return count.sent < kMessagesPerPace || clock_.now() - pace_start_ < at_least_;
}

void CableTest::on_tick() {
  if (state_ == State::Idle) return;
  if (!check_.anything_back() && clock_.now() - pace_start_ >= kNothingBack && pace_index_ == 0) {
    finish(CableEnd::NothingBack, "nothing came back on IN");
    return;
  }
  if (!take_done()) return;
  if (state_ == State::Sending) {
    if (more_to_send()) {
      send_chunk();
      return;
    }
    state_ = State::Settling;
    settle_start_ = clock_.now();
  }
  const CableCount count = check_.count(pace_index_);
  const auto wait = count.damaged > 0 || count.lost > 0 ? kFailedSettle : kSettle;
  if (check_.settled(pace_index_) || clock_.now() - settle_start_ >= wait) end_pace();
}

void CableTest::short_message(std::uint32_t packed) {
  if ((packed & 0xFF) < 0xF8) check_.cut();
}

// A buffer comes back when full or when its message ended: one neither full nor ending in F7
// holds a message cut short, whose end is known now rather than when the next one begins.
void CableTest::long_data(const std::uint8_t* data, std::uint32_t length) {
  check_.feed(data, length);
  if (length > 0 && length < MidiInPort::kBufferBytes && data[length - 1] != 0xF7) check_.cut();
  if (check_.whole_total() != whole_seen_) {
    whole_seen_ = check_.whole_total();
    last_whole_ = clock_.now();
  }
}

void CableTest::end_pace() {
  check_.close();
  CablePaceResult result{pace(), check_.count(pace_index_), 0, false};
  const double seconds = std::chrono::duration<double>(last_whole_ - pace_start_).count();
  if (seconds > 0)
    result.bytes_per_second = double(result.count.whole) * double(kCableMessageBytes) / seconds;
  result.passed = result.count.sent >= kMessagesPerPace && result.count.whole == result.count.sent;
  events_.pace_tried(result);
  if (!check_.anything_back()) {
    finish(CableEnd::NothingBack, "nothing came back on IN");
  } else if (result.passed) {
    finish(CableEnd::Passed, "Pace found: " + chunk_pace_text(result.pace), result);
  } else if (++pace_index_ < static_cast<int>(paces_.size())) {
    begin_pace();
  } else {
    pace_index_ = static_cast<int>(paces_.size()) - 1;
    finish(CableEnd::NonePassed, "No pace passed: the cable is unusable.");
  }
}

void CableTest::finish(CableEnd end, std::string text, std::optional<CablePaceResult> found) {
  close_devices();
  state_ = State::Idle;
  events_.progress(1.0);
  events_.finished(CableOutcome{end, std::move(found), std::move(text)});
}

// The output first, so no chunk is read from a message after the test let go of it.
void CableTest::close_devices() {
  tick_.stop();
  if (out_.is_open() && next_offset_ < message_.size()) (void)out_.send_end_of_message();
  out_.close();
  in_.close();
  lock_.release();
  outstanding_ = nullptr;
}

void CableTest::show_progress() {
  // Most runs end at the first paces: each counts for an equal share of the bar.
  const double sent = std::min(1.0, double(check_.count(pace_index_).sent) / kMessagesPerPace);
  events_.progress((double(pace_index_) + sent) / double(paces_.size()));
}

}  // namespace brisca
