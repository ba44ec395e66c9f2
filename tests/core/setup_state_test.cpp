#include "setup_state.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using qav::InstallFolderProblem;
using qav::SetupState;

// Icon counts by path; default icons live in a made-up program folder.
class FakePlatform final : public qav::SetupPlatform {
 public:
  std::map<std::u16string, int> counts;
  std::vector<std::u16string> asked;
  int iconCount(const std::u16string& file) override {
    asked.push_back(file);
    auto it = counts.find(file);
    return it == counts.end() ? 0 : it->second;
  }
  std::u16string defaultIconFile(const std::u16string& type) override {
    return u"P:\\prog\\" + type + u".ico";
  }
};

class Setup : public ::testing::Test {
 protected:
  Setup() {
    platform.counts = {{u"C:\\data\\tool.exe", 5},
                       {u"C:\\data\\icons.dll", 2},
                       {u"C:\\data\\one.ico", 1},
                       {u"P:\\prog\\cmd.ico", 1},
                       {u"P:\\prog\\doc.ico", 1}};
  }
  SetupState& open(std::vector<std::u16string> names, std::u16string base = u"report",
                   std::u16string setting = u"") {
    // Every opening starts from a fresh dialog.
    current = std::make_unique<SetupState>(platform);
    current->open({std::move(names), u"C:\\data\\", std::move(base), std::move(setting)});
    return *current;
  }
  SetupState& state() { return *current; }
  FakePlatform platform;
  std::unique_ptr<SetupState> current;
};

TEST_F(Setup, OpeningWithoutExecutableTypes) {
  open({u"a.txt", u"b.bin", u"c.icon", u"d.DOCXnot"}, u"report");
  EXPECT_EQ(state().nameBox, u"report_qav.qav");
  EXPECT_EQ(state().folderLine, u"C:\\data\\");
  EXPECT_EQ(state().targetDrive, u"C:");
  EXPECT_EQ(state().targetFolder, u"\\data\\");
  EXPECT_EQ(state().countLabel, u"（共 4 個檔案）");
  EXPECT_EQ(state().files.size(), 4u);
  EXPECT_EQ(state().fileListColour, SetupState::kBlack);
  EXPECT_EQ(state().kind, 0);
  // ".DOCXnot" counts as ".doc" (first four characters), ".icon" as ".ico".
  EXPECT_EQ(state().mainPrograms, std::vector<std::u16string>{u"d.DOCXnot"});
  EXPECT_EQ(state().iconSources, std::vector<std::u16string>{u"c.icon"});
  EXPECT_FALSE(state().selfGroupEnabled);
  EXPECT_FALSE(state().installGroupEnabled);
  EXPECT_FALSE(state().postCommandEnabled);
  EXPECT_FALSE(state().mainProgramEnabled);
  EXPECT_FALSE(state().previewVisible);
  EXPECT_EQ(state().installFolder, u"公司名稱\\產品名稱");

  open({u"a.txt", u"b.bin"}, u"a_self", u"Acme\\Tool");
  EXPECT_FALSE(state().kindEnabled[2]);
  EXPECT_TRUE(state().mainPrograms.empty());
  EXPECT_TRUE(state().postCommands.empty());
  EXPECT_EQ(state().nameBox, u"a_self_qav.qav");  // the opening keeps a marker of the base name
  EXPECT_EQ(state().installFolder, u"Acme\\Tool");
  state().chooseKind(2);  // disabled: nothing happens
  EXPECT_EQ(state().kind, 0);
  state().chooseKind(1);
  EXPECT_EQ(state().nameBox, u"a_self.exe");
}

TEST_F(Setup, KindSwitchingSetsEndingColourAndGroups) {
  open({u"report.doc", u"tool.exe", u"b.bin"});
  EXPECT_TRUE(state().kindEnabled[2]);
  struct Step {
    int kind;
    std::u16string name;
    qav::Colour colour;
    bool self, install;
  };
  const Step steps[] = {
      {1, u"report_self.exe", SetupState::kBlue, true, false},
      {2, u"report_setup.exe", SetupState::kRed, true, true},
      {0, u"report_qav.qav", SetupState::kBlack, false, false},
      {2, u"report_setup.exe", SetupState::kRed, true, true},
      {1, u"report_self.exe", SetupState::kBlue, true, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.kind);
    state().chooseKind(s.kind);
    EXPECT_EQ(state().nameBox, s.name);
    EXPECT_EQ(state().fileListColour, s.colour);
    EXPECT_EQ(state().selfGroupEnabled, s.self);
    EXPECT_EQ(state().postCommandEnabled, s.self);  // the install switch runs first
    EXPECT_EQ(state().installGroupEnabled, s.install);
    EXPECT_EQ(state().mainProgramEnabled, s.install);
    EXPECT_EQ(state().mainProgramGrey, !s.install);
    EXPECT_EQ(state().registerComponents.enabled, s.install);
    EXPECT_EQ(state().iconListEnabled, s.install);
    EXPECT_EQ(state().previewVisible, s.install);
    EXPECT_EQ(state().shortcutNameEnabled, s.install);
    EXPECT_EQ(state().folderLine, u"C:\\data\\");
  }
  // A typed extension and every marker go, whatever the order they came in.
  state().typeName(u"x_new.exe_setup.bak");
  state().chooseKind(0);
  EXPECT_EQ(state().nameBox, u"x_qav.qav");
}

