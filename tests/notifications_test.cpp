// When a change is worth telling, as far as it needs no notification service: how a downtime
// reads.
#include "notifications/HostAlerts.h"

#include <gtest/gtest.h>

namespace {
TEST(DowntimeTest, ReadsAsAPersonWouldSayIt) {
    EXPECT_EQ(HostAlerts::downtime(40), QStringLiteral("after 40 s"));
    EXPECT_EQ(HostAlerts::downtime(4 * 60 + 59), QStringLiteral("after 4 min"));
    EXPECT_EQ(HostAlerts::downtime(2 * 3600 + 5 * 60), QStringLiteral("after 2 h 5 min"));
    EXPECT_EQ(HostAlerts::downtime(3600), QStringLiteral("after 1 h"));
    EXPECT_EQ(HostAlerts::downtime(-5), QStringLiteral("after 0 s")) << "a clock set back";
}
} // namespace
