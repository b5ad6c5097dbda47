// The thumbnail stream store: JPEG frames and the generation stamp kept in
// alternate data streams of the video file itself.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

// Encodes the frame as JPEG into the file's user-chosen stream (userChosen
// nonzero) or automatic stream (0), replacing what the stream held. The
// caller keeps the bitmap. A write of the user-chosen stream that is refused
// for lack of access tells the user; every other failure passes silently.
void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

// The same write, telling the caller instead of the user: S_OK when the JPEG
// was written, E_ACCESSDENIED when the system refused it for lack of access
// or because another program holds the stream, another failure otherwise.
// Nothing is shown.
HRESULT SaveThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

namespace kadrix {

// The clip itself, opened for its attributes only and shared for reading and
// writing but not for deleting, so that it can be neither deleted nor renamed
// while its streams are written: a clip that went away meanwhile must not
// come back as an empty file with a stream. Null when the path names no
// existing regular file.
unique_file HoldClip(const wchar_t* path);

// The clip's data is not on this machine (an offline file, a cloud
// placeholder): reading it would fetch the whole video. Such clips are
// served from the streams they have and never captured.
bool IsRemoteData(const wchar_t* path);

// Whether a frame the user picks can be kept in the clip: not when its volume
// has no named streams (FAT32 and exFAT sticks, some shares) or the file is
// read-only.
enum class StreamRoom
{
    Kept,
    NoNamedStreams,
    ReadOnly,
};
StreamRoom RoomForUserStream(const wchar_t* path);

} // namespace kadrix

// True when path + ":" + name can be opened for reading. A stream another
// process holds without read sharing counts as missing.
bool StreamExists(const wchar_t* path, const wchar_t* name);
