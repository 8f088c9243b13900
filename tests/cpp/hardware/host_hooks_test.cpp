#include <gtest/gtest.h>

#include <signal.h>
#include <sys/time.h>

#include <atomic>
#include <chrono>

#include "hardware/host_hooks.h"

namespace ornix {
namespace {

std::atomic<int> alarms{0};

void count_alarm(int) { alarms.fetch_add(1); }

TEST(HostHooks, SleepResumesAfterASignalForTheTimeLeft) {
  struct sigaction action {};
  action.sa_handler = count_alarm;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no automatic restart: the sleep sees EINTR
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  itimerval timer{};
  timer.it_value.tv_usec = 20000;
  ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);

  const int64_t start = time_ms();
  const auto steady_start = std::chrono::steady_clock::now();
  msleep(80);
  const auto slept = std::chrono::steady_clock::now() - steady_start;
  const int64_t end = time_ms();
  sigaction(SIGALRM, &previous, nullptr);

  EXPECT_EQ(alarms.load(), 1);
  EXPECT_GE(slept, std::chrono::milliseconds(80));
  EXPECT_GE(end - start, 79);  // whole milliseconds, truncated at both ends
}

TEST(HostHooks, ZeroSleepAndWatchdogReturnAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  msleep(0);
  kick_watchdog();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
}

}  // namespace
}  // namespace ornix
