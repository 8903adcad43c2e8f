#!/usr/bin/python3
"""Synthesises Tarnwick's sound effects and its background track and encodes them as Ogg
Vorbis into assets/audio. Everything is made from code (additive tones, envelopes, a touch of
noise and a convolution reverb with a synthetic room), so the result is reproducible: the
same script gives the same sounds.

Needs python3-numpy and oggenc (vorbis-tools). Run from anywhere:
    /usr/bin/python3 tools/gen_sounds.py
"""

import os
import subprocess
import sys
import tempfile
import wave
import zlib

import numpy as np

RATE = 44100
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
OUT = os.path.join(ROOT, "assets", "audio")
MUSIC_TITLE = "Tarn at Dusk"

# The drops walk up the C major pentatonic scale from C4, so any three of them agree, and the
# win fanfare's chords (steps 0 3 7, 2 5 9, 7 10 14) come out as C major, then C6 twice,
# climbing an octave.
PENTATONIC = [0, 2, 4, 7, 9]
DROP_BASE_MIDI = 60


def midi_hz(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)


def drop_midi(step):
    return DROP_BASE_MIDI + 12 * (step // 5) + PENTATONIC[step % 5]


def seconds(n):
    return np.arange(int(round(n * RATE))) / RATE


def attack_release(n, attack, release):
    """Raised-cosine fade in over `attack` seconds and out over `release` seconds."""
    env = np.ones(n)
    a = min(n, max(1, int(attack * RATE)))
    r = min(n, max(1, int(release * RATE)))
    env[:a] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(a) / a)
    env[n - r:] *= 0.5 + 0.5 * np.cos(np.pi * np.arange(r) / r)
    return env


def partials(freq, dur, overtones, rng=None, phase_random=True):
    """Sum of decaying sine partials: overtones is a list of (ratio, amplitude, decay seconds)."""
    t = seconds(dur)
    out = np.zeros_like(t)
    for ratio, amp, tau in overtones:
        f = freq * ratio
        if f >= RATE * 0.45:
            continue
        ph = rng.uniform(0, 2 * np.pi) if (rng is not None and phase_random) else 0.0
        out += amp * np.exp(-t / tau) * np.sin(2 * np.pi * f * t + ph)
    return out


def room_ir(length, rt60, brightness, rng, stereo=True):
    """A synthetic room: decaying noise, darker as it decays, one independent tail per ear."""
    n = int(length * RATE)
    t = np.arange(n) / RATE
    chans = []
    for _ in range(2 if stereo else 1):
        noise = rng.standard_normal(n) * np.exp(-6.9 * t / rt60)
        spectrum = np.fft.rfft(noise)
        f = np.fft.rfftfreq(n, 1.0 / RATE)
        spectrum /= 1.0 + (f / brightness) ** 2
        ir = np.fft.irfft(spectrum, n)
        ir[: int(0.012 * RATE)] = 0.0  # pre-delay keeps the dry attack clean
        ir /= np.sqrt(np.sum(ir ** 2))
        chans.append(ir)
    return np.stack(chans)


def convolve(x, ir):
    """Linear convolution of a mono signal with a mono impulse response."""
    n = len(x) + len(ir) - 1
    size = 1 << (n - 1).bit_length()
    y = np.fft.irfft(np.fft.rfft(x, size) * np.fft.rfft(ir, size), size)
    return y[:n]


def circular_convolve(x, ir):
    """Convolution wrapped around len(x): the tail of the end rings into the start."""
    n = len(x)
    h = np.zeros(n)
    k = min(n, len(ir))
    h[:k] = ir[:k]
    return np.fft.irfft(np.fft.rfft(x) * np.fft.rfft(h), n)


def with_reverb(x, rng, wet, rt60=0.9, brightness=5000.0):
    ir = room_ir(rt60 * 1.2, rt60, brightness, rng, stereo=False)[0]
    y = convolve(x, ir)
    out = np.zeros(len(y))
    out[: len(x)] += x
    return out + wet * y


def loudest_rms(x):
    """RMS of the loudest 50 ms stretch, the level a player hears an effect at."""
    win = int(0.05 * RATE)
    sq = np.concatenate([[0.0], np.cumsum(x * x)])
    means = (sq[win:] - sq[:-win]) / win
    return np.sqrt(np.max(means))


