// Status codes of the automation runtime.
//
// Every operation that crosses an interface returns a 32-bit HRESULT: negative
// values are failures, 0 (S_OK) and positive values are successes that may
// carry information (S_FALSE, or 1 with error information set). Object-defined
// failures live at 0x80040000 + n.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

namespace vex::com {

using HRESULT = std::int32_t;
static_assert(sizeof(HRESULT) == 4 && std::is_signed_v<HRESULT>,
              "HRESULT is a signed 32-bit value");

constexpr HRESULT MakeHresult(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}

// The code table: each code once, with its name and text (hresult.cpp reads
// this list to answer HresultName and HresultText).
#define VEX_COM_HRESULTS(X)                                                                \
  X(S_OK, 0x00000000u, "The operation completed successfully.")                            \
  X(S_FALSE, 0x00000001u, "The operation completed with a false result.")                  \
  X(E_NOTIMPL, 0x80004001u, "Not implemented.")                                            \
  X(E_NOINTERFACE, 0x80004002u, "No such interface supported.")                            \
  X(E_POINTER, 0x80004003u, "Invalid pointer.")                                            \
  X(E_ABORT, 0x80004004u, "Operation aborted.")                                            \
  X(E_FAIL, 0x80004005u, "Unspecified error.")                                             \
  X(E_UNEXPECTED, 0x8000FFFFu, "Catastrophic failure.")                                    \
  X(E_ACCESSDENIED, 0x80070005u, "Access is denied.")                                      \
  X(E_OUTOFMEMORY, 0x8007000Eu, "Not enough memory resources are available.")              \
  X(E_INVALIDARG, 0x80070057u, "The parameter is incorrect.")                              \
  X(E_MOD_NOT_FOUND, 0x8007007Eu, "The specified module could not be found.")              \
  X(E_FILE_NOT_FOUND, 0x80070002u, "The system cannot find the file specified.")           \
  X(DISP_E_UNKNOWNINTERFACE, 0x80020001u, "Unknown interface.")                            \
  X(DISP_E_MEMBERNOTFOUND, 0x80020003u, "Member not found.")                               \
  X(DISP_E_PARAMNOTFOUND, 0x80020004u, "Parameter not found.")                             \
  X(DISP_E_TYPEMISMATCH, 0x80020005u, "Type mismatch.")                                    \
  X(DISP_E_UNKNOWNNAME, 0x80020006u, "Unknown name.")                                      \
  X(DISP_E_NONAMEDARGS, 0x80020007u, "No named arguments.")                                \
  X(DISP_E_BADVARTYPE, 0x80020008u, "Bad variable type.")                                  \
  X(DISP_E_EXCEPTION, 0x80020009u, "Exception occurred.")                                  \
  X(DISP_E_OVERFLOW, 0x8002000Au, "Out of present range.")                                 \
  X(DISP_E_BADINDEX, 0x8002000Bu, "Invalid index.")                                        \
  X(DISP_E_ARRAYISLOCKED, 0x8002000Du, "Memory is locked.")                                \
  X(DISP_E_BADPARAMCOUNT, 0x8002000Eu, "Invalid number of parameters.")                    \
  X(DISP_E_PARAMNOTOPTIONAL, 0x8002000Fu, "Parameter not optional.")                       \
  X(CLASS_E_NOAGGREGATION, 0x80040110u, "Class does not support aggregation.")             \
  X(CLASS_E_CLASSNOTAVAILABLE, 0x80040111u, "ClassFactory cannot supply requested class.") \
  X(REGDB_E_CLASSNOTREG, 0x80040154u, "Class not registered.")                             \
  X(REGDB_E_WRITEREGDB, 0x80040151u, "Could not write key to registry.")                   \
  X(REGDB_E_READREGDB, 0x80040150u, "Could not read key from registry.")                   \
  X(CO_E_CLASSSTRING, 0x800401F3u, "Invalid class string.")                                \
  X(CO_E_DLLNOTFOUND, 0x800401F8u, "DLL for class not found.")                             \
  X(CO_E_ERRORINDLL, 0x800401F9u, "Error in the DLL.")                                     \
  X(TYPE_E_LIBNOTREGISTERED, 0x8002801Du, "Library not registered.")                       \
  X(CONNECT_E_NOCONNECTION, 0x80040200u, "No connection point for that interface.")        \
  X(STG_E_LOCKVIOLATION, 0x80030021u, "A lock violation has occurred.")                    \
  X(RPC_E_WRONG_THREAD, 0x8001010Eu,                                                       \
    "The application called an interface that was marshalled for a different thread.")

#define VEX_COM_DECLARE_HRESULT(name, bits, text) inline constexpr HRESULT name = MakeHresult(bits);
VEX_COM_HRESULTS(VEX_COM_DECLARE_HRESULT)
#undef VEX_COM_DECLARE_HRESULT

[[nodiscard]] constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
[[nodiscard]] constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

// An object-defined failure status: 0x80040000 plus n (n below 0x10000).
[[nodiscard]] constexpr HRESULT MakeObjectHresult(std::uint16_t n) {
  return MakeHresult(0x80040000u + n);
}

// The failure status for a Unix error number (facility 7, like a Win32 error).
[[nodiscard]] constexpr HRESULT HresultFromErrno(int error) {
  return error <= 0 ? E_FAIL
                    : MakeHresult(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

// "E_INVALIDARG" for a code of the table, else "0x80040154"-style hexadecimal.
std::string HresultName(HRESULT hr);
// The table's text for a code, else an empty string.
std::string HresultText(HRESULT hr);
// Eight upper-case hexadecimal digits, as tools print a status.
std::string HresultHex(HRESULT hr);

}  // namespace vex::com
