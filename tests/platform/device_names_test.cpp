// Entry texts of RtAudio devices stay the same across runs and re-plugging.
#include "platform/rtaudio/device_names.h"

#include <gtest/gtest.h>

namespace brisca::rtaudio {
namespace {

TEST(DeviceNames, LeaveOutCardNumbersAndNameTheApi) {
  EXPECT_EQ(stable_device_name("HDA Intel PCH: ALC892 Analog (hw:0,0)"),
            "HDA Intel PCH: ALC892 Analog");
  EXPECT_EQ(stable_device_name("USB Audio (plughw:2,0)"), "USB Audio");
  EXPECT_EQ(stable_device_name("hw:HDA Intel PCH,0"), "hw:HDA Intel PCH,0");  // card by name
  EXPECT_EQ(stable_device_name("  Monitor  of\tBuilt-in  "), "Monitor of Built-in");
  EXPECT_EQ(entry_name(RtAudio::LINUX_PULSE, "VirtualSink"), "PulseAudio: VirtualSink");
  EXPECT_EQ(entry_name(RtAudio::UNIX_JACK, "system"), "JACK: system");
  EXPECT_EQ(entry_name(RtAudio::LINUX_ALSA, "Card (hw:1,3)"), "ALSA: Card");
}

TEST(DeviceNames, CompatibleFormatNeeds44kAnOutputAndAFormat) {
  RtAudio::DeviceInfo info;
  info.probed = true;
  info.outputChannels = 2;
  info.nativeFormats = RTAUDIO_FLOAT32;  // JACK: RtAudio converts from 16-bit
  info.sampleRates = {44100};
  EXPECT_TRUE(plays_44k_mono16(info));
  info.sampleRates = {48000};
  EXPECT_FALSE(plays_44k_mono16(info));  // a JACK server at 48 kHz
  info.sampleRates = {22050, 44100, 48000};
  info.outputChannels = 0;
  EXPECT_FALSE(plays_44k_mono16(info));
  info.outputChannels = 1;
  info.probed = false;
  EXPECT_FALSE(plays_44k_mono16(info));
}

}  // namespace
}  // namespace brisca::rtaudio
