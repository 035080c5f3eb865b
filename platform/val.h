#pragma once

#include <QString>

// The number at the start of a text, as the screens read numbers typed or
// stored as text: leading blanks skipped, reading stops at the first
// character that does not belong to a number; no number reads as 0.
double Val(const QString& text);
