#pragma once
// Waits for a condition while the event loop runs, and fails the gtest test
// when it does not come in time. Qt's QTRY_* macros only return from the
// function on a timeout, which a gtest test takes for a pass.
#include <QTest>
#include <gtest/gtest.h>

// Expect `cond` within `ms` milliseconds (5 s by default); on a timeout the
// test fails and the enclosing function returns, as the steps after a lost
// wait would only report its consequences.
#define QMT_TRY_ASSERT_TIMEOUT(cond, ms)                                                           \
    ASSERT_TRUE(QTest::qWaitFor([&]() { return bool(cond); }, ms))                                 \
        << "not within " << (ms) << " ms: " #cond
#define QMT_TRY_ASSERT(cond) QMT_TRY_ASSERT_TIMEOUT(cond, 5000)

// The same for an equality; the failure shows both values.
#define QMT_TRY_ASSERT_EQ_TIMEOUT(actual, expected, ms)                                            \
    do {                                                                                           \
        (void)QTest::qWaitFor([&]() { return (actual) == (expected); }, ms);                       \
        ASSERT_EQ(actual, expected) << "not within " << (ms) << " ms";                             \
    } while (false)
#define QMT_TRY_ASSERT_EQ(actual, expected) QMT_TRY_ASSERT_EQ_TIMEOUT(actual, expected, 5000)
