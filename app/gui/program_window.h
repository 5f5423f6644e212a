// The window program with its devices: the services of this build, the remembered choices and
// the subsystems behind the window's hooks.
#pragma once

namespace brisca {

// Opens the window on the paths in argv and runs until it is closed. The devices are opened
// as the window comes up, in this order: the MIDI tables, the remembered MIDI in, then MIDI out;
// the down-load starts idle; the audio tables, the remembered audio in (a choice only), the
// remembered audio out; the preview starts idle.
int run_program_window(int argc, char** argv);

}  // namespace brisca
