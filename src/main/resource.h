#pragma once

// Resource and command ids of the Windows program.
#define IDR_MAINMENU 101
#define IDD_SELECTFILE 104
#define IDR_ACCELERATORS 105
#define IDC_FILELIST 1003
#define ID_FILE_OPEN 57601
#define ID_FILE_EXIT 40002
#define ID_HELP_ABOUT 40005
