#include "engine.h"

#include <algorithm>
#include <cstring>

#include "version.h"

namespace qav {
namespace {

using Code = EngineErrorCode;
using Kind = ProgressEvent::Kind;

EngineError fail(Code code, const std::u16string& subject = {}, FsResult cause = FsResult::Ok) {
  EngineError e;
  e.code = code;
  e.subject = subject;
  e.cause = cause;
  return e;
}

EngineError writeError(FsResult r, const std::u16string& path) {
  return fail(r == FsResult::DiskFull ? Code::DiskFull : Code::WriteFailed, path, r);
}

uint32_t blocksOf(uint64_t size, uint32_t chunk) {
  return size == 0 ? 0 : static_cast<uint32_t>((size - 1) / chunk + 1);
}

// Sends the events of one operation.
struct Reporter {
  Progress& progress;
  uint32_t count;

  bool yield() { return progress.yield(); }
  void send(Kind kind, uint32_t k = 0, const std::u16string* name = nullptr, uint32_t chunk = 0,
            uint32_t blocks = 0) {
    ProgressEvent e;
    e.kind = kind;
    e.file = k;
    e.count = count;
    e.name = name;
    e.chunk = chunk;
    e.blocks = blocks;
    progress.event(e);
  }
};

// At namespace scope: a function-local static would need a thread-safe guard.
Progress silentProgress;
Progress& orSilent(Progress* p) { return p ? *p : silentProgress; }

}  // namespace

// ---- Captions -----------------------------------------------------------------

std::u16string captionProcessing(uint32_t k) { return u"正在處理第 " + decimal(k) + u" 個檔案.."; }
std::u16string captionAdding(uint32_t k, uint32_t n, const std::u16string& name) {
  return u"加入檔案(" + decimal(k) + u"/" + decimal(n) + u")：" + name;
}
std::u16string captionAdded(const std::u16string& name) { return u"加入檔案：" + name; }
std::u16string captionPackDone(uint32_t n) {
  return u"作業完成！共加入了 " + decimal(n) + u" 個檔案。";
}
std::u16string captionFileCount(uint32_t n) { return u"共 " + decimal(n) + u" 個檔案。"; }
std::u16string captionExtracting(uint32_t k, uint32_t n, const std::u16string& name) {
  return u"釋出檔案(" + decimal(k) + u"/" + decimal(n) + u")：" + name;
}
std::u16string captionRestoreDone(uint32_t n) {
  return u"作業完成！共還原了 " + decimal(n) + u" 個檔案。";
}

double chunkPercent(uint32_t chunk, uint32_t blocks) {
  return blocks == 0 ? 100.0 : (chunk + 1.0) * 100.0 / blocks;
}
double filePercent(uint32_t k, uint32_t n) { return n == 0 ? 100.0 : k * 100.0 / n; }

std::vector<ProgressStep> progressSteps(ProgressView view, const ProgressEvent& e) {
  using T = ProgressStep::Target;
  const bool pack = view == ProgressView::Pack;
  const std::u16string& name = e.name ? *e.name : std::u16string();
  std::vector<ProgressStep> steps;
  auto label = [&](T t, std::u16string text) { steps.push_back({t, std::move(text), 0}); };
  auto bar = [&](T t, double percent) { steps.push_back({t, {}, percent}); };
  switch (e.kind) {
    case Kind::Begin:
      if (!pack) label(T::Label1, captionFileCount(e.count));
      break;
    case Kind::FileStart:
      if (view != ProgressView::Extract) label(T::Label2, captionProcessing(e.file));
      break;
    case Kind::ChunkStart: bar(T::FileBar, chunkPercent(e.chunk, e.blocks)); break;
    case Kind::ChunkDone:
      label(T::Label1,
            pack ? captionAdding(e.file, e.count, name) : captionExtracting(e.file, e.count, name));
      break;
    case Kind::FileDone:
      if (pack) label(T::Label1, captionAdded(name));
      bar(T::TotalBar, filePercent(e.file, e.count));
      break;
    case Kind::Finished:
      if (view != ProgressView::Extract) {
        bar(T::FileBar, 100);
        bar(T::TotalBar, 100);
      }
      label(T::Label1, pack ? captionPackDone(e.count) : captionRestoreDone(e.count));
      break;
  }
  return steps;
}

void ProgressBacklog::add(const ProgressEvent& event) {
  const int kind = static_cast<int>(event.kind);
  if (order_[kind] == 0) ++count_;
  latest_[kind] = event;
  order_[kind] = ++next_;
}

std::vector<ProgressStep> ProgressBacklog::take(ProgressView view) {
  std::vector<ProgressStep> steps;
  // A step is its event's alone (progressSteps looks at nothing else), so the
  // last event of each kind, in order, sets every target to its last value.
  while (count_ > 0) {
    int oldest = -1;
    for (int k = 0; k < kKinds; ++k)
      if (order_[k] != 0 && (oldest < 0 || order_[k] < order_[oldest])) oldest = k;
    for (ProgressStep& step : progressSteps(view, latest_[oldest])) steps.push_back(std::move(step));
    order_[oldest] = 0;
    --count_;
  }
  return steps;
}

// ---- Messages -------------------------------------------------------------------

std::u16string describeEngineError(const EngineError& e) {
  const std::u16string q = u"「" + e.subject + u"」";
  std::u16string cause;
  switch (e.cause) {
    case FsResult::NotFound: cause = u"（找不到檔案或資料夾）"; break;
    case FsResult::Exists: cause = u"（同名的檔案已經存在）"; break;
    case FsResult::AccessDenied: cause = u"（沒有存取權限，或檔案正被其他程式使用）"; break;
    case FsResult::DiskFull: cause = u"（磁碟空間不足）"; break;
    default: break;
  }
  std::u16string text;
  switch (e.code) {
    case Code::None: return {};
    case Code::Cancelled: text = u"作業已取消。"; break;
    case Code::Header: text = describeArchiveError(e.archive); break;
    case Code::BadStubImage: text = u"程式內附的自解檔樣板不正確，無法建立 .exe 集裝檔。"; break;
    case Code::OutputIsSource:
      text = u"輸出檔" + q + u"是要加入的檔案之一，請改用其他檔名或資料夾。";
      break;
    case Code::OutputFailed: text = u"無法建立輸出檔" + q + cause + u"。"; break;
    case Code::ReplaceFailed: text = u"無法以新的集裝檔取代原有的" + q + cause + u"。"; break;
    case Code::SourceMissing: text = u"找不到要加入的檔案" + q + u"，它可能已被移走或刪除。"; break;
    case Code::SourceOpenFailed: text = u"無法開啟要加入的檔案" + q + cause + u"。"; break;
    case Code::SourceChanged:
      text = u"檔案" + q + u"的大小在選取之後已經改變，請重新選取檔案。";
      break;
    case Code::ReadFailed: text = u"讀取" + q + u"時發生錯誤" + cause + u"。"; break;
    case Code::DiskFull: text = u"磁碟空間不足，無法寫入" + q + u"。"; break;
    case Code::WriteFailed: text = u"寫入" + q + u"時發生錯誤" + cause + u"。"; break;
    case Code::ArchiveOpenFailed: text = u"無法開啟集裝檔" + q + cause + u"。"; break;
    case Code::ArchiveTruncated:
      text = u"集裝檔在檔案" + q + u"的內容中途就結束了，集裝檔可能已毀損。";
      break;
    case Code::CreateFailed: text = u"無法建立檔案" + q + cause + u"。"; break;
    case Code::MoveAsideFailed: text = u"無法將原有的檔案" + q + u"改名保留" + cause + u"。"; break;
  }
  if (e.packing) {
    text += u"集裝檔沒有建立，原有的檔案都沒有更動。";
  } else if (e.code == Code::ArchiveTruncated || e.code == Code::ReadFailed ||
             e.code == Code::DiskFull || e.code == Code::WriteFailed ||
             (e.code == Code::Cancelled && !e.subject.empty())) {
    text += u"未寫完的檔案已經刪除。";
  }
  return text;
}

// ---- Moving existing files aside ----------------------------------------------

std::u16string oldFileName(const std::u16string& name, uint32_t i) {
  const size_t dot = name.rfind(u'.');
  const std::u16string ext = dot == std::u16string::npos ? std::u16string() : name.substr(dot);
  std::u16string base;
  if (ext.empty()) {
    base = name;
  } else {
    size_t from = 0;
    for (size_t at; (at = name.find(ext, from)) != std::u16string::npos; from = at + ext.size())
      base.append(name, from, at - from);
    base.append(name, from, std::u16string::npos);
  }
  return base + u"(old-" + decimal(i) + u")" + ext;
}

FsResult FixFname(FileSystem& fs, const std::u16string& folder, const std::u16string& name,
                  std::u16string* movedTo) {
  for (uint32_t i = 1; i != 0; ++i) {
    const std::u16string to = folder + oldFileName(name, i);
    if (fs.exists(to)) continue;
    // The rename never replaces: a hidden file or a folder that the existence
    // test does not see only moves us on to the next number.
    const FsResult r = fs.rename(folder + name, to, false);
    if (r == FsResult::Exists) continue;
    if (r == FsResult::Ok && movedTo) *movedTo = to;
    return r;
  }
  return FsResult::Failed;
}

// ---- The archive being restored -------------------------------------------------

// Sequential reads of the open archive. Small reads (the header's fields) go
// through a read-ahead buffer; chunk-sized reads go straight into the caller's
// buffer after what is already buffered.
class Engine::ArchiveReader final : public InStream {
 public:
  ArchiveReader(FileSystem& fs, FileHandle file, uint64_t size, const std::u16string& path)
      : fs(fs), path(path), file_(file), size_(size) {}
  ~ArchiveReader() override { fs.close(file_); }

