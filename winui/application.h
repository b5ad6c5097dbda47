// The application object: its title, the message loop, and the one place
// where an error raised while a window runs becomes an error box.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kadrix::winui {

class Form;

// How boxes reach the user; tests install their own to answer them.
using MessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT type)>;

class Application
{
public:
    explicit Application(std::wstring title);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The running application, or null.
    static Application* Instance();

    const std::wstring& Title() const { return title_; }

    // Shows the main form and runs the message loop until the application is
    // asked to quit; closing the main form asks that.
    void Run(Form& mainForm);
    // The first half of Run: makes the form the main form and shows it.
    void ShowMainForm(Form& mainForm);
    // Asks the loop to end; a request made before Run ends it at once.
    void Terminate();
    Form* MainForm() const { return mainForm_; }

    // Dispatches one message with key preview and dialog keys (Tab, Enter,
    // Esc). Errors are handled as below.
    void DispatchOne(MSG& message);

    // Inside a catch block: shows the error in a box titled with the
    // application's title and a full stop after its message (see text.h).
    void HandleException() noexcept;

    int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, UINT type);
    // Null restores the real message box.
    void SetMessageBoxHook(MessageBoxHook hook) { hook_ = std::move(hook); }

private:
    std::wstring title_;
    Form* mainForm_ = nullptr;
    MessageBoxHook hook_;
};

// The message of the exception being handled, whatever its kind.
std::wstring CurrentExceptionMessage();

// For window procedures without an application (none should be): the error
// box with a plain title.
void HandleExceptionInWindow() noexcept;

} // namespace kadrix::winui
