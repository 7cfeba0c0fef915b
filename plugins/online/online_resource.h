// Resource and control ids of the online plug-in, shared by its resource
// script and its code. Plain #defines: windres reads this file too.
#pragma once

#define IDI_ONLINE 9010       // the plug-in's icon, shown in the logon dialog

// Logon dialog.
#define IDD_LOGON 9011
#define IDC_LOGON_USER 9012
#define IDC_LOGON_PASSWORD 9013
#define IDC_LOGON_REMEMBER 9014

// Task chooser.
#define IDD_CHOOSER 500
#define IDC_CHOOSER_LIST 502

// About box.
#define IDD_ABOUT 510

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
