#include "variant_conversion.h"

#include <pybind11/numpy.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "late_bound_object.h"

namespace vex::python {
namespace {

std::atomic<std::size_t> live_arrays{0};

py::object& TableType() {
  static py::object* type = new py::object();  // lives as long as the interpreter
  return *type;
}

// A numpy array over the elements of `array`, which the owner takes over.
template <class T>
py::object NumpyOver(std::unique_ptr<com::SafeArray> array) {
  std::span<T> elements = array->Span<T>();
  std::vector<py::ssize_t> shape, strides;
  if (array->Dims() == 2) {
    // The first index varies fastest: rows in the first dimension, each
    // column contiguous (Fortran order).
    shape = {array->Elements(1), array->Elements(2)};
    strides = {static_cast<py::ssize_t>(sizeof(T)),
               static_cast<py::ssize_t>(sizeof(T) * array->Elements(1))};
  } else {
    shape = {static_cast<py::ssize_t>(elements.size())};
    strides = {static_cast<py::ssize_t>(sizeof(T))};
  }
  T* data = elements.data();
  py::object owner =
      py::cast(new ArrayOwner(array.release()), py::return_value_policy::take_ownership);
  return py::array_t<T>(shape, strides, data, owner);
}

py::object ListOf(com::SafeArray& array, std::thread::id owner) {
  const std::size_t count = array.ElementCount();
  if (array.Dims() == 2) {
    const std::size_t rows = array.Elements(1), columns = array.Elements(2);
    py::list table(rows);
    for (std::size_t r = 0; r < rows; ++r) {
      py::list row(columns);
      for (std::size_t c = 0; c < columns; ++c) row[c] = ToPython(array.At(r + c * rows), owner);
      table[r] = row;
    }
    return table;
  }
  py::list list(count);
  for (std::size_t i = 0; i < count; ++i) list[i] = ToPython(array.At(i), owner);
  return list;
}

// A table of variants with a header row of text and numbers below, or null.
py::object TableOf(com::SafeArray& array) {
  if (array.Dims() != 2 || array.ElementType() != com::VT_VARIANT || TableType().is_none() ||
      !TableType())
    return py::object();
  const std::size_t rows = array.Elements(1), columns = array.Elements(2);
  std::span<com::Variant> cells = array.Span<com::Variant>();
  if (rows == 0 || columns == 0) return py::object();
  py::list names(columns);
  for (std::size_t c = 0; c < columns; ++c) {
    const com::Variant& cell = cells[c * rows];
    if (cell.vt() != com::VT_BSTR) return py::object();
    names[c] = TextToPython(cell.BstrVal().View());
  }
  py::array_t<double, py::array::c_style> data({rows - 1, columns});
  double* out = data.mutable_data();
  for (std::size_t c = 0; c < columns; ++c) {
    for (std::size_t r = 1; r < rows; ++r) {
      const com::Variant& cell = cells[c * rows + r];
      double value = std::numeric_limits<double>::quiet_NaN();
      if (cell.vt() == com::VT_R8) {
        value = cell.R8();
      } else if (!cell.IsEmpty() && com::FAILED(cell.ToR8(&value))) {
        return py::object();  // not a table of numbers
      }
      out[(r - 1) * columns + c] = value;
    }
  }
  return TableType()(names, data);
}

}  // namespace

ArrayOwner::ArrayOwner(com::SafeArray* array) : array_(array) {
  live_arrays.fetch_add(1);
}
ArrayOwner::~ArrayOwner() {
  delete array_;
  live_arrays.fetch_sub(1);
}
std::uintptr_t ArrayOwner::Address() const {
  switch (array_->ElementType()) {
    case com::VT_UI1:
      return reinterpret_cast<std::uintptr_t>(array_->Span<std::uint8_t>().data());
    case com::VT_I2:
    case com::VT_BOOL:
      return reinterpret_cast<std::uintptr_t>(array_->Span<std::int16_t>().data());
    case com::VT_I4:
      return reinterpret_cast<std::uintptr_t>(array_->Span<std::int32_t>().data());
    case com::VT_R4:
      return reinterpret_cast<std::uintptr_t>(array_->Span<float>().data());
    default:
      return reinterpret_cast<std::uintptr_t>(array_->Span<double>().data());
  }
}
std::size_t ArrayOwner::Live() {
  return live_arrays.load();
}

void SetTableType(py::object type) {
  TableType() = std::move(type);
}

py::object ToPython(com::Variant&& value, std::thread::id owner) {
  if (value.IsByRef()) value = value.Dereferenced();
  switch (value.vt()) {
    case com::VT_EMPTY:
    case com::VT_NULL:
      return py::none();
    case com::VT_I2:
      return py::int_(value.I2());
    case com::VT_I4:
      return py::int_(value.I4());
    case com::VT_UI1:
      return py::int_(value.UI1());
    case com::VT_UI4:
      return py::int_(value.UI4());
    case com::VT_R4:
      return py::float_(value.R4());
    case com::VT_R8:
      return py::float_(value.R8());
    case com::VT_BOOL:
      return py::bool_(value.BoolVal() != 0);
    case com::VT_BSTR:
      return TextToPython(value.BstrVal().View());
    case com::VT_ERROR:
      if (value.IsMissing()) return py::none();
      return py::int_(static_cast<std::uint32_t>(value.ErrorCode()));
    case com::VT_DISPATCH:
    case com::VT_UNKNOWN: {
      com::ComPtr<com::IDispatch> dispatch;
      if (com::IUnknown* unknown = value.Unknown())
        (void)com::ComPtr<com::IUnknown>(unknown).As(&dispatch);
      if (!dispatch) return py::none();
      return py::cast(LateBoundObject(std::move(dispatch), owner));
    }
    default:
      break;
  }
  if (!value.IsArray()) return TextToPython(value.Describe());
  std::unique_ptr<com::SafeArray> array(value.DetachArray());
  if (!array) return py::none();
  switch (array->ElementType()) {
    case com::VT_UI1:
      return NumpyOver<std::uint8_t>(std::move(array));
    case com::VT_I2:
      return NumpyOver<std::int16_t>(std::move(array));
    case com::VT_BOOL: {
      py::object numbers = NumpyOver<std::int16_t>(std::move(array));
      return numbers.attr("astype")("bool");
    }
    case com::VT_I4:
      return NumpyOver<std::int32_t>(std::move(array));
    case com::VT_R4:
      return NumpyOver<float>(std::move(array));
    case com::VT_R8:
      return NumpyOver<double>(std::move(array));
    default:
      break;
  }
  if (py::object table = TableOf(*array)) return table;
  return ListOf(*array, owner);
}

py::str TextToPython(std::string_view text) {
  PyObject* str =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (!str) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

std::string NameFromPython(const py::handle& name) {
  if (!PyUnicode_Check(name.ptr())) {
    RaisePython(PyExc_TypeError,
                std::string("a name must be a str, not ") + Py_TYPE(name.ptr())->tp_name);
  }
  PyObject* bytes = PyUnicode_AsEncodedString(name.ptr(), "utf-8", "surrogateescape");
  if (!bytes) {
    PyErr_Clear();
    bytes = PyUnicode_AsEncodedString(name.ptr(), "utf-8", "backslashreplace");
    if (!bytes) throw py::error_already_set();
  }
  py::bytes owned = py::reinterpret_steal<py::bytes>(bytes);
  return std::string(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
}

void RaisePython(PyObject* type, std::string_view message) {
  py::str text = TextToPython(message);
  PyErr_SetObject(type, text.ptr());
  throw py::error_already_set();
}

std::string ValuePlace::Text() const {
  if (is_set_value) return "setting " + std::string(member);
  std::string text = std::string(member) + "(): argument ";
  if (position == 0) return text + std::string(parameter);
  text += std::to_string(position);
  if (!parameter.empty()) text += " (" + std::string(parameter) + ")";
  return text;
}

namespace {

// Lists nested deeper than this are refused rather than followed (a list
// that holds itself would never end).
constexpr std::size_t kMaxNesting = 100;

// A buffer of a bytes-like object, released with the last reference.
class Buffer {
 public:
  explicit Buffer(const py::handle& source) {
    if (PyObject_GetBuffer(source.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~Buffer() { PyBuffer_Release(&view_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  std::span<const std::uint8_t> Bytes() const {
    return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }

 private:
  Py_buffer view_{};
};

// One value from Python and what it holds, converted with the place it
// goes to for the messages; elements of lists know their indexes.
class Conversion {
 public:
  explicit Conversion(const ValuePlace& place) : place_(place) {}

  com::Variant Convert(const py::handle& value) {
    if (value.is_none()) return com::Variant::Missing();
    if (PyBool_Check(value.ptr())) return com::Variant(value.ptr() == Py_True);
    if (PyLong_Check(value.ptr())) return Integer(value);
    if (PyFloat_Check(value.ptr())) {
      const double number = PyFloat_AsDouble(value.ptr());
      if (number == -1.0 && PyErr_Occurred()) throw py::error_already_set();
      return com::Variant(number);
    }
    if (PyUnicode_Check(value.ptr())) return String(value);
    if (py::isinstance<LateBoundObject>(value))
      return com::Variant(value.cast<const LateBoundObject&>().Dispatch());
    if (PyBytes_Check(value.ptr()) || PyByteArray_Check(value.ptr()) ||
        PyMemoryView_Check(value.ptr()))
      return ByteArray(value);
    if (py::isinstance<py::array>(value))
      return NumpyArray(py::reinterpret_borrow<py::array>(value));
    if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) return List(value);
    Fail(PyExc_TypeError, std::string("a value of type ") + Py_TYPE(value.ptr())->tp_name +
                              " cannot be passed to an automation member");
  }

 private:
  // The place, and the indexes of the element in nested lists: "...[2][0]"
  // (of deep ones the first and the last few).
  std::string Where() const {
    constexpr std::size_t kShown = 3;
    std::string text = place_.Text();
    for (std::size_t i = 0; i < indexes_.size(); ++i) {
      if (indexes_.size() > 2 * kShown && i >= kShown && i < indexes_.size() - kShown) {
        if (i == kShown) text += "...";
        continue;
      }
      text += "[" + std::to_string(indexes_[i]) + "]";
    }
    return text;
  }

  [[noreturn]] void Fail(PyObject* type, const std::string& problem) const {
    RaisePython(type, Where() + ": " + problem);
  }

  // 32 bits as VT_I4; up to 64 bits as a double, as the object model's
  // numbers beyond 32 bits are.
  com::Variant Integer(const py::handle& value) {
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (number == -1 && !overflow && PyErr_Occurred()) throw py::error_already_set();
    if (overflow)
      Fail(PyExc_OverflowError, IntegerText(value) + " is out of range (-2**63 to 2**63-1)");
    if (number >= std::numeric_limits<std::int32_t>::min() &&
        number <= std::numeric_limits<std::int32_t>::max())
      return com::Variant(static_cast<std::int32_t>(number));
    return com::Variant(static_cast<double>(number));
  }

  // "int 9223372036854775808"; a huge one by its size, as its digits would
  // only fill the message (and Python refuses to write out very long ones).
  static std::string IntegerText(const py::handle& value) {
    const auto bits = py::handle(reinterpret_cast<PyObject*>(&PyLong_Type))
                          .attr("bit_length")(value)
                          .cast<std::size_t>();
    if (bits > 128) return "int of " + std::to_string(bits) + " bits";
    py::object digits = py::reinterpret_steal<py::object>(PyNumber_ToBase(value.ptr(), 10));
    if (!digits) throw py::error_already_set();
    return "int " + digits.cast<std::string>();
  }

  // UTF-8 with "surrogateescape": a str decoded that way from bytes goes
  // back as the same bytes. Any other lone surrogate stands for no byte.
  com::Variant String(const py::handle& value) {
    PyObject* bytes = PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape");
    if (!bytes) {
      if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) throw py::error_already_set();
      py::error_already_set codec;
      const auto start = codec.value().attr("start").cast<Py_ssize_t>();
      const auto end = codec.value().attr("end").cast<Py_ssize_t>();
      const std::string reason =
          Where() +
          ": a lone surrogate stands for no byte (only U+DC80..U+DCFF do, as "
          "surrogateescape decodes bytes that are not UTF-8)";
      py::object error =
          py::handle(PyExc_UnicodeEncodeError)("utf-8", value, start, end, TextToPython(reason));
      PyErr_SetObject(PyExc_UnicodeEncodeError, error.ptr());
      throw py::error_already_set();
    }
    py::bytes owned = py::reinterpret_steal<py::bytes>(bytes);
    return com::Variant(std::string_view(PyBytes_AS_STRING(bytes),
                                         static_cast<std::size_t>(PyBytes_GET_SIZE(bytes))));
  }

  // bytes, bytearray, memoryview: a memoryview that skips or reverses
  // (not contiguous) is copied into its bytes in order first.
  com::Variant ByteArray(const py::handle& value) {
    py::object source = py::reinterpret_borrow<py::object>(value);
    if (PyMemoryView_Check(value.ptr())) {
      const Py_buffer* view = PyMemoryView_GET_BUFFER(value.ptr());
      if (!PyBuffer_IsContiguous(view, 'C')) {
        source = py::reinterpret_steal<py::object>(PyBytes_FromObject(value.ptr()));
        if (!source) throw py::error_already_set();
      }
    }
    Buffer buffer(source);
    if (buffer.Bytes().size() > std::numeric_limits<std::uint32_t>::max())
      Fail(PyExc_OverflowError, "more than 2**32-1 bytes cannot be passed");
    return com::Variant(com::SafeArray::FromBytes(buffer.Bytes()));
  }

  com::Variant NumpyArray(const py::array& array) {
    const char kind = array.dtype().kind();
    const auto size = array.dtype().itemsize();
    if (array.ndim() != 1) {
      Fail(PyExc_TypeError, "a numpy array of " + std::to_string(array.ndim()) +
                                " dimensions cannot be passed (only one-dimensional ones)");
    }
    if (kind == 'u' && size == 1) return Elements<std::uint8_t>(array, com::VT_UI1);
    if (kind == 'i' && size == 2) return Elements<std::int16_t>(array, com::VT_I2);
    if (kind == 'i' && size == 4) return Elements<std::int32_t>(array, com::VT_I4);
    if (kind == 'f' && size == 4) return Elements<float>(array, com::VT_R4);
    if (kind == 'f' || kind == 'i' || kind == 'u' || kind == 'b')
      return Elements<double>(array, com::VT_R8);
    Fail(PyExc_TypeError, "a numpy array of dtype " + py::str(array.dtype()).cast<std::string>() +
                              " cannot be passed (only numbers)");
  }

  template <class T>
  com::Variant Elements(const py::array& source, com::VARTYPE vt) {
    auto values = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(source);
    if (!values) {
      Fail(PyExc_TypeError, "a numpy array of dtype " +
                                py::str(source.dtype()).cast<std::string>() +
                                " does not convert to numbers");
    }
    if (values.shape(0) > static_cast<py::ssize_t>(std::numeric_limits<std::uint32_t>::max()))
      Fail(PyExc_OverflowError, "more than 2**32-1 elements cannot be passed");
    com::SafeArray array;
    const auto count = static_cast<std::uint32_t>(values.shape(0));
    if (com::FAILED(com::SafeArray::Create(vt, {{count, 0}}, &array)))
      Fail(PyExc_MemoryError, "no memory for an array of " + std::to_string(count) + " elements");
    if (count) std::memcpy(array.Span<T>().data(), values.data(), count * sizeof(T));
    return com::Variant(std::move(array));
  }

  com::Variant List(const py::handle& value) {
    if (indexes_.size() >= kMaxNesting) {
      Fail(PyExc_ValueError, "lists nested more than " + std::to_string(kMaxNesting) +
                                 " deep cannot be passed (does a list hold itself?)");
    }
    py::sequence items = py::reinterpret_borrow<py::sequence>(value);
    const std::size_t count = items.size();
    if (count > std::numeric_limits<std::uint32_t>::max())
      Fail(PyExc_OverflowError, "more than 2**32-1 items cannot be passed");
    com::SafeArray array;
    if (com::FAILED(com::SafeArray::Create(com::VT_VARIANT,
                                           {{static_cast<std::uint32_t>(count), 0}}, &array)))
      Fail(PyExc_MemoryError, "no memory for a list of " + std::to_string(count) + " items");
    std::span<com::Variant> elements = array.Span<com::Variant>();
    for (std::size_t i = 0; i < elements.size(); ++i) {
      indexes_.push_back(i);
      com::Variant element = Convert(items[i]);
      indexes_.pop_back();
      elements[i] = element.IsMissing() ? com::Variant() : std::move(element);
    }
    return com::Variant(std::move(array));
  }

  const ValuePlace& place_;
  std::vector<std::size_t> indexes_;
};

}  // namespace

com::Variant FromPython(const py::handle& value, const ValuePlace& place) {
  return Conversion(place).Convert(value);
}

}  // namespace vex::python
