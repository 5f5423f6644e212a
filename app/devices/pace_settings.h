// The pace remembered for each MIDI output, by the output's entry text, in the store of the
// device choices: value "Pace/NAME" (NAME with '%', '/' and '\' written as %25, %2F and %5C,
// which the store would take for group separators) holding the pace's stored form. The cable
// test remembers the fastest pace that passed; the Setup dialog remembers the one chosen there;
// `send` and the window use it unless told otherwise.
#pragma once

#include <optional>
#include <string>

#include "app/devices/settings.h"
#include "pace/pace.h"

namespace brisca {

// The value name of `output_entry`'s pace.
std::string pace_value_name(const std::string& output_entry);

// The pace remembered for the output; nothing when none is, the store cannot be read (a null
// store reads as none), or the stored text is not a pace that is offered.
std::optional<Pace> remembered_pace(SettingsStore* store, const std::string& output_entry);

// The remembered pace, else the default.
Pace pace_for_output(SettingsStore* store, const std::string& output_entry);

// The pace of the remembered MIDI output choice (value "MIDIout"), for figures made where no
// output is open; the default when none is remembered.
Pace remembered_output_pace(SettingsStore* store);

// False when the pace is not offered or could not be stored (a null store stores nothing).
bool remember_pace(SettingsStore* store, const std::string& output_entry, const Pace& pace);

}  // namespace brisca
