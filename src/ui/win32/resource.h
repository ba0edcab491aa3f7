// Resource ids, shared by the resource script and the code. Plain #defines: windres reads it too.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_VENTRELCONF_DIALOG 102
#define IDC_MODEL_LIST 1000
#define IDS_FILE_NOT_FOUND 61247
