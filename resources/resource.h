// Numeric identifiers of the program's resources. Control identifiers are
// numbers of the dialog templates themselves and are named where they are used.
#pragma once

// Icons, bitmap, sound.
#define IDI_APP            101   // the program's icon: window class, tray, image 0 of every list
#define IDI_NOICON         115   // stands in for a program file without an icon
#define IDI_NUT            129   // the nuts dialog's icon and row image
#define IDB_ABOUT          117   // the About page's picture
#define IDW_SOUND          113   // the program's sound, resource type "WAVE"

// Dialog templates.
#define IDD_STARTUP        102   // Startup Programs page
#define IDD_ABOUT          103   // About page
#define IDD_COOKIES        108   // Cookies page
#define IDD_COOKIEVIEW     109   // cookie viewer
#define IDD_TASKS          110   // Active Tasks page
#define IDD_DOMAIN         112   // Domain Info page
#define IDD_OPTIONS        114   // Options page
#define IDD_PROGINFO       121   // program information dialog
#define IDD_NUTS           122   // Cookies with Nuts dialog
#define IDD_RESTART        130   // Restart Commands dialog
#define IDD_ALERT          131   // new-program alert

// Texts of the string table. Every user-visible text is loaded by its number, so
// that a registry value "LString<number>" can replace it.
#define IDS_APPCLASS            1    // window class name
#define IDS_APPTITLE            2    // title: message boxes, sheet caption, autorun value name
#define IDS_DATAFILE            4    // name of the data file beside the executable
#define IDS_INFO_INTRO          6    // program information dialog, control 1036
#define IDS_ALERT_TEXT          7    // new-program alert, control 1036
#define IDS_ASK_REMOVE          15   // Remove confirmation, %s = the entry's path
#define IDS_ASK_COOKIES         16   // watch cycle: new cookies found
#define IDS_ERR_COMCTL          24   // the property sheet could not be created
#define IDS_ASK_WININIT         28   // watch cycle: the restart file holds commands
#define IDS_COOKIE_CAPTION      29   // cookie viewer caption
#define IDS_RESTART_CAPTION     30   // Restart Commands caption
#define IDS_HELP_CAPTION        31   // caption of every help box
#define IDS_ERR_NONAME          50   // WHOIS: empty name field
#define IDS_ERR_NOSERVER        51   // WHOIS: empty server field
#define IDS_ERR_SERVERDOWN      52   // WHOIS: server name cannot be resolved
#define IDS_ERR_WINSOCK         54   // WSAStartup failed
#define IDS_ERR_NOFILE          55   // entry without a file
#define IDS_HELP_NOPROGRAM      57   // no program row selected
#define IDS_HELP_NOCOOKIE       58   // no cookie row selected
#define IDS_NUTS_FULL           90   // nuts dialog: Add with the list at its limit
#define IDS_NUTS_UNSAVED        91   // nuts dialog: the data file refused the change
#define IDS_NO_RESTART_CMDS     59   // the restart file holds no commands
#define IDS_ERR_TITLE_PARKED    60   // Disable refused: another entry of that title is parked, %s = title
#define IDS_ERR_TASK_ENDED      62   // Kill Task: the row's process identifier now belongs to another program
#define IDS_ERR_CANNOT_REMOVE   70   // Remove not possible for this kind of entry, %s = its name
#define IDS_ERR_CANNOT_TOGGLE   71   // Disable/Enable not possible for this kind of entry, %s = its name
#define IDS_ERR_ENTRY_CHANGED   72   // the entry changed or cannot be told apart; nothing done, %s = its name
#define IDS_SWITCHED_OFF        80   // Version column of an entry Windows has switched off
#define IDS_SWITCHED_OFF_LABEL  81   // label prefix of such an entry, after "* "
#define IDS_ERR_VALUE_TOO_LONG  73   // Remove/Disable/Enable refused: the registry value is over 1 MB, %s = its name
#define IDS_ERR_LINE_TOO_LONG   74   // the same for a WIN.INI line over 32,766 characters, %s = the entry's name
#define IDS_ERR_DATAFILE        63   // start-up: the data file cannot be used, %s = the program's folder
#define IDS_ERR_OPTIONS_UNSAVED 64   // Options page: a setting could not be written, %s = the data file
#define IDS_ERR_DATAFILE_BUSY   65   // start-up: the data file cannot be read, %s = the data file
#define IDS_ERR_OPTIONS_UNREAD  66   // Options page: the data file cannot be read, %s = the data file
#define IDS_ERR_TASK_NOT_ENDED  67   // Kill Task: the program runs but could not be ended
#define IDS_ERR_REPORT_FILE     68   // a report file could not be created, %s = its path
#define IDS_STARTUP_HEADER      211  // Startup Programs page, control 1047
#define IDS_STARTUP_HINT        212  // Startup Programs page, control 1048
#define IDS_TASKS_HEADER        221  // Active Tasks page, control 1052
#define IDS_TASKS_HINT          222  // Active Tasks page, control 1053
#define IDS_COOKIES_HEADER      231  // Cookies page, control 1045
#define IDS_COOKIES_HINT        232  // Cookies page, control 1046
#define IDS_DOMAIN_HINT         241  // Domain Info page, control 1054
#define IDS_DOMAIN_NAME         242  // Domain Info page, control 1055
#define IDS_DOMAIN_SERVER       243  // Domain Info page, control 1056
#define IDS_DOMAIN_ONLINE       244  // Domain Info page, control 1057
#define IDS_OPTIONS_HEADER      251  // Options page, control 1049
#define IDS_OPTIONS_DETECT      252  // Options page, group box 1050
#define IDS_OPTIONS_PROGRAM     253  // Options page, group box 1051
#define IDS_ABOUT_TITLE         261  // About title when the own version cannot be read
#define IDS_ABOUT_TEXT          262  // About page, control 1042
#define IDS_ABOUT_LINKHINT      263  // About page, control 1043
#define IDS_NUTS_HEADER         271  // nuts dialog, control 1060
#define IDS_NUTS_TEXT           272  // nuts dialog, control 1061
#define IDS_NUTS_ADDHINT        273  // nuts dialog, control 1062
#define IDS_NUTS_REMOVEHINT     274  // nuts dialog, control 1063
#define IDS_BTN_PROPERTIES      301
#define IDS_BTN_REMOVE          302
#define IDS_BTN_REMOVEUNCHECKED 303
#define IDS_BTN_CLOSE           304
#define IDS_BTN_REFRESH         305
#define IDS_BTN_KILLTASK        306
#define IDS_BTN_LISTSERVERS     307
#define IDS_BTN_FIND            308
#define IDS_BTN_DEFAULTSERVER   309
#define IDS_BTN_FULLREPORT      310
#define IDS_BTN_ADD             311
#define IDS_BTN_NUTS            312
#define IDS_OPT_WARNSTARTUP     351  // Options page, check box 1014
#define IDS_OPT_WARNCOOKIES     352  // Options page, check box 1016
#define IDS_OPT_AUTORUN         353  // Options page, check box 1017
#define IDS_OPT_SOUND           354  // Options page, check box 1020
#define IDS_OPT_WININIT         355  // Options page, check box 1018
#define IDS_OPT_SNIFF           356  // Options page, control 1058
#define IDS_OPT_MINUTES         357  // Options page, control 1059
#define IDS_MENU_ABOUT          501  // tray menu items, in menu order
#define IDS_MENU_AUTORUN        502
#define IDS_MENU_STARTUP        503
#define IDS_MENU_TASKS          504
#define IDS_MENU_COOKIES        505
#define IDS_MENU_DOMAIN         506
#define IDS_MENU_RESTART        507
#define IDS_MENU_EXIT           508
#define IDS_WHOIS_QUERYING      601  // WHOIS status line texts
#define IDS_WHOIS_DONE          602
#define IDS_WHOIS_LISTING       603
#define IDS_WHOIS_LISTDONE      604
#define IDS_TAB_STARTUP         606  // property sheet tab titles, in tab order
#define IDS_TAB_TASKS           607
#define IDS_TAB_COOKIES         608
#define IDS_TAB_DOMAIN          609
#define IDS_TAB_OPTIONS         610
#define IDS_TAB_ABOUT           611
#define IDS_ALERT_CAPTION       612  // new-program alert caption
#define IDS_NO_DESCRIPTION      613  // full report: heading of an entry without title
#define IDS_BTN_DELETE          614  // Restart Commands, button 1003
#define IDS_COL_COOKIES         615  // Cookies page, the list's one column
#define IDS_COL_NUTS            616  // nuts dialog, the list's one column
#define IDS_NETSCAPE_COOKIES    617  // title of the Netscape cookie entry
#define IDS_VERSION_PREFIX      618  // About title, followed by the own product version
#define IDS_TRAY_TIP            619  // tooltip of the tray icon
#define IDS_IE_MAIN_KEY         623  // HKEY_CURRENT_USER key of the start page
#define IDS_IE_START_PAGE       624  // value name of the start page
#define IDS_ASK_STARTPAGE       625  // start page changed, %s = new page, %s = remembered page
#define IDS_DISABLED            626  // marks a disabled entry (label prefix, Version column)
#define IDS_COL_TITLE           627  // Startup Programs columns
#define IDS_COL_COMMAND         628
#define IDS_COL_MODULE          629  // Active Tasks column 0
#define IDS_COL_VERSION         630  // column 2 of both program lists
#define IDS_COL_DESCRIPTION     631  // Active Tasks column 1
#define IDS_BTN_ENABLE          632
#define IDS_BTN_DISABLE         633
#define IDS_LANGUAGE            634  // "us", or "de" for German message boxes
