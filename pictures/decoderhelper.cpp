// quillbook-wmf, the decoder helper: decodes one picture outside the program's
// process. Every format but bitmaps and JPEG (which the program reads itself)
// comes here: PNG, GIF, icons, WebP, TIFF (libtiff), HEIC/HEIF and AVIF, and metafiles.
//
//   quillbook-wmf serve               pictures one after the other, on one channel
//   quillbook-wmf wmf <longest side>  one metafile
//
// The program keeps a few serving helpers and hands each picture over its
// channel (standard input and output, a socket): "QREQ", the box to show it in (an
// empty box: the full picture within the budget), the probe (tests only, see
// below), all 32-bit, and the length (64-bit), then the bytes; or "QFDR" and the
// same, the picture's file coming as a read-only descriptor with the request
// (SCM_RIGHTS), no bytes after it: the helper maps the file itself. After the file's
// descriptor (or alone, with "QREQ") may come the answer's buffer, with a helper's first
// picture: a memory file the program made, sized and sealed against shrinking; the helper
// keeps it mapped (never a file it opens) and puts every picture's pixels there. The
// answer is "QSHM", the picture's own width
// and height and the width and height shown (32-bit little-endian), the RGB32 pixels
// row by row in the answer's buffer; without a buffer "QPIX" and the same, the pixels
// following on the channel; or "QERR", a length
// and why it is not a picture (UTF-8), after which the helper ends and the
// program starts another. A metafile
// comes on standard input and its answer goes out the same way. Before it reads a byte it limits its processor time and
// memory and seals itself (seal.h): a hostile file can at worst end this
// process, and an exploited decoder can open no file and reach no socket.
//
// The probe (tests only; QUILL_DECODER_PROBE=open|socket|exec|execmem|allocator in the program's
// environment): after sealing, the helper first tries that call (open:
// $QUILL_DECODER_PROBE_FILE, else "PhotoData.mdb"), which must end it or be
// refused; refused, it stops with status 7. "allocator" does what a decoder's threads do
// behind its back: many more threads than processors allocate and free at once, and what the
// C library's allocator opens lazily is opened (and refused); then the picture is decoded.
#include "avifdecoder.h"
#include "colourprofile.h"
#include "decoding.h"
#include "heifdecoder.h"
#include "pngdecoder.h"
#include "seal.h"
#include "tiffreader.h"
#include "webpdecoder.h"
#include "wmfreader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <thread>
#include <vector>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxInputBytes = 128ll << 20;
// Seconds of processor time one picture may take, every thread together.
constexpr rlim_t PictureSeconds = 5;

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

// Every image plugin loaded now: once sealed, a plugin could no longer be opened.
void loadReaders()
{
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    QImageReader probe(&empty);
    probe.setDecideFormatFromContent(true);
    probe.canRead(); // asks every plugin, which loads each one
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        QImageReader named(&empty, format);
        named.canRead();
    }
}

// True when the call was refused (a killed process never returns here).
bool forbiddenCallRefused(const QByteArray& probe)
{
    if (probe == "open") {
        const char* target = std::getenv("QUILL_DECODER_PROBE_FILE");
        const int fd = ::open(target ? target : "PhotoData.mdb", O_RDONLY);
        if (fd < 0)
            return true;
        ::close(fd);
    } else if (probe == "socket") {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return true;
        ::close(fd);
    } else if (probe == "execmem") {
        void* code = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (code == MAP_FAILED)
            return true;
        ::munmap(code, 4096);
    } else if (probe == "exec") {
        char* args[] = {const_cast<char*>("/bin/true"), nullptr};
        ::execve("/bin/true", args, environ);
        return true;
    }
    return false;
}

