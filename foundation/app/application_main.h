#pragma once
// The application main: makes the application object, creates its 800 by 600 window, shows
// it, runs the message loop until the program quits and deletes the object. The object comes
// from a factory so that this module need not know the game's class. Main thread only.

#include <memory>

class GApplication;

// Null when the object cannot be allocated.
using GApplicationFactory = std::unique_ptr<GApplication> (*)();

// 0 after a normal run, 1 when the window was not created or not initialised, 2 when the
// factory gave no object (each failure is told to the user with an alert).
int ApplicationMain(GApplicationFactory createApplication);
