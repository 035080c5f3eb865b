#pragma once

#include <QLabel>
#include <QStringList>

// A label as the screens lay them out: its control name, text, font and alignment.
QLabel* MakeLabel(const QString& name, const QString& text, const QStringList& fontFamilies, int pointSize,
                  bool bold = false, Qt::Alignment alignment = Qt::AlignCenter);
