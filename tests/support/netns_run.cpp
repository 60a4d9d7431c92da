// vex_netns_run PROGRAM [ARGS...]
//
// Runs a test program on a network of its own, so that tests which need a
// port mapper (port 111), a fixed port or a broadcast never meet another
// test, or whatever else runs on the machine, and never depend on a port
// mapper being there or not:
//   - a new network namespace with only the loopback interface, brought up;
//   - a new mount namespace with a private, empty /run (rpcbind keeps its
//     socket, lock and state files there) and /proc mounted afresh;
//   - a new PID namespace, so that every process the test starts (an
//     rpcbind, a simulator) ends when the test ends, however it ends.
// As root the namespaces are made directly; otherwise inside a user
// namespace that maps the caller to root. Where neither is possible the
// program says why and exits 77, which the test's SKIP_RETURN_CODE reports
// as skipped.
//
// Signals that end ctest's child (a timeout, Ctrl+C) are passed on as
// SIGKILL to the namespace's first process, which takes the rest with it.
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kSkipped = 77;

[[noreturn]] void Skip(const char* what, int error) {
  std::fprintf(stderr,
               "vex_netns_run: skipped: this test needs a network of its own (port 111, "
               "fixed ports) and %s failed: %s\n",
               what, std::strerror(error));
  _exit(kSkipped);
}

bool WriteFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

void EnterNamespaces() {
  const int flags = CLONE_NEWNET | CLONE_NEWNS | CLONE_NEWPID;
  if (::geteuid() == 0) {
    if (::unshare(flags) != 0) Skip("unshare(CLONE_NEWNET | CLONE_NEWNS | CLONE_NEWPID)", errno);
    return;
  }
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  if (::unshare(CLONE_NEWUSER | flags) != 0) Skip("unshare(CLONE_NEWUSER | ...)", errno);
  if (!WriteFile("/proc/self/setgroups", "deny") ||
      !WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
      !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
    Skip("mapping the user into its namespace", errno);
}

// Inside the new namespaces, as their first process.
void PrepareNamespace() {
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    Skip("making the mounts private", errno);
  if (::mount("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0)
    Skip("mounting a private /run", errno);
  ::mkdir("/run/lock", 01777);
  ::chmod("/run/lock", 01777);
  // Readers of /proc see this namespace's processes.
  (void)::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr);

  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) Skip("a socket for the loopback interface", errno);
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  if (::ioctl(fd, SIOCGIFFLAGS, &ifr) != 0) Skip("reading the loopback interface", errno);
  ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
  if (::ioctl(fd, SIOCSIFFLAGS, &ifr) != 0) Skip("bringing the loopback interface up", errno);
  ::close(fd);
}

// The exit status of a waited-for child, as a shell would give it.
int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

pid_t g_child = -1;

void PassOn(int) {
  if (g_child > 0) ::kill(g_child, SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vex_netns_run PROGRAM [ARGS...]\n");
    return 2;
  }
  EnterNamespaces();
  // The next child is the PID namespace's first process.
  g_child = ::fork();
  if (g_child < 0) Skip("fork", errno);
  if (g_child == 0) {
    PrepareNamespace();
    // The namespace's first process ignores signals it has no handler for,
    // and every process ends with it: it runs the test as its own child and
    // reaps whatever is orphaned meanwhile.
    const pid_t test = ::fork();
    if (test < 0) Skip("fork", errno);
    if (test == 0) {
      ::execvp(argv[1], argv + 1);
      std::fprintf(stderr, "vex_netns_run: cannot run %s: %s\n", argv[1], std::strerror(errno));
      _exit(127);
    }
    for (;;) {
      int status = 0;
      const pid_t done = ::wait(&status);
      if (done == test) _exit(ExitCode(status));
      if (done < 0 && errno != EINTR) _exit(1);
    }
  }
  struct sigaction action {};
  action.sa_handler = PassOn;
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) ::sigaction(sig, &action, nullptr);
  int status = 0;
  while (::waitpid(g_child, &status, 0) < 0) {
    if (errno != EINTR) _exit(1);
  }
  // Out of a process that made a PID namespace, no exit handler may start
  // a thread (a sanitizer's leak check would fail trying): it leaves at once.
  _exit(ExitCode(status));
}
