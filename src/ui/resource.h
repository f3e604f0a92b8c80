// Resource and control ids of the two dialogs.
#pragma once

#define IDD_ABOUT 101
#define IDD_CONFIGURE 102

#define IDC_TEMPLATE_EDIT 1003
#define IDC_USE_PLAYER_TEMPLATE 1004
// The template's legends lie in 1005..1014; the dialog greys the whole range.
#define IDC_FIRST_LEGEND 1005
#define IDC_LAST_LEGEND 1014
#define IDC_LEGEND_ARTIST 1005
#define IDC_LEGEND_ALBUM 1006
#define IDC_LEGEND_TITLE 1007
#define IDC_LEGEND_TRACK 1009
#define IDC_LEGEND_GENRE 1011
#define IDC_LEGEND_DATE 1013
