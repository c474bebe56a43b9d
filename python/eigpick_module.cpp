// The Python module eigpick: the library's three calls, their value as numpy
// arrays and their failures as Python exceptions. Every call runs with the GIL
// released, so threads convert different directories at once.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "eigpick/eigpick.hpp"

namespace py = pybind11;

namespace {

// Text of the listing or of the file system as str: bytes that are not UTF-8
// stay as lone surrogates, as os.fsdecode leaves them, so nothing is lost.
py::str text_of(std::string_view bytes) {
  auto text = py::reinterpret_steal<py::str>(
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape"));
  if (!text) throw py::error_already_set();
  return text;
}

// An eigpick::error's parts, copied out of it so that the error itself can go
// while the GIL is released: its last copy reads peers of the run to their end.
struct failure {
  std::string report;
  std::filesystem::path file;
  std::int32_t statement_line = 0;
  std::int64_t record = 0;
  std::pair<std::int64_t, std::int64_t> columns;
  std::string field;
  std::string cause;
};

failure failure_of(const eigpick::error& error) {
  return {error.what(),    error.file(),  error.statement_line(), error.record(),
          error.columns(), error.field(), error.cause()};
}

// The exception classes, made once when the module is imported.
struct exception_types {
  py::object listing_error;
  py::object marker_not_found;
};

py::object new_exception_type(py::module_& module, const char* name, PyObject* base,
                              const char* doc) {
  const std::string qualified = std::string("eigpick.") + name;
  auto type = py::reinterpret_steal<py::object>(
      PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr));
  if (!type) throw py::error_already_set();
  module.add_object(name, type);
  return type;
}

// 0, which the library gives where no statement, record or field applies, is None.
py::object number_or_none(std::int64_t value) {
  return value == 0 ? py::none() : py::object(py::int_(value));
}

[[noreturn]] void raise(const py::object& type, const py::object& exception) {
  PyErr_SetObject(type.ptr(), exception.ptr());
  throw py::error_already_set();
}

[[noreturn]] void raise_listing_error(const exception_types& types, const failure& failed) {
  py::object exception = types.listing_error(text_of(failed.report));
  exception.attr("path") = text_of(failed.file.native());
  exception.attr("statement_line") = number_or_none(failed.statement_line);
  exception.attr("record") = number_or_none(failed.record);
  exception.attr("columns") =
      failed.columns.first == 0
          ? py::none()
          : py::object(py::make_tuple(failed.columns.first, failed.columns.second));
  exception.attr("field") = text_of(failed.field);
  exception.attr("cause") = text_of(failed.cause);
  raise(types.listing_error, exception);
}

[[noreturn]] void raise_marker_not_found(const exception_types& types,
                                         const std::filesystem::path& path, const char* what) {
  py::object exception = types.marker_not_found(text_of("eigpick: " + path.native() + ": " + what));
  exception.attr("path") = text_of(path.native());
  raise(types.marker_not_found, exception);
}

// Runs `call` with the GIL released and returns its result; an eigpick::error
// is caught and destroyed there too, and raised as a ListingError once the GIL
// is back.
template <typename Call>
auto without_gil(const exception_types& types, Call call) {
  std::optional<decltype(call())> result;
  std::optional<failure> failed;
  {
    const py::gil_scoped_release released;
    try {
      result.emplace(call());
    } catch (const eigpick::error& error) {
      failed.emplace(failure_of(error));
    }
  }
  if (failed) raise_listing_error(types, *failed);
  return std::move(*result);
}

// The ten vectors of a listing or a vector file, in arrays of their own.
struct vectors {
  py::array_t<float> coefficients;
  py::array_t<float> eigenvalues;
  py::array_t<std::int32_t> roots;
  py::list labels;
  std::int32_t row_count = 0;
};

template <typename T, typename Values>
py::array_t<T> array_of(std::vector<py::ssize_t> shape, const Values& values) {
  py::array_t<T> array(std::move(shape));
  if (static_cast<py::ssize_t>(values.size()) != array.size())
    throw std::length_error("eigpick: the library gave values of another shape");
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

vectors vectors_of(const eigpick::vector_set& set) {
  constexpr auto count = static_cast<py::ssize_t>(eigpick::vector_count);
  vectors made;
  made.row_count = set.row_count;
  made.coefficients = array_of<float>({count, set.row_count}, set.coefficients);
  made.eigenvalues = array_of<float>({count}, set.eigenvalues);
  made.roots = array_of<std::int32_t>({count}, set.roots);
  for (const std::string& label : set.orbital_labels)
    made.labels.append(text_of(label));
  return made;
}

// One of the library's readers, and what MarkerNotFound says when it finds no
// vectors.
struct reader {
  std::optional<eigpick::vector_set> (*read)(const std::filesystem::path&);
  const char* none;
};

void define_reader(py::module_& module, const exception_types& types, const char* name,
                   reader reading, const char* doc) {
  module.def(
      name,
      [types, reading](const std::filesystem::path& path) {
        const auto set = without_gil(types, [&] { return reading.read(path); });
        if (!set) raise_marker_not_found(types, path, reading.none);
        return vectors_of(*set);
      },
      py::arg("path"), doc);
}

void define_vectors(py::module_& module) {
  py::class_<vectors>(module, "VectorSet",
                      "The ten eigenvectors of a listing or of a vector file, as fort.50 "
                      "holds them:\nfour of the listing's first block, then six of the "
                      "next, every p shell\nin the order Py, Pz, Px.")
      .def_readonly("coefficients", &vectors::coefficients,
                    "numpy.float32 array of shape (10, row_count): one row per vector\n"
                    "(per orbital), its coefficients in the order fort.50 writes them.")
      .def_readonly("eigenvalues", &vectors::eigenvalues,
                    "numpy.float32 array of shape (10,): the eigenvalue of each vector.")
      .def_readonly("roots", &vectors::roots,
                    "numpy.int32 array of shape (10,): the root number of each vector.")
      .def_readonly("labels", &vectors::labels,
                    "list of str: the four-character orbital label of each row of the\n"
                    "listing, in the listing's order; empty for a vector file, which holds "
                    "none.")
      .def_readonly("row_count", &vectors::row_count, "int: N, the rows of every vector.")
      .def("__repr__", [](const vectors& self) {
        return "<eigpick.VectorSet: 10 vectors of " + std::to_string(self.row_count) + " rows>";
      });
}

void define_calls(py::module_& module, const exception_types& types) {
  module.def(
      "convert",
      [types](const std::filesystem::path& directory) {
        const auto outcome = without_gil(types, [&] { return eigpick::convert(directory); });
        return outcome == eigpick::outcome::converted ? "converted" : "not-found";
      },
      py::arg("directory"),
      "Converts the job directory as the program eigpick does when run there:\n"
      "reads its hdat.out and writes its fort.50, with the same bytes, refusals\n"
      "and lock. Returns \"converted\", or \"not-found\" when none of the first 500\n"
      "records of hdat.out holds the marker and fort.50 received the record\n"
      "\"Eigenvectors are not found\". The working directory is not changed.\n"
      "Raises ListingError for a failure, its text the program's report.");
  define_reader(
      module, types, "read_listing",
      {eigpick::read_listing, "no record among its first 500 holds \"EIGE\" in columns 17-20"},
      "Reads the ten eigenvectors of a listing of any name and place as a\n"
      "conversion would write them, and returns them as a VectorSet; nothing is\n"
      "written. Raises MarkerNotFound when no record among the first 500 holds\n"
      "the marker (also when the listing ends before), ListingError for a failure.");
  define_reader(module, types, "read_vector_file",
                {eigpick::read_vector_file, "the file holds \"Eigenvectors are not found\""},
                "Reads a vector file (a fort.50) back into a VectorSet, as later programs\n"
                "see it; its labels are empty. Raises MarkerNotFound when the file holds\n"
                "the single record \"Eigenvectors are not found\", ListingError for a failure.");
}

}  // namespace

PYBIND11_MODULE(eigpick, module) {
  module.doc() =
      "eigpick: the ten eigenvectors of an orbital listing (hdat.out), as the\n"
      "vector file fort.50 holds them, from Python.\n"
      "\n"
      "convert(directory) does in a job directory what the program eigpick does\n"
      "there; read_listing(path) and read_vector_file(path) read a listing or a\n"
      "vector file into a VectorSet of numpy arrays. Paths are str or os.PathLike.\n"
      "Each call releases the GIL while it works, so threads may convert\n"
      "different directories at once.";
  module.attr("__version__") = EIGPICK_VERSION;
  const exception_types types{
      new_exception_type(
          module, "ListingError", PyExc_ValueError,
          "A failure of a call: a file that cannot be opened, read or written, a\n"
          "listing that ends too early, a field that is no number. str() of it is\n"
          "the one-line report the program prints. Attributes: path (str, the file),\n"
          "statement_line (int), record (int), columns (first, last), each None where\n"
          "it does not apply; field (str, the field as read, empty where none) and\n"
          "cause (str, the report's words after the place)."),
      new_exception_type(module, "MarkerNotFound", PyExc_LookupError,
                         "Raised by read_listing for a listing without the marker and by\n"
                         "read_vector_file for a vector file that says so. Attribute: path.")};
  define_vectors(module);
  define_calls(module, types);
}
