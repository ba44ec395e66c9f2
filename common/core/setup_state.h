// The rules of the package settings dialog, kept apart from its window: which
// controls are enabled or ticked, what the name box and folder line hold, the
// icon choice, the typing filters, and what a confirmation writes. The window
// code only copies this state into its controls and hands user actions to the
// operations below; the one platform service the rules need (counting the
// icons of a file) comes through SetupPlatform.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive.h"
#include "theme.h"

namespace qav {

class SetupPlatform {
 public:
  // Number of icons in the file; 0 when it has none or cannot be read.
  virtual int iconCount(const std::u16string& file) = 0;
  // Path of the temporary default icon of a type ("cmd", "doc", "pps", "vbs",
  // "xls") that the dialog wrote when it opened.
  virtual std::u16string defaultIconFile(const std::u16string& type) = 0;

 protected:
  ~SetupPlatform() = default;
};

struct SetupInputs {
  std::vector<std::u16string> names;  // bare names of the packed files, in package order
  std::u16string sourceFolder;        // their folder, ending in "\"
  std::u16string defaultBaseName;     // first name without its last extension
  std::u16string installPathSetting;  // the stored install folder text, "" when none
};

// Why an install folder text is refused for an install under the program-files
// folder: the installer, running with administrator rights, would otherwise
// create and fill a folder outside it.
enum class InstallFolderProblem {
  None,
  ParentFolder,     // a ".." part (any part made only of dots)
  DriveOrColon,     // "C:\x", "C:x", "a:b"
  LeadingDoubleBackslash,  // "\\server\share", "//x"
};

struct SetupSwitch {
  bool enabled = true;
  bool ticked = false;
};

class SetupState {
 public:
  // Colours of the file list by kind (0x00BBGGRR).
  static constexpr Colour kBlack = 0x000000, kBlue = 0xFF0000, kRed = 0x0000FF;

  explicit SetupState(SetupPlatform& platform) : platform_(platform) {}

  // The opening: install folder text, count label, the three lists, the kind-2
  // option, the first main program, the name box and the folder line.
  void open(const SetupInputs& inputs);

  // ---- output kind, name and folder ----
  // Name ending of the selected kind; also colours the file list and switches
  // the install group, then the self-extract group.
  std::u16string 取回USER副檔名();
  void chooseKind(int kind);                      // click on an enabled kind option
  void 確定目標檔(const std::u16string& target);  // a typed or chosen path becomes the target
  void typeName(const std::u16string& text);      // the user changed the name box
  void leaveNameBox();                            // the name box lost the focus
  void clickFile(int index);                      // click on an entry of the file list
  void browsed(const std::u16string& path);       // the save dialog's answer; "" = cancelled
  std::u16string browseFilter() const;            // "description|pattern" for the save dialog
  std::u16string outputPath() const { return folderLine + nameBox; }

  // ---- settings groups ----
  void 自解參數設定區(bool enabled);
  void 安裝參數設定區(bool enabled);
  void 捷徑參數設定區(bool enabled);
  void clickInstallUnderProgramFiles();
  void clickInstallInCurrentFolder();
  void setMenuShortcut(bool ticked);     // by the user or the location rules
  void setDesktopShortcut(bool ticked);
  void selectMainProgram(int index);
  void selectIconSource(int index);
  void scrollIcon(int value);            // the scroll bar moved; limited to its range

  // ---- typing filters (typed characters only; pasted text is not filtered) ----
  static bool nameBoxAccepts(const std::u16string& current, char16_t typed);
  static bool installFolderAccepts(char16_t typed);
  static bool shortcutNameAccepts(char16_t typed);

  // ---- confirmation ----
  // Set when the name box was changed by the user and not normalised since.
  bool nameBoxEdited() const { return nameEdited_; }
  // The problem of the install folder text when this confirmation would store
  // it for an install under the program-files folder; None otherwise.
  InstallFolderProblem installFolderProblem() const;
  static InstallFolderProblem checkInstallFolder(const std::u16string& text);
  static std::u16string describe(InstallFolderProblem problem, const std::u16string& text);
  // outputKind and postCommand always; the install and shortcut fields for
  // the install package only (other kinds leave them as they were).
  void applyTo(ArchiveHeader& header) const;
  std::u16string shortcutIcon() const;
  // Text of the missing-folder question for the folder line.
  std::u16string missingFolderQuestion() const;

  // ---- the state the window shows ----
  int kind = 0;
  bool kindEnabled[3] = {true, true, true};

  std::u16string nameBox, folderLine, targetDrive, targetFolder;
  std::vector<std::u16string> files;
  Colour fileListColour = kBlack;
  std::u16string countLabel;

  bool selfGroupEnabled = true;  // Frame自解設定
  std::vector<std::u16string> postCommands;
  std::u16string postCommand;  // the box's text as typed
  bool postCommandEnabled = true;

  bool installGroupEnabled = true;  // the frame, both location options and Label5
  bool installUnderProgramFiles = true;
  std::u16string installFolder;     // txt_公司名稱
  bool installFolderEnabled = true;
  SetupSwitch startWithWindows{true, false};
  SetupSwitch registerComponents{true, true};
  SetupSwitch menuShortcut{true, true};
  SetupSwitch desktopShortcut{true, true};

  std::vector<std::u16string> mainPrograms;
  int mainProgramIndex = -1;
  bool mainProgramEnabled = true;
  bool mainProgramGrey = false;

  std::vector<std::u16string> iconSources;
  std::vector<std::u16string> iconList;  // "預設圖示" first when offered, then iconSources
  int iconListIndex = -1;
  bool iconListEnabled = true;
  std::u16string iconFile;
  int iconCount = 0;
  int iconIndex = 0;
  std::u16string iconCountLabel = u"0";  // Label3
  bool shortcutLabelsEnabled = true;     // Label3, Label6, Label7
  bool previewVisible = true;
  bool scrollEnabled = true;
  int scrollMax = 0;
  int scrollValue = 0;
  std::u16string iconIdLabel = u"0";     // lbl捷徑ID
  bool iconIdEnabled = true;
  std::u16string shortcutName;
  bool shortcutNameEnabled = true;       // and Label2

 private:
  std::u16string mainProgramExtension() const;  // lower-cased, first four characters
  void iconIndexChanged();

  SetupPlatform& platform_;
  std::u16string sourceFolder_;
  bool nameEdited_ = false;
};

// The first four characters of the extension (dot included) of a bare name,
// lower-cased: "a.DOCX" gives ".doc", "x" gives ".".
std::u16string shortExtension(const std::u16string& name);
bool isExecutableType(const std::u16string& shortExt);  // .exe .bat .cmd .vbs .pps .doc .xls
bool isIconSource(const std::u16string& shortExt);      // .exe .ico .dll

}  // namespace qav
