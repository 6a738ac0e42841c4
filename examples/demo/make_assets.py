#!/usr/bin/env python3
"""Makes the demo scene's images and meshes (standard library only).

The files it writes are committed beside the scene; run it again after a
change here:  python3 examples/demo/make_assets.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b) floats 0..1, y from the top."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            for c in pixel(x, y):
                rows.append(max(0, min(255, int(round(c * 255)))))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(bytes(rows), 9)))
        out.write(chunk(b'IEND', b''))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


# ---------------------------------------------------------------- images

def studio(x, y, w=512, h=384):
    """A photo studio's sweep: dark at the top, a warm glow behind the set."""
    u, v = x / (w - 1), y / (h - 1)
    base = mix((0.08, 0.10, 0.18), (0.42, 0.42, 0.48), smooth(v))
    d = math.hypot((u - 0.5) * 1.1, v - 0.36)
    glow = smooth(1 - d / 0.75)
    return mix(base, (0.92, 0.84, 0.76), 0.7 * glow)


def tiles(x, y, n=256, count=4):
    """Ceramic floor tiles with recessed grout: dark grout reads as a groove in the bump map."""
    size = n // count
    tx, ty = x // size, y // size
    fx, fy = (x % size) / size, (y % size) / size
    edge = min(fx, fy, 1 - fx, 1 - fy)
    shade = 0.92 + 0.08 * ((tx * 7 + ty * 3) % 4) / 3
    tile = (0.86 * shade, 0.80 * shade, 0.70 * shade)
    if edge < 0.025:
        return (0.36, 0.34, 0.32)
    bevel = smooth((edge - 0.025) / 0.08)
    return mix((0.55, 0.50, 0.44), tile, bevel)


def label(x, y, w=512, h=256):
    """A drinks can's label: a deep blue body, a wave, bubbles and bands."""
    u, v = x / w, y / h
    col = mix((0.03, 0.10, 0.35), (0.05, 0.25, 0.60), v)
    if v < 0.08 or v > 0.92:
        return (0.92, 0.92, 0.95)
    if v < 0.11 or v > 0.89:
        return (0.85, 0.12, 0.10)
    wave = 0.5 + 0.13 * math.sin(u * 2 * math.pi * 3)
    if abs(v - wave) < 0.07:
        return mix((1.0, 0.62, 0.10), (1.0, 0.85, 0.35), 1 - abs(v - wave) / 0.07)
    for cx, cy, r in ((0.12, 0.30, 0.05), (0.20, 0.72, 0.035), (0.45, 0.25, 0.04), (0.62, 0.75, 0.05),
                      (0.80, 0.32, 0.03), (0.90, 0.70, 0.045)):
        dx = (u - cx) * 2
        if math.hypot(dx, v - cy) < r:
            return (0.75, 0.88, 1.0)
    return col


def planet(x, y, w=512, h=256):
    """An invented planet in equirectangular layout: seas, lands, ice caps."""
    lon = x / w * 2 * math.pi
    lat = (0.5 - y / h) * math.pi
    p = (math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat))
    n = (math.sin(2.1 * p[0] + 1.3 * p[1] + 0.5) * math.cos(1.7 * p[2] - 0.8 * p[0])
         + 0.5 * math.sin(4.3 * p[1] - 3.1 * p[2] + 1.1)
         + 0.25 * math.sin(8.7 * p[0] + 7.9 * p[2] - 2.0) * math.cos(9.1 * p[1])
         + 0.12 * math.sin(17.0 * p[2] + 15.0 * p[0]))
    if abs(lat) > math.radians(72) + 0.05 * math.sin(lon * 5):
        return (0.93, 0.95, 0.98)
    if n < 0.15:
        return mix((0.02, 0.08, 0.30), (0.05, 0.30, 0.55), smooth((n + 1.2) / 1.35))
    if n < 0.2:
        return (0.80, 0.74, 0.52)
    return mix((0.18, 0.50, 0.16), (0.50, 0.38, 0.22), smooth((n - 0.2) / 0.9))


