// The copy loops of packing and restoring, shared by qav (pack, restore with
// files moved aside) and the stub (restore over existing files). They run over
// a FileSystem and report to a Progress object, which the window turns into
// yields, captions and bars; progressSteps() says which ones and in what order.
//
// One Engine owns the one chunk buffer: no file is ever held whole in memory.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive.h"
#include "file_system.h"

namespace qav {

constexpr uint32_t kChunkBytes = 524288;  // 512 KiB per read and write

// ---- Progress -------------------------------------------------------------

// Every event carries the count; the per-file ones also the file and its name,
// the chunk ones also the chunk and the file's blocks.
struct ProgressEvent {
  enum class Kind : uint8_t {
    Begin,       // restore only, before the first file
    FileStart,   // before the file is opened (or, restoring, created)
    ChunkStart,  // before a chunk is read
    ChunkDone,   // after it is written
    FileDone,    // after the file is closed
    Finished,    // everything done; a packed archive has its name
  };
  Kind kind = Kind::Begin;
  uint32_t file = 0;                     // k, from 1
  uint32_t count = 0;                    // N
  const std::u16string* name = nullptr;  // the header's entry: valid until the operation ends
  uint32_t chunk = 0;                    // from 0
  uint32_t blocks = 0;                   // chunks of this file: none for an empty file
};

class Progress {
 public:
  virtual ~Progress() = default;
  // Called before every file and every chunk: let the window handle its
  // pending events. Returning false cancels the operation.
  virtual bool yield() { return true; }
  virtual void event(const ProgressEvent&) {}
};

// Caption texts, numbers in plain decimal:
//   captionProcessing   "正在處理第 " k " 個檔案.."           Label2, per file
//   captionAdding       "加入檔案(" k "/" N ")：" name         Label1, per chunk packed
//   captionAdded        "加入檔案：" name                      Label1, per file packed
//   captionPackDone     "作業完成！共加入了 " N " 個檔案。"
//   captionFileCount    "共 " N " 個檔案。"                     Label1, restore start
//   captionExtracting   "釋出檔案(" k "/" N ")：" name         Label1, per chunk restored
//   captionRestoreDone  "作業完成！共還原了 " N " 個檔案。"
std::u16string captionProcessing(uint32_t k);
std::u16string captionAdding(uint32_t k, uint32_t n, const std::u16string& name);
std::u16string captionAdded(const std::u16string& name);
std::u16string captionPackDone(uint32_t n);
std::u16string captionFileCount(uint32_t n);
std::u16string captionExtracting(uint32_t k, uint32_t n, const std::u16string& name);
std::u16string captionRestoreDone(uint32_t n);

// Bar percentages: (i + 1) / blocks * 100 for chunk i, k / N * 100 for file k.
double chunkPercent(uint32_t chunk, uint32_t blocks);
double filePercent(uint32_t k, uint32_t n);

// Which window shows the events: qav packing, qav restoring, or the stub
// extracting (no per-file Label2, no full bars at the end).
enum class ProgressView : uint8_t { Pack, Restore, Extract };

// One visible update: a caption for Label1/Label2 or a percentage for the file
// bar (Picture1) or the overall bar (Picture2).
struct ProgressStep {
  enum class Target : uint8_t { Label1, Label2, FileBar, TotalBar };
  Target target;
  std::u16string text;
  double percent = 0;
  bool operator==(const ProgressStep&) const = default;
};

// The updates for one event, in the order the window applies them. The output
// label (output path or target folder) is the caller's, after Finished.
std::vector<ProgressStep> progressSteps(ProgressView view, const ProgressEvent& event);

// For a window that shows progress at its own pace: keeps the latest event of
// each kind and, when asked, gives the steps of those events in the order they
// came. Applying them leaves every caption and bar as applying the steps of
// all the events would, without building the captions nobody sees.
class ProgressBacklog {
 public:
  void add(const ProgressEvent& event);
  bool empty() const { return count_ == 0; }
  // The steps since the last take(), oldest event first; empties the backlog.
  std::vector<ProgressStep> take(ProgressView view);

