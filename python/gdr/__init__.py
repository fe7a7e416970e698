"""EEG recordings of the generic data format (a .shdr header, a marker file, a data file), read
through the generic data reader component: as numpy arrays, or as Dask arrays that workers read."""

import dataclasses
import datetime
import functools
import os
import warnings

import numpy

E_INVALIDARG = 0x80070057


class Error(RuntimeError):
    """A failure of the reader or a refusal of the library: `code` is the result code."""

    def __init__(self, message, code=E_INVALIDARG):
        super().__init__(message)
        self.code = code


from . import _gdr  # noqa: E402  (the extension raises gdr.Error, defined above)


@dataclasses.dataclass(frozen=True)
class Channel:
    name: str
    reference: str
    unit: str
    resolution: float
    coordinates: tuple = None  # (radius, theta, phi) in degrees, or None


@dataclasses.dataclass(frozen=True)
class Marker:
    type: str
    description: str
    position: int
    points: int
    channel: int  # -1: all channels
    date: datetime.datetime = None  # UTC


_EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)


class Recording:
    """An open recording. Pickles as its absolute path; a context manager that closes its reader."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        self._recording = _gdr.Recording.open(self.path)
        r = self._recording
        self.n_points = r.n_points
        self.n_values = r.n_values
        self.sampling_interval = r.sampling_interval
        self.sfreq = 1e6 / r.sampling_interval if r.sampling_interval else 0.0
        self.comment = r.comment
        self.data_file = r.data_file()
        self.channels = [Channel(*c) for c in r.channels()]
        self.channel_names = [c.name for c in self.channels]
        self.n_channels = len(self.channels)
        self.markers = [
            Marker(*m[:5], None if m[5] is None else _EPOCH + datetime.timedelta(microseconds=m[5]))
            for m in r.markers()
        ]

    def __reduce__(self):
        return (open, (self.path,))

    def __repr__(self):
        return f"<gdr.Recording {self.path!r}: {self.n_channels} channels, {self.n_points} points>"

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def close(self):
        self._recording = None

    def _reader(self):
        if self._recording is None:
            raise Error(f"{self.path} is closed")
        return self._recording

    def _channel_indices(self, channels):
        if channels is None:
            return []
        if isinstance(channels, (str, int, numpy.integer)):
            channels = [channels]
        names = [c for c in channels if isinstance(c, str)]
        by_name = dict(zip(names, self._reader().channel_indices(names)))
        return [by_name[c] if isinstance(c, str) else int(c) for c in channels]

    def read(self, start=0, stop=None, channels=None):
        """Points start to stop - 1 of the channels (indices or names; None: all) as float32, of shape
        (points, channels), or (points, channels, values) with more than one value per point."""
        stop = self._stop(start, stop)
        return self._reader().read(int(start), int(stop), self._channel_indices(channels))

    def _stop(self, start, stop):
        """The end of a range, refused when the range lies outside the recording."""
        stop = self.n_points if stop is None else stop
        if not 0 <= start <= stop <= self.n_points:
            raise Error(f"start {start}, stop {stop} lies outside the recording's {self.n_points} data points")
        return stop

    def to_edf(self, path, format=None, start=0, stop=None, channels=None):
        """Writes points start to stop - 1 of the channels as an EDF+ or BDF+ file (format "edf" or "bdf",
        else from the path's extension), the markers as annotations; returns each channel's step: the
        resolution where the file's integers are written, else the quantisation step. What a user should
        know beyond the steps (padding, cut marker texts, inexact ranges) comes as warnings."""
        stop = self._stop(start, stop)
        steps, notes = self._reader().to_edf(os.fspath(path), format or "", int(start), int(stop),
                                             self._channel_indices(channels))
        for note in notes:
            if ": quantisation step " not in note:
                warnings.warn(note, stacklevel=2)
        return steps

    def markers_array(self):
        """The markers as a numpy structured array: type, description, position, points, channel."""
        width = max([1] + [max(len(m.type), len(m.description)) for m in self.markers])
        dtype = [("type", f"U{width}"), ("description", f"U{width}"), ("position", "i8"), ("points", "i8"),
                 ("channel", "i4")]
        return numpy.array([(m.type, m.description, m.position, m.points, m.channel) for m in self.markers], dtype)

    def to_dask(self, chunk_points=100_000):
        """The whole recording as a lazy Dask array, chunked along time. Each chunk is read by the worker
        that computes it, from the recording's path."""
        import dask.array

        if chunk_points < 1:
            raise Error(f"chunk_points {chunk_points} is less than one point")
        shape = (self.n_points, self.n_channels) + ((self.n_values,) if self.n_values > 1 else ())
        starts = range(0, max(self.n_points, 1), chunk_points)
        lengths = tuple(min(chunk_points, self.n_points - s) for s in starts)
        name = "gdr-read-" + dask.base.tokenize(self.path, os.path.getmtime(self.path), chunk_points)
        tail = (0,) * (len(shape) - 1)
        graph = {(name, i) + tail: (_read_chunk, self.path, s, s + n) for i, (s, n) in enumerate(zip(starts, lengths))}
        return dask.array.Array(graph, name, (lengths,) + tuple((n,) for n in shape[1:]), dtype=numpy.float32)


@functools.lru_cache(maxsize=8)
def _cached(path):
    """The recordings a process opened for Dask chunks, so that a header is imported once a worker."""
    return Recording(path)


def _read_chunk(path, start, stop):
    return _cached(path).read(start, stop)


def open(path):  # noqa: A001  (gdr.open, as users call it)
    """Opens a .shdr header (imported into memory) or a store written by import_recording."""
    return Recording(path)


def import_recording(header, store):
    """Writes the recording of a header into a new store; an existing store is replaced only when the
    import succeeds."""
    _gdr.Recording.import_recording(os.fspath(header), os.fspath(store))
