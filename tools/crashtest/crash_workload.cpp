#include "tools/crashtest/crash_workload.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/data/isam/format_check.h"

namespace cinevo::crashtest {

using isam::Status;

namespace {

constexpr uint64_t kWorkerLimit = 1000000;  // transactions a killed worker would never reach

std::string Describe(const State& s) {
  std::ostringstream out;
  for (int f = 0; f < 2; ++f) out << "file " << f << ": " << s[f].size() << " records; ";
  return out.str();
}

std::string FirstDifference(const State& a, const State& b) {
  for (int f = 0; f < 2; ++f) {
    for (const auto& [recno, text] : a[f]) {
      auto it = b[f].find(recno);
      if (it == b[f].end()) return "file " + std::to_string(f) + " record " + std::to_string(recno) + " only found";
      if (it->second != text) return "file " + std::to_string(f) + " record " + std::to_string(recno) + ": '" + text + "' vs '" + it->second + "'";
    }
    for (const auto& [recno, text] : b[f]) {
      if (!a[f].count(recno)) return "file " + std::to_string(f) + " record " + std::to_string(recno) + " missing";
    }
  }
  return "same";
}

// Settles one interruption: `found` must be `model`, or `model` with `pending` applied when that
// is allowed. The model then follows the files.
void Judge(const State& found, State& model, const Plan* pending, bool may_be_present, const std::string& what,
           RunReport& report) {
  if (found == model) {
    if (pending) ++report.pending_absent;
    return;
  }
  if (pending && may_be_present) {
    State with = model;
    Apply(*pending, with);
    if (found == with) {
      ++report.pending_present;
      model = std::move(with);
      return;
    }
  }
  report.failures.push_back(what + ": files hold neither the committed state nor it with the pending transaction (" +
                            FirstDifference(found, model) + "; " + Describe(found) + ")");
  model = found;  // go on from what is there
}

std::string ReadFrom(const std::string& path, uint64_t offset) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

[[noreturn]] void WorkerProcess(const std::string& dir, const isam::PageStoreOptions& options, uint64_t first_id,
                                uint64_t seed, const std::string& log_path) {
  int log = ::open(log_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  std::unique_ptr<Worker> worker;
  if (log < 0 || !Worker::Open(dir, options, worker).ok()) ::_exit(3);
  std::mt19937_64 rng(seed);
  auto put = [log](const std::string& text) {
    // One write per entry, so that a kill leaves whole entries only.
    if (::write(log, text.data(), text.size()) != static_cast<ssize_t>(text.size())) ::_exit(4);
  };
  for (uint64_t id = first_id; id < first_id + kWorkerLimit; ++id) {
    Plan plan;
    Status st = worker->RunOne(id, rng, plan, [&](const Plan& p) { put(EncodePlan(p)); });
    put((st.ok() ? "C " : "F ") + std::to_string(id) + "\n");
  }
  ::_exit(0);
}

}  // namespace

std::string FilePath(const std::string& dir, int file) { return dir + (file == 0 ? "/GROUPS.TVX" : "/MOVIES.TVX"); }

void Apply(const Plan& plan, State& state) {
  for (const Change& c : plan.changes) {
    if (c.kind == 'D') {
      state[c.file].erase(c.recno);
    } else {
      state[c.file][c.recno] = PatternTable::Pad(c.text);
    }
  }
}

std::string EncodePlan(const Plan& plan) {
  std::string out = "B " + std::to_string(plan.id) + "\n";
  for (const Change& c : plan.changes) {
    out += "O " + std::to_string(c.file) + " " + c.kind + " " + std::to_string(c.recno) + " " + c.text + "\n";
  }
  return out + "E " + std::to_string(plan.id) + "\n";
}

std::vector<LogEntry> ParseLog(const std::string& text) {
  std::vector<LogEntry> out;
  std::istringstream in(text);
  std::string line;
  LogEntry current;
  bool open = false;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no newline: an entry cut short
    std::istringstream l(line);
    char tag = 0;
    l >> tag;
    if (tag == 'B') {
      current = LogEntry{};
      l >> current.plan.id;
      open = true;
    } else if (tag == 'O' && open) {
      Change c;
      l >> c.file >> c.kind >> c.recno >> c.text;
      current.plan.changes.push_back(c);
    } else if (tag == 'E' && open) {
      out.push_back(current);
      open = false;
    } else if ((tag == 'C' || tag == 'F') && !out.empty()) {
      uint64_t id = 0;
      l >> id;
      if (out.back().plan.id == id) out.back().outcome = tag == 'C' ? 1 : -1;
    }
  }
  return out;
}

Status Worker::Open(const std::string& dir, const isam::PageStoreOptions& options, std::unique_ptr<Worker>& out) {
  std::unique_ptr<Worker> w(new Worker());
  for (int f = 0; f < 2; ++f) {
    ISAM_RETURN_IF_ERROR(PatternTable::Open(FilePath(dir, f), options, w->tables_[f]));
    ISAM_RETURN_IF_ERROR(w->tables_[f]->ReadAll(w->state_[f]));
  }
  out = std::move(w);
  return Status::Ok();
}

void Worker::set_io(isam::FileIo* io) {
  for (auto& t : tables_) t->store().set_io(io);
  txn_.set_io(io);  // the control file's own writes and flushes as well
}

Status Worker::RunOne(uint64_t id, std::mt19937_64& rng, Plan& plan,
                      const std::function<void(const Plan&)>& before_commit) {
  plan = Plan{};
  plan.id = id;
  State next = state_;
  for (auto& t : tables_) txn_.Logout(t->store());
  int count = 1 + static_cast<int>(rng() % 12);
  for (int n = 0; n < count; ++n) {
    Change c;
    c.file = static_cast<int>(rng() % 2);
    c.text = "T" + std::to_string(id) + "/" + std::to_string(n);
    Records& records = next[c.file];
    uint64_t dice = rng() % 10;
    Status st;
    if (records.empty() || dice < 5) {
      c.kind = 'A';
      st = tables_[c.file]->Add(c.text, c.recno);
    } else {
      auto it = records.begin();
      std::advance(it, static_cast<long>(rng() % records.size()));
      c.recno = it->first;
      bool found = false;
      c.kind = dice < 8 ? 'P' : 'D';
      st = c.kind == 'P' ? tables_[c.file]->Put(c.recno, c.text, found) : tables_[c.file]->Erase(c.recno, found);
      if (st.ok() && !found) st = Status::Error(isam::kErrRecordNotFound, "record " + std::to_string(c.recno));
    }
    if (!st.ok()) {
      txn_.Rollback();
      return st;
    }
    plan.changes.push_back(c);
    Plan one{id, {c}};
    Apply(one, next);
  }
  if (before_commit) before_commit(plan);
  Status st = txn_.Commit();
  if (st.ok()) state_ = std::move(next);
  return st;
}

Status Inspect(const std::string& dir, const isam::PageStoreOptions& options, State& state,
               std::vector<std::string>& problems) {
  for (int f = 0; f < 2; ++f) {
    std::unique_ptr<PatternTable> t;
    ISAM_RETURN_IF_ERROR(PatternTable::Open(FilePath(dir, f), options, t));
    std::vector<isam::Violation> violations;
    isam::FileSummary summary;
    ISAM_RETURN_IF_ERROR(isam::CheckFormat(t->store(), violations, summary));
    for (const auto& v : violations) problems.push_back(FilePath(dir, f) + ": " + v.where + ": " + v.text);
    ISAM_RETURN_IF_ERROR(t->ReadAll(state[f]));
  }
  return Status::Ok();
}

RunReport RunKills(const std::string& dir, int kills, uint64_t seed, int max_delay_us,
                   const isam::PageStoreOptions& options) {
  RunReport report;
  std::string log_path = dir + "/crashtest.log";
  std::mt19937_64 rng(seed);
  State model;
  std::vector<std::string> problems;
  if (Status st = Inspect(dir, options, model, problems); !st.ok()) {
    report.failures.push_back("cannot open the files: " + st.detail);
    return report;
  }
  uint64_t next_id = 1;
  uint64_t log_offset = 0;
  for (int k = 0; k < kills; ++k) {
    pid_t child = ::fork();
    if (child < 0) {
      report.failures.push_back("fork failed");
      break;
    }
    if (child == 0) WorkerProcess(dir, options, next_id, rng(), log_path);
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % static_cast<uint64_t>(max_delay_us + 1)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) {
      report.failures.push_back("worker ended by itself with status " + std::to_string(status));
      break;
    }
    ++report.interruptions;
    // Only whole lines count; a cut entry is cut off the log so the next worker starts clean.
    std::string fresh = ReadFrom(log_path, log_offset);
    size_t whole = fresh.rfind('\n');
    whole = whole == std::string::npos ? 0 : whole + 1;
    std::vector<LogEntry> entries = ParseLog(fresh.substr(0, whole));
    // A worker killed before it made the log leaves none to trim.
    if (::truncate(log_path.c_str(), static_cast<off_t>(log_offset + whole)) != 0 &&
        !(errno == ENOENT && log_offset + whole == 0)) {
      report.failures.push_back("cannot trim the log");
      break;
    }
    log_offset += whole;

    const Plan* pending = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
      const LogEntry& e = entries[i];
      next_id = std::max(next_id, e.plan.id + 1);
      bool last = i + 1 == entries.size();
      if (e.outcome == 1) {
        Apply(e.plan, model);
        ++report.committed;
      } else if (e.outcome == 0 && last) {
        pending = &e.plan;
      } else if (e.outcome == -1) {
        ++report.failed_commits;
      } else {
        report.failures.push_back("transaction " + std::to_string(e.plan.id) + " has no outcome but is not the last");
      }
    }
    State found;
    problems.clear();
    Status st = Inspect(dir, options, found, problems);
    std::string what = "kill " + std::to_string(k + 1);
    if (!st.ok()) {
      report.failures.push_back(what + ": cannot open the files: " + st.detail);
      break;
    }
    for (const auto& p : problems) report.failures.push_back(what + ": " + p);
    Judge(found, model, pending, true, what, report);
    if (report.failures.size() > 20) break;
  }
  return report;
}