 private:
  static constexpr int kKinds = 6;
  ProgressEvent latest_[kKinds];
  uint64_t order_[kKinds] = {};  // 0: none since the last take()
  uint64_t next_ = 0;
  int count_ = 0;
};

// ---- Errors -----------------------------------------------------------------

enum class EngineErrorCode : uint8_t {
  None,
  Cancelled,          // Progress::yield() said stop
  Header,             // the core refused the header: see `archive`
  BadStubImage,       // an ".exe" output without a stub image of kStubSize bytes
  OutputIsSource,     // subject: the output path, which names one of the files to pack
  OutputFailed,       // subject: the output path; it could not be created
  ReplaceFailed,      // subject: the output path; the finished archive could not take its name
  SourceMissing,      // subject: the source path
  SourceOpenFailed,   // subject: the source path
  SourceChanged,      // subject: the source path; its length is not the table's
  ReadFailed,         // subject: the file being read (source or archive)
  DiskFull,           // subject: the file being written
  WriteFailed,        // subject: the file being written
  ArchiveOpenFailed,  // subject: the archive path
  ArchiveTruncated,   // subject: the entry name whose bytes end early
  CreateFailed,       // subject: the target file that could not be created
  MoveAsideFailed,    // subject: the existing target file that could not be renamed
};

struct EngineError {
  EngineErrorCode code = EngineErrorCode::None;
  std::u16string subject;
  FsResult cause = FsResult::Ok;  // what the file system said, when it said something
  ArchiveError archive;           // for Header
  bool packing = false;           // set by pack(): nothing was created or changed
  bool ok() const { return code == EngineErrorCode::None; }
};

// A Traditional Chinese message naming the file; the caller shows it under the
// title "錯誤報告". Empty for None.
std::u16string describeEngineError(const EngineError& error);

// ---- Restore helpers ----------------------------------------------------------

// The name an existing file is moved aside to: base + "(old-" + i + ")" + ext,
// where ext runs from the name's last "." (empty without one) and base is the
// name with every occurrence of ext removed.
std::u16string oldFileName(const std::u16string& name, uint32_t i);

// Moves the existing file folder + name aside to the first free oldFileName
// (i = 1, 2, ...); `movedTo` receives its new path. `folder` ends with a
// separator (or is empty).
FsResult FixFname(FileSystem& fs, const std::u16string& folder, const std::u16string& name,
                  std::u16string* movedTo = nullptr);

enum class RestoreMode : uint8_t {
  MoveAside,  // qav: an existing file of the same name is kept under its old-name
  Overwrite,  // the stub: an existing file is replaced
};

// ---- Engine ---------------------------------------------------------------------

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Writes the archive of `header` to outputPath: for a name ending in ".exe"
  // (any case) the stub image with the header from kArchiveOffset over its last
  // byte, else the header from offset 0; then every entry's bytes from
  // sourceFolder + name. The archive is built in a temporary file beside the
  // output and replaces it only when complete: on any error the previous output
  // stays as it was and nothing else is left behind. `sourceFolder` ends with a
  // separator (or is empty).
  EngineError pack(FileSystem& fs, const ArchiveHeader& header, const std::u16string& sourceFolder,
                   const std::u16string& outputPath, std::string_view stubImage,
                   uint32_t chunkBytes = kChunkBytes, Progress* progress = nullptr);

  // Opens an archive and reads its header from `offset` (archiveOffset(path) for
  // qav, kArchiveOffset for the stub). The archive stays open for restore();
  // on error it is closed and `header` is unchanged. Not an archive of ours:
  // code Header with archive.code BadMagic (qav shows "這個檔案不是正確的 QAV
  // 格式！"); a header the core refuses (unsafe names, absurd counts, too short)
  // is any other Header error, and nothing has been written.
  EngineError openArchive(FileSystem& fs, const std::u16string& archivePath, uint64_t offset,
                          ArchiveHeader& header);

  // Restores every entry of `header` (the one openArchive gave) into
  // targetFolder + name, reading the archive strictly sequentially, and sets
  // each file's times (creation and last access from accessTime, last write
  // from writeTime). Stops at the first error; files already restored stay,
  // the file being written is removed (and a file moved aside for it gets its
  // name back). Closes the archive in every case. `targetFolder` ends with a
  // separator.
  EngineError restore(const ArchiveHeader& header, const std::u16string& targetFolder,
                      RestoreMode mode, uint32_t chunkBytes = kChunkBytes,
                      Progress* progress = nullptr);

  void closeArchive();

 private:
  class ArchiveReader;
  char* buffer(uint32_t chunkBytes);
  EngineError copySources(FileSystem& fs, const ArchiveHeader& header,
                          const std::u16string& sourceFolder, const std::u16string& outputPath,
                          FileHandle out, uint32_t chunkBytes, Progress& progress);
  EngineError restoreEntry(const ArchiveEntry& entry, uint32_t k, uint32_t n,
                           const std::u16string& folder, RestoreMode mode, uint32_t chunkBytes,
                           Progress& progress);

  std::unique_ptr<char[]> buffer_;
  uint32_t capacity_ = 0;
  std::unique_ptr<ArchiveReader> archive_;
};

}  // namespace qav
