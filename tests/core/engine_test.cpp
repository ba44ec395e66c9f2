#include "engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "utf8.h"

namespace {

using qav::ArchiveEntry;
using qav::ArchiveHeader;
using qav::EngineError;
using qav::FileHandle;
using qav::FsResult;
using Code = qav::EngineErrorCode;
using Kind = qav::ProgressEvent::Kind;
using Target = qav::ProgressStep::Target;

}  // namespace

namespace qav {
void PrintTo(const ProgressStep& s, std::ostream* os) {
  *os << "{" << static_cast<int>(s.target) << ", \"" << toUtf8(s.text) << "\", " << s.percent
      << "}";
}
}  // namespace qav

namespace {

// ---- An in-memory file system that can fail on demand -------------------------

class FakeFs final : public qav::FileSystem {
 public:
  struct Node {
    std::string data;
    bool hidden = false;
    uint64_t creation = 0, access = 0, write = 0;
    uint64_t id = 0;
  };
  std::map<std::u16string, std::shared_ptr<Node>> files;

  // Faults.
  int diskFullOnWrite = 0;   // the n-th write call (from 1) finds the disk full
  bool createFails = false;  // every create is refused
  bool renameFails = false;  // every rename is refused
  std::u16string openFails;  // openRead of this path is refused
  std::u16string readFails;  // reads of this path fail from readFailsAt on
  uint64_t readFailsAt = 0;
  std::u16string shrinksWhenOpened;  // loses its second half right after it is opened

  int openHandles = 0;
  int writes = 0;

  void put(const std::u16string& path, std::string data, bool hidden = false) {
    auto node = std::make_shared<Node>();
    node->data = std::move(data);
    node->hidden = hidden;
    node->id = ++nextId_;
    files[path] = node;
  }
  // A second name for an existing file (a hard link).
  void link(const std::u16string& path, const std::u16string& existing) {
    files[path] = files.at(existing);
  }
  const std::string* data(const std::u16string& path) const {
    auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second->data;
  }
  std::set<std::u16string> names() const {
    std::set<std::u16string> out;
    for (const auto& f : files) out.insert(f.first);
    return out;
  }

  FsResult openRead(const std::u16string& path, FileHandle& file, uint64_t& size) override {
    if (path == openFails) return FsResult::AccessDenied;
    auto it = files.find(path);
    if (it == files.end()) return FsResult::NotFound;
    size = it->second->data.size();
    if (path == shrinksWhenOpened) it->second->data.resize(it->second->data.size() / 2);
    file = open(it->second, path, false);
    return FsResult::Ok;
  }
  FsResult seek(FileHandle file, uint64_t offset) override {
    handle(file).pos = offset;
    return FsResult::Ok;
  }
  FsResult read(FileHandle file, void* dst, size_t n, size_t& got) override {
    Open& f = handle(file);
    got = 0;
    if (f.path == readFails && f.pos + n > readFailsAt) return FsResult::Failed;
    const std::string& d = f.node->data;
    if (f.pos < d.size()) got = std::min(n, static_cast<size_t>(d.size() - f.pos));
    std::memcpy(dst, d.data() + f.pos, got);
    f.pos += got;
    return FsResult::Ok;
  }
  FsResult create(const std::u16string& path, qav::CreateMode mode, FileHandle& file) override {
    if (createFails) return FsResult::AccessDenied;
    auto it = files.find(path);
    if (it != files.end() && mode == qav::CreateMode::Exclusive) return FsResult::Exists;
    if (it != files.end() && it->second->hidden) return FsResult::AccessDenied;  // as Win32 does
    put(path, "");
    file = open(files[path], path, true);
    return FsResult::Ok;
  }
  FsResult write(FileHandle file, const void* src, size_t n) override {
    Open& f = handle(file);
    EXPECT_TRUE(f.writable);
    if (++writes == diskFullOnWrite) return FsResult::DiskFull;
    f.node->data.append(static_cast<const char*>(src), n);
    return FsResult::Ok;
  }
  FsResult setTimes(FileHandle file, uint64_t c, uint64_t a, uint64_t w) override {
    Node& node = *handle(file).node;
    node.creation = c;
    node.access = a;
    node.write = w;
    return FsResult::Ok;
  }
  FsResult close(FileHandle file) override {
    delete &handle(file);
    --openHandles;
    return FsResult::Ok;
  }
  FsResult remove(const std::u16string& path) override {
    return files.erase(path) ? FsResult::Ok : FsResult::NotFound;
  }
  FsResult rename(const std::u16string& from, const std::u16string& to, bool replace) override {
    if (renameFails) return FsResult::AccessDenied;
    if (!files.count(from)) return FsResult::NotFound;
    if (files.count(to) && !replace) return FsResult::Exists;
    auto node = files[from];
    files.erase(from);
    files[to] = node;
    return FsResult::Ok;
  }
  bool exists(const std::u16string& path) override {
    auto it = files.find(path);
    return it != files.end() && !it->second->hidden;
  }
  bool fileId(const std::u16string& path, qav::FileId& id) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    id = {1, it->second->id};
    return true;
  }

