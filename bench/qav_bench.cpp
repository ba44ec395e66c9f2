// Native benchmark of the pack and restore engines. Not a test: it prints
// numbers and ratios measured in one run, on one machine, and fails on none.
//
//   qav_bench FOLDER [--scale S] [--runs N] [--verbose]
//
// Makes three data sets in FOLDER/sets (kept for later runs): one 1 GiB file,
// 10,000 files of 1-64 KiB, 30,000 empty files (each count and size times S).
// For every set and run, interleaved so that they share the machine's noise:
// `cp -r` of the set, a plain 512 KiB read/write copy loop, the engine packing
// the set into one archive, and the engine restoring that archive into a new
// folder. Prints the median times and the throughput ratios engine/cp and
// engine/loop, the peak resident memory, and the processor time to build and
// write the header at 15,000 and 30,000 entries (the format holds at most 32767).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "archive.h"
#include "engine.h"
#include "file_system.h"
#include "utf8.h"

extern char** environ;

namespace {

namespace sfs = std::filesystem;

constexpr size_t kLoopChunk = 524288;

double seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The spread of the runs, as the machine's noise: (max - min) / median.
double spread(const std::vector<double>& v) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return (*hi - *lo) / median(v);
}

// Wall time, and processor time of this process and its finished children
// (user + system): the second leaves out the waits for whatever else runs.
struct Sample {
  double wall = 0, cpu = 0;
};

double usedCpu() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    total +=
        u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
  }
  return total;
}

class Stopwatch {
 public:
  Stopwatch() : wall_(seconds()), cpu_(usedCpu()) {}
  Sample stop() const { return {seconds() - wall_, usedCpu() - cpu_}; }

 private:
  double wall_, cpu_;
};

long peakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "qav_bench: %s\n", what.c_str());
  std::exit(1);
}

void removeTree(const sfs::path& p) {
  std::error_code ec;
  sfs::remove_all(p, ec);
}

// ---- Data sets ------------------------------------------------------------------

struct DataSet {
  std::string name, label;
  std::vector<std::string> files;  // names inside the set's folder
  uint64_t bytes = 0;
};

using qav::bench::fill;

void writeFile(const sfs::path& p, uint64_t size, uint64_t& state) {
  const int f = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (f < 0) die("cannot create " + p.string());
  std::vector<char> buf(1 << 20);
  while (size > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, buf.size()));
    fill(buf.data(), n, state);
    if (write(f, buf.data(), n) != static_cast<ssize_t>(n)) die("cannot write " + p.string());
    size -= n;
  }
  close(f);
}

DataSet makeSet(const sfs::path& root, const std::string& name, const std::string& label,
                size_t count, uint64_t minSize, uint64_t maxSize, const char* prefix) {
  DataSet set{name, label, {}, 0};
  uint64_t rng = 0x9E3779B97F4A7C15ull ^ count;
  std::vector<uint64_t> sizes;
  for (size_t i = 0; i < count; ++i) {
    char file[32];
    std::snprintf(file, sizeof file, "%s%05zu.bin", prefix, i);
    set.files.push_back(file);
    rng = rng * 6364136223846793005ull + 1442695040888963407ull;
    sizes.push_back(minSize == maxSize ? minSize : minSize + (rng >> 33) % (maxSize - minSize + 1));
    set.bytes += sizes.back();
  }
  // A marker beside the folder says the set is complete and of this shape.
  const sfs::path dir = root / name, marker = root / (name + ".ready");
  const std::string shape = std::to_string(count) + " " + std::to_string(set.bytes);
  if (FILE* m = std::fopen(marker.c_str(), "r")) {
    char got[64] = {};
    const bool same = std::fgets(got, sizeof got, m) && shape == got;
    std::fclose(m);
    if (same) return set;
  }
  std::printf("creating %s ...\n", label.c_str());
  std::fflush(stdout);
  removeTree(dir);
  sfs::create_directories(dir);
  uint64_t state = 88172645463325252ull;
  for (size_t i = 0; i < count; ++i) writeFile(dir / set.files[i], sizes[i], state);
  FILE* m = std::fopen(marker.c_str(), "w");
  std::fputs(shape.c_str(), m);
  std::fclose(m);
  return set;
}

uint64_t fileTime(const timespec& t) {
  return static_cast<uint64_t>(t.tv_sec + 11644473600ll) * 10000000 +
         static_cast<uint64_t>(t.tv_nsec / 100);
}

qav::ArchiveHeader headerFor(const sfs::path& dir, const DataSet& set) {
  qav::ArchiveHeader h;
  h.magic = u"QAV";
  h.versionMajor = 4;
  h.versionMinor = 4;
  h.versionRevision = 13;
  for (const std::string& f : set.files) {
    struct stat st;
    if (stat((dir / f).c_str(), &st) != 0) die("cannot stat " + f);
    const qav::ArchiveError e =
        qav::appendEntry(h.entries, qav::fromUtf8(f), static_cast<uint64_t>(st.st_size),
                         fileTime(st.st_atim), fileTime(st.st_mtim));
    if (!e.ok()) die("table refused " + f);
  }
  return h;
}

