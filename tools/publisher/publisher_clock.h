#pragma once
// The time a signed release is published at: the system's clock, or, for
// tests only, the one in the environment variable PUBLISHER_TEST_CLOCK, so
// that a test can publish in the past (a statement already expired, a
// clock gone back) without touching the machine's clock.
#include "base/utc_time_text.h"

#include <string>

inline constexpr char kTestClockVariable[] = "PUBLISHER_TEST_CLOCK";

// False, with a one-line reason, when the variable is set but holds no
// time "YYYY-MM-DDTHH:MM:SSZ".
bool ReadPublisherClock(UtcTime& now, std::string& error);
