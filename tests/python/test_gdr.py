"""The Python module against gdr read, with recordings of every layout, and with a Dask cluster."""

import datetime
import json
import os
import pickle
import subprocess
import sys

import numpy
import pytest

import gdr

GDR = os.environ["GDR_EXECUTABLE"]
MAKE_RECORDING = os.environ["GDR_MAKE_RECORDING"]
LAYOUTS = ["mux-int16", "vec-int16", "mux-float32", "mux-seg-int16", "packed12", "ascii"]


def make(folder, layout, megabytes=1, channels=8):
    subprocess.run([MAKE_RECORDING, str(folder), layout, layout, str(megabytes), str(channels)], check=True)
    return str(folder / f"{layout}.shdr")


def gdr_read(source, *options):
    out = subprocess.run([GDR, "read", source, "--format", "f32", *options], check=True, capture_output=True).stdout
    return numpy.frombuffer(out, numpy.float32)


@pytest.mark.parametrize("layout", LAYOUTS)
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
    assert (recording.n_values, recording.sfreq) == (3, 1000.0)
    assert numpy.array_equal(recording.read(), values.reshape(5, 2, 3).astype(numpy.float32))
    assert recording.read(1, 2, [1]).shape == (1, 1, 3)


def test_errors_carry_the_message_and_code(tmp_path):
    (tmp_path / "other.shdr").write_bytes(b"Another format 1.0\r\n")
    recording = gdr.open(make(tmp_path, "mux-int16"))
    points = recording.n_points
    cases = [
        (lambda: gdr.open(str(tmp_path / "missing.shdr")), "OpenRawFile failed: 0x8004100E (A file cannot be read or written.)", 0x8004100E),
        (lambda: gdr.open(str(tmp_path / "other.shdr")),
         f"not a header file of this format: {tmp_path / 'other.shdr'}", 0x00041001),
        (lambda: recording.read(-1), f"start -1, stop {points} lies outside the recording's {points} data points",
         gdr.E_INVALIDARG),
        (lambda: recording.read(5, 4), f"start 5, stop 4 lies outside the recording's {points} data points",
         gdr.E_INVALIDARG),
        (lambda: recording.read(0, points + 1),
         f"start 0, stop {points + 1} lies outside the recording's {points} data points", gdr.E_INVALIDARG),
        (lambda: recording.read(0, 1, ["E2", "nope"]), "no channel nope (the recording has 8 channels)",
         gdr.E_INVALIDARG),
    ]
    for call, message, code in cases:
        with pytest.raises(gdr.Error) as raised:
            call()
        assert (str(raised.value), raised.value.code) == (message, code)
        assert isinstance(raised.value, RuntimeError)


def test_markers_as_objects_and_as_a_structured_array():
    recording = gdr.open(os.path.join(os.environ["GDR_EXAMPLE_DIR"], "example.shdr"))
    first, blink = recording.markers[:2]
    assert (first.type, first.channel, first.date.tzinfo) == ("New Segment", -1, datetime.timezone.utc)
    assert (blink.type, blink.description, blink.position, blink.points, blink.channel, blink.date) == (
        "Comment", "Eye blink at Fp1, Fp2", 950, 100, 0, None)
    table = recording.markers_array()
    assert len(table) == len(recording.markers)
    assert list(table[1]) == ["Comment", "Eye blink at Fp1, Fp2", 950, 100, 0]
    assert table.dtype["channel"] == numpy.int32


def test_to_edf_writes_what_read_gives(tmp_path):
    recording = gdr.open(make(tmp_path, "mux-float32"))
    steps = recording.to_edf(tmp_path / "out.bdf", start=10, stop=2010, channels=["E2", 0])
    assert len(steps) == 2 and 0 < max(steps) < 1e-3
    data = (tmp_path / "out.bdf").read_bytes()
    assert data[192:197] == b"BDF+C" and data[256:272] == b"E2              "
    with pytest.raises(gdr.Error) as raised:
        recording.to_edf(tmp_path / "out.txt")
    assert str(raised.value) == "the output's format is not known: name it .edf or .bdf, or give the format (edf or bdf)"


REFERENCE = """
import json, sys, numpy
samples = numpy.fromfile(sys.argv[1], numpy.float32).reshape(-1, int(sys.argv[2])).astype(numpy.float64)
print(json.dumps([list(samples.mean(axis=0)), samples.sum()]))
"""


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
    samples = tmp_path / "all.f32"
    subprocess.run([GDR, "read", header, "--format", "f32", "--output", str(samples)], check=True)
    out = subprocess.run([sys.executable, "-c", REFERENCE, str(samples), "32"], check=True, capture_output=True).stdout
    expected_means, expected_total = json.loads(out)
    assert numpy.allclose(means, expected_means, rtol=1e-9, atol=0)
    assert abs(total - expected_total) <= 1e-9 * abs(expected_total)