def finish_effect(x, level_db):
    """Trims trailing silence, fades both ends and scales the loudest stretch to level_db
    (dBFS), never letting the peak pass -1.5 dBFS."""
    x = np.asarray(x, dtype=np.float64)
    thresh = np.max(np.abs(x)) * 10 ** (-60 / 20)
    last = np.nonzero(np.abs(x) > thresh)[0]
    x = x[: last[-1] + 1] if len(last) else x
    fade = min(len(x), int(0.03 * RATE))
    x[len(x) - fade:] *= np.linspace(1.0, 0.0, fade)
    # A short lead-in of silence and a 4 ms fade-in: the codec's smearing then stays below
    # audibility and the effect never starts with a step.
    rise = int(0.004 * RATE)
    x[:rise] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(rise) / rise)
    x = np.concatenate([np.zeros(int(0.003 * RATE)), x])
    gain = 10 ** (level_db / 20) / loudest_rms(x)
    gain = min(gain, 10 ** (-1.5 / 20) / np.max(np.abs(x)))
    return x * gain


# ---------------------------------------------------------------------------------------------
# Effects


def sfx_drop(step, rng):
    """A glassy marimba 'plink': a clean fundamental, a soft octave, two quick bell partials
    for the strike and a whisper of noise at the attack."""
    f = midi_hz(drop_midi(step))
    dur = 1.1
    tone = partials(f, dur, [
        (1.0, 1.0, 0.42),
        (2.0, 0.22, 0.16),
        (2.76, 0.12, 0.07),
        (5.40, 0.05, 0.025),
    ], rng)
    n = len(tone)
    tone *= attack_release(n, 0.003, 0.05)
    strike = np.zeros(n)
    k = int(0.006 * RATE)
    strike[:k] = np.diff(rng.standard_normal(k + 1)) * np.linspace(1, 0, k) * 0.05
    x = with_reverb(tone + strike, rng, wet=0.16, rt60=0.8)
    # Equal loudness across two and a half octaves: the higher notes are heard as louder.
    tilt = (f / midi_hz(DROP_BASE_MIDI)) ** -0.1
    return finish_effect(x, -12.0 + 20 * np.log10(tilt))


def sfx_click(rng):
    """A soft wooden tick for buttons."""
    dur = 0.09
    t = seconds(dur)
    f = 1500.0 - 500.0 * (1 - np.exp(-t / 0.01))
    phase = 2 * np.pi * np.cumsum(f) / RATE
    body = np.sin(phase) * np.exp(-t / 0.012)
    body += 0.35 * np.sin(2.3 * phase) * np.exp(-t / 0.006)
    noise = np.diff(rng.standard_normal(len(t) + 1)) * np.exp(-t / 0.002) * 0.08
    x = (body + noise) * attack_release(len(t), 0.0015, 0.01)
    x = with_reverb(x, rng, wet=0.08, rt60=0.35)
    return finish_effect(x, -16.0)


def sfx_pickup(rng):
    """Two rising bell notes, G5 then C6, for taking hold of something."""
    dur = 0.6
    out = np.zeros(int(dur * RATE))
    for start, midi, amp in ((0.0, 79, 0.8), (0.075, 84, 1.0)):
        tone = partials(midi_hz(midi), dur - start, [
            (1.0, 1.0, 0.22),
            (2.0, 0.3, 0.1),
            (3.01, 0.12, 0.05),
        ], rng)
        tone *= attack_release(len(tone), 0.002, 0.04)
        s = int(start * RATE)
        out[s:s + len(tone)] += amp * tone
    x = with_reverb(out, rng, wet=0.18, rt60=0.7)
    return finish_effect(x, -14.0)


def sfx_illegal(rng):
    """A gentle, hollow 'bup-bup' that falls: clear enough to say no, never harsh."""
    dur = 0.38
    out = np.zeros(int(dur * RATE))
    for start, f0 in ((0.0, 311.1), (0.12, 246.9)):
        t = seconds(0.22)
        f = f0 * (1 - 0.06 * t / 0.22)
        phase = 2 * np.pi * np.cumsum(f) / RATE
        env = np.exp(-t / 0.07) * attack_release(len(t), 0.004, 0.03)
        tone = (np.sin(phase) + 0.33 * np.sin(3 * phase) + 0.12 * np.sin(5 * phase)) * env
        s = int(start * RATE)
        out[s:s + len(tone)] += tone
    x = with_reverb(out, rng, wet=0.1, rt60=0.4)
    return finish_effect(x, -15.0)


