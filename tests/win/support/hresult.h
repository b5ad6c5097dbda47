// HRESULT checks that print the code in hex when they fail.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace kadrix::test {

inline testing::AssertionResult Succeeded(HRESULT hr)
{
    if (SUCCEEDED(hr))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "HRESULT 0x" << std::hex << static_cast<unsigned long>(hr);
}

inline testing::AssertionResult Failed(HRESULT hr)
{
    if (FAILED(hr))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "HRESULT 0x" << std::hex << static_cast<unsigned long>(hr) << " is a success";
}

} // namespace kadrix::test

#define EXPECT_SUCCEEDED(hr) EXPECT_TRUE(::kadrix::test::Succeeded(hr))
#define ASSERT_SUCCEEDED(hr) ASSERT_TRUE(::kadrix::test::Succeeded(hr))
#define EXPECT_FAILED(hr) EXPECT_TRUE(::kadrix::test::Failed(hr))
