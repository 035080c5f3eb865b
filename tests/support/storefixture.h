#pragma once

#include "photostore.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// The set-up the notes store's tests share: a store made afresh in a folder of its own before
// each test, and the folder emptied after it.
class StoreFixture : public QObject {
protected:
    // Makes the store afresh (the file is missing, so it is made); the reason when it cannot be.
    QString OpenFreshStore();
    void EmptyFolder();

    QTemporaryDir dir;
    QString storePath;
    std::unique_ptr<PhotoDatabase> db;
};
