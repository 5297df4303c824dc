#include "publisher/publisher_clock.h"

#include <cstdlib>

bool ReadPublisherClock(UtcTime& now, std::string& error) {
    const char* const testClock = std::getenv(kTestClockVariable);
    if (testClock == nullptr) {
        now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        return true;
    }
    const std::optional<UtcTime> time = ParseUtcTime(testClock);
    if (!time) {
        error = std::string(kTestClockVariable) + " is set but holds no time YYYY-MM-DDTHH:MM:SSZ";
        return false;
    }
    now = *time;
    return true;
}
