#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Runs `work` in a forked child with a private mount table in which `folder` is a small
// file system of `size` ("256k"), so a test can fill a disk without filling the machine's.
// Returns what `work` said; "skip: ..." where no such file system can be mounted here; or
// "ended by signal N" when the child did not end normally.
QByteArray OnASmallFileSystem(const QString& folder, const char* size, const std::function<QByteArray()>& work);
