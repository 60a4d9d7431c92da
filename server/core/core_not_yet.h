// Placeholder bodies for members whose subsystem is still being written.
#pragma once

#include "core_member.h"

#define VEX_CORE_NOT_YET(signature)  \
  HRESULT CCoreVexR7100::signature { \
    return NotYetAvailable();        \
  }
