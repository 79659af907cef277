// Resource ids of zol.dll: the window template with its eight labels, and the skin.
#pragma once

#define IDD_STATS 102
#define IDB_SKIN 9006

#define IDC_TITLE 9003
#define IDC_ALL 9041
#define IDC_ALL_ALERT 9042
#define IDC_SALDO_ALERT 9043
#define IDC_LIMIT 9044
#define IDC_ALL_OUT 9047
#define IDC_SALDO_ONLINE 9055
#define IDC_DATE 9057
