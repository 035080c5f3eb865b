// Colour profiles: which engine converts faster, and what a profile costs a page.
//  1. Qt's colour transforms against LittleCMS on the same matrix-and-curve profiles (the kind
//     both read): a slot's pixels with the transform made, and a 12-megapixel picture's.
//  2. A page of twelve 12-megapixel JPEGs at slot size on two threads through the program's
//     loader: with a table-based RGB profile, and CMYK with a press profile, each against the
//     same page without a profile (CMYK: the same inks without one), interleaved round by round,
//     the row the median of the rounds' ratios. Promise: at most 1.10.
//  3. The same for a page of twelve 3-megapixel TIFFs through the sealed helper (table profile).
// Run from the build folder: bench/quill_colourbench ("tiff": row 3 alone). Pictures are made once under
// ~/.cache/quillbook-bench/colour.
#include "colourprofile.h"
#include "pictureloader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QStandardPaths>
#include <QtEndian>

#include <jpeglib.h>
#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 9;
// A page row's rounds: each a profiled and an unprofiled page, interleaved.
constexpr int PageRounds = 15;
const QSize SlotBox(250, 250);

double ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QImage photo(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = ((x * 7 + y * 13 + seed * 31) ^ (x * y)) & 15;
            line[x] = qRgb((x * 255 / width + n) & 255, (y * 255 / height + n) & 255,
                           ((x + y) * 128 / (width + height) + 64 + n) & 255);
        }
    }
    return image;
}

// A table-based RGB profile (A2B0/B2A0 only, Adobe RGB's gamut), made with LittleCMS.
QByteArray tableProfile()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE device = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(device, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHTRANSFORM fromLab = cmsCreateTransform(lab, TYPE_Lab_16, device, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    const auto sampled = [](cmsHTRANSFORM t) {
        cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
        cmsStageSampleCLut16bit(
            clut, [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
                cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), in, out, 1);
                return 1;
            }, t, 0);
        cmsPipeline* p = cmsPipelineAlloc(nullptr, 3, 3);
        cmsPipelineInsertStage(p, cmsAT_BEGIN, clut);
        return p;
    };
    cmsHPROFILE lut = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(lut, 2.1);
    cmsSetDeviceClass(lut, cmsSigDisplayClass);
    cmsSetColorSpace(lut, cmsSigRgbData);
    cmsSetPCS(lut, cmsSigLabData);
    cmsWriteTag(lut, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* a2b = sampled(toLab);
    cmsPipeline* b2a = sampled(fromLab);
    cmsWriteTag(lut, cmsSigAToB0Tag, a2b);
    cmsWriteTag(lut, cmsSigBToA0Tag, b2a);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(lut, nullptr, &size);
    QByteArray icc(qsizetype(size), '\0');
    cmsSaveProfileToMem(lut, icc.data(), &size);
    cmsPipelineFree(a2b);
    cmsPipelineFree(b2a);
    cmsDeleteTransform(toLab);
    cmsDeleteTransform(fromLab);
    for (cmsHPROFILE p : {device, lab, lut})
        cmsCloseProfile(p);
    return icc;
}

