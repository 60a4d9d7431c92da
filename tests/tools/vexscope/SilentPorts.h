// Four ptys whose other ends stay open and silent: COM ports with nothing
// attached. A search with every COM name pointing at one of them never
// touches the machine's own serial ports (which other programs may use).
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace vex::scope::test {

class SilentPorts {
 public:
  SilentPorts() {
    for (int i = 0; i < 4; ++i) {
      masters_[i] = posix_openpt(O_RDWR | O_NOCTTY);
      if (masters_[i] >= 0 && grantpt(masters_[i]) == 0 && unlockpt(masters_[i]) == 0)
        names_[i] = ptsname(masters_[i]);
    }
  }
  ~SilentPorts() {
    for (int fd : masters_)
      if (fd >= 0) close(fd);
  }
  SilentPorts(const SilentPorts&) = delete;
  SilentPorts& operator=(const SilentPorts&) = delete;

  bool ok() const {
    for (const std::string& name : names_)
      if (name.empty()) return false;
    return true;
  }
  // "COM1=/dev/pts/N,...,COM4=/dev/pts/M", the value of VEX_COM_PORTS.
  std::string PortMap() const {
    std::string map;
    for (int i = 0; i < 4; ++i)
      map += (i ? ",COM" : "COM") + std::to_string(i + 1) + "=" + names_[i];
    return map;
  }

 private:
  int masters_[4] = {-1, -1, -1, -1};
  std::string names_[4];
};

}  // namespace vex::scope::test
