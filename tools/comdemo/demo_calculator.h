// The interface of the demonstration server's one class, "VexDemo.Calculator":
// a calculator that keeps a history of its results as a collection.
#pragma once

#include "vex/com/com.h"

namespace vexdemo {

using namespace vex::com;

inline constexpr CLSID kCalculatorClsid = MakeGuid("{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B10}");

struct ICalculator : IDispatch {
  using Base = IDispatch;
  static constexpr IID kIid = MakeGuid("{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B11}");
  // The history entry at a 1-based index (the default member).
  virtual HRESULT Item(std::int32_t index, double* value) = 0;
  virtual HRESULT get_Count(std::int32_t* count) = 0;
  virtual HRESULT get__NewEnum(IUnknown** enumerator) = 0;
  virtual HRESULT Add(double a, double b, double* sum) = 0;
  // Quotient and remainder of two integers through out parameters.
  virtual HRESULT Divide(std::int32_t a, std::int32_t b, std::int32_t* quotient,
                         std::int32_t* remainder) = 0;
  // "Hello, <name>!" with a greeting that defaults to "Hello".
  virtual HRESULT Greet(const Bstr& name, const Bstr& greeting, Bstr* text) = 0;
  // Doubles the value in place.
  virtual HRESULT Twice(Variant* value) = 0;
  virtual HRESULT get_Precision(std::int16_t* digits) = 0;
  virtual HRESULT put_Precision(std::int16_t digits) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* enabled) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL enabled) = 0;
};

}  // namespace vexdemo