QByteArray pressProfile()
{
    QFile f(QStringLiteral(QUILL_PUBLIC_PICTURES "/cms/press-cmyk.icc"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A JPEG of `image`, RGB or (with `inks`) CMYK as Photoshop writes it, carrying `icc`.
QByteArray jpeg(const QImage& image, const QByteArray& icc, bool inks)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(image.height());
    c.input_components = inks ? 4 : 3;
    c.in_color_space = inks ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    if (inks)
        jpeg_set_colorspace(&c, JCS_CMYK);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    if (!icc.isEmpty())
        jpeg_write_icc_profile(&c, reinterpret_cast<const JOCTET*>(icc.constData()), unsigned(icc.size()));
    std::vector<uchar> row(std::size_t(image.width()) * 4);
    for (int y = 0; y < image.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int r = qRed(p[x]), g = qGreen(p[x]), b = qBlue(p[x]);
            uchar* o = row.data() + (inks ? 4 : 3) * x;
            if (inks) { // the black taken out first; inverted, as Adobe stores them (255: no ink)
                const int k = 255 - std::max({r, g, b});
                o[0] = uchar(r + k), o[1] = uchar(g + k), o[2] = uchar(b + k), o[3] = uchar(255 - k);
            } else {
                o[0] = uchar(r), o[1] = uchar(g), o[2] = uchar(b);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    jpeg_destroy_compress(&c);
    free(out);
    return bytes;
}

QByteArray tiff(const QImage& image, const QByteArray& icc)
{
    QImage tagged = image;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    tagged.save(&buffer, "TIFF");
    if (icc.isEmpty())
        return bytes;
    // The ICC profile as tag 34675, appended with the directory copied after it.
    const quint32 ifd = qFromLittleEndian<quint32>(bytes.constData() + 4);
    const quint16 count = qFromLittleEndian<quint16>(bytes.constData() + ifd);
    const quint32 iccAt = quint32(bytes.size());
    bytes += icc;
    if (bytes.size() % 2)
        bytes += '\0';
    const quint32 newIfd = quint32(bytes.size());
    QByteArray entries = bytes.mid(ifd + 2, 12 * count);
    char e[12];
    qToLittleEndian<quint16>(34675, e);
    qToLittleEndian<quint16>(7, e + 2);
    qToLittleEndian<quint32>(quint32(icc.size()), e + 4);
    qToLittleEndian<quint32>(iccAt, e + 8);
    entries += QByteArray(e, 12); // 34675 is larger than every tag Qt writes: the order holds
    char n[2];
    qToLittleEndian<quint16>(quint16(count + 1), n);
    bytes += QByteArray(n, 2) + entries + QByteArray(4, '\0');
    qToLittleEndian<quint32>(newIfd, bytes.data() + 4);
    return bytes;
}

QStringList page(const QString& folder, const char* kind, const std::function<QByteArray(const QImage&)>& make,
                 QSize size)
{
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < 12; ++i) {
        const QString path = folder + QStringLiteral("/%1-%2.pic").arg(QLatin1String(kind)).arg(i);
        files << path;
        if (QFile::exists(path))
            continue;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(make(photo(size.width(), size.height(), i % 3)));
    }
    return files;
}

double onTwoThreads(const QStringList& files)
{
    std::atomic<int> next{0};
    const auto t0 = Clock::now();
    auto work = [&] {
        for (int i = next++; i < files.size(); i = next++) {
            const Pictures::LoadResult r = Pictures::LoadPicture(files[i], SlotBox);
            if (r.error.failed())
                std::printf("%s: %s\n", qPrintable(files[i]), qPrintable(r.error.description));
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    return ms(t0);
}

// The profiled page against the same page without, sample by sample: each round times both,
// in turns (which goes first alternates), and its ratio is taken; the row is the median of the
// rounds' ratios, so a load that comes and goes weighs on both sides of every ratio alike.
int pageRow(const char* name, const QStringList& profiled, const QStringList& plain)
{
    onTwoThreads(profiled); // files in the page cache, helpers started, conversions made
    onTwoThreads(plain);
    std::vector<double> with, without, ratios;
    for (int round = 0; round < PageRounds; ++round) {
        const bool profiledFirst = round % 2 == 0;
        const double first = onTwoThreads(profiledFirst ? profiled : plain);
        const double second = onTwoThreads(profiledFirst ? plain : profiled);
        with.push_back(profiledFirst ? first : second);
        without.push_back(profiledFirst ? second : first);
        ratios.push_back(with.back() / without.back());
    }
    std::vector<double> sorted = ratios;
    std::sort(sorted.begin(), sorted.end());
    const double ratio = median(ratios);
    std::printf("%-44s profiled %8.1f ms   without %8.1f ms   ratio %.2f (%d rounds, middle half %.2f-%.2f) %s\n", name,
                median(with), median(without), ratio, PageRounds, sorted[sorted.size() / 4],
                sorted[sorted.size() * 3 / 4], ratio <= 1.10 ? "(within 1.10)" : "(OVER 1.10)");
    std::fflush(stdout);
    return ratio <= 1.10 ? 0 : 1;
}

void engineRows()
{
    for (const auto& [name, space] : {std::pair{"Adobe RGB", QColorSpace::AdobeRgb},
                                      {"Display P3", QColorSpace::DisplayP3},
                                      {"ProPhoto", QColorSpace::ProPhotoRgb}}) {
        const QByteArray icc = QColorSpace(space).iccProfile();
        for (const QSize size : {QSize(250, 188), QSize(4000, 3000)}) {
            const QImage picture = photo(size.width(), size.height(), 1);
            std::vector<double> qt, cms;
            for (int round = 0; round < Rounds; ++round) {
                QImage a = picture, b = picture;
                a.detach();
                b.detach();
                auto t0 = Clock::now();
                Colour::ToSrgbWith(Colour::Engine::Qt, a, icc);
                qt.push_back(ms(t0));
                t0 = Clock::now();
                Colour::ToSrgbWith(Colour::Engine::LittleCms, b, icc);
                cms.push_back(ms(t0));
            }
            std::printf("%-12s %4dx%-4d transform made and applied: Qt %7.2f ms   LittleCMS %7.2f ms   ratio %.2f\n",
                        name, size.width(), size.height(), median(qt), median(cms), median(cms) / median(qt));
        }
    }
}

// What a profile adds to one slot once its conversion is made: table-based RGB, and CMYK inks.
void slotRows(const QByteArray& table, const QByteArray& press)
{
    const QImage picture = photo(250, 188, 2);
    std::vector<uchar> inks(250 * 188 * 4);
    for (std::size_t i = 0; i < inks.size(); ++i)
        inks[i] = uchar(i * 7);
    std::vector<QRgb> out(250 * 188);
    QImage warm = picture;
    Colour::ToSrgb(warm, table, Colour::Samples::Rgb);
    Colour::CmykToSrgb(inks.data(), out.data(), 250 * 188, true, press);
    std::vector<double> rgb, cmyk;
    for (int round = 0; round < Rounds; ++round) {
        QImage a = picture;
        a.detach();
        auto t0 = Clock::now();
        Colour::ToSrgb(a, table, Colour::Samples::Rgb);
        rgb.push_back(ms(t0));
        t0 = Clock::now();
        Colour::CmykToSrgb(inks.data(), out.data(), 250 * 188, true, press);
        cmyk.push_back(ms(t0));
    }
    std::printf("a slot's 250x188 pixels, conversion made: table-based RGB %.2f ms   CMYK press profile %.2f ms\n",
                median(rgb), median(cmyk));
    // The table profile's sampled grid against LittleCMS converting every pixel itself.
    QImage byGrid = photo(1000, 750, 3), byCms = byGrid;
    byCms.detach();
    Colour::ToSrgb(byGrid, table, Colour::Samples::Rgb);
    Colour::ToSrgbWith(Colour::Engine::LittleCms, byCms, table);
    double sum = 0;
    int most = 0;
    for (int y = 0; y < byGrid.height(); ++y) {
        for (int x = 0; x < byGrid.width(); ++x) {
            const QRgb a = byGrid.pixel(x, y), b = byCms.pixel(x, y);
            for (const int d : {qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))}) {
                sum += d;
                most = std::max(most, d);
            }
        }
    }
    std::printf("table-based RGB through the sampled grid against LittleCMS per pixel: mean difference %.3f, largest %d "
                "(of 255)\n",
                sum / (3.0 * byGrid.width() * byGrid.height()), most);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/quillbook-bench/colour");
    // Argument "tiff": the helper's page row alone.
    const bool tiffOnly = argc > 1 && QByteArray(argv[1]) == "tiff";
    int status = 0;
    const QByteArray table = tableProfile(), press = pressProfile();
    const QSize big(4000, 3000), tiffSize(2000, 1500);
    if (tiffOnly)
        return pageRow("TIFF 12 x 3 MP (helper), table-based RGB",
                       page(cache, "tif-table", [&](const QImage& i) { return tiff(i, table); }, tiffSize),
                       page(cache, "tif-plain", [](const QImage& i) { return tiff(i, {}); }, tiffSize));
    engineRows();
    slotRows(table, press);
    status |= pageRow("JPEG 12 x 12 MP, table-based RGB profile",
                      page(cache, "jpg-table", [&](const QImage& i) { return jpeg(i, table, false); }, big),
                      page(cache, "jpg-plain", [](const QImage& i) { return jpeg(i, {}, false); }, big));
    if (!press.isEmpty())
        status |= pageRow("JPEG 12 x 12 MP, CMYK with a press profile",
                          page(cache, "jpg-cmyk-press", [&](const QImage& i) { return jpeg(i, press, true); }, big),
                          page(cache, "jpg-cmyk-plain", [](const QImage& i) { return jpeg(i, {}, true); }, big));
    status |= pageRow("TIFF 12 x 3 MP (helper), table-based RGB",
                      page(cache, "tif-table", [&](const QImage& i) { return tiff(i, table); }, tiffSize),
                      page(cache, "tif-plain", [](const QImage& i) { return tiff(i, {}); }, tiffSize));
    return status;
}
