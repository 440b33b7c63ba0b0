// Preloaded into Wine processes of the serial tests. A pseudo-terminal has no modem lines, so
// the kernel refuses the modem-line requests that Wine's COM port code makes before it reports
// a communication event; every event wait would then end without event bits. Here those
// requests succeed on pseudo-terminals, with the lines of a connected, idle device, so that
// received characters are reported as on real hardware. Everything else is passed through.
// With SERIALSIM_REFUSE_LINE_SETTINGS set in the environment, line settings on pseudo-terminals
// are refused (EIO), as by a port whose driver fails: a failure the Windows side reports.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

// Unix 98 pseudo-terminal slaves use character majors 136..143.
bool IsPseudoTerminal(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  const unsigned major_number = major(status.st_rdev);
  return major_number >= 136 && major_number <= 143;
}

bool IsModemLineRequest(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

using IoctlFunction = int (*)(int, unsigned long, ...);
using TcsetattrFunction = int (*)(int, int, const struct termios*);

IoctlFunction RealIoctl() {
  static const auto real = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
  return real;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const IoctlFunction real = RealIoctl();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  const int saved_errno = errno;
  const int result = real(fd, request, argument);
  if (result == 0 || !IsModemLineRequest(request) || !IsPseudoTerminal(fd)) return result;
  if (request == TIOCMGET && argument != nullptr) {
    *static_cast<int*>(argument) = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
  }
  errno = saved_errno;
  return 0;
}

extern "C" int tcsetattr(int fd, int when, const struct termios* settings) {
  static const auto real = reinterpret_cast<TcsetattrFunction>(dlsym(RTLD_NEXT, "tcsetattr"));
  if (std::getenv("SERIALSIM_REFUSE_LINE_SETTINGS") != nullptr && IsPseudoTerminal(fd)) {
    errno = EIO;
    return -1;
  }
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return real(fd, when, settings);
}
