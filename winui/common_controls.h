// Common-control calls of a library that shows windows inside another
// program: looked up by name in Comctl32.dll and made under the library's
// own activation context, so the library gets the common controls its own
// manifest asks for (resource 3), or, without one, those of the process it
// was loaded into. The context, the module and the entry points are found
// once per process and kept.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace kadrix::winui {

// The library whose manifest resource chooses the context; set once when
// the library is loaded, before the first call below.
void SetActivationContextModule(HMODULE library);

// CreatePropertySheetPageW for a copy of the page description, marked with
// PSP_USEFUSIONCONTEXT and the library's context unless it already carries
// the flag or is too short to hold the context. Null on failure, with the
// call's last error kept.
HPROPSHEETPAGE CreatePropertySheetPageInContext(const PROPSHEETPAGEW& page);

// DestroyPropertySheetPage for a page that no sheet took.
BOOL DestroyPropertySheetPageInContext(HPROPSHEETPAGE page);

// _TrackMouseEvent; FALSE when it can't be found or fails.
BOOL TrackMouseEventInContext(TRACKMOUSEEVENT* track);

// A tooltip window over the owner's controls; null on failure.
HWND CreateToolTipInContext(HWND owner);

} // namespace kadrix::winui
