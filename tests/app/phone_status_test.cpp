#include <gtest/gtest.h>

#include <cstring>

#include "app/phone_status.h"
#include "support/phone_test.h"

namespace {

using PhoneStatus = PhoneTest;

void Store(DWORD type, std::vector<BYTE> data)
{
    sim::Phone::Get().registry[sim::kPhoneStatusKey][sim::kStatusValue] = {type, std::move(data)};
}

std::vector<BYTE> Dword(std::int32_t value)
{
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

TEST_F(PhoneStatus, ReadsWhatIsStoredAndMinusOneForAnythingUnreadable)
{
    EXPECT_EQ(ReadSendReceiveStatus(), kStatusGone);  // no value
    Store(REG_DWORD, Dword(1));
    EXPECT_EQ(ReadSendReceiveStatus(), 1);
    Store(REG_DWORD, Dword(0));
    EXPECT_EQ(ReadSendReceiveStatus(), 0);
    Store(REG_DWORD, Dword(-1));
    EXPECT_EQ(ReadSendReceiveStatus(), kStatusGone);
    Store(1 /* REG_SZ */, {'x', 0, 'y', 0, 'z', 0, 0, 0, 0, 0});  // too long for the buffer
    EXPECT_EQ(ReadSendReceiveStatus(), kStatusGone);
    Phone().phoneService.behaviour = sim::PhoneService::Behaviour::KeyAbsent;
    EXPECT_EQ(ReadSendReceiveStatus(), kStatusGone);
    EXPECT_EQ(Phone().openKeys, 0U);
}

TEST_F(PhoneStatus, RequestWritesOneAndNeverCreatesTheKey)
{
    RequestSendReceive();
    EXPECT_EQ(Phone().registry[sim::kPhoneStatusKey][sim::kStatusValue].data, Dword(1));
    EXPECT_EQ(Phone().registry[sim::kPhoneStatusKey][sim::kStatusValue].type, REG_DWORD);

    Phone().Reset();
    Phone().registry.erase(sim::kPhoneStatusKey);
    RequestSendReceive();
    EXPECT_EQ(Phone().registry.count(sim::kPhoneStatusKey), 0U);
    EXPECT_EQ(Phone().openKeys, 0U);
}

}  // namespace
