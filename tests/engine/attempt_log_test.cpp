#include "engine/attempt_log.h"
#include "engine/update_area.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(AttemptLogTest, DescribesWhatAnAttemptHas) {
    const Failure missing{FailureKind::HttpStatus, 0, 404};
    TransferAttempt attempt{"update.example.com:80", "bin\\core.dll.gz", AttemptEnd::Failed, missing};
    EXPECT_EQ(DescribeAttempt(attempt), "bin\\core.dll.gz from update.example.com:80: http-status (HTTP 404)");
    attempt = {"10.0.0.1:443", "a.dll", AttemptEnd::Failed, Failure{FailureKind::Connect, 12029}};
    EXPECT_EQ(DescribeAttempt(attempt), "a.dll from 10.0.0.1:443: connect (error 12029)");
    attempt = {"h:80", "b.dll", AttemptEnd::Fetched, {}, 1024, true};
    EXPECT_EQ(DescribeAttempt(attempt), "b.dll from h:80: fetched [1024 bytes, resumed]");
    attempt = {"h:80", "c.dll", AttemptEnd::Failed, Failure{FailureKind::OverLimit, 0, 200, "more than 20 bytes"}, 21};
    EXPECT_EQ(DescribeAttempt(attempt), "c.dll from h:80: over-limit (HTTP 200): more than 20 bytes [21 bytes]");
}

// A release of thousands of files must not push the run's story out of
// the bounded log: only the exceptions get a line, every byte is counted.
TEST(AttemptLogTest, LogsTheExceptionsAndCountsEveryByte) {
    TempDir app;
    CRunLog log(CUpdateArea(app.Path()).RunLogPath(), "silent");
    CAttemptLog attempts(log);
    const AttemptObserver observe = attempts.Observer();
    for (int i = 0; i < 100; ++i) observe({"h:80", "f" + std::to_string(i), AttemptEnd::Fetched, {}, 10});
    observe({"h:80", "x.dll.gz", AttemptEnd::Failed, Failure{FailureKind::Undecodable, 0, 200}, 7});
    observe({"h:80", "y.dll", AttemptEnd::Cancelled, {}, 5});
    observe({"h:80", "big.dll", AttemptEnd::Fetched, {}, 3, true});
    // Every patch is part of the story, whether it was used or not.
    observe({"h:80", "a.dll.x.patch", AttemptEnd::Fetched, {}, 9, false, true});
    observe({"h:80", "b.dll.x.patch", AttemptEnd::Failed, Failure{FailureKind::Mismatch, 0, 0, "base-mismatch"}, 8,
             false, true});
    const std::string text = app.Read("UPDATE\\update.log");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
    EXPECT_NE(text.find("patch: a.dll.x.patch from h:80: applied [9 bytes]\r\n"), std::string::npos);
    EXPECT_NE(text.find("patch: b.dll.x.patch from h:80: mismatch: base-mismatch [8 bytes]; the file travels as .gz "
                        "or plain instead"),
              std::string::npos);
    EXPECT_NE(text.find("transfer: x.dll.gz from h:80: undecodable (HTTP 200) [7 bytes]"), std::string::npos);
    EXPECT_NE(text.find("transfer: big.dll from h:80: fetched [3 bytes, resumed]"), std::string::npos);
    EXPECT_EQ(attempts.BytesReceived(), 100u * 10 + 7 + 5 + 3 + 9 + 8);
}
}  // namespace
