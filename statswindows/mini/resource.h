// Resource ids of mini.dll: the window template with its two labels, and the skin.
#pragma once

#define IDD_STATS 102
#define IDB_SKIN 9010

#define IDC_ALL 9041
#define IDC_SALDO_ONLINE 9055
