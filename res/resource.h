// Identifiers of the program's resources and controls.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102

// Window-menu command
#define IDM_ABOUTBOX 0x0010

// Strings
#define IDS_ABOUTBOX 101
#define IDS_FILE_EXISTS 103
#define IDS_STOP_BACKUP 106
#define IDS_STOP_RESTORE 107
#define IDS_BACKUP_FAILED 108
#define IDS_RESTORE_FAILED 109
#define IDS_EJECT_CARD 110
#define IDS_CONFIRM_RESTORE 111
#define IDS_FILE_NOT_FOUND 112
#define IDS_IMAGE_TOO_LARGE 113
#define IDS_CANNOT_CREATE 114
#define IDS_DRIVE_IN_USE 115
#define IDS_TIP_BACKUP 116
#define IDS_TIP_RESTORE 117
#define IDS_TIP_QUIT 118
#define IDS_TIP_BROWSE 119
#define IDS_TIP_REFRESH 120
#define IDS_TIP_DRIVE 121
#define IDS_TIP_FILE_NAME 122
#define IDS_DISK_FULL 123

// Icons
#define IDI_APP 128
#define IDI_BROWSE 173
#define IDI_BROWSE_BUSY 185
#define IDI_REFRESH 190
#define IDI_REFRESH_BUSY 191

// Bitmaps
#define IDB_BACKUP_ON 142
#define IDB_RESTORE_ON 143
#define IDB_BACKUP_OFF 164
#define IDB_RESTORE_OFF 165
#define IDB_QUIT 210

// Animations (resource type "AVI")
#define IDR_AVI_BACKUP 166
#define IDR_AVI_RESTORE 204

// Controls
#define IDC_STATIC (-1)
#define IDC_BACKUP 1000
#define IDC_DRIVE 1001
#define IDC_QUIT 1002
#define IDC_FILE_NAME 1004
#define IDC_BROWSE 1005
#define IDC_REFRESH 1006
#define IDC_PROGRESS 1007
#define IDC_PERCENT 1008
#define IDC_RESTORE 1009
#define IDC_DRIVE_SIZE 1010
#define IDC_STATUS 1015
#define IDC_ANIMATION 1016
#define IDC_VERSION 1019
