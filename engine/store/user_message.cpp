#include "engine/store/user_message.h"

#include <atomic>

namespace kadrix {
namespace {

void ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption)
{
    ::MessageBoxW(owner, text, caption, MB_OK);
}

std::atomic<UserMessageHandler> g_handler{&ShowMessageBox};

} // namespace

void ShowUserMessage(const wchar_t* text, const wchar_t* caption, HWND owner)
{
    g_handler.load()(owner, text, caption);
}

UserMessageHandler SetUserMessageHandler(UserMessageHandler handler)
{
    return g_handler.exchange(handler ? handler : &ShowMessageBox);
}

} // namespace kadrix
