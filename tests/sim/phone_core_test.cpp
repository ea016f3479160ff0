// The simulated phone's own rules, which every other test relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "support/phone_test.h"

namespace {

std::vector<UINT> received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    received.push_back(message);
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = u"TEST";
    EXPECT_NE(RegisterClassW(&windowClass), 0);
    return CreateWindowExW(0, u"TEST", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

using SimPhone = PhoneTest;

TEST_F(SimPhone, CreationSendsCreateAndCloseDestroysThenQuits)
{
    received.clear();
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(received, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));

    PostMessageW(window, WM_CLOSE, 0, 0);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) != 0) {
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7U);
    EXPECT_EQ(received, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(SimPhone, IdleLoopJumpsToTheNextTickAndPostedMessagesComeFirst)
{
    received.clear();
    HWND window = MakeWindow();
    ASSERT_EQ(SetTimer(window, 1, 500, nullptr), 1U);
    MSG msg{};
    for (int tick = 1; tick <= 1000; ++tick) {
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
        ASSERT_EQ(msg.message, WM_TIMER);
    }
    EXPECT_EQ(Phone().Now(), 500 * 1000);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_CLOSE);
    DispatchMessageW(&msg);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));  // the timer died with the window
}

TEST_F(SimPhone, LoopWithNothingToWaitForStopsTheRunInsteadOfHanging)
{
    MakeWindow();
    MSG msg{};
    try {
        GetMessageW(&msg, nullptr, 0, 0);
        FAIL() << "GetMessageW returned";
    } catch (const sim::RunStopped& stopped) {
        EXPECT_EQ(stopped.reason, sim::RunStopped::Reason::WouldWaitForEver);
    }
}

TEST_F(SimPhone, PhoneServiceRemovesStatusAfterTheExchange)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Sharp\\PhoneStatus", 0, 0, &key), ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(key, u"Status15", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegCloseKey(key);
    EXPECT_EQ(Phone().registry[sim::kPhoneStatusKey].count(sim::kStatusValue), 1U);

    HWND window = MakeWindow();
    SetTimer(window, 1, 500, nullptr);
    MSG msg{};
    while (Phone().registry[sim::kPhoneStatusKey].contains(sim::kStatusValue)) {
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    }
    EXPECT_EQ(Phone().Now(), 2000);
    EXPECT_EQ(Phone().openKeys, 0U);
}

TEST_F(SimPhone, StatusKeyAbsentCannotBeOpened)
{
    Phone().phoneService.behaviour = sim::PhoneService::Behaviour::KeyAbsent;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Sharp\\PhoneStatus", 0, 0, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SimPhone, ModuleFileNameIsCutToTheBufferAndTerminated)
{
    Phone().moduleFileName = u"/a/quillet.exe";
    WCHAR buffer[8];
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 8), 8U);
    EXPECT_EQ(WString(buffer), u"/a/quil");
    WCHAR whole[32];
    EXPECT_EQ(GetModuleFileNameW(nullptr, whole, 32), 14U);
    EXPECT_EQ(WString(whole), u"/a/quillet.exe");
}

TEST_F(SimPhone, NamedMutexReportsAnEarlierCopy)
{
    CreateMutexW(nullptr, TRUE, u"{name}");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CreateMutexW(nullptr, TRUE, u"{name}");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}

TEST_F(SimPhone, FailureInjectionHitsOnlyTheNthCall)
{
    Phone().Fail("SetTimer", 2);
    HWND window = MakeWindow();
    EXPECT_NE(SetTimer(window, 1, 500, nullptr), 0U);
    EXPECT_EQ(SetTimer(window, 1, 500, nullptr), 0U);
    EXPECT_NE(SetTimer(window, 1, 500, nullptr), 0U);
}

}  // namespace
