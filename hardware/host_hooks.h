#pragma once

// Host services the engine library calls, exported under their plain names.

#include <cstdint>

extern "C" {

// Sleeps `ms` milliseconds, resuming after signal interruptions for the time still left.
void msleep(unsigned int ms);

// Milliseconds of the monotonic clock, truncated.
int64_t time_ms();

// This host has no watchdog: does nothing.
void kick_watchdog();

}