# ---------------------------------------------------------------- meshes

class Obj:
    def __init__(self):
        self.v, self.vn, self.faces = [], [], []

    def vertex(self, p):
        self.v.append(p)
        return len(self.v)

    def normal(self, n):
        length = math.sqrt(sum(c * c for c in n)) or 1
        self.vn.append(tuple(c / length for c in n))
        return len(self.vn)

    def face(self, material, corners):
        self.faces.append((material, corners))

    def write(self, path, mtl, materials):
        with open(os.path.join(HERE, 'meshes', mtl), 'w') as out:
            for name, colour in materials.items():
                out.write('newmtl %s\nKd %.3f %.3f %.3f\n' % ((name,) + colour))
        with open(path, 'w') as out:
            out.write('# made by examples/demo/make_assets.py\nmtllib %s\n' % mtl)
            for p in self.v:
                out.write('v %.5f %.5f %.5f\n' % p)
            for n in self.vn:
                out.write('vn %.5f %.5f %.5f\n' % n)
            current = None
            for material, corners in self.faces:
                if material != current:
                    out.write('usemtl %s\n' % material)
                    current = material
                out.write('f ' + ' '.join('%d//%d' % c if c[1] else '%d' % c[0] for c in corners) + '\n')


def gear():
    """A spur gear with 18 teeth in the x-y plane, 0.3 thick, with a hub sleeve."""
    mesh = Obj()
    teeth, per_tooth, inner, half = 18, 8, 0.32, 0.15
    steps = teeth * per_tooth

    def radius(i):
        phase = (i % per_tooth) / per_tooth
        if phase < 0.15 or phase >= 0.85:
            return 0.84
        if phase < 0.3:
            return 0.84 + (phase - 0.15) / 0.15 * 0.16
        if phase < 0.7:
            return 1.0
        return 1.0 - (phase - 0.7) / 0.15 * 0.16

    ring = []
    for i in range(steps):
        a = 2 * math.pi * i / steps
        r = radius(i)
        c, s = math.cos(a), math.sin(a)
        ring.append([mesh.vertex((r * c, r * s, z)) for z in (half, -half)] +
                    [mesh.vertex((inner * c, inner * s, z)) for z in (half, -half)])
    front, back = mesh.normal((0, 0, 1)), mesh.normal((0, 0, -1))
    for i in range(steps):
        a, b = ring[i], ring[(i + 1) % steps]
        mesh.face('enamel', [(a[2], front), (a[0], front), (b[0], front), (b[2], front)])
        mesh.face('enamel', [(a[1], back), (a[3], back), (b[3], back), (b[1], back)])
        mesh.face('brass', [(a[0], 0), (a[1], 0), (b[1], 0), (b[0], 0)])
    # The hub: a steel sleeve through the gear, longer than it is thick.
    segments, length, outer = 36, 0.3, 0.32
    hub = []
    for i in range(segments):
        a = 2 * math.pi * i / segments
        c, s = math.cos(a), math.sin(a)
        hub.append(([mesh.vertex((outer * c, outer * s, z)) for z in (length, -length)], mesh.normal((c, s, 0))))
    top, bottom = mesh.normal((0, 0, 1)), mesh.normal((0, 0, -1))
    for i in range(segments):
        (a, na), (b, nb) = hub[i], hub[(i + 1) % segments]
        mesh.face('steel', [(a[1], na), (b[1], nb), (b[0], nb), (a[0], na)])
    mesh.face('steel', [(hub[i][0][0], top) for i in range(segments)])
    mesh.face('steel', [(hub[i][0][1], bottom) for i in reversed(range(segments))])
    mesh.write(os.path.join(HERE, 'meshes', 'gear.obj'), 'gear.mtl',
               {'enamel': (0.78, 0.10, 0.08), 'brass': (0.88, 0.66, 0.24), 'steel': (0.60, 0.63, 0.68)})


