// The simulated shell: the Windows rules for splitting parameters, and real starts on Linux.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell.h"
#include "sim/shell.h"
#include "support/phone_test.h"

namespace {

TEST(SplitParametersTest, FollowsTheWindowsCommandLineRules)
{
    struct Case {
        WString text;
        std::vector<WString> arguments;
    };
    const std::vector<Case> cases = {
        {WTEXT(""), {}},
        {WTEXT("   \t "), {}},
        {WTEXT("a b  c"), {WTEXT("a"), WTEXT("b"), WTEXT("c")}},
        {WTEXT("\ta\t b "), {WTEXT("a"), WTEXT("b")}},
        {WTEXT("\"a b\" c"), {WTEXT("a b"), WTEXT("c")}},
        {WTEXT("\"\""), {WTEXT("")}},
        {WTEXT("a \"\" b"), {WTEXT("a"), WTEXT(""), WTEXT("b")}},
        {WTEXT("a\"b c\"d"), {WTEXT("ab cd")}},
        {WTEXT("\"a b"), {WTEXT("a b")}},
        {WTEXT("a\\\\b"), {WTEXT("a\\\\b")}},                              // a\\b: literal
        {WTEXT("a\\\"b"), {WTEXT("a\"b")}},                                // a\"b
        {WTEXT("a\\\\\"b c\""), {WTEXT("a\\b c")}},                        // a\\"b c"
        {WTEXT("a\\\\\\\"b"), {WTEXT("a\\\"b")}},                          // a\\\"b
        {WTEXT("\"c:\\temp\\\" x"), {WTEXT("c:\\temp\" x")}},              // "c:\temp\" x
        {WTEXT("\"c:\\temp\\\\\" x"), {WTEXT("c:\\temp\\"), WTEXT("x")}},  // "c:\temp\\" x
        {WTEXT("a\\"), {WTEXT("a\\")}},
        {WTEXT("\"a\"\"b\""), {WTEXT("a\"b")}},
        {WTEXT("\"a \"\" b\" c"), {WTEXT("a \" b"), WTEXT("c")}},
        {WTEXT("引数 \"日本 語\""), {WTEXT("引数"), WTEXT("日本 語")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sim::SplitParameters(c.text), c.arguments) << sim::Utf8(c.text);
    }
}

class RealStartTest : public PhoneTest {
protected:
    void SetUp() override
    {
        PhoneTest::SetUp();
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-shell-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        sim::Shell().reallyStart = true;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    static BOOL Start(const WString& file, const WString& parameters)
    {
        SHELLEXECUTEINFOW request{};
        request.cbSize = sizeof(request);
        request.lpVerb = WTEXT("Open");
        request.lpFile = file.c_str();
        request.lpParameters = parameters.c_str();
        return ShellExecuteExW(&request);
    }

    // Waits a bounded while for a started program to leave its mark.
    static bool Appears(const std::filesystem::path& path)
    {
        for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::filesystem::exists(path);
    }

    // Our own children still in the process table, zombies included; -1 when the kernel can't
    // tell, so that the check never passes for want of an answer.
    static int Children()
    {
        std::ifstream children("/proc/self/task/" + std::to_string(::gettid()) + "/children");
        if (!children) {
            return -1;
        }
        int count = 0;
        std::string pid;
        while (children >> pid) {
            ++count;
        }
        return count;
    }

    std::filesystem::path folder_;
};

TEST_F(RealStartTest, StartsWithArgumentsSplitAndLeavesNoChild)
{
    const auto made = folder_ / "made it";
    const WString parameters = sim::Utf16("\"" + made.string() + "\"");
    EXPECT_NE(Start(WTEXT("touch"), parameters), FALSE);
    EXPECT_EQ(Children(), 0);
    EXPECT_TRUE(Appears(made));
    ASSERT_EQ(sim::Shell().launches.size(), 1U);
    EXPECT_EQ(sim::Shell().launches[0].arguments, std::vector<WString>{sim::Utf16(made.string())});
}

TEST_F(RealStartTest, NeverWaitsForTheProgram)
{
    const auto done = folder_ / "done";
    const WString parameters = sim::Utf16("-c \"sleep 1; touch '" + done.string() + "'\"");
    EXPECT_NE(Start(WTEXT("sh"), parameters), FALSE);
    EXPECT_FALSE(std::filesystem::exists(done));
    EXPECT_EQ(Children(), 0);
    EXPECT_TRUE(Appears(done));
}

TEST_F(RealStartTest, ProgramThatCannotStartAnswersZero)
{
    const auto notProgram = folder_ / "plain.txt";
    std::ofstream(notProgram) << "text";
    struct Case {
        WString file;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {sim::Utf16((folder_ / "nowhere").string()), ERROR_FILE_NOT_FOUND},
        {WTEXT("quillet-no-such-program"), ERROR_FILE_NOT_FOUND},
        {sim::Utf16(notProgram.string()), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::Utf8(c.file));
        EXPECT_EQ(Start(c.file, WTEXT("")), FALSE);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(Children(), 0);
    }
    ASSERT_EQ(sim::Shell().launches.size(), cases.size());
    EXPECT_EQ(sim::Shell().launches.back().result, FALSE);
    EXPECT_FALSE(*Phone().TraceOf("ShellExecuteExW").back().Get<bool>("result"));
}

TEST_F(RealStartTest, MalformedRequestIsRefused)
{
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request) - 4;
    request.lpFile = WTEXT("touch");
    EXPECT_EQ(ShellExecuteExW(&request), FALSE);
    EXPECT_EQ(GetLastError(), 87U);
    EXPECT_EQ(ShellExecuteExW(nullptr), FALSE);
    EXPECT_EQ(sim::Shell().launches.size(), 1U);
}

}  // namespace
