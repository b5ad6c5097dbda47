#include "winui/application.h"

#include "winui/core/error.h"
#include "winui/form.h"
#include "winui/core/text.h"

#include <exception>
#include <string>

namespace kadrix::winui {
namespace {

Application* g_instance = nullptr;

unsigned CurrentShiftState()
{
    unsigned state = 0;
    if (::GetKeyState(VK_SHIFT) < 0)
        state |= kShift;
    if (::GetKeyState(VK_MENU) < 0)
        state |= kAlt;
    if (::GetKeyState(VK_CONTROL) < 0)
        state |= kCtrl;
    return state;
}

std::wstring Widen(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

} // namespace

std::wstring CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const Error& error) {
        return error.message();
    } catch (const std::exception& error) {
        return Widen(error.what());
    } catch (...) {
        return L"Unknown error";
    }
}

void HandleExceptionInWindow() noexcept
{
    if (Application* application = Application::Instance()) {
        application->HandleException();
        return;
    }
    try {
        ::MessageBoxW(nullptr, WithFullStop(CurrentExceptionMessage()).c_str(), L"Error",
                      MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory while reporting: nothing more can be shown.
    }
}

Application::Application(std::wstring title) : title_(std::move(title))
{
    g_instance = this;
}

Application::~Application()
{
    if (g_instance == this)
        g_instance = nullptr;
}

Application* Application::Instance()
{
    return g_instance;
}

void Application::ShowMainForm(Form& mainForm)
{
    mainForm_ = &mainForm;
    try {
        mainForm.Show();
    } catch (...) {
        HandleException();
    }
}

void Application::Run(Form& mainForm)
{
    ShowMainForm(mainForm);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchOne(message);
}

void Application::Terminate()
{
    ::PostQuitMessage(0);
}

void Application::DispatchOne(MSG& message)
{
    try {
        HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        Form* form = Form::FromHandle(root);
        if (form && message.message == WM_KEYUP && form->KeyPreview())
            form->OnKeyUp(static_cast<WORD>(message.wParam), CurrentShiftState());
        // Tab, arrows, Enter and Esc move between the form's controls and
        // press its default and cancel buttons.
        if (form && ::IsDialogMessageW(root, &message))
            return;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    } catch (...) {
        HandleException();
    }
}

void Application::HandleException() noexcept
{
    try {
        ShowMessage(::GetActiveWindow(), WithFullStop(CurrentExceptionMessage()), title_,
                    MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory while reporting: nothing more can be shown.
    }
}

int Application::ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title,
                             UINT type)
{
    if (hook_)
        return hook_(owner, text, title, type);
    return ::MessageBoxW(owner, text.c_str(), title.c_str(), type);
}

} // namespace kadrix::winui
