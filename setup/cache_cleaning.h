// Deletes the shell's thumbnail cache files of the current user.
#pragma once

namespace kadrix::setup {

// Every entry matching "thumbcache*.*" in the cache folder below LOCALAPPDATA
// is deleted as a file; each one that can't be is reported in its own
// "Error" box, and the others are still tried.
void CleanThumbnailCache();

} // namespace kadrix::setup