 private:
  struct Open {
    std::shared_ptr<Node> node;
    std::u16string path;
    bool writable;
    uint64_t pos = 0;
  };
  FileHandle open(std::shared_ptr<Node> node, const std::u16string& path, bool writable) {
    ++openHandles;
    return new Open{std::move(node), path, writable};
  }
  static Open& handle(FileHandle file) { return *static_cast<Open*>(file); }
  uint64_t nextId_ = 0;
};

// ---- Helpers ------------------------------------------------------------------------

std::string pattern(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + seed * 7) >> 2);
  return s;
}

struct Source {
  std::u16string name;
  std::string data;
  uint64_t access, write;
};

// Puts the files under `folder` and returns the header describing them.
ArchiveHeader prepare(FakeFs& fs, const std::u16string& folder, const std::vector<Source>& files) {
  ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = 4;
  h.versionMinor = 4;
  h.versionRevision = 13;
  for (const Source& s : files) {
    fs.put(folder + s.name, s.data);
    EXPECT_TRUE(qav::appendEntry(h.entries, s.name, s.data.size(), s.access, s.write).ok());
  }
  return h;
}

std::string stubImage() { return pattern(qav::kStubSize, 99); }

// What an archive of these files must hold, from the core writer alone.
std::string expectedArchive(const ArchiveHeader& h, const std::vector<Source>& files) {
  qav::StringOutStream out;
  EXPECT_TRUE(qav::writeHeader(out, h).ok());
  for (const Source& s : files) out.str() += s.data;
  return out.str();
}

// Records events as short texts, and can cancel at the n-th yield.
struct Recorder : qav::Progress {
  std::vector<std::string> log;
  std::vector<qav::ProgressEvent> events;
  int cancelAtYield = 0;
  int yields = 0;

  bool yield() override {
    log.push_back("yield");
    return ++yields != cancelAtYield;
  }
  void event(const qav::ProgressEvent& e) override {
    events.push_back(e);
    const std::string name = e.name ? qav::toUtf8(*e.name) : "";
    const std::string kn = std::to_string(e.file) + "/" + std::to_string(e.count);
    switch (e.kind) {
      case Kind::Begin: log.push_back("begin " + std::to_string(e.count)); break;
      case Kind::FileStart: log.push_back("start " + kn + " " + name); break;
      case Kind::ChunkStart:
        log.push_back("chunk " + std::to_string(e.chunk) + "/" + std::to_string(e.blocks));
        break;
      case Kind::ChunkDone: log.push_back("copied " + kn + " " + name); break;
      case Kind::FileDone: log.push_back("done " + kn + " " + name); break;
      case Kind::Finished: log.push_back("finished " + std::to_string(e.count)); break;
    }
  }
  // The window's updates for everything recorded (names must still be alive).
  std::vector<qav::ProgressStep> steps(qav::ProgressView view) const {
    std::vector<qav::ProgressStep> all;
    for (const auto& e : events)
      for (auto& s : qav::progressSteps(view, e)) all.push_back(s);
    return all;
  }
};

