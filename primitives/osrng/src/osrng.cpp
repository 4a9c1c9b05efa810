#include "osrng/osrng.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "fault/fault.hpp"
#include "osrng/testing.hpp"

namespace osrng {
namespace {

std::atomic<bool> g_force_device{false};
std::atomic<bool> g_force_failure{false};
std::atomic<int> g_have_syscall{-1};  // -1 unknown, 0 no, 1 yes

[[noreturn]] void fail(const char* what, int err) {
  std::string msg = "OS random number generator failed: ";
  msg += what;
  if (err != 0) {
    msg += " (os error ";
    msg += std::to_string(err);
    msg += ")";
  }
  fault::raise(msg);
}

bool fill_syscall(uint8_t* out, size_t len) {
  while (len > 0) {
    long r = syscall(SYS_getrandom, out, len, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSYS || errno == EPERM) return false;
      fail("getrandom", errno);
    }
    out += r;
    len -= static_cast<size_t>(r);
  }
  return true;
}

void wait_for_entropy() {
  int fd = ::open("/dev/random", O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("open /dev/random", errno);
  struct pollfd p = {fd, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, -1);
    if (r >= 0) break;
    if (errno != EINTR && errno != EAGAIN) {
      int e = errno;
      ::close(fd);
      fail("poll /dev/random", e);
    }
  }
  ::close(fd);
}

void fill_device(uint8_t* out, size_t len) {
  static std::atomic<bool> seeded{false};
  if (!seeded.load(std::memory_order_acquire)) {
    wait_for_entropy();
    seeded.store(true, std::memory_order_release);
  }
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("open /dev/urandom", errno);
  while (len > 0) {
    ssize_t r = ::read(fd, out, len);
    if (r < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      fail("read /dev/urandom", e);
    }
    if (r == 0) {
      ::close(fd);
      fail("read /dev/urandom: end of file", 0);
    }
    out += r;
    len -= static_cast<size_t>(r);
  }
  ::close(fd);
}

}  // namespace

void fill(uint8_t* out, size_t len) {
  if (g_force_failure.load(std::memory_order_relaxed)) fail("source unavailable", 0);
  if (len == 0) return;
  if (!g_force_device.load(std::memory_order_relaxed) && g_have_syscall.load() != 0) {
    if (fill_syscall(out, len)) {
      g_have_syscall.store(1);
      return;
    }
    g_have_syscall.store(0);
  }
  fill_device(out, len);
}

namespace testing {
void force_device_fallback(bool on) noexcept { g_force_device.store(on); }
void force_failure(bool on) noexcept { g_force_failure.store(on); }
}  // namespace testing

}  // namespace osrng
