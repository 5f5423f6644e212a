// The QSettings store: values survive a new store object; a store that cannot be used reads as
// nothing and refuses writes.
#include "app/devices/qt_settings_store.h"

#include "app/devices/pace_settings.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <filesystem>
#include <fstream>

namespace brisca {
namespace {

namespace fs = std::filesystem;

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qt_settings_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  QString path(const std::string& name) const {
    return QString::fromStdString((dir_ / name).string());
  }
  fs::path dir_;
};

TEST_F(QtSettingsStoreTest, TextsComeBackByteForByte) {
  const std::string text = "PulseAudio: Lautsprecher \xC3\xBC=;,\"# (44.1 kHz, 16 bits, mono)";
  ASSERT_TRUE(QtSettingsStore(path("a.conf")).write("AudioOut", text));
  EXPECT_EQ(QtSettingsStore(path("a.conf")).read("AudioOut"), text);
  EXPECT_EQ(QtSettingsStore(path("a.conf")).read("MIDIin"), std::nullopt);
}

TEST_F(QtSettingsStoreTest, AStoreThatCannotBeWrittenRefusesAndReadsNothing) {
  std::ofstream(dir_ / "file") << "x";
  QtSettingsStore store(path("file/inside.conf"));  // its folder is a file
  EXPECT_FALSE(store.write("MIDIin", "Keys"));
  EXPECT_EQ(store.read("MIDIin"), std::nullopt);
}

TEST_F(QtSettingsStoreTest, AValueThatIsNoTextReadsAsNothing) {
  {
    QSettings raw(path("b.conf"), QSettings::IniFormat);
    raw.setValue("MIDIout", QStringList{"a", "b"});
  }
  EXPECT_EQ(QtSettingsStore(path("b.conf")).read("MIDIout"), std::nullopt);
}

// Each output keeps its own pace by its entry text, whatever characters the text holds; one
// that was never given a pace, or whose stored pace is not offered, sends at the default.
TEST_F(QtSettingsStoreTest, EachOutputRemembersItsOwnPace) {
  const std::string usb = "ALSA: USB/MIDI \\ Cable 50% [hw:1,0,0]";
  const std::string usb_prefix = "ALSA: USB";
  const Pace slow{64, 140, 500};
  {
    QtSettingsStore store(path("pace.conf"));
    ASSERT_TRUE(remember_pace(&store, usb, slow));
    ASSERT_TRUE(remember_pace(&store, "JACK: module:in", Pace{}));
    EXPECT_FALSE(remember_pace(&store, usb_prefix, Pace{200, 50, 0}));  // faster: refused
    ASSERT_TRUE(store.write(kMidiOutValue, usb));
  }
  QtSettingsStore store(path("pace.conf"));
  EXPECT_EQ(remembered_pace(&store, usb), slow);
  EXPECT_EQ(remembered_pace(&store, "JACK: module:in"), Pace{});
  EXPECT_EQ(remembered_pace(&store, usb_prefix), std::nullopt);
  EXPECT_EQ(pace_for_output(&store, usb_prefix), Pace{});
  EXPECT_EQ(remembered_output_pace(&store), slow);
  EXPECT_EQ(pace_for_output(nullptr, usb), Pace{});

  ASSERT_TRUE(store.write(pace_value_name(usb), "chunk 400 interval 70 gap 0"));
  EXPECT_EQ(pace_for_output(&store, usb), Pace{});
}

}  // namespace
}  // namespace brisca