const std::vector<Source> kThree = {
    {u"a.txt", "abc", 0x01D0000000000001, 0x01D0000000000002},
    {u"空白.dat", "", 0x01D0000000000003, 0x01D0000000000004},
    {u"c.bin", pattern(70000, 3), 0x01D0000000000005, 0x01D0000000000006},
};

// ---- Pack -----------------------------------------------------------------------------

TEST(Pack, WritesExactlyTheCoreRecordAndDataWithTheStubInFrontForExe) {
  for (const std::u16string out : {u"dst/x_qav.qav", u"dst/x_SETUP.EXE"}) {
    SCOPED_TRACE(qav::toUtf8(out));
    FakeFs fs;
    const ArchiveHeader h = prepare(fs, u"src/", kThree);
    fs.put(out, "previous output, longer than nothing");
    qav::Engine engine;
    ASSERT_TRUE(engine.pack(fs, h, u"src/", out, stubImage()).ok());

    std::string expected = expectedArchive(h, kThree);
    if (qav::archiveOffset(out)) expected = stubImage().substr(0, qav::kArchiveOffset) + expected;
    EXPECT_EQ(*fs.data(out), expected);
    EXPECT_EQ(fs.names().size(), 4u);  // the sources and the output: no temporary file
    EXPECT_EQ(fs.openHandles, 0);
  }
}

TEST(Pack, ReportsChunksFilesAndTheEndInOrder) {
  FakeFs fs;
  const std::vector<Source> files = {{u"one.bin", pattern(524288, 1), 1, 2},
                                     {u"two.bin", pattern(524289, 2), 3, 4},
                                     {u"zero", "", 5, 6}};
  const ArchiveHeader h = prepare(fs, u"", files);
  Recorder rec;
  qav::Engine engine;
  ASSERT_TRUE(engine.pack(fs, h, u"", u"out.qav", {}, qav::kChunkBytes, &rec).ok());
  const std::vector<std::string> expected = {"yield",     "start 1/3 one.bin",  "yield",
                                             "chunk 0/1", "copied 1/3 one.bin", "done 1/3 one.bin",
                                             "yield",     "start 2/3 two.bin",  "yield",
                                             "chunk 0/2", "copied 2/3 two.bin", "yield",
                                             "chunk 1/2", "copied 2/3 two.bin", "done 2/3 two.bin",
                                             "yield",     "start 3/3 zero",     "done 3/3 zero",
                                             "finished 3"};
  EXPECT_EQ(rec.log, expected);
  EXPECT_EQ(*fs.data(u"out.qav"), expectedArchive(h, files));
}

TEST(Pack, WindowCaptionsAndBarsFollowTheEvents) {
  FakeFs fs;
  const ArchiveHeader h = prepare(fs, u"", {{u"a.txt", "abc", 1, 2}, {u"空白.dat", "", 3, 4}});
  Recorder rec;
  qav::Engine engine;
  ASSERT_TRUE(engine.pack(fs, h, u"", u"out.qav", {}, qav::kChunkBytes, &rec).ok());
  const std::vector<qav::ProgressStep> expected = {
      {Target::Label2, u"正在處理第 1 個檔案..", 0},
      {Target::FileBar, {}, 100},
      {Target::Label1, u"加入檔案(1/2)：a.txt", 0},
      {Target::Label1, u"加入檔案：a.txt", 0},
      {Target::TotalBar, {}, 50},
      {Target::Label2, u"正在處理第 2 個檔案..", 0},
      {Target::Label1, u"加入檔案：空白.dat", 0},
      {Target::TotalBar, {}, 100},
      {Target::FileBar, {}, 100},
      {Target::TotalBar, {}, 100},
      {Target::Label1, u"作業完成！共加入了 2 個檔案。", 0},
  };
  EXPECT_EQ(rec.steps(qav::ProgressView::Pack), expected);
}

