#include "tools/crashtest/cascade/cascade_workload.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "app/catalogue.h"
#include "app/data_startup.h"
#include "classlib/error_class.h"
#include "runtime/core/error.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"
#include "tools/tvx/tvx_check.h"

namespace cinevo::crashtest {
namespace {

namespace fs = std::filesystem;
using namespace cinevo::app;


std::string GroupName(int number, int revision) {
  return "G" + std::to_string(number) + "r" + std::to_string(revision);
}
// The number in "G<number>r<revision>", or -1.
int NumberOfName(const std::string& name) {
  if (name.size() < 4 || name[0] != 'G') return -1;
  size_t r = name.find('r');
  if (r == std::string::npos || r == 1) return -1;
  return std::atoi(name.substr(1, r - 1).c_str());
}
int RevisionOfName(const std::string& name) {
  size_t r = name.find('r');
  return r == std::string::npos ? 0 : std::atoi(name.substr(r + 1).c_str());
}
std::string MoviePath(int number, int k) {
  return "/movies/" + std::to_string(number) + "/" + std::to_string(k) + ".avi";
}
int NumberOfPath(const std::string& path) {
  if (path.rfind("/movies/", 0) != 0) return -1;
  return std::atoi(path.c_str() + 8);
}

// Appends one line to the log with a single write: a killed worker leaves whole lines.
void LogLine(int fd, const std::string& line) {
  std::string l = line + "\n";
  ssize_t w = ::write(fd, l.data(), l.size());
  (void)w;
}

bool FileClean(const std::string& path, std::vector<std::string>& problems) {
  std::string p = path;
  char* argv[] = {p.data(), nullptr};
  std::FILE* sink = std::tmpfile();
  int status = tvx::RunCheck(1, argv, sink, sink);
  if (status != 0) {
    std::string text;
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF && text.size() < 2000;) text.push_back(static_cast<char>(c));
    problems.push_back("tvx check " + path + " exit " + std::to_string(status) + ": " + text);
  }
  std::fclose(sink);
  return status == 0;
}

struct Op {
  char kind = 0;  // 'C' create, 'R' rename, 'D' delete
  int number = 0;
  int movies = 0;      // C: how many
  std::string name;    // C/R: the new name; D: the name deleted
  bool done = false;   // "E" logged
};

std::vector<Op> ParseOps(const std::string& log, std::vector<std::string>& messages) {
  std::vector<Op> ops;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == 'M') {
      messages.push_back(line.substr(2));
    } else if (line[0] == 'B') {
      std::istringstream l(line.substr(2));
      Op op;
      l >> op.kind >> op.number >> op.movies >> op.name;
      ops.push_back(op);
    } else if (line[0] == 'E' && !ops.empty()) {
      ops.back().done = true;
    }
  }
  return ops;
}

void Apply(const Op& op, CascadeState& s) {
  if (op.kind == 'C') s[op.number] = CascadeGroup{op.name, op.movies};
  if (op.kind == 'R') s[op.number].name = op.name;
  if (op.kind == 'D') s.erase(op.number);
}

std::string Describe(const CascadeState& s) {
  std::string out;
  for (const auto& [n, g] : s) out += g.name + "=" + std::to_string(g.movies) + " ";
  return out;
}

