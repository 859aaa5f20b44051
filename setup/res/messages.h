/*
 * messages.h - numbers of the string resources and dialog templates in the
 * language libraries setupenglish.dll and setupgerman.dll.
 *
 * Included by setup.exe (C++) and by the resource scripts setup<lang>.rc, so
 * this file holds nothing but plain #defines.
 *
 * Conventions for the texts behind these numbers:
 *  - A string is read with a 256-byte buffer: no text may be longer than 255
 *    characters. Long messages are therefore split into two numbers that the
 *    engine joins (first + second) before showing them.
 *  - Placeholders are replaced by the engine after loading, all occurrences,
 *    exact case: "$PROGRAM" (application name, in the licence text name and
 *    version), "$PROG" (application name, or the advertised product on the
 *    advertisement page), "$DIR" (a folder), "$FILE" (an archive member).
 *    A text only carries the placeholders its user replaces (see below).
 *  - The maker name "Orvik" in IDS_MSGBOX_TITLE and IDS_UNINSTALL_TITLE is
 *    replaced by the application name where those texts become a window or
 *    message title, so both keep the word "Orvik".
 *  - Texts marked "printf" are format strings with exactly one "%s" and no
 *    other "%".
 *  - Lists use "|" between entries (field 0 first). A text that ends up in a
 *    "|" or ";" list (the uninstall link name) must contain neither.
 *  - Message-box texts use "\n" for line breaks.
 *  - IDS_LANGUAGE_SUFFIX is appended to setup.cfg keys: "Key" + suffix
 *    overrides "Key" for that language, keys with any other dotted suffix are
 *    dropped. English ".eng", German ".ger".
 */
#ifndef ORVIK_SETUP_RES_MESSAGES_H
#define ORVIK_SETUP_RES_MESSAGES_H

/* ---- Dialog templates (frame, pages, mail dialog) ---------------------- */

#define IDD_WIZARD_FRAME            10702 /* wizard frame: header, page area, Back/Next/Cancel */
#define IDD_PAGE_WELCOME             2001 /* welcome page, install kind */
#define IDD_PAGE_DESTINATION         2002 /* destination folder page */
#define IDD_PAGE_LICENCE             2003 /* licence agreement page */
#define IDD_PAGE_COPY                2004 /* copy progress page */
#define IDD_PAGE_SHORTCUTS           2005 /* start-menu and desktop shortcut page */
#define IDD_PAGE_ADVERTISE           2006 /* advertisement page */
#define IDD_PAGE_FINISH              2009 /* finish page */
#define IDD_PAGE_USERDATA            2010 /* product page: folder for user data */
#define IDD_PAGE_PROFILE             2011 /* product page: configuration profile */
#define IDD_PAGE_FEEDBACK            2013 /* uninstall: feedback page */
#define IDD_PAGE_REMOVE_OPTIONS      2014 /* uninstall: program only or all data */
#define IDD_PAGE_REMOVING            2015 /* uninstall: removal progress page */
#define IDD_MAIL_DIALOG              2090 /* feedback mail sender dialog */

/* ---- Titles ------------------------------------------------------------ */

#define IDS_DEFAULT_MSGBOX_TITLE    10001 /* message box shown without a title */
#define IDS_MSGBOX_TITLE             2900 /* every setup message box and the wizard caption; "Orvik" -> app name */
#define IDS_UNINSTALL_TITLE          2901 /* uninstall window and message title; "Orvik" -> app name */

/* ---- Install wizard: header title and subtitle per step ---------------- */