// What decoders' threads make the C library do: more threads than processors (whatever their
// number) allocating and freeing at once make it add arenas and trim their heaps, for which it
// asks /sys how many processors are online and /proc whether memory is overcommitted. Those
// questions are asked here outright as well, whatever this C library's version does on its own.
void exerciseAllocator()
{
    for (const char* asked : {"/proc/sys/vm/overcommit_memory", "/sys/devices/system/cpu/online"}) {
        const int fd = ::open(asked, O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    cpu_set_t processors;
    CPU_ZERO(&processors);
    const int cores = ::sched_getaffinity(0, sizeof processors, &processors) == 0 ? CPU_COUNT(&processors) : 1;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4 * cores + 8; ++t) {
        threads.emplace_back([t] {
            std::vector<void*> blocks;
            for (int i = 0; i < 2000; ++i) {
                blocks.push_back(std::malloc(std::size_t(16 + (i * 7919 + t) % (256 << 10))));
                if (blocks.size() > 64) {
                    for (void* b : blocks)
                        std::free(b);
                    blocks.clear();
                }
            }
            for (void* b : blocks)
                std::free(b);
            ::malloc_trim(0);
        });
    }
    for (std::thread& t : threads)
        t.join();
}

bool readInput(QByteArray& input)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        input.append(buffer, n);
        if (input.size() > MaxInputBytes)
            return false;
    }
}

// The answer's buffer the program handed with the first request (a memory file, SCM_RIGHTS):
// the pixels go there instead of through the channel. Kept mapped for the helper's life, so
// the pages a picture takes are made once; mapped only as far as the largest picture so far.
struct AnswerBuffer {
    int fd = -1;
    qint64 size = 0;
    uchar* at = nullptr;
    qint64 mapped = 0;
    const uchar* canvas = nullptr; // a decoder is reading a picture straight into it
    bool given = false;            // a decoder has had it for this picture
};
AnswerBuffer answer;

void takeAnswerBuffer(int fd)
{
    if (answer.at)
        ::munmap(answer.at, std::size_t(answer.mapped));
    if (answer.fd >= 0)
        ::close(answer.fd);
    answer = AnswerBuffer{};
    struct stat facts {};
    if (::fstat(fd, &facts) != 0 || facts.st_size <= 0) {
        ::close(fd);
        return;
    }
    answer.fd = fd;
    answer.size = qint64(facts.st_size);
}

uchar* answerRoom(qint64 bytes)
{
    if (answer.fd < 0 || bytes <= 0 || bytes > answer.size)
        return nullptr;
    if (bytes > answer.mapped) {
        if (answer.canvas)
            return nullptr; // a picture lives there
        if (answer.at)
            ::munmap(answer.at, std::size_t(answer.mapped));
        void* at = ::mmap(nullptr, std::size_t(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, answer.fd, 0);
        answer.at = at == MAP_FAILED ? nullptr : static_cast<uchar*>(at);
        answer.mapped = answer.at ? bytes : 0;
    }
    return answer.at;
}

// Pictures::WholePictureCanvas in the helper: once a picture, the answer's buffer itself.
QImage answerCanvas(QSize size, QImage::Format format)
{
    if (answer.given || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32))
        return {};
    uchar* at = answerRoom(Pictures::PixelBytes(size));
    if (!at)
        return {};
    answer.given = true;
    answer.canvas = at;
    return QImage(at, size.width(), size.height(), qsizetype(size.width()) * 4, format,
                  [](void*) { answer.canvas = nullptr; }, nullptr);
}

// "QSHM" and the sizes, the pixels already in the answer's buffer (copied there unless a
// decoder read them into it); or "QPIX", the sizes and the pixels through the channel.
bool writePicture(const QImage& shown, QSize natural)
{
    const QImage image = shown.convertToFormat(QImage::Format_RGB32);
    char header[20] = {'Q', 'P', 'I', 'X'};
    qToLittleEndian<qint32>(natural.width(), header + 4);
    qToLittleEndian<qint32>(natural.height(), header + 8);
    qToLittleEndian<qint32>(image.width(), header + 12);
    qToLittleEndian<qint32>(image.height(), header + 16);
    const qint64 bytes = Pictures::PixelBytes(image.size());
    if (answer.canvas && image.constBits() == answer.canvas && image.bytesPerLine() == qsizetype(image.width()) * 4) {
        std::memcpy(header, "QSHM", 4);
        return writeAll(header, sizeof header);
    }
    if (uchar* at = answerRoom(bytes)) {
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(at + qint64(y) * image.width() * 4, image.constScanLine(y), std::size_t(image.width()) * 4);
        std::memcpy(header, "QSHM", 4);
        return writeAll(header, sizeof header);
    }
    if (!writeAll(header, sizeof header))
        return false;
    for (int y = 0; y < image.height(); ++y) {
        if (!writeAll(reinterpret_cast<const char*>(image.constScanLine(y)), std::size_t(image.width()) * 4))
            return false;
    }
    return true;
}

