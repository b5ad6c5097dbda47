// Names of the alternate data streams in which a video file carries its
// thumbnails. They are part of the file format: never rename them.
#pragma once

#include <string>
#include <string_view>

namespace kadrix {

inline constexpr std::wstring_view kUserThumbStream = L"vantrelthumb";     // JPEG the user picked
inline constexpr std::wstring_view kAutoThumbStream = L"vantrelthumbauto"; // JPEG we captured
inline constexpr std::wstring_view kStampStream = L"vantrelrandom"; // 4-byte generation stamp

// The stream is addressed as the file's path, a colon and the stream name,
// exactly as the caller spelled the path.
inline std::wstring StreamPath(std::wstring_view file, std::wstring_view stream)
{
    std::wstring result;
    result.reserve(file.size() + 1 + stream.size());
    result.append(file).append(1, L':').append(stream);
    return result;
}

inline std::wstring_view ThumbStreamName(bool userChosen)
{
    return userChosen ? kUserThumbStream : kAutoThumbStream;
}

} // namespace kadrix
