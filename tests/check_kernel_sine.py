#!/usr/bin/python3
# Checks the kernel's sine against an arbitrary-precision reference (mpmath).
#
#   check_kernel_sine.py FILE        every "x sin(x) kind" line of the file that
#                                    kernel_sine_host writes (IEEE bit patterns in
#                                    hex) must hold the correctly rounded sine
#   check_kernel_sine.py --cases X.. prints table rows for kernel_sine_cases.h
#                                    (X as hex bit patterns or hex floats), with
#                                    each sine's distance to the nearest midpoint
#
# sin(x) is computed with 320 bits and rounded to the nearest double. That
# rounding is only trusted when the 320-bit value lies farther than 2^-300
# (relative) from the midpoint between two doubles, far more than mpmath's
# error at that precision; otherwise the check says so and fails.
# Run it with Debian's /usr/bin/python3, which has python3-mpmath.
import math
import struct
import sys

from mpmath import mp, mpf, sin

mp.prec = 320
TRUST = mpf(2) ** -300


def from_bits(text):
    return struct.unpack("<d", struct.pack("<Q", int(text, 16)))[0]


def to_bits(value):
    return "%016x" % struct.unpack("<Q", struct.pack("<d", value))[0]


def rounded_sine(x):
    """(the correctly rounded sine, distance to the nearest midpoint in ulps)"""
    s = sin(mpf(x))
    d = float(s)  # mpmath rounds to nearest
    if d == 0.0:
        return d, mpf(0.5)
    # ulp of d on the side where s lies: the midpoint there is d +- ulp / 2.
    side = 1 if s >= d else -1
    neighbour = math.nextafter(d, math.inf if side > 0 else -math.inf)
    ulp = abs(mpf(neighbour) - mpf(d))
    distance = (ulp / 2 - abs(s - mpf(d))) / ulp
    if abs(s - mpf(d)) > ulp / 2 or distance * ulp < TRUST * abs(s):
        raise SystemExit("cannot decide the rounding of sin(%s) at %d bits" % (x.hex(), mp.prec))
    return d, distance


def check_file(path):
    checked = wrong = 0
    closest = None
    with open(path) as f:
        for line in f:
            xs, ys, kind = line.split()
            x, y = from_bits(xs), from_bits(ys)
            expected, distance = rounded_sine(x)
            checked += 1
            if to_bits(expected) != ys:
                wrong += 1
                if wrong <= 10:
                    print("sin(%s) = %s, correctly rounded %s" % (xs, ys, to_bits(expected)))
            if closest is None or distance < closest[0]:
                closest = (distance, xs)
    print("%d sines checked against mpmath, %d wrong; closest to a midpoint: x = %s, %.3g ulp away"
          % (checked, wrong, closest[1], float(closest[0])))
    return 1 if wrong or checked == 0 else 0


def print_cases(args):
    for a in args:
        x = float.fromhex(a) if ("p" in a or "." in a) else from_bits(a)
        y, distance = rounded_sine(x)
        print("    {%s, %s}, // %.3g ulp from a midpoint" % (x.hex(), y.hex(), float(distance)))


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "--cases":
        print_cases(sys.argv[2:])
        sys.exit(0)
    if len(sys.argv) != 2:
        sys.exit("usage: check_kernel_sine.py FILE | --cases X...")
    sys.exit(check_file(sys.argv[1]))
