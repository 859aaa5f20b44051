/*
 * resourceids.h - numbers of the dialog controls, of setup.exe's own resources
 * and of the wizard steps.
 *
 * Included by the resource scripts (setup.rc, setup<lang>.rc) and by the
 * program, so that a template and the code that looks for its controls use
 * the same names. The numbers never change: the language libraries and the
 * hook libraries of existing packages rely on them. What only the program
 * uses (typed step ids) stands after RC_INVOKED.
 *
 * A label of a bound control has the control's number + 55000
 * (DATADIALOG_LABEL_OFFSET): the data dialog shows and hides it with the
 * control.
 */
#ifndef ORVIK_SETUP_RES_RESOURCEIDS_H
#define ORVIK_SETUP_RES_RESOURCEIDS_H

/* setup.exe's own resources */
#define IDI_SETUP                      1    /* program icon */
#define IDI_UNINSTALL                  2    /* uninstall link and wizard icon */
#define IDB_FINISH_PICTURE          2070    /* finish page picture, pure red transparent */

/* Wizard frame (IDD_WIZARD_FRAME) */
#define IDC_WIZARD_TITLE             666
#define IDC_WIZARD_SUBTITLE          667
#define IDC_WIZARD_ICON              916
#define IDC_WIZARD_HEADER            915    /* white header area, behind the texts */
#define IDC_WIZARD_PAGEAREA          914    /* where the pages are placed */
#define IDC_WIZARD_SPARE             901
#define IDC_WIZARD_BACK              148
#define IDC_WIZARD_NEXT              149
#define IDC_WIZARD_CANCEL       IDCANCEL
#define IDC_WIZARD_LINE_HEADER       100    /* separator lines the frame creates itself */
#define IDC_WIZARD_LINE_BUTTONS      101

/* Welcome (IDD_PAGE_WELCOME): the kind of installation, install mode 0-2 */
#define IDC_WELCOME_NEW              401
#define IDC_WELCOME_REINSTALL        402
#define IDC_WELCOME_UPDATE           403

/* Destination (IDD_PAGE_DESTINATION) */
#define IDC_DEST_FOLDER              201
#define IDC_DEST_FOLDER_LABEL      55201
#define IDC_DEST_BROWSE              101
#define IDC_DEST_HINT                202    /* the note about an earlier version (KYR hooks) */

/* Licence (IDD_PAGE_LICENCE) */
#define IDC_LICENCE_TEXT             201
#define IDC_LICENCE_PRINT            101
#define IDC_LICENCE_ACCEPT           301

/* Copy (IDD_PAGE_COPY) */
#define IDC_COPY_STATUS              201
#define IDC_COPY_PROGRESS            901    /* replaced by the progress bar */

/* Shortcuts (IDD_PAGE_SHORTCUTS) */
#define IDC_SHORTCUT_CURRENTUSER     401
#define IDC_SHORTCUT_ALLUSERS        402
#define IDC_SHORTCUT_NONE            403
#define IDC_SHORTCUT_DESKTOP         301

/* Advertisement (IDD_PAGE_ADVERTISE) */
#define IDC_ADVERTISE_TEASER1        650
#define IDC_ADVERTISE_TEASER2        651
#define IDC_ADVERTISE_DESCRIPTION    201
#define IDC_ADVERTISE_LINK           101

/* Finish (IDD_PAGE_FINISH) */
#define IDC_FINISH_TEXT              651
#define IDC_FINISH_PICTURE          2070

/* KYR product pages: user data (IDD_PAGE_USERDATA) and profile (IDD_PAGE_PROFILE), choices 1-5 */
#define IDC_KYR_CHOICE1              401
#define IDC_KYR_CHOICE2              402
#define IDC_KYR_CHOICE3              403
#define IDC_KYR_CHOICE4              404
#define IDC_KYR_CHOICE5              405
#define IDC_KYR_CHOICE_FIRST         IDC_KYR_CHOICE1
#define IDC_KYR_CHOICE_LAST          IDC_KYR_CHOICE5
#define IDC_KYR_CUSTOM_FOLDER        201    /* user-data page: the folder of choice 5 */
#define IDC_KYR_CUSTOM_BROWSE        101
#define IDC_KYR_LEVEL_LIST           501    /* profile page: feature level */

/* Uninstall feedback (IDD_PAGE_FEEDBACK) */
#define IDC_FEEDBACK_COMMENT         202
#define IDC_FEEDBACK_COMMENT_LABEL 55202
#define IDC_FEEDBACK_SEND            110

/* Uninstall options (IDD_PAGE_REMOVE_OPTIONS): remove-all choice "0" or "1" */
#define IDC_REMOVE_PROGRAM_ONLY      401
#define IDC_REMOVE_ALL               402

/* Removal (IDD_PAGE_REMOVING) */
#define IDC_REMOVING_TEXT            201    /* hidden once everything is removed with all data */
#define IDC_REMOVING_ALL_TEXT        202    /* shown then */
#define IDC_REMOVING_PROGRESS        901    /* replaced by the progress bar */
#define IDC_REMOVING_NOTE            203    /* shown when Cancel is pressed while removing */

/* Feedback mail (IDD_MAIL_DIALOG): the controls of the mail dialog */
#include "lib/net/emaildialogids.h"

#ifndef RC_INVOKED
#include <stdint.h>

/* Step ids of the install wizard; 0 is not allowed in a step that is reached. */
constexpr intptr_t STEPWELCOME = 1;
constexpr intptr_t STEPLICENCE = 2;
constexpr intptr_t STEPDESTINATION = 3;
constexpr intptr_t STEPCOPY = 4;
constexpr intptr_t STEPSHORTCUTS = 5;
constexpr intptr_t STEPADV = 6;
constexpr intptr_t STEPFINISH = 7;
constexpr intptr_t STEPEND = 9;
/* Steps the KYR hooks insert before the advertisement step. */
constexpr intptr_t STEPKYRUSERDATA = 15;
constexpr intptr_t STEPKYRPROFILE = 16;
/* Step ids of the uninstall wizard. */
constexpr intptr_t STEPFEEDBACK = 11;
constexpr intptr_t STEPREMOVEOPTIONS = 12;
#endif

#endif
