// Entry texts must come out the same on every run for the same device, and a remembered entry
// must find its port again after others came and went.
#include <gtest/gtest.h>

#include "platform/alsa/alsa_event.h"
#include "platform/rtmidi/port_names.h"

namespace brisca {
namespace {

TEST(PortNames, EntriesNameTheirApiAndLeaveOutAlsaNumbers) {
  EXPECT_EQ(entry_text(MidiApi::Alsa, "Synth:Synth MIDI 1 24:0"), "ALSA: Synth:Synth MIDI 1");
  EXPECT_EQ(entry_text(MidiApi::Alsa, "Synth:Synth MIDI 1 128:3"), "ALSA: Synth:Synth MIDI 1");
  EXPECT_EQ(entry_text(MidiApi::Alsa, "Midi Through:Midi Through Port-0 14:0"),
            "ALSA: Midi Through:Midi Through Port-0");
  // Only a trailing number pair is an address.
  EXPECT_EQ(entry_text(MidiApi::Alsa, "Box:Port 2:x"), "ALSA: Box:Port 2:x");
  EXPECT_EQ(entry_text(MidiApi::Jack, "a2j:Synth [24] (playback): MIDI 1"),
            "JACK: a2j:Synth [24] (playback): MIDI 1");
  EXPECT_EQ(entry_text(MidiApi::Jack, "client:port 3:4"), "JACK: client:port 3:4");
}

TEST(PortNames, AlsaAddressesAreReadFromTheListedName) {
  const auto address = alsa_address("Synth:Synth MIDI 1 24:3");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->client, 24);
  EXPECT_EQ(address->port, 3);
  EXPECT_FALSE(alsa_address("Synth:Synth MIDI 1"));
  EXPECT_FALSE(alsa_address("Synth 99999999999999:1"));
}

TEST(PortNames, LongEntriesAreCutAtACharacterBoundary) {
  std::string name = "client:";
  while (name.size() < 200) name += "\xC3\xA9";  // é
  const std::string entry = entry_text(MidiApi::Jack, name);
  EXPECT_LE(entry.size(), kMaxEntryBytes);
  EXPECT_GE(entry.size(), kMaxEntryBytes - 1);
  EXPECT_NE(static_cast<unsigned char>(entry.back()), 0xC3);  // no half character at the end
  EXPECT_EQ(cut_utf8("abc", 2), "ab");
}

TEST(PortNames, ARememberedEntryFindsItsPortAgain) {
  auto port = [](const char* entry, const char* system, unsigned index) {
    return PortRef{MidiApi::Alsa, entry, system, index};
  };
  const std::vector<PortRef> then = {port("ALSA: A", "A 20:0", 0),
                                     port("ALSA: Twin", "Twin 24:0", 1),
                                     port("ALSA: Twin", "Twin 28:0", 2)};
  // A new device came first; the twins changed numbers.
  const std::vector<PortRef> now = {port("ALSA: New", "New 16:0", 0), port("ALSA: A", "A 20:0", 1),
                                    port("ALSA: Twin", "Twin 30:0", 2),
                                    port("ALSA: Twin", "Twin 32:0", 3)};
  ASSERT_NE(find_again(then, 0, now), nullptr);
  EXPECT_EQ(find_again(then, 0, now)->index, 1u);
  EXPECT_EQ(find_again(then, 2, now)->system_name, "Twin 32:0");  // still the second twin
  const std::vector<PortRef> gone = {port("ALSA: Twin", "Twin 30:0", 0)};
  EXPECT_EQ(find_again(then, 2, gone), nullptr);
  EXPECT_EQ(find_again(then, 3, now), nullptr);
}

TEST(AlsaEvent, AChunkGoesAsOneRawEventWithExactlyItsBytes) {
  const std::uint8_t middle[] = {0x01, 0x7F, 0x00, 0x42};  // a middle chunk: no F0, no F7
  const snd_seq_event_t event = raw_bytes_event(middle, sizeof middle, 3, 24, 1);
  EXPECT_EQ(event.type, SND_SEQ_EVENT_SYSEX);
  EXPECT_EQ(event.flags & SND_SEQ_EVENT_LENGTH_MASK, SND_SEQ_EVENT_LENGTH_VARIABLE);
  EXPECT_EQ(event.data.ext.len, sizeof middle);
  EXPECT_EQ(event.data.ext.ptr, static_cast<const void*>(middle));
  EXPECT_EQ(event.queue, SND_SEQ_QUEUE_DIRECT);
  EXPECT_EQ(event.source.port, 3);
  EXPECT_EQ(event.dest.client, 24);
  EXPECT_EQ(event.dest.port, 1);
}

}  // namespace
}  // namespace brisca
