// Resource ids of the installer. Numbers are fixed: the dialog template, the code and the tests
// all name the same resources.
#pragma once

// Dialog 102 and its controls
#define IDD_INSTALLER 102
#define IDC_INSTALL_BUTTON 1000
#define IDC_RUN_AFTER 1005
#define IDC_BROWSE 1006
#define IDC_FOR_JUST_ME 1007
#define IDC_FOR_EVERYONE 1008
#define IDC_INSTALL_PATH 1011
#define IDC_CANCEL_BUTTON 1013
#define IDC_SHOW_HELP 1014
#define IDC_PROGRESS_LIST 1016
#define IDC_OPTIONS_FRAME 1017
#define IDC_AFTER_INSTALL_FRAME 1018
#define IDC_INSTALL_PATH_LABEL 1019

// Icon groups
#define IDI_MAIN 128
#define IDI_PRODUCT 133

// Payload archives, type "BINARY"
#define IDR_PAYLOAD_EXE 134
#define IDR_PAYLOAD_CHM 135

// Status image strip and its mask
#define IDB_STATUS_STRIP 138
#define IDB_STATUS_MASK 139
