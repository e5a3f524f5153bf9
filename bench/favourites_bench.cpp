// The favourites window over a large catalogue, beside `tvx dump` reading the same records: 5,000
// groups of 20 movies each (100,000 movies), the files opened shared through their file and
// relation managers as the program opens them.
//
//   load          the tree read as the window reads it when it opens: every group in record
//                 order, a first-movie probe for each (5,000 key positionings)
//   open          the whole opening of the window: the load, the window and its controls made,
//                 the tree's queue bound and the first painting done (offscreen)
//   expand all    every group opened: the 100,000 movie lines read by key and inserted
//   one expand    one group in the middle opened (its 20 movies)
//   dump groups   `tvx dump GRUPA` to /dev/null: every group in record order, formatted
//   dump movies   `tvx dump PODGRU --key POD:PRK` to /dev/null: every movie in key order
// Figures are the best of RUNS runs in milliseconds; the ratios set the window beside the dump
// that reads the same records (below 1: the window is faster).
//
// Usage: bench_favourites [GROUPS] [RUNS]   (defaults 5000 and 5)
#include <QApplication>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/favourites_window.h"
#include "app/player_windows.h"
#include "bench/bench_support.h"
#include "classlib/runtime_window.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/events.h"
#include "tools/tvx/tvx_dump.h"

namespace {

using namespace cinevo;
using namespace cinevo::app;
using namespace cinevo::bench;
namespace fs = std::filesystem;

constexpr size_t kPerGroup = 20;

// Answers every media command; the bench plays nothing.
class SilentLink : public MediaLink {
 public:
  int Send(std::string_view, std::string& reply) override {
    reply.clear();
    return 0;
  }
  int PlaySound(std::string_view) override { return 0; }
};

double Best(int runs, const std::function<void()>& setup, const std::function<void()>& work,
            const std::function<void()>& teardown) {
  double best = 1e9;
  for (int r = 0; r < runs; ++r) {
    setup();
    best = std::min(best, Seconds(work));
    teardown();
  }
  return best * 1000.0;
}

double Dump(int runs, std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::FILE* null = std::fopen("/dev/null", "w");
  double best = 1e9;
  for (int r = 0; r < runs; ++r) {
    best = std::min(best, Seconds([&] {
      Check(tvx::RunDump(static_cast<int>(argv.size()), argv.data(), null, stderr) == 0, "tvx dump");
    }));
  }
  std::fclose(null);
  return best * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t groups = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 5000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  char name[] = "bench_favourites";
  char* qtArgv[] = {name, nullptr};
  QApplication application(qtArgc, qtArgv);
  Check(StartEventRuntime(), "event runtime");
  isam::RegisterIsamDriver();
  RegisterPlayerWindows();

  const fs::path dir = fs::temp_directory_path() / ("favourites_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    // Each group's movies under paths that differ in their first ten characters, added group
    // after group in a shuffled order, so that record order is not key order.
    std::vector<Movie> movies;
    movies.reserve(groups * kPerGroup);
    for (size_t g = 0; g < groups; ++g) {
      for (size_t k = 0; k < kPerGroup; ++k) {
        char path[64];
        std::snprintf(path, sizeof path, "/m/%05zu-%02zu/movie.%s", (g * 7919) % 100000, k,
                      k % 3 == 0 ? "avi" : k % 3 == 1 ? "mpg" : "mov");
        movies.push_back({GroupName(g), path});
      }
    }
    std::mt19937 rng(11);
    std::shuffle(movies.begin(), movies.end(), rng);
    FileDeclaration gd = GroupDeclaration(dir.string());
    FileDeclaration md = MovieDeclaration(dir.string());
    FileControlBlock gru(gd), pod(md);
    LoadCatalogueFiles(pod, gru, movies, groups);
  }

  Globals globals;
  globals.errors.Init();
  Catalogue catalogue(dir.string());
  globals.catalogue = &catalogue;
  catalogue.InitGroups(globals.errors);
  catalogue.InitMovies(globals.errors);
  Check(catalogue.GroupRelations().OpenAll() == 0, "open the catalogue");
  SilentLink link;
  Player player(link);

  std::unique_ptr<FavouritesTree> tree;
  const double load = Best(
      runs, [&] { tree = std::make_unique<FavouritesTree>(catalogue); },
      [&] { Check(tree->ContractAll() == TreeRead::kOk, "load"); }, [&] {});
  Check(tree->Count() == static_cast<int32_t>(groups + 1), "every group loaded");

  std::unique_ptr<FavouritesManager> manager;
  auto close = [&] {
    manager->Kill();
    Window& w = static_cast<classlib::RuntimeWindow&>(manager->window()).runtime();
    if (w.IsOpen()) w.Close();
    manager.reset();
    QApplication::processEvents();
  };
  const double open = Best(
      runs, [&] { manager = std::make_unique<FavouritesManager>(globals, player, FavouritesCalls{}); },
      [&] {
        Check(manager->Init() == classlib::level::kContinue, "open");
        QApplication::processEvents();
      },
      close);

  auto openWindow = [&] {
    manager = std::make_unique<FavouritesManager>(globals, player, FavouritesCalls{});
    Check(manager->Init() == classlib::level::kContinue, "open");
    QApplication::processEvents();
  };
  const double expandAll = Best(
      runs, openWindow,
      [&] {
        manager->ExpandAll();
        QApplication::processEvents();
      },
      [&] {
        Check(manager->tree().Count() == static_cast<int32_t>(groups * (kPerGroup + 1) + 1), "every movie");
        close();
      });
  const int32_t middle = static_cast<int32_t>(groups / 2) + 1;
  const double oneExpand = Best(
      runs, openWindow,
      [&] {
        manager->SetSelection(middle);
        Check(manager->tree().Expand(middle) == TreeRead::kOk, "expand");
        QApplication::processEvents();
      },
      [&] {
        Check(manager->tree().Count() == static_cast<int32_t>(groups + kPerGroup + 1), "one group's movies");
        close();
      });

  catalogue.GroupRelations().CloseAll();
  const double dumpGroups = Dump(runs, {(dir / "GRUPA").string()});
  const double dumpMovies = Dump(runs, {(dir / "PODGRU").string(), "--key", "POD:PRK"});

  std::printf("favourites window, %zu groups of %zu movies (%zu movies), best of %d, ms\n", groups, kPerGroup,
              groups * kPerGroup, runs);
  std::printf("  %-34s %10.2f\n", "load the tree (groups + probes)", load);
  std::printf("  %-34s %10.2f   goal < 200   x%.2f of dump groups\n", "open the window", open, open / dumpGroups);
  std::printf("  %-34s %10.2f   goal < 1000  x%.2f of dump groups + movies\n", "expand all", expandAll,
              expandAll / (dumpGroups + dumpMovies));
  std::printf("  %-34s %10.3f\n", "one expand (20 movies)", oneExpand);
  std::printf("  %-34s %10.2f\n", "tvx dump GRUPA", dumpGroups);
  std::printf("  %-34s %10.2f\n", "tvx dump PODGRU --key POD:PRK", dumpMovies);

  catalogue.KillGroups();
  catalogue.KillMovies();
  globals.errors.Kill();
  fs::remove_all(dir);
  ShutdownEvents();
  return 0;
}
