// The fixture of every test that runs on the simulated phone: a phone fresh from the box.
#pragma once

#include <gtest/gtest.h>

#include "sim/phone.h"

class PhoneTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Phone::Get().Reset(); }
    static sim::Phone& Phone() { return sim::Phone::Get(); }
};
