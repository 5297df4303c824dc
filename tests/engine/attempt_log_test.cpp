#include "engine/attempt_log.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(AttemptLogTest, DescribesWhatAnAttemptHas) {
    TransferAttempt attempt{"update.example.com:80", "bin\\core.dll.gz", AttemptOutcome::HttpStatus, 404, 0, 0, false};
    EXPECT_EQ(DescribeAttempt(attempt), "bin\\core.dll.gz from update.example.com:80: http-status (HTTP 404)");
    attempt = {"10.0.0.1:443", "a.dll", AttemptOutcome::ConnectionError, 0, 12029, 0, false};
    EXPECT_EQ(DescribeAttempt(attempt), "a.dll from 10.0.0.1:443: connection-error (error 12029)");
    attempt = {"h:80", "b.dll", AttemptOutcome::Fetched, 206, 0, 1024, true};
    EXPECT_EQ(DescribeAttempt(attempt), "b.dll from h:80: fetched (HTTP 206, 1024 bytes, resumed)");
    attempt = {"h:80", "c.dll", AttemptOutcome::TimedOut, 0, 0, 0, false};
    EXPECT_EQ(DescribeAttempt(attempt), "c.dll from h:80: timed-out");
}

// A release of thousands of files must not push the run's story out of
// the bounded log: only the exceptions get a line, every byte is counted.
TEST(AttemptLogTest, LogsTheExceptionsAndCountsEveryByte) {
    TempDir app;
    CRunLog log(RunLogPath(app.Path()), "silent");
    CAttemptLog attempts(log);
    const AttemptObserver observe = attempts.Observer();
    for (int i = 0; i < 100; ++i) observe({"h:80", "f" + std::to_string(i), AttemptOutcome::Fetched, 200, 0, 10, false});
    observe({"h:80", "x.dll.gz", AttemptOutcome::Undecodable, 200, 0, 7, false});
    observe({"h:80", "y.dll", AttemptOutcome::Cancelled, 0, 0, 5, false});
    observe({"h:80", "big.dll", AttemptOutcome::Fetched, 206, 0, 3, true});
    const std::string text = app.Read("UPDATE\\update.log");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_NE(text.find("transfer: x.dll.gz from h:80: undecodable (HTTP 200, 7 bytes)"), std::string::npos);
    EXPECT_NE(text.find("transfer: big.dll from h:80: fetched (HTTP 206, 3 bytes, resumed)"), std::string::npos);
    EXPECT_EQ(attempts.BytesReceived(), 100u * 10 + 7 + 5 + 3);
}
}  // namespace
