#pragma once

// Registers every screen the program has with the screens runtime.
void RegisterScreens();

// Starts the program as a user sees it: the readme screen first, unless its
// setting sends the program straight to the cover.
void RunProgram();
