#pragma once

#include <QByteArray>

#include <chrono>
#include <cstddef>

// The program's end of a decoder helper's channel: whole transfers under a deadline, and a
// descriptor handed over with a request.
namespace HelperChannel {

using Deadline = std::chrono::steady_clock::time_point;

// Reads exactly `size` bytes before the deadline; false on a short read or a timeout.
bool ReadExactly(int fd, char* into, qint64 size, Deadline deadline);
// Writes all of `size` bytes before the deadline; false when the helper is gone or too slow.
bool WriteExactly(int fd, const char* from, qint64 size, Deadline deadline);
// The `size` bytes of the file open at `fd`, read from its start whatever its offset.
bool ReadFile(int fd, qint64 size, QByteArray& bytes);
// `request` with the `count` descriptors `fds` riding along (SCM_RIGHTS); false when the channel
// would not take them (`nothingSent`: the request can go again without) or the helper is gone.
bool SendWithDescriptors(int channel, const char* request, std::size_t size, const int* fds, int count,
                         Deadline deadline, bool& nothingSent);
// A memory file of `size` bytes (taking no memory until written) that can neither shrink nor
// grow: the buffer a helper answers in, which the program then maps. -1 when none can be made.
int AnswerBuffer(qint64 size);

} // namespace HelperChannel
