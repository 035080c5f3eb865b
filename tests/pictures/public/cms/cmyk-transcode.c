/* Writes a CMYK JPEG as Photoshop does: Adobe marker with transform 0 (the inks themselves, not
 * YCCK), values inverted (0 is full ink), the ICC profile kept. Reads any 4-component JPEG (the
 * YCCK ImageMagick writes): its inks pass unchanged, as libjpeg gives them.
 * cc cmyk-transcode.c -ljpeg -o cmyk-transcode && ./cmyk-transcode in.jpg out.jpg */
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    FILE* in = fopen(argv[1], "rb");
    FILE* out = fopen(argv[2], "wb");
    if (!in || !out)
        return 1;
    struct jpeg_error_mgr errors;
    struct jpeg_decompress_struct d;
    d.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, in);
    jpeg_save_markers(&d, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&d, TRUE);
    JOCTET* icc = NULL;
    unsigned int iccSize = 0;
    jpeg_read_icc_profile(&d, &icc, &iccSize);
    d.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&d);
    if (d.output_components != 4)
        return 1;
    struct jpeg_compress_struct c;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = d.output_width;
    c.image_height = d.output_height;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_CMYK); /* writes the Adobe marker, transform 0 */
    jpeg_set_quality(&c, 92, TRUE);
    jpeg_start_compress(&c, TRUE);
    if (icc)
        jpeg_write_icc_profile(&c, icc, iccSize);
    JSAMPROW row = malloc(d.output_width * 4);
    while (d.output_scanline < d.output_height) {
        jpeg_read_scanlines(&d, &row, 1);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_finish_decompress(&d);
    fclose(out);
    return 0;
}
