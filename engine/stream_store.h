// The thumbnail stream store: JPEG frames and the generation stamp kept in
// alternate data streams of the video file itself.
#pragma once

#include <windows.h>

// Encodes the frame as JPEG into the file's user-chosen stream (userChosen
// nonzero) or automatic stream (0), replacing what the stream held. The
// caller keeps the bitmap. A write of the user-chosen stream that is refused
// for lack of access tells the user; every other failure passes silently.
void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

// The same write, telling the caller instead of the user: S_OK when the JPEG
// was written, E_ACCESSDENIED when the system refused it for lack of access,
// another failure otherwise. Nothing is shown.
HRESULT SaveThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

// True when path + ":" + name can be opened for reading. A stream another
// process holds without read sharing counts as missing.
bool StreamExists(const wchar_t* path, const wchar_t* name);
