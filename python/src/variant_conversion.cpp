#include "variant_conversion.h"

#include <pybind11/numpy.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

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
    names[c] = py::str(cell.BstrVal().Str());
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

template <class T>
com::Variant ArrayFrom(const py::array& source, com::VARTYPE vt) {
  auto values = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(source);
  if (!values || values.ndim() != 1) throw py::type_error("only one-dimensional arrays go in");
  com::SafeArray array;
  const auto count = static_cast<std::uint32_t>(values.shape(0));
  if (com::FAILED(com::SafeArray::Create(vt, {{count, 0}}, &array)))
    throw py::value_error("the array is too large");
  if (count) std::memcpy(array.Span<T>().data(), values.data(), count * sizeof(T));
  return com::Variant(std::move(array));
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
      return py::str(value.BstrVal().Str());
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
  if (!value.IsArray()) return py::str(value.Describe());
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

com::Variant FromPython(const py::handle& value) {
  if (value.is_none()) return com::Variant::Missing();
  if (py::isinstance<py::bool_>(value)) return com::Variant(value.cast<bool>());
  if (py::isinstance<py::int_>(value)) {
    const long long number = value.cast<long long>();
    if (number >= std::numeric_limits<std::int32_t>::min() &&
        number <= std::numeric_limits<std::int32_t>::max())
      return com::Variant(static_cast<std::int32_t>(number));
    return com::Variant(static_cast<double>(number));
  }
  if (py::isinstance<py::float_>(value)) return com::Variant(value.cast<double>());
  if (py::isinstance<py::str>(value)) return com::Variant(value.cast<std::string>());
  if (py::isinstance<LateBoundObject>(value))
    return com::Variant(value.cast<const LateBoundObject&>().Dispatch());
  if (py::isinstance<py::bytes>(value) || py::isinstance<py::bytearray>(value) ||
      py::isinstance<py::memoryview>(value)) {
    py::buffer_info info = py::reinterpret_borrow<py::buffer>(value).request();
    auto* first = static_cast<const std::uint8_t*>(info.ptr);
    return com::Variant(com::SafeArray::FromBytes(
        std::span<const std::uint8_t>(first, static_cast<std::size_t>(info.size * info.itemsize))));
  }
  if (py::isinstance<py::array>(value)) {
    py::array array = py::reinterpret_borrow<py::array>(value);
    const char kind = array.dtype().kind();
    const auto size = array.dtype().itemsize();
    if (kind == 'u' && size == 1) return ArrayFrom<std::uint8_t>(array, com::VT_UI1);
    if (kind == 'i' && size == 2) return ArrayFrom<std::int16_t>(array, com::VT_I2);
    if (kind == 'i' && size == 4) return ArrayFrom<std::int32_t>(array, com::VT_I4);
    if (kind == 'f' && size == 4) return ArrayFrom<float>(array, com::VT_R4);
    if (kind == 'f' || kind == 'i' || kind == 'u' || kind == 'b')
      return ArrayFrom<double>(array, com::VT_R8);
    throw py::type_error("arrays of dtype " + py::str(array.dtype()).cast<std::string>() +
                         " do not go in");
  }
  if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
    py::sequence items = py::reinterpret_borrow<py::sequence>(value);
    com::SafeArray array;
    if (com::FAILED(com::SafeArray::Create(
            com::VT_VARIANT, {{static_cast<std::uint32_t>(items.size()), 0}}, &array)))
      throw py::value_error("the list is too long");
    std::span<com::Variant> elements = array.Span<com::Variant>();
    for (std::size_t i = 0; i < elements.size(); ++i) {
      com::Variant element = FromPython(items[i]);
      elements[i] = element.IsMissing() ? com::Variant() : std::move(element);
    }
    return com::Variant(std::move(array));
  }
  throw py::type_error(std::string("a ") + Py_TYPE(value.ptr())->tp_name +
                       " cannot be passed to an automation member");
}

}  // namespace vex::python
