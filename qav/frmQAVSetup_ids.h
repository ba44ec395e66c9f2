// Resource IDs of the package settings dialog frmQAVSetup. The comments give
// each control's name in the dialog's design.
#pragma once

#define IDD_QAVSETUP 300

// Frame3 "儲存位置"
#define IDC_FRAME_TARGET 3001
#define IDC_TXT_PATH 3002        // txt路徑: drive and folder of the target
#define IDC_LBL_NAME 3003        // Label1 "檔名："
#define IDC_CMB_NAME 3004        // cmb檔名: the file name with its kind ending
#define IDC_CMD_BROWSE 3005      // cmd瀏覽

// Frame1 "輸出檔案格式"
#define IDC_FRAME_KIND 3006
#define IDC_OPT_QAV0 3010        // optQAV(0) ".qav 合併檔"
#define IDC_OPT_QAV1 3011        // optQAV(1) ".exe 自解檔"
#define IDC_OPT_QAV2 3012        // optQAV(2) ".exe 安裝程式包"
#define IDC_LBL_COUNT 3013       // Label4 "（共 n 個檔案）"
#define IDC_LIST_FILES 3014      // List1

// Frame自解設定 "解包後執行命令"
#define IDC_FRAME_SELF 3020
#define IDC_CMB_POSTCMD 3021     // cmb後置命令

// Frame安裝設定 "安裝程式參數設定"
#define IDC_FRAME_INSTALL 3030
#define IDC_OPT_PROGRAMFILES 3031   // opt安裝在程式集
#define IDC_TXT_INSTALLFOLDER 3032  // txt_公司名稱
#define IDC_LBL_WORKFOLDER 3033     // Label5 "\ (工作資料夾)"
#define IDC_OPT_CURRENTFOLDER 3034  // opt安裝在現用資料夾
#define IDC_CHK_STARTUP 3035        // chk隨系統啟動
#define IDC_CHK_REGISTER 3036       // chk註冊DLL_OCX
#define IDC_CHK_MENU 3037           // chk功能表捷徑
#define IDC_CHK_DESKTOP 3038        // chk桌面捷徑
#define IDC_LBL_MAINPROGRAM 3040    // Label7 "執行檔名："
#define IDC_CMB_MAINPROGRAM 3041    // cmb主要執行檔
#define IDC_LBL_ICON 3042           // Label6 "捷徑圖示："
#define IDC_CMB_ICON 3043           // cmb捷徑圖示
#define IDC_LBL_ICONCOUNT 3044      // Label3 "圖示：n"
#define IDC_HSL_ICON 3045           // hslICON
#define IDC_PIC_ICON 3046           // picICON: the icon preview
#define IDC_LBL_ICONID 3047         // lbl捷徑ID "(ID：n)"
#define IDC_LBL_SHORTCUTNAME 3048   // Label2 "捷徑名稱設定："
#define IDC_TXT_SHORTCUTNAME 3049   // txt捷徑名稱

// cmd確定 and cmd取消 are IDOK and IDCANCEL.