#define IDS_DEST_TITLE               2902 /* also the folder chooser's title (text up to a first "|") */
#define IDS_DEST_SUBTITLE            2903
#define IDS_LICENCE_TITLE            2904
#define IDS_LICENCE_SUBTITLE         2905
#define IDS_COPY_TITLE               2906
#define IDS_COPY_SUBTITLE            2907
#define IDS_COPY_STATUS_PREPARING    2908 /* copy page status; spare, not looked up at present */
#define IDS_COPY_STATUS_COPYING      2909 /* copy page status while the files are extracted */
#define IDS_COPY_STATUS_REGISTERING  2910 /* copy page status; spare, not looked up at present */
#define IDS_COPY_STATUS_COMPLETE     2911 /* copy page status when everything is copied */
#define IDS_WELCOME_TITLE            2912 /* followed directly by "AppName AppVersion": ends with a blank */
#define IDS_WELCOME_SUBTITLE         2913 /* normally replaced by WelcomeMsg of setup.cfg */
#define IDS_ADVERTISE_TITLE          2914 /* "$PROG" -> app name */
#define IDS_ADVERTISE_SUBTITLE       2915 /* "$PROG" -> advertised product */
#define IDS_SHORTCUT_TITLE           2916
#define IDS_SHORTCUT_SUBTITLE        2917
#define IDS_FINISH_TITLE             2918
#define IDS_FINISH_SUBTITLE          2919 /* "$PROG" -> app name */

/* ---- Product pages added by the product hook --------------------------- */

#define IDS_USERDATA_TITLE           2920
#define IDS_USERDATA_SUBTITLE        2921
#define IDS_PROFILE_TITLE            2922
#define IDS_PROFILE_SUBTITLE         2923

/* ---- Uninstall wizard -------------------------------------------------- */

#define IDS_FEEDBACK_TITLE           2932
#define IDS_FEEDBACK_SUBTITLE        2933
#define IDS_REMOVE_OPTIONS_TITLE     2934
#define IDS_REMOVE_OPTIONS_SUBTITLE  2935
#define IDS_REMOVING_TITLE           2936
#define IDS_REMOVING_SUBTITLE        2937
#define IDS_REMOVED_TITLE            2938 /* header title once the removal is done */
#define IDS_REMOVED_ALL_TEXT         2939 /* page text once the removal with all data is done */

/* ---- Product hook ------------------------------------------------------ */

#define IDS_ASK_MIGRATE_SETTINGS     2950 /* printf: %s = folder of the earlier version; Yes/No */
#define IDS_FEATURE_LEVEL_LIST       2951 /* "|" list, three entries, entry 2 preselected */

/* ---- Language ---------------------------------------------------------- */

#define IDS_LANGUAGE_SUFFIX          2980 /* setup.cfg key suffix of this language */
#define IDS_LANGUAGE_NAME            2981 /* name of this language in itself; spare */
#define IDS_LANGUAGE_ID              2982 /* Windows primary language id of this library (decimal); spare */
#define IDS_LICENCE_LANGUAGE         2984 /* licence file: 49 LIZENZ.TXT, 12 LICENSEFR.TXT, other LICENSE.TXT */

/* ---- Messages and questions -------------------------------------------- */

#define IDS_ERR_DEVICE_MANAGER       2983 /* mobile-device application manager not installed */
#define IDS_ERR_CONFIG_MISSING       2985 /* setup.cfg missing or unreadable */
#define IDS_ERR_DATABASE_ENGINE      2986 /* DAO 3.6 engine not found */
#define IDS_ASK_CONTINUE_SETUP       2987 /* Cancel pressed: Yes stays in the wizard, No quits */
#define IDS_ASK_RETRY_COPY           2988 /* "$FILE", "$PROGRAM", "$REASON" (the system's error text); Yes retries, No abandons copying */
#define IDS_ASK_UNINSTALL            2989 /* "$PROGRAM"; Yes starts the uninstallation */
#define IDS_ERR_DEST_NOT_WRITABLE    2990 /* spare, not looked up at present */
#define IDS_ERR_NEED_ADMIN           2991 /* "$PROGRAM"; spare, not looked up at present */
#define IDS_ASK_OVERWRITE            2992 /* printf: %s = description or file name; Yes replaces */
#define IDS_ASK_OVERWRITE_TITLE      2993
#define IDS_INSTALL_COMPLETE         2994 /* "$PROGRAM" */
#define IDS_MAIL_TEXTS               2995 /* "|" list of 7: caption, connect hint, sending, sent,
                                             error prefix, error text with "$error", done */
