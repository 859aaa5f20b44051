/*
 * emaildialogids.h - the controls of a template for EMAIL::SendDialog.
 * Plain #defines: included by the code and by the resource scripts that hold
 * such a template.
 */
#ifndef ORVIK_LIB_NET_EMAILDIALOGIDS_H
#define ORVIK_LIB_NET_EMAILDIALOGIDS_H

#define IDC_MAIL_RECEIVER 1001 /* read-only */
#define IDC_MAIL_SENDER   1002
#define IDC_MAIL_SUBJECT  1003
#define IDC_MAIL_BODY     1004
#define IDC_MAIL_STATUS   1005
#define IDC_MAIL_SEND     1009 /* Cancel is IDCANCEL */

#endif
