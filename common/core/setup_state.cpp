#include "setup_state.h"

#include "pathname.h"
#include "version.h"

namespace qav {
namespace {

constexpr char16_t kDefaultIcon[] = u"預設圖示";
const char16_t* const kKindEndings[3] = {u"_qav.qav", u"_self.exe", u"_setup.exe"};
const Colour kKindColours[3] = {SetupState::kBlack, SetupState::kBlue, SetupState::kRed};

void removeAll(std::u16string& text, const std::u16string& what) {
  for (size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at))
    text.erase(at, what.size());
}

// The kind markers, so that a name does not pile up kind endings.
void removeKindMarkers(std::u16string& name) {
  for (const char16_t* marker : {u"_setup", u"_qav", u"_self", u"_new"}) removeAll(name, marker);
}

bool contains(const char16_t* set, char16_t c) {
  for (; *set; ++set)
    if (*set == c) return true;
  return false;
}

std::u16string trimSpaces(const std::u16string& s) {
  const size_t first = s.find_first_not_of(u' ');
  if (first == std::u16string::npos) return u"";
  return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

}  // namespace

std::u16string shortExtension(const std::u16string& name) {
  std::u16string e = stub::Get副檔名(name).substr(0, 4);
  for (char16_t& c : e)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return e;
}

bool isExecutableType(const std::u16string& e) {
  for (const char16_t* t : {u".exe", u".bat", u".cmd", u".vbs", u".pps", u".doc", u".xls"})
    if (e == t) return true;
  return false;
}

bool isIconSource(const std::u16string& e) {
  return e == u".exe" || e == u".ico" || e == u".dll";
}

void SetupState::open(const SetupInputs& in) {
  installFolder = in.installPathSetting.empty() ? std::u16string(u"公司名稱\\產品名稱")
                                                : in.installPathSetting;
  countLabel = u"（共 " + decimal(static_cast<int64_t>(in.names.size())) + u" 個檔案）";
  files.clear();
  postCommands.clear();
  mainPrograms.clear();
  iconSources.clear();
  iconIndex = 0;
  for (const std::u16string& name : in.names) {
    files.push_back(name);
    const std::u16string e = shortExtension(name);
    if (isExecutableType(e)) {
      postCommands.push_back(name);
      mainPrograms.push_back(name);
    }
    if (isIconSource(e)) iconSources.push_back(name);
  }
  sourceFolder_ = in.sourceFolder;
  kindEnabled[2] = !mainPrograms.empty();
  if (!mainPrograms.empty()) {
    selectMainProgram(0);
    shortcutName = stub::Get主檔名(mainPrograms[0]) + u"的捷徑";
    if (!iconList.empty() && !iconList[0].empty()) selectIconSource(0);
  }
  nameBox = in.defaultBaseName + 取回USER副檔名();
  const std::u16string target = in.sourceFolder + nameBox;
  targetDrive = stub::Get磁碟名(target);
  targetFolder = stub::Get路徑名(target);
  folderLine = targetDrive + targetFolder;
  nameEdited_ = false;
}

std::u16string SetupState::取回USER副檔名() {
  fileListColour = kKindColours[kind];
  安裝參數設定區(kind == 2);
  自解參數設定區(kind >= 1);
  return kKindEndings[kind];
}

void SetupState::chooseKind(int k) {
  if (k < 0 || k > 2 || !kindEnabled[k]) return;
  kind = k;
  std::u16string name = nameBox;
  removeAll(name, u".exe");
  removeKindMarkers(name);
  nameBox = stub::Get主檔名(name) + 取回USER副檔名();
}

void SetupState::確定目標檔(const std::u16string& target) {
  std::u16string drive = stub::Get磁碟名(target);
  std::u16string folder = stub::Get路徑名(target);
  std::u16string name = stub::Get主檔名(target);
  if (drive.empty()) drive = targetDrive;
  if (folder.empty()) folder = targetFolder;
  if (name.empty()) name = u"noname";
  if (folder.empty() || folder[0] != u'\\')
    folder = drive != targetDrive ? u"\\" + folder : targetFolder + folder;
  const std::u16string ending = 取回USER副檔名();
  removeKindMarkers(name);
  targetDrive = drive;
  targetFolder = folder;
  nameBox = name + ending;
  folderLine = drive + folder;
  nameEdited_ = false;
}

void SetupState::typeName(const std::u16string& text) {
  if (text == nameBox) return;
  nameBox = text;
  nameEdited_ = true;
}

void SetupState::leaveNameBox() { 確定目標檔(nameBox); }

void SetupState::clickFile(int index) {
  if (index < 0 || index >= static_cast<int>(files.size())) return;
  nameBox = files[static_cast<size_t>(index)];
  確定目標檔(nameBox);
}

void SetupState::browsed(const std::u16string& path) {
  if (!path.empty()) 確定目標檔(path);
}

std::u16string SetupState::browseFilter() const {
  return kind == 0 ? u"合併檔案(*.QAV)|*.QAV" : u"自解檔案(*.EXE)|*.EXE";
}

void SetupState::自解參數設定區(bool enabled) {
  selfGroupEnabled = enabled;
  postCommandEnabled = enabled;
}

void SetupState::安裝參數設定區(bool enabled) {
  installGroupEnabled = enabled;
  installFolderEnabled = enabled && installUnderProgramFiles;
  registerComponents.enabled = enabled;
  startWithWindows.enabled = enabled;
  desktopShortcut.enabled = enabled;
  menuShortcut.enabled = enabled;
  postCommandEnabled = enabled;
  mainProgramEnabled = enabled && !mainPrograms.empty();
  捷徑參數設定區(enabled);
  mainProgramGrey = !enabled;
}

void SetupState::捷徑參數設定區(bool enabled) {
  const bool ticked = menuShortcut.ticked || desktopShortcut.ticked;
  const bool on = enabled && !iconList.empty() && ticked;
  shortcutLabelsEnabled = on;
  previewVisible = on;
  scrollEnabled = on && iconCount > 1;
  iconListEnabled = on;
  shortcutNameEnabled = enabled && ticked;
  iconIdEnabled = on;
}

void SetupState::clickInstallInCurrentFolder() {
  installUnderProgramFiles = false;
  installFolderEnabled = installUnderProgramFiles;
  startWithWindows.ticked = false;
  setMenuShortcut(installUnderProgramFiles);
  setDesktopShortcut(installUnderProgramFiles);
  startWithWindows.enabled = menuShortcut.enabled = desktopShortcut.enabled =
      installUnderProgramFiles;
}

void SetupState::clickInstallUnderProgramFiles() {
  installUnderProgramFiles = true;
  installFolderEnabled = true;
  setMenuShortcut(true);
  setDesktopShortcut(true);
  startWithWindows.enabled = menuShortcut.enabled = desktopShortcut.enabled = true;
}

void SetupState::setMenuShortcut(bool ticked) {
  if (menuShortcut.ticked == ticked) return;
  menuShortcut.ticked = ticked;
  捷徑參數設定區(desktopShortcut.ticked || menuShortcut.ticked);
}

void SetupState::setDesktopShortcut(bool ticked) {
  if (desktopShortcut.ticked == ticked) return;
  desktopShortcut.ticked = ticked;
  捷徑參數設定區(desktopShortcut.ticked || menuShortcut.ticked);
}

std::u16string SetupState::mainProgramExtension() const {
  if (mainProgramIndex < 0 || mainProgramIndex >= static_cast<int>(mainPrograms.size()))
    return u"";
  return shortExtension(mainPrograms[static_cast<size_t>(mainProgramIndex)]);
}

void SetupState::selectMainProgram(int index) {
  if (index < 0 || index >= static_cast<int>(mainPrograms.size())) return;
  mainProgramIndex = index;
  shortcutName = stub::Get主檔名(mainPrograms[static_cast<size_t>(index)]) + u"應用程式";
  const std::u16string e = mainProgramExtension();
  iconList.clear();
  iconListIndex = -1;
  if (e.size() > 1 && std::u16string(u".bat.cmd.vbs.doc.xls.pps").find(e) != std::u16string::npos)
    iconList.push_back(kDefaultIcon);
  iconList.insert(iconList.end(), iconSources.begin(), iconSources.end());
  if (!iconList.empty()) selectIconSource(0);
}

void SetupState::selectIconSource(int index) {
  if (index < 0 || index >= static_cast<int>(iconList.size())) return;
  iconListIndex = index;
  std::u16string e = mainProgramExtension();
  if (e == u".bat") e = u".cmd";
  const std::u16string& entry = iconList[static_cast<size_t>(index)];
  if (entry == kDefaultIcon)
    iconFile = platform_.defaultIconFile(e.size() >= 3 ? e.substr(e.size() - 3) : e);
  else
    iconFile = sourceFolder_ + entry;
  int count = platform_.iconCount(iconFile);
  iconCount = count < 0 ? 0 : count > 32767 ? 32767 : count;
  iconCountLabel = u"圖示：" + decimal(iconCount);
  if (iconCount < 2) {
    scrollMax = 0;
    scrollValue = 0;
    scrollEnabled = false;
  } else {
    scrollEnabled = desktopShortcut.ticked || menuShortcut.ticked;
    scrollMax = iconCount - 1;
    scrollValue = iconIndex < scrollMax ? iconIndex : scrollMax;
  }
  iconIndexChanged();
}

void SetupState::scrollIcon(int value) {
  scrollValue = value < 0 ? 0 : value > scrollMax ? scrollMax : value;
  iconIndexChanged();
}

void SetupState::iconIndexChanged() {
  iconIndex = scrollValue;
  iconIdLabel = u"(ID：" + decimal(iconIndex) + u")";
}

bool SetupState::nameBoxAccepts(const std::u16string& current, char16_t c) {
  if (contains(u"\";,'|/`?*^", c)) return false;
  return !(c == u':' && current.find(u':') != std::u16string::npos);
}

bool SetupState::installFolderAccepts(char16_t c) { return !contains(u"\";,'|/:`?*^", c); }

bool SetupState::shortcutNameAccepts(char16_t c) { return !contains(u"\";,'|/\\:`?*^", c); }

InstallFolderProblem SetupState::checkInstallFolder(const std::u16string& text) {
  // Windows takes "/" for "\" as well, so both separate parts here.
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (text.size() >= 2 && separator(text[0]) && separator(text[1]))
    return InstallFolderProblem::LeadingDoubleBackslash;
  if (text.find(u':') != std::u16string::npos) return InstallFolderProblem::DriveOrColon;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && !separator(text[end])) ++end;
    // Windows drops trailing dots and spaces of a part: ". ." and "..." act as "..".
    int dots = 0;
    bool onlyDotsAndSpaces = end > start;
    for (size_t i = start; i < end; ++i) {
      if (text[i] == u'.') ++dots;
      else if (text[i] != u' ') onlyDotsAndSpaces = false;
    }
    if (onlyDotsAndSpaces && dots >= 2) return InstallFolderProblem::ParentFolder;
    start = end + 1;
  }
  return InstallFolderProblem::None;
}