def vase():
    """A turned vase, 2 tall: glazed body, gold rim band, clay foot."""
    mesh = Obj()
    segments, rows = 48, 40

    def r(t):
        return 0.35 + 0.28 * max(0.0, math.sin(math.pi * (0.15 + 0.85 * t))) ** 1.5 - 0.12 * t + 0.1 * smooth((t - 0.85) / 0.15)

    def dr(t):
        e = 1e-3
        return (r(t + e) - r(t - e)) / (2 * e)

    grid = []
    for j in range(rows + 1):
        t = j / rows
        y = 2 * t
        row = []
        for i in range(segments):
            a = 2 * math.pi * i / segments
            c, s = math.cos(a), math.sin(a)
            slope = dr(t) / 2  # dr/dy
            row.append((mesh.vertex((r(t) * c, y, r(t) * s)), mesh.normal((c, -slope, s))))
        grid.append(row)
    for j in range(rows):
        t = (j + 0.5) / rows
        material = 'clay' if t < 0.08 else 'gold' if t > 0.88 else 'glaze'
        for i in range(segments):
            a, b = grid[j][i], grid[j][(i + 1) % segments]
            c, d = grid[j + 1][(i + 1) % segments], grid[j + 1][i]
            mesh.face(material, [a, d, c, b])
    down = mesh.normal((0, -1, 0))
    mesh.face('clay', [(grid[0][i][0], down) for i in range(segments)])
    mesh.write(os.path.join(HERE, 'meshes', 'vase.obj'), 'vase.mtl',
               {'glaze': (0.08, 0.52, 0.58), 'gold': (0.92, 0.74, 0.30), 'clay': (0.62, 0.36, 0.22)})


def torus():
    """A ring in the x-z plane as an ASCII PLY file with normals."""
    big, small, around, across = 0.8, 0.22, 64, 24
    vertices, faces = [], []
    for i in range(around):
        a = 2 * math.pi * i / around
        for j in range(across):
            b = 2 * math.pi * j / across
            n = (math.cos(a) * math.cos(b), math.sin(b), math.sin(a) * math.cos(b))
            p = ((big + small * math.cos(b)) * math.cos(a), small * math.sin(b), (big + small * math.cos(b)) * math.sin(a))
            vertices.append(p + n)
    for i in range(around):
        for j in range(across):
            k = lambda ii, jj: (ii % around) * across + (jj % across)
            faces.append((k(i, j), k(i, j + 1), k(i + 1, j + 1), k(i + 1, j)))
    with open(os.path.join(HERE, 'meshes', 'torus.ply'), 'w') as out:
        out.write('ply\nformat ascii 1.0\ncomment made by examples/demo/make_assets.py\n')
        out.write('element vertex %d\nproperty float x\nproperty float y\nproperty float z\n' % len(vertices))
        out.write('property float nx\nproperty float ny\nproperty float nz\n')
        out.write('element face %d\nproperty list uchar int vertex_indices\nend_header\n' % len(faces))
        for v in vertices:
            out.write('%.5f %.5f %.5f %.5f %.5f %.5f\n' % v)
        for f in faces:
            out.write('4 %d %d %d %d\n' % f)


def main():
    os.makedirs(os.path.join(HERE, 'images'), exist_ok=True)
    os.makedirs(os.path.join(HERE, 'meshes'), exist_ok=True)
    write_png(os.path.join(HERE, 'images', 'studio.png'), 512, 384, studio)
    write_png(os.path.join(HERE, 'images', 'tiles.png'), 256, 256, tiles)
    write_png(os.path.join(HERE, 'images', 'label.png'), 512, 256, label)
    write_png(os.path.join(HERE, 'images', 'planet.png'), 512, 256, planet)
    gear()
    vase()
    torus()


if __name__ == '__main__':
    main()
