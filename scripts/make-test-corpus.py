#!/usr/bin/env python3
# Remakes tests/corpus/: wave files of a few KiB in the chunk layouts found in the wild, written by
# sox and ffmpeg or put together here from sox's samples, and expected.sha256: each digest of a
# data chunk as ffmpeg reads it, in the file's own format, mono doubled, as the player sends it,
# then the files that give it. rifx.wav is big-endian, to be refused. Needs sox and ffmpeg.
import hashlib, os, struct, subprocess

os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'corpus'))
run = lambda *cmd: subprocess.run(cmd, check=True, capture_output=True).stdout
le = lambda *v: struct.pack('<%dI' % len(v), *v)
chunk = lambda id, body: id + le(len(body)) + body + b'\0' * (len(body) % 2)
riff = lambda chunks, magic=b'RIFF': magic + le(4 + len(chunks)) + b'WAVE' + chunks


def sox(out, ch, bits, *more, length='800s'):
    options = ['-c', str(ch), '-b', str(bits), *more]
    return run('sox', '-D', '-r', '8000', '-n', *options, out, 'synth', length, 'sine', '300-3000')


def fmt(ch, bits):
    return chunk(b'fmt ', struct.pack('<HHIIHH', 1, ch, 8000, 8000 * ch * bits // 8, ch * bits // 8, bits))


s16, u8 = sox('-', 2, 16, '-t', 's16'), sox('-', 1, 8, '-t', 'u8', length='801s')  # an odd size
f16, data16 = fmt(2, 16), chunk(b'data', s16)
cue = chunk(b'cue ', le(1, 1, 0) + b'data' + le(0, 0, 0))  # a marker names the chunk it is in
ixml = chunk(b'iXML', b'<BWFXML><NOTE>raw data</NOTE></BWFXML>\n')
files = {
    'bext-fmt.wav': riff(chunk(b'bext', b'raw data, odd') + f16 + data16),
    'smpl-fmt.wav': riff(chunk(b'smpl', le(0, 0, 125000, 60, 0, 0, 0, 0, 4) + b'data') + f16 + data16),
    'cue-fmt.wav': riff(cue + f16 + chunk(b'LIST', b'adtllabl' + le(9) + b'marker 1\0') + data16),
    'cue-after-data.wav': riff(f16 + data16 + cue),
    'ixml-odd.wav': riff(fmt(1, 8) + ixml + chunk(b'data', u8) + cue),
    'junk-id.wav': riff(f16 + chunk(b'\0\0\0\0', b'') + data16),  # left to the probe
    'data-in-audio.wav': riff(f16 + chunk(b'data', s16[:800] + b'fmt data' * 8 + s16[864:])),
}
for name, b in files.items():
    open(name, 'wb').write(b)
sox('sox-s16.wav', 2, 16)
sox('sox-s24-mono.wav', 1, 24)
sox('rifx.wav', 2, 16, '-B')
for name, *args in [('ffmpeg-list.wav', '-metadata', 'comment=metadata test'),
                    ('ffmpeg-list-s24.wav', '-c:a', 'pcm_s24le', '-metadata', 'comment=metadata test'),
                    ('ffmpeg-bext.wav', '-write_bext', '1', '-metadata', 'description=raw data'),
                    ('ffmpeg-junk.wav', '-rf64', 'auto'),  # JUNK kept for a ds64 chunk should the file grow
                    ('ffmpeg-rf64.wav', '-rf64', 'always', '-metadata', 'comment=metadata test')]:
    run('ffmpeg', '-v', 'error', '-y', '-i', 'sox-s16.wav', *args, name)
open('bw64.wav', 'wb').write(b'BW64' + open('ffmpeg-rf64.wav', 'rb').read()[4:])

digests = {}
for name in sorted(f for f in os.listdir('.') if f.endswith('.wav') and f != 'rifx.wav'):
    codec, ch = run('ffprobe', '-v', 'error', '-show_entries', 'stream=codec_name,channels',
                    '-of', 'csv=p=0', name).decode().strip().split(',')
    data = run('ffmpeg', '-v', 'error', '-i', name, '-c:a', codec, '-f', codec[4:], '-')
    width = {'u8': 1, 's16le': 2, 's24le': 3}[codec[4:]]
    if ch == '1':
        data = b''.join(data[i:i + width] * 2 for i in range(0, len(data), width))
    digests.setdefault(hashlib.sha256(data).hexdigest(), []).append(name)
with open('expected.sha256', 'w') as out:
    for digest, names in sorted(digests.items(), key=lambda d: d[1]):
        out.write('%s %s\n' % (digest, ' '.join(names)))
