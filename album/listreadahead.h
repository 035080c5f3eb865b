#pragma once

#include <QString>

class Form;

// While the stored album list is what the user looks at, page 1 of the album
// highlighted on it is read ahead into the thumbnail cache (never into the album
// folder), at the lowest priority and under the read-ahead's usual terms, so that
// opening it shows its pictures at once. `albumFolder` empty: nothing to read.
void ReadAheadFirstPage(const Form& list, const QString& albumFolder);