  FileSystem& fs;
  const std::u16string path;
  // Why the last read failed: Ok for a file that ended early.
  FsResult failure = FsResult::Ok;

  bool seek(uint64_t offset) {
    if (offset > size_ || fs.seek(file_, offset) != FsResult::Ok) return false;
    pos_ = offset;
    return true;
  }

  bool read(void* dst, size_t n) override {
    failure = FsResult::Ok;
    if (n > remaining()) return false;
    auto out = static_cast<char*>(dst);
    const size_t buffered = std::min(n, bufEnd_ - bufPos_);
    std::memcpy(out, buf_.get() + bufPos_, buffered);
    bufPos_ += buffered;
    size_t done = buffered;
    if (n - done >= kReadAhead) {
      size_t got = 0;
      failure = fs.read(file_, out + done, n - done, got);
      done += got;
    } else if (done < n) {
      size_t got = 0;
      failure = fs.read(file_, buf_.get(), kReadAhead, got);
      bufPos_ = 0;
      bufEnd_ = got;
      const size_t take = std::min(n - done, got);
      std::memcpy(out + done, buf_.get(), take);
      bufPos_ = take;
      done += take;
    }
    pos_ += done;
    return done == n && failure == FsResult::Ok;
  }

  uint64_t remaining() const override { return size_ - pos_; }

