// Numbers of the test dialog templates and their controls (shared by the tests and testdialogs.rc).
#pragma once

#define IDD_TEST_DATA 500    /* every kind of bound item and rule sources and targets */
#define IDD_TEST_NOFOCUS 510 /* item 800 asks the dialog manager to leave the focus alone */
#define IDD_TEST_FOCUS 511   /* the same dialog without item 800 */
#define IDD_TEST_PAGE 520    /* a wizard page with an entry, a check box and a bound button */

#define IDC_TEST_ENTRY 201
#define IDC_TEST_ENTRY_LABEL 55201
#define IDC_TEST_ENTRY2 202
#define IDC_TEST_CHECK 301
#define IDC_TEST_CHECK2 302
#define IDC_TEST_RADIO0 401
#define IDC_TEST_RADIO1 402
#define IDC_TEST_RADIO2 403
#define IDC_TEST_LISTFRAME 501
#define IDC_TEST_COMBO 502
#define IDC_TEST_BOUND 101
#define IDC_TEST_UNBOUND 102
#define IDC_TEST_TARGET 601
#define IDC_TEST_TARGET2 602
#define IDC_TEST_HELP 9
#define IDC_TEST_MARKER 800
