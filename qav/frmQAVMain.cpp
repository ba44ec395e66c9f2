#include "frmQAVMain.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string_view>

#include "filelist.h"
#include "mdlMain.h"
#include "pathname.h"
#include "program_info_win.h"
#include "progress_box.h"
#include "resource.h"
#include "theme.h"
#include "process_win.h"
#include "version.h"
#include "file_dialogs.h"
#include "folders_win.h"
#include "frmQAVSetup.h"
#include "icons_win.h"
#include "settings_win.h"
#include "shell_win.h"

namespace qav::app {
namespace {

constexpr wchar_t kMainClass[] = L"QAVMainWindow";
constexpr COLORREF kDesignColour = RGB(224, 255, 240);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kBarBack = RGB(255, 255, 255);
constexpr COLORREF kBarFill = RGB(0, 0, 160);
constexpr int kClientWidthTwips = 6510;
constexpr int kClientHeightTwips = 2790;
constexpr int kBannerHeightTwips = 780;  // the background picture's band behind Label4
constexpr char16_t kErrorTitle[] = u"錯誤報告";
constexpr char16_t kRestoreFailed[] = u"還原時發生問題！檔案可能毀損，或是儲存權限不夠！";
constexpr char16_t kNotAnArchive[] = u"這個檔案不是正確的 QAV 格式！";
constexpr char16_t kEmailAddress[] = u"zo7.qav@example.com";

// Twips positions: left, top, width, height.
struct Place {
  int id;
  int left, top, width, height;
};
constexpr Place kPlaces[] = {
    {IDC_LABEL4, 4740, 480, 1635, 195},  {IDC_LABEL2, 240, 900, 4515, 195},
    {IDC_PICTURE1, 180, 1200, 6150, 210}, {IDC_PICTURE2, 180, 1440, 6150, 210},
    {IDC_LABEL1, 240, 1800, 5595, 195},  {IDC_LABEL5, 240, 2040, 915, 195},
    {IDC_OUTPUT, 1200, 2040, 5055, 435}, {IDC_EMAIL, 3720, 2460, 2595, 225},
};

const wchar_t* w(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::string_view stubImage() {
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_STUB_IMAGE), L"QAV");
  HGLOBAL data = res ? LoadResource(nullptr, res) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, res)};
}

int screenDpi() {
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

// Turns engine events into the window's captions and bars. Captions change
// faster than anyone can read during a run of small files, so they are shown
// at most every 30 ms; the last ones always land.
class WindowProgress final : public Progress {
 public:
  WindowProgress(MainWindow& window, ProgressView view) : window_(window), view_(view) {}
  ~WindowProgress() override { flush(); }

  // The engine yields before every file and chunk; the window looks at its
  // queue, and moves its bars, at most every kPumpMs, and changes its captions
  // at most every 30 ms. Under some systems even an empty look costs as much
  // as copying a small file, and input waits no longer than a frame.
  bool yield() override {
    const ULONGLONG now = GetTickCount64();
    if (now - lastPump_ < kPumpMs) return !window_.quitRequested_;
    lastPump_ = now;
    catchUp();
    showBars();
    if (now - lastFlush_ >= 30) showCaptions();
    if (!win::pumpMessages()) window_.quitRequested_ = true;
    return !window_.quitRequested_;
  }

  // Captions are built only when they are shown: the backlog keeps the events.
  void event(const ProgressEvent& e) override {
    backlog_.add(e);
    if (e.kind == ProgressEvent::Kind::Finished || e.kind == ProgressEvent::Kind::Begin) flush();
  }

  void flush() {
    catchUp();
    showBars();
    showCaptions();
  }

 private:
  void catchUp() {
    if (backlog_.empty()) return;
    for (ProgressStep& step : backlog_.take(view_)) {
      switch (step.target) {
        case ProgressStep::Target::Label1: label1_ = std::move(step.text); dirty1_ = true; break;
        case ProgressStep::Target::Label2: label2_ = std::move(step.text); dirty2_ = true; break;
        case ProgressStep::Target::FileBar: bar_[0] = step.percent; barDirty_[0] = true; break;
        case ProgressStep::Target::TotalBar: bar_[1] = step.percent; barDirty_[1] = true; break;
      }
    }
  }
  void showBars() {
    if (barDirty_[0]) window_.Pgb(IDC_PICTURE1, bar_[0]);
    if (barDirty_[1]) window_.Pgb(IDC_PICTURE2, bar_[1]);
    barDirty_[0] = barDirty_[1] = false;
  }
  void showCaptions() {
    if (dirty2_) window_.setText(IDC_LABEL2, label2_);
    if (dirty1_) window_.setText(IDC_LABEL1, label1_);
    dirty1_ = dirty2_ = false;
    lastFlush_ = GetTickCount64();
  }

  static constexpr ULONGLONG kPumpMs = 15;
  MainWindow& window_;
  ProgressView view_;
  ProgressBacklog backlog_;
  std::u16string label1_, label2_;
  bool dirty1_ = false, dirty2_ = false;
  double bar_[2] = {};
  bool barDirty_[2] = {};
  ULONGLONG lastFlush_ = 0;
  ULONGLONG lastPump_ = 0;
};

LRESULT CALLBACK mainWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  MainWindow& self = MainWindow::instance();
  if (msg == WM_NCCREATE) self.wnd_ = wnd;
  if (self.wnd_ != wnd) return DefWindowProcW(wnd, msg, wp, lp);
  return self.handle(msg, wp, lp);
}

