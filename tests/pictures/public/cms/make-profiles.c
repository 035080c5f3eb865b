/* Makes the profiles of this folder with LittleCMS:
 *   lut-rgb.icc          an RGB display profile described by tables only (A2B0 and B2A0, 17 points
 *                        a side, Lab connection space, ICC v2: lut16): the Adobe RGB (1998) gamut,
 *                        gamma 2.2;
 *   grey-18.icc          a grey profile of gamma 1.8 (D50);
 *   prophoto.icc         ProPhoto (ROMM) RGB: a matrix-shaper profile, ROMM primaries, D50 white,
 *                        gamma 1.8;
 *   press-cmyk.icc       a CMYK press profile made of tables only (ICC v2, lut16, Lab connection
 *                        space): A2B0 11 points a side, B2A0 17, sampled from the ink model below;
 *   press-cmyk-small.icc the same press with 9 points a side both ways;
 *   srgb.icc             LittleCMS's built-in sRGB, the references' target.
 * The ink model: four inks over paper, each with dot gain (50 % prints as 65 %), filtering three
 * bands of light multiplicatively; the inverse separates with grey component replacement (black
 * takes over the grey that cyan, magenta and yellow share, beyond 30 %). Every profile carries a
 * fixed creation date, so that remaking gives the same bytes.
 * cc make-profiles.c -llcms2 -lm -o make-profiles && ./make-profiles */
#include <lcms2.h>
#include <lcms2_plugin.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static cmsHTRANSFORM through;

