#include "property_sheet/tabliq_app.h"

namespace kadrix {

CTabliqApp theApp;

bool CTabliqApp::InitInstance()
{
    return LibraryApplication::InitInstance();
}

int CTabliqApp::ExitInstance()
{
    return LibraryApplication::ExitInstance();
}

} // namespace kadrix
