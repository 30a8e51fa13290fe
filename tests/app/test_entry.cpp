// The entry point: the argument list it builds, the log records it writes and the
// result it returns, for a run that succeeds and for one the platform fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Harness.h"

extern "C" int OspMain(int argc, char* pArgv[]);

using testing_support::LogCapture;

namespace {

struct EntryRun {
    int result = -1;
    std::vector<std::string> argsSeen;
    bool listSeen = false;
    std::vector<oslog::Record> records;
};

EntryRun RunOspMain(std::vector<std::string> args, Osp::Base::result failure = Osp::Base::E_SUCCESS)
{
    EntryRun run;
    LogCapture log;
    device::DeviceConfig config;
    config.resDir = testing_support::SourceRes();
    config.startFailure = failure;
    device::Device dev(config);
    dev.SetDriver([&](device::Device& d) {
        // The application sees the arguments it was started with, as Strings, in order.
        const auto* list = Osp::App::Application::GetInstance()->GetAppArgumentListN();
        run.listSeen = list != nullptr;
        for (int i = 0; list && i < list->GetCount(); i++) {
            run.argsSeen.push_back(static_cast<const Osp::Base::String*>(list->GetAt(i))->ToUtf8());
        }
        d.RunFor(200 * device::kMicrosPerMilli);
    });
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    run.result = OspMain(static_cast<int>(args.size()), argv.data());
    for (const auto& r : log.records) {
        if (r.function == "int OspMain(int, char**)") {
            run.records.push_back(r);
        }
    }
    return run;
}

std::vector<std::string> Messages(const std::vector<oslog::Record>& records)
{
    std::vector<std::string> v;
    for (const auto& r : records) {
        v.push_back(r.message);
    }
    return v;
}

} // namespace

TEST(OspMain, RunsWithNoArgumentsAndLogsStartAndFinish)
{
    const EntryRun run = RunOspMain({});
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.listSeen);
    EXPECT_TRUE(run.argsSeen.empty());
    EXPECT_EQ(Messages(run.records), (std::vector<std::string>{"Application started.", "Application finished."}));
    for (const auto& r : run.records) {
        EXPECT_EQ(r.level, oslog::Level::Info);
        EXPECT_GT(r.line, 0);
    }
}

TEST(OspMain, HandsEveryArgumentOverInOrderAndUnchanged)
{
    const std::vector<std::string> args = {"veltora", "--x", "", "ünïcode ✓", "last"};
    const EntryRun run = RunOspMain(args);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.argsSeen, args);
}

TEST(OspMain, FailedExecuteLogsTheErrorAndReturnsItsLow16Bits)
{
    const EntryRun run = RunOspMain({"a"}, Osp::Base::E_DEVICE_UNAVAILABLE);
    EXPECT_EQ(run.result, static_cast<int>(Osp::Base::E_DEVICE_UNAVAILABLE & 0xFFFF));
    EXPECT_NE(run.result, 0);
    ASSERT_EQ(run.records.size(), 3u);
    EXPECT_EQ(run.records[0].message, "Application started.");
    EXPECT_EQ(run.records[1].level, oslog::Level::Exception);
    EXPECT_EQ(run.records[1].message, "Application execution failed-[E_DEVICE_UNAVAILABLE].");
    EXPECT_EQ(run.records[2].message, "Application finished.");
    // The application never ran, so it never saw its arguments.
    EXPECT_FALSE(run.listSeen);
}

TEST(OspMain, FailureWhoseLow16BitsAreZeroIsLoggedAndStillReturnedAsAFailure)
{
    const Osp::Base::result odd = 0x80450000;
    const EntryRun run = RunOspMain({}, odd);
    EXPECT_EQ(run.result, 0xFFFF);
    ASSERT_EQ(run.records.size(), 3u);
    EXPECT_EQ(run.records[1].level, oslog::Level::Exception);
    EXPECT_EQ(run.records[1].message, "Application execution failed-[E_UNKNOWN(0x80450000)].");
}

TEST(OspMain, RecordsCarryTheirSourceLinesInOrder)
{
    const EntryRun run = RunOspMain({}, Osp::Base::E_FAILURE);
    ASSERT_EQ(run.records.size(), 3u);
    EXPECT_LT(run.records[0].line, run.records[1].line);
    EXPECT_LT(run.records[1].line, run.records[2].line);
}
