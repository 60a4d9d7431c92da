// A server core attached to a scripted I/O object, for the targets that
// reach a parser through the core's members. The attach reads a fixed
// identity, so every input starts from a connected VDS3004A on GPIB.
#pragma once

#include <string>
#include <string_view>

#include "core_vexr7100.h"
#include "fuzz_support.h"
#include "scripted_io.h"

namespace vex::fuzz {

// Drops the calling thread's error information, so that nothing of one
// input is alive when the next starts (or when LeakSanitizer looks).
inline void ClearErrorInfo() {
  (void)com::SetErrorInfo(0, nullptr);
}

using com::ComPtr;
using com::HRESULT;
using com::SUCCEEDED;
using server::CCoreVexR7100;
using test::ScriptedIO;

struct CoreHarness {
  ComPtr<CCoreVexR7100> core = com::MakeObject<CCoreVexR7100>();
  ComPtr<ScriptedIO> io = com::MakeObject<ScriptedIO>();

  // Connects with the given identity; false when the core refused it.
  bool Attach(std::string idn = "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00",
              std::string io_type = "GPIB") {
    io->io_type = std::move(io_type);
    io->Identity(std::move(idn));
    HRESULT hr = core->put_IO(static_cast<io::IIO*>(io.Get()));
    io->sent.clear();
    io->script.clear();
    return SUCCEEDED(hr);
  }

  // The core holds the I/O object and the I/O object nothing of the core,
  // so releasing both here frees everything of the input.
  ~CoreHarness() {
    (void)core->put_IO(nullptr);
    ClearErrorInfo();
  }
};

}  // namespace vex::fuzz
