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
// Strings: the automation strings hold bytes, UTF-8 only when their source
// (an instrument reply, a file) was. They become str decoded as UTF-8 with
// "surrogateescape": each byte that is not part of well-formed UTF-8 becomes
// the lone surrogate U+DC80..U+DCFF of its value, as os.fsdecode does, so
// nothing fails to decode and the str goes back as the same bytes. The same
// holds for every text handed to Python: member names, error descriptions,
// messages of the exceptions raised.
//
// From Python: None is the missing marker of an omitted argument; bool,
// int (32 bits, else a double; beyond 64 bits OverflowError), float
// (inf and nan too), str (UTF-8 with "surrogateescape"; a lone surrogate
// outside U+DC80..U+DCFF stands for no byte and raises UnicodeEncodeError);
// bytes-like objects as byte arrays; numpy arrays of one dimension by their
// dtype (uint8, int16, int32, float32, float64; other numbers as float64);
// lists and tuples as arrays of variants; vexscope objects as object
// references. Any other value raises TypeError. Each of these errors names
// the member and the argument the value was for (ValuePlace). The GIL is
// held.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <string_view>
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

// Where a value from Python goes, for the messages of the errors raised when
// it cannot go there:
//   "Item(): argument 1 (Index)"  a positional argument and its parameter
//   "Item(): argument Index"      a named argument
//   "setting HorizontalRange"     the new value of a property
struct ValuePlace {
  std::string_view member;     // as the table spells it
  std::size_t position = 0;    // from 1 for a positional argument; 0 for a named one
  std::string_view parameter;  // the parameter it goes to, if there is one
  bool is_set_value = false;
  std::string Text() const;
};

// `owner` is the thread objects met in the value belong to.
py::object ToPython(com::Variant&& value, std::thread::id owner);
// Raises OverflowError, TypeError or UnicodeEncodeError (a Python error,
// thrown as py::error_already_set) naming `place` when `value` cannot go in.
com::Variant FromPython(const py::handle& value, const ValuePlace& place);

// Bytes of the object model as a str (UTF-8, "surrogateescape"); never fails
// for want of well-formed UTF-8.
py::str TextToPython(std::string_view text);
// A name from Python (a member, a parameter, a ProgID) as the bytes the
// object model compares: UTF-8 with "surrogateescape"; a lone surrogate no
// byte stands for is kept as "\udXXX", which names nothing, so the lookup
// that follows fails and says so.
std::string NameFromPython(const py::handle& name);
// Raises the Python exception `type` with `message` (bytes of the object
// model, decoded as TextToPython does).
[[noreturn]] void RaisePython(PyObject* type, std::string_view message);

// The Table type (a named tuple of columns and data), set by the package.
void SetTableType(py::object type);

}  // namespace vex::python
