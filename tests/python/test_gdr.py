"""The Python module against gdr read, with recordings of every layout, and with a Dask cluster."""

import datetime
import os
import pickle
import subprocess
import sys

import numpy
import pytest

import gdr

GDR = os.environ["GDR_EXECUTABLE"]


def make(folder, layout, megabytes=1, channels=8):
    subprocess.run([os.environ["GDR_MAKE_RECORDING"], str(folder), layout, layout, str(megabytes), str(channels)],
                   check=True)
    return str(folder / f"{layout}.shdr")


def gdr_read(source, *options):
    out = subprocess.run([GDR, "read", source, "--format", "f32", *options], check=True, capture_output=True).stdout
    return numpy.frombuffer(out, numpy.float32)


@pytest.mark.parametrize("layout", ["mux-int16", "vec-int16", "mux-float32", "mux-seg-int16", "packed12", "ascii"])
def test_reads_what_gdr_reads(tmp_path, layout):
    header = make(tmp_path, layout)
    with gdr.open(header) as recording:
        whole = recording.read()
        assert whole.dtype == numpy.float32 and whole.flags.c_contiguous
        assert whole.shape == (recording.n_points, recording.n_channels)
        assert numpy.array_equal(whole.ravel(), gdr_read(header))
        part = recording.read(100, 350, [3, recording.channel_names[1], 3])
        assert numpy.array_equal(part.ravel(), gdr_read(header, "--from", "100", "--count", "250", "--channels", "3,1,3"))
    assert whole.sum() == whole.sum()  # the arrays outlive the recording's reader


def test_layers_are_a_third_axis_and_a_store_reads_as_its_header(tmp_path):
    values = numpy.arange(2 * 3 * 5, dtype="<i2")  # 5 points of 2 channels of 3 layers
    values.tofile(tmp_path / "layered.eeg")
    (tmp_path / "layered.shdr").write_bytes(
        b"Tarvo Sylvex Data Exchange Header File Version 1.0\r\n[Common Infos]\r\nDataFile=layered.eeg\r\n"
        b"DataFormat=BINARY\r\nDataType=TIMEFREQUENCYDOMAIN\r\nLayers=3\r\nLayerUpperLimit=30\r\n"
        b"NumberOfChannels=2\r\nSamplingInterval=1000\r\n[Binary Infos]\r\nBinaryFormat=INT_16\r\n")
    gdr.import_recording(tmp_path / "layered.shdr", tmp_path / "layered.gdr")
    recording = gdr.open(str(tmp_path / "layered.gdr"))
    assert (recording.n_values, recording.sfreq, recording.read(1, 2, [1]).shape) == (3, 1000.0, (1, 1, 3))
    assert numpy.array_equal(recording.read(), values.reshape(5, 2, 3).astype(numpy.float32))


def test_errors_carry_the_message_and_code(tmp_path):
    (tmp_path / "other.shdr").write_bytes(b"Another format 1.0\r\n")
    recording = gdr.open(make(tmp_path, "mux-int16"))
    n = recording.n_points
    outside = f"lies outside the recording's {n} data points"
    cases = [
        (lambda: gdr.open(str(tmp_path / "missing.shdr")), 0x8004100E,
         "OpenRawFile failed: 0x8004100E (A file cannot be read or written.)"),
        (lambda: gdr.open(str(tmp_path / "other.shdr")), 0x00041001,
         f"not a header file of this format: {tmp_path / 'other.shdr'}"),
        *[(lambda a=a, b=b: recording.read(a, b), gdr.E_INVALIDARG, f"start {a}, stop {b} {outside}")
          for a, b in [(-1, n), (5, 4), (0, n + 1)]],
        (lambda: recording.read(0, 1, ["E2", "no"]), gdr.E_INVALIDARG, "no channel no (the recording has 8 channels)"),
        (lambda: recording.to_edf(tmp_path / "out.txt"), gdr.E_INVALIDARG,
         "the output's format is not known: name it .edf or .bdf, or give the format (edf or bdf)"),
    ]
    for call, code, message in cases:
        with pytest.raises(gdr.Error) as raised:
            call()
        assert (str(raised.value), raised.value.code, isinstance(raised.value, RuntimeError)) == (message, code, True)


def test_markers_and_an_edf_part_of_the_example(tmp_path):
    recording = gdr.open(os.path.join(os.environ["GDR_EXAMPLE_DIR"], "example.shdr"))
    first, blink = recording.markers[:2]
    assert (first.type, first.channel, first.date.tzinfo) == ("New Segment", -1, datetime.timezone.utc)
    assert (blink.type, blink.description, blink.position, blink.points, blink.channel, blink.date) == (
        "Comment", "Eye blink at Fp1, Fp2", 950, 100, 0, None)
    table = recording.markers_array()
    assert (len(table), list(table[1]), table.dtype["channel"]) == (
        len(recording.markers), ["Comment", "Eye blink at Fp1, Fp2", 950, 100, 0], numpy.int32)
    steps = recording.to_edf(tmp_path / "out.bdf", start=10, stop=2010, channels=[recording.channel_names[1], 0])
    assert steps == [recording.channels[1].resolution, recording.channels[0].resolution]
    data = (tmp_path / "out.bdf").read_bytes()  # the format's name, and the first label
    assert (data[192:197], data[256:272]) == (b"BDF+C", recording.channel_names[1].ljust(16).encode())


def test_dask_workers_read_chunks_that_equal_a_read(tmp_path, monkeypatch):
    distributed = pytest.importorskip("dask.distributed")
    header = make(tmp_path, "mux-int16", megabytes=100, channels=32)
    recording = gdr.open(header)
    array = recording.to_dask(chunk_points=70_000)
    assert len(pickle.dumps(dict(array.__dask_graph__()))) < 1 << 20
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(sys.path))
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, dashboard_address=None) as cluster:
        with distributed.Client(cluster):
            for a, b in [(0, 1), (69_990, 140_010), (recording.n_points - 5, recording.n_points)]:
                assert array[a:b].compute().tobytes() == recording.read(a, b).tobytes()
            means = array.astype(numpy.float64).mean(axis=0).compute()
            total = array.astype(numpy.float64).sum().compute()
    # The reference: gdr read's samples, summed by numpy.
    subprocess.run([GDR, "read", header, "--format", "f32", "--output", str(tmp_path / "all.f32")], check=True)
    samples = numpy.fromfile(tmp_path / "all.f32", numpy.float32).reshape(-1, 32).astype(numpy.float64)
    assert numpy.allclose(means, samples.mean(axis=0), rtol=1e-9, atol=0)
    assert abs(total - samples.sum()) <= 1e-9 * abs(samples.sum())
