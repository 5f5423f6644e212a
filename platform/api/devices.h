// The device services the program uses, as small abstract interfaces. Each backend (RtMidi on
// ALSA / JACK, RtAudio on PulseAudio / ALSA / JACK, the dummy one) implements them; the core
// parts and their tests see only this header.
//
// The devices report events (buffer done, port opened, data arrived) from a thread of their own
// to the listener they were opened with, which must outlive the device. Calls that can fail
// return a Status: DeviceLost once the device or its server is gone, NotReady when there is no
// room now and nothing was queued, StillPlaying for a header still queued, InvalidArgument for
// a closed device, an unprepared header or a bad message.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/api/device_watch.h"

namespace brisca {

// The failures every device call may return, one wording for all backends.
namespace device_error {
inline Error closed() {
  return make_error(ErrorCode::InvalidArgument, "the device is closed");
}
inline Error bad_buffer() {
  return make_error(ErrorCode::InvalidArgument, "bad buffer, message or length");
}
inline Error unprepared() {
  return make_error(ErrorCode::InvalidArgument, "the buffer is not prepared");
}
inline Error still_queued() {
  return make_error(ErrorCode::StillPlaying, "the buffer is still queued");
}
inline Error no_room() {
  return make_error(ErrorCode::NotReady, "no room now; nothing was queued");
}
inline Error lost() {
  return make_error(ErrorCode::DeviceLost, "the device or its server is gone");
}
}  // namespace device_error

// Header flags.
inline constexpr std::uint32_t HDR_DONE = 0x01;
inline constexpr std::uint32_t HDR_PREPARED = 0x02;
inline constexpr std::uint32_t HDR_INQUEUE = 0x10;

// A header's flags change on the service's thread while the caller's thread reads them (the done
// flag above all): both sides go through these.
inline std::uint32_t load_flags(const std::uint32_t& flags) {
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(flags))
      .load(std::memory_order_acquire);
}
inline void store_flags(std::uint32_t& flags, std::uint32_t value) {
  std::atomic_ref<std::uint32_t>(flags).store(value, std::memory_order_release);
}

// A buffer handed to a MIDI device: out, `buffer_length` bytes to send; in, room for
// `buffer_length` bytes of which `bytes_recorded` were filled.
struct MidiHeader {
  std::uint8_t* data = nullptr;
  std::uint32_t buffer_length = 0;
  std::uint32_t bytes_recorded = 0;
  std::uint32_t flags = 0;
};

// A buffer of 16-bit mono samples handed to a wave device; `buffer_length` is in bytes.
struct WaveHeader {
  std::uint8_t* data = nullptr;
  std::uint32_t buffer_length = 0;
  std::uint32_t flags = 0;
};

// What a MIDI output reports, from its own thread.
class MidiOutDeviceListener {
 public:
  virtual ~MidiOutDeviceListener() = default;
  virtual void opened() {}
  // Every byte of the long message in `header` has gone out.
  virtual void done(MidiHeader& header) = 0;
  virtual void closed() {}
};

// What a MIDI input reports, from its own thread. `ms`: milliseconds since start().
class MidiInDeviceListener {
 public:
  virtual ~MidiInDeviceListener() = default;
  virtual void opened() {}
  // A short message, packed: status in the low byte, then the data bytes.
  virtual void data(std::uint32_t packed, std::uint64_t ms) = 0;
  // A buffer handed back with `bytes_recorded` filled (0 when returned unfilled).
  virtual void sysex(MidiHeader& header, std::uint64_t ms) = 0;
  virtual void closed() {}
};

// What a wave output reports, from its own thread.
class WaveOutDeviceListener {
 public:
  virtual ~WaveOutDeviceListener() = default;
  // `header` has played, or came back unplayed from a reset; it is marked done.
  virtual void block_done(WaveHeader& header) = 0;
};

