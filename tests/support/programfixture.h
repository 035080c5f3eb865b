#pragma once

#include "testprogram.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <utility>

// The set-up the screen tests share: a fresh program folder taken as the program folder, an
// album folder holding the pictures a test names, and that album open at page 1 on the page
// screen. A test class derives from it and ends each test with QUILL_END_PROGRAM(program).
class ProgramFixture : public QObject {
protected:
    // "Empty.bmp", with the notes store "PhotoData.mdb" when `withNotes`.
    void StartProgram(bool withNotes = true);
    // The album folder `name` in the program folder (also kept in `album`), holding each picture
    // as a bitmap under its slot file name. False when a file could not be written.
    [[nodiscard]] bool MakeAlbum(const QString& name, const QList<std::pair<QString, QImage>>& pictures = {});
    // Opens the album `name` at page 1, unchanged, as the album list does.
    static void OpenAlbum(const QString& name);
    // Pastes `image` into `slot` as a user does (Paste, then a click), and checks it went in.
    static void Paste(int slot, const QImage& image);

    std::unique_ptr<TestProgram> program;
    QString album;
};