class Worker {
 public:
  Worker(const std::string& dir, int logFd) : catalogue_(dir), log_(logFd) {
    errors_.Init();
    catalogue_.InitGroups(errors_);
    catalogue_.InitMovies(errors_);
  }
  ~Worker() {
    catalogue_.GroupRelations().CloseAll();
    catalogue_.KillGroups();
    catalogue_.KillMovies();
    errors_.Kill();
  }
  bool Open() {
    if (catalogue_.GroupRelations().OpenAll() != 0) return false;
    return catalogue_.Movies().EnsureOpen() == 0;
  }
  bool Load(CascadeState& s) {
    FileControlBlock& g = catalogue_.GroupFile();
    FileControlBlock& m = catalogue_.MovieFile();
    s.clear();
    if (SetKey(g, 0) != 0) return false;
    while (Next(g) == 0) {
      std::string name = LoadText(g, gru::kSifra, gru::kSifraSize);
      s[NumberOfName(name)] = CascadeGroup{name, 0};
    }
    if (SetKey(m, 0) != 0) return false;
    while (Next(m) == 0) ++s[NumberOfPath(LoadText(m, pod::kNaslov, pod::kNaslovSize))].movies;
    return true;
  }
  void Create(int number, int movies) {
    std::string name = GroupName(number, 0);
    LogLine(log_, "B C " + std::to_string(number) + " " + std::to_string(movies) + " " + name);
    FileControlBlock* files[] = {&catalogue_.GroupFile(), &catalogue_.MovieFile()};
    if (Logout(2, files) != 0) Fail("LOGOUT");
    FileControlBlock& g = catalogue_.GroupFile();
    std::fill(g.record.begin(), g.record.end(), ' ');
    StoreText(g, gru::kSifra, gru::kSifraSize, name);
    if (Add(g) != 0) Fail("ADD group");
    FileControlBlock& m = catalogue_.MovieFile();
    for (int k = 0; k < movies; ++k) {
      std::fill(m.record.begin(), m.record.end(), ' ');
      std::string path = MoviePath(number, k);
      StoreText(m, pod::kSifra, pod::kSifraSize, name);
      StoreText(m, pod::kNaslov, pod::kNaslovSize, path);
      StoreText(m, pod::kNaslov2, pod::kNaslov2Size, path.substr(0, 10));
      if (Add(m) != 0) Fail("ADD movie");
    }
    if (Commit(files) != 0) Fail("COMMIT");
    LogLine(log_, "E");
  }
  void Rename(int number, const std::string& from, const std::string& to) {
    LogLine(log_, "B R " + std::to_string(number) + " 0 " + to);
    Select(from);
    StoreText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize, to);
    if (catalogue_.GroupRelations().Update() != 0) Fail("rename");
    LogLine(log_, "E");
  }
  void Delete(int number, const std::string& name) {
    LogLine(log_, "B D " + std::to_string(number) + " 0 " + name);
    Select(name);
    if (catalogue_.GroupRelations().Delete(false) != 0) Fail("delete");
    LogLine(log_, "E");
  }

 private:
  void Select(const std::string& name) {
    StoreText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize, name);
    if (Get(catalogue_.GroupFile(), 0) != 0) Fail("GET " + name);
    catalogue_.GroupRelations().SaveLinks();
  }
  [[noreturn]] void Fail(const std::string& what) {
    LogLine(log_, "M " + what + " failed: error " + std::to_string(ErrorCode()));
    std::_Exit(3);
  }

  classlib::ErrorClass errors_;
  Catalogue catalogue_;
  int log_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

bool ReadCascadeState(const std::string& dir, CascadeState& state, std::vector<std::string>& problems) {
  size_t before = problems.size();
  {
    // Opened as the program opens them: an interrupted commit is settled first.
    Catalogue recover(dir);
    if (Open(recover.GroupFile(), 0x42) == 0) Close(recover.GroupFile());
    if (Open(recover.MovieFile(), 0x42) == 0) Close(recover.MovieFile());
  }
  for (const char* f : {"GRUPA.TVX", "PODGRU.TVX"}) {
    if (fs::exists(fs::path(dir) / f)) FileClean((fs::path(dir) / f).string(), problems);
  }
  if (problems.size() != before) return false;
  Catalogue c(dir);
  FileControlBlock& g = c.GroupFile();
  FileControlBlock& m = c.MovieFile();
  state.clear();
  if (Open(g, 0x42) != 0 || Open(m, 0x42) != 0) {
    problems.push_back("cannot open the catalogue: error " + std::to_string(ErrorCode()));
    return false;
  }
  SetKey(g, 0);
  while (Next(g) == 0) {
    std::string name = LoadText(g, gru::kSifra, gru::kSifraSize);
    int n = NumberOfName(name);
    if (n < 0 || state.count(n)) problems.push_back("unexpected group " + name);
    state[n] = CascadeGroup{name, 0};
  }
  std::map<int, std::map<std::string, int>> seen;  // number -> name -> movies
  SetKey(m, 0);
  while (Next(m) == 0) {
    ++seen[NumberOfPath(LoadText(m, pod::kNaslov, pod::kNaslovSize))][LoadText(m, pod::kSifra, pod::kSifraSize)];
  }
  Close(g);
  Close(m);
  for (const auto& [n, names] : seen) {
    if (names.size() != 1) {
      std::string all;
      for (const auto& [name, count] : names) all += name + "(" + std::to_string(count) + ") ";
      problems.push_back("movies of group " + std::to_string(n) + " carry several names: " + all);
      continue;
    }
    auto it = state.find(n);
    if (it == state.end() || it->second.name != names.begin()->first) {
      problems.push_back("movies of " + names.begin()->first + " have no group");
      continue;
    }
    it->second.movies = names.begin()->second;
  }
  return problems.size() == before;
}

