#!/usr/bin/env python3
"""Sources and reference renderings for the HDR and AVIF pictures, standard library only.

  pictool.py source pq|hlg OUT.png      16-bit RGB test card, coded in BT.2020 with that transfer
                                        (pq-alpha: with alpha falling from 1 to 0 on its right half)
  pictool.py grey BITS OUT.png          16-bit grey ramp holding BITS-bit levels
  pictool.py colour OUT.png             16-bit RGB test card in sRGB
  pictool.py tonemap pq|hlg IN.png OUT.png   16-bit BT.2020 PQ/HLG -> 8-bit sRGB, as below
  pictool.py to8 IN.png OUT.png         any 8/16-bit RGB or grey PNG -> 8-bit RGB, rounded
  pictool.py bt2020 IN.png OUT.png      SDR RGB in BT.2020 primaries with the sRGB curve -> 8-bit sRGB
  pictool.py colr P T M FULL IN OUT     a HEIF/AVIF file again, its primary picture given an nclx
                                        colour box (H.273 primaries, transfer, matrix, full range)
  pictool.py layered LAYERS.obu SIZES IN.avif OUT.avif
                                        IN's primary picture replaced by the layered AV1 stream
                                        LAYERS.obu whose layers have the byte SIZES (comma list),
                                        with the a1lx and lsel boxes of a layered (progressive) AVIF

The tone mapping follows the published curves, written here from the documents, not from the
program's code:
  PQ:  SMPTE ST 2084 EOTF to display light in cd/m2.
  HLG: ITU-R BT.2100 inverse OETF, then its OOTF for a 1000 cd/m2 display (gamma 1.2, black 0).
  Then on the luminance Y (BT.2020 weights) the ITU-R BT.2390 EETF (Hermite knee, computed in
  PQ), from a 1000 cd/m2 master to a 203 cd/m2 target; SDR white stands for 203 cd/m2 (the BT.2408
  reference white). R, G and B are scaled by Y'/Y, turned from BT.2020 to BT.709/sRGB
  primaries (matrix of ITU-R BT.2087), clipped to 0..1 per channel and sRGB-encoded (IEC 61966-2-1).
"""
import math
import struct
import sys
import zlib

# ---------------------------------------------------------------- PNG in and out
def read_png(path):
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    pos, idat, head = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            head = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
    width, height, depth, ctype, _, _, interlace = head
    assert interlace == 0 and depth in (8, 16) and ctype in (0, 2, 4, 6)
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[ctype]
    bpp = channels * depth // 8
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        f, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b, c = prev[x], prev[x - bpp] if x >= bpp else 0
            if f == 1:
                line[x] = (line[x] + a) & 255
            elif f == 2:
                line[x] = (line[x] + b) & 255
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    top = (1 << depth) - 1
    pixels = []
    for line in rows:
        if depth == 16:
            values = struct.unpack('>%dH' % (width * channels), bytes(line))
        else:
            values = list(line)
        row = []
        for x in range(width):
            v = values[x * channels:(x + 1) * channels]
            rgb = (v[0], v[0], v[0]) if channels < 3 else v[:3]
            alpha = (v[-1],) if channels in (2, 4) else ()
            row.append(tuple(c / top for c in rgb + alpha))
        pixels.append(row)
    return pixels


def write_png(path, pixels, depth, grey=False):
    """pixels: rows of (r, g, b) or (r, g, b, a) in 0..1, or of v in 0..1 when grey."""
    top = (1 << depth) - 1
    fmt = '>%dH' if depth == 16 else '%dB'
    raw = bytearray()
    for row in pixels:
        values = [v for v in row] if grey else [c for p in row for c in p]
        raw.append(0)
        raw += struct.pack(fmt % len(values), *[int(round(min(max(v, 0.0), 1.0) * top)) for v in values])
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    kind = 0 if grey else 6 if len(pixels[0][0]) == 4 else 2
    head = struct.pack('>IIBBBBB', len(pixels[0]), len(pixels), depth, kind, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', head) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
                chunk(b'IEND', b''))

# ---------------------------------------------------------------- transfer curves
M1, M2 = 2610 / 16384, 2523 / 4096 * 128
C1, C2, C3 = 3424 / 4096, 2413 / 4096 * 32, 2392 / 4096 * 32