// A window that shows the backlog at any pace ends up showing what it would
// have shown with every step applied, after every take() as well as at the end.
TEST(ProgressBacklog, LeavesEveryTargetAsAllTheStepsWould) {
  FakeFs fs;
  const std::vector<Source> files = {{u"one.bin", pattern(524288 * 2 + 5, 1), 1, 2},
                                     {u"空白.dat", "", 3, 4},
                                     {u"two.txt", "two", 5, 6}};
  const ArchiveHeader h = prepare(fs, u"", files);
  Recorder packing, restoring;
  qav::Engine engine;
  ASSERT_TRUE(engine.pack(fs, h, u"", u"out.qav", {}, qav::kChunkBytes, &packing).ok());
  ArchiveHeader read;
  ASSERT_TRUE(engine.openArchive(fs, u"out.qav", 0, read).ok());
  ASSERT_TRUE(
      engine.restore(read, u"t/", qav::RestoreMode::MoveAside, qav::kChunkBytes, &restoring).ok());

  using Display = std::map<Target, std::pair<std::u16string, double>>;
  const auto apply = [](Display& d, const std::vector<qav::ProgressStep>& steps) {
    for (const auto& s : steps) d[s.target] = {s.text, s.percent};
  };
  for (const auto& [rec, view] : {std::pair{&packing, qav::ProgressView::Pack},
                                  std::pair{&restoring, qav::ProgressView::Restore},
                                  std::pair{&restoring, qav::ProgressView::Extract}}) {
    for (size_t every : {1, 2, 3, 7, 1000}) {
      SCOPED_TRACE(every);
      Display all, shown;
      qav::ProgressBacklog backlog;
      for (size_t i = 0; i < rec->events.size(); ++i) {
        apply(all, qav::progressSteps(view, rec->events[i]));
        backlog.add(rec->events[i]);
        if ((i + 1) % every == 0 || i + 1 == rec->events.size()) {
          apply(shown, backlog.take(view));
          EXPECT_TRUE(backlog.empty());
          EXPECT_EQ(shown, all) << "after event " << i;
        }
      }
    }
  }
}

// Every failure names its file, leaves the previous output as it was, and
// leaves nothing else behind.
TEST(Pack, FailuresKeepThePreviousOutputAndLeaveNoTemporaryFile) {
  struct Case {
    const char* what;
    std::function<void(FakeFs&)> fault;
    std::u16string output;
    Code code;
    std::u16string subject;
  };
  const std::u16string out = u"dst/x.qav";
  const std::vector<Case> cases = {
      {"output cannot be created", [](FakeFs& fs) { fs.createFails = true; }, out,
       Code::OutputFailed, out},
      {"source cannot be opened", [](FakeFs& fs) { fs.openFails = u"src/c.bin"; }, out,
       Code::SourceOpenFailed, u"src/c.bin"},
      {"source vanished", [](FakeFs& fs) { fs.files.erase(u"src/c.bin"); }, out,
       Code::SourceMissing, u"src/c.bin"},
      {"source grew", [](FakeFs& fs) { fs.files[u"src/a.txt"]->data += "d"; }, out,
       Code::SourceChanged, u"src/a.txt"},
      {"source shrank while read", [](FakeFs& fs) { fs.shrinksWhenOpened = u"src/c.bin"; }, out,
       Code::SourceChanged, u"src/c.bin"},
      {"read error", [](FakeFs& fs) { fs.readFails = u"src/c.bin"; }, out, Code::ReadFailed,
       u"src/c.bin"},
      {"disk full", [](FakeFs& fs) { fs.diskFullOnWrite = 3; }, out, Code::DiskFull, out},
      {"output cannot be replaced", [](FakeFs& fs) { fs.renameFails = true; }, out,
       Code::ReplaceFailed, out},
      {"output is a source", [](FakeFs&) {}, u"src/c.bin", Code::OutputIsSource, u"src/c.bin"},
      {"output is a source by another name",
       [](FakeFs& fs) { fs.link(u"dst/x.qav", u"src/a.txt"); }, out, Code::OutputIsSource, out},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFs fs;
    const ArchiveHeader h = prepare(fs, u"src/", kThree);
    if (!fs.files.count(out)) fs.put(out, "OLD");
    c.fault(fs);
    std::map<std::u16string, std::string> before;
    for (const auto& f : fs.files) before[f.first] = f.second->data;

    qav::Engine engine;
    const EngineError e = engine.pack(fs, h, u"src/", c.output, {});
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.subject, c.subject);
    EXPECT_TRUE(e.packing);
    EXPECT_NE(qav::describeEngineError(e).find(c.subject), std::u16string::npos);
    std::map<std::u16string, std::string> after;
    for (const auto& f : fs.files) after[f.first] = f.second->data;
    if (std::string(c.what) == "source shrank while read")
      after.erase(u"src/c.bin"), before.erase(u"src/c.bin");  // the fault itself changed it
    EXPECT_EQ(after, before);
    EXPECT_EQ(fs.openHandles, 0);
  }
}