MainWindow& MainWindow::instance() {
  static MainWindow window;
  return window;
}

bool MainWindow::create(HINSTANCE instance) {
  instance_ = instance;
  registerProgressBox(instance);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kMainClass;
  wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  RegisterClassExW(&wc);

  dpi_ = screenDpi();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, scale(kClientWidthTwips), scale(kClientHeightTwips)};
  AdjustWindowRectEx(&r, style, TRUE, 0);
  CreateWindowExW(0, kMainClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                  r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!wnd_) return false;
  load();
  return true;
}

int MainWindow::scale(int twips) const { return MulDiv(twips, dpi_, 1440); }

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      onCreate();
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return onCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_SETCURSOR:
      if (onSetCursor(reinterpret_cast<HWND>(wp))) return TRUE;
      break;
    case WM_ERASEBKGND:
      onPaintBackground(reinterpret_cast<HDC>(wp));
      return 1;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd_, msg, wp, lp);
}

void MainWindow::onCreate() {
  auto label = [&](int id, const wchar_t* text, DWORD extra = 0) {
    CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | extra, 0,
                    0, 0, 0, wnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                    nullptr);
  };
  label(IDC_LABEL4, L"應用程式封裝工具");
  label(IDC_LABEL2, L"作業進度：");
  bars_[0] = createProgressBox(wnd_, IDC_PICTURE1, kBarBack, kBarFill);
  bars_[1] = createProgressBox(wnd_, IDC_PICTURE2, kBarBack, kBarFill);
  label(IDC_LABEL1, L"處理情形：", SS_ENDELLIPSIS);
  label(IDC_LABEL5, L"輸出位置：");
  label(IDC_OUTPUT, L"", SS_NOTIFY | SS_EDITCONTROL);  // long paths wrap onto the second line
  CreateWindowExW(0, L"EDIT", w(kEmailAddress), WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL,
                  0, 0, 0, 0, wnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EMAIL)),
                  instance_, nullptr);
  layout();
}

void MainWindow::layout() {
  if (font_) DeleteObject(font_);
  if (titleFont_) DeleteObject(titleFont_);
  font_ = CreateFontW(-MulDiv(12, dpi_, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH, L"新細明體");
  titleFont_ = CreateFontW(-MulDiv(22, dpi_, 96), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, L"新細明體");
  for (const Place& p : kPlaces) {
    HWND c = GetDlgItem(wnd_, p.id);
    MoveWindow(c, scale(p.left), scale(p.top), scale(p.width), scale(p.height), TRUE);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  if (icon_) DestroyIcon(icon_);
  int size = MulDiv(32, dpi_, 96);
  icon_ = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, size, size, 0));
}

