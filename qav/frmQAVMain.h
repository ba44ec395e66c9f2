// The main window: five menu commands, the progress labels and bars, the
// output label, and the program-wide archive header that the file list, the
// pack and the restore work on.
#pragma once
#include <windows.h>

#include <string>

#include "archive.h"
#include "engine.h"

namespace qav::app {

class MainWindow {
 public:
  static MainWindow& instance();

  // Creates the window and runs its load sequence (colour, caption, file
  // association, SendTo entry); does not show it.
  bool create(HINSTANCE instance);
  HWND hwnd() const { return wnd_; }

  // Builds the entry table from "folder NUL name1 NUL name2 ..." or one full
  // path; returns the number of files, 0 when a file could not be listed (the
  // user has been told which).
  int 設定檔案資料(const std::u16string& selection);
  // Opens the package settings and packs from there.
  void 儲存檔案();
  // Restores an archive: asks for the folder unless 從子文件啟動 is set.
  void 還原檔案(const std::u16string& archivePath, int chunkKB);
  // Writes the program-wide header and the listed files to outputPath.
  // Returns false when it failed (the user has been told why).
  bool 存成集裝檔(const std::u16string& outputPath, int chunkKB);
  // Fills a bar to `percent` and returns it rounded.
  int Pgb(int barId, double percent);

  bool 從子文件啟動 = false;

  // Program-wide values of the file list.
  ArchiveHeader header;
  std::u16string sourceFolder;
  std::u16string defaultBaseName;
  int fileCount = 0;

  bool busy() const { return busy_; }

  // The file association and the SendTo entry are written on a thread of their
  // own at creation; the program waits for it before it ends.
  void waitForShellTies();

 private:
  friend LRESULT CALLBACK mainWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend class WindowProgress;
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void onCreate();
  void onCommand(int id, int code);
  void onClose();
  LRESULT onCtlColor(HDC dc, HWND control);
  bool onSetCursor(HWND over);
  void onPaintBackground(HDC dc);
  void onDpiChanged(int dpi, const RECT* suggested);

  void load();
  static DWORD WINAPI tieIntoShell(void* productName);
  void layout();
  void pickAndPack();
  void pickAndRestore();
  void openOutputLocation();
  void setBusy(bool busy);
  void showError(const std::u16string& text);
  void setText(int id, const std::u16string& text);
  std::u16string text(int id) const;
  int scale(int twips) const;  // twips -> pixels at the window's DPI

  HWND wnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = 96;
  COLORREF backColour_ = RGB(224, 255, 240);
  HBRUSH backBrush_ = nullptr;
  HFONT font_ = nullptr;
  HFONT titleFont_ = nullptr;
  HICON icon_ = nullptr;
  COLORREF emailColour_ = RGB(128, 128, 128);
  COLORREF outputColour_ = RGB(0, 0, 255);
  HWND hoverControl_ = nullptr;
  // The bars and the value each was last set to: a bar is only told when its
  // rounded percentage changes (a message per chunk costs as much as the chunk's
  // copy under some systems).
  HANDLE shellThread_ = nullptr;
  HWND bars_[2] = {};
  int barShown_[2] = {-1, -1};
  bool busy_ = false;
  bool quitRequested_ = false;
  Engine engine_;  // owns the one chunk buffer for packing and restoring
};

}  // namespace qav::app