def pq_eotf(e):  # signal 0..1 -> cd/m2
    p = max(e, 0.0) ** (1 / M2)
    return 10000 * (max(p - C1, 0.0) / (C2 - C3 * p)) ** (1 / M1)


def pq_inverse(nits):  # cd/m2 -> signal 0..1
    y = (max(nits, 0.0) / 10000) ** M1
    return ((C1 + C2 * y) / (1 + C3 * y)) ** M2


HA, HB = 0.17883277, 1 - 4 * 0.17883277
HC = 0.5 - HA * math.log(4 * HA)


def hlg_inverse_oetf(e):  # signal 0..1 -> scene light 0..1
    return e * e / 3 if e <= 0.5 else (math.exp((e - HC) / HA) + HB) / 12


def hlg_oetf(light):
    return math.sqrt(3 * light) if light <= 1 / 12 else HA * math.log(12 * light - HB) + HC


KR, KG, KB = 0.2627, 0.6780, 0.0593  # BT.2020 luminance weights
PEAK, WHITE = 1000.0, 203.0


def eetf(nits):
    """BT.2390 EETF on a luminance, from PEAK to WHITE cd/m2 (black level 0)."""
    span = pq_inverse(PEAK)
    e1 = min(pq_inverse(nits) / span, 1.0)
    max_lum = pq_inverse(WHITE) / span
    ks = 1.5 * max_lum - 0.5
    if e1 > ks:
        t = (e1 - ks) / (1 - ks)
        e1 = (2 * t**3 - 3 * t**2 + 1) * ks + (t**3 - 2 * t**2 + t) * (1 - ks) + (-2 * t**3 + 3 * t**2) * max_lum
    return pq_eotf(e1 * span)


BT2020_TO_709 = ((1.6605, -0.5876, -0.0728), (-0.1246, 1.1329, -0.0083), (-0.0182, -0.1006, 1.1187))


def srgb_encode(v):
    v = min(max(v, 0.0), 1.0)
    return 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055


def srgb_decode(v):
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def bt2020_sdr_pixel(rgb):
    lin = [srgb_decode(c) for c in rgb]
    return tuple(srgb_encode(sum(m * c for m, c in zip(row, lin))) for row in BT2020_TO_709)


def on_white(rgb, alpha):
    """Laid on white in the coded values, as the program lays what is transparent on white."""
    return tuple(c * alpha[0] + 1 - alpha[0] for c in rgb) if alpha else rgb


def tonemap_pixel(rgb, transfer):
    if transfer == 'pq':
        lin = [pq_eotf(c) for c in rgb]
    else:
        scene = [hlg_inverse_oetf(c) for c in rgb]
        ys = KR * scene[0] + KG * scene[1] + KB * scene[2]
        lin = [PEAK * ys ** 0.2 * s for s in scene]  # OOTF, gamma 1.2
    y = KR * lin[0] + KG * lin[1] + KB * lin[2]
    gain = eetf(y) / y if y > 0 else 0.0
    lin = [c * gain / WHITE for c in lin]
    out = [sum(m * c for m, c in zip(row, lin)) for row in BT2020_TO_709]
    return tuple(srgb_encode(c) for c in out)

# ---------------------------------------------------------------- HEIF boxes
def box(kind, body):
    return struct.pack('>I4s', 8 + len(body), kind) + body


def children(data):
    out, pos = [], 0
    while pos + 8 <= len(data):
        size, kind = struct.unpack('>I4s', data[pos:pos + 8])
        assert size >= 8, 'box sizes of 0 or 64 bits are not handled here'
        out.append([kind, data[pos + 8:pos + size]])
        pos += size
    return out


def uint(data, pos, size):
    return int.from_bytes(data[pos:pos + size], 'big'), pos + size


