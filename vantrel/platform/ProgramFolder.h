#pragma once
// The program runs from its own folder, so "../data" is found wherever it
// was started from.

/// Makes the folder holding the running executable the working directory.
/// @return false when the folder cannot be found or entered
bool ChangeToProgramFolder();
