#pragma once

#include <QtGlobal>

// The process's own memory, from /proc/self/status (Linux).
namespace MemoryProbe {

qint64 ResidentKb();
// The peak resident memory since the last ResetPeak().
qint64 PeakResidentKb();
void ResetPeak();

} // namespace MemoryProbe