RunReport RunFaults(const std::string& dir, int rounds, uint64_t seed, const isam::PageStoreOptions& options) {
  RunReport report;
  std::mt19937_64 rng(seed);
  State model;
  std::vector<std::string> problems;
  if (Status st = Inspect(dir, options, model, problems); !st.ok()) {
    report.failures.push_back("cannot open the files: " + st.detail);
    return report;
  }
  static constexpr isam::FaultPlan::Kind kKinds[] = {isam::FaultPlan::Kind::kFailWrite,
                                                     isam::FaultPlan::Kind::kHalfWrite,
                                                     isam::FaultPlan::Kind::kFailSync,
                                                     isam::FaultPlan::Kind::kFailTruncate};
  uint64_t id = 1000000;
  for (int r = 0; r < rounds; ++r) {
    isam::FaultPlan::Kind kind = kKinds[rng() % 4];
    // Within the calls one COMMIT makes, the control file's included: about two dozen writes,
    // eight flushes, a few truncations.
    uint64_t span = kind == isam::FaultPlan::Kind::kFailWrite || kind == isam::FaultPlan::Kind::kHalfWrite ? 24
                    : kind == isam::FaultPlan::Kind::kFailSync                                           ? 9
                                                                                                         : 3;
    isam::FaultPlan fault{kind, rng() % span, rng() % 2 == 0};
    isam::FaultyFileIo io(fault);
    Plan plan;
    Status st;
    {
      std::unique_ptr<Worker> worker;
      st = Worker::Open(dir, options, worker);
      if (!st.ok()) {
        report.failures.push_back("round " + std::to_string(r) + ": cannot open: " + st.detail);
        break;
      }
      worker->set_io(&io);
      st = worker->RunOne(++id, rng, plan, nullptr);
    }  // the worker goes away as a dead process would: journals stay where they are
    if (io.fired()) ++report.interruptions;
    State found;
    problems.clear();
    std::string what = "fault round " + std::to_string(r + 1);
    Status open = Inspect(dir, options, found, problems);
    if (!open.ok()) {
      report.failures.push_back(what + ": cannot open the files: " + open.detail);
      break;
    }
    for (const auto& p : problems) report.failures.push_back(what + ": " + p);
    if (st.ok()) {
      Apply(plan, model);
      ++report.committed;
      Judge(found, model, nullptr, false, what, report);
    } else {
      ++report.failed_commits;
      Judge(found, model, nullptr, false, what + " (COMMIT failed: " + st.detail + ")", report);
    }
    if (report.failures.size() > 20) break;
  }
  return report;
}

