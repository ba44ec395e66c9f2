// Resource IDs of qav.
#pragma once

// Resources
#define IDR_MANIFEST 1
#define IDR_MAINMENU 100
#define IDR_STUB_IMAGE 101  // type "QAV": the installer stub written before executable containers

// Icons: the program icon first; the archive-file icon is the eighth group (index 7).
#define IDI_MAIN 1
#define IDI_ARCHIVE 107

// Menu commands of the main window
#define IDM_PACK 40001     // 打包檔案(&M)
#define IDM_RESTORE 40002  // 還原檔案(&S)
#define IDM_ABOUT 40003    // 說明(&H)
#define IDM_UPDATE 40004   // 版本升級(&U)
#define IDM_QUIT 40005     // 結束程式(&Q)

// Controls of the main window
#define IDC_LABEL1 1001    // current file / summary
#define IDC_LABEL2 1002    // "正在處理第 k 個檔案.."
#define IDC_LABEL4 1004    // "應用程式封裝工具"
#define IDC_LABEL5 1005    // "輸出位置："
#define IDC_OUTPUT 1006    // lbl_輸出位置: output file or folder, clickable
#define IDC_EMAIL 1007     // txt_email
#define IDC_PICTURE1 1101  // bar: chunks of the current file
#define IDC_PICTURE2 1102  // bar: all files