# ---------------------------------------------------------------------------------------------
# Music: "Tarn at Dusk", 80 beats a minute, 24 bars of 4/4 = 72 seconds, one seamless loop.

BPM = 80.0
BEAT = 60.0 / BPM
BARS = 24
LOOP_SECONDS = BARS * 4 * BEAT

# One chord every two bars, three times round: Cmaj7, Am7, Fmaj7, G6.
CHORDS = [
    (48, [60, 64, 67, 71]),
    (45, [57, 60, 64, 67]),
    (41, [53, 57, 60, 64]),
    (43, [59, 62, 64, 67]),
]

# (beat, length in beats, midi note); the third phrase is the quietest, leading home.
MELODY = [
    (0, 2, 76), (2, 1, 79), (3, 1, 81), (4, 3, 79), (7, 1, 76),
    (8, 1.5, 76), (9.5, 0.5, 74), (10, 2, 72), (12, 3, 69),
    (16, 1, 72), (17, 1, 74), (18, 2, 76), (20, 2, 81), (22, 2, 79),
    (24, 1.5, 74), (25.5, 0.5, 76), (26, 2, 74), (28, 3, 67),
    (32, 2, 79), (34, 1, 81), (35, 1, 79), (36, 3, 76), (39, 1, 74),
    (40, 1.5, 72), (41.5, 0.5, 74), (42, 2, 76), (44, 2, 69), (46, 2, 72),
    (48, 1, 81), (49, 1, 79), (50, 2, 76), (52, 2, 84), (54, 2, 81),
    (56, 2, 79), (58, 1, 76), (59, 1, 74), (60, 3, 74),
    (64, 3, 76), (68, 3, 79), (72, 2, 81), (74, 2, 79), (76, 4, 76),
    (80, 2, 72), (82, 2, 74), (84, 4, 76), (88, 2, 74), (90, 1, 72), (91, 1, 74),
    (92, 2, 72), (94, 1.5, 74), (95.5, 0.5, 74),
]


def pan_gains(p):
    """Constant-power pan, p from -1 (left) to 1 (right)."""
    a = (p + 1) * np.pi / 4
    return np.cos(a), np.sin(a)


def place(buf, start_s, mono, pan):
    s = int(round(start_s * RATE))
    gl, gr = pan_gains(pan)
    buf[0, s:s + len(mono)] += gl * mono
    buf[1, s:s + len(mono)] += gr * mono


def pad_voice(midi, dur, rng):
    """A warm, slowly breathing pad note: detuned harmonic pairs, soft highs."""
    f = midi_hz(midi)
    t = seconds(dur)
    out = np.zeros_like(t)
    for detune in (-0.0018, 0.0018):
        vib = 1 + 0.0012 * np.sin(2 * np.pi * rng.uniform(0.15, 0.3) * t + rng.uniform(0, 6))
        phase = 2 * np.pi * f * (1 + detune) * np.cumsum(vib) / RATE
        for h in range(1, 7):
            out += np.sin(h * phase + rng.uniform(0, 6)) / (h * h)
    return out * attack_release(len(t), 1.4, 1.8)


def bell_voice(midi, dur, rng):
    f = midi_hz(midi)
    tone = partials(f, dur, [(1.0, 1.0, 0.7), (2.0, 0.2, 0.3), (2.76, 0.1, 0.12),
                             (5.4, 0.03, 0.04)], rng)
    return tone * attack_release(len(tone), 0.004, 0.2)