#define IDS_ALREADY_RUNNING_SPARE    2996 /* spare, not looked up at present */
#define IDS_ASK_CONTINUE_UNINSTALL   2997 /* Cancel pressed: Yes stays in the wizard, No quits */
#define IDS_UNINSTALL_LINK_NAME      2998 /* "$PROGRAM"; file name of a link: no | ; \ / : * ? " < > */
#define IDS_FINISH_BUTTON            3000 /* label of the Cancel button on the last page */
#define IDS_WARN_REMOVE_ALL_1        3008 /* "$PROGRAM", "$DIR"; first half, joined with 3009 */
#define IDS_WARN_REMOVE_ALL_2        3009 /* second half; Yes deletes everything */
#define IDS_ASK_DELETE_USERDATA_1    3010 /* "$PROGRAM", "$DIR"; first half, joined with 3011 */
#define IDS_ASK_DELETE_USERDATA_2    3011 /* second half; Yes deletes the folder */
#define IDS_WARN_FILES_LEFT_1        3012 /* "$DIR"; first half, joined with 3013; spare */
#define IDS_WARN_FILES_LEFT_2        3013 /* second half; spare */
#define IDS_DEST_EARLIER_VERSION     3014 /* hint on the destination page */
#define IDS_ERR_ARCHIVE_DAMAGED      3015 /* "$FILE"; a damaged package member: the copy stops */
#define IDS_ERR_DEST_RESERVED        3016 /* "$DIR"; a folder of Windows or of the user as destination */
#define IDS_ERR_DISK_SPACE           3017 /* "$PROGRAM", "$DIR", "$NEED", "$FREE" (megabytes); the page stays */
#define IDS_WRITE_REASON_UNKNOWN     3018 /* "$REASON" of 2988 when the system gave no error code */
#define IDS_SWITCHES_HELP            3019 /* "/?": the switches (the box shows 3019, 3021, 3022, 3023 and 3020) */
#define IDS_EXIT_CODES_HELP          3020 /* "/?": the exit codes */
#define IDS_SWITCHES_SILENT_HELP     3021 /* "/?": the switches of an unattended run */
#define IDS_SWITCHES_CHOICES_HELP    3022 /* "/?": the switches that make the shortcut page's choices */
#define IDS_SWITCHES_REMOVE_HELP     3023 /* "/?": the unattended uninstall */
#define IDS_COPY_STATUS_UNDONE       3024 /* copy page status after a failed or abandoned copy was undone */
#define IDS_SWITCHES_ALIASES_HELP    3031 /* "/?": other installers' spellings of the switches */
#define IDS_EXIT_CODES_MORE_HELP     3032 /* "/?": the exit codes 9 to 12, after 3020 */
#define IDS_ERR_ALREADY_RUNNING      3033 /* another setup or uninstall of the product runs: setup ends (9) */
#define IDS_ERR_ARCHIVE_METHOD       3036 /* "$FILE", "$METHOD"; a member packed with a method setup cannot read */
#define IDS_COPY_STATUS_DAMAGED      3040 /* copy page status after a damaged package: only Close is left */
#define IDS_CLOSE_BUTTON             3041 /* the Cancel button's label then */
#define IDS_COPY_STATUS_STOPPING     3042 /* copy page status once the user cancelled the copy */
#define IDS_REMOVAL_NOT_CANCELLABLE  3043 /* removal page, Cancel pressed while removing */
#define IDS_INTERRUPTED_RUN_UNDONE   3044 /* "$PROGRAM"; the wizard's first word after an interrupted run was undone */

/* ---- Command verbs ----------------------------------------------------- */

#define IDS_ADMIN_PRINTER_ADDED      3300
#define IDS_ADMIN_PRINTER_REMOVED    3301
#define IDS_REG_WRITE_FAILED         3302
#define IDS_REG_WRITE_DONE           3303

#endif /* ORVIK_SETUP_RES_MESSAGES_H */
