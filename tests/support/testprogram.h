#pragma once

#include "scriptedinteraction.h"

#include <QString>
#include <QTemporaryDir>

// A program session in a temporary program folder: the folder is the current
// folder, settings and the private copies of added pictures live in a
// temporary folder, every screen is registered afresh and the session state
// starts clean. Nothing of the user's is touched.
class TestProgram {
public:
    TestProgram();
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    QString folder() const { return m_folder.path(); }
    QString path(const QString& name) const;

    // The made files, copied into the program folder.
    void addSuppliedPictures();                 // all 120
    void addSuppliedPicture(int page, int slot);
    void addEmptyPicture();
    void addPhotoData();
    // Sets appPath and startPath to the folder, as start-up does, for tests that skip start-up.
    void takeAsProgramFolder();
    void setSetting(const QString& key, const QString& value);
    QString setting(const QString& key) const;

    // Empty when every question was expected and every answer used; else what went wrong.
    QString surprises() const;

    ScriptedInteraction user;

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_settings;
    QString m_previousFolder;
};

// Ends a test's program session and fails the test on a question nobody
// expected or an answer nobody asked for.
#define QUILL_END_PROGRAM(program)                                                                               \
    do {                                                                                                         \
        const QString surprises = (program)->surprises();                                                         \
        (program).reset();                                                                                        \
        QVERIFY2(surprises.isEmpty(), qPrintable(surprises));                                                     \
    } while (0)

// Where the build made the program folder's fixed files.
QString MadeAsset(const QString& name);