def lead_voice(midi, beats, rng):
    """The melody: a soft electric-piano tone that blooms a little and dies away gently."""
    f = midi_hz(midi)
    dur = beats * BEAT + 1.2
    t = seconds(dur)
    vib = 1 + 0.003 * np.sin(2 * np.pi * 5.0 * t) * np.clip((t - 0.3) / 0.6, 0, 1)
    phase = 2 * np.pi * f * np.cumsum(vib) / RATE
    tone = (np.sin(phase) * np.exp(-t / 1.6)
            + 0.25 * np.sin(2 * phase) * np.exp(-t / 0.5)
            + 0.08 * np.sin(3 * phase) * np.exp(-t / 0.25))
    hold = beats * BEAT
    env = attack_release(len(t), 0.012, 0.01)
    off = int(hold * RATE)
    rel = np.ones_like(t)
    rel[off:] = np.exp(-(t[off:] - hold) / 0.25)
    return tone * env * rel


def bass_voice(midi, dur):
    f = midi_hz(midi)
    t = seconds(dur)
    tone = np.sin(2 * np.pi * f * t) + 0.3 * np.sin(4 * np.pi * f * t) * np.exp(-t / 0.4)
    return tone * np.exp(-t / 1.6) * attack_release(len(t), 0.02, 0.4)


def music(rng):
    loop = int(round(LOOP_SECONDS * RATE))
    tail = int(6 * RATE)
    dry = np.zeros((2, loop + tail))
    bar = 4 * BEAT
    for i in range(BARS // 2):
        root, tones = CHORDS[i % 4]
        start = i * 2 * bar
        for j, m in enumerate(tones):
            place(dry, start, 0.045 * pad_voice(m, 2 * bar + 1.2, rng), -0.5 + j / 3.0)
        for half in (0, 1):
            s = start + half * bar
            place(dry, s, 0.16 * bass_voice(root, 2.4), 0.0)
            place(dry, s + 2 * BEAT, 0.10 * bass_voice(root + 7, 2.0), 0.0)
        # A slow arpeggio of bells, one chord tone every beat, a different order each bar.
        phrase = i // 4
        for b in range(8):
            order = [0, 2, 1, 3, 2, 0, 3, 1] if phrase != 1 else [1, 3, 2, 0, 3, 1, 2, 0]
            m = tones[order[b]] + 12
            amp = 0.05 if phrase != 2 else 0.04
            place(dry, start + b * BEAT, amp * bell_voice(m, 2.5, rng), 0.6 if b % 2 else -0.6)
    for beat, beats, m in MELODY:
        amp = 0.13 if beat < 64 else 0.10
        place(dry, beat * BEAT, amp * lead_voice(m, beats, rng), 0.1)
    # Fold the ringing end onto the start so the loop joins without a seam.
    dry[:, :tail] += dry[:, loop:loop + tail]
    dry = dry[:, :loop]
    ir = room_ir(3.0, 2.4, 4200.0, rng)
    wet = np.stack([circular_convolve(dry[0], ir[0]), circular_convolve(dry[1], ir[1])])
    mix = dry + 0.35 * wet
    mix -= mix.mean(axis=1, keepdims=True)
    return mix * (0.80 / np.max(np.abs(mix)))


# ---------------------------------------------------------------------------------------------
# Encoding


def write_wav(path, x):
    x = np.atleast_2d(x)
    pcm = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(x.shape[0])
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.T.tobytes())


def encode(x, name, quality, title, tmp):
    wav = os.path.join(tmp, name + ".wav")
    write_wav(wav, x)
    out = os.path.join(OUT, name + ".ogg")
    # A fixed stream serial keeps the files byte-identical from run to run.
    serial = str(zlib.crc32(name.encode()) & 0x7FFFFFFF)
    subprocess.run(["oggenc", "--quiet", "-q", str(quality), "-s", serial, "-t", title,
                    "-a", "Tarnwick",
                    "-c", "LICENSE=CC0-1.0", "-o", out, wav], check=True)
    print(f"{out}: {os.path.getsize(out)} bytes")


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = np.random.default_rng(20261206)
    with tempfile.TemporaryDirectory() as tmp:
        encode(sfx_click(rng), "sfx_click", 4, "Click", tmp)
        encode(sfx_pickup(rng), "sfx_pickup", 4, "Pickup", tmp)
        encode(sfx_illegal(rng), "sfx_illegal", 4, "Illegal move", tmp)
        for step in range(15):
            encode(sfx_drop(step, rng), f"sfx_drop_{step}", 4, f"Drop {step}", tmp)
        encode(music(rng), "bgm_calm", 0, MUSIC_TITLE, tmp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
