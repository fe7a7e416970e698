"""The Python module's side of bench/python: Recording.read() of all channels in pages of 1 s and in
one read. python_pages.py SOURCE REPETITIONS prints one JSON object of MB/s of data-file bytes."""
import json
import os
import sys

import gdr
from numpy_peer import median_seconds


def main(source, repetitions):
    recording = gdr.open(source)
    points, page = recording.n_points, int(round(recording.sfreq))
    size = os.path.getsize(recording.data_file)

    def paged():
        for first in range(0, points, page):
            recording.read(first, min(first + page, points))
    paged_all = size / median_seconds(repetitions, paged) / 1e6
    one_read = size / median_seconds(repetitions, lambda: recording.read()) / 1e6
    print(json.dumps({"paged_all": paged_all, "one_read": one_read}))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
