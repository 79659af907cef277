// Resource and command ids of ostrel_only.dll.
#pragma once

#define IDD_STATS 3000
#define IDC_VALUE 3001
#define IDD_SETTINGS 3001
#define IDC_AUTOHIDE 3002
#define IDC_TEXT_COLOUR 3004
#define IDC_BACK_COLOUR 3005
#define IDC_PREVIEW 3006

#define ID_STYLE_SETTINGS 40666
#define ID_HIDE_WINDOW 40667

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
