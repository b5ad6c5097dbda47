#include "engine/user_message.h"

#include <windows.h>

#include <atomic>

namespace kadrix {
namespace {

void ShowMessageBox(const wchar_t* text, const wchar_t* caption)
{
    ::MessageBoxW(nullptr, text, caption, MB_OK);
}

std::atomic<UserMessageHandler> g_handler{&ShowMessageBox};

} // namespace

void ShowUserMessage(const wchar_t* text, const wchar_t* caption)
{
    g_handler.load()(text, caption);
}

UserMessageHandler SetUserMessageHandler(UserMessageHandler handler)
{
    return g_handler.exchange(handler ? handler : &ShowMessageBox);
}

} // namespace kadrix