TEST(Pack, RefusalsAndCancellingLeaveTheFolderAsItWas) {
  FakeFs fs;
  ArchiveHeader h = prepare(fs, u"", kThree);
  const auto before = fs.names();
  qav::Engine engine;

  ArchiveHeader bad = h;
  bad.entries[1].name = u"..\\up.txt";  // the core writer refuses it
  EngineError e = engine.pack(fs, bad, u"", u"out.qav", {});
  EXPECT_EQ(e.code, Code::Header);
  EXPECT_EQ(e.archive.code, qav::ArchiveErrorCode::BadFileName);
  EXPECT_EQ(e.archive.subject, u"..\\up.txt");

  e = engine.pack(fs, h, u"", u"out.exe", std::string(100, 'x'));
  EXPECT_EQ(e.code, Code::BadStubImage);

  Recorder cancel;
  cancel.cancelAtYield = 4;
  e = engine.pack(fs, h, u"", u"out.qav", {}, qav::kChunkBytes, &cancel);
  EXPECT_EQ(e.code, Code::Cancelled);
  EXPECT_EQ(fs.names(), before);
}

// ---- Moving aside --------------------------------------------------------------

TEST(FixFname, OldNames) {
  const struct {
    std::u16string name;
    uint32_t i;
    std::u16string expected;
  } cases[] = {
      {u"report.doc", 2, u"report(old-2).doc"}, {u"data.txt.txt", 1, u"data(old-1).txt"},
      {u"readme", 1, u"readme(old-1)"},         {u"a.b.c", 12, u"a.b(old-12).c"},
      {u".profile", 1, u"(old-1).profile"},
  };
  for (const auto& c : cases) EXPECT_EQ(qav::oldFileName(c.name, c.i), c.expected);
}

TEST(FixFname, TakesTheFirstFreeNumberAndNeverReplaces) {
  FakeFs fs;
  fs.put(u"t/report.doc", "current");
  fs.put(u"t/report(old-1).doc", "first");
  fs.put(u"t/report(old-2).doc", "hidden", true);  // not seen by the test, kept all the same
  std::u16string movedTo;
  EXPECT_EQ(qav::FixFname(fs, u"t/", u"report.doc", &movedTo), FsResult::Ok);
  EXPECT_EQ(movedTo, u"t/report(old-3).doc");
  EXPECT_EQ(*fs.data(u"t/report(old-3).doc"), "current");
  EXPECT_EQ(*fs.data(u"t/report(old-1).doc"), "first");
  EXPECT_EQ(*fs.data(u"t/report(old-2).doc"), "hidden");
  EXPECT_EQ(fs.data(u"t/report.doc"), nullptr);
}

// ---- Restore ------------------------------------------------------------------------