InstallFolderProblem SetupState::installFolderProblem() const {
  if (kind != 2 || !installUnderProgramFiles) return InstallFolderProblem::None;
  return checkInstallFolder(installFolder);
}

std::u16string SetupState::describe(InstallFolderProblem problem, const std::u16string& text) {
  const std::u16string head = u"安裝資料夾「" + text + u"」";
  const std::u16string tail = u"\r\n安裝資料夾必須位於 Program Files 資料夾之內，請修改。";
  switch (problem) {
    case InstallFolderProblem::ParentFolder:
      return head + u"含有「..」(上一層資料夾)。" + tail;
    case InstallFolderProblem::DriveOrColon:
      return head + u"含有磁碟代號或冒號「:」。" + tail;
    case InstallFolderProblem::LeadingDoubleBackslash:
      return head + u"以「\\\\」開頭，指向網路位置。" + tail;
    case InstallFolderProblem::None:
      break;
  }
  return u"";
}

std::u16string SetupState::shortcutIcon() const {
  std::u16string icon;
  if (iconListIndex >= 0 && iconListIndex < static_cast<int>(iconList.size()) &&
      iconList[static_cast<size_t>(iconListIndex)] != kDefaultIcon)
    icon = iconList[static_cast<size_t>(iconListIndex)];
  if (iconIndex > 0) icon += u"," + decimal(iconIndex);
  return icon;
}

void SetupState::applyTo(ArchiveHeader& h) const {
  h.outputKind = kind;
  if (kind == 2) {
    h.mainProgram = mainProgramIndex >= 0 ? mainPrograms[static_cast<size_t>(mainProgramIndex)]
                                          : std::u16string();
    h.installUnderProgramFiles = installUnderProgramFiles;
    h.startWithWindows = startWithWindows.ticked;
    h.desktopShortcut = desktopShortcut.ticked;
    h.programsMenuShortcut = menuShortcut.ticked;
    h.installFolderName = installFolder;
    h.shortcutName = shortcutName;
    h.shortcutIcon = shortcutIcon();
    h.registerComponents = registerComponents.ticked;
  }
  h.postCommand = trimSpaces(postCommand);
}

std::u16string SetupState::missingFolderQuestion() const {
  return u"資料夾 " + folderLine + u" 不存在。\r\n要建立資料夾嗎？";
}

}  // namespace qav
