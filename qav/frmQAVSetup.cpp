#include "frmQAVSetup.h"

#include <shellapi.h>

#include <vector>

#include "file_dialogs.h"
#include "folders_win.h"
#include "frmQAVSetup_ids.h"
#include "icons_win.h"
#include "settings_win.h"
#include "setup_state.h"
#include "text_win.h"

namespace qav::app {

std::u16string outputPath;

namespace {

using win::W;

constexpr wchar_t kOldProc[] = L"QAVSetupOldProc";
constexpr char16_t kSection[] = u"程式參數";
constexpr char16_t kInstallPathKey[] = u"InstallPath";
constexpr const char16_t* kIconTypes[] = {u"cmd", u"doc", u"pps", u"vbs", u"xls"};
constexpr int kPreviewTwips = 495;

// Controls whose background is white; every other one takes the dialog's colour.
bool whiteControl(int id) {
  switch (id) {
    case IDC_CMB_NAME:
    case IDC_LIST_FILES:
    case IDC_CMB_POSTCMD:
    case IDC_TXT_INSTALLFOLDER:
    case IDC_CMB_MAINPROGRAM:
    case IDC_CMB_ICON:
    case IDC_TXT_SHORTCUTNAME:
      return true;
  }
  return false;
}

std::u16string windowText(HWND w) {
  std::u16string s(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, u'\0');
  s.resize(static_cast<size_t>(
      GetWindowTextW(w, reinterpret_cast<wchar_t*>(s.data()), static_cast<int>(s.size()))));
  return s;
}

class SetupDialog final : public SetupPlatform {
 public:
  SetupDialog(COLORREF background, ArchiveHeader& header, const SetupInputs& inputs)
      : background_(background), header_(header), inputs_(inputs) {}

  ~SetupDialog() {
    if (previewIcon_) DestroyIcon(previewIcon_);
    if (backBrush_) DeleteObject(backBrush_);
    if (whiteBrush_) DeleteObject(whiteBrush_);
  }

  // Writes the five default icons; the dialog shows them as "預設圖示".
  void writeIconFiles() {
    for (const char16_t* type : kIconTypes) iconFiles_.push_back(win::解出圖示(type));
  }
  // Whatever way the dialog closed, none of them stays behind.
  void deleteIconFiles() {
    for (const std::u16string& path : iconFiles_)
      if (!path.empty()) DeleteFileW(W(path));
    iconFiles_.clear();
  }

  static INT_PTR CALLBACK proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

  // SetupPlatform
  int iconCount(const std::u16string& file) override {
    UINT n = ExtractIconExW(W(file), -1, nullptr, nullptr, 0);
    return n > 32767 ? 0 : static_cast<int>(n);
  }
  std::u16string defaultIconFile(const std::u16string& type) override {
    for (size_t i = 0; i < iconFiles_.size(); ++i)
      if (type == kIconTypes[i] && !iconFiles_[i].empty()) return iconFiles_[i];
    return u"";
  }

 private:
  static LRESULT CALLBACK filteredEditProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp);

  INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);
  void init();
  void command(int id, int code, HWND control);
  void scroll(int code, int position);
  void confirm();
  INT_PTR colour(UINT msg, HDC dc, HWND control);
  void drawPreview(const DRAWITEMSTRUCT& item);
  void sync();
  void subclass(int id);

  HWND item(int id) const { return GetDlgItem(dlg_, id); }
  void show(int id, bool visible) { ShowWindow(item(id), visible ? SW_SHOW : SW_HIDE); }
  void enable(int id, bool on) {
    HWND w = item(id);
    if ((IsWindowEnabled(w) != FALSE) != on) EnableWindow(w, on);
  }
  void setText(int id, const std::u16string& text) {
    HWND w = item(id);
    if (windowText(w) != text) SetWindowTextW(w, W(text));
  }
  void check(int id, bool on) {
    CheckDlgButton(dlg_, id, on ? BST_CHECKED : BST_UNCHECKED);
  }
  bool checked(int id) const { return IsDlgButtonChecked(dlg_, id) == BST_CHECKED; }
  void fill(int id, const std::vector<std::u16string>& entries, UINT reset, UINT add) {
    HWND w = item(id);
    SendMessageW(w, reset, 0, 0);
    for (const std::u16string& e : entries)
      SendMessageW(w, add, 0, reinterpret_cast<LPARAM>(W(e)));
  }

