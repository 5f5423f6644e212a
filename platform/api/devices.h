// The device services the program uses, as small abstract interfaces. Each backend (RtMidi on
// ALSA / JACK, RtAudio on PulseAudio / ALSA / JACK, the dummy one) implements them; the core
// parts and their tests see only this header.
//
// The services report events (buffer done, port opened, data arrived) from a thread of their
// own through a DeviceCallback, with the message ids below. Results are 0 for success and
// non-zero for failure, as the multimedia calls they stand for.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brisca {

// Report ids, the numbers the window and the rings carry.
inline constexpr std::uint32_t WOM_OPEN = 955;
inline constexpr std::uint32_t WOM_CLOSE = 956;
inline constexpr std::uint32_t WOM_DONE = 957;
inline constexpr std::uint32_t MIM_OPEN = 961;
inline constexpr std::uint32_t MIM_CLOSE = 962;
inline constexpr std::uint32_t MIM_DATA = 963;
inline constexpr std::uint32_t MIM_LONGDATA = 964;
inline constexpr std::uint32_t MIM_ERROR = 965;
inline constexpr std::uint32_t MIM_LONGERROR = 966;
inline constexpr std::uint32_t MOM_OPEN = 967;
inline constexpr std::uint32_t MOM_CLOSE = 968;
inline constexpr std::uint32_t MOM_DONE = 969;

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

// Called from a service thread: (report id, first parameter, second parameter). For done
// reports the first parameter is the address of the header.
using DeviceCallback = std::function<void(std::uint32_t, std::uintptr_t, std::uintptr_t)>;

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

class MidiOutDevice {
 public:
  virtual ~MidiOutDevice() = default;
  virtual int prepare_header(MidiHeader& header) = 0;
  // Queues a long message; MOM_DONE with &header is reported once all its bytes have gone.
  virtual int long_msg(MidiHeader& header) = 0;
  virtual int short_msg(std::uint32_t packed) = 0;
  virtual int unprepare_header(MidiHeader& header) = 0;
  virtual int close() = 0;
};

class MidiInDevice {
 public:
  virtual ~MidiInDevice() = default;
  virtual int prepare_header(MidiHeader& header) = 0;
  virtual int add_buffer(MidiHeader& header) = 0;
  virtual int start() = 0;
  virtual int stop() = 0;
  // Returns every queued buffer, each reported with MIM_LONGDATA and bytes_recorded 0.
  virtual int reset() = 0;
  virtual int unprepare_header(MidiHeader& header) = 0;
  virtual int close() = 0;
};

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;
  virtual int prepare_header(WaveHeader& header) = 0;
  // Queues a buffer; buffers play in the order written; WOM_DONE with &header when played.
  virtual int write(WaveHeader& header) = 0;
  virtual int unprepare_header(WaveHeader& header) = 0;
  // Stops playback; every queued buffer comes back done.
  virtual int reset() = 0;
  virtual int close() = 0;
};

class MidiService {
 public:
  virtual ~MidiService() = default;
  // Entry texts, stable across runs; device i of a list is opened as i.
  virtual std::vector<std::string> input_names() = 0;
  virtual std::vector<std::string> output_names() = 0;
  // Null on failure. `device` indexes the names last listed.
  virtual std::unique_ptr<MidiInDevice> open_input(int device, DeviceCallback callback) = 0;
  virtual std::unique_ptr<MidiOutDevice> open_output(int device, DeviceCallback callback) = 0;
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
  virtual std::unique_ptr<WaveOutDevice> open_output(int device, DeviceCallback callback) = 0;
};

}  // namespace brisca
