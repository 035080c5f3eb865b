/* Makes the profiles of this folder with LittleCMS:
 *   lut-rgb.icc   an RGB display profile described by tables only (A2B0 and B2A0, 17 points a
 *                 side, Lab connection space, ICC v2: lut16): the Adobe RGB (1998) gamut, gamma 2.2;
 *   grey-18.icc   a grey profile of gamma 1.8 (D50).
 * cc make-profiles.c -llcms2 -o make-profiles && ./make-profiles */
#include <lcms2.h>
#include <stdio.h>

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

int main(void)
{
    cmsHPROFILE device = adobeRgb();
    cmsHPROFILE lab = cmsCreateLab4Profile(NULL);
    cmsHPROFILE lut = cmsCreateProfilePlaceholder(NULL);
    cmsSetProfileVersion(lut, 2.1);
    cmsSetDeviceClass(lut, cmsSigDisplayClass);
    cmsSetColorSpace(lut, cmsSigRgbData);
    cmsSetPCS(lut, cmsSigLabData);
    cmsMLU* text = cmsMLUalloc(NULL, 1);
    cmsMLUsetASCII(text, "en", "US", "Tables-only RGB (Adobe RGB gamut)");
    cmsWriteTag(lut, cmsSigProfileDescriptionTag, text);
    cmsMLUsetASCII(text, "en", "US", "Public domain");
    cmsWriteTag(lut, cmsSigCopyrightTag, text);
    cmsMLUfree(text);
    cmsWriteTag(lut, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* toLab = cmsPipelineAlloc(NULL, 3, 3);
    cmsPipelineInsertStage(toLab, cmsAT_BEGIN, table(device, TYPE_RGB_16, lab, TYPE_Lab_16));
    cmsWriteTag(lut, cmsSigAToB0Tag, toLab);
    cmsPipeline* fromLab = cmsPipelineAlloc(NULL, 3, 3);
    cmsPipelineInsertStage(fromLab, cmsAT_BEGIN, table(lab, TYPE_Lab_16, device, TYPE_RGB_16));
    cmsWriteTag(lut, cmsSigBToA0Tag, fromLab);
    if (!cmsSaveProfileToFile(lut, "lut-rgb.icc"))
        return 1;

    cmsToneCurve* gamma = cmsBuildGamma(NULL, 1.8);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
    cmsFreeToneCurve(gamma);
    return cmsSaveProfileToFile(grey, "grey-18.icc") ? 0 : 1;
}