void MainWindow::load() {
  // The stored colour, or the design colour when it is missing or not hexadecimal.
  Colour colour = kDesignColour;
  if (!parseHexColour(win::GetProgramSetting(u"程式參數", u"RGB", hexColour(kDesignColour)),
                      colour))
    colour = kDesignColour;
  backColour_ = colour;
  if (backBrush_) DeleteObject(backBrush_);
  backBrush_ = CreateSolidBrush(backColour_);
  win::SaveProgramSetting(u"程式參數", u"RGB", hexColour(colour));
  InvalidateRect(wnd_, nullptr, TRUE);

  const ProgramValues& p = program();
  header.magic = u"QAV";
  header.versionMajor = static_cast<int16_t>(p.major);
  header.versionMinor = static_cast<int16_t>(p.minor);
  header.versionRevision = static_cast<int16_t>(p.revision);
  std::u16string caption = u"集裝檔(QAV) v" + p.versionText + u"  by 白　岩 (Zo7)";
  SetWindowTextW(wnd_, w(caption));

  // Tie the program into the Explorer at every start, so that a moved program
  // re-registers itself; both fail silently without the rights. On a thread of
  // its own: the shell link and the registry take longer than showing the
  // window, and a restore from the command line need not wait for them.
  if (shellThread_) return;
  auto* name = new std::u16string(p.productName);
  shellThread_ = CreateThread(nullptr, 0, tieIntoShell, name, 0, nullptr);
  if (!shellThread_) tieIntoShell(name);  // no thread to be had: do it here
}

DWORD WINAPI MainWindow::tieIntoShell(void* productName) {
  std::unique_ptr<std::u16string> name(static_cast<std::u16string*>(productName));
  std::u16string folder = win::moduleFolder();
  std::u16string programPath = folder + u"\\" + win::moduleBaseName() + u".exe";
  win::RegisterFileType(programPath, u".qav");
  std::u16string iconPath = win::解出圖示(u"MAIN_ICON");
  win::建立捷徑(u"SendTo", *name, programPath, folder, iconPath);
  return 0;
}

void MainWindow::waitForShellTies() {
  if (!shellThread_) return;
  WaitForSingleObject(shellThread_, INFINITE);
  CloseHandle(shellThread_);
  shellThread_ = nullptr;
}

void MainWindow::onCommand(int id, int code) {
  switch (id) {
    case IDM_PACK:
      if (!busy_) pickAndPack();
      break;
    case IDM_RESTORE:
      if (!busy_) pickAndRestore();
      break;
    case IDM_ABOUT:
    case IDM_UPDATE:
      break;  // the About box and the update window come with their own windows
    case IDM_QUIT:
      onClose();
      break;
    case IDC_OUTPUT:
      if (code == STN_CLICKED) openOutputLocation();
      break;
  }
}

void MainWindow::onClose() {
  // A running pack or restore stops at its next yield and cleans up first.
  if (busy_) {
    quitRequested_ = true;
    return;
  }
  DestroyWindow(wnd_);
}

LRESULT MainWindow::onCtlColor(HDC dc, HWND control) {
  int id = GetDlgCtrlID(control);
  SetBkColor(dc, backColour_);
  switch (id) {
    case IDC_LABEL4:
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    case IDC_EMAIL:
      SetTextColor(dc, emailColour_);
      break;
    case IDC_OUTPUT:
      SetTextColor(dc, outputColour_);
      break;
    default:
      SetTextColor(dc, kBlue);
  }
  return reinterpret_cast<LRESULT>(backBrush_);
}

bool MainWindow::onSetCursor(HWND over) {
  // The pointer colours: the e-mail text turns blue under the pointer, the
  // output label red; anywhere else they return to grey and blue.
  if (over != hoverControl_) {
    hoverControl_ = over;
    int id = over == wnd_ ? 0 : GetDlgCtrlID(over);
    COLORREF email = id == IDC_EMAIL ? kBlue : kGrey;
    COLORREF output = id == IDC_OUTPUT ? kRed : kBlue;
    if (email != emailColour_) {
      emailColour_ = email;
      InvalidateRect(GetDlgItem(wnd_, IDC_EMAIL), nullptr, TRUE);
    }
    if (output != outputColour_) {
      outputColour_ = output;
      InvalidateRect(GetDlgItem(wnd_, IDC_OUTPUT), nullptr, TRUE);
    }
  }
  if (over == GetDlgItem(wnd_, IDC_OUTPUT) && GetWindowTextLengthW(over) > 0) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
  }
  return false;
}

