// Tabliq's application object: the window framework's hold on the library
// (its resources, and whether a page of it still lives). One static instance,
// started when the library loads.
#pragma once

#include "winui/library_application.h"

namespace kadrix {

class CTabliqApp final : public winui::LibraryApplication
{
public:
    CTabliqApp() = default;

protected:
    bool InitInstance() override;
    int ExitInstance() override;
};

// The library's one application object.
extern CTabliqApp theApp;

} // namespace kadrix
