#include <gtest/gtest.h>

#include <signal.h>
#include <sys/time.h>

#include "hardware/host_hooks.h"

namespace ornix {
namespace {

volatile sig_atomic_t alarms = 0;

TEST(HostHooks, SleepResumesAfterASignalForTheTimeLeft) {
  struct sigaction action {}, previous{};
  action.sa_handler = [](int) { alarms = alarms + 1; };
  sigemptyset(&action.sa_mask);  // no SA_RESTART: the sleep is interrupted
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  itimerval timer{};
  timer.it_value.tv_usec = 20000;
  ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);

  const int64_t start = time_ms();
  msleep(80);
  const int64_t slept = time_ms() - start;
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_EQ(alarms, 1);
  EXPECT_GE(slept, 79);  // whole milliseconds, truncated at both ends
}

}  // namespace
}  // namespace ornix
