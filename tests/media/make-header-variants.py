#!/usr/bin/env python3
"""Rewrites the ASF header of files ffmpeg made, for the header tests.

    make-header-variants.py DIR

In DIR, from tagged-latin.wma: tagged-picture.wma, whose header carries a
2 MB picture in a Metadata Library Object. From stereo44.wma: hostile-*.wma,
headers that are damaged or contradict themselves while the file still
starts as a whole ASF file (the header object's own size stays true).

held.txt lists files whose header and data disagree, each with its size,
the length its header claims, the length ffmpeg's decode of it runs, and
which decode is the witness of what it holds: from long60.wma, cut-*.wma,
downloads cut off after their header and a few whole data packets, or part
of one, zero-tail.wma, whose second half is zeros as a download program
leaves a file it pre-allocated, and shifted.wma, whose first packet lost
100 bytes so that every later packet lies out of place; from stereo44.wma,
claims-more.wma, whose header claims 59.8 s for 5 s of sound, and
broadcast.wma, whose header claims nothing; from vbr-like.wma,
vbr-cut-half.wma, cut at half its packets, which hold a tenth of its time;
and late-sound.wma as make-media.sh made it. ffmpeg finds its way back into
shifted packets, which no player's runtime does: its witness is the
runtime's own decode. stereo44.wma, whole, is listed as it is.
"""
import struct
import subprocess
import sys
import tempfile
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


def properties(data):
    """The File Properties' packet count, play duration, preroll (ms), flags and packet size."""
    _, children, _ = split(data)
    props = find(children, FILE_PROPERTIES)
    packets, play = struct.unpack_from('<QQ', props, 24 + 32)
    preroll_ms, flags, packet_bytes, largest = struct.unpack_from('<QIII', props, 24 + 56)
    assert packet_bytes == largest, 'packets of one size'
    return packets, play, preroll_ms, flags, packet_bytes


def claimed_ms(data):
    _, play, preroll_ms, _, _ = properties(data)
    return max(play - preroll_ms * 10000, 0) // 10000


def decoded_ms(data):
    """How long ffmpeg's decode of the file runs, in ms: its 16-bit samples counted."""
    with tempfile.NamedTemporaryFile(suffix='.wma') as f:
        f.write(data)
        f.flush()
        probe = subprocess.run(['ffprobe', '-v', 'error', '-select_streams', 'a:0', '-show_entries',
                                'stream=sample_rate,channels', '-of', 'csv=p=0', f.name],
                               capture_output=True, text=True).stdout.split(',')
        pcm = subprocess.run(['ffmpeg', '-nostdin', '-v', 'quiet', '-i', f.name, '-map', '0:a:0', '-f', 's16le',
                              '-'], capture_output=True).stdout
    if len(probe) < 2 or not pcm:
        return 0
    return len(pcm) * 1000 // (2 * int(probe[0]) * int(probe[1]))


def with_properties(data, **fields):
    """The file with File Properties fields rewritten: play (100 ns), flags."""
    fixed, children, rest = split(data)
    props = find(children, FILE_PROPERTIES)
    if 'play' in fields:
        struct.pack_into('<Q', props, 24 + 40, fields['play'])
    if 'flags' in fields:
        struct.pack_into('<I', props, 24 + 64, fields['flags'])
    return join(fixed, children, rest)


def cut_at(data, packets):
    return data[:struct.unpack_from('<Q', data, 16)[0] + 50 + packets * properties(data)[4]]


def held_files(minute, stereo, vbr, late):
    """name -> (file bytes, the decode that witnesses what it holds)."""
    header_end = struct.unpack_from('<Q', minute, 16)[0]
    zero_from = len(minute) // 2
    first_packet_end = header_end + 50 + properties(minute)[4]
    preroll_ms = properties(stereo)[2]
    return {
        'stereo44.wma': (stereo, 'ffmpeg'),
        'cut-3-packets.wma': (cut_at(minute, 3), 'ffmpeg'),
        'cut-100-bytes.wma': (minute[:header_end + 100], 'ffmpeg'),
        'zero-tail.wma': (minute[:zero_from] + bytes(len(minute) - zero_from), 'ffmpeg'),
        'shifted.wma': (minute[:first_packet_end - 300] + minute[first_packet_end - 200:], 'runtime'),
        'claims-more.wma': (with_properties(stereo, play=(59800 + preroll_ms) * 10000), 'ffmpeg'),
        'broadcast.wma': (with_properties(stereo, play=0, flags=properties(stereo)[3] | 1), 'ffmpeg'),
        'vbr-cut-half.wma': (cut_at(vbr, properties(vbr)[0] // 2), 'ffmpeg'),
        'late-sound.wma': (late, 'ffmpeg'),
    }


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
    with open(f'{folder}/vbr-like.wma', 'rb') as f:
        vbr = f.read()
    with open(f'{folder}/late-sound.wma', 'rb') as f:
        late = f.read()
    with open(f'{folder}/held.txt', 'w') as listing:
        for name, (data, witness) in held_files(minute, stereo, vbr, late).items():
            if name not in ('stereo44.wma', 'late-sound.wma'):
                with open(f'{folder}/{name}', 'wb') as f:
                    f.write(data)
            listing.write(f'{name} {len(data)} {claimed_ms(data)} {decoded_ms(data)} {witness}\n')


if __name__ == '__main__':
    main()
