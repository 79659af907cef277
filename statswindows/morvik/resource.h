// Resource ids of morvik.dll: the window template with its five labels, and the skin.
#pragma once

#define IDD_STATS 102
#define IDB_SKIN 9007

#define IDC_ALL 9041
#define IDC_SALDO 9055
#define IDC_TV 9056
#define IDC_DECODER 9057
#define IDC_MODEM 9058
