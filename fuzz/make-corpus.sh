#!/usr/bin/env bash
# Remakes fuzz/corpus/: the head of small wave files with sox's samples. sox writes the plain
# headers; extensible float and a LIST chunk it cannot write, so those are put together here.
# The files of tests/corpus/, in the layouts found in the wild, are seeds too.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p corpus

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }
# no dither, so the same samples every time
tone() { sox -D -n -r "$1" -c "$2" "${@:3}" synth 0.1 sine 440; }
keep() { head -c "${3:-200}" "$tmp/$1" >"corpus/$2"; }

tone 44100 2 -b 16 "$tmp/s16.wav" && keep s16.wav s16-stereo.wav
tone 48000 2 -b 24 "$tmp/s24.wav" && keep s24.wav s24-stereo-extensible.wav
tone 8000 1 -b 8 "$tmp/u8.wav" && keep u8.wav u8-mono.wav
tone 8000 1 -e a-law "$tmp/alaw.wav" && keep alaw.wav alaw-mono-fact.wav

# float 32 stereo in an extensible format chunk (subformat 3)
tone 48000 2 -b 32 -e floating-point -t f32 "$tmp/f32.raw"
n=$(stat -c %s "$tmp/f32.raw")
{
  printf RIFF; le32 $((4 + 48 + 8 + n)); printf 'WAVEfmt '; le32 40
  le16 0xFFFE; le16 2; le32 48000; le32 $((48000 * 8)); le16 8; le16 32
  le16 22; le16 32; le32 3; printf '\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'
  printf data; le32 "$n"; cat "$tmp/f32.raw"
} >"$tmp/f32.wav" && keep f32.wav f32-stereo-extensible.wav

# 16-bit mono with a LIST chunk between the format and the data; then one whose data chunk
# lies past the first 4096 bytes, behind a JUNK chunk
tone 22050 1 -b 16 -t s16 "$tmp/s16.raw"
n=$(stat -c %s "$tmp/s16.raw")
fmt() { printf 'WAVEfmt '; le32 16; le16 1; le16 1; le32 22050; le32 44100; le16 2; le16 16; }
{
  printf RIFF; le32 $((4 + 24 + 8 + 4 + 24 + 8 + n)); fmt
  printf LIST; le32 28; printf INFOISFT; le32 16; printf 'zuvaroza corpus\0'
  printf data; le32 "$n"; cat "$tmp/s16.raw"
} >"$tmp/list.wav" && keep list.wav s16-mono-list.wav
{
  printf RIFF; le32 $((4 + 24 + 8 + 4200 + 8 + n)); fmt
  printf JUNK; le32 4200; head -c 4200 /dev/zero
  printf data; le32 "$n"; cat "$tmp/s16.raw"
} >"$tmp/junk.wav" && keep junk.wav s16-mono-junk-4k.wav 4400
# the data chunk at the last offset probed, 128 KiB, behind "data" in a LIST chunk
{
  printf RIFF; le32 $((131072 - 8 + 8 + n)); fmt
  printf LIST; le32 28; printf INFOICMT; le32 16; printf 'raw data at 128k'
  printf JUNK; le32 $((131072 - 36 - 36 - 8)); head -c $((131072 - 36 - 36 - 8)) /dev/zero
  printf data; le32 "$n"; cat "$tmp/s16.raw"
} >"$tmp/edge.wav" && keep edge.wav s16-mono-data-at-128k.wav 131200
# the same as RF64: all ones in the data chunk's size, the real one in the ds64 chunk
{
  printf RF64; le32 0xFFFFFFFF; printf 'WAVEds64'; le32 28
  le32 $((4 + 36 + 24 + 8 + n)); le32 0; le32 "$n"; le32 0; le32 $((n / 2)); le32 0; le32 0
  fmt | tail -c +5; printf data; le32 0xFFFFFFFF; cat "$tmp/s16.raw"
} >"$tmp/rf64.wav" && keep rf64.wav s16-mono-rf64.wav

# 24-bit stereo in 4-byte containers, told only by the block align of a plain format chunk
tone 48000 2 -b 32 -t s32 "$tmp/s32.raw"
n=$(stat -c %s "$tmp/s32.raw")
{
  printf RIFF; le32 $((4 + 24 + 8 + n)); printf 'WAVEfmt '; le32 16
  le16 1; le16 2; le32 48000; le32 $((48000 * 8)); le16 8; le16 24
  printf data; le32 "$n"; cat "$tmp/s32.raw"
} >"$tmp/s24in32.wav" && keep s24in32.wav s24-in-32-stereo.wav
ls -l corpus
