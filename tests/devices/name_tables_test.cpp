// Filling the name tables and reading and writing the remembered choices.
#include "app/devices/name_tables.h"

#include <gtest/gtest.h>

#include "app/devices/settings.h"
#include "tests/devices/fake_services.h"

namespace brisca {
namespace {

using test::MemoryStore;
using test::NamedAudioService;
using test::NamedMidiService;

TEST(NameTables, NoneFirstThenTheDevicesWithTheirSuffixes) {
  NamedMidiService midi;
  midi.inputs = {"JACK: a2j:Keys"};
  midi.outputs = {"ALSA: Module Port 1", "JACK: synth:in"};
  const NameTable m = fill_midi_table(midi);
  EXPECT_EQ(m.in, (std::vector<std::string>{"<no in device>", "JACK: a2j:Keys"}));
  EXPECT_EQ(m.out,
            (std::vector<std::string>{"<no out device>", "ALSA: Module Port 1", "JACK: synth:in"}));

  NamedAudioService audio;
  audio.inputs = {{"PulseAudio: Mic", false}};
  audio.outputs = {{"PulseAudio: Speakers", true}, {"JACK: system", false}};
  const NameTable a = fill_audio_table(audio);
  EXPECT_EQ(a.in, (std::vector<std::string>{"<no in device>", "PulseAudio: Mic (not used)"}));
  EXPECT_EQ(a.out, (std::vector<std::string>{"<no out device>",
                                             "PulseAudio: Speakers (44.1 kHz, 16 bits, mono)",
                                             "JACK: system (incompatible format)"}));
  EXPECT_EQ(a.in_count(), 2);
  EXPECT_EQ(a.out_count(), 3);

  const NameTable none = fill_audio_table(*std::make_unique<NamedAudioService>());
  EXPECT_EQ(none.in, std::vector<std::string>{"<no in device>"});
  EXPECT_EQ(none.out, std::vector<std::string>{"<no out device>"});
}

TEST(NameTables, FifteenDevicesAtMost) {
  NamedMidiService midi;
  for (int i = 0; i < 20; ++i) midi.outputs.push_back("port " + std::to_string(i));
  const NameTable m = fill_midi_table(midi);
  ASSERT_EQ(m.out_count(), 16);
  EXPECT_EQ(m.out[15], "port 14");
}

TEST(NameTables, LongNamesAreCutSoTheSuffixStaysAndNoCharacterIsSplit) {
  const std::string long_name = std::string(120, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9";  // 3 x "é"
  const std::string entry = table_entry(long_name, " (not used)");
  EXPECT_LE(entry.size(), kEntryBytes - 1);
  EXPECT_EQ(entry, std::string(116, 'x') + " (not used)");
  const std::string utf8 = std::string(115, 'x') + "\xC3\xA9\xC3\xA9";
  EXPECT_EQ(table_entry(utf8, " (not used)"), std::string(115, 'x') + " (not used)");
  EXPECT_EQ(table_entry("short", " (not used)"), "short (not used)");
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    midi.in = {"<no in device>", "Keys", "Pads"};
    midi.out = {"<no out device>", "Module", "Module"};  // two ports of the same name
    audio.in = {"<no in device>", "Mic (not used)"};
    audio.out = {"<no out device>", "Speakers (44.1 kHz, 16 bits, mono)"};
  }
  int op(int operation, int index = 0) {
    return settings_operation(operation, index, &store, midi, audio);
  }
  NameTable midi, audio;
  MemoryStore store;
};

TEST_F(SettingsTest, WritesStoreTheEntryTextAndReadsFindItAgain) {
  EXPECT_EQ(op(kWriteMidiIn, 2), 0);
  EXPECT_EQ(op(kWriteAudioOut, 1), 0);
  EXPECT_EQ(op(kWriteAudioIn, 1), 0);
  EXPECT_EQ(store.values["MIDIin"], "Pads");
  EXPECT_EQ(store.values["AudioOut"], "Speakers (44.1 kHz, 16 bits, mono)");
  EXPECT_EQ(store.values["AudioIn"], "Mic (not used)");
  EXPECT_EQ(op(kReadMidiIn), 2);
  EXPECT_EQ(op(kReadAudioOut), 1);
  EXPECT_EQ(op(kReadAudioIn), 1);
  EXPECT_EQ(op(kReadMidiOut), 0);  // never written
}

TEST_F(SettingsTest, TwoDevicesWithTheSameNameResolveToTheLaterOne) {
  op(kWriteMidiOut, 1);
  EXPECT_EQ(op(kReadMidiOut), 2);
}

TEST_F(SettingsTest, AGoneOrRenamedDeviceReadsAsNoneAndIsKept) {
  store.values["MIDIin"] = "Old keyboard";
  store.values["AudioOut"] = "speakers (44.1 kHz, 16 bits, mono)";  // case differs
  EXPECT_EQ(op(kReadMidiIn), 0);
  EXPECT_EQ(op(kReadAudioOut), 0);
  EXPECT_EQ(store.values["MIDIin"], "Old keyboard");
  EXPECT_EQ(store.writes, 0);
}

TEST_F(SettingsTest, AnUnusableStoreReadsAsNoneAndSkipsWrites) {
  op(kWriteMidiIn, 1);
  store.readable = false;
  EXPECT_EQ(op(kReadMidiIn), 0);
  store.writable = false;
  EXPECT_EQ(op(kWriteMidiIn, 2), 0);
  store.readable = true;
  EXPECT_EQ(op(kReadMidiIn), 1);
  EXPECT_EQ(settings_operation(kReadMidiIn, 0, nullptr, midi, audio), 0);
  EXPECT_EQ(settings_operation(kWriteMidiIn, 1, nullptr, midi, audio), 0);
}

TEST_F(SettingsTest, ValuesLongerThanAnEntryAndIndicesOutsideTheTableAreRefused) {
  midi.in.push_back(std::string(200, 'k'));  // cannot come from a table; guards the read
  store.values["MIDIin"] = std::string(200, 'k');
  EXPECT_EQ(op(kReadMidiIn), 0);
  EXPECT_EQ(op(kWriteMidiOut, 7), 0);
  EXPECT_EQ(op(kWriteMidiOut, -1), 0);
  EXPECT_EQ(store.values.count("MIDIout"), 0u);
  EXPECT_EQ(op(99, 1), 0);
}

TEST_F(SettingsTest, ChoosingNoneIsRememberedAsTheNoneEntry) {
  op(kWriteAudioOut, 1);
  op(kWriteAudioOut, 0);
  EXPECT_EQ(store.values["AudioOut"], "<no out device>");
  EXPECT_EQ(op(kReadAudioOut), 0);
}

}  // namespace
}  // namespace brisca
