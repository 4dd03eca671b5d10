#!/usr/bin/env python3
"""Side-chain demonstration of the compressor: a kick on the side chain ducks a pad.

Writes a sustained stereo pad and a four-on-the-floor kick (stereo and mono), renders the
pad through both builds with qxhost render -a (program 32, side chain on), and prints how
far the pad dips on each kick. Usage (from the repository): scripts/sidechain_demo.py [OUT]
"""
import math
import os
import struct
import subprocess
import sys
import wave

RATE = 48000
SECONDS = 8.0
BEAT = 0.5  # 120 bpm
QXHOST = "build/bin/qxhost"
PLUGINS = "build/plugins"


def write_wav(path, channels):
    frames = len(channels[0])
    with wave.open(path, "wb") as w:
        w.setnchannels(len(channels))
        w.setsampwidth(2)
        w.setframerate(RATE)
        data = bytearray()
        for n in range(frames):
            for c in channels:
                data += struct.pack("<h", int(max(-1.0, min(1.0, c[n])) * 32767))
        w.writeframes(bytes(data))


def read_wav(path):
    with wave.open(path, "rb") as w:
        count, width, frames = w.getnchannels(), w.getsampwidth(), w.getnframes()
        raw = w.readframes(frames)
    if width == 2:
        values = struct.unpack("<%dh" % (frames * count), raw)
        scale = 32768.0
    elif width == 3:
        values = [int.from_bytes(raw[i:i + 3], "little", signed=True)
                  for i in range(0, len(raw), 3)]
        scale = 8388608.0
    else:
        values = struct.unpack("<%di" % (frames * count), raw)
        scale = 2147483648.0
    return [[values[n * count + c] / scale for n in range(frames)] for c in range(count)]


def pad(frames):
    """A slow chord of detuned saw-like partials, steady in level."""
    notes = [220.0, 277.18, 329.63]
    left, right = [0.0] * frames, [0.0] * frames
    for n in range(frames):
        t = n / RATE
        l = r = 0.0
        for hz in notes:
            for k in range(1, 6):
                l += math.sin(2 * math.pi * hz * 0.999 * k * t) / k
                r += math.sin(2 * math.pi * hz * 1.001 * k * t) / k
        left[n], right[n] = 0.08 * l, 0.08 * r
    return [left, right]


def kick(frames):
    out = [0.0] * frames
    beats = int(frames / RATE / BEAT)
    for b in range(beats):
        start = int(b * BEAT * RATE)
        phase = 0.0
        for i in range(int(0.25 * RATE)):
            if start + i >= frames:
                break
            t = i / RATE
            phase += 2 * math.pi * (50.0 + 110.0 * math.exp(-t / 0.03)) / RATE
            out[start + i] += 0.9 * math.sin(phase) * math.exp(-t / 0.12)
    return out


def rms_db(x, start, end):
    s = sum(v * v for v in x[start:end]) / max(1, end - start)
    return 10 * math.log10(s + 1e-20)


def ducking(path):
    """Pad level just after each kick against just before it, dB, averaged over the kicks."""
    out = read_wav(path)[0]
    dips = []
    beats = int(len(out) / RATE / BEAT)
    for b in range(2, beats):
        at = int(b * BEAT * RATE)
        before = rms_db(out, at - int(0.1 * RATE), at - int(0.02 * RATE))
        after = rms_db(out, at + int(0.05 * RATE), at + int(0.13 * RATE))
        dips.append(after - before)
    return sum(dips) / len(dips)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "out/sidechain"
    os.makedirs(out, exist_ok=True)
    frames = int(SECONDS * RATE)
    p, k = pad(frames), kick(frames)
    write_wav(f"{out}/pad.wav", p)
    write_wav(f"{out}/pad_mono.wav", [p[0]])
    write_wav(f"{out}/kick.wav", [k, k])
    write_wav(f"{out}/kick_mono.wav", [k])
    # (build, programme, arguments feeding the kick, arguments feeding silence instead)
    runs = [
        ("red_thuddo", "pad.wav", ["-a", f"{out}/kick.wav"], ["--silent-aux"]),
        ("red_thuddo_alt", "pad_mono.wav", ["-a", f"{out}/kick_mono.wav"], ["--silent-aux"]),
        ("red_thuddo_alt", "pad.wav", ["-a", f"{out}/kick_mono.wav", "--map", "1,a1"],
         ["--map", "1,0"]),
    ]
    for i, (name, source, keyed, silent) in enumerate(runs):
        dips = []
        for tag, extra in (("keyed", keyed), ("silent", silent)):
            target = f"{out}/{name}_{i}_{tag}.wav"
            subprocess.run([QXHOST, "render", "-q", f"{out}/{source}", "-o", target, "-p",
                            f"{PLUGINS}/{name}.so", "-P", "32"] + extra, check=True)
            dips.append(ducking(target))
        print(f"{name:15s} {source:13s} {' '.join(keyed[2:]):12s} pad on each kick: "
              f"{dips[0]:+6.1f} dB, with a silent side chain: {dips[1]:+6.1f} dB")

if __name__ == "__main__":
    main()
