// crashtest: kills a worker running transactions over two data files at random moments, injects
// I/O faults and cuts the power, checking after each interruption that no transaction is torn
// and none whose COMMIT returned is lost.
//
//   crashtest [--dir DIR] [--kills N] [--faults N] [--power-cuts N] [--seed S] [--max-delay-us US] [--keep]
//             [--cascade-kills N] [--cascade-delay-us US] [--max-movies N]
//
// --cascade-kills adds the catalogue workload: groups of up to --max-movies (1000) movies
// renamed and deleted through the relation manager, killed N times.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/crashtest/cascade/cascade_workload.h"
#include "tools/crashtest/crash_workload.h"

namespace {

void Print(const char* what, const cinevo::crashtest::RunReport& r) {
  std::cout << what << ": " << r.interruptions << " interruptions, " << r.committed
            << " committed transactions present, " << r.pending_present << " interrupted COMMITs found whole, "
            << r.pending_absent << " found absent, " << r.failed_commits << " failed COMMITs found absent, "
            << r.failures.size() << " failures\n";
  if (r.power.dropped + r.power.torn + r.power.kept > 0) {
    std::cout << "  writes not flushed at the cuts: " << r.power.dropped << " dropped, " << r.power.torn << " torn, "
              << r.power.kept << " kept; file entries not flushed: " << r.power.entries_dropped << " dropped, "
              << r.power.entries_kept << " kept\n";
  }
  for (const auto& f : r.failures) std::cout << "  FAILURE " << f << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int kills = 200, faults = 200, power_cuts = 200, max_delay_us = 250000;
  int cascade_kills = 0, cascade_delay_us = 1500000, max_movies = 1000;
  uint64_t seed = static_cast<uint64_t>(::getpid());
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << a << " needs a value\n";
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--dir") dir = value();
    else if (a == "--kills") kills = std::stoi(value());
    else if (a == "--faults") faults = std::stoi(value());
    else if (a == "--power-cuts") power_cuts = std::stoi(value());
    else if (a == "--seed") seed = std::stoull(value());
    else if (a == "--max-delay-us") max_delay_us = std::stoi(value());
    else if (a == "--keep") keep = true;
    else if (a == "--cascade-kills") cascade_kills = std::stoi(value());
    else if (a == "--cascade-delay-us") cascade_delay_us = std::stoi(value());
    else if (a == "--max-movies") max_movies = std::stoi(value());
    else {
      std::cerr << "usage: crashtest [--dir DIR] [--kills N] [--faults N] [--power-cuts N] [--seed S] [--max-delay-us US]\n"
                   "                 [--keep] [--cascade-kills N] [--cascade-delay-us US] [--max-movies N]\n";
      return 2;
    }
  }
  bool made = dir.empty();
  if (made) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "crashtest.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
      std::perror("mkdtemp");
      return 2;
    }
    dir = tmpl;
  }
  std::filesystem::create_directories(dir);
  std::cout << "crashtest in " << dir << ", seed " << seed << "\n";
  cinevo::isam::PageStoreOptions options;
  auto kill_report = cinevo::crashtest::RunKills(dir + "", kills, seed, max_delay_us, options);
  Print("kills", kill_report);
  std::filesystem::create_directories(dir + "/faults");
  auto fault_report = cinevo::crashtest::RunFaults(dir + "/faults", faults, seed + 1, options);
  Print("faults", fault_report);
  std::filesystem::create_directories(dir + "/power");
  auto power_report = cinevo::crashtest::RunPowerCuts(dir + "/power", power_cuts, seed + 2, options);
  Print("power cuts", power_report);
  bool ok = kill_report.failures.empty() && fault_report.failures.empty() && power_report.failures.empty();
  if (cascade_kills > 0) {
    std::filesystem::create_directories(dir + "/cascade");
    auto c = cinevo::crashtest::RunCascadeKills(dir + "/cascade", cascade_kills, seed + 3, cascade_delay_us, max_movies);
    std::cout << "cascade: " << c.kills << " kills, " << c.completed << " operations completed and found ("
              << c.creates << " creates, " << c.renames << " renames, " << c.deletes << " deletes), "
              << c.interruptedApplied << " interrupted found whole, " << c.interruptedAbsent
              << " interrupted found absent, largest group renamed or deleted " << c.largestGroup << " movies, "
              << c.failures.size() << " failures\n";
    for (const auto& f : c.failures) std::cout << "  FAILURE " << f << "\n";
    ok = ok && c.failures.empty();
  }
  if (made && !keep && ok) std::filesystem::remove_all(dir);
  std::cout << (ok ? "PASS" : "FAIL") << "\n";
  return ok ? 0 : 1;
}
