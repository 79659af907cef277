// Resource ids of the update plug-in: the update window's template and controls.
#pragma once

#define IDD_UPDATE 4015
#define IDC_UPDATE_PROGRESS 4001
#define IDC_UPDATE_EXIT 4002
#define IDC_UPDATE_BUTTON 4003
#define IDC_UPDATE_SETTINGS 4004
#define IDC_UPDATE_STATUS 4007