TEST_F(Setup, TargetsAreJoinedWithTheCurrentFolderAndDrive) {
  open({u"a.txt"});
  state().chooseKind(1);
  const struct {
    std::u16string target, folderLine, nameBox;
  } cases[] = {
      {u"tools\\x.bin", u"C:\\data\\tools\\", u"x_self.exe"},
      {u"D:sub\\y", u"D:\\sub\\", u"y_self.exe"},
      {u"\\out\\z_setup.exe", u"C:\\out\\", u"z_self.exe"},
      {u"", u"C:\\data\\", u"noname_self.exe"},
      {u"d:\\Out\\w_qav.qav", u"D:\\Out\\", u"w_self.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.target.begin(), c.target.end()));
    state().targetDrive = u"C:";
    state().targetFolder = u"\\data\\";
    state().確定目標檔(c.target);
    EXPECT_EQ(state().folderLine, c.folderLine);
    EXPECT_EQ(state().nameBox, c.nameBox);
    EXPECT_EQ(state().outputPath(), c.folderLine + c.nameBox);
  }

  // Typing into the name box with kind 0, then leaving it.
  open({u"a.txt"});
  state().typeName(u"D:\\out\\x_setup.exe");
  EXPECT_TRUE(state().nameBoxEdited());
  state().leaveNameBox();
  EXPECT_FALSE(state().nameBoxEdited());
  EXPECT_EQ(state().folderLine, u"D:\\out\\");
  EXPECT_EQ(state().nameBox, u"x_qav.qav");

  // A click on a listed file names the output after it, in the current folder.
  open({u"a.txt", u"報告.v2.doc"});
  state().clickFile(1);
  EXPECT_EQ(state().nameBox, u"報告.v2_qav.qav");
  EXPECT_EQ(state().folderLine, u"C:\\data\\");
  state().browsed(u"");  // cancelled save dialog
  EXPECT_EQ(state().outputPath(), u"C:\\data\\報告.v2_qav.qav");
  EXPECT_EQ(state().browseFilter(), u"合併檔案(*.QAV)|*.QAV");
  state().chooseKind(1);
  EXPECT_EQ(state().browseFilter(), u"自解檔案(*.EXE)|*.EXE");
  state().browsed(u"E:\\pub\\final.EXE");
  EXPECT_EQ(state().outputPath(), u"E:\\pub\\final_self.exe");
}

TEST_F(Setup, InstallLocationRules) {
  open({u"tool.exe"});
  state().chooseKind(2);
  EXPECT_TRUE(state().installUnderProgramFiles);
  EXPECT_TRUE(state().installFolderEnabled);
  EXPECT_FALSE(state().startWithWindows.ticked);
  EXPECT_TRUE(state().registerComponents.ticked);

  state().startWithWindows.ticked = true;  // the user ticks it
  state().clickInstallInCurrentFolder();
  EXPECT_FALSE(state().installFolderEnabled);
  for (const qav::SetupSwitch* s :
       {&state().startWithWindows, &state().menuShortcut, &state().desktopShortcut}) {
    EXPECT_FALSE(s->enabled);
    EXPECT_FALSE(s->ticked);
  }
  EXPECT_TRUE(state().registerComponents.enabled);
  EXPECT_FALSE(state().shortcutNameEnabled);  // the boxes' change ran the shortcut switch

  // Away to the self-extracting kind and back: the install switch enables the
  // three boxes again while the current folder stays chosen.
  state().chooseKind(1);
  state().chooseKind(2);
  EXPECT_FALSE(state().installUnderProgramFiles);
  EXPECT_FALSE(state().installFolderEnabled);
  EXPECT_TRUE(state().startWithWindows.enabled);
  EXPECT_TRUE(state().menuShortcut.enabled);
  EXPECT_TRUE(state().desktopShortcut.enabled);

  state().clickInstallUnderProgramFiles();
  EXPECT_TRUE(state().installFolderEnabled);
  EXPECT_TRUE(state().menuShortcut.ticked);
  EXPECT_TRUE(state().desktopShortcut.ticked);
  EXPECT_FALSE(state().startWithWindows.ticked);  // keeps its value
  EXPECT_TRUE(state().startWithWindows.enabled);
  EXPECT_TRUE(state().shortcutNameEnabled);
  EXPECT_TRUE(state().previewVisible);
}

TEST_F(Setup, ShortcutPartFollowsTheTwoBoxes) {
  open({u"tool.exe"});
  state().chooseKind(2);
  auto shortcutPart = [&] {
    return std::vector<bool>{state().shortcutLabelsEnabled, state().previewVisible,
                             state().scrollEnabled, state().iconListEnabled,
                             state().shortcutNameEnabled, state().iconIdEnabled};
  };
  const std::vector<bool> allOn(6, true), allOff(6, false);
  EXPECT_EQ(shortcutPart(), allOn);
  state().setMenuShortcut(false);
  EXPECT_EQ(shortcutPart(), allOn);  // the desktop box still asks for a shortcut
  state().setDesktopShortcut(false);
  EXPECT_EQ(shortcutPart(), allOff);
  state().setDesktopShortcut(true);
  EXPECT_EQ(shortcutPart(), allOn);
}

TEST_F(Setup, MainProgramAndIconChoice) {
  open({u"run.bat", u"tool.exe", u"icons.dll", u"one.ico", u"x.txt"});
  // At opening: the first main program, its icon list, "的捷徑".
  EXPECT_EQ(state().mainPrograms, (std::vector<std::u16string>{u"run.bat", u"tool.exe"}));
  EXPECT_EQ(state().postCommands, state().mainPrograms);
  EXPECT_EQ(state().iconList, (std::vector<std::u16string>{u"預設圖示", u"tool.exe", u"icons.dll",
                                                          u"one.ico"}));
  EXPECT_EQ(state().iconListIndex, 0);
  EXPECT_EQ(state().iconFile, u"P:\\prog\\cmd.ico");  // .bat shows the cmd icon
  EXPECT_EQ(state().shortcutName, u"run的捷徑");
  EXPECT_EQ(state().shortcutIcon(), u"");

  state().chooseKind(2);
  state().selectMainProgram(1);
  EXPECT_EQ(state().shortcutName, u"tool應用程式");
  EXPECT_EQ(state().iconList, (std::vector<std::u16string>{u"tool.exe", u"icons.dll", u"one.ico"}));
  EXPECT_EQ(state().iconFile, u"C:\\data\\tool.exe");
  EXPECT_EQ(state().iconCountLabel, u"圖示：5");
  EXPECT_EQ(state().scrollMax, 4);
  EXPECT_TRUE(state().scrollEnabled);
  EXPECT_EQ(state().shortcutIcon(), u"tool.exe");

  state().scrollIcon(3);
  EXPECT_EQ(state().iconIdLabel, u"(ID：3)");
  EXPECT_EQ(state().shortcutIcon(), u"tool.exe,3");
  state().scrollIcon(9);  // limited to the count
  EXPECT_EQ(state().iconIndex, 4);

  // Index 4 of 5 becomes 1 of 2, then 0 for a single icon.
  state().selectIconSource(1);
  EXPECT_EQ(state().scrollMax, 1);
  EXPECT_EQ(state().iconIndex, 1);
  EXPECT_EQ(state().shortcutIcon(), u"icons.dll,1");
  state().selectIconSource(2);
  EXPECT_EQ(state().iconIndex, 0);
  EXPECT_FALSE(state().scrollEnabled);
  EXPECT_EQ(state().iconCountLabel, u"圖示：1");

  // A file the system finds no icon in: count 0, named without index.
  platform.counts.erase(u"C:\\data\\icons.dll");
  state().selectIconSource(1);
  EXPECT_EQ(state().iconCountLabel, u"圖示：0");
  EXPECT_EQ(state().shortcutIcon(), u"icons.dll");

  platform.counts[u"C:\\data\\icons.dll"] = 4;
  state().selectIconSource(1);
  state().scrollIcon(3);
  EXPECT_EQ(state().shortcutIcon(), u"icons.dll,3");
}

TEST_F(Setup, DocumentProgramsGetTheirOwnDefaultIcon) {
  const struct {
    std::u16string program, icon;
  } cases[] = {{u"a.cmd", u"cmd"}, {u"a.VBS", u"vbs"}, {u"a.docx", u"doc"},
               {u"a.xls", u"xls"}, {u"a.pps", u"pps"}};
  for (const auto& c : cases) {
    open({c.program});
    EXPECT_EQ(state().iconList, std::vector<std::u16string>{u"預設圖示"});
    EXPECT_EQ(state().iconFile, u"P:\\prog\\" + c.icon + u".ico");
  }
}

TEST_F(Setup, TypingFilters) {
  const struct {
    char16_t c;
    bool name, folder, shortcut;
  } cases[] = {
      {u'a', true, true, true},     {u'中', true, true, true},     {u'\\', true, true, false},
      {u':', true, false, false},   {u'"', false, false, false},   {u';', false, false, false},
      {u',', false, false, false},  {u'\'', false, false, false},  {u'|', false, false, false},
      {u'/', false, false, false},  {u'`', false, false, false},   {u'?', false, false, false},
      {u'*', false, false, false},  {u'^', false, false, false},   {u'.', true, true, true},
      {u'\b', true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.c));
    EXPECT_EQ(SetupState::nameBoxAccepts(u"abc", c.c), c.name);
    EXPECT_EQ(SetupState::installFolderAccepts(c.c), c.folder);
    EXPECT_EQ(SetupState::shortcutNameAccepts(c.c), c.shortcut);
  }
  // A second colon is refused in the name box.
  EXPECT_FALSE(SetupState::nameBoxAccepts(u"D:x", u':'));
}

