/* A layered AV1 still picture, made with libaom's own spatial-layer controls (the way layered,
 * progressive AVIF files are made): layer 0 is a key frame of a flat grey, layer 1 the picture
 * itself at full quality, predicted from layer 0. Both layers are one temporal unit.
 *
 *   layered IN.ppm OUT.obu       (binary PPM, 8 bits; prints the byte size of each layer)
 *
 * The picture goes to YUV 4:4:4 with the BT.601 matrix in full range, as avifenc's default
 * colour box (1/13/6, full) says. Build: cc layered.c -o layered $(pkg-config --cflags --libs aom)
 */
#include <aom/aom_encoder.h>
#include <aom/aomcx.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char clamp(double v) { return v < 0 ? 0 : v > 255 ? 255 : (unsigned char)(v + 0.5); }

static int readPpm(const char *path, aom_image_t *picture)
{
    FILE *f = fopen(path, "rb");
    int w, h, top;
    if (!f || fscanf(f, "P6 %d %d %d", &w, &h, &top) != 3 || top != 255 || fgetc(f) == EOF)
        return 0;
    unsigned char *rgb = malloc((size_t)w * h * 3);
    if (fread(rgb, 3, (size_t)w * h, f) != (size_t)w * h)
        return 0;
    fclose(f);
    aom_img_alloc(picture, AOM_IMG_FMT_I444, w, h, 16);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *p = rgb + ((size_t)y * w + x) * 3;
            const double r = p[0], g = p[1], b = p[2];
            const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
            picture->planes[0][y * picture->stride[0] + x] = clamp(luma);
            picture->planes[1][y * picture->stride[1] + x] = clamp((b - luma) / 1.772 + 128);
            picture->planes[2][y * picture->stride[2] + x] = clamp((r - luma) / 1.402 + 128);
        }
    free(rgb);
    return 1;
}

/* Encodes one layer and appends what comes out; returns the bytes written, -1 on failure. */
static long encodeLayer(aom_codec_ctx_t *codec, aom_image_t *picture, int layer, int quality,
                        aom_enc_frame_flags_t flags, FILE *out)
{
    long written = 0;
    aom_codec_control(codec, AOME_SET_SPATIAL_LAYER_ID, layer);
    aom_codec_control(codec, AOME_SET_CQ_LEVEL, quality);
    if (aom_codec_encode(codec, picture, 0, 1, flags) != AOM_CODEC_OK)
        return -1;
    aom_codec_iter_t iter = NULL;
    const aom_codec_cx_pkt_t *packet;
    while ((packet = aom_codec_get_cx_data(codec, &iter)) != NULL) {
        if (packet->kind != AOM_CODEC_CX_FRAME_PKT)
            continue;
        const unsigned char *data = packet->data.frame.buf;
        size_t size = packet->data.frame.sz;
        /* One temporal unit: the later layer without a temporal delimiter of its own. */
        if (layer > 0 && size >= 2 && data[0] == 0x12 && data[1] == 0x00)
            data += 2, size -= 2;
        fwrite(data, 1, size, out);
        written += (long)size;
    }
    return written;
}

int main(int argc, char **argv)
{
    aom_image_t picture, grey;
    if (argc != 3 || !readPpm(argv[1], &picture))
        return fprintf(stderr, "usage: layered IN.ppm OUT.obu\n"), 2;
    aom_img_alloc(&grey, AOM_IMG_FMT_I444, picture.d_w, picture.d_h, 16);
    for (int p = 0; p < 3; ++p)
        for (unsigned y = 0; y < picture.d_h; ++y)
            memset(grey.planes[p] + y * grey.stride[p], 128, picture.d_w);

    aom_codec_iface_t *iface = aom_codec_av1_cx();
    aom_codec_enc_cfg_t cfg;
    aom_codec_ctx_t codec;
    if (aom_codec_enc_config_default(iface, &cfg, AOM_USAGE_GOOD_QUALITY) != AOM_CODEC_OK)
        return 3;
    cfg.g_w = picture.d_w;
    cfg.g_h = picture.d_h;
    cfg.g_profile = 1; /* 4:4:4 */
    cfg.g_lag_in_frames = 0;
    cfg.rc_end_usage = AOM_Q;
    cfg.kf_mode = AOM_KF_DISABLED;
    cfg.g_threads = 1;
    cfg.full_still_picture_hdr = 0;
    if (aom_codec_enc_init(&codec, iface, &cfg, 0) != AOM_CODEC_OK)
        return 4;
    aom_codec_control(&codec, AOME_SET_CPUUSED, 6);
    aom_codec_control(&codec, AOME_SET_NUMBER_SPATIAL_LAYERS, 2);
    aom_codec_control(&codec, AV1E_SET_COLOR_PRIMARIES, 1);
    aom_codec_control(&codec, AV1E_SET_TRANSFER_CHARACTERISTICS, 13);
    aom_codec_control(&codec, AV1E_SET_MATRIX_COEFFICIENTS, 6);
    aom_codec_control(&codec, AV1E_SET_COLOR_RANGE, 1);

    FILE *out = fopen(argv[2], "wb");
    if (!out)
        return 5;
    const long base = encodeLayer(&codec, &grey, 0, 63, AOM_EFLAG_FORCE_KF, out);
    /* The full picture, predicted from the base layer only, updating nothing after it. */
    const aom_enc_frame_flags_t enhancement = AOM_EFLAG_NO_REF_LAST2 | AOM_EFLAG_NO_REF_LAST3 | AOM_EFLAG_NO_REF_GF |
                                              AOM_EFLAG_NO_REF_ARF | AOM_EFLAG_NO_REF_BWD | AOM_EFLAG_NO_REF_ARF2 |
                                              AOM_EFLAG_NO_UPD_LAST | AOM_EFLAG_NO_UPD_GF | AOM_EFLAG_NO_UPD_ARF |
                                              AOM_EFLAG_NO_UPD_ENTROPY;
    const long full = encodeLayer(&codec, &picture, 1, 2, enhancement, out);
    fclose(out);
    aom_codec_destroy(&codec);
    if (base <= 0 || full <= 0)
        return fprintf(stderr, "encoding failed\n"), 6;
    printf("%ld,%ld\n", base, full);
    return 0;
}