  HWND dlg_ = nullptr;
  COLORREF background_;
  ArchiveHeader& header_;
  SetupInputs inputs_;
  SetupState state_{*this};
  std::vector<std::u16string> iconFiles_;
  HBRUSH backBrush_ = nullptr;
  HBRUSH whiteBrush_ = nullptr;
  bool syncing_ = false;
  std::vector<std::u16string> shownIconList_;
  std::u16string previewFile_;
  int previewIndex_ = -1;
  HICON previewIcon_ = nullptr;
};

INT_PTR CALLBACK SetupDialog::proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dlg, DWLP_USER, lp);
    auto* self = reinterpret_cast<SetupDialog*>(lp);
    self->dlg_ = dlg;
    self->init();
    return FALSE;  // the focus is set: the name box
  }
  auto* self = reinterpret_cast<SetupDialog*>(GetWindowLongPtrW(dlg, DWLP_USER));
  return self ? self->handle(msg, wp, lp) : FALSE;
}

INT_PTR SetupDialog::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return TRUE;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lp) == item(IDC_HSL_ICON)) scroll(LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_DRAWITEM:
      if (wp == IDC_PIC_ICON) {
        drawPreview(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
      }
      break;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return colour(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
  }
  return FALSE;
}

void SetupDialog::init() {
  backBrush_ = CreateSolidBrush(background_);
  whiteBrush_ = CreateSolidBrush(RGB(255, 255, 255));
  HWND owner = GetWindow(dlg_, GW_OWNER);
  if (owner) {
    SendMessageW(dlg_, WM_SETICON, ICON_BIG, GetClassLongPtrW(owner, GCLP_HICON));
    SendMessageW(dlg_, WM_SETICON, ICON_SMALL, GetClassLongPtrW(owner, GCLP_HICONSM));
  }
  // The preview holds one large icon at its own size: 495 twips square.
  HDC dc = GetDC(dlg_);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(dlg_, dc);
  RECT r;
  GetWindowRect(item(IDC_PIC_ICON), &r);
  MapWindowPoints(nullptr, dlg_, reinterpret_cast<POINT*>(&r), 2);
  const int side = MulDiv(kPreviewTwips, dpi, 1440);
  MoveWindow(item(IDC_PIC_ICON), r.left, r.top, side, side, FALSE);

  inputs_.installPathSetting = win::GetProgramSetting(kSection, kInstallPathKey, u"");
  state_.open(inputs_);

  for (int id : {IDC_CMB_NAME, IDC_TXT_INSTALLFOLDER, IDC_TXT_SHORTCUTNAME}) subclass(id);
  fill(IDC_LIST_FILES, state_.files, LB_RESETCONTENT, LB_ADDSTRING);
  fill(IDC_CMB_POSTCMD, state_.postCommands, CB_RESETCONTENT, CB_ADDSTRING);
  fill(IDC_CMB_MAINPROGRAM, state_.mainPrograms, CB_RESETCONTENT, CB_ADDSTRING);
  syncing_ = true;
  SetDlgItemTextW(dlg_, IDC_TXT_INSTALLFOLDER, W(state_.installFolder));
  syncing_ = false;
  sync();
  SetFocus(item(IDC_CMB_NAME));
}

void SetupDialog::subclass(int id) {
  HWND edit = item(id);
  SetPropW(edit, kOldProc,
           reinterpret_cast<HANDLE>(GetWindowLongPtrW(edit, GWLP_WNDPROC)));
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(filteredEditProc));
}