TEST_F(Setup, ConfirmationWritesTheChosenFields) {
  qav::ArchiveHeader header;
  open({u"tool.exe", u"icons.dll", u"readme.txt"});
  state().chooseKind(2);
  state().installFolder = u"Acme\\Tool";
  state().startWithWindows.ticked = true;
  state().registerComponents.ticked = false;
  state().setMenuShortcut(false);
  state().shortcutName = u"工具";
  state().selectIconSource(1);
  state().scrollIcon(1);
  state().postCommand = u"  tool.exe /setup  ";
  state().applyTo(header);
  EXPECT_EQ(header.outputKind, 2);
  EXPECT_EQ(header.mainProgram, u"tool.exe");
  EXPECT_TRUE(header.installUnderProgramFiles);
  EXPECT_TRUE(header.startWithWindows);
  EXPECT_TRUE(header.desktopShortcut);
  EXPECT_FALSE(header.programsMenuShortcut);
  EXPECT_EQ(header.installFolderName, u"Acme\\Tool");
  EXPECT_EQ(header.shortcutName, u"工具");
  EXPECT_EQ(header.shortcutIcon, u"icons.dll,1");
  EXPECT_EQ(header.postCommand, u"tool.exe /setup");
  EXPECT_FALSE(header.registerComponents);

  // A later plain or self-extracting confirmation in the same run changes the
  // kind and the post command only.
  const qav::ArchiveHeader afterSetup = header;
  for (int kind : {0, 1}) {
    open({u"a.txt"});
    state().chooseKind(kind);
    state().postCommand = u"   ";
    state().applyTo(header);
    qav::ArchiveHeader expected = afterSetup;
    expected.outputKind = kind;
    expected.postCommand = u"";
    EXPECT_EQ(header, expected);
  }
}

