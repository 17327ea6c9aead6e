#!/usr/bin/env python3
"""Writes the codes of a remote-timings file (gzip'd JSON lines with timing_us) as mode2 files of
at most 900,000 durations each (files of the sizes measured before the reader took longer ones), for decode_speed
and vorlent-decode: timings-to-mode2.py TIMINGS.jsonl.gz OUT_PREFIX -> OUT_PREFIX_0.mode2, ..."""
import gzip
import json
import sys

MOST_DURATIONS = 900000
GAP_MICROS = 100000  # after a code whose last duration is a mark


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    chunk, count, out = 0, 0, None
    with gzip.open(sys.argv[1], 'rt') as lines:
        for line in lines:
            timing = json.loads(line)['timing_us']
            if out is None or count > MOST_DURATIONS:
                if out:
                    out.close()
                out = open(f'{sys.argv[2]}_{chunk}.mode2', 'w')
                print(out.name)
                chunk, count = chunk + 1, 0
            for i, micros in enumerate(timing):
                out.write(('pulse ' if i % 2 == 0 else 'space ') + str(int(micros)) + '\n')
            if len(timing) % 2 == 1:
                out.write(f'space {GAP_MICROS}\n')
            count += len(timing) + 1
    if out:
        out.close()


main()
