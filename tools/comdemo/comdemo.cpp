// vexcom-demo: registers the demonstration server that sits beside this
// program, creates "VexDemo.Calculator" by ProgID (its library is loaded at
// that moment) and calls its members by name only, as a script would.
#include <clocale>
#include <cstdio>
#include <string>

#include "vex/com/com.h"
#include "vex/system/system.h"

using namespace vex::com;

namespace {

int Fail(HRESULT hr, const char* what) {
  ErrorDetails details = TakeErrorDetails();
  std::fprintf(
      stderr, "error 0x%s: %s: %s\n", HresultHex(hr).c_str(), what,
      details.description.IsEmpty() ? HresultText(hr).c_str() : details.description.CStr());
  return 1;
}

// Any function of this program tells where the program lies.
void Anchor() {}

}  // namespace

int main() {
  std::setlocale(LC_ALL, "");
  std::string library = vex::system::ModuleFolder(reinterpret_cast<const void*>(&Anchor)) +
                        "/../lib/libVexDemoServer.so";
  std::printf("registry: %s\n", RegistryStorePath().c_str());
  if (HRESULT hr = RegisterServer(library); FAILED(hr))
    return Fail(hr, "registering the demo server");

  ComPtr<IDispatch> calculator;
  if (HRESULT hr = CreateObjectByProgID("VexDemo.Calculator", &calculator); FAILED(hr))
    return Fail(hr, "creating VexDemo.Calculator");

  Variant sum;
  if (HRESULT hr = CallMethod(calculator.Get(), "add", {Variant(40.0), Variant("2")}, &sum);
      FAILED(hr))
    return Fail(hr, "Add");
  std::printf("Add(40, \"2\") = %s\n", sum.Describe().c_str());

  std::vector<Variant> args{Variant(17), Variant(5), Variant(), Variant()};
  if (HRESULT hr = InvokeByName(calculator.Get(), "Divide", DISPATCH_METHOD, args, nullptr);
      FAILED(hr))
    return Fail(hr, "Divide");
  std::printf("Divide(17, 5) = %s remainder %s\n", args[2].Describe().c_str(),
              args[3].Describe().c_str());

  Variant greeting;
  if (HRESULT hr = CallMethod(calculator.Get(), "GREET", {Variant("Linux")}, &greeting); FAILED(hr))
    return Fail(hr, "Greet");
  std::printf("Greet(\"Linux\") = %s\n", greeting.Describe().c_str());

  std::vector<Variant> bad{Variant(1), Variant(0), Variant(), Variant()};
  HRESULT hr = InvokeByName(calculator.Get(), "Divide", DISPATCH_METHOD, bad, nullptr);
  ErrorDetails details = TakeErrorDetails();
  std::printf("Divide(1, 0) fails with 0x%s: %s (source %s)\n", HresultHex(hr).c_str(),
              details.description.CStr(), details.source.CStr());
  return 0;
}