bool readExactly(char* into, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::read(STDIN_FILENO, into, std::size_t(std::min<qint64>(size, 1 << 20)));
        if (n <= 0)
            return false;
        into += n;
        size -= n;
    }
    return true;
}

// The request, and the descriptors that ride along with it (SCM_RIGHTS): the picture's file when
// the program hands that instead of its bytes, then the answer's buffer; any more are closed unread.
bool readRequest(char* into, std::size_t size, int (&handed)[2])
{
    while (size > 0) {
        iovec part{into, size};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(STDIN_FILENO, &message, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
                continue;
            const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                if (handed[0] < 0)
                    handed[0] = fd;
                else if (handed[1] < 0)
                    handed[1] = fd;
                else
                    ::close(fd);
            }
        }
        into += n;
        size -= std::size_t(n);
    }
    return true;
}

// The handed file, all of it as the request said, mapped read-only for as long as its picture is
// decoded (no copy of its bytes is made; a file cut short meanwhile ends the helper, and the
// program tells the file changed); read into the helper's own memory where it cannot be mapped.
// The descriptor is closed after.
struct HandedFile {
    void* at = MAP_FAILED;
    std::size_t size = 0;
    ~HandedFile()
    {
        if (at != MAP_FAILED)
            ::munmap(at, size);
    }
};

