#include "step_log.h"

#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using test::kLogFile;
using test::kLogFolder;
using test::LogFolder;

const wchar_t kFolderMessage[] = L" C:\\Kolbrith\\Logs folder exists. Creating the logfile...";

class StepLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The state a fresh process starts with.
        logEnabled = 0;
        logCounter = 0;
    }
    void TearDown() override
    {
        test::PrepareLogFolder(LogFolder::Absent);
    }
};

TEST_F(StepLogTest, WithoutFolderNothingIsWrittenOrCreated)
{
    test::PrepareLogFolder(LogFolder::Absent);

    StartStepLog();
    LogStep(L" a step");
    LogStep(L" Tavrelon util completes!");

    EXPECT_EQ(0, logEnabled);
    EXPECT_EQ(0, logCounter);
    EXPECT_FALSE(test::PathExists(kLogFolder));
    EXPECT_FALSE(test::PathExists(kLogFile));
}

TEST_F(StepLogTest, FolderTurnsLoggingOnAndEntriesAreNumberedFromOne)
{
    test::PrepareLogFolder(LogFolder::Empty);

    StartStepLog();
    ASSERT_EQ(1, logEnabled);
    ASSERT_TRUE(test::PathExists(kLogFile));

    std::vector<std::wstring> messages = {kFolderMessage};
    for (int i = 2; i <= 11; ++i)
    {
        messages.push_back(L" step " + std::to_wstring(i));
        LogStep(messages.back().c_str());
    }

    EXPECT_EQ(11, logCounter);
    // Log#10 and Log#11: decimal, no leading zeros, in the one section.
    EXPECT_EQ(test::NumberedEntries(messages), test::ReadSection());
    EXPECT_EQ(0, test::ReadFileBytes(kLogFile).find("[Tavrelon_Logs]"));
}

TEST_F(StepLogTest, PlainFileAtFolderPathTurnsLoggingOnAndWritesFailSilently)
{
    test::PrepareLogFolder(LogFolder::PlainFile);
    const std::string before = test::ReadFileBytes(kLogFolder);

    StartStepLog();
    LogStep(L" a step");
    LogStep(L" another step");

    EXPECT_EQ(1, logEnabled);
    // The counter moves on even though no write can succeed.
    EXPECT_EQ(3, logCounter);
    EXPECT_EQ(before, test::ReadFileBytes(kLogFolder));
}

TEST_F(StepLogTest, EntriesReplaceEarlierValuesInPlace)
{
    test::PrepareLogFolder(LogFolder::Empty);
    test::WriteFileBytes(kLogFile, "[Other]\r\nKey=kept\r\n[Tavrelon_Logs]\r\nLog#1=old one\r\nLog#2=old two\r\nLog#3=old three\r\n");

    StartStepLog();
    LogStep(L" new two");

    const test::Entries expected = {
        {L"Log#1", test::Trimmed(kFolderMessage)}, {L"Log#2", L"new two"}, {L"Log#3", L"old three"}};
    EXPECT_EQ(expected, test::ReadSection());
    EXPECT_EQ((test::Entries{{L"Key", L"kept"}}), test::ReadSection(L"Other"));
}

} // namespace
