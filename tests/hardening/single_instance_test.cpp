// Twenty copies of the program started at once, each in a process of its own, with the named
// mutex backed by a real lock shared between processes: exactly one proceeds, and every other
// one ends with 1 having done nothing but look at the lock.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "hardening/hardened_run.h"
#include "platform/process.h"

namespace {

constexpr int kCopies = 20;
constexpr int kWatchdogMs = 60 * 1000;  // only ever reached when a copy is stuck

// What a copy tells the test, once: that it holds the lock and is about to ask the phone for
// a send/receive, or how it ended.
struct Report {
    int copy = 0;
    bool proceeding = false;
    int code = 0;
    bool onlyLookedAtLock = false;
};

class Pipe {
public:
    Pipe()
    {
        if (::pipe2(ends_.data(), O_CLOEXEC) != 0) {
            ends_ = {-1, -1};
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe()
    {
        CloseRead();
        CloseWrite();
    }
    [[nodiscard]] bool Valid() const { return ends_[0] >= 0; }
    [[nodiscard]] int Read() const { return ends_[0]; }
    [[nodiscard]] int Write() const { return ends_[1]; }
    void CloseRead() { Close(ends_[0]); }
    void CloseWrite() { Close(ends_[1]); }

private:
    static void Close(int& fd)
    {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    std::array<int, 2> ends_{-1, -1};
};

// Blocks until every copy of the write end is closed.
void WaitForClose(int fd)
{
    char byte = 0;
    while (::read(fd, &byte, 1) > 0) {
    }
}

void Send(int fd, const Report& report)
{
    [[maybe_unused]] const auto written = ::write(fd, &report, sizeof report);
}

class SingleInstance : public HardenedRun {
protected:
    void SetUp() override
    {
        HardenedRun::SetUp();
        WriteIni(hardening::kProfile);
        lockFolder_ = Folder() / "locks";
        std::filesystem::create_directory(lockFolder_);
        ::setenv("QUILLET_SIM_MUTEX_DIR", lockFolder_.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("QUILLET_SIM_MUTEX_DIR");
        HardenedRun::TearDown();
    }

    // One copy, in the forked child: waits for the start, runs, reports, and ends the child.
    // The copy that gets as far as asking the phone holds there until the test lets it go, so
    // that it keeps the lock while all the others try.
    [[noreturn]] static void RunCopy(int copy, const Pipe& start, const Pipe& release, const Pipe& reports)
    {
        WaitForClose(start.Read());
        Phone().onRecord = [&](const sim::TraceEvent& event) {
            if (event.what == "RegSetValueExW") {
                Send(reports.Write(), {copy, true, 0, false});
                WaitForClose(release.Read());
            }
        };
        const int code = Run(u"");
        Phone().onRecord = nullptr;
        // The lock tried, and whether it was taken asked: nothing more.
        std::vector<std::string> calls;
        for (const sim::TraceEvent& event : Phone().Trace()) {
            if (event.actor == "program") {
                calls.push_back(event.what);
            }
        }
        const bool onlyLock = calls == std::vector<std::string>{"CreateMutexW", "GetLastError"};
        Send(reports.Write(), {copy, false, code, onlyLock});
        ::_exit(code == kStillRunning ? 99 : code);
    }

    std::filesystem::path lockFolder_;
};

TEST_F(SingleInstance, TwentyCopiesAtOnceOneProceedsTheOthersEndWithOne)
{
    Pipe start;
    Pipe release;
    Pipe reports;
    ASSERT_TRUE(start.Valid() && release.Valid() && reports.Valid());
    std::vector<pid_t> children;
    for (int copy = 0; copy < kCopies; ++copy) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            start.CloseWrite();
            release.CloseWrite();
            RunCopy(copy, start, release, reports);
        }
        children.push_back(child);
    }
    start.CloseWrite();  // all copies go at once

    std::map<int, Report> proceeding;
    std::map<int, Report> ended;
    pollfd watch{reports.Read(), POLLIN, 0};
    while (proceeding.size() + ended.size() < kCopies && ::poll(&watch, 1, kWatchdogMs) == 1) {
        Report report;
        if (::read(reports.Read(), &report, sizeof report) != sizeof report) {
            break;
        }
        (report.proceeding ? proceeding : ended)[report.copy] = report;
    }
    release.CloseWrite();
    std::map<pid_t, int> exitCodes;
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        exitCodes[child] = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    ASSERT_EQ(proceeding.size() + ended.size(), std::size_t{kCopies}) << "some copies never reported";
    EXPECT_EQ(proceeding.size(), 1U);
    for (const auto& [copy, report] : ended) {
        SCOPED_TRACE("copy " + std::to_string(copy));
        EXPECT_EQ(report.code, kExitAlreadyRunning);
        EXPECT_TRUE(report.onlyLookedAtLock);
    }
    int zeros = 0;
    for (const auto& [child, code] : exitCodes) {
        zeros += code == kExitDone ? 1 : 0;
        EXPECT_TRUE(code == kExitDone || code == kExitAlreadyRunning) << "exit status " << code;
    }
    EXPECT_EQ(zeros, 1);
    EXPECT_EQ(sim::TheMessaging().leftKeyClicks, 0) << "the test's own phone was touched";
}

TEST_F(SingleInstance, TheLockGoesWithTheCopyThatHeldIt)
{
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::_exit(Run(u""));
    }
    int status = 0;
    ::waitpid(holder, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitDone);

    // The next copy takes the lock, and holds it against a later one in another process.
    EXPECT_EQ(Run(u""), kExitDone);
    Phone().EndProgram();
    CreateMutexW(nullptr, TRUE, u"{D606D096-49DC-43e1-93E8-BF51F4A730FF}");
    ASSERT_EQ(GetLastError(), ERROR_SUCCESS);
    const pid_t later = ::fork();
    ASSERT_GE(later, 0);
    if (later == 0) {
        Phone().EndProgram();  // the child starts as a process of its own, holding nothing
        Phone().mutexes.clear();
        ::_exit(Run(u""));
    }
    ::waitpid(later, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitAlreadyRunning);
}

TEST_F(SingleInstance, NamesThatCouldBePathsStayInTheLockFolder)
{
    CreateMutexW(nullptr, TRUE, u"Global\\../../escape/名前");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(lockFolder_), {}), 1);
    EXPECT_FALSE(std::filesystem::exists(Folder() / "escape"));
}

}  // namespace
