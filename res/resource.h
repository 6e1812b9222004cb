/* Numbers shared by the resource scripts and the code. */
#ifndef ZELTRA_RESOURCE_H
#define ZELTRA_RESOURCE_H

/* Dialogs in front when shown: a folder window the shell opened for the
   program group may hold the foreground. */
#define ZL_DIALOG_STYLE  DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_VISIBLE | WS_CAPTION

/* Start command posted to the background window. */
#define IDM_START                 100

/* Icon placement dialog: a numeric template. */
#define IDD_ICON_PLACEMENT        307

/* Controls */
#define IDC_INSTALL_TITLE         2420
#define IDC_RADIO_FIRST           1851  /* install / desktop */
#define IDC_RADIO_SECOND          1852  /* remove / My Computer */
#define IDC_CLASSIC               1880
#define IDC_EXPLORER              2417
#define IDC_UTILITIES             2418
#define IDC_BROWSER               2419
#define IDC_COMPONENTS_HELP       9041
#define IDC_STATUS_TEXT           954
#define IDC_FOLDER_EDIT           954
#define IDC_PROMPT                3010
#define IDC_BROWSE                2416
#define IDC_GROUP_COMBO           2405
#define IDC_LOCATE_HEADING        1511
#define IDC_LOCATE_START          1280  /* posted to the Open dialog to refresh it */

/* Messages of the string table */
#define MSG_RESTART_AFTER_INSTALL 94
#define MSG_RESTART_AFTER_REMOVAL 95
#define MSG_ALL_FILES             10001
#define MSG_LOCATE                10002
#define MSG_CREATION_FAILED       10005
#define MSG_INSTALL_CAPTION       10006
#define MSG_COPYING               10007
#define MSG_COPY_FAILED           10008
#define MSG_DESC_HELP             10012
#define MSG_DESC_NEWS             10013
#define MSG_REMOVAL_COMPLETE      10014
#define MSG_REMOVE_CAPTION        10015
#define MSG_REMOVAL_LEFTOVERS     10016
#define MSG_REMOVAL_NO_INFO       10017
#define MSG_ENTER_DESTINATION     10021
#define MSG_DEST_IS_SOURCE        10022
#define MSG_NO_DESTINATION        10023
#define MSG_INSTALL_FAILED        10028
#define MSG_INSTALL_SUCCESS       10029
#define MSG_CONGRATULATIONS       10030
#define MSG_DESC_EXPLORER_HELP    10036
#define MSG_CLASS_FAILED          10042
#define MSG_WINDOW_FAILED         10043
#define MSG_CHOICE_INSTALL        10045
#define MSG_CHOICE_REMOVE         10046
#define MSG_NOTHING_SELECTED      10047
#define MSG_OLD_UNINSTALL_TITLE   10049
#define MSG_DELETE_INI_FILES      10052
#define MSG_DESC_ICON_LINK        10053
#define MSG_REMOVAL_TITLE         10054
#define MSG_STATUS_DELETING_FILES 10055
#define MSG_STATUS_UNINSTALL_INFO 10056
#define MSG_STATUS_DESKTOP_ICONS  10057
#define MSG_STATUS_UNREG_EXPLORER 10058
#define MSG_STATUS_UNREG_ICONLINK 10059
#define MSG_STATUS_LOCATE_GROUP   10060
#define MSG_STATUS_DELETE_ICON    10061
#define MSG_STATUS_CLOSE_ICONS    10062
#define MSG_STATUS_COMPLETED      10063
#define MSG_ADD_SITES             10064
#define MSG_SITES_CAPTION         10065
#define MSG_STATUS_UNREG_BROWSER  10067
#define MSG_STATUS_STOP_SCHEDULER 10068
#define MSG_STATUS_UNREG_SCHED    10069
#define MSG_DESC_UNINSTALL        10070

/* Messages this program adds for situations the original texts do not cover */
#define MSG_TEMP_UNUSABLE         10080
#define MSG_DEST_TOO_LONG         10082
#define MSG_GROUP_UNUSABLE        10083
#define MSG_NO_COMMON_DIALOGS     10084
#define MSG_CONFIRM_REMOVAL       10085
#define MSG_REMOVAL_RUNNING       10086
/* The command line: its usage, the refusal, and the reasons in the order
   of SwitchError (shell/cmdline.h). */
#define MSG_USAGE                 10100
#define MSG_SWITCH_REFUSED        10101
#define MSG_SWITCH_UNKNOWN        10102
#define MSG_SWITCH_NEEDS_VALUE    10103
#define MSG_SWITCH_NO_VALUE       10104
#define MSG_SWITCH_TOO_LONG       10105
#define MSG_SWITCH_UNUSABLE       10106
#define MSG_SWITCH_OPEN_QUOTE     10107
#define MSG_SWITCH_REPEATED       10108
#define MSG_SWITCH_NO_FILE        10109
#define MSG_SWITCH_NOT_WRITABLE   10110

#endif