// The three text boxes refuse some typed characters. Only WM_CHAR is looked
// at: pasted text and text set by the program pass unfiltered.
LRESULT CALLBACK SetupDialog::filteredEditProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(edit, kOldProc));
  const int id = GetDlgCtrlID(edit);
  switch (msg) {
    case WM_GETDLGCODE:
      // Enter in the name box moves on instead of pressing "確定".
      if (id == IDC_CMB_NAME && lp) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if ((m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
          return CallWindowProcW(old, edit, msg, wp, lp) | DLGC_WANTALLKEYS;
      }
      break;
    case WM_CHAR: {
      const char16_t c = static_cast<char16_t>(wp);
      if (id == IDC_CMB_NAME) {
        if (c == u'\r') {
          HWND dlg = GetParent(edit);
          auto* self = reinterpret_cast<SetupDialog*>(GetWindowLongPtrW(dlg, DWLP_USER));
          const int kind = self ? self->state_.kind : 0;
          SendMessageW(dlg, WM_NEXTDLGCTL,
                       reinterpret_cast<WPARAM>(GetDlgItem(dlg, IDC_OPT_QAV0 + kind)), TRUE);
          return 0;
        }
        if (!SetupState::nameBoxAccepts(windowText(edit), c)) return 0;
      } else if (id == IDC_TXT_INSTALLFOLDER) {
        if (!SetupState::installFolderAccepts(c)) return 0;
      } else if (id == IDC_TXT_SHORTCUTNAME) {
        if (!SetupState::shortcutNameAccepts(c)) return 0;
      }
      break;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
      RemovePropW(edit, kOldProc);
      break;
  }
  return CallWindowProcW(old, edit, msg, wp, lp);
}

void SetupDialog::command(int id, int code, HWND control) {
  if (syncing_) return;
  // Only the notifications below change the state; any other one (EN_UPDATE,
  // EN_SETFOCUS, ...) must not copy the state back over what is being typed.
  const bool clicked = code == BN_CLICKED;
  auto selection = [&] {
    const UINT get = id == IDC_LIST_FILES ? LB_GETCURSEL : CB_GETCURSEL;
    return static_cast<int>(SendMessageW(control, get, 0, 0));
  };
  switch (id) {
    case IDC_CMB_NAME:
      if (code == EN_CHANGE) {
        state_.typeName(windowText(control));
        return;  // typing goes on; the box is normalised when it loses the focus
      }
      if (code != EN_KILLFOCUS) return;
      state_.typeName(windowText(control));
      state_.leaveNameBox();
      break;
    case IDC_CMD_BROWSE:
      if (!clicked) return;
      state_.browsed(win::SaveFileDialog(dlg_, u"正要儲存檔案包，請選擇存放的位置。",
                                         state_.browseFilter(), state_.nameBox));
      break;
    case IDC_OPT_QAV0:
    case IDC_OPT_QAV1:
    case IDC_OPT_QAV2:
      if (!clicked) return;
      state_.chooseKind(id - IDC_OPT_QAV0);
      break;
    case IDC_LIST_FILES:
      if (code != LBN_SELCHANGE) return;
      state_.clickFile(selection());
      break;
    case IDC_OPT_PROGRAMFILES:
      if (!clicked) return;
      state_.clickInstallUnderProgramFiles();
      break;
    case IDC_OPT_CURRENTFOLDER:
      if (!clicked) return;
      state_.clickInstallInCurrentFolder();
      break;
    case IDC_TXT_INSTALLFOLDER:
      if (code == EN_CHANGE) state_.installFolder = windowText(control);
      return;
    case IDC_CHK_STARTUP:
      if (!clicked) return;
      state_.startWithWindows.ticked = checked(id);
      break;
    case IDC_CHK_REGISTER:
      if (!clicked) return;
      state_.registerComponents.ticked = checked(id);
      break;
    case IDC_CHK_MENU:
      if (!clicked) return;
      state_.setMenuShortcut(checked(id));
      break;
    case IDC_CHK_DESKTOP:
      if (!clicked) return;
      state_.setDesktopShortcut(checked(id));
      break;
    case IDC_CMB_MAINPROGRAM:
      if (code != CBN_SELCHANGE) return;
      state_.selectMainProgram(selection());
      break;
    case IDC_CMB_ICON:
      if (code != CBN_SELCHANGE) return;
      state_.selectIconSource(selection());
      break;
    case IDC_TXT_SHORTCUTNAME:
      if (code == EN_CHANGE) state_.shortcutName = windowText(control);
      return;
    case IDOK:
      confirm();
      return;
    case IDCANCEL:  // "取消", Esc and the close box
      EndDialog(dlg_, IDCANCEL);
      return;
    default:
      return;
  }
  sync();
}

void SetupDialog::scroll(int code, int position) {
  int value = state_.scrollValue;
  switch (code) {
    case SB_LINELEFT:
    case SB_PAGELEFT: --value; break;
    case SB_LINERIGHT:
    case SB_PAGERIGHT: ++value; break;
    case SB_LEFT: value = 0; break;
    case SB_RIGHT: value = state_.scrollMax; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: value = position; break;
    default: return;
  }
  state_.scrollIcon(value);
  sync();
}

void SetupDialog::confirm() {
  // The name box is normalised when it loses the focus; a text that reached
  // it without the focus (set by another program) is normalised here.
  state_.typeName(windowText(item(IDC_CMB_NAME)));
  if (state_.nameBoxEdited()) {
    state_.leaveNameBox();
    sync();
  }
  const InstallFolderProblem problem = state_.installFolderProblem();
  if (problem != InstallFolderProblem::None) {
    MessageBoxW(dlg_, W(SetupState::describe(problem, state_.installFolder)), L"系統訊息：",
                MB_OK | MB_ICONEXCLAMATION);
    SendMessageW(dlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_TXT_INSTALLFOLDER)),
                 TRUE);
    return;
  }
  const std::u16string folder = state_.folderLine;
  const DWORD attributes = GetFileAttributesW(W(folder));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (MessageBoxW(dlg_, W(state_.missingFolderQuestion()), L"系統訊息：",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    if (!win::新建資料夾(folder)) {
      // Packing into it would only fail later, after the dialog has gone.
      MessageBoxW(dlg_, W(u"無法建立資料夾 " + folder + u" ，請改選其他位置。"), L"錯誤報告",
                  MB_OK | MB_ICONERROR);
      return;
    }
  }
  // The post command is an editable list: its text is taken as it stands now.
  state_.postCommand = windowText(item(IDC_CMB_POSTCMD));
  state_.applyTo(header_);
  win::SaveProgramSetting(kSection, kInstallPathKey, state_.installFolder);
  outputPath = state_.outputPath();
  EndDialog(dlg_, IDOK);
}

