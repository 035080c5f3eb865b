#pragma once

class QGuiApplication;

// The end of the program from outside. The desktop session's question before
// it ends (Qt's commitDataRequest) is answered as Exit answers the user: the
// save check of every screen, whose Cancel (a new album's name not given) or
// failed save stops the session from ending. Without leave to ask, and on
// SIGTERM, nothing is saved and nothing asked: the page's unsaved pictures
// are kept for the next start (UnsavedPictures), and the program ends.
namespace SessionEnd {

// Connects both to the running program.
void Install(QGuiApplication& app);
// The session's question; false when the session must not end. `mayAsk`: the
// session manager lets the program ask the user.
bool CommitData(bool mayAsk);
// SIGTERM, from the event loop: keeps the unsaved pictures and ends the program.
void Terminated();

} // namespace SessionEnd