// An archive of kThree at `path`, with `offset` bytes of stub image in front.
ArchiveHeader makeArchive(FakeFs& fs, const std::u16string& path) {
  FakeFs src;
  const ArchiveHeader h = prepare(src, u"", kThree);
  qav::Engine engine;
  EXPECT_TRUE(engine.pack(src, h, u"", path, stubImage()).ok());
  fs.put(path, *src.data(path));
  return h;
}

TEST(Restore, RoundTripWithTimesAndAnEmptyFileFromBothContainers) {
  for (const std::u16string archive : {u"p/x_qav.qav", u"p/x_self.Exe"}) {
    SCOPED_TRACE(qav::toUtf8(archive));
    FakeFs fs;
    const ArchiveHeader packed = makeArchive(fs, archive);
    qav::Engine engine;
    ArchiveHeader h;
    ASSERT_TRUE(engine.openArchive(fs, archive, qav::archiveOffset(archive), h).ok());
    EXPECT_EQ(h, packed);
    ASSERT_TRUE(engine.restore(h, u"t/", qav::RestoreMode::MoveAside).ok());
    for (const Source& s : kThree) {
      const FakeFs::Node& n = *fs.files.at(u"t/" + s.name);
      EXPECT_EQ(n.data, s.data);
      EXPECT_EQ(n.creation, s.access);
      EXPECT_EQ(n.access, s.access);
      EXPECT_EQ(n.write, s.write);
    }
    EXPECT_EQ(fs.openHandles, 0);
  }
}

TEST(Restore, MovesExistingFilesAsideOrOverwritesThem) {
  FakeFs fs;
  makeArchive(fs, u"x.qav");
  fs.put(u"t/a.txt", "an older and longer a.txt");
  fs.put(u"t/a(old-1).txt", "older still");
  qav::Engine engine;
  ArchiveHeader h;
  ASSERT_TRUE(engine.openArchive(fs, u"x.qav", 0, h).ok());
  ASSERT_TRUE(engine.restore(h, u"t/", qav::RestoreMode::MoveAside).ok());
  EXPECT_EQ(*fs.data(u"t/a.txt"), "abc");
  EXPECT_EQ(*fs.data(u"t/a(old-2).txt"), "an older and longer a.txt");
  EXPECT_EQ(*fs.data(u"t/a(old-1).txt"), "older still");

  // A hidden file cannot be opened for writing: it is moved aside like any other.
  fs.put(u"h/a.txt", "hidden a.txt", true);
  ASSERT_TRUE(engine.openArchive(fs, u"x.qav", 0, h).ok());
  ASSERT_TRUE(engine.restore(h, u"h/", qav::RestoreMode::MoveAside).ok());
  EXPECT_EQ(*fs.data(u"h/a.txt"), "abc");
  EXPECT_EQ(*fs.data(u"h/a(old-1).txt"), "hidden a.txt");

  fs.put(u"u/a.txt", "an older and longer a.txt");
  ASSERT_TRUE(engine.openArchive(fs, u"x.qav", 0, h).ok());
  ASSERT_TRUE(engine.restore(h, u"u/", qav::RestoreMode::Overwrite).ok());
  EXPECT_EQ(*fs.data(u"u/a.txt"), "abc");
  EXPECT_EQ(fs.names().count(u"u/a(old-1).txt"), 0u);
}

