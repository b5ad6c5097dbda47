// Tests at the display scalings people use (125, 150 and 200 %): the test
// executable runs again, as a child process started while the scaling is
// set the way Windows sets it (HKCU\Control Panel\Desktop LogPixels), and
// Windows then lays its windows out at that DPI.
#pragma once

#include <string>
#include <vector>

namespace kadrix::test {

// The DPI this process was started at, as its parent asked: 96 unless
// started by RunAtDisplayScaling.
int RequestedDpi();

struct ScaledRun
{
    bool passed = false;
    std::string output; // the child's GoogleTest output, for a failure message
};

// Runs the tests of this executable that match the GoogleTest filter in a
// child process started at the DPI, and puts the scaling back afterwards.
ScaledRun RunAtDisplayScaling(int dpi, const std::wstring& filter);

// Lines the child wrote after the marker (for what the parent compares).
std::vector<std::string> LinesAfter(const std::string& output, const std::string& marker);

} // namespace kadrix::test
