#!/usr/bin/env python3
"""Writes the named seeds of the fuzz targets into fuzz/corpus/<target>/. Each seed is built in
the layout its target reads, so it starts the fuzzer on an accepting path."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def guid(d1, d2, d3, d4):
    return struct.pack("<IHH", d1, d2, d3) + bytes(d4)


SETTINGS_TAG = guid(0x37924402, 0xBC8B, 0x4A21, [0x88, 0x82, 0xE3, 0x4C, 0xE4, 0x34, 0xEA, 0xCA])
LEGACY_TAG = guid(0x4118BA0B, 0xB5F2, 0x44B5, [0xAF, 0x2D, 0x85, 0x54, 0x90, 0x9C, 0xB5, 0x03])
WHOLE = b"\xff"  # the first byte of a settings seed: 48 and above reads everything


def floats(*values):
    return struct.pack("<%df" % len(values), *values)


def sine16(frames, channels):
    return b"".join(struct.pack("<h", int(12000 * math.sin(0.05 * i)))
                    for i in range(frames * channels))


def sine32f(frames, channels):
    return b"".join(struct.pack("<f", 0.8 * math.sin(0.05 * i)) for i in range(frames * channels))


def sine64f(frames, channels):
    return b"".join(struct.pack("<d", 0.8 * math.sin(0.05 * i)) for i in range(frames * channels))


# Byte choices of the wave-format fuzzer: mono 16, stereo 17; 48 kHz 54; bits 8 20, 16 16,
# 32 17, 64 18; then the shape byte, a byte rate and an alignment the check recomputes.
PARAMS = bytes([40, 230, 128, 255, 0, 200])  # the six values, each a fraction of its range


def stream_between_ramps():
    """A clock at 64 kHz, a frequency ramp, buffers streamed across it (mono, then stereo from
    a restart), an advance, and a Wet/Dry jump streamed over."""
    t0 = bytes([0x21]) + struct.pack("<h", 0)  # time 0
    ramp = (bytes([10, 0, 0]) + t0 + bytes([0x40, 0x21]) + struct.pack("<h", 400) +
            bytes([0x40]) + struct.pack("<h", 200) + bytes([0x40]) + struct.pack("<h", 20000) +
            bytes([0x40]))
    mono = bytes([240, 0, 63]) + sine16(64, 1) + t0 + bytes([0x40])
    stereo = bytes([245, 0, 31]) + sine16(32, 2) + bytes([0x21]) + struct.pack("<h", 100) + b"\x40"
    wet = (bytes([0, 5, 0]) + bytes([0x21]) + struct.pack("<h", 200) + bytes([0x40, 0x21]) +
           struct.pack("<h", 0) + bytes([0x40]) + struct.pack("<h", 0) + bytes([0x40]) +
           struct.pack("<h", 200) + bytes([0x40]))
    advance = bytes([9, 0]) + struct.pack("<H", 300)
    return bytes([7, 0, 0x40]) + ramp + mono + mono + stereo + advance + wet + stereo + mono


SEEDS = {
    "params": {"stream-between-ramps": stream_between_ramps()},
    "settings_record": {
        "current-record": WHOLE + struct.pack("<I", 44) + SETTINGS_TAG +
                          floats(500, 50, 1, 1, 1, 75),
        "legacy-record": WHOLE + struct.pack("<I", 40) + LEGACY_TAG + floats(135, 90, 0, 1, 7),
        "out-of-range-values": WHOLE + struct.pack("<I", 44) + SETTINGS_TAG +
                               floats(math.nan, math.inf, -1e30, 3.5, -0.0, 1e30),
        "cut-in-values": bytes([30]) + struct.pack("<I", 44) + SETTINGS_TAG + floats(*[1] * 6),
        "cut-in-header": bytes([11]) + struct.pack("<I", 40) + LEGACY_TAG + floats(*[1] * 5),
        "size-of-other-layout": WHOLE + struct.pack("<I", 44) + LEGACY_TAG + floats(*[1] * 6),
    },
    "wave_format": {
        "plain-pcm16-stereo": bytes([0, 17, 54, 16, 34]) + struct.pack("<IHH", 0, 0, 0) +
                              PARAMS + sine16(96, 2),
        "plain-float64-mono": bytes([0, 16, 54, 18, 33]) + struct.pack("<IH", 1, 3) + PARAMS +
                              sine64f(96, 1),
        "extensible-float32-stereo": bytes([1, 17, 54, 17, 22]) + struct.pack("<IHI", 0, 0, 3) +
                                     PARAMS + sine32f(96, 2),
        "extensible-pcm8-mono": bytes([1, 16, 54, 20, 24]) + struct.pack("<IHI", 0, 0, 4) +
                                PARAMS + bytes((128 + int(90 * math.sin(0.05 * i))) & 0xFF
                                               for i in range(96)),
        "extensible-cut-short": bytes([1, 16, 54, 16, 20]) + struct.pack("<IHIB", 0, 0, 4, 39),
        "raw-plain-pcm32": bytes([2, 16]) + struct.pack("<HHIIHH", 1, 1, 44100, 176400, 4, 32) +
                           PARAMS + bytes(64),
    },
    "tool_options": {
        "preset-by-name": b"--preset\0Teenage Late-Night Radio by the Bed\0in.wav\0out.wav",
        "every-value": b"--frequency\0" b"1000\0--resonance\0" b"50\0--type\0band\0--order\0"
                       b"4\0--wet\0" b"75\0--bypass\0in.wav\0out.wav",
        "envelopes": b"--envelope\0frequency:0:2.5:20:20000:sine\0--envelope\0wet:1:1:0:100:jump"
                     b"\0in.wav\0out.wav",
        "block-and-format": b"--block\0" b"4096\0--format\0float32\0--direct\0--quiet\0a\0b",
        "page-and-settings": b"--page\0--page-close\0" b"2.5\0--save-settings\0s.rf\0"
                             b"--load-settings\0l.rf\0--plot\0p.png",
        "standalone": b"--list-presets\0--info\0-h",
        # A control byte, then the index of the word it stands for.
        "words-by-index-byte": b"\x01\x07\0\x01\x1dsine\0\x01\x08\0\x01\x1c\0\x01\x24"
                               b"\0\x01\x25",
        "last-words-by-index-byte": b"\x01\x29\0" b"16\0\x01\x28\0" b"1\0\x01\x07\0\x01\x32"
                                    b"\0\x01\x24\0\x01\x33",
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
