// Identifiers of the window's resources (framelot.rc) and commands.
#pragma once

#define IDD_MAIN 101          // the main dialog
#define IDI_APP 103           // 16 and 32 pixel icon
#define IDI_APP_SMALL 104     // 16 pixel icon
#define IDR_POPUP 105         // menu whose first submenu is the right-click popup
#define IDC_RESULT 1001       // "Drop file here.", later the result text
#define IDM_MAKE_FOLDER 40019 // the popup's placement switch
#define IDM_OPEN_FILES 40020  // "Open files...", below it
#define IDM_SHOW_FRAMES 40021 // "Show frames", added after a drop converts a file
#define IDM_ESCAPE 27         // Esc, through the accelerator table