RunReport RunPowerCuts(const std::string& dir, int cuts, uint64_t seed, const isam::PageStoreOptions& options) {
  RunReport report;
  std::mt19937_64 rng(seed);
  State model;
  std::vector<std::string> problems;
  if (Status st = Inspect(dir, options, model, problems); !st.ok()) {
    report.failures.push_back("cannot open the files: " + st.detail);
    return report;
  }
  uint64_t id = 2000000;
  for (int attempt = 0; report.interruptions < cuts && attempt < 4 * cuts; ++attempt) {
    // About two dozen calls per COMMIT over both files: a cut somewhere in the first few.
    isam::PowerCutFileIo io(dir, rng());
    Plan pending;
    bool under_way = false;
    {
      std::unique_ptr<Worker> worker;
      Status st = Worker::Open(dir, options, worker);
      if (!st.ok()) {
        report.failures.push_back("cannot open: " + st.detail);
        break;
      }
      if (st = io.Arm(rng() % 100); !st.ok()) {
        report.failures.push_back(st.detail);
        break;
      }
      worker->set_io(&io);
      while (!io.cut()) {
        Plan plan;
        st = worker->RunOne(++id, rng, plan, nullptr);
        if (st.ok()) {
          Apply(plan, model);
          ++report.committed;
        } else if (io.cut()) {
          pending = plan;
          under_way = true;
        } else {
          report.failures.push_back("transaction " + std::to_string(id) + " failed without a cut: " + st.detail);
          return report;
        }
      }
    }  // the worker goes away as the machine stops: nothing more reaches the disk
    ++report.interruptions;
    report.power += io.counts();
    std::string what = "power cut " + std::to_string(report.interruptions);
    if (Status st = io.ApplyCut(); !st.ok()) {
      report.failures.push_back(what + ": " + st.detail);
      break;
    }
    State found;
    problems.clear();
    Status open = Inspect(dir, options, found, problems);
    if (!open.ok()) {
      report.failures.push_back(what + ": cannot open the files: " + open.detail);
      break;
    }
    for (const auto& p : problems) report.failures.push_back(what + ": " + p);
    Judge(found, model, under_way ? &pending : nullptr, true, what, report);
    if (report.failures.size() > 20) break;
  }
  return report;
}

}  // namespace cinevo::crashtest
