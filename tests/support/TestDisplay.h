#pragma once
// The X display the GL tests draw on, opened through SDL's video once per
// process and kept open.
#include <string>

/// Opens SDL video on X11, retrying refused connections (a loaded Xvfb
/// refuses one now and then). On failure `error` says why.
bool OpenTestDisplay(std::string& error);

/// Undoes OpenTestDisplay, for a test program that must close SDL's video
/// before it ends; the driver stays pinned.
void CloseTestDisplay();

/// For a test program's global set-up: opens the display or ends the
/// program with exit status 1. A failing global set-up would otherwise make
/// the test framework report every test as skipped, which reads as a pass.
void OpenTestDisplayOrExit();
