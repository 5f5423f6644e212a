// Starting the window program: the application, the main window, the command line.
#pragma once

#include <functional>

#include "app/gui/window_hooks.h"

namespace brisca {

class MainWindow;

// Builds the subsystem hooks for a window once it exists (the hooks reach the window's sound
// list and its clock).
using HookFactory = std::function<WindowHooks(MainWindow&)>;

// Shows the window, gathers the paths named in argv (after the program name) once it is shown,
// and runs until the window is closed.
int run_window(int argc, char** argv);
int run_window(int argc, char** argv, const HookFactory& make_hooks);

}  // namespace brisca
