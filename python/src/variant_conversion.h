// Automation values to Python objects and back.
//
// To Python: numbers, booleans, strings and None as themselves; objects as
// late-bound vexscope objects; arrays of numbers (UI1, I2, I4, R4, R8, BOOL)
// as numpy arrays over the safe array's own memory (no copy: the array's
// base is an ArrayOwner that holds the safe array and frees it with the last
// reference); arrays of strings and variants as lists (two dimensions: a list
// of rows). A two-dimensional variant array whose first row is text and the
// rest numbers (a table with a header row) becomes a Table: the column names
// and one float64 array of the data rows, one column per column of the table.
//
// From Python: None is the missing marker of an omitted argument; bool,
// int (32 bits, else a double), float, str; bytes-like objects as byte
// arrays; numpy arrays of one dimension by their dtype (uint8, int16, int32,
// float32, float64; other numbers as float64); lists and tuples as arrays of
// variants; vexscope objects as object references. The GIL is held.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <thread>

#include "vex/com/safearray.h"
#include "vex/com/variant.h"

namespace vex::python {

namespace py = pybind11;

// Owns a safe array whose memory a numpy array shows.
class ArrayOwner {
 public:
  explicit ArrayOwner(com::SafeArray* array);
  ~ArrayOwner();
  ArrayOwner(const ArrayOwner&) = delete;
  ArrayOwner& operator=(const ArrayOwner&) = delete;
  // The address of the first element (what the numpy array shows).
  std::uintptr_t Address() const;
  // How many safe arrays Python holds this way right now.
  static std::size_t Live();

 private:
  com::SafeArray* array_;
};

// `owner` is the thread objects met in the value belong to.
py::object ToPython(com::Variant&& value, std::thread::id owner);
com::Variant FromPython(const py::handle& value);

// The Table type (a named tuple of columns and data), set by the package.
void SetTableType(py::object type);

}  // namespace vex::python
