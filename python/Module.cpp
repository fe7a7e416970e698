// The extension gdr._gdr: gdr::Recording for Python. Samples arrive as numpy arrays that own the
// component's block; the GIL is released while the component reads.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>

#include "gdr/Export.h"
#include "gdr/Recording.h"

namespace py = pybind11;

namespace {

// gdr.Error, made by the pure-Python part: a RuntimeError with the result code in `code`.
py::object ErrorType() { return py::module_::import("gdr").attr("Error"); }

py::tuple ChannelTuple(const gdr::Channel& c) {
  py::object coordinates = py::none();
  if (c.coordinates) coordinates = py::make_tuple(c.coordinates->radius, c.coordinates->theta, c.coordinates->phi);
  return py::make_tuple(c.name, c.reference, c.unit, c.resolution, coordinates);
}

// The date as microseconds since 1970 (UTC); None without one.
py::tuple MarkerTuple(const gdr::Marker& m) {
  py::object date = py::none();
  if (m.date)
    date = py::int_(std::chrono::duration_cast<std::chrono::microseconds>(m.date->time_since_epoch()).count());
  return py::make_tuple(m.type, m.description, m.position, m.points, m.channel, date);
}

// Samples from `start` to `stop` - 1 of the channels, as a float32 array of shape (points, channels)
// or (points, channels, values) that owns the component's block.
py::array Read(const gdr::Recording& recording, std::int64_t start, std::int64_t stop,
               const std::vector<int>& channels) {
  const std::int64_t count = stop - start;
  gdr::Block block;
  {
    py::gil_scoped_release released;
    block = recording.ReadBlock(start, count, channels);
  }
  std::vector<py::ssize_t> shape{py::ssize_t(count),
                                 py::ssize_t(channels.empty() ? recording.Channels().size() : channels.size())};
  if (recording.ValuesPerPoint() > 1) shape.push_back(py::ssize_t(recording.ValuesPerPoint()));
  if (!block.data()) return py::array_t<float>(shape);
  const py::capsule owner(block.data(), [](void* p) { gdr::Block::Free(static_cast<float*>(p)); });
  return py::array_t<float>(shape, block.release(), owner);
}

}  // namespace

PYBIND11_MODULE(_gdr, m) {
  m.doc() = "EEG recordings of the generic data format, read through the generic data reader component";
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const gdr::Error& e) {
      const py::object error = ErrorType()(e.what(), std::uint32_t(e.code()));
      PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    }
  });

  py::class_<gdr::Recording>(m, "Recording")
      .def_static("open", &gdr::Recording::Open, py::call_guard<py::gil_scoped_release>())
      .def_static("import_recording", &gdr::Recording::Import, py::call_guard<py::gil_scoped_release>())
      .def_property_readonly("n_points", &gdr::Recording::DataPoints)
      .def_property_readonly("n_values", &gdr::Recording::ValuesPerPoint)
      .def_property_readonly("sampling_interval", &gdr::Recording::SamplingInterval)
      .def_property_readonly("comment", &gdr::Recording::Comment)
      .def("data_file", &gdr::Recording::DataFile)
      .def("channels",
           [](const gdr::Recording& r) {
             py::list list;
             for (const gdr::Channel& c : r.Channels()) list.append(ChannelTuple(c));
             return list;
           })
      .def("markers",
           [](const gdr::Recording& r) {
             py::list list;
             for (const gdr::Marker& marker : r.Markers()) list.append(MarkerTuple(marker));
             return list;
           })
      .def("channel_indices",
           [](const gdr::Recording& r, const std::vector<std::string>& names) { return r.ChannelIndices(names); })
      .def("read", &Read)
      .def(
          "to_edf",
          [](const gdr::Recording& r, const std::string& path, const std::string& format, std::int64_t start,
             std::int64_t stop, const std::vector<int>& channels) {
            gdr::ExportOptions options;
            options.format = format;
            options.first = start;
            options.count = stop - start;
            options.channels = channels;
            gdr::ExportReport report = gdr::ExportEdf(r, path, options);
            return std::make_pair(std::move(report.steps), std::move(report.notes));  // converted with the GIL
          },
          py::call_guard<py::gil_scoped_release>());
}
