// Resource ids of tolvanek.dll: the window template, its labels and captions, the two skins.
#pragma once

#define IDD_STATS 102
#define IDB_SKIN_YELLOW 9004
#define IDB_SKIN_MACOS 9005

#define IDC_TITLE 9003
#define IDC_SAT_CAPTION 9007
#define IDC_SAT_OUT_CAPTION 9009
#define IDC_SAT 9012
#define IDC_SAT_OUT 9014
#define IDC_SAT_ALERT 9017
#define IDC_UKR_CAPTION 9022
#define IDC_UKR 9023
#define IDC_UKR_ALERT 9024
#define IDC_UKR_OUT_CAPTION 9028
#define IDC_UKR_OUT 9029
#define IDC_SALDO_CAPTION 9037
#define IDC_SALDO_ONLINE_CAPTION 9038
#define IDC_SALDO 9039
#define IDC_ALL_CAPTION 9040
#define IDC_ALL 9041
#define IDC_ALL_ALERT 9042
#define IDC_SALDO_ALERT 9043
#define IDC_ALL_OUT_CAPTION 9046
#define IDC_ALL_OUT 9047
#define IDC_SALDO_ONLINE 9055
#define IDC_DATE 9057