// ---- The copies being compared ----------------------------------------------------

Sample timeCp(const sfs::path& from, const sfs::path& to) {
  removeTree(to);
  sync();
  const std::string a = from.string(), b = to.string();
  char* argv[] = {const_cast<char*>("cp"), const_cast<char*>("-r"), const_cast<char*>(a.c_str()),
                  const_cast<char*>(b.c_str()), nullptr};
  const Stopwatch watch;
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0) die("cannot start cp");
  int status = 0;
  waitpid(pid, &status, 0);
  const Sample t = watch.stop();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die("cp failed");
  return t;
}

Sample timeLoop(const sfs::path& from, const sfs::path& to, const DataSet& set) {
  removeTree(to);
  sfs::create_directories(to);
  sync();
  std::unique_ptr<char[]> buf(new char[kLoopChunk]);
  const Stopwatch watch;
  for (const std::string& f : set.files) {
    const int in = open((from / f).c_str(), O_RDONLY);
    const int out = open((to / f).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) die("loop cannot open " + f);
    for (;;) {
      const ssize_t n = read(in, buf.get(), kLoopChunk);
      if (n < 0) die("loop cannot read " + f);
      if (n == 0) break;
      if (write(out, buf.get(), static_cast<size_t>(n)) != n) die("loop cannot write " + f);
    }
    close(in);
    close(out);
  }
  return watch.stop();
}

Sample timePack(qav::Engine& engine, const qav::ArchiveHeader& h, const sfs::path& from,
                const sfs::path& archive) {
  removeTree(archive);
  sync();
  const Stopwatch watch;
  const qav::EngineError e =
      engine.pack(qav::platformFileSystem(), h, qav::fromUtf8(from.string() + "/"),
                  qav::fromUtf8(archive.string()), {});
  const Sample t = watch.stop();
  if (!e.ok()) die("pack: " + qav::toUtf8(qav::describeEngineError(e)));
  return t;
}

Sample timeRestore(qav::Engine& engine, const sfs::path& archive, const sfs::path& to) {
  removeTree(to);
  sfs::create_directories(to);
  sync();
  const Stopwatch watch;
  qav::ArchiveHeader h;
  qav::EngineError e =
      engine.openArchive(qav::platformFileSystem(), qav::fromUtf8(archive.string()), 0, h);
  if (e.ok()) e = engine.restore(h, qav::fromUtf8(to.string() + "/"), qav::RestoreMode::MoveAside);
  const Sample t = watch.stop();
  if (!e.ok()) die("restore: " + qav::toUtf8(qav::describeEngineError(e)));
  return t;
}

// ---- Header build ----------------------------------------------------------------

