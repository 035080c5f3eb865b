#pragma once

#include <QString>

// The exit question every screen's Esc button and "E&xit Program" run.
// Yes ends the program at once without saving anything; No returns.
void ConfirmExit();

// The exact prompt of the exit question (carriage return plus line feed between lines).
QString ConfirmExitPrompt();

// Hides the cover screen; it stays loaded.
void HideCover();
