// Resource: the control identifiers of the program's dialog templates
// (Dialogs.rc), shared by the templates and the code that drives them.
// Plain #defines, so that the resource compiler can read them too.
//
// The same numbers mean different controls on different templates; the
// names say which. The page results are the identifiers of the navigation
// buttons: 101 Back, 102 Next, 103 Cancel.
#ifndef TARV_UI_RESOURCE_H
#define TARV_UI_RESOURCE_H

// Every page (and the progress page).
#define IDC_HEADER 100     // the title band, painted with the page bitmap and title
#define IDC_BACK 101
#define IDC_NEXT 102
#define IDC_CANCEL 103
#define IDC_SEPARATOR 104  // etched line above the buttons

// The first control of a page's own; on most pages its main text.
#define IDC_TEXT 105

// DLG_LANGUAGE
#define IDC_LANGUAGE_LIST 106
// DLG_LICENSE
#define IDC_LICENSE_YES 105
#define IDC_LICENSE_NO 106
#define IDC_LICENSE_QUESTION 107
#define IDC_LICENSE_TEXT 108
// DLG_README
#define IDC_README_TEXT 106
// DLG_DIR
#define IDC_DIR_GROUP 105
#define IDC_DIR_EDIT 106
#define IDC_DIR_BROWSE 107
#define IDC_DIR_EXPLANATION 108
// DLG_REBOOT
#define IDC_REBOOT_NOW 106
#define IDC_REBOOT_LATER 107
// DLG_FINISH, DLG_NOTFINISH: the OK button takes the separator's number
#define IDC_FINISH_OK 104
#define IDC_FINISH_SEPARATOR 105
#define IDC_FINISH_TEXT 106

// DLG_PROGRESS (its header, Cancel and separator are the common ones)
#define IDC_PROGRESS_NOTE 105
#define IDC_PROGRESS_STATUS 106
#define IDC_PROGRESS_FILE_BAR 107
#define IDC_PROGRESS_ALL_LABEL 108
#define IDC_PROGRESS_ALL_BAR 109

// DLG_PRESETUP and DLG_MESSAGE
#define IDC_WINDOW_ICON 100
#define IDC_PRESETUP_BAR 101
#define IDC_MESSAGE_TEXT 101

#endif