class Heif:
    """The boxes of a still HEIF/AVIF, its items' data, written back with every item's data in one mdat."""

    def __init__(self, data):
        self.data = data
        self.top = children(data)
        meta = next(b for k, b in self.top if k == b'meta')
        self.meta_head, self.meta = meta[:4], children(meta[4:])
        self.items = self._read_iloc()

    def child(self, kinds, boxes=None):
        boxes = self.meta if boxes is None else boxes
        kind, rest = kinds[0], kinds[1:]
        for b in boxes:
            if b[0] == kind:
                return b if not rest else self.child(rest, children(b[1]))
        raise KeyError(kind)

    def _read_iloc(self):
        body = self.child([b'iloc'])[1]
        version = body[0]
        offset_size, length_size = body[4] >> 4, body[4] & 15
        base_size, index_size = body[5] >> 4, (body[5] & 15) if version else 0
        count, pos = uint(body, 6, 2 if version < 2 else 4)
        items = []
        for _ in range(count):
            item, pos = uint(body, pos, 2 if version < 2 else 4)
            method = 0
            if version:
                method, pos = uint(body, pos, 2)
            _, pos = uint(body, pos, 2)
            base, pos = uint(body, pos, base_size)
            extents, pos = uint(body, pos, 2)
            data = b''
            for _ in range(extents):
                _, pos = uint(body, pos, index_size)
                offset, pos = uint(body, pos, offset_size)
                length, pos = uint(body, pos, length_size)
                assert method in (0, 1)
                if method == 0:
                    data += self.data[base + offset:base + offset + length]
                else:
                    data += struct.pack('>QQ', base + offset, length)  # in idat: kept as it was
            items.append([item, method, data])
        return items

    def primary(self):
        return struct.unpack('>H', self.child([b'pitm'])[1][4:6])[0]

    def add_property(self, item, prop, essential=False):
        ipco = self.child([b'iprp', b'ipco'])
        index = len(children(ipco[1])) + 1
        ipco[1] += prop
        iprp = self.child([b'iprp'])
        boxes = children(iprp[1])
        for b in boxes:
            if b[0] == b'ipco':
                b[1] = ipco[1]
            if b[0] == b'ipma':
                b[1] = self._associate(b[1], item, index, essential)
        iprp[1] = b''.join(box(k, v) for k, v in boxes)

    @staticmethod
    def _associate(body, item, index, essential):
        version, wide = body[0], body[3] & 1
        count, pos = uint(body, 4, 4)
        out = bytearray(body[:8])
        for _ in range(count):
            start = pos
            who, pos = uint(body, pos, 2 if version < 1 else 4)
            n, pos = uint(body, pos, 1)
            pos += n * (2 if wide else 1)
            entry = bytearray(body[start:pos])
            if who == item:
                entry[(2 if version < 1 else 4)] += 1
                entry += struct.pack('>H', index | (0x8000 if essential else 0)) if wide else \
                    bytes([index | (0x80 if essential else 0)])
            out += entry
        return bytes(out)

    def write(self, path):
        def meta(offsets):
            body = bytearray([1, 0, 0, 0, 0x44, 0x00]) + struct.pack('>H', len(self.items))
            for (item, method, data), offset in zip(self.items, offsets):
                if method == 1:
                    where, length = struct.unpack('>QQ', data)
                    body += struct.pack('>HHHHII', item, 1, 0, 1, where, length)
                else:
                    body += struct.pack('>HHHHII', item, 0, 0, 1, offset, len(data))
            boxes = b''.join(box(k, bytes(body) if k == b'iloc' else v) for k, v in self.meta)
            return box(b'meta', self.meta_head + boxes)
        head = b''.join(box(k, v) for k, v in self.top if k == b'ftyp')
        start = len(head) + len(meta([0] * len(self.items))) + 8
        offsets, at = [], start
        for _, method, data in self.items:
            offsets.append(at)
            at += len(data) if method == 0 else 0
        mdat = box(b'mdat', b''.join(d for _, m, d in self.items if m == 0))
        with open(path, 'wb') as f:
            f.write(head + meta(offsets) + mdat)


def colr(args):
    primaries, transfer, matrix, full, source, target = args
    heif = Heif(open(source, 'rb').read())
    nclx = box(b'colr', b'nclx' + struct.pack('>HHHB', int(primaries), int(transfer), int(matrix), 0x80 if int(full) else 0))
    heif.add_property(heif.primary(), nclx)
    heif.write(target)


