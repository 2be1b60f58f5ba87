"""Short tunes made by the tests, each with a title for the MP3's tag: a
ProTracker module (libopenmpt), an AdLib capture (AdPlug) and a YM register
dump (the AY engine). Each plays for about a second or two, so that a batch
of them under Wine is quick and its time is spent in the converter's own
steps rather than in music."""

import struct


def mod(title, rows=32, speed=3):
    """One four-channel pattern of `rows` rows at `speed` ticks a row: a
    square-wave note every eight rows, then a break that ends the song."""
    out = bytearray(title.encode("latin-1")[:20].ljust(20, b"\0"))
    for sample in range(31):
        name = b"square" if sample == 0 else b""
        out += name.ljust(22, b"\0")
        out += struct.pack(">HBBHH", 16 if sample == 0 else 0, 0, 64 if sample == 0 else 0, 0,
                           16 if sample == 0 else 1)
    out += bytes([1, 127]) + bytes(128) + b"M.K."
    for row in range(64):
        for channel in range(4):
            sample = period = effect = param = 0
            if channel == 0 and row % 8 == 0 and row < rows:
                sample, period = 1, (428, 381, 339, 320)[(row // 8) % 4]
            if channel == 1 and row == 0:
                effect, param = 0xF, speed
            if channel == 2 and row == rows - 1:
                effect, param = 0xD, 0
            out += bytes([(sample & 0xF0) | (period >> 8), period & 0xFF, ((sample & 0x0F) << 4) | effect, param])
    out += bytes([0x7F if i % 2 else 0x80 for i in range(32)])  # the square wave, 32 bytes
    return bytes(out)


def dro(title, tone_ms=1000, silence_ms=200, author="quarvo tests"):
    """A DOSBox capture (DRO 2.0) of one OPL2 tone, then silence."""
    codemap = [0x20, 0x40, 0x60, 0x80, 0x23, 0x43, 0x63, 0x83, 0xA0, 0xB0, 0xC0]
    short_delay, long_delay = 0x70, 0x71
    pairs = bytearray()
    for index, value in [(0, 0x01), (1, 0x10), (2, 0xF0), (3, 0x77), (4, 0x01), (5, 0x00), (6, 0xF0),
                         (7, 0x77), (10, 0x01), (8, 0x98), (9, 0x31)]:
        pairs += bytes([index, value])

    def delay(ms):
        nonlocal pairs
        while ms >= 256:
            blocks = min(ms // 256, 256)
            pairs += bytes([long_delay, blocks - 1])
            ms -= blocks * 256
        if ms > 0:
            pairs += bytes([short_delay, ms - 1])

    delay(tone_ms)
    pairs += bytes([9, 0x11])  # key off
    delay(silence_ms)
    out = bytearray(b"DBRAWOPL") + struct.pack("<HHII", 2, 0, len(pairs) // 2, tone_ms + silence_ms)
    out += bytes([0, 0, 0, short_delay, long_delay, len(codemap)]) + bytes(codemap) + pairs
    out += b"\xff\xff\x1a" + title.encode("latin-1") + b"\0\x1b" + author.encode("latin-1") + b"\0"
    return bytes(out)


def ym(title, frames=100, author="quarvo tests"):
    """A YM6 dump (unpacked, interleaved) of `frames` frames at 50 Hz that
    walks channel A up a scale, one note every five frames."""
    periods = [424, 378, 337, 318, 283, 252, 225, 212]
    registers = []
    for frame in range(frames):
        period = periods[(frame // 5) % len(periods)]
        r = [0] * 16
        r[0], r[1], r[7], r[8], r[13] = period & 0xFF, (period >> 8) & 0x0F, 0x3E, 15, 0xFF
        registers.append(r)
    out = bytearray(b"YM6!LeOnArD!")
    out += struct.pack(">IIHIHIH", frames, 1, 0, 2000000, 50, 0, 0)
    for text in (title, author, "made by the tests"):
        out += text.encode("latin-1") + b"\0"
    for r in range(16):
        out += bytes(registers[f][r] for f in range(frames))
    out += b"End!"
    return bytes(out)


def endless_psg(hours=10):
    """A PSG register dump of one steady tone for `hours`: longer than any
    render may run."""
    out = bytearray(b"PSG\x1a" + bytes([10, 50])).ljust(16, b"\0")
    out += bytes([0, 0xFC, 1, 0x00, 7, 0x3E, 8, 0x0F, 0xFF])
    out += b"\xfe\xff" * (hours * 3600 * 50 // (255 * 4) + 1)  # 4 * 255 frames each
    return bytes(out)
