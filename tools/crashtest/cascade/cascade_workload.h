// The cascade crash test: groups of up to 1,000 movies renamed and deleted through the relation
// manager while the worker process is killed with SIGKILL at random moments.
//
// Every group has a number that never changes; its name is "G<number>r<revision>" and its movies'
// paths are "/movies/<number>/<k>.avi", so the checker can tell whose movies it sees. The worker
// picks at random: create a group with 1 to `max_movies` movies (group and movies in one
// transaction of file statements), rename a group (the relation manager's Update: the movies
// follow in one transaction), or delete a group (the relation manager's Delete: the movies go
// first, all in one transaction). Before each operation it appends "B <op>" to a log, after it
// "E"; a message box shown by the library is logged as "M <title>: <text>" and ends the worker.
//
// After each kill the checker runs the file check of `tvx check` on both files, reads them and
// demands: every movie belongs to a group that exists; all movies of one number carry one name;
// every group has exactly as many movies as it was created with; and the catalogue equals what
// the log says, with the last operation either wholly done or not at all.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cinevo::crashtest {

struct CascadeGroup {
  std::string name;
  int movies = 0;
  friend bool operator==(const CascadeGroup&, const CascadeGroup&) = default;
};
// By the group's number.
using CascadeState = std::map<int, CascadeGroup>;

struct CascadeReport {
  int kills = 0;
  int completed = 0;             // operations whose "E" was logged, all found applied
  int interruptedApplied = 0;    // the operation under way at the kill, found wholly done
  int interruptedAbsent = 0;     // ... found wholly absent
  int renames = 0, deletes = 0, creates = 0;  // completed operations by kind
  int largestGroup = 0;          // the most movies a renamed or deleted group had
  std::vector<std::string> failures;
};

// Reads the catalogue in `dir` (both files checked first). `problems` gets every violation.
bool ReadCascadeState(const std::string& dir, CascadeState& state, std::vector<std::string>& problems);

// Runs the worker in this process until it is killed (or `operations` are done, when > 0).
// Returns a process exit status.
int RunCascadeWorker(const std::string& dir, const std::string& log, uint64_t seed, int max_movies,
                     int operations);

// `kills` rounds: fork a worker, kill it after a random 0 to `max_delay_us`, check.
CascadeReport RunCascadeKills(const std::string& dir, int kills, uint64_t seed, int max_delay_us, int max_movies);

}  // namespace cinevo::crashtest
