#pragma once
// The "Version" page itself: its callback for the property sheet, its dialog
// procedure and the filling of its controls from the version list.
#include <windows.h>
#include <prsht.h>

class velShellPropSheetExt;

// LPFNPSPCALLBACKW: PSPCB_CREATE lets the dialog be made, PSPCB_RELEASE hands
// the page's list and reference back to the object in the page's lParam.
UINT CALLBACK versionPageCallback(HWND hwnd, UINT uMsg, LPPROPSHEETPAGEW ppsp);
INT_PTR CALLBACK versionPageDialogProc(HWND hwndDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Fills the list and the three fields once, at the page's first activation.
void fillVersionPage(HWND hwndDlg, velShellPropSheetExt* ext);
