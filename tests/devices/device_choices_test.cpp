// Opening the remembered devices at start-up, the setup dialogs' "OK", and the end.
#include "app/devices/device_choices.h"

#include <gtest/gtest.h>

#include "tests/devices/fake_services.h"

namespace brisca {
namespace {

using test::LoggingHooks;

class DeviceChoicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    midi.inputs = {"Keys", "Pads"};
    midi.outputs = {"Module"};
    audio.inputs = {{"Mic", false}};
    audio.outputs = {{"Speakers", true}, {"Headphones", false}};
    choices.set_hooks(&midi_in, &midi_out, &audio_out);
  }
  void start() {
    choices.start_midi();
    choices.start_audio();
  }
  test::NamedMidiService midi;
  test::NamedAudioService audio;
  test::MemoryStore store;
  std::vector<std::string> log;
  LoggingHooks midi_in{"midi-in", log}, midi_out{"midi-out", log}, audio_out{"audio-out", log};
  DeviceChoices choices{midi, audio, &store};
};

TEST_F(DeviceChoicesTest, StartUpOpensTheRememberedDevicesInOrder) {
  store.values = {{"MIDIin", "Pads"},
                  {"MIDIout", "Module"},
                  {"AudioIn", "Mic (not used)"},
                  {"AudioOut", "Headphones (incompatible format)"}};
  start();
  EXPECT_EQ(log,
            (std::vector<std::string>{"open midi-in 2", "open midi-out 1", "open audio-out 2"}));
  const DeviceIndices& c = choices.current();
  EXPECT_EQ(c.midi_in, 2);
  EXPECT_EQ(c.midi_out, 1);
  EXPECT_EQ(c.audio_in, 1);  // a choice only: nothing opened for it
  EXPECT_EQ(c.audio_out, 2);
  EXPECT_EQ(choices.audio_table().out[2], "Headphones (incompatible format)");
}

TEST_F(DeviceChoicesTest, NothingRememberedOrNothingPresentStartsWithNone) {
  midi.inputs.clear();
  store.values = {{"MIDIin", "Keys"}};
  start();
  const DeviceIndices& c = choices.current();
  EXPECT_EQ(c.midi_in + c.midi_out + c.audio_in + c.audio_out, 0);
  choices.close_devices();
  EXPECT_EQ(log.size(), 3u);  // the three opens of choice 0; nothing to close
  EXPECT_EQ(store.values["MIDIin"], "Keys");
}

TEST_F(DeviceChoicesTest, OkWithTheSameChoiceReopensWithoutWriting) {
  store.values = {{"MIDIin", "Keys"}, {"MIDIout", "Module"}};
  start();
  log.clear();
  choices.apply_midi_setup(1, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"close midi-in", "open midi-in 1", "close midi-out",
                                           "open midi-out 1"}));
  EXPECT_EQ(store.writes, 0);
}

TEST_F(DeviceChoicesTest, OkWithAnotherChoiceSavesItAndAFailedOpenLeavesNone) {
  start();
  log.clear();
  audio_out.fails = {2};
  choices.apply_audio_setup(1, 2);
  EXPECT_EQ(log, (std::vector<std::string>{"open audio-out 2"}));  // nothing was open
  EXPECT_EQ(store.values["AudioIn"], "Mic (not used)");
  EXPECT_EQ(store.values["AudioOut"], "Headphones (incompatible format)");
  EXPECT_EQ(choices.current().audio_in, 1);
  EXPECT_EQ(choices.current().audio_out, 0);  // kept as remembered: the next start tries it
  audio_out.fails.clear();
  choices.apply_audio_setup(1, 2);  // chosen again: differs from the current 0, saved again
  EXPECT_EQ(choices.current().audio_out, 2);
  EXPECT_EQ(store.writes, 3);
}

TEST_F(DeviceChoicesTest, ChoosingNoneClosesAndOpensNothing) {
  store.values = {{"MIDIout", "Module"}};
  start();
  log.clear();
  choices.apply_midi_setup(0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"open midi-in 0", "close midi-out", "open midi-out 0"}));
  EXPECT_EQ(store.values["MIDIout"], "<no out device>");
  EXPECT_EQ(store.values.count("MIDIin"), 0u);
}

// The tables are listed again as a setup dialog opens: a device that came after start-up is
// offered, each current choice follows its device to its new place by name, and one whose device
// is gone becomes none (its device closed once, its remembered name kept for the next start).
TEST_F(DeviceChoicesTest, RelistingOffersNewDevicesAndCurrentChoicesFollowTheirNames) {
  store.values = {{"MIDIin", "Pads"},
                  {"MIDIout", "Module"},
                  {"AudioIn", "Mic (not used)"},
                  {"AudioOut", "Headphones (incompatible format)"}};
  start();
  log.clear();
  midi.inputs = {"JACK: drums:out", "Keys", "Pads"};
  midi.outputs = {};
  audio.inputs = {};
  audio.outputs = {{"JACK: system", true}, {"Speakers", true}, {"Headphones", false}};
  EXPECT_TRUE(choices.relist_midi());
  EXPECT_TRUE(choices.relist_audio());
  EXPECT_EQ(choices.midi_table().in,
            (std::vector<std::string>{"<no in device>", "JACK: drums:out", "Keys", "Pads"}));
  EXPECT_EQ(choices.audio_table().out[1], "JACK: system (44.1 kHz, 16 bits, mono)");
  const DeviceIndices& c = choices.current();
  EXPECT_EQ(c.midi_in, 3);
  EXPECT_EQ(c.midi_out, 0);
  EXPECT_EQ(c.audio_in, 0);
  EXPECT_EQ(c.audio_out, 3);
  EXPECT_EQ(log, (std::vector<std::string>{"close midi-out"}));
  EXPECT_EQ(choices.gone().midi_out, "Module");  // still the choice, its device closed
  EXPECT_TRUE(choices.gone().midi_in.empty());
  EXPECT_FALSE(choices.relist_midi());  // nothing moved this time
  choices.apply_midi_setup(3, 0);       // OK: the gone one is not closed again nor forgotten
  EXPECT_EQ(log, (std::vector<std::string>{"close midi-out", "close midi-in", "open midi-in 3",
                                           "open midi-out 0"}));
  EXPECT_EQ(store.writes, 0);
  EXPECT_EQ(store.values["MIDIout"], "Module");
  EXPECT_TRUE(choices.gone().midi_out.empty());  // none chosen instead
}

TEST_F(DeviceChoicesTest, TheEndClosesMidiInThenMidiOutThenAudioOut) {
  store.values = {{"MIDIin", "Keys"},
                  {"MIDIout", "Module"},
                  {"AudioOut", "Speakers (44.1 kHz, 16 bits, mono)"}};
  start();
  log.clear();
  choices.close_devices();
  EXPECT_EQ(log, (std::vector<std::string>{"close midi-in", "close midi-out", "close audio-out"}));
  EXPECT_EQ(choices.current().audio_out, 0);
}

}  // namespace
}  // namespace brisca