int RunCascadeWorker(const std::string& dir, const std::string& log, uint64_t seed, int max_movies, int operations) {
  int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return 2;
  StartDataRuntime(nullptr);
  SetMessageBoxResponder([fd](const MessageBoxRequest& r) {
    LogLine(fd, "M " + r.title + ": " + r.text);
    std::_Exit(3);
    return 0u;
  });
  Worker w(dir, fd);
  if (!w.Open()) {
    LogLine(fd, "M the catalogue cannot be opened");
    return 3;
  }
  CascadeState s;
  if (!w.Load(s)) return 3;
  std::mt19937_64 rng(seed);
  int next = s.empty() ? 1 : s.rbegin()->first + 1;
  for (int i = 0; operations <= 0 || i < operations; ++i) {
    std::uniform_int_distribution<int> pick(0, 99);
    int roll = pick(rng);
    if (s.size() < 3 || (roll < 25 && s.size() < 8)) {
      int movies = std::uniform_int_distribution<int>(1, max_movies)(rng);
      w.Create(next, movies);
      s[next] = CascadeGroup{GroupName(next, 0), movies};
      ++next;
      continue;
    }
    auto it = s.begin();
    std::advance(it, std::uniform_int_distribution<size_t>(0, s.size() - 1)(rng));
    if (roll < 75) {
      std::string to = GroupName(it->first, RevisionOfName(it->second.name) + 1);
      w.Rename(it->first, it->second.name, to);
      it->second.name = to;
    } else {
      w.Delete(it->first, it->second.name);
      s.erase(it);
    }
  }
  ::close(fd);
  return 0;
}

CascadeReport RunCascadeKills(const std::string& dir, int kills, uint64_t seed, int max_delay_us, int max_movies) {
  CascadeReport report;
  isam::RegisterIsamDriver();
  std::mt19937_64 rng(seed);
  CascadeState state;
  std::vector<std::string> problems;
  ReadCascadeState(dir, state, problems);
  for (int round = 0; round < kills && report.failures.empty(); ++round) {
    std::string log = (fs::path(dir) / ("cascade-" + std::to_string(round) + ".log")).string();
    fs::remove(log);
    uint64_t workerSeed = rng();
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) std::_Exit(RunCascadeWorker(dir, log, workerSeed, max_movies, 0));
    int delay = std::uniform_int_distribution<int>(0, max_delay_us)(rng);
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ++report.kills;
    std::vector<std::string> messages;
    std::vector<Op> ops = ParseOps(ReadAll(log), messages);
    for (const std::string& m : messages) report.failures.push_back("round " + std::to_string(round) + ": " + m);
    CascadeState expected = state;
    const Op* pending = nullptr;
    for (const Op& op : ops) {
      if (!op.done) {
        pending = &op;
        break;
      }
      if (op.kind != 'C') report.largestGroup = std::max(report.largestGroup, expected[op.number].movies);
      Apply(op, expected);
      ++report.completed;
      (op.kind == 'C' ? report.creates : op.kind == 'R' ? report.renames : report.deletes)++;
    }
    CascadeState found;
    problems.clear();
    if (!ReadCascadeState(dir, found, problems)) {
      for (const std::string& p : problems) report.failures.push_back("round " + std::to_string(round) + ": " + p);
      break;
    }
    if (found == expected) {
      if (pending) ++report.interruptedAbsent;
    } else {
      CascadeState applied = expected;
      if (pending) Apply(*pending, applied);
      if (pending && found == applied) {
        ++report.interruptedApplied;
        if (pending->kind != 'C') report.largestGroup = std::max(report.largestGroup, expected[pending->number].movies);
      } else {
        report.failures.push_back("round " + std::to_string(round) + ": found " + Describe(found) + "expected " +
                                  Describe(expected) + (pending ? "or with the last operation applied" : ""));
      }
    }
    state = found;
    fs::remove(log);
  }
  return report;
}

}  // namespace cinevo::crashtest
