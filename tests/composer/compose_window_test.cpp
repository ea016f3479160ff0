// Telling the compose window from the Messaging program's other windows by the class chain.
#include <cctype>

#include "composer/compose_window.h"
#include "composer_test.h"

namespace {

// One level of windows: siblings in order; the chain goes on below the last of them.
using Level = std::vector<WString>;

struct ChainCase {
    const char* name;
    std::vector<Level> levels;
    int expected;
    int failClassReadAt = -1;  // the nth GetClassNameW call fails; -1 for none
};

void PrintTo(const ChainCase& c, std::ostream* os)
{
    *os << c.name;
}

const ChainCase kChains[] = {
    {"whole chain", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 1},
    {"any class below PIEHTML", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}, {u""}}, 1},
    {"no fourth level", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}}, 0},
    {"no third level", {{u"Dialog"}, {u"Worker"}}, 0},
    {"no child at all", {{u"Dialog"}}, 0},
    {"Worker only as a later sibling", {{u"Dialog"}, {u"Static", u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"PIEHTML only as a later sibling", {{u"Dialog"}, {u"Worker"}, {u"Static", u"PIEHTML"}, {u"Body"}}, 0},
    {"first children match, later ones don't matter",
     {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}, {u"Body", u"Static"}},
     1},
    {"case of level 0", {{u"dialog"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"case of level 1", {{u"Dialog"}, {u"WORKER"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"case of level 2", {{u"Dialog"}, {u"Worker"}, {u"PieHtml"}, {u"Body"}}, 0},
    {"longer name at level 0", {{u"DialogBox"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"prefix at level 0", {{u"Dialo"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"longer name at level 1", {{u"Dialog"}, {u"WorkerW"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"longer name at level 2", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML2"}, {u"Body"}}, 0},
    {"levels swapped", {{u"Worker"}, {u"Dialog"}, {u"PIEHTML"}, {u"Body"}}, 0},
    {"class of level 0 unreadable", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0, 1},
    {"class of level 2 unreadable", {{u"Dialog"}, {u"Worker"}, {u"PIEHTML"}, {u"Body"}}, 0, 3},
};

class ComposeWindowChain : public ComposerTest, public ::testing::WithParamInterface<ChainCase> {};

HWND BuildChain(const std::vector<Level>& levels)
{
    auto& phone = sim::Phone::Get();
    HWND top = nullptr;
    HWND parent = nullptr;
    for (const Level& level : levels) {
        for (const WString& className : level) {
            HWND window = phone.AddWindow(className, 2000, parent).handle;
            top = top != nullptr ? top : window;
            parent = &className == &level.back() ? window : parent;
        }
    }
    return top;
}

TEST_P(ComposeWindowChain, RecognisedOnlyByTheFirstChildChain)
{
    const ChainCase& c = GetParam();
    if (c.failClassReadAt > 0) {
        Phone().Fail("GetClassNameW", c.failClassReadAt);
    }
    EXPECT_EQ(IsComposeWindow(BuildChain(c.levels)), c.expected);
    EXPECT_TRUE(Posts().empty());
}

INSTANTIATE_TEST_SUITE_P(Chains, ComposeWindowChain, ::testing::ValuesIn(kChains), CaseName());

TEST_F(ComposerTest, NoWindowOrAGoneOneIsNotTheComposeWindow)
{
    EXPECT_EQ(IsComposeWindow(nullptr), 0);
    HWND window = sim::StartMessaging().window;
    Phone().FindWindow(window)->destroyed = true;
    EXPECT_EQ(IsComposeWindow(window), 0);
}

}  // namespace
