// The crash test: random transactions over two data files, interrupted, then checked.
//
// A worker runs transactions one after another; each LOGOUTs both files, makes 1 to 12 random
// changes (ADD, PUT, DELETE in either file; every text written is "T<id>/<n>", so each
// transaction leaves its own pattern) and COMMITs. Before COMMIT it appends the whole plan to
// a log in one write ("B id", one "O file kind recno text" line per change, "E id"), after
// COMMIT returns "C id" (or "F id" when it failed).
//
// After an interruption the two files are opened as a new program would open them (which
// recovers them), walked by the consistency check and read. They must hold exactly the
// committed transactions, plus at most the one whose COMMIT was under way; that makes every
// transaction wholly there or wholly absent.
//
// Three ways to interrupt: the worker in a child process killed with SIGKILL at a random moment;
// the worker in this process with a FaultyFileIo under both data files (a write that fails or
// stops halfway, a failing flush; optionally nothing written after it, like a dead process); or
// the worker in this process under a PowerCutFileIo, a loss of power at a random I/O call that
// drops, tears or keeps every write and file creation not yet flushed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/transaction.h"
#include "tools/crashtest/pattern_table.h"

namespace cinevo::crashtest {

struct Change {
  int file = 0;    // 0 or 1
  char kind = 0;   // 'A' add, 'P' put, 'D' delete
  uint32_t recno = 0;
  std::string text;
  friend bool operator==(const Change&, const Change&) = default;
};

struct Plan {
  uint64_t id = 0;
  std::vector<Change> changes;
  friend bool operator==(const Plan&, const Plan&) = default;
};

using State = std::array<Records, 2>;

std::string FilePath(const std::string& dir, int file);
void Apply(const Plan& plan, State& state);
std::string EncodePlan(const Plan& plan);

// What a log tells: the plans in order, and for each whether COMMIT returned (+1 success,
// -1 failure, 0 unknown: the process died first). A plan without its "E" line is left out.
struct LogEntry {
  Plan plan;
  int outcome = 0;
};
std::vector<LogEntry> ParseLog(const std::string& text);

class Worker {
 public:
  static isam::Status Open(const std::string& dir, const isam::PageStoreOptions& options, std::unique_ptr<Worker>& out);
  // One transaction; `before_commit` receives the finished plan just before COMMIT.
  isam::Status RunOne(uint64_t id, std::mt19937_64& rng, Plan& plan,
                      const std::function<void(const Plan&)>& before_commit);
  void set_io(isam::FileIo* io);
  const State& state() const { return state_; }

 private:
  std::array<std::unique_ptr<PatternTable>, 2> tables_;
  State state_;  // as last committed
  isam::Transaction txn_;
};

// Opens, checks and reads both files. `problems` lists every consistency violation.
isam::Status Inspect(const std::string& dir, const isam::PageStoreOptions& options, State& state,
                     std::vector<std::string>& problems);

struct RunReport {
  int interruptions = 0;      // kills or injected faults
  int committed = 0;          // transactions whose COMMIT returned success, all checked present
  int pending_present = 0;    // interrupted inside COMMIT, found wholly present
  int pending_absent = 0;     // interrupted inside COMMIT (or before), found wholly absent
  int failed_commits = 0;     // COMMIT returned an error (fault runs), found wholly absent
  isam::PowerCutCounts power;  // what the power cuts did to the writes not yet flushed
  std::vector<std::string> failures;
};

// `kills` times: start a worker process, kill it after a random 0 to `max_delay_us`, check.
RunReport RunKills(const std::string& dir, int kills, uint64_t seed, int max_delay_us,
                   const isam::PageStoreOptions& options);
// `rounds` in-process transactions under a fault chosen at random, each checked afterwards.
RunReport RunFaults(const std::string& dir, int rounds, uint64_t seed, const isam::PageStoreOptions& options);
// `cuts` power cuts: each time a worker runs transactions in this process until the power fails
// at a random I/O call; the directory then becomes what the disk held, and is checked. Every
// transaction whose COMMIT returned must be there, the one under way wholly or not at all.
RunReport RunPowerCuts(const std::string& dir, int cuts, uint64_t seed, const isam::PageStoreOptions& options);

}  // namespace cinevo::crashtest
