// Naming the program that owns a window through the process snapshot.
#include "composer/hand_off.h"
#include "composer_test.h"
#include "shared/thrown_message.h"

namespace {

constexpr DWORD kOwner = 0x3000;

struct NameCase {
    const char* name;
    std::vector<sim::ProcessEntry> listed;
    bool ownerKnown;  // false: the window is gone and its owner can't be named
    WString expected;
    int walkCalls;              // Process32FirstW and Process32NextW calls made
    bool nullSnapshot = false;  // the platform answers a null handle for the snapshot
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.name;
}

const NameCase kNames[] = {
    {"listed first", {{kOwner, u"tmail.exe"}, {7, u"other.exe"}}, true, u"tmail.exe", 1},
    {"listed later", {{7, u"other.exe"}, {kOwner, u"tmail.exe"}}, true, u"tmail.exe", 2},
    {"first match only", {{kOwner, u"first.exe"}, {kOwner, u"second.exe"}}, true, u"first.exe", 1},
    {"name kept as listed", {{kOwner, u"\\Windows\\TMAIL.EXE"}}, true, u"\\Windows\\TMAIL.EXE", 1},
    {"owner missing from the list", {{7, u"other.exe"}, {8, u"more.exe"}}, true, u"", 3},
    {"empty list", {}, true, u"", 1},
    {"unnamed owner and a process 0", {{0, u"zero.exe"}, {kOwner, u"tmail.exe"}}, false, u"", 0},
    // No failure: nothing is found in it, and a handle the platform never gave is not closed.
    {"null snapshot", {{kOwner, u"tmail.exe"}}, true, u"", 1, true},
};

class WindowExeName : public ComposerTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(WindowExeName, FirstEntryOfTheOwnerNamesItAndTheSnapshotIsClosed)
{
    const NameCase& c = GetParam();
    sim::Processes().entries = c.listed;
    HWND window = Phone().AddWindow(WTEXT("Dialog"), kOwner).handle;
    Phone().FindWindow(window)->destroyed = !c.ownerKnown;
    sim::Processes().nullSnapshots = c.nullSnapshot;

    EXPECT_EQ(GetWindowExeName(window), c.expected);
    EXPECT_EQ(Phone().TraceOf("Process32FirstW").size() + Phone().TraceOf("Process32NextW").size(),
              static_cast<std::size_t>(c.walkCalls));
    EXPECT_EQ(Phone().OpenHandles("snapshot"), 0U);
    EXPECT_EQ(Phone().TraceOf("CloseHandle").size(), c.nullSnapshot ? 0U : 1U);
    EXPECT_EQ(Phone().TraceOf("CreateToolhelp32Snapshot").size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Walks, WindowExeName, ::testing::ValuesIn(kNames), CaseName());

TEST_F(ComposerTest, UnreadableProcessListIsThrownWithNothingLeftOpen)
{
    Phone().Fail("CreateToolhelp32Snapshot");
    HWND window = sim::StartMessaging().window;
    try {
        GetWindowExeName(window);
        ADD_FAILURE() << "no message thrown";
    } catch (const ThrownMessage& message) {
        EXPECT_EQ(message.Text(), WTEXT("Snapshotが作成できませんでした。"));
    }
    EXPECT_TRUE(Phone().TraceOf("CloseHandle").empty());
    EXPECT_EQ(Phone().OpenHandles("snapshot"), 0U);
}

}  // namespace
