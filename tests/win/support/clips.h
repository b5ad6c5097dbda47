// The time-coded clips of tests/media/make-clips.sh: where they are and how
// a grabbed frame's colour tells the segment it came from.
#pragma once

#include "support/images.h"
#include "support/test_files.h"

#include <string>

namespace kadrix::test {

// The segment colours, in order; make-clips.sh paints the same. Each segment
// lasts one second, so the middle of the clip (4.5 s) is segment 4.
inline constexpr Rgb kSegmentColours[] = {{255, 0, 0},     {0, 255, 0},     {0, 0, 255},
                                          {255, 255, 0},   {0, 255, 255},   {255, 0, 255},
                                          {255, 255, 255}, {128, 128, 128}, {255, 128, 0}};
inline constexpr int kSegments = 9;
inline constexpr int kClipWidth = 160;
inline constexpr int kClipHeight = 120;

// The segment whose colour the picture shows below its moving mark (the top
// eight rows); -1 when it shows none of them.
int SegmentOf(const Picture& picture);

// Windows path of a generated clip: the folder comes from KADRIX_MEDIA, which
// the test registration sets.
std::wstring MediaClip(const std::wstring& name);

// Copies a clip into the folder (captures write streams beside the file) and
// returns the copy's path; empty when the clip is missing.
std::wstring CopyClip(const TempDir& dir, const std::wstring& name);

// The media's named pipes (stall.avi, stall-2.avi …) stall whoever opens
// them for reading until a writer comes: this opens one for writing and
// closes it again, so the stalled reader sees the end and goes on. Waits at
// most a few seconds for the reader to be there; false when it was not.
bool ReleasePipe(const std::wstring& pipe);

} // namespace kadrix::test
