// The user's thumbnail settings: nine 32-bit values under one key of the
// current user. The setup program writes them, every thumbnail request reads
// them afresh. This header owns the names, types, defaults and meanings.
#pragma once

#include <cstdint>

namespace kadrix {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Vantrel\\KadrixVuvu";

struct ThumbnailSettings
{
    std::uint32_t glossy = 0;    // "Glossy": gloss highlight over the picture
    std::uint32_t windowBkg = 0; // "WindowBkg": window-colour background
    std::uint32_t blackBkg = 0;  // "BlackBkg": black background
    std::uint32_t letterbox = 1; // "Letterbox": letterbox look
    std::uint32_t timeShift = 1; // "TimeShift": 1 = at Percent of the clip, 0 = at Time seconds
    std::uint32_t override = 0;  // "Override": 1 = ignore the user-chosen thumbnail
    // "Random": generation number of the capture position. Only compared with
    // the stamp beside each automatic thumbnail, so any fixed default serves.
    std::uint32_t random = 0;
    std::uint32_t time = 0;    // "Time": seconds from the start
    std::uint32_t percent = 1; // "Percent": percent of the duration
};

// One stored value: its registry name and its field.
struct SettingsValue
{
    const wchar_t* name;
    std::uint32_t ThumbnailSettings::*field;
};

// The order in which the handler reads the values.
inline constexpr SettingsValue kSettingsValues[] = {
    {L"Glossy", &ThumbnailSettings::glossy},       {L"WindowBkg", &ThumbnailSettings::windowBkg},
    {L"BlackBkg", &ThumbnailSettings::blackBkg},   {L"Letterbox", &ThumbnailSettings::letterbox},
    {L"TimeShift", &ThumbnailSettings::timeShift}, {L"Percent", &ThumbnailSettings::percent},
    {L"Time", &ThumbnailSettings::time},           {L"Override", &ThumbnailSettings::override},
    {L"Random", &ThumbnailSettings::random},
};

// Written by the setup program beside the settings; nothing acts on it.
inline constexpr wchar_t kFirstRunValue[] = L"FirstRun";

enum class Background
{
    WindowColour,
    Black,
    Letterbox,
};

// The three background values come from one group of radio buttons, but the
// key may hold any mix: letterbox wins over black, black over window colour,
// and with none set the window colour is used.
inline Background BackgroundOf(const ThumbnailSettings& s)
{
    if (s.letterbox != 0)
        return Background::Letterbox;
    if (s.blackBkg != 0)
        return Background::Black;
    return Background::WindowColour;
}

// Where the automatic thumbnail is taken, in the capture job's terms: with
// scale > 0.5, value / scale is a fraction of the clip; otherwise value is
// seconds from the start.
struct CapturePosition
{
    double value;
    double scale;
};

inline CapturePosition CapturePositionOf(const ThumbnailSettings& s)
{
    if (s.timeShift != 0)
        return {static_cast<double>(s.percent) / 100.0, 1.0};
    return {static_cast<double>(s.time), 0.0};
}

} // namespace kadrix