def layered(args):
    stream, sizes, source, target = args
    heif = Heif(open(source, 'rb').read())
    item = heif.primary()
    layers = [int(s) for s in sizes.split(',')]
    obu = open(stream, 'rb').read()
    assert sum(layers) == len(obu) and 2 <= len(layers) <= 4
    for entry in heif.items:
        if entry[0] == item:
            entry[2] = obu
    # a1lx: the sizes of every layer but the last (16-bit); lsel 0xFFFF: show all layers.
    a1lx = box(b'a1lx', bytes([0]) + struct.pack('>3H', *(layers[:-1] + [0, 0, 0])[:3]))
    heif.add_property(item, a1lx)
    heif.add_property(item, box(b'lsel', struct.pack('>H', 0xFFFF)), essential=True)
    heif.write(target)

# ---------------------------------------------------------------- test cards
def hdr_card(transfer, width=192, height=128):
    """Top: a grey ramp from black to 1600 cd/m2. Middle: patches (in-gamut colours at 60..700
    cd/m2, the BT.2020 primaries, beyond sRGB). Bottom: hues at two brightnesses."""
    def code(nits_rgb):
        if transfer == 'pq':
            return tuple(pq_inverse(c) for c in nits_rgb)
        # HLG: display light back to the signal through the inverse OOTF at 1000 cd/m2.
        y = KR * nits_rgb[0] + KG * nits_rgb[1] + KB * nits_rgb[2]
        ys = (y / PEAK) ** (1 / 1.2) if y > 0 else 0.0
        return tuple(hlg_oetf(min(c / PEAK * (ys ** -0.2 if ys > 0 else 0.0), 1.0)) for c in nits_rgb)
    patches = [(60, 60, 60), (203, 203, 203), (500, 500, 500), (203, 120, 80), (90, 140, 203),
               (600, 560, 80), (300, 0, 0), (0, 300, 0), (0, 0, 300), (700, 200, 650)]
    rows = []
    for yy in range(height):
        row = []
        for x in range(width):
            if yy < height // 3:
                nits = 1600 * (x / (width - 1)) ** 2.4
                row.append(code((nits, nits, nits)))
            elif yy < 2 * height // 3:
                row.append(code(patches[x * len(patches) // width]))
            else:
                h = x / width * 6
                f = h - int(h)
                hue = [(1, f, 0), (1 - f, 1, 0), (0, 1, f), (0, 1 - f, 1), (f, 0, 1), (1, 0, 1 - f)][int(h)]
                level = 150 if yy < 5 * height // 6 else 800
                row.append(code(tuple(level * (0.15 + 0.85 * c) for c in hue)))
        rows.append(row)
    return rows


def colour_card(width=160, height=120):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            h = x / width * 6
            f = h - int(h)
            hue = [(1, f, 0), (1 - f, 1, 0), (0, 1, f), (0, 1 - f, 1), (f, 0, 1), (1, 0, 1 - f)][int(h)]
            v = y / (height - 1)
            row.append(tuple(c * v + (1 - v) * 0.5 * (x / width) for c in hue))
        rows.append(row)
    return rows


def main(argv):
    what = argv[1]
    if what == 'source':
        card = hdr_card(argv[2].split('-')[0])
        if argv[2].endswith('-alpha'):  # opaque on the left, then alpha falling to 0 on the right
            width = len(card[0])
            card = [[p + (min(1.0, 2 - 2 * x / (width - 1)),) for x, p in enumerate(row)] for row in card]
        write_png(argv[3], card, 16)
    elif what == 'grey':
        levels = (1 << int(argv[2])) - 1
        w, h = 256, 64
        write_png(argv[3], [[round(x / (w - 1) * levels) / levels for x in range(w)] for _ in range(h)], 16, grey=True)
    elif what == 'colour':
        write_png(argv[2], colour_card(), 16)
    elif what == 'tonemap':
        write_png(argv[4], [[on_white(tonemap_pixel(p[:3], argv[2]), p[3:]) for p in row] for row in read_png(argv[3])], 8)
    elif what == 'colr':
        colr(argv[2:])
    elif what == 'layered':
        layered(argv[2:])
    elif what == 'bt2020':
        write_png(argv[3], [[bt2020_sdr_pixel(p) for p in row] for row in read_png(argv[2])], 8)
    elif what == 'to8':
        write_png(argv[3], read_png(argv[2]), 8)
    else:
        raise SystemExit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
