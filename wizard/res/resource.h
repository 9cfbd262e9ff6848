// Numeric ids of the wizard's resources, shared by the resource script and
// the program's code. The numbers are fixed: pages, buttons and texts are
// addressed by them.
#ifndef FLASHWIZARD_RESOURCE_H
#define FLASHWIZARD_RESOURCE_H

// Icon and bitmap.
#define IDI_WIZARD       103
#define IDB_SIDE_PICTURE 105

// Dialog templates: the frame and its five pages, in the order of the wizard.
#define IDD_WIZARD_FRAME 104
#define IDD_WELCOME      108
#define IDD_OPEN_DEVICE  149
#define IDD_EXPLANATION  109
#define IDD_UPGRADE      110
#define IDD_FINISH       111

// Controls of the frame. Cancel is IDCANCEL (2). Next takes the Finish id
// on the last page.
#define IDC_WIZ_BACK   12323
#define IDC_WIZ_NEXT   12324
#define IDC_WIZ_FINISH 12325
#define IDC_PAGE_AREA  1001

// Controls of the pages.
#define IDC_PAGE_TITLE      1005
#define IDC_HEADER_TITLE    1009
#define IDC_HEADER_SUBTITLE 1010
#define IDC_HEADER_BAND     1011
#define IDC_STATUS_TEXT     1035

// String table.
#define IDS_UPDATE                  2
#define IDS_NOTES_WILL_BE_LOST      3
#define IDS_CONFIRM_CANCEL          4
#define IDS_DEVICE_NOT_FOUND        5
#define IDS_DOWNLOAD_ERROR          6
#define IDS_INSTALLATION_TERMINATED 7
#define IDS_MODE_CHANGE_FAILED      8
#define IDS_NEXT                    9
#define IDS_WIZARD_CAPTION          10
#define IDS_SWITCH_TIMEOUT          11
#define IDS_DEVICE_NOT_CONNECTED    12
#define IDS_DLL_INCOMPATIBLE        13
#define IDS_CAPTURE_MODE            14
#define IDS_VERSION_UNKNOWN         15
#define IDS_FINISH                  111
#define IDS_SEARCHING               112
#define IDS_PROGRESS                113

#endif  // FLASHWIZARD_RESOURCE_H
