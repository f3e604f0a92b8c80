#!/usr/bin/env python3
"""Rewrites the ASF header of files ffmpeg made, for the header tests.

    make-header-variants.py DIR

In DIR, from tagged-latin.wma: tagged-picture.wma, whose header carries a
2 MB picture in a Metadata Library Object. From stereo44.wma: hostile-*.wma,
headers that are damaged or contradict themselves while the file still
starts as a whole ASF file (the header object's own size stays true). From
long60.wma: cut-*.wma, downloads cut off after their header and a few
whole data packets, or part of one, listed in cut.txt with what each holds.
"""
import struct
import sys
import uuid

FILE_PROPERTIES = '8CABDCA1-A947-11CF-8EE4-00C00C205365'
CONTENT = '75B22633-668E-11CF-A6D9-00AA0062CE6C'
EXTENDED = 'D2D0A440-E307-11D2-97F0-00A0C95EA850'
EXTENSION = '5FBF03B5-A92E-11CF-8EE3-00C00C205365'
LIBRARY = '44231C94-9498-49D1-A141-1D134E457054'


def guid(text):
    return uuid.UUID(text).bytes_le


def obj(id_text, body):
    return guid(id_text) + struct.pack('<Q', len(body) + 24) + body


def split(data):
    """The header's children as [id text, whole object bytes], and the rest of the file."""
    size = struct.unpack_from('<Q', data, 16)[0]
    children, at = [], 30
    while at < size:
        length = struct.unpack_from('<Q', data, at + 16)[0]
        children.append([str(uuid.UUID(bytes_le=data[at:at + 16])).upper(), bytearray(data[at:at + length])])
        at += length
    return data[24:30], children, data[size:]


def join(fixed, children, rest):
    """A whole file again: header size, object count and the file size its properties give."""
    body = b''.join(bytes(c[1]) for c in children)
    header = guid('75B22630-668E-11CF-A6D9-00AA0062CE6C') + struct.pack('<QI', 30 + len(body), len(children))
    data = bytearray(header + fixed[4:] + body + rest)
    for id_text, child in children:
        if id_text == FILE_PROPERTIES:
            at = data.find(bytes(child))
            struct.pack_into('<Q', data, at + 40, len(data))
    return bytes(data)


def find(children, id_text):
    return next(c for c in children if c[0] == id_text)[1]


def extension(children):
    return obj(EXTENSION, guid('ABD3D211-A9BA-11CF-8EE6-00C00C205365') + struct.pack('<HI', 6, len(children))
               + children)


def with_picture(data):
    fixed, children, rest = split(data)
    name = 'WM/Picture\0'.encode('utf-16-le')
    picture = bytes(range(256)) * (2 * 1024 * 1024 // 256)
    record = struct.pack('<HHHHI', 0, 0, len(name), 1, len(picture)) + name + picture
    library = obj(LIBRARY, struct.pack('<H', 1) + record)
    children = [c for c in children if c[0] != EXTENSION]
    children.insert(1, [EXTENSION, bytearray(extension(library))])
    return join(fixed, children, rest)


def hostile(data):
    """name -> file bytes."""
    out = {}

    fixed, children, rest = split(data)
    struct.pack_into('<Q', find(children, CONTENT), 16, 1 << 40)
    out['object-past-end'] = join(fixed, children, rest)

    fixed, children, rest = split(data)
    struct.pack_into('<H', find(children, EXTENDED), 24, 0xFFFF)
    out['count-past-object'] = join(fixed, children, rest)

    fixed, children, rest = split(data)
    struct.pack_into('<H', find(children, CONTENT), 24, 0xFFF0)
    out['string-past-value'] = join(fixed, children, rest)

    fixed, children, rest = split(data)
    one = 'WM/Track\0'.encode('utf-16-le')
    descriptor = struct.pack('<H', len(one)) + one + struct.pack('<HHH', 5, 2, 9)
    many = obj(EXTENDED, struct.pack('<H', 50000) + descriptor * 50000)
    children += [[EXTENDED, bytearray(many)], [EXTENDED, bytearray(many)]]
    out['100k-descriptors'] = join(fixed, children, rest)

    # A preroll longer than the play, and a header extension whose data runs
    # past the object.
    fixed, children, rest = split(data)
    struct.pack_into('<Q', find(children, FILE_PROPERTIES), 24 + 56, 1 << 62)
    struct.pack_into('<I', find(children, EXTENSION), 24 + 18, 0x7FFFFFFF)
    out['contradicting'] = join(fixed, children, rest)
    return out


def cut_downloads(data):
    """name -> (file bytes, the length its header claims in ms, the length of what it holds in ms)."""
    _, children, _ = split(data)
    props = find(children, FILE_PROPERTIES)
    packets, play = struct.unpack_from('<QQ', props, 24 + 32)
    preroll_ms, _, packet_bytes, largest = struct.unpack_from('<QIII', props, 24 + 56)
    assert packet_bytes == largest, 'packets of one size'
    claimed_ms = (play - preroll_ms * 10000) // 10000
    data_at = struct.unpack_from('<Q', data, 16)[0] + 50  # the first packet, after the Data Object's head
    out = {}
    for name, size, whole in (('3-packets', data_at + 3 * packet_bytes, 3), ('100-bytes', data_at - 50 + 100, 0)):
        out[name] = (data[:size], claimed_ms, claimed_ms * whole // packets)
    return out


def main():
    folder = sys.argv[1]
    with open(f'{folder}/tagged-latin.wma', 'rb') as f:
        picture = with_picture(f.read())
    with open(f'{folder}/tagged-picture.wma', 'wb') as f:
        f.write(picture)
    with open(f'{folder}/stereo44.wma', 'rb') as f:
        stereo = f.read()
    for name, data in hostile(stereo).items():
        with open(f'{folder}/hostile-{name}.wma', 'wb') as f:
            f.write(data)
    with open(f'{folder}/long60.wma', 'rb') as f:
        minute = f.read()
    with open(f'{folder}/cut.txt', 'w') as listing:
        for name, (data, claimed_ms, held_ms) in cut_downloads(minute).items():
            with open(f'{folder}/cut-{name}.wma', 'wb') as f:
                f.write(data)
            listing.write(f'cut-{name}.wma {len(data)} {claimed_ms} {held_ms}\n')


if __name__ == '__main__':
    main()