void MainWindow::onPaintBackground(HDC dc) {
  RECT client;
  GetClientRect(wnd_, &client);
  FillRect(dc, &client, backBrush_);
  // The background picture: a band fading from deep teal into the window colour,
  // with the program icon and its name, behind the white Label4.
  int band = scale(kBannerHeightTwips);
  for (int y = 0; y < band; ++y) {
    int t = MulDiv(y, 255, band);
    COLORREF c = RGB(MulDiv(0, 255 - t, 255) + MulDiv(GetRValue(backColour_) / 3, t, 255),
                     MulDiv(96, 255 - t, 255) + MulDiv(GetGValue(backColour_) / 2, t, 255),
                     MulDiv(110, 255 - t, 255) + MulDiv(GetBValue(backColour_) / 2, t, 255));
    HBRUSH b = CreateSolidBrush(c);
    RECT line = {client.left, y, client.right, y + 1};
    FillRect(dc, &line, b);
    DeleteObject(b);
  }
  int margin = MulDiv(8, dpi_, 96);
  int iconSize = MulDiv(32, dpi_, 96);
  if (icon_) DrawIconEx(dc, margin, (band - iconSize) / 2, icon_, iconSize, iconSize, 0, nullptr, DI_NORMAL);
  HGDIOBJ old = SelectObject(dc, titleFont_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT title = {margin * 2 + iconSize, 0, client.right, band};
  DrawTextW(dc, L"QAV 集裝檔", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old);
}

void MainWindow::onDpiChanged(int dpi, const RECT* suggested) {
  dpi_ = dpi;
  if (suggested)
    SetWindowPos(wnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  layout();
  InvalidateRect(wnd_, nullptr, TRUE);
}

void MainWindow::setText(int id, const std::u16string& value) {
  SetDlgItemTextW(wnd_, id, w(value));
}

std::u16string MainWindow::text(int id) const {
  HWND c = GetDlgItem(wnd_, id);
  std::u16string s(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, u'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(c, reinterpret_cast<wchar_t*>(s.data()),
                                              static_cast<int>(s.size()))));
  return s;
}

void MainWindow::showError(const std::u16string& message) {
  MessageBoxW(wnd_, w(message), w(kErrorTitle), MB_OK | MB_ICONERROR);
}

int MainWindow::Pgb(int barId, double percent) {
  const int rounded = static_cast<int>(percent + 0.5);
  const int i = barId == IDC_PICTURE1 ? 0 : 1;
  if (rounded != barShown_[i]) {
    SendMessageW(bars_[i], PBM_SETPOS, static_cast<WPARAM>(rounded), 0);
    barShown_[i] = rounded;
  }
  return rounded;
}

void MainWindow::setBusy(bool busy) {
  // A second pack or restore started through the yields would share the
  // header and the chunk buffer with the running one.
  busy_ = busy;
  HMENU menu = GetMenu(wnd_);
  UINT state = MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED);
  EnableMenuItem(menu, IDM_PACK, state);
  EnableMenuItem(menu, IDM_RESTORE, state);
  DrawMenuBar(wnd_);
}

int MainWindow::設定檔案資料(const std::u16string& selectionText) {
  Selection selection = parseSelection(selectionText);
  if (selection.names.empty()) return 0;
  sourceFolder = selection.folder;
  win::SaveProgramSetting(u"Dialog", u"打包資料夾", sourceFolder);
  defaultBaseName = defaultOutputName(selection.names.front());

  std::vector<ArchiveEntry> entries;
  entries.reserve(selection.names.size());
  for (const std::u16string& name : selection.names) {
    std::u16string path = sourceFolder + name;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(w(path), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // Listing it with a made-up size would write a broken archive later.
      showError(u"無法讀取檔案「" + path + u"」，檔案可能已不存在或不是一般檔案。");
      return 0;
    }
    auto time = [](const FILETIME& t) {
      return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    };
    uint64_t size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    ArchiveError error = appendEntry(entries, name, size, time(data.ftLastAccessTime),
                                     time(data.ftLastWriteTime));
    if (!error.ok()) {
      showError(describeArchiveError(error));
      return 0;
    }
  }
  header.entries = std::move(entries);
  fileCount = static_cast<int>(header.entries.size());
  return fileCount;
}

void MainWindow::儲存檔案() {
  if (busy_) return;
  // The dialog fills the header's settings and outputPath, and has closed
  // before the pack starts, so that only the main window shows its progress.
  if (ShowQAVSetup(wnd_, backColour_, header, sourceFolder, defaultBaseName, fileCount))
    存成集裝檔(outputPath, 512);
}