TEST(Restore, ProgressCaptionsForQavAndForTheStub) {
  FakeFs fs;
  makeArchive(fs, u"x.qav");
  qav::Engine engine;
  ArchiveHeader h;
  ASSERT_TRUE(engine.openArchive(fs, u"x.qav", 0, h).ok());
  Recorder rec;
  ASSERT_TRUE(engine.restore(h, u"t/", qav::RestoreMode::MoveAside, qav::kChunkBytes, &rec).ok());
  const std::vector<qav::ProgressStep> qavSteps = {
      {Target::Label1, u"共 3 個檔案。", 0},
      {Target::Label2, u"正在處理第 1 個檔案..", 0},
      {Target::FileBar, {}, 100},
      {Target::Label1, u"釋出檔案(1/3)：a.txt", 0},
      {Target::TotalBar, {}, 100.0 / 3},
      {Target::Label2, u"正在處理第 2 個檔案..", 0},
      {Target::TotalBar, {}, 200.0 / 3},
      {Target::Label2, u"正在處理第 3 個檔案..", 0},
      {Target::FileBar, {}, 100},
      {Target::Label1, u"釋出檔案(3/3)：c.bin", 0},
      {Target::TotalBar, {}, 100},
      {Target::FileBar, {}, 100},
      {Target::TotalBar, {}, 100},
      {Target::Label1, u"作業完成！共還原了 3 個檔案。", 0},
  };
  EXPECT_EQ(rec.steps(qav::ProgressView::Restore), qavSteps);
  // The stub: no per-file Label2 and no full bars at the end.
  std::vector<qav::ProgressStep> stubSteps;
  for (const auto& s : qavSteps)
    if (s.target != Target::Label2) stubSteps.push_back(s);
  stubSteps.erase(stubSteps.end() - 3, stubSteps.end() - 1);
  EXPECT_EQ(rec.steps(qav::ProgressView::Extract), stubSteps);
}

TEST(Restore, RefusedHeaderWritesNothing) {
  FakeFs fs;
  makeArchive(fs, u"x.qav");
  std::string& bytes = fs.files[u"x.qav"]->data;
  bytes.replace(bytes.find("a.txt"), 5, "..\\ab");  // same length, no longer a bare name
  fs.put(u"short.exe", "QAV");                      // ends before the archive offset
  const auto before = fs.names();
  qav::Engine engine;
  ArchiveHeader h;
  EngineError e = engine.openArchive(fs, u"x.qav", 0, h);
  EXPECT_EQ(e.code, Code::Header);
  EXPECT_EQ(e.archive.code, qav::ArchiveErrorCode::BadFileName);
  e = engine.openArchive(fs, u"short.exe", qav::kArchiveOffset, h);
  EXPECT_EQ(e.archive.code, qav::ArchiveErrorCode::BadMagic);
  EXPECT_EQ(qav::describeEngineError(e), u"這個檔案不是正確的 QAV 格式！");
  e = engine.openArchive(fs, u"missing.qav", 0, h);
  EXPECT_EQ(e.code, Code::ArchiveOpenFailed);
  EXPECT_EQ(e.cause, FsResult::NotFound);
  fs.readFails = u"x.qav";
  e = engine.openArchive(fs, u"x.qav", 0, h);
  EXPECT_EQ(e.code, Code::Header);
  EXPECT_EQ(e.archive.code, qav::ArchiveErrorCode::ReadFailed);
  EXPECT_TRUE(h.entries.empty());
  EXPECT_EQ(fs.names(), before);
  EXPECT_EQ(fs.openHandles, 0);
}

// A body that ends early, or a file that cannot be written, stops the restore:
// the file being written is removed and a file moved aside gets its name back.
TEST(Restore, FailuresRemoveThePartialFile) {
  struct Case {
    const char* what;
    std::function<void(FakeFs&)> fault;
    Code code;
    std::u16string subject;
  };
  const std::vector<Case> cases = {
      {"archive shorter than its table", [](FakeFs& fs) { fs.shrinksWhenOpened = u"x.qav"; },
       Code::ArchiveTruncated, u"c.bin"},
      {"archive read error",
       [](FakeFs& fs) {
         fs.readFails = u"x.qav";
         fs.readFailsAt = fs.files[u"x.qav"]->data.size() - 100;
       },
       Code::ReadFailed, u"x.qav"},
      {"disk full", [](FakeFs& fs) { fs.diskFullOnWrite = 2; }, Code::DiskFull, u"t/c.bin"},
      {"file cannot be created", [](FakeFs& fs) { fs.createFails = true; }, Code::CreateFailed,
       u"t/a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFs fs;
    makeArchive(fs, u"x.qav");
    fs.put(u"t/c.bin", "the previous c.bin");
    c.fault(fs);
    qav::Engine engine;
    ArchiveHeader h;
    ASSERT_TRUE(engine.openArchive(fs, u"x.qav", 0, h).ok());
    const EngineError e = engine.restore(h, u"t/", qav::RestoreMode::MoveAside);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.subject, c.subject);
    EXPECT_EQ(*fs.data(u"t/c.bin"), "the previous c.bin");
    EXPECT_EQ(fs.data(u"t/c(old-1).bin"), nullptr);
    EXPECT_EQ(fs.openHandles, 0);
  }
}