// A MIDI output. opened() is reported once, soon after opening. Each long message reaches the
// device as one write of exactly its bytes, whatever they are (a SysEx may go in pieces: the
// first beginning with 0xF0, the middle ones bare data bytes, the last ending with 0xF7).
//
// Loss of the device or of its server: closed() is reported once, messages that had not gone
// out get no done() (their headers leave the queue), and long_msg / short_msg return
// DeviceLost from then on. close() also reports closed() unless the loss already did;
// no report follows the return of close().
class MidiOutDevice {
 public:
  virtual ~MidiOutDevice() = default;
  virtual Status prepare_header(MidiHeader& header) = 0;
  // Queues a long message; done(header) is reported once all its bytes have gone.
  // The bytes are copied: the caller may reuse the buffer after the call.
  virtual Status long_msg(MidiHeader& header) = 0;
  virtual Status short_msg(std::uint32_t packed) = 0;
  virtual Status unprepare_header(MidiHeader& header) = 0;
  virtual Status close() = 0;
  // The port this device sends to, named the same way by every program that asks ("JACK:
  // client:port", "ALSA 128:0"); empty when the device cannot tell.
  virtual std::string destination() const { return {}; }
  // The other clients sending to that port now (this device's own connection left out).
  virtual std::vector<std::string> other_senders() const { return {}; }
  // After a loss: true when the port this device sent to is no longer there while its server
  // still answers (the device unplugged, its client closed); false when the device stopped
  // otherwise (its server gone, a stall) or cannot tell.
  virtual bool destination_gone() const { return false; }
};

// A MIDI input. opened() is reported once, soon after opening. Between start() and stop() each
// short message is reported with data(); a message always begins with a status byte (stray data
// bytes are dropped). Real-time bytes are reported where they arrive, also inside a SysEx,
// which they do not end. A SysEx fills the buffers given with add_buffer in order, each
// reported with sysex(header) and bytes_recorded when full or at the SysEx's end (0xF7
// included). A SysEx cut short by another status byte ends where it was cut. With no buffer
// queued a SysEx waits for one up to a second, then the rest of it is dropped; until a buffer
// comes, later SysEx are dropped at once. Short messages are never held back by a missing
// buffer beyond that second. Loss of the device or its server: closed() is reported once and
// input ends; close() works as usual and reports closed() only when no loss did.
class MidiInDevice {
 public:
  virtual ~MidiInDevice() = default;
  // Messages dropped so far because they came faster than they could be taken.
  virtual std::uint64_t dropped() const { return 0; }
  virtual Status prepare_header(MidiHeader& header) = 0;
  virtual Status add_buffer(MidiHeader& header) = 0;
  virtual Status start() = 0;
  // Stops reporting; a SysEx in progress is discarded (its buffer stays queued, empty).
  virtual Status stop() = 0;
  // Stops, and returns every queued buffer, each reported with sysex() and bytes_recorded 0.
  virtual Status reset() = 0;
  virtual Status unprepare_header(MidiHeader& header) = 0;
  // Returns any buffer still queued as reset() does; no report follows the return.
  virtual Status close() = 0;
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  virtual Status prepare_header(WaveHeader& header) = 0;
  // Queues a buffer; buffers play in the order written; block_done(header) when played.
  virtual Status write(WaveHeader& header) = 0;
  virtual Status unprepare_header(WaveHeader& header) = 0;
  // Stops playback; every queued buffer comes back done.
  virtual Status reset() = 0;
  virtual Status close() = 0;
};

class MidiService {
 public:
  virtual ~MidiService() = default;
  // Entry texts, stable across runs; device i of a list is opened as i.
  virtual std::vector<std::string> input_names() = 0;
  virtual std::vector<std::string> output_names() = 0;
  // Null on failure. `device` indexes the names last listed.
  virtual std::unique_ptr<MidiInDevice> open_input(int device, MidiInDeviceListener& listener) = 0;
  virtual std::unique_ptr<MidiOutDevice> open_output(int device,
                                                     MidiOutDeviceListener& listener) = 0;
  // Reports MIDI inputs and outputs coming and going, on `clock`, until the watch is destroyed;
  // null when this service cannot tell.
  virtual std::unique_ptr<DeviceWatch> watch(Clock& /*clock*/, DeviceWatchListener& /*listener*/) {
    return nullptr;
  }
};

struct AudioDeviceInfo {
  std::string name;
  bool supports_44k_mono16 = false;
};

class AudioService {
 public:
  virtual ~AudioService() = default;
  virtual std::vector<AudioDeviceInfo> input_devices() = 0;
  virtual std::vector<AudioDeviceInfo> output_devices() = 0;
  // 44 100 Hz, 16-bit, mono. Null on failure. `device` indexes the devices last listed.
  virtual std::unique_ptr<WaveOutDevice> open_output(int device,
                                                     WaveOutDeviceListener& listener) = 0;
  // Reports audio outputs coming and going, on `clock`, until the watch is destroyed; null when
  // this service cannot tell.
  virtual std::unique_ptr<DeviceWatch> watch(Clock& /*clock*/, DeviceWatchListener& /*listener*/) {
    return nullptr;
  }
};

}  // namespace brisca
