#include "hardware/host_hooks.h"

#include <cerrno>
#include <chrono>
#include <ctime>

extern "C" {

void msleep(unsigned int ms) {
  if (ms == 0) return;
  timespec request{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  timespec remaining{};
  while (nanosleep(&request, &remaining) == -1 && errno == EINTR) request = remaining;
}

int64_t time_ms() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void kick_watchdog() {}

}