TEST_F(Setup, InstallFolderThatWouldLeaveProgramFiles) {
  const struct {
    std::u16string text;
    InstallFolderProblem problem;
  } cases[] = {
      {u"公司名稱\\產品名稱", InstallFolderProblem::None},
      {u"\\Acme\\", InstallFolderProblem::None},  // one leading "\" stays inside
      {u"", InstallFolderProblem::None},
      {u"v1.2\\.x\\a..b", InstallFolderProblem::None},
      {u"..", InstallFolderProblem::ParentFolder},
      {u"Acme\\..\\..\\Windows", InstallFolderProblem::ParentFolder},
      {u"Acme/../x", InstallFolderProblem::ParentFolder},
      {u"Acme\\...", InstallFolderProblem::ParentFolder},
      {u"Acme\\. .\\x", InstallFolderProblem::ParentFolder},
      {u"C:\\Windows", InstallFolderProblem::DriveOrColon},
      {u"C:x", InstallFolderProblem::DriveOrColon},
      {u"a:b", InstallFolderProblem::DriveOrColon},
      {u"\\\\server\\share", InstallFolderProblem::LeadingDoubleBackslash},
      {u"//server/share", InstallFolderProblem::LeadingDoubleBackslash},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(SetupState::checkInstallFolder(c.text), c.problem);
  }
  EXPECT_NE(SetupState::describe(InstallFolderProblem::ParentFolder, u"..\\x").find(u"..\\x"),
            std::u16string::npos);

  // Only an install under the program-files folder uses the text.
  open({u"tool.exe"});
  state().installFolder = u"..\\x";
  EXPECT_EQ(state().installFolderProblem(), InstallFolderProblem::None);
  state().chooseKind(2);
  EXPECT_EQ(state().installFolderProblem(), InstallFolderProblem::ParentFolder);
  state().clickInstallInCurrentFolder();
  EXPECT_EQ(state().installFolderProblem(), InstallFolderProblem::None);
}

TEST_F(Setup, MissingFolderQuestion) {
  open({u"a.txt"});
  state().確定目標檔(u"new\\x");
  EXPECT_EQ(state().missingFolderQuestion(), u"資料夾 C:\\data\\new\\ 不存在。\r\n要建立資料夾嗎？");
}

}  // namespace
