"""The peer of bench/compare: what a user of numpy writes to read the same recording, doing the same
work (pages of one second, channel selections, windows at random positions, float32 results scaled
by the resolutions).
numpy_peer.py INFO_JSON REPETITIONS SAMPLE_F32 [MEGABYTES] prints one JSON object of MB/s figures,
measured on the first MEGABYTES of a binary data file (default: all of it)."""
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


def mapped_bytes(path):
    """The whole file as bytes through a memory map: the quickest way to one big read here."""
    data = np.asarray(np.memmap(path, dtype=np.uint8, mode="r"))
    return lambda start, end: data[start:end]


def file_bytes(path):
    """Bytes start to end with a seek and numpy.fromfile: the quickest way to pages here (a memory
    map pays a page fault per 4 KB on first touch, about 1 ms per page on this virtual machine)."""
    f = open(path, "rb", buffering=0)

    def read(start, end):
        f.seek(start)
        return np.fromfile(f, dtype=np.uint8, count=end - start)
    return read


def reader(header, span):
    """A function giving points [a, b) of the listed columns as float32, scaled, from the byte
    spans that `span(start, end)` gives."""
    n, p = len(header["channels"]), header["data_points"]
    res = np.array([c["resolution"] for c in header["channels"]], dtype=np.float32)
    fmt, offset = header["sample_format"], header["data_offset"]
    if fmt == 4:
        return lambda a, b, cols: (unpack12(span(offset + a * n * 3 // 2, offset + b * n * 3 // 2))
                                   .reshape(b - a, n)[:, cols].astype(np.float32) * res[cols])
    dtype = np.dtype({1: "<f4", 2: "<i2", 3: "<u2"}[fmt])
    if header["segment_header_size"] > 0:
        s, h = header["segment_data_points"], header["segment_header_size"]
        segment = np.dtype([("head", f"V{h}"), ("data", dtype, (s, n))])

        def segmented(a, b, cols):
            k0, k1 = a // s, (b - 1) // s + 1
            rows = span(offset + k0 * segment.itemsize, offset + k1 * segment.itemsize).view(segment)["data"]
            rows = rows.reshape(-1, n)[a - k0 * s:b - k0 * s]
            return rows[:, cols].astype(np.float32) * res[cols]
        return segmented
    size = dtype.itemsize
    if header["data_orientation"] == 0:
        channels = np.arange(n)

        def vectorized(a, b, cols):
            runs = [span(offset + (c * p + a) * size, offset + (c * p + b) * size).view(dtype) for c in channels[cols]]
            return np.stack(runs, axis=1).astype(np.float32) * res[cols]
        return vectorized
    return lambda a, b, cols: (span(offset + a * n * size, offset + b * n * size).view(dtype).reshape(b - a, n)[:, cols]
                               .astype(np.float32) * res[cols])


def main(info_path, repetitions, sample_path, megabytes=None):
    header = json.load(open(info_path))["header"]
    n, p = len(header["channels"]), header["data_points"]
    all_points = p  # windows are drawn from the whole recording, as ours are
    page = int(round(1e6 / header["sampling_interval"]))
    path = header["data_file"].replace("\\", "/")
    size = __import__("os").path.getsize(path)
    if megabytes and header["sample_format"] != 0:
        # Whole pages up to the limit, and the rate of the bytes they cover.
        used = min(p, max(page, megabytes * 1_000_000 * p // size // page * page))
        size, p = size * used // p, used
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
        paging, whole = reader(header, file_bytes(path)), reader(header, mapped_bytes(path))
        # All channels as a slice, as a numpy user writes it (no copy of an index list).
        everything, four, one = slice(None), [c * (n // 4) for c in range(4)], [n // 2]

        def paged(cols):
            for a in range(0, p, page):
                paging(a, min(a + page, p), cols)
        out["paged_all"] = rate(median_seconds(repetitions, lambda: paged(everything)))
        out["one_read"] = rate(median_seconds(repetitions, lambda: whole(0, p, everything)))
        out["paged_4"] = rate(median_seconds(repetitions, lambda: paged(four)))
        out["paged_1"] = rate(median_seconds(repetitions, lambda: paged(one)))
        # Windows of 2 s at random positions, as a viewer jumps: a slice of the memory map, converted
        # and scaled; the median and 90th percentile of single reads in µs.
        window = min(all_points, 2 * page)
        positions = np.random.default_rng(21).integers(0, all_points - window + 1, size=2000)
        for name, cols in [("window_all", everything), ("window_1", one)]:
            times = []
            for a in positions:
                start = time.perf_counter()
                whole(int(a), int(a) + window, cols)
                times.append((time.perf_counter() - start) * 1e6)
            out[f"{name}_median_us"], out[f"{name}_p90_us"] = np.percentile(times, [50, 90]).tolist()
        sample = paging(page, 2 * page, everything).ravel()
        if not np.array_equal(sample, whole(page, 2 * page, everything).ravel()):
            sample = sample[:0]  # the two ways disagree: reported as unequal
    ours = np.fromfile(sample_path, dtype="<f4")
    out["equal"] = bool(ours.size == sample.size and np.array_equal(ours, sample.astype(np.float32)))
    print(json.dumps(out))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4]) if len(sys.argv) > 4 else None)