// ---- The platform's own file system --------------------------------------------------

uint64_t writeTimeOf(const std::filesystem::path& p) {
  using namespace std::chrono;
  const auto sys = file_clock::to_sys(std::filesystem::last_write_time(p));
  return static_cast<uint64_t>(duration_cast<nanoseconds>(sys.time_since_epoch()).count() / 100) +
         116444736000000000ull;
}

TEST(PlatformFileSystem, PackAndRestoreRoundTrip) {
  namespace sfs = std::filesystem;
  const sfs::path root = "engine_test_files";
  sfs::remove_all(root);
  sfs::create_directories(root / "src");
  sfs::create_directories(root / "out");
  qav::FileSystem& fs = qav::platformFileSystem();

  const std::vector<Source> files = {{u"big.bin", pattern(1100000, 5), 0, 0},
                                     {u"empty.txt", "", 0, 0},
                                     {u"名稱.txt", "中文", 0, 0}};
  ArchiveHeader h;
  h.magic = u"QAV";
  uint64_t t = 133000000000000000;  // 2022, in whole seconds: some file times keep no less
  for (const Source& s : files) {
    std::ofstream(root / "src" / s.name, std::ios::binary) << s.data;
    ASSERT_TRUE(qav::appendEntry(h.entries, s.name, s.data.size(), t, t + 10000000).ok());
    t += 864000000000;  // a day
  }
  const std::u16string base = u"engine_test_files/";
  qav::Engine engine;
  ASSERT_TRUE(engine.pack(fs, h, base + u"src/", base + u"x_self.exe", stubImage()).ok());
  // Packing again replaces the output; no temporary file stays.
  ASSERT_TRUE(engine.pack(fs, h, base + u"src/", base + u"x_self.exe", stubImage()).ok());
  EXPECT_EQ(sfs::file_size(root / "x_self.exe"),
            qav::kArchiveOffset + expectedArchive(h, files).size());
  EXPECT_EQ(std::distance(sfs::directory_iterator(root), sfs::directory_iterator()), 3);
  // The output may not be one of the sources, however it is spelled.
  EXPECT_EQ(engine.pack(fs, h, base + u"src/", base + u"src/../src/big.bin", {}).code,
            Code::OutputIsSource);

  ArchiveHeader read;
  ASSERT_TRUE(engine.openArchive(fs, base + u"x_self.exe", qav::kArchiveOffset, read).ok());
  ASSERT_TRUE(engine.restore(read, base + u"out/", qav::RestoreMode::MoveAside).ok());
  ASSERT_TRUE(engine.openArchive(fs, base + u"x_self.exe", qav::kArchiveOffset, read).ok());
  ASSERT_TRUE(engine.restore(read, base + u"out/", qav::RestoreMode::MoveAside).ok());
  for (size_t i = 0; i < files.size(); ++i) {
    for (const std::u16string& name : {files[i].name, qav::oldFileName(files[i].name, 1)}) {
      const sfs::path p = root / "out" / name;
      std::ifstream in(p, std::ios::binary);
      ASSERT_TRUE(in) << p;
      const std::string got{std::istreambuf_iterator<char>(in), {}};
      EXPECT_EQ(got, files[i].data);
      EXPECT_EQ(writeTimeOf(p), h.entries[i].writeTime) << p;
    }
  }
  sfs::remove_all(root);
}

}  // namespace
