// Resource identifiers of the module: dialogs, strings, bitmaps and controls. Shared by the
// resource script and the code.
#pragma once

// Dialogs.
#define IDD_ABOUT 500

// About box controls.
#define IDC_ABOUT_BANNER 1004
#define IDC_ABOUT_PRODUCT 501
#define IDC_ABOUT_VERSION 53010

// Strings.
#define IDS_PRODUCT_LINE 2010
#define IDS_ABOUT_CAPTION 2017

// Banner bitmaps: normal and hover, for "Locale" 0 and 1.
#define IDB_BANNER 24019
#define IDB_BANNER_HOVER 24020
#define IDB_BANNER_ALT 24021
#define IDB_BANNER_ALT_HOVER 24022

// The property page: dialog 102 and its controls.
#define IDD_PAGE 102
#define IDC_FREQUENCY_EDIT 1000
#define IDC_RESONANCE_EDIT 1001
#define IDC_FREQUENCY_SLIDER 1002
#define IDC_RESONANCE_SLIDER 1003
#define IDC_PAGE_BANNER 1004
#define IDC_ORDER_SECOND 1005
#define IDC_ORDER_FOURTH 1006
#define IDC_TYPE_LOW 1007
#define IDC_TYPE_BAND 1008
#define IDC_TYPE_HIGH 1009
#define IDC_WETDRY_SLIDER 1010
#define IDC_WETDRY_EDIT 3000
#define IDC_FREQUENCY_LABEL 3003
#define IDC_RESONANCE_LABEL 3004
#define IDC_WETDRY_LABEL 3005
#define IDC_TYPE_LABEL 3006
#define IDC_ORDER_LABEL 3007

// Page strings.
#define IDS_PAGE_TITLE 1
#define IDS_BANNER_ABOUT 512
#define IDS_MENU_PRESETS 2000
#define IDS_MENU_HELP 2001
#define IDS_MENU_ABOUT 2003

// Page commands.
#define ID_PAGE_NOTIFY 32700
#define ID_PRESET_FIRST 40500
#define ID_PRESET_LAST 40999
#define ID_HELP 41000
#define ID_ABOUT 41001
#define RADIO_PRESS_CODE 41003
