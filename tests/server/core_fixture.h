// A core object wired to a scripted I/O object.
#pragma once

#include <gtest/gtest.h>

#include "core_vexr7100.h"
#include "scripted_io.h"

namespace vex::test {

using server::CCoreVexR7100;

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core = MakeObject<CCoreVexR7100>();
    io = MakeObject<ScriptedIO>();
    SetErrorInfo(0, nullptr);
  }

  // Connects through the IO property with a scripted identity.
  HRESULT Attach(std::string idn = "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00",
                 std::string type = "GPIB") {
    io->io_type = std::move(type);
    io->Identity(std::move(idn));
    HRESULT hr = core->put_IO(static_cast<io::IIO*>(io.Get()));
    io->sent.clear();
    return hr;
  }

  std::string Description() { return TakeErrorDetails().description.Str(); }
  ErrorDetails Details() { return TakeErrorDetails(); }

  ComPtr<CCoreVexR7100> core;
  ComPtr<ScriptedIO> io;
};

}  // namespace vex::test