// Processor time of this process: the header build does no I/O, and this
// leaves out whatever else the machine runs meanwhile.
double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Builds the table with appendEntry and writes the record, as the file list
// and the pack do.
double timeHeader(size_t entries) {
  const double start = cpuSeconds();
  qav::ArchiveHeader h;
  h.magic = u"QAV";
  for (size_t i = 0; i < entries; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file%05zu.bin", i);
    if (!qav::appendEntry(h.entries, qav::fromUtf8(name), 1000, 1, 2).ok()) die("append");
  }
  qav::StringOutStream out;
  if (!qav::writeHeader(out, h).ok()) die("writeHeader");
  return cpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [--scale S] [--runs N] [--verbose]\n", argv[0]);
    return 2;
  }
  const sfs::path root = sfs::absolute(argv[1]);
  double scale = 1;
  int runs = 3;
  bool verbose = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--verbose") == 0)
      verbose = true;
    else if (i + 1 < argc && std::strcmp(argv[i], "--scale") == 0)
      scale = std::atof(argv[++i]);
    else if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      die(std::string("unknown argument ") + argv[i]);
  }
  if (!(scale > 0 && scale <= 1)) die("--scale must be in (0, 1]");
  const auto count = [&](double n) {
    return std::max<size_t>(1, static_cast<size_t>(n * scale + 0.5));
  };

  const sfs::path sets = root / "sets", work = root / "work";
  sfs::create_directories(sets);
  const std::vector<DataSet> all = {
      makeSet(sets, "big", "1 file of 1 GiB", 1, static_cast<uint64_t>(1073741824 * scale),
              static_cast<uint64_t>(1073741824 * scale), "big"),
      makeSet(sets, "small", std::to_string(count(10000)) + " files of 1-64 KiB", count(10000),
              1024, 65536, "s"),
      makeSet(sets, "empty", std::to_string(count(30000)) + " empty files", count(30000), 0, 0,
              "e"),
  };
  removeTree(work);
  sfs::create_directories(work);
  const long rssBefore = peakRssKiB();

  struct Row {
    std::string label, op;
    std::vector<Sample> cp, loop, engine;
    uint64_t bytes;
    size_t files;
  };
  std::vector<Row> rows;
  qav::Engine engine;
  for (const DataSet& set : all) {
    const sfs::path from = sets / set.name, archive = work / (set.name + "_qav.qav");
    const qav::ArchiveHeader h = headerFor(from, set);
    // The archive that the restores read, made once and not timed, so that the
    // four copies are independent and can take turns at going first.
    const sfs::path source = work / (set.name + "_source.qav");
    timePack(engine, h, from, source);
    Row pack{set.label, "pack", {}, {}, {}, set.bytes, set.files.size()};
    Row restore{set.label, "restore", {}, {}, {}, set.bytes, set.files.size()};
    // Run 0 warms up and is not counted. Every copy is removed right after it
    // is timed, and the order rotates from run to run: on a virtual machine the
    // first use of memory given back to the host costs far more than a reuse,
    // and whichever copy came right after such a moment would carry it alone.
    for (int r = 0; r <= runs; ++r) {
      Sample t[4];
      for (int i = 0; i < 4; ++i) {
        switch ((i + r) % 4) {
          case 0:
            t[0] = timeCp(from, work / "cp");
            removeTree(work / "cp");
            break;
          case 1:
            t[1] = timeLoop(from, work / "loop", set);
            removeTree(work / "loop");
            break;
          case 2:
            t[2] = timePack(engine, h, from, archive);
            removeTree(archive);
            break;
          case 3:
            t[3] = timeRestore(engine, source, work / "restore");
            removeTree(work / "restore");
            break;
        }
      }
      if (verbose)
        std::printf(
            "  %s run %d%s, wall (processor) s: cp %.3f (%.3f)  loop %.3f (%.3f)  "
            "pack %.3f (%.3f)  restore %.3f (%.3f)\n",
            set.name.c_str(), r, r == 0 ? " (warm-up)" : "", t[0].wall, t[0].cpu, t[1].wall,
            t[1].cpu, t[2].wall, t[2].cpu, t[3].wall, t[3].cpu);
      if (r == 0) continue;
      for (Row* row : {&pack, &restore}) {
        row->cp.push_back(t[0]);
        row->loop.push_back(t[1]);
      }
      pack.engine.push_back(t[2]);
      restore.engine.push_back(t[3]);
    }
    removeTree(source);
    rows.push_back(pack);
    rows.push_back(restore);
  }

  const auto pick = [](const std::vector<Sample>& v, bool cpu) {
    std::vector<double> out;
    for (const Sample& s : v) out.push_back(cpu ? s.cpu : s.wall);
    return out;
  };
  for (const bool cpu : {false, true}) {
    std::printf(
        cpu ? "\nprocessor time (user + system), median of %d runs; ratio = baseline time / engine "
              "time\n"
            : "\nwall time, median of %d runs; ratio = engine throughput / baseline throughput\n",
        runs);
    std::printf("%-24s %-7s %8s %8s %8s %9s %11s %13s  %s\n", "set", "engine", "cp s", "loop s",
                "engine s", "engine/cp", "engine/loop", cpu ? "" : "engine rate",
                "spread cp/loop/engine");
    for (const Row& row : rows) {
      const auto cp = pick(row.cp, cpu), loop = pick(row.loop, cpu), en = pick(row.engine, cpu);
      const double c = median(cp), l = median(loop), e = median(en);
      char rate[32] = "";
      if (cpu)
        ;
      else if (row.bytes > 0)
        std::snprintf(rate, sizeof rate, "%.0f MB/s", row.bytes / e / 1e6);
      else
        std::snprintf(rate, sizeof rate, "%.0f files/s", row.files / e);
      std::printf("%-24s %-7s %8.3f %8.3f %8.3f %9.2f %11.2f %13s  %.0f%%/%.0f%%/%.0f%%\n",
                  row.label.c_str(), row.op.c_str(), c, l, e, c / e, l / e, rate, spread(cp) * 100,
                  spread(loop) * 100, spread(en) * 100);
    }
  }
  std::printf(
      "(spread = (slowest - fastest) / median of that column's runs: the machine's noise)\n");
  removeTree(work);

  std::printf("\npeak resident memory: %.1f MiB (%.1f MiB before the first copy)\n",
              peakRssKiB() / 1024.0, rssBefore / 1024.0);
  // Twice the entries should take about twice the time. 30,000 and 60,000
  // cannot both be built: the format holds at most 32767 entries.
  const size_t half = 15000, full = 30000;
  std::vector<double> th, tf;
  timeHeader(full);  // not counted: lets the allocator settle on its largest size first
  for (int r = 0; r < 7; ++r) {
    th.push_back(timeHeader(half));
    tf.push_back(timeHeader(full));
  }
  std::printf(
      "header build and write (processor time, median of 7): %zu entries %.2f ms, "
      "%zu entries %.2f ms (ratio %.2f)\n",
      half, median(th) * 1e3, full, median(tf) * 1e3, median(tf) / median(th));
  return 0;
}
