// quillbook-wmf: renders one Windows metafile, outside the program's process.
// Reads the metafile on standard input, writes "QWMF", width and height
// (32-bit little-endian) and the RGB32 pixels row by row on standard output.
// It limits its own processor time and memory first: a hostile metafile can
// at worst end this process, never the program.
#include "wmfreader.h"

#include <QByteArray>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxInputBytes = 64ll << 20;

void limit(int resource, rlim_t value)
{
    rlimit l{value, value};
    setrlimit(resource, &l);
}

bool writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int maxSide = argc > 1 ? std::atoi(argv[1]) : 0;
    if (maxSide <= 0 || maxSide > 16384)
        return 2;
    limit(RLIMIT_CPU, 2); // seconds of processor time
#if !defined(__SANITIZE_ADDRESS__)
    // The canvas, its copy and libwmf's own (an address-sanitizer build maps far more for itself).
    limit(RLIMIT_AS, rlim_t(1536) << 20);
#endif
    limit(RLIMIT_CORE, 0);

    QByteArray input;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0)
            return 3;
        if (n == 0)
            break;
        input.append(buffer, n);
        if (input.size() > MaxInputBytes)
            return 3;
    }
    const QImage image = Wmf::Render(input, maxSide);
    if (image.isNull())
        return 4;
    char header[12] = {'Q', 'W', 'M', 'F'};
    qToLittleEndian<qint32>(image.width(), header + 4);
    qToLittleEndian<qint32>(image.height(), header + 8);
    if (!writeAll(header, sizeof header))
        return 5;
    for (int y = 0; y < image.height(); ++y) {
        if (!writeAll(reinterpret_cast<const char*>(image.constScanLine(y)), std::size_t(image.width()) * 4))
            return 5;
    }
    return 0;
}
