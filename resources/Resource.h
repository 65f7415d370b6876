#pragma once
// Resource and control identifiers. The numbers are fixed: other tools address the controls by
// them, and the dialog binds its members through them.

#define IDD_ABOUT 100
#define IDS_ABOUT_MENU 101
#define IDD_CUSTOMIZE 102
#define IDI_APP 128

#define IDM_ABOUT 0x0010

#define IDC_SOUND_TREE 1000
#define IDC_REPLACEMENT_LIST 1001
#define IDC_PREVIEW 1002
#define IDC_SAVE 1003
#define IDC_PROFILE_NAME 1004
#define IDC_ADD_SOUNDS 1005
#define IDC_STICK_ROOM 1006
#define IDC_TRIM 1007
#define IDC_SOUND_WAVEFORM 1008
#define IDC_SOUND_SUMMARY 1009

#define IDC_TRIM_WAVEFORM 1010
#define IDC_TRIM_START 1011
#define IDC_TRIM_END 1012
#define IDC_TRIM_LENGTH 1013
#define IDC_TRIM_PLAY 1014

// The string table.
inline const char* LoadResourceString(int id) {
    return id == IDS_ABOUT_MENU ? "&About Tonewright..." : "";
}
