// Resource and control ids of Ostrel, shared by ostrel.rc and the dialog classes.
#pragma once

#define IDR_MAINFRAME 128    // application icon: 32x32 and 16x16, 8 bits per pixel
#define IDB_WIZARD_SIDE 225  // side picture of the wizard pages
#define IDS_ABOUTBOX 101     // system-menu entry of the confirm dialog
// The publisher's public update keys (RCDATA, DER SubjectPublicKeyInfo of a P-256 key): the
// current one and the next one. A build without keys has neither and checks no signatures.
#define IDR_UPDATE_KEY 300
#define IDR_UPDATE_KEY_NEXT 301

#define IDD_ABOUTBOX 100
#define IDD_CONFIRM_CLOSE 102
#define IDD_CONNECT_PAGE 218
#define IDD_FILE_LIST_PAGE 219
#define IDD_FINISH_PAGE 227
#define IDD_SERVER_SELECT_PAGE 251

// The wizard page frame.
#define IDC_WIZARD_BACK 1065
#define IDC_WIZARD_NEXT 1061
#define IDC_WIZARD_CANCEL 1062
#define IDC_WIZARD_HELP 1063

// Controls of the pages.
#define IDC_FINISH_TEXT 1000
#define IDC_FINISH_VERIFIED 1001
#define IDC_TRANSFER_STATUS 1004
#define IDC_FILE_LIST 1066
#define IDC_PROGRESS 1067
#define IDC_PAGE_MESSAGE 1068
#define IDC_SERVER_LIST 1085

// System-menu command of the About entry (the platform keeps the low four bits to itself).
#define IDM_ABOUTBOX 0x0010