bool readHanded(int fd, qint64 length, HandedFile& mapped, QByteArray& input)
{
    struct stat facts {};
    bool ok = ::fstat(fd, &facts) == 0 && S_ISREG(facts.st_mode) && facts.st_size == length;
    if (ok) {
        mapped.at = ::mmap(nullptr, std::size_t(length), PROT_READ, MAP_PRIVATE, fd, 0);
        mapped.size = std::size_t(length);
    }
    if (ok && mapped.at != MAP_FAILED) {
        input = QByteArray::fromRawData(static_cast<const char*>(mapped.at), length);
        ::close(fd);
        return true;
    }
    input = QByteArray(length, Qt::Uninitialized);
    for (qint64 done = 0; ok && done < input.size();) {
        const ssize_t n = ::pread(fd, input.data() + done, std::size_t(input.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += std::max<ssize_t>(n, 0);
    }
    ::close(fd);
    return ok;
}

// AVIF through libavif, the format's reference library, and through libheif when libavif
// cannot read it; HEIC/HEIF through libheif; the rest through Qt's readers.
Pictures::Decoded decode(QByteArray input, QSize box)
{
    // TIFF is read with libtiff itself (tiffreader.h), never by Qt's plugin.
    static const QList<QByteArray> accepted{"bmp", "dib", "gif", "ico", "cur", "png", "webp"};
    if (Tiff::LooksLikeTiff(input.left(16)))
        return Tiff::Decode(input, box);
    if (Png::LooksLikePng(input.left(8)))
        return Png::Decode(input, box);
    if (Webp::LooksLikeWebp(input.left(12))) {
        bool handled = false;
        Pictures::Decoded still = Webp::Decode(input, box, handled);
        if (handled)
            return still;
    }
    if (!Pictures::LooksLikeHeif(input.left(16)) && !Avif::LooksLikeAvif(input.left(64)))
        return Pictures::DecodeWithReader(std::move(input), box, accepted);
    if (Avif::LooksLikeAvif(input.left(64))) {
        Pictures::Decoded decoded = Avif::Decode(input, box);
        if (!decoded.shown.isNull())
            return decoded;
        const Pictures::Decoded other = Heif::Decode(input, box);
        return other.shown.isNull() ? decoded : other;
    }
    return Heif::Decode(input, box);
}

// Pictures one after the other, for as long as the program keeps the channel open (when the
// program ends, however it ends, the channel closes and the helper goes).
int serve()
{
    static const QList<QByteArray> probes{"", "open", "socket", "exec", "execmem", "allocator"};
    for (;;) {
        char request[24];
        int descriptors[2] = {-1, -1};
        if (!readRequest(request, sizeof request, descriptors))
            return 0; // the program closed the channel
        const QByteArray kind(request, 4);
        // The picture's file, when the program handed its descriptor; then the answer's buffer.
        const int handed = kind == "QFDR" ? descriptors[0] : -1;
        const int buffer = kind == "QFDR" ? descriptors[1] : descriptors[0];
        if ((kind != "QREQ" && kind != "QFDR") || (kind == "QFDR" && handed < 0)) {
            for (int fd : descriptors)
                if (fd >= 0)
                    ::close(fd);
            return 3;
        }
        if (buffer >= 0)
            takeAnswerBuffer(buffer);
        answer.given = false;
        const QSize box(qFromLittleEndian<qint32>(request + 4), qFromLittleEndian<qint32>(request + 8));
        const qint32 probe = qFromLittleEndian<qint32>(request + 12);
        const qint64 length = qFromLittleEndian<qint64>(request + 16);
        if (box.width() < 0 || box.height() < 0 || length <= 0 || length > MaxInputBytes)
            return 3;
        // Processor time for this picture, every thread together, on top of what the helper has used.
        rusage used{};
        ::getrusage(RUSAGE_SELF, &used);
        const rlim_t spent = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + 1;
        rlimit cpu{};
        ::getrlimit(RLIMIT_CPU, &cpu);
        cpu.rlim_cur = std::min<rlim_t>(spent + PictureSeconds, cpu.rlim_max);
        ::setrlimit(RLIMIT_CPU, &cpu);
        if (probe > 0 && probe < probes.size() && probes[probe] == "allocator")
            exerciseAllocator();
        else if (probe > 0 && probe < probes.size() && forbiddenCallRefused(probes[probe]))
            return 7;
        HandedFile mapped; // outlives the decoded picture
        QByteArray input;
        if (handed >= 0 && !readHanded(handed, length, mapped, input))
            return 3;
        if (handed < 0) {
            input = QByteArray(length, Qt::Uninitialized);
            if (!readExactly(input.data(), length))
                return 3;
        }
        const Pictures::Decoded decoded = decode(std::move(input), box);
        if (decoded.shown.isNull()) {
            // Why, for the program to tell; then the program starts a fresh helper.
            const QByteArray why = decoded.failure.toUtf8().left(400);
            char answer[8] = {'Q', 'E', 'R', 'R'};
            qToLittleEndian<qint32>(qint32(why.size()), answer + 4);
            writeAll(answer, sizeof answer) && writeAll(why.constData(), std::size_t(why.size()));
            return 4;
        }
        if (!writePicture(decoded.shown, decoded.natural))
            return 5;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const bool metafile = mode == "wmf";
    if (!metafile && mode != "serve")
        return 2;
    const int maxSide = metafile && argc > 2 ? std::atoi(argv[2]) : 0;
    if (metafile && (maxSide <= 0 || maxSide > 16384))
        return 2;
    // Seconds of processor time, every thread together: one metafile; for a serving helper its
    // whole life of pictures, each picture getting its own share below this (see serve).
    limit(RLIMIT_CPU, metafile ? 3 : 300);
#if !defined(__SANITIZE_ADDRESS__)
    // The canvas or the decoded picture, its copies and the decoder's own (an
    // address-sanitizer build maps far more for itself).
    limit(RLIMIT_AS, rlim_t(1536) << 20);
#endif
    limit(RLIMIT_CORE, 0);

    if (metafile) {
        if (!Wmf::Prepare())
            return 4;
    } else {
        // A picture's buffers (tens of megabytes) kept on the heap for the next picture rather
        // than mapped and faulted in afresh each time: at most this much stays when it waits.
        ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
        ::mallopt(M_TRIM_THRESHOLD, 96 << 20);
        QImageReader::setAllocationLimit(int(Pictures::MemoryBudgetBytes >> 20));
        loadReaders();
        Heif::Prepare();
        Colour::Prepare();
        Pictures::WholePictureCanvasMaker = answerCanvas;
    }
    if (!Seal::Install(metafile ? Seal::FileOpening::FontsOnly : Seal::FileOpening::Kills))
        return 6;
    if (!metafile)
        return serve();
    if (const char* probe = std::getenv("QUILL_DECODER_PROBE")) {
        if (forbiddenCallRefused(QByteArray(probe)))
            return 7;
    }
    QByteArray input;
    if (!readInput(input))
        return 3;
    const QImage image = Wmf::Render(input, maxSide);
    if (image.isNull())
        return 4;
    return writePicture(image, image.size()) ? 0 : 5;
}
