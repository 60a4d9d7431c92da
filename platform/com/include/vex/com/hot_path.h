// VEX_HOT marks the few functions that every command and reply passes
// through. GCC and Clang place such functions together (in .text.hot), so a
// round trip runs in a few pages of code instead of one page per source
// file. That matters more than the instructions themselves: the client and
// the instrument's process take turns on a CPU, and after each switch every
// page touched anew costs a TLB miss.
#pragma once

#if defined(__GNUC__)
#define VEX_HOT [[gnu::hot]]
#else
#define VEX_HOT
#endif
