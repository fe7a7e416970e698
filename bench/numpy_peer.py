"""The peer of bench/compare: what a user of numpy writes to read the same recording, doing the same
work (pages of one second, channel selections, float32 results scaled by the resolutions).
numpy_peer.py INFO_JSON REPETITIONS SAMPLE_F32 prints one JSON object of MB/s figures."""
import json
import statistics
import sys
import time

import numpy as np


def median_seconds(repetitions, work):
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def unpack12(raw):
    """Packed 12-bit numbers, two in three bytes, as signed integers."""
    groups = raw.reshape(-1, 3).astype(np.int32)
    first = (groups[:, 0] << 4) | (groups[:, 1] >> 4)
    second = ((groups[:, 1] & 0xF) << 8) | groups[:, 2]
    values = np.empty(first.size * 2, dtype=np.int32)
    values[0::2], values[1::2] = first, second
    return (values ^ 0x800) - 0x800


def mapped(path, **layout):
    """The file mapped as a plain array: numpy.memmap's subclass costs about a millisecond per
    operation on a page, which a careful user avoids with asarray."""
    return np.asarray(np.memmap(path, mode="r", **layout))


def reader(header):
    """A function giving points [a, b) of the listed columns as float32, scaled."""
    path = header["data_file"].replace("\\", "/")
    n, p = len(header["channels"]), header["data_points"]
    res = np.array([c["resolution"] for c in header["channels"]], dtype=np.float32)
    fmt, offset = header["sample_format"], header["data_offset"]
    if fmt == 4:
        raw = mapped(path, dtype=np.uint8, offset=offset)
        return lambda a, b, cols: (unpack12(raw[a * n * 3 // 2:b * n * 3 // 2]).reshape(b - a, n)[:, cols]
                                   .astype(np.float32) * res[cols])
    dtype = {1: "<f4", 2: "<i2", 3: "<u2"}[fmt]
    if header["segment_header_size"] > 0:
        s, h = header["segment_data_points"], header["segment_header_size"]
        seg = mapped(path, dtype=np.dtype([("head", f"V{h}"), ("data", dtype, (s, n))]), offset=offset)

        def segmented(a, b, cols):
            parts = [seg["data"][k][max(a - k * s, 0):min(b - k * s, s)][:, cols] for k in range(a // s, (b - 1) // s + 1)]
            return np.concatenate(parts).astype(np.float32) * res[cols]
        return segmented
    data = mapped(path, dtype=dtype, offset=offset, shape=(n, p) if header["data_orientation"] == 0 else (p, n))
    if header["data_orientation"] == 0:
        return lambda a, b, cols: data[cols, a:b].T.astype(np.float32) * res[cols]
    return lambda a, b, cols: data[a:b, cols].astype(np.float32) * res[cols]


def main(info_path, repetitions, sample_path):
    header = json.load(open(info_path))["header"]
    n, p = len(header["channels"]), header["data_points"]
    page = int(round(1e6 / header["sampling_interval"]))
    path = header["data_file"].replace("\\", "/")
    size = __import__("os").path.getsize(path)
    rate = lambda seconds: size / seconds / 1e6
    out = {}
    if header["sample_format"] == 0:
        loaded = None

        def load():
            nonlocal loaded
            loaded = np.loadtxt(path, dtype=np.float64).astype(np.float32)
        out["paged_all"] = rate(median_seconds(repetitions, load))
        sample = loaded[page:2 * page].ravel()
    else:
        get = reader(header)
        # All channels as a slice, as a numpy user writes it (no copy of an index list).
        everything, four, one = slice(None), [c * (n // 4) for c in range(4)], [n // 2]

        def paged(cols):
            for a in range(0, p, page):
                get(a, min(a + page, p), cols)
        out["paged_all"] = rate(median_seconds(repetitions, lambda: paged(everything)))
        out["one_read"] = rate(median_seconds(repetitions, lambda: get(0, p, everything)))
        out["paged_4"] = rate(median_seconds(repetitions, lambda: paged(four)))
        out["paged_1"] = rate(median_seconds(repetitions, lambda: paged(one)))
        sample = get(page, 2 * page, everything).ravel()
    ours = np.fromfile(sample_path, dtype="<f4")
    out["equal"] = bool(ours.size == sample.size and np.array_equal(ours, sample.astype(np.float32)))
    print(json.dumps(out))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
