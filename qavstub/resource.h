// Resource and control IDs of the installer stub (the end-to-end tests find
// the controls by these IDs).
#pragma once
#define IDI_STUB 1
#define IDR_MANIFEST 1

#define IDC_LABEL4 101    // title on the banner
#define IDC_MSG1 102      // "正在安裝：" and the package name
#define IDC_LABEL2 103    // "到資料夾："
#define IDC_MSG2 104      // the target folder
#define IDC_PICTURE1 105  // bar: progress within the current file
#define IDC_PICTURE2 106  // bar: progress over all files
#define IDC_LABEL1 107    // status line
#define IDC_LABEL3 108    // contact address
