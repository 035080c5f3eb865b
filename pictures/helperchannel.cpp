#include "helperchannel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace HelperChannel {
namespace {

// Moves all of `size` bytes through `fd` before the deadline, waiting for `events` and then
// taking one `step` (a read or a send of at most the count given, returning what it moved);
// false on a short transfer (the helper gone) or a timeout.
template <typename Step>
bool moveExactly(int fd, short events, qint64 size, std::chrono::steady_clock::time_point deadline, Step step)
{
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = step(std::size_t(std::min<qint64>(size, 1 << 20)));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        size -= n;
    }
    return true;
}

} // namespace

// Reads exactly `size` bytes before the deadline; false on a short read or a timeout.
bool ReadExactly(int fd, char* into, qint64 size, std::chrono::steady_clock::time_point deadline)
{
    return moveExactly(fd, POLLIN, size, deadline, [&](std::size_t most) {
        const ssize_t n = ::read(fd, into, most);
        into += std::max<ssize_t>(n, 0);
        return n;
    });
}

// Writes all of `size` bytes before the deadline; false when the helper is gone or too slow.
bool WriteExactly(int fd, const char* from, qint64 size, std::chrono::steady_clock::time_point deadline)
{
    return moveExactly(fd, POLLOUT, size, deadline, [&](std::size_t most) {
        const ssize_t n = ::send(fd, from, most, MSG_NOSIGNAL);
        from += std::max<ssize_t>(n, 0);
        return n;
    });
}

// The file's bytes, for a helper that could not be handed its descriptor.
bool ReadFile(int fd, qint64 size, QByteArray& bytes)
{
    bytes = QByteArray(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes.data() + done, std::size_t(size - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The request with the descriptors riding along (SCM_RIGHTS); false when the channel would not
// take them (nothing is sent then) or the helper is gone.
bool SendWithDescriptors(int channel, const char* request, std::size_t size, const int* fds, int count,
                         std::chrono::steady_clock::time_point deadline, bool& nothingSent)
{
    nothingSent = true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{channel, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
        return false;
    iovec part{const_cast<char*>(request), size};
    constexpr int MostDescriptors = 2;
    if (count < 1 || count > MostDescriptors)
        return false;
    alignas(cmsghdr) char control[CMSG_SPACE(MostDescriptors * sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = CMSG_SPACE(std::size_t(count) * sizeof(int));
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(std::size_t(count) * sizeof(int));
    std::memcpy(CMSG_DATA(rights), fds, std::size_t(count) * sizeof(int));
    ssize_t n;
    do {
        n = ::sendmsg(channel, &message, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    nothingSent = n <= 0;
    if (n <= 0)
        return false;
    // The descriptors went with the first byte; the rest of the request as plain bytes.
    return WriteExactly(channel, request + n, qint64(size) - n, deadline);
}

int AnswerBuffer(qint64 size)
{
    const int fd = ::memfd_create("quillbook-answer", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    // Sealed, so that the helper cannot cut it short under the program's mapping.
    if (::ftruncate(fd, off_t(size)) != 0 || ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace HelperChannel
