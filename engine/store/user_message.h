// The few messages the libraries show the user go through this seam, so a
// test can observe them instead of leaving a modal box on a screen.
#pragma once

#include <windows.h>

namespace kadrix {

// The one message of the stream store: a user-chosen thumbnail the system
// refused to write.
inline constexpr wchar_t kAccessDeniedText[] = L"Can't write thumbnail image. Access denied.";
inline constexpr wchar_t kAccessDeniedCaption[] = L"Error";

using UserMessageHandler = void (*)(HWND owner, const wchar_t* text, const wchar_t* caption);

// Shows an OK-only message box owned by the window (none: no owner) and
// waits for it, or hands the message to the handler installed below.
void ShowUserMessage(const wchar_t* text, const wchar_t* caption, HWND owner = nullptr);

// Installs a handler for the whole process; null restores the message box.
// Returns the handler that was installed before.
UserMessageHandler SetUserMessageHandler(UserMessageHandler handler);

} // namespace kadrix
