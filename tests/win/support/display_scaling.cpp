#include "support/display_scaling.h"

#include "support/program_run.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

namespace kadrix::test {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

// The scaling for the programs started while it lives; the one there was
// (or none) comes back when it goes, also when the test fails.
class LogPixelsSetting
{
public:
    explicit LogPixelsSetting(int dpi)
    {
        DWORD size = sizeof previous_;
        had_ = ::RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr,
                              &previous_, &size) == ERROR_SUCCESS;
        Set(static_cast<DWORD>(dpi));
    }
    ~LogPixelsSetting()
    {
        if (had_)
            Set(previous_);
        else
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
    }
    LogPixelsSetting(const LogPixelsSetting&) = delete;
    LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;

private:
    static void Set(DWORD dpi)
    {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi, sizeof dpi);
    }

    DWORD previous_ = 0;
    bool had_ = false;
};

} // namespace

int RequestedDpi()
{
    const char* dpi = std::getenv("KADRIX_TEST_DPI");
    const int value = dpi ? std::atoi(dpi) : 0;
    return value > 0 ? value : 96;
}

ScaledRun RunAtDisplayScaling(int dpi, const std::wstring& filter)
{
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const LogPixelsSetting scaling(dpi);
    const ProgramRun run =
        RunProgram(std::wstring(self, length), L"--gtest_filter=" + filter + L" --gtest_color=no",
                   {{L"KADRIX_TEST_DPI", std::to_wstring(dpi)}}, {}, 60000, {}, true);
    // A filter that matched nothing passes too: at least one test must have run.
    const bool ran = run.output.find("[       OK ]") != std::string::npos;
    return {run.finished && run.exitCode == 0 && ran, run.output};
}

std::vector<std::string> LinesAfter(const std::string& output, const std::string& marker)
{
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(marker, 0) == 0)
            lines.push_back(line.substr(marker.size()));
    }
    return lines;
}

} // namespace kadrix::test
