#pragma once
// Resource and control identifiers of the "Version" page. The dialog
// procedure relies on the control identifiers in any template it is given
// (the shell library's or the module's own). Read by the resource compiler
// too, so only #define lines here.
#define IDD_VERSIONPAGE 1043
#define IDC_VERSION_ITEMS 13137
#define IDC_VERSION_VALUE 13138
#define IDC_VERSION_FILEVERSION 13139
#define IDC_VERSION_DESCRIPTION 13140
#define IDC_VERSION_COPYRIGHT 13141
// The labels of the three fields, as the page shows them.
#define VERSION_LABEL_FILEVERSION "File version:"
#define VERSION_LABEL_DESCRIPTION "Description:"
#define VERSION_LABEL_COPYRIGHT "Copyright:"