bool MainWindow::存成集裝檔(const std::u16string& outputPath, int chunkKB) {
  if (header.entries.empty() || busy_) return false;
  setBusy(true);
  EngineError error;
  {
    WindowProgress progress(*this, ProgressView::Pack);
    error = engine_.pack(platformFileSystem(), header, sourceFolder, outputPath, stubImage(),
                         static_cast<uint32_t>(chunkKB) * 1024, &progress);
  }
  setBusy(false);
  if (error.ok()) {
    setText(IDC_OUTPUT, outputPath);
  } else if (error.code != EngineErrorCode::Cancelled) {
    showError(describeEngineError(error));
  }
  if (quitRequested_) DestroyWindow(wnd_);
  return error.ok();
}

void MainWindow::還原檔案(const std::u16string& archivePath, int chunkKB) {
  if (busy_) return;
  std::u16string path = archivePath;
  std::u16string drive = Get磁碟名(path);
  std::u16string archiveFolder = drive + Get路徑名(path);
  std::u16string baseName = Get主檔名(path);
  SetCurrentDirectoryW(w(archiveFolder));

  header = ArchiveHeader{};
  EngineError error = engine_.openArchive(platformFileSystem(), archivePath,
                                          archiveOffset(archivePath), header);
  if (!error.ok()) {
    bool notOurs = error.code == EngineErrorCode::Header &&
                   error.archive.code == ArchiveErrorCode::BadMagic;
    showError(notOurs ? kNotAnArchive : kRestoreFailed);
    return;
  }

  std::u16string target;
  if (從子文件啟動) {
    target = archiveFolder + baseName + u"\\";
    if (!win::新建資料夾(target)) {
      engine_.closeArchive();
      showError(kRestoreFailed);
      return;
    }
  } else {
    std::u16string title = u"這是 QAV 合併檔案包，內有 " + decimal(header.entries.size()) +
                           u" 個檔案，\r\n請選擇要另存資料夾，或按〔取消〕使用原資料夾。";
    target = win::BrowseFolder(wnd_, title, 0, 0x50);
    if (target.empty()) target = archiveFolder;
    if (target.back() != u'\\') target += u'\\';
  }
  SetCurrentDirectoryW(w(archiveFolder));

  setBusy(true);
  {
    WindowProgress progress(*this, ProgressView::Restore);
    error = engine_.restore(header, target, RestoreMode::MoveAside,
                            static_cast<uint32_t>(chunkKB) * 1024, &progress);
  }
  setBusy(false);
  if (error.ok()) {
    setText(IDC_OUTPUT, target);
  } else if (error.code != EngineErrorCode::Cancelled) {
    showError(kRestoreFailed);
  }
  if (quitRequested_) DestroyWindow(wnd_);
}

void MainWindow::pickAndPack() {
  // A run started with arguments keeps this command inert.
  if (!commandLineArguments().empty()) return;
  std::u16string folder = win::GetProgramSetting(u"Dialog", u"打包資料夾", u"");
  std::u16string selection = win::OpenFilesDialog(
      wnd_, u"請選取要合併的檔案：", u"所有檔案(*.*)|*.*", folder, true);
  if (selection.empty()) return;
  if (設定檔案資料(selection) > 0) 儲存檔案();
}

void MainWindow::pickAndRestore() {
  std::u16string folder = win::GetProgramSetting(u"Dialog", u"解包資料夾", u"");
  std::u16string path = win::OpenFilesDialog(wnd_, u"請選取要還原的 QAV 檔案：",
                                             u"QAV檔案包 (*.qav)|*.qav|QAV自解檔 (*.exe)|*.exe",
                                             folder, false);
  std::u16string chosen = path;
  win::SaveProgramSetting(u"Dialog", u"解包資料夾", Get路徑名(chosen));
  if (!path.empty()) 還原檔案(path, 512);
}

void MainWindow::openOutputLocation() {
  std::u16string shown = text(IDC_OUTPUT);
  if (shown.empty()) return;
  // Quoted, so that a path with a comma or spaces still selects the right item.
  std::u16string parameters = u"/select,\"" + shown + u"\"";
  ShellExecuteW(wnd_, L"open", L"explorer.exe", w(parameters), nullptr, SW_SHOWNORMAL);
}

}  // namespace qav::app