static int sample(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
{
    (void)cargo;
    cmsDoTransform(through, in, out, 1);
    return 1;
}

static cmsHPROFILE adobeRgb(void)
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(NULL, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return p;
}

static cmsStage* table(cmsHPROFILE from, cmsUInt32Number fromType, cmsHPROFILE to, cmsUInt32Number toType)
{
    cmsStage* clut = cmsStageAllocCLut16bit(NULL, 17, 3, 3, NULL);
    through = cmsCreateTransform(from, fromType, to, toType, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    cmsStageSampleCLut16bit(clut, sample, NULL, 0);
    cmsDeleteTransform(through);
    return clut;
}

/* Saved with a fixed creation date (header bytes 24 to 35: 2026-01-01 00:00:00). */
static int save(cmsHPROFILE p, const char* name)
{
    static const unsigned char date[12] = {0x07, 0xEA, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(p, NULL, &size))
        return 0;
    unsigned char* bytes = malloc(size);
    int done = bytes && cmsSaveProfileToMem(p, bytes, &size);
    if (done) {
        memcpy(bytes + 24, date, sizeof date);
        FILE* f = fopen(name, "wb");
        done = f && fwrite(bytes, 1, size, f) == size;
        if (f)
            done = fclose(f) == 0 && done;
    }
    free(bytes);
    cmsCloseProfile(p);
    return done;
}

static void describe(cmsHPROFILE p, const char* description)
{
    /* One text each: LittleCMS may keep a written tag's text until the profile is saved. */
    cmsMLU* text = cmsMLUalloc(NULL, 1);
    cmsMLU* copyright = cmsMLUalloc(NULL, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(p, cmsSigProfileDescriptionTag, text);
    cmsMLUsetASCII(copyright, "en", "US", "Public domain: made with LittleCMS by make-profiles.c");
    cmsWriteTag(p, cmsSigCopyrightTag, copyright);
    cmsMLUfree(text);
    cmsMLUfree(copyright);
}

/* The press. Light in three bands (red, green, blue), each ink passing a share of each at full
 * coverage; paper reflects all (the Lab is relative to the paper). */
static const double passes[4][3] = {
    {0.10, 0.62, 0.90}, /* cyan */
    {0.82, 0.12, 0.52}, /* magenta */
    {0.94, 0.86, 0.08}, /* yellow */
    {0.05, 0.05, 0.06}, /* black */
};

static double gained(double ink) { return ink * (1.0 + 0.6 * (1.0 - ink)); }

/* Optical density of each band under the inks (0 to 1 each). */
static void densities(const double ink[4], double d[3])
{
    for (int band = 0; band < 3; ++band) {
        d[band] = 0;
        for (int i = 0; i < 4; ++i)
            d[band] -= log(1.0 - gained(ink[i]) * (1.0 - passes[i][band]));
    }
}

/* Bands as linear light with sRGB's primaries adapted to D50 (Bradford), to XYZ and Lab. */
static const double toXyz[3][3] = {
    {0.4360747, 0.3850649, 0.1430804}, {0.2225045, 0.7168786, 0.0606169}, {0.0139322, 0.0971045, 0.7141733}};

static void bandsToLab(const double band[3], cmsCIELab* lab)
{
    cmsCIEXYZ xyz = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        xyz.X += toXyz[0][i] * band[i];
        xyz.Y += toXyz[1][i] * band[i];
        xyz.Z += toXyz[2][i] * band[i];
    }
    cmsXYZ2Lab(cmsD50_XYZ(), lab, &xyz);
}

static void labToBands(const cmsCIELab* lab, double band[3])
{
    cmsCIEXYZ xyz;
    cmsLab2XYZ(cmsD50_XYZ(), &xyz, lab);
    cmsMAT3 m;
    memcpy(&m, toXyz, sizeof m);
    cmsMAT3 inverse;
    _cmsMAT3inverse(&m, &inverse);
    const cmsVEC3 v = {{xyz.X, xyz.Y, xyz.Z}};
    cmsVEC3 out;
    _cmsMAT3eval(&out, &inverse, &v);
    for (int i = 0; i < 3; ++i)
        band[i] = out.n[i];
}

static cmsUInt16Number word(double v) { return (cmsUInt16Number)(v < 0 ? 0 : v > 65535 ? 65535 : v + 0.5); }

/* A2B0: inks to Lab, in ICC v2's 16-bit encoding (L 100 = 0xFF00, a and b 0 = 0x8000). */
static int forward(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
{
    (void)cargo;
    double ink[4], d[3], band[3];
    for (int i = 0; i < 4; ++i)
        ink[i] = in[i] / 65535.0;
    densities(ink, d);
    for (int b = 0; b < 3; ++b)
        band[b] = exp(-d[b]);
    cmsCIELab lab;
    bandsToLab(band, &lab);
    out[0] = word(lab.L * 652.80);
    out[1] = word((lab.a + 128.0) * 256.0);
    out[2] = word((lab.b + 128.0) * 256.0);
    return 1;
}

/* Cyan, magenta and yellow under `ink[3]` of black whose densities come nearest `want` (damped
 * Gauss-Newton, kept within 0 to 1). */
static void solve(const double want[3], double ink[4])
{
    ink[0] = ink[1] = ink[2] = 0.5;
    for (int step = 0; step < 40; ++step) {
        double d[3], r[3], j[3][3];
        densities(ink, d);
        for (int b = 0; b < 3; ++b)
            r[b] = d[b] - want[b];
        for (int i = 0; i < 3; ++i) {
            double moved[4] = {ink[0], ink[1], ink[2], ink[3]}, dm[3];
            moved[i] += 1e-4;
            densities(moved, dm);
            for (int b = 0; b < 3; ++b)
                j[b][i] = (dm[b] - d[b]) / 1e-4;
        }
        cmsMAT3 normal;
        cmsVEC3 g;
        for (int a = 0; a < 3; ++a) {
            g.n[a] = 0;
            for (int b = 0; b < 3; ++b) {
                normal.v[a].n[b] = a == b ? 1e-6 : 0;
                for (int k = 0; k < 3; ++k)
                    normal.v[a].n[b] += j[k][a] * j[k][b];
            }
            for (int k = 0; k < 3; ++k)
                g.n[a] += j[k][a] * r[k];
        }
        cmsVEC3 delta;
        if (!_cmsMAT3solve(&delta, &normal, &g))
            break;
        for (int i = 0; i < 3; ++i) {
            ink[i] -= delta.n[i];
            ink[i] = ink[i] < 0 ? 0 : ink[i] > 1 ? 1 : ink[i];
        }
    }
}

/* B2A0: Lab (v2 encoding) to inks. Separated first without black; the grey the three share beyond
 * 30 % then goes to black, and the three are found anew under it. */
static int backward(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
{
    (void)cargo;
    const cmsCIELab lab = {in[0] / 652.80, in[1] / 256.0 - 128.0, in[2] / 256.0 - 128.0};
    double band[3], want[3], ink[4] = {0, 0, 0, 0};
    labToBands(&lab, band);
    for (int b = 0; b < 3; ++b)
        want[b] = -log(band[b] < 1e-4 ? 1e-4 : band[b] > 1 ? 1 : band[b]);
    solve(want, ink);
    double grey = ink[0] < ink[1] ? ink[0] : ink[1];
    grey = grey < ink[2] ? grey : ink[2];
    ink[3] = grey > 0.3 ? 0.95 * (grey - 0.3) / 0.7 : 0;
    solve(want, ink);
    for (int i = 0; i < 4; ++i)
        out[i] = word(ink[i] * 65535.0);
    return 1;
}

static cmsHPROFILE press(const char* description, cmsUInt32Number toLabPoints, cmsUInt32Number fromLabPoints)
{
    cmsHPROFILE p = cmsCreateProfilePlaceholder(NULL);
    cmsSetProfileVersion(p, 2.1);
    cmsSetDeviceClass(p, cmsSigOutputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsSetHeaderRenderingIntent(p, INTENT_PERCEPTUAL);
    describe(p, description);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* toLab = cmsPipelineAlloc(NULL, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(NULL, toLabPoints, 4, 3, NULL);
    cmsStageSampleCLut16bit(clut, forward, NULL, 0);
    cmsPipelineInsertStage(toLab, cmsAT_BEGIN, clut);
    cmsWriteTag(p, cmsSigAToB0Tag, toLab);
    cmsPipelineFree(toLab);
    cmsPipeline* fromLab = cmsPipelineAlloc(NULL, 3, 4);
    clut = cmsStageAllocCLut16bit(NULL, fromLabPoints, 3, 4, NULL);
    cmsStageSampleCLut16bit(clut, backward, NULL, 0);
    cmsPipelineInsertStage(fromLab, cmsAT_BEGIN, clut);
    cmsWriteTag(p, cmsSigBToA0Tag, fromLab);
    cmsPipelineFree(fromLab);
    return p;
}

int main(void)
{
    cmsHPROFILE device = adobeRgb();
    cmsHPROFILE lab = cmsCreateLab4Profile(NULL);
    cmsHPROFILE lut = cmsCreateProfilePlaceholder(NULL);
    cmsSetProfileVersion(lut, 2.1);
    cmsSetDeviceClass(lut, cmsSigDisplayClass);
    cmsSetColorSpace(lut, cmsSigRgbData);
    cmsSetPCS(lut, cmsSigLabData);
    describe(lut, "Tables-only RGB (Adobe RGB gamut)");
    cmsWriteTag(lut, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* toLab = cmsPipelineAlloc(NULL, 3, 3);
    cmsPipelineInsertStage(toLab, cmsAT_BEGIN, table(device, TYPE_RGB_16, lab, TYPE_Lab_16));
    cmsWriteTag(lut, cmsSigAToB0Tag, toLab);
    cmsPipeline* fromLab = cmsPipelineAlloc(NULL, 3, 3);
    cmsPipelineInsertStage(fromLab, cmsAT_BEGIN, table(lab, TYPE_Lab_16, device, TYPE_RGB_16));
    cmsWriteTag(lut, cmsSigBToA0Tag, fromLab);
    if (!save(lut, "lut-rgb.icc"))
        return 1;

    cmsToneCurve* gamma = cmsBuildGamma(NULL, 1.8);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    describe(grey, "Grey, gamma 1.8");
    if (!save(grey, "grey-18.icc"))
        return 1;

    const cmsCIExyYTRIPLE romm = {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE prophoto = cmsCreateRGBProfile(cmsD50_xyY(), &romm, curves);
    cmsFreeToneCurve(gamma);
    describe(prophoto, "ProPhoto RGB (ROMM primaries, D50, gamma 1.8)");
    if (!save(prophoto, "prophoto.icc"))
        return 1;

    if (!save(press("Press CMYK: tables, dot gain, grey component replacement", 11, 17), "press-cmyk.icc")
        || !save(press("Press CMYK, 9-point tables: dot gain, grey component replacement", 9, 9), "press-cmyk-small.icc"))
        return 1;

    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    describe(srgb, "sRGB IEC61966-2.1 (LittleCMS built-in)");
    return save(srgb, "srgb.icc") ? 0 : 1;
}
