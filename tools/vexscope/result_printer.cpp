#include "result_printer.h"

#include "vex/com/numeric_text.h"
#include "vex/com/safearray.h"

namespace vex::scope {
namespace {

using com::Variant;

// Results may hold an instrument's bytes that are not UTF-8; the document
// stays valid JSON with U+FFFD in their place, where the strict writer would
// throw.
constexpr auto kJsonErrors = nlohmann::ordered_json::error_handler_t::replace;

// The array's elements as variants, in storage order, with its shape.
struct ArrayView {
  std::uint32_t rows = 0;
  std::uint32_t columns = 1;
  std::vector<Variant> cells;  // first index fastest
  const Variant& At(std::uint32_t row, std::uint32_t column) const {
    return cells[static_cast<std::size_t>(column) * rows + row];
  }
};

ArrayView ViewOf(const com::SafeArray& array) {
  ArrayView view;
  view.rows = array.Elements(1);
  view.columns = array.Dims() == 2 ? array.Elements(2) : 1;
  view.cells.reserve(array.ElementCount());
  for (std::size_t i = 0; i < array.ElementCount(); ++i) view.cells.push_back(array.At(i));
  return view;
}

}  // namespace

std::string ScalarText(const Variant& in) {
  const Variant value = in.Dereferenced();
  switch (value.vt()) {
    case com::VT_EMPTY:
      return "";
    case com::VT_NULL:
      return "null";
    case com::VT_R8:
      return com::FormatDouble(value.R8());
    case com::VT_R4:
      return com::FormatDouble(static_cast<double>(value.R4()));
    case com::VT_BOOL:
      return value.BoolVal() ? "true" : "false";
    case com::VT_BSTR:
      return value.BstrVal().Str();
    case com::VT_DISPATCH:
    case com::VT_UNKNOWN:
      return "(object)";
    case com::VT_ERROR:
      return value.IsMissing() ? "" : "error 0x" + com::HresultHex(value.ErrorCode());
    default:
      return value.Describe();
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

nlohmann::ordered_json ToJson(const Variant& in) {
  const Variant value = in.Dereferenced();
  if (const com::SafeArray* array = value.Array()) {
    const ArrayView view = ViewOf(*array);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::uint32_t r = 0; r < view.rows; ++r) {
      if (array->Dims() == 2) {
        nlohmann::ordered_json row = nlohmann::ordered_json::array();
        for (std::uint32_t c = 0; c < view.columns; ++c) row.push_back(ToJson(view.At(r, c)));
        list.push_back(std::move(row));
      } else {
        list.push_back(ToJson(view.At(r, 0)));
      }
    }
    return list;
  }
  switch (value.vt()) {
    case com::VT_EMPTY:
    case com::VT_NULL:
      return nullptr;
    case com::VT_BOOL:
      return value.BoolVal() != 0;
    case com::VT_R8:
      return value.R8();
    case com::VT_R4:
      return static_cast<double>(value.R4());
    case com::VT_I2:
    case com::VT_I4:
    case com::VT_UI1:
    case com::VT_UI4:
    case com::VT_I1:
    case com::VT_UI2:
    case com::VT_INT:
    case com::VT_UINT:
    case com::VT_I8: {
      Variant number;
      if (com::SUCCEEDED(value.ChangeType(com::VT_R8, &number))) {
        return static_cast<std::int64_t>(number.R8());
      }
      return ScalarText(value);
    }
    default:
      return ScalarText(value);
  }
}

void WriteArrayLines(std::ostream& out, const Variant& in) {
  const Variant value = in.Dereferenced();
  const com::SafeArray* array = value.Array();
  if (!array) {
    out << ScalarText(value) << '\n';
    return;
  }
  const ArrayView view = ViewOf(*array);
  for (std::uint32_t r = 0; r < view.rows; ++r) {
    for (std::uint32_t c = 0; c < view.columns; ++c) {
      out << (c ? "," : "") << CsvField(ScalarText(view.At(r, c)));
    }
    out << '\n';
  }
}

void ResultPrinter::Print(const CallResult& result) {
  if (result.outs.empty()) {
    if (result.retval) {
      PrintValue(result.retval->value);
    } else if (json_) {
      out_ << "null" << std::endl;
    }
    return;
  }
  std::vector<NamedValue> values;
  if (result.retval) values.push_back(*result.retval);
  values.insert(values.end(), result.outs.begin(), result.outs.end());
  PrintNamed(values);
}

void ResultPrinter::PrintValue(const Variant& value) {
  if (json_) {
    out_ << ToJson(value).dump(-1, ' ', false, kJsonErrors) << std::endl;
  } else if (value.Dereferenced().IsArray()) {
    WriteArrayLines(out_, value);
    out_.flush();
  } else {
    out_ << ScalarText(value) << std::endl;
  }
}

void ResultPrinter::PrintNamed(const std::vector<NamedValue>& values) {
  if (json_) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& v : values) object[v.name] = ToJson(v.value);
    out_ << object.dump(-1, ' ', false, kJsonErrors) << std::endl;
    return;
  }
  for (const auto& v : values) {
    out_ << v.name << '=';
    const Variant value = v.value.Dereferenced();
    if (const com::SafeArray* array = value.Array()) {
      for (std::size_t i = 0; i < array->ElementCount(); ++i)
        out_ << (i ? "," : "") << CsvField(ScalarText(array->At(i)));
    } else {
      out_ << ScalarText(value);
    }
    out_ << '\n';
  }
  out_.flush();
}

void ResultPrinter::PrintJsonOrText(const nlohmann::ordered_json& json, const std::string& text) {
  if (json_) {
    out_ << json.dump(-1, ' ', false, kJsonErrors) << std::endl;
  } else {
    out_ << text << std::flush;
  }
}

}  // namespace vex::scope
