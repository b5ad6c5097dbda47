// The few messages the libraries show the user go through this seam, so a
// test can observe them instead of leaving a modal box on a screen.
#pragma once

namespace kadrix {

using UserMessageHandler = void (*)(const wchar_t* text, const wchar_t* caption);

// Shows an OK-only message box with no owner window and waits for it, or
// hands the message to the handler installed below.
void ShowUserMessage(const wchar_t* text, const wchar_t* caption);

// Installs a handler for the whole process; null restores the message box.
// Returns the handler that was installed before.
UserMessageHandler SetUserMessageHandler(UserMessageHandler handler);

} // namespace kadrix