 private:
  static constexpr size_t kReadAhead = 65536;
  FileHandle file_;
  uint64_t size_;
  uint64_t pos_ = 0;  // next byte handed out
  std::unique_ptr<char[]> buf_{new char[kReadAhead]};
  size_t bufPos_ = 0, bufEnd_ = 0;
};

// ---- Engine -------------------------------------------------------------------------

Engine::Engine() = default;
Engine::~Engine() = default;

char* Engine::buffer(uint32_t chunkBytes) {
  if (capacity_ < chunkBytes) {
    buffer_.reset();  // never two buffers at once
    buffer_.reset(new char[chunkBytes]);
    capacity_ = chunkBytes;
  }
  return buffer_.get();
}

void Engine::closeArchive() { archive_.reset(); }

EngineError Engine::pack(FileSystem& fs, const ArchiveHeader& header,
                         const std::u16string& sourceFolder, const std::u16string& outputPath,
                         std::string_view stubImage, uint32_t chunkBytes, Progress* progress) {
  EngineError error = [&]() -> EngineError {
    if (chunkBytes == 0) chunkBytes = kChunkBytes;
    const bool exe = archiveOffset(outputPath) != 0;
    if (exe && stubImage.size() != kStubSize) return fail(Code::BadStubImage);

    // Everything the core writer checks, before anything is created.
    StringOutStream record;
    if (ArchiveError e = writeHeader(record, header); !e.ok()) {
      EngineError h = fail(Code::Header);
      h.archive = e;
      return h;
    }

    // The output may not be one of the files it is made of: replacing it would
    // destroy that file's only copy. Only an existing output can be one.
    FileId outId, id;
    if (fs.fileId(outputPath, outId))
      for (const ArchiveEntry& e : header.entries)
        if (fs.fileId(sourceFolder + e.name, id) && id == outId)
          return fail(Code::OutputIsSource, outputPath);

    // Built beside the output under a free name, so that the rename at the end
    // stays within one volume and replaces the previous output in one step.
    std::u16string temp;
    FileHandle out = nullptr;
    FsResult r = FsResult::Exists;
    for (uint32_t i = 0; i < 1000 && r == FsResult::Exists; ++i) {
      temp = outputPath + u"~" + decimal(i) + u".tmp";
      r = fs.create(temp, CreateMode::Exclusive, out);
    }
    if (r != FsResult::Ok) return fail(Code::OutputFailed, outputPath, r);

    // The header goes over the image's last byte, so that byte is never written.
    if (exe) r = fs.write(out, stubImage.data(), kArchiveOffset);
    if (r == FsResult::Ok) r = fs.write(out, record.str().data(), record.str().size());
    record.str() = std::string();
    EngineError e = r == FsResult::Ok ? copySources(fs, header, sourceFolder, outputPath, out,
                                                    chunkBytes, orSilent(progress))
                                      : writeError(r, outputPath);
    r = fs.close(out);
    if (e.ok() && r != FsResult::Ok) e = writeError(r, outputPath);
    if (e.ok()) {
      r = fs.rename(temp, outputPath, true);
      if (r != FsResult::Ok) e = fail(Code::ReplaceFailed, outputPath, r);
    }
    if (!e.ok()) fs.remove(temp);
    return e;
  }();
  if (error.ok()) {
    Reporter{orSilent(progress), static_cast<uint32_t>(header.entries.size())}.send(Kind::Finished);
  } else {
    error.packing = true;
  }
  return error;
}

EngineError Engine::copySources(FileSystem& fs, const ArchiveHeader& header,
                                const std::u16string& sourceFolder,
                                const std::u16string& outputPath, FileHandle out,
                                uint32_t chunkBytes, Progress& progress) {
  const uint32_t n = static_cast<uint32_t>(header.entries.size());
  Reporter report{progress, n};
  char* buf = buffer(chunkBytes);
  for (uint32_t k = 1; k <= n; ++k) {
    const ArchiveEntry& entry = header.entries[k - 1];
    if (!report.yield()) return fail(Code::Cancelled);
    report.send(Kind::FileStart, k, &entry.name);

    const std::u16string path = sourceFolder + entry.name;
    FileHandle in = nullptr;
    uint64_t size = 0;
    FsResult r = fs.openRead(path, in, size);
    if (r != FsResult::Ok)
      return fail(r == FsResult::NotFound ? Code::SourceMissing : Code::SourceOpenFailed, path, r);

    // The table's size is what the header announces: copy exactly that or stop.
    EngineError e;
    if (size != entry.size) e = fail(Code::SourceChanged, path);
    const uint32_t blocks = blocksOf(entry.size, chunkBytes);
    uint64_t remaining = entry.size;
    for (uint32_t i = 0; e.ok() && i < blocks; ++i) {
      if (!report.yield()) {
        e = fail(Code::Cancelled);
        break;
      }
      report.send(Kind::ChunkStart, k, &entry.name, i, blocks);
      const size_t want = remaining < chunkBytes ? static_cast<size_t>(remaining) : chunkBytes;
      size_t got = 0;
      r = fs.read(in, buf, want, got);
      if (r != FsResult::Ok)
        e = fail(Code::ReadFailed, path, r);
      else if (got != want)
        e = fail(Code::SourceChanged, path);  // it shrank while we read it
      else if ((r = fs.write(out, buf, want)) != FsResult::Ok)
        e = writeError(r, outputPath);
      else
        report.send(Kind::ChunkDone, k, &entry.name, i, blocks);
      remaining -= want;
    }
    fs.close(in);
    if (!e.ok()) return e;
    report.send(Kind::FileDone, k, &entry.name);
  }
  return {};
}

EngineError Engine::openArchive(FileSystem& fs, const std::u16string& archivePath, uint64_t offset,
                                ArchiveHeader& header) {
  closeArchive();
  FileHandle file = nullptr;
  uint64_t size = 0;
  if (FsResult r = fs.openRead(archivePath, file, size); r != FsResult::Ok)
    return fail(Code::ArchiveOpenFailed, archivePath, r);
  auto reader = std::make_unique<ArchiveReader>(fs, file, size, archivePath);
  EngineError e = fail(Code::Header);
  if (!reader->seek(offset)) {
    // Shorter than the stub image: whatever it is, it is not a container of ours.
    e.archive.code = ArchiveErrorCode::BadMagic;
    return e;
  }
  e.archive = readHeader(*reader, header);
  if (!e.archive.ok()) return e;
  archive_ = std::move(reader);
  return {};
}

EngineError Engine::restore(const ArchiveHeader& header, const std::u16string& targetFolder,
                            RestoreMode mode, uint32_t chunkBytes, Progress* progress) {
  if (!archive_) return fail(Code::ArchiveOpenFailed);
  if (chunkBytes == 0) chunkBytes = kChunkBytes;
  const uint32_t n = static_cast<uint32_t>(header.entries.size());
  Reporter report{orSilent(progress), n};
  report.send(Kind::Begin);
  EngineError e;
  for (uint32_t k = 1; k <= n && e.ok(); ++k)
    e = restoreEntry(header.entries[k - 1], k, n, targetFolder, mode, chunkBytes, report.progress);
  closeArchive();
  if (e.ok()) report.send(Kind::Finished);
  return e;
}

EngineError Engine::restoreEntry(const ArchiveEntry& entry, uint32_t k, uint32_t n,
                                 const std::u16string& folder, RestoreMode mode,
                                 uint32_t chunkBytes, Progress& progress) {
  Reporter report{progress, n};
  ArchiveReader& archive = *archive_;
  FileSystem& fs = archive.fs;
  if (!report.yield()) return fail(Code::Cancelled);
  report.send(Kind::FileStart, k, &entry.name);

  const std::u16string target = folder + entry.name;
  std::u16string aside;
  FileHandle out = nullptr;
  FsResult r;
  if (mode == RestoreMode::MoveAside) {
    // Create first and move aside only when the name is taken: testing for the
    // name before every create costs more than the create itself in a large
    // folder. A hidden file of that name is moved aside as well.
    r = fs.create(target, CreateMode::Exclusive, out);
    if (r == FsResult::Exists) {
      if (r = FixFname(fs, folder, entry.name, &aside); r != FsResult::Ok)
        return fail(Code::MoveAsideFailed, target, r);
      r = fs.create(target, CreateMode::Exclusive, out);
    }
  } else {
    r = fs.create(target, CreateMode::Truncate, out);
  }
  EngineError e;
  if (r != FsResult::Ok) {
    e = fail(Code::CreateFailed, target, r);
  } else {
    char* buf = buffer(chunkBytes);
    const uint32_t blocks = blocksOf(entry.size, chunkBytes);
    uint64_t remaining = entry.size;
    for (uint32_t i = 0; e.ok() && i < blocks; ++i) {
      if (!report.yield()) {
        e = fail(Code::Cancelled, target);
        break;
      }
      report.send(Kind::ChunkStart, k, &entry.name, i, blocks);
      const size_t want = remaining < chunkBytes ? static_cast<size_t>(remaining) : chunkBytes;
      if (!archive.read(buf, want))
        e = archive.failure == FsResult::Ok ? fail(Code::ArchiveTruncated, entry.name)
                                            : fail(Code::ReadFailed, archive.path, archive.failure);
      else if ((r = fs.write(out, buf, want)) != FsResult::Ok)
        e = writeError(r, target);
      else
        report.send(Kind::ChunkDone, k, &entry.name, i, blocks);
      remaining -= want;
    }
    // Set through the open handle: no second open per file. A file whose times
    // cannot be set still holds all its bytes, so that is not an error.
    if (e.ok()) fs.setTimes(out, entry.accessTime, entry.accessTime, entry.writeTime);
    r = fs.close(out);
    if (e.ok() && r != FsResult::Ok) e = writeError(r, target);
    // A file cut short must not pass for a restored one: remove what was written.
    if (!e.ok()) fs.remove(target);
  }
  if (!e.ok()) {
    // Give the name back to the file that held it before.
    if (!aside.empty()) fs.rename(aside, target, false);
    return e;
  }
  report.send(Kind::FileDone, k, &entry.name);
  return {};
}

}  // namespace qav
