// The program in front: Messaging is handed over, any other program is at most pressed.
#include <string>

#include "composer/hand_off.h"
#include "composer_test.h"
#include "shared/thrown_message.h"

namespace {

using Answer = FakeOutbox::Answer;
using Front = sim::MessagingSetup::Front;

enum class InFront {
    Messaging,         // tmail.exe, listed under exeName
    OtherProgram,      // exeName with its own soft-key bar
    ProcessEnded,      // Messaging's windows, its process gone from the list
    NoWindow,          // nothing in front
    WindowJustClosed,  // Messaging's window in front, destroyed; a process 0 is listed
};

enum class Snapshot {
    Made,
    Invalid,  // INVALID_HANDLE_VALUE: the process list can't be read
    Null,     // a null handle: a list in which no process is found
};

struct ForegroundCase {
    const char* name;
    InFront inFront;
    WString exeName;
    Front front;
    bool touchLeft;
    Snapshot snapshot;
    Answer outbox;
    int presses;
    bool outboxAsked;
    int expected;
};

void PrintTo(const ForegroundCase& c, std::ostream* os)
{
    *os << c.name;
}

const ForegroundCase kForegrounds[] = {
    {"tmail mail waits", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, false, Snapshot::Made,
     Answer::Mail, 1, true, 1},
    {"tmail outbox empty", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, false, Snapshot::Made,
     Answer::Empty, 1, true, 0},
    {"tmail touchleft pressed once", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, true,
     Snapshot::Made, Answer::Mail, 1, true, 1},
    {"tmail message list", InFront::Messaging, u"tmail.exe", Front::OtherWindow, false, Snapshot::Made,
     Answer::Mail, 1, false, 0},
    {"other program touchleft", InFront::OtherProgram, u"cprog.exe", Front::ComposeWindow, true,
     Snapshot::Made, Answer::Mail, 1, false, 0},
    {"other program alone", InFront::OtherProgram, u"cprog.exe", Front::ComposeWindow, false, Snapshot::Made,
     Answer::Mail, 0, false, 0},
    {"upper case name touchleft", InFront::Messaging, u"TMAIL.EXE", Front::ComposeWindow, true,
     Snapshot::Made, Answer::Mail, 1, false, 0},
    {"upper case name alone", InFront::Messaging, u"TMAIL.EXE", Front::ComposeWindow, false, Snapshot::Made,
     Answer::Mail, 0, false, 0},
    {"name with path touchleft", InFront::Messaging, u"\\Windows\\tmail.exe", Front::ComposeWindow, true,
     Snapshot::Made, Answer::Mail, 1, false, 0},
    {"name with path alone", InFront::Messaging, u"\\Windows\\tmail.exe", Front::ComposeWindow, false,
     Snapshot::Made, Answer::Mail, 0, false, 0},
    {"process ended touchleft", InFront::ProcessEnded, u"", Front::ComposeWindow, true, Snapshot::Made,
     Answer::Mail, 1, false, 0},
    {"snapshot fails mail waits", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, false,
     Snapshot::Invalid, Answer::Mail, 1, true, 1},
    {"snapshot fails outbox empty", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, false,
     Snapshot::Invalid, Answer::Empty, 1, true, 0},
    {"snapshot fails touchleft pressed once", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, true,
     Snapshot::Invalid, Answer::Mail, 1, true, 1},
    {"snapshot fails other program", InFront::OtherProgram, u"cprog.exe", Front::ComposeWindow, true,
     Snapshot::Invalid, Answer::Mail, 1, false, 0},
    {"no window touchleft", InFront::NoWindow, u"", Front::ComposeWindow, true, Snapshot::Made, Answer::Mail,
     0, false, 0},
    {"window just closed touchleft", InFront::WindowJustClosed, u"", Front::ComposeWindow, true,
     Snapshot::Made, Answer::Mail, 0, false, 0},
    {"null snapshot compose window alone", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, false,
     Snapshot::Null, Answer::Mail, 0, false, 0},
    {"null snapshot touchleft", InFront::Messaging, u"tmail.exe", Front::ComposeWindow, true, Snapshot::Null,
     Answer::Mail, 1, false, 0},
};

class Foreground : public ComposerTest, public ::testing::WithParamInterface<ForegroundCase> {
protected:
    static void PutInFront(const ForegroundCase& c)
    {
        if (c.inFront == InFront::OtherProgram) {
            StartOtherProgram(c.exeName);
            return;
        }
        if (c.inFront == InFront::NoWindow) {
            return;
        }
        const sim::Messaging& messaging = sim::StartMessaging({.front = c.front});
        RenameMessaging(c.exeName);
        if (c.inFront == InFront::ProcessEnded) {
            sim::EndProcess(messaging.processId);
        } else if (c.inFront == InFront::WindowJustClosed) {
            Phone().FindWindow(messaging.window)->destroyed = true;
            sim::Processes().entries.push_back({0, WTEXT("tmail.exe")});
        }
    }
};

TEST_P(Foreground, OutcomeFollowsTheProgramInFront)
{
    const ForegroundCase& c = GetParam();
    AppState::touchLeft = c.touchLeft ? 1 : 0;
    Outbox().answer = c.outbox;
    if (c.snapshot == Snapshot::Invalid) {
        Phone().Fail("CreateToolhelp32Snapshot");
    }
    sim::Processes().nullSnapshots = c.snapshot == Snapshot::Null;
    PutInFront(c);

    EXPECT_EQ(HandOffForeground(), c.expected);

    EXPECT_EQ(Posts().size(), 2U * static_cast<std::size_t>(c.presses));
    EXPECT_EQ(Outbox().asked, c.outboxAsked ? 1 : 0);
    EXPECT_EQ(Phone().TraceOf("GetForegroundWindow").size(), 1U);
    EXPECT_EQ(Phone().OpenHandles("snapshot"), 0U);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, Foreground, ::testing::ValuesIn(kForegrounds), CaseName());

// The Outbox's failure is not the snapshot's: it leaves the check, also from the path that
// handles an unreadable process list.
TEST_F(ComposerTest, OutboxFailureLeavesTheForegroundCheck)
{
    for (const bool snapshotFails : {false, true}) {
        Phone().Reset();
        Outbox().answer = Answer::Fails;
        if (snapshotFails) {
            Phone().Fail("CreateToolhelp32Snapshot");
        }
        sim::StartMessaging();
        EXPECT_THROW(HandOffForeground(), ThrownMessage) << "snapshot fails: " << snapshotFails;
        EXPECT_EQ(Posts().size(), 2U);
    }
}

}  // namespace
