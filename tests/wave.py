#!/usr/bin/env python3
# Writes a wave file for a test, byte by byte, and beside it NAME.raw: the bytes a device gets
# when the file is played (mono is sent as stereo, each sample in both channels).
#
#   wave.py NAME.wav [KEY=VALUE...]
#
#   wave.py --renders RAW TAG...  checks that RAW holds only whole frames of the renders tagged so
#   wave.py --runs RAW            prints each run of frames in a row in RAW: its tag, first and last count
#
# 16-bit stereo at 8000 Hz with no frames unless said. Keys: channels, bits, format (3 float,
# 6 A-law, 7 mu-law), rate, align (the block align; the sample container follows from it),
# frames (of noise, each seed its own, so that a misplaced byte shows), seed, floats (the samples,
# a list repeated over the frames), triangle (frames going up through zero every 100 frames,
# 16-bit), size (the data size field), riff (RF64, BW64), ds64 (a ds64 chunk giving this data
# size), before and list (a LIST chunk of that many bytes before and after the data), cut (the file cut to that many
# bytes), play (FROM:TO: NAME.raw holds only these frames), tag (each frame counts in the left channel,
# under 30000, and holds TAG in the right: a frame read through another file's layout shows).
import array, random, struct, sys


def le(value, n):
    return (value % (1 << 8 * n)).to_bytes(n, "little")


def chunk(name, body):
    return name + le(len(body), 4) + body + b"\0" * (len(body) % 2)


if sys.argv[1] in ("--renders", "--runs"):
    played = array.array("h", open(sys.argv[2], "rb").read())
    if sys.argv[1] == "--renders":
        sys.exit(f"{sys.argv[2]}: frames of no render" if set(played[1::2]) - set(map(int, sys.argv[3:])) else 0)
    runs = []
    for count, tag in zip(played[0::2], played[1::2]):
        if runs and runs[-1][0] == tag and runs[-1][2] + 1 == count:
            runs[-1][2] = count
        else:
            runs.append([tag, count, count])
    sys.exit(print("\n".join(f"{tag} {first} {last}" for tag, first, last in runs)))
name, k = sys.argv[1], dict(channels=2, bits=16, format=1, rate=8000, frames=0, seed=1, triangle=0, size=-1, ds64=-1,
                            before=0, list=0, cut=-1)
for word in sys.argv[2:]:
    key, value = word.split("=")
    k[key] = value if key in ("riff", "floats", "play") else int(value, 0)
channels = k["channels"]
width = k["align"] // channels if "align" in k else k["bits"] // 8
data = random.Random(k["seed"]).randbytes(k["frames"] * channels * width)
if "floats" in k:
    values = [float(v) for v in k["floats"].split(",")]
    data = b"".join(struct.pack({4: "<f", 8: "<d"}[width], values[i % len(values)]) for i in range(k["frames"] * channels))
if "tag" in k:
    data = b"".join(le(i % 30000, 2) + le(k["tag"], 2) for i in range(k["frames"]))
for i in range(k["triangle"] * channels):
    at = i // channels % 100
    data += le(400 * (at if at <= 25 else 50 - at if at <= 75 else at - 100), 2)
align = k.get("align", channels * width)
fmt = le(k["format"], 2) + le(channels, 2) + le(k["rate"], 4) + le(k["rate"] * align, 4) + le(align, 2) + le(k["bits"], 2)
ds64 = chunk(b"ds64", le(0, 8) + le(k["ds64"], 8) + le(0, 12)) if k["ds64"] >= 0 else b""
before = chunk(b"LIST", b"L" * k["before"]) if k["before"] else b""
after = chunk(b"LIST", random.Random(9).randbytes(k["list"])) if k["list"] else b""
body = b"WAVE" + ds64 + chunk(b"fmt ", fmt) + before + b"data" + le(k["size"] if k["size"] >= 0 else len(data), 4) + data + after
wave = k.get("riff", "RIFF").encode() + le(len(body), 4) + body
open(name, "wb").write(wave[: k["cut"]] if k["cut"] >= 0 else wave)

first, _, last = k.get("play", "0:").partition(":")
frame = channels * width
played = data[int(first) * frame : int(last) * frame if last else len(data)]
if channels == 1:
    played = b"".join(played[i : i + width] * 2 for i in range(0, len(played), width))
open(name.rsplit(".", 1)[0] + ".raw", "wb").write(played)
