#include "window/view_batch.h"

#include <gtest/gtest.h>

using namespace archive;
using namespace std::chrono_literals;

// Changes wait for the clock; the log keeps every byte in order, the status
// and progress only their latest values.
TEST(ViewBatch, ShowsChangesOnTheClock)
{
    ViewBatch batch;
    const ViewBatch::Clock::time_point start = ViewBatch::Clock::now();
    EXPECT_FALSE(batch.Due(start)); // nothing waits
    (void)batch.Take(start);

    batch.AppendLog("Creating directory: a\r\n");
    batch.SetStatus("a");
    batch.AppendLog("Creating directory: b\r\n");
    batch.SetStatus("b");
    batch.SetProgressValue(3);
    EXPECT_FALSE(batch.Due(start + ViewBatch::kInterval - 1ms));
    ASSERT_TRUE(batch.Due(start + ViewBatch::kInterval));

    ViewBatch::Changes changes = batch.Take(start + ViewBatch::kInterval);
    EXPECT_FALSE(changes.clearLog);
    EXPECT_EQ(changes.log, u"Creating directory: a\nCreating directory: b\n");
    EXPECT_EQ(changes.status, "b");
    EXPECT_FALSE(changes.statusIsHostText);
    ASSERT_TRUE(changes.progress);
    EXPECT_EQ(changes.progress->value, 3);
    EXPECT_EQ(changes.progress->maximum, 100);
    EXPECT_FALSE(batch.Pending());

    // A clear drops what waited before it, not what came after.
    batch.AppendLog("old\r\n");
    batch.ClearLog();
    batch.AppendLog("new\r\n");
    changes = batch.Take(start + 2 * ViewBatch::kInterval);
    EXPECT_TRUE(changes.clearLog);
    EXPECT_EQ(changes.log, u"new\n");
    EXPECT_FALSE(changes.status);
    EXPECT_FALSE(changes.progress);

    // A host path as the status keeps saying so.
    batch.SetStatus("maps\\town");
    batch.SetHostStatus("/home/anna/café.sga");
    changes = batch.Take(start + 3 * ViewBatch::kInterval);
    EXPECT_EQ(changes.status, "/home/anna/café.sga");
    EXPECT_TRUE(changes.statusIsHostText);
}

TEST(ViewBatch, LetsEventsRunAtMostOncePerTurnInterval)
{
    ViewBatch batch;
    const ViewBatch::Clock::time_point start = ViewBatch::Clock::now();
    EXPECT_TRUE(batch.TurnDue(start));
    EXPECT_FALSE(batch.TurnDue(start + ViewBatch::kTurnInterval / 2));
    EXPECT_TRUE(batch.TurnDue(start + ViewBatch::kTurnInterval));
    EXPECT_FALSE(batch.TurnDue(start + ViewBatch::kTurnInterval));
    batch.CommandStarts();
    EXPECT_TRUE(batch.TurnDue(start + ViewBatch::kTurnInterval));
}
