#pragma once

#include <QLabel>

class QPushButton;
#include <QStringList>

// A label as the screens lay them out: its control name, text, font and alignment.
QLabel* MakeLabel(const QString& name, const QString& text, const QStringList& fontFamilies, int pointSize,
                  bool bold = false, Qt::Alignment alignment = Qt::AlignCenter);

// Colour numbers as the screens keep them (red in the low byte, blue in the high).
inline constexpr int GreenColour = 65280;
inline constexpr int RedColour = 255;
// Paints a button in a colour number; BackColour reads the number back.
void SetBackColour(QPushButton* button, int colour);
int BackColour(const QPushButton* button);
