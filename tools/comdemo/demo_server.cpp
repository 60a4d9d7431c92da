// The demonstration in-process server: one creatable class, registered as
// "VexDemo.Calculator" (current version "VexDemo.Calculator.1").
#include <vector>

#include "demo_calculator.h"

namespace vexdemo {
namespace {

constexpr const char* kSource = "VexDemo.Calculator.1";

class Calculator : public Object<ICalculator, ISupportErrorInfo> {
 public:
  HRESULT Item(std::int32_t index, double* value) override {
    if (!value) return E_POINTER;
    if (index < 1 || index > static_cast<std::int32_t>(history_.size())) {
      return ReportRichError(DISP_E_BADINDEX,
                             "Calculator::Item: index " + std::to_string(index) +
                                 " is outside 1 to " + std::to_string(history_.size()) + ".",
                             kSource);
    }
    *value = history_[index - 1];
    return S_OK;
  }
  HRESULT get_Count(std::int32_t* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<std::int32_t>(history_.size());
    return S_OK;
  }
  HRESULT get__NewEnum(IUnknown** enumerator) override {
    if (!enumerator) return E_POINTER;
    std::vector<Variant> items(history_.begin(), history_.end());
    IEnumVARIANT* e = nullptr;
    HRESULT hr = CreateVariantEnumerator(std::move(items), &e);
    *enumerator = e;
    return hr;
  }
  HRESULT Add(double a, double b, double* sum) override {
    if (!sum) return E_POINTER;
    if (!enabled_)
      return ReportRichError(E_FAIL, "Calculator::Add: the calculator is disabled.", kSource);
    *sum = a + b;
    history_.push_back(*sum);
    return S_OK;
  }
  HRESULT Divide(std::int32_t a, std::int32_t b, std::int32_t* quotient,
                 std::int32_t* remainder) override {
    if (!quotient || !remainder) return E_POINTER;
    if (b == 0)
      return ReportRichError(E_INVALIDARG, "Calculator::Divide: division by zero.", kSource);
    *quotient = a / b;
    *remainder = a % b;
    return S_OK;
  }
  HRESULT Greet(const Bstr& name, const Bstr& greeting, Bstr* text) override {
    if (!text) return E_POINTER;
    *text =
        Bstr(greeting.Str() + ", " + (name.IsEmpty() ? std::string("World") : name.Str()) + "!");
    return S_OK;
  }
  HRESULT Twice(Variant* value) override {
    if (!value) return E_POINTER;
    double d = 0;
    HRESULT hr = value->ToR8(&d);
    if (FAILED(hr)) return hr;
    *value = Variant(2 * d);
    return S_OK;
  }
  HRESULT get_Precision(std::int16_t* digits) override {
    if (!digits) return E_POINTER;
    *digits = precision_;
    return S_OK;
  }
  HRESULT put_Precision(std::int16_t digits) override {
    if (digits < 0 || digits > 17)
      return ReportRichError(E_INVALIDARG, "Precision must be 0 to 17.", kSource);
    precision_ = digits;
    return S_OK;
  }
  HRESULT get_Enabled(VARIANT_BOOL* enabled) override {
    if (!enabled) return E_POINTER;
    *enabled = ToVariantBool(enabled_);
    return S_OK;
  }
  HRESULT put_Enabled(VARIANT_BOOL enabled) override {
    enabled_ = enabled == VARIANT_TRUE;
    return S_OK;
  }
  HRESULT InterfaceSupportsErrorInfo(const IID& iid) override {
    return iid == ICalculator::kIid ? S_OK : S_FALSE;
  }

  VEX_COM_IMPLEMENT_DISPATCH(Calculator, Table())

 private:
  static const DispatchTable& Table() {
    static const DispatchTable table =
        DispatchTableBuilder<Calculator>("ICalculator", "ICalculator")
            .Method("Item", DISPID_VALUE, &ICalculator::Item, {In("Index"), Retval("Value")})
            .Get("Count", 1, &ICalculator::get_Count)
            .Get("_NewEnum", DISPID_NEWENUM, &ICalculator::get__NewEnum)
            .Hidden()
            .Method("Add", 2, &ICalculator::Add, {In("A"), In("B"), Retval("Sum")})
            .Method("Divide", 3, &ICalculator::Divide,
                    {In("A"), In("B"), Out("Quotient"), Out("Remainder")})
            .Method("Greet", 4, &ICalculator::Greet,
                    {Opt("Name"), OptDefault("Greeting", Variant("Hello")), Retval("Text")})
            .Method("Twice", 5, &ICalculator::Twice, {InOut("Value")})
            .Get("Precision", 6, &ICalculator::get_Precision)
            .Put("Precision", 6, &ICalculator::put_Precision, {In("Digits")})
            .Get("Enabled", 7, &ICalculator::get_Enabled, {Retval("Value", VT_BOOL)})
            .Put("Enabled", 7, &ICalculator::put_Enabled, {In("Value", VT_BOOL)})
            .Build();
    return table;
  }

  std::vector<double> history_;
  std::int16_t precision_ = 6;
  bool enabled_ = true;
};

const ServerModule& Module() {
  static const ServerModule module{
      {ServerClass{ClassRegistration{kCalculatorClsid, "VexDemo.Calculator.1", "VexDemo.Calculator",
                                     "Calculator Class", "Apartment", "", "VexDemoLib", true},
                   [](const IID& iid, void** out) {
                     auto object = MakeObject<Calculator>();
                     return object->QueryInterface(iid, out);
                   }}}};
  return module;
}

}  // namespace
}  // namespace vexdemo

VEX_COM_EXPORT_SERVER(vexdemo::Module())
