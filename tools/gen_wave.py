#!/usr/bin/env python3
"""Writes the new-message sound, a two-note "ding-dong" chime (standard library only).

Layout: RIFF/WAVE, a 16-byte PCM "fmt " chunk (mono, 44,100 Hz, 16-bit), a
"data" chunk of 22,232 samples (about 504 ms), then a LIST/INFO chunk with an
artist field; 44,536 bytes in all. The level is about a fifth of full scale,
steady for about 350 ms, then fading out over the last 150 ms.

    python3 tools/gen_wave.py [OUTPUT_FILE]      (default: shell/res/new_message.wav)
"""
import math
import os
import struct
import sys

RATE = 44100
SAMPLES = 22232
PEAK = 6100
FADE_START = 15617                  # about 354 ms: from here the level falls to zero
ATTACK = 176                        # 4 ms, so the first note does not click
SECOND_NOTE_AT = round(0.170 * RATE)
CROSSFADE = round(0.012 * RATE)
ARTIST = b'Kovteam\0'               # 8 bytes, so the LIST chunk stays 20 bytes

# A descending major third (E6, then C6), each with a soft octave and twelfth.
NOTES = (1318.51, 1046.50)
PARTIALS = ((1.0, 1.0), (2.0, 0.18), (3.0, 0.06))


def tone(frequency, t):
    return sum(level * math.sin(2 * math.pi * frequency * ratio * t) for ratio, level in PARTIALS)


def note_weights(n):
    """Share of the first and of the second note at sample n (a short crossfade between them)."""
    into_second = min(max((n - SECOND_NOTE_AT) / CROSSFADE, 0.0), 1.0)
    second = 0.5 - 0.5 * math.cos(math.pi * into_second)
    return 1.0 - second, second


def envelope(n):
    if n < ATTACK:
        return n / ATTACK
    if n < FADE_START:
        return 1.0
    left = (SAMPLES - 1 - n) / (SAMPLES - 1 - FADE_START)
    return left * left


def samples():
    raw = []
    for n in range(SAMPLES):
        t = n / RATE
        first, second = note_weights(n)
        raw.append(envelope(n) * (first * tone(NOTES[0], t) + second * tone(NOTES[1], t)))
    scale = PEAK / max(abs(v) for v in raw)
    return [round(v * scale) for v in raw]


def chunk(kind, body):
    return kind + struct.pack('<I', len(body)) + body


def wave_file():
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE * 2, 2, 16)
    data = struct.pack('<%dh' % SAMPLES, *samples())
    info = chunk(b'LIST', b'INFO' + chunk(b'IART', ARTIST))
    body = b'WAVE' + chunk(b'fmt ', fmt) + chunk(b'data', data) + info
    return chunk(b'RIFF', body)


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'shell', 'res', 'new_message.wav')
    with open(out, 'wb') as f:
        f.write(wave_file())


if __name__ == '__main__':
    main(sys.argv)