INT_PTR SetupDialog::colour(UINT msg, HDC dc, HWND control) {
  const int id = control ? GetDlgCtrlID(control) : 0;
  const bool white = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ||
                     (msg == WM_CTLCOLORSTATIC && whiteControl(id));
  if (msg == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(backBrush_);
  COLORREF text = RGB(0, 0, 0);
  if (id == IDC_LIST_FILES) text = state_.fileListColour;
  if (id == IDC_CMB_MAINPROGRAM && state_.mainProgramGrey) text = GetSysColor(COLOR_GRAYTEXT);
  if (control && !IsWindowEnabled(control)) text = GetSysColor(COLOR_GRAYTEXT);
  SetTextColor(dc, text);
  SetBkColor(dc, white ? RGB(255, 255, 255) : background_);
  return reinterpret_cast<INT_PTR>(white ? whiteBrush_ : backBrush_);
}

void SetupDialog::drawPreview(const DRAWITEMSTRUCT& d) {
  FillRect(d.hDC, &d.rcItem, backBrush_);
  if (previewIcon_) DrawIconEx(d.hDC, 0, 0, previewIcon_, 0, 0, 0, nullptr, DI_NORMAL);
}

// Copies the state into the controls.
void SetupDialog::sync() {
  syncing_ = true;
  const SetupState& s = state_;
  for (int k = 0; k < 3; ++k) {
    check(IDC_OPT_QAV0 + k, s.kind == k);
    enable(IDC_OPT_QAV0 + k, s.kindEnabled[k]);
  }
  setText(IDC_CMB_NAME, s.nameBox);
  setText(IDC_TXT_PATH, s.folderLine);
  setText(IDC_LBL_COUNT, s.countLabel);
  InvalidateRect(item(IDC_LIST_FILES), nullptr, TRUE);  // its text colour follows the kind

  enable(IDC_FRAME_SELF, s.selfGroupEnabled);
  enable(IDC_CMB_POSTCMD, s.postCommandEnabled);

  for (int id : {IDC_FRAME_INSTALL, IDC_OPT_PROGRAMFILES, IDC_OPT_CURRENTFOLDER,
                 IDC_LBL_WORKFOLDER})
    enable(id, s.installGroupEnabled);
  check(IDC_OPT_PROGRAMFILES, s.installUnderProgramFiles);
  check(IDC_OPT_CURRENTFOLDER, !s.installUnderProgramFiles);
  enable(IDC_TXT_INSTALLFOLDER, s.installFolderEnabled);
  const struct {
    int id;
    const SetupSwitch& box;
  } boxes[] = {{IDC_CHK_STARTUP, s.startWithWindows},
               {IDC_CHK_REGISTER, s.registerComponents},
               {IDC_CHK_MENU, s.menuShortcut},
               {IDC_CHK_DESKTOP, s.desktopShortcut}};
  for (const auto& b : boxes) {
    check(b.id, b.box.ticked);
    enable(b.id, b.box.enabled);
  }

  HWND main = item(IDC_CMB_MAINPROGRAM);
  SendMessageW(main, CB_SETCURSEL, static_cast<WPARAM>(s.mainProgramIndex), 0);
  enable(IDC_CMB_MAINPROGRAM, s.mainProgramEnabled);
  InvalidateRect(main, nullptr, TRUE);

  if (shownIconList_ != s.iconList) {
    fill(IDC_CMB_ICON, s.iconList, CB_RESETCONTENT, CB_ADDSTRING);
    shownIconList_ = s.iconList;
  }
  SendMessageW(item(IDC_CMB_ICON), CB_SETCURSEL, static_cast<WPARAM>(s.iconListIndex), 0);
  enable(IDC_CMB_ICON, s.iconListEnabled);
  for (int id : {IDC_LBL_ICONCOUNT, IDC_LBL_ICON, IDC_LBL_MAINPROGRAM})
    enable(id, s.shortcutLabelsEnabled);
  setText(IDC_LBL_ICONCOUNT, s.iconCountLabel);
  setText(IDC_LBL_ICONID, s.iconIdLabel);
  enable(IDC_LBL_ICONID, s.iconIdEnabled);

  HWND bar = item(IDC_HSL_ICON);
  SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_POS | SIF_PAGE, 0, s.scrollMax, 0, s.scrollValue, 0};
  SetScrollInfo(bar, SB_CTL, &si, TRUE);
  enable(IDC_HSL_ICON, s.scrollEnabled);

  setText(IDC_TXT_SHORTCUTNAME, s.shortcutName);
  enable(IDC_TXT_SHORTCUTNAME, s.shortcutNameEnabled);
  enable(IDC_LBL_SHORTCUTNAME, s.shortcutNameEnabled);

  // The preview: the icon at the chosen index, extracted again only when the
  // choice changed, kept for repainting and released when it changes.
  if (s.iconFile != previewFile_ || s.iconIndex != previewIndex_) {
    if (previewIcon_) DestroyIcon(previewIcon_);
    previewIcon_ = nullptr;
    previewFile_ = s.iconFile;
    previewIndex_ = s.iconIndex;
    if (!previewFile_.empty() && s.iconCount > 0)
      ExtractIconExW(W(previewFile_), previewIndex_, &previewIcon_, nullptr, 1);
    InvalidateRect(item(IDC_PIC_ICON), nullptr, TRUE);
  }
  show(IDC_PIC_ICON, s.previewVisible);
  syncing_ = false;
}

}  // namespace

bool ShowQAVSetup(HWND owner, COLORREF background, ArchiveHeader& header,
                  const std::u16string& sourceFolder, const std::u16string& defaultBaseName,
                  int fileCount) {
  SetupInputs inputs;
  inputs.sourceFolder = sourceFolder;
  inputs.defaultBaseName = defaultBaseName;
  for (int i = 0; i < fileCount && i < static_cast<int>(header.entries.size()); ++i)
    inputs.names.push_back(header.entries[static_cast<size_t>(i)].name);

  SetupDialog dialog(background, header, inputs);
  dialog.writeIconFiles();
  const INT_PTR result =
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QAVSETUP), owner,
                      SetupDialog::proc, reinterpret_cast<LPARAM>(&dialog));
  dialog.deleteIconFiles();
  return result == IDOK;
}

}  // namespace qav::app
