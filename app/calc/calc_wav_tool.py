#!/usr/bin/env python3
"""Recordings of the jig that need no circuit model, made from a stimulus file, and checks of
what elemtrix-calc measured from them.

  calc_wav_tool.py resistor IN.wav OUT.wav H   input B = H times input A: a resistor of
                                               Rref*H/(1-H) ohm
  calc_wav_tool.py mono IN.wav OUT.wav         both inputs the same samples
  calc_wav_tool.py check FILE OHM PERCENT      every point of the measured curve (--json's, or
                                               a sweep file) within PERCENT of OHM, its phase
                                               within 0.01 degrees
"""
import array
import json
import sys
import wave


def frames_of(path):
    with wave.open(path) as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 2, path
        samples = array.array("h", w.readframes(w.getnframes()))
        return w.getframerate(), samples


def write(path, rate, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


def resistor(source, target, h):
    rate, s = frames_of(source)
    s[1::2] = array.array("h", (round(x * float(h)) for x in s[0::2]))
    write(target, rate, s)


def mono(source, target):
    rate, s = frames_of(source)
    s[1::2] = s[0::2]
    write(target, rate, s)


def check(path, ohm, percent):
    with open(path, encoding="utf-8") as f:
        if path.endswith(".json"):
            curve = json.load(f)["impedance"]["curve"]
        else:
            curve = [[float(x) for x in line.split()] for line in f if line[0].isdigit()]
    ohm, percent = float(ohm), float(percent)
    worst = max(abs(p[1] / ohm - 1) * 100 for p in curve)
    worst_phase = max(abs(p[2]) for p in curve)
    print(f"{len(curve)} points, |Z| within {worst:.4f} %, phase within {worst_phase:.5f} degrees")
    if len(curve) < 100 or worst > percent or worst_phase > 0.01:
        sys.exit(1)


if __name__ == "__main__":
    {"resistor": resistor, "mono": mono, "check": check}[sys.argv[1]](*sys.argv[2:])
