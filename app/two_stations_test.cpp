// Two programs on one catalogue: one renames a group of 1,000 movies while the other changes one
// of those movies. The second program watches the movie as a form does; its change either goes
// in before the rename (and is carried along), or it is told "Record Was Not Updated", sees the
// renamed record and saves its change again. No update is lost either way.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "app/catalogue.h"
#include "app/main_routine.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;

constexpr int kMovies = 1000;

std::string MoviePath(int k) { return "/movies/big/" + std::to_string(k) + ".avi"; }

void WriteByte(int fd) {
  char c = 1;
  ASSERT_EQ(::write(fd, &c, 1), 1);
}
void ReadByte(int fd) {
  char c = 0;
  ASSERT_EQ(::read(fd, &c, 1), 1);
}

class TwoStationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    isam::RegisterIsamDriver();
    isam::PageStoreOptions o;
    o.sync = false;
    isam::SetIsamStoreDefaults(o);
    dir_ = fs::temp_directory_path() / ("two_stations_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // The group "Big" with its movies, written and closed before the second program starts.
    Catalogue c(dir_.string());
    ASSERT_EQ(Create(c.GroupFile()), 0);
    ASSERT_EQ(Create(c.MovieFile()), 0);
    ASSERT_EQ(Open(c.GroupFile(), 0x42), 0);
    ASSERT_EQ(Open(c.MovieFile(), 0x42), 0);
    std::fill(c.GroupFile().record.begin(), c.GroupFile().record.end(), ' ');
    StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, "Big");
    ASSERT_EQ(Add(c.GroupFile()), 0);
    ASSERT_EQ(Stream(c.MovieFile()), 0);
    for (int k = 0; k < kMovies; ++k) {
      std::fill(c.MovieFile().record.begin(), c.MovieFile().record.end(), ' ');
      StoreText(c.MovieFile(), pod::kSifra, pod::kSifraSize, "Big");
      StoreText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize, MoviePath(k));
      StoreText(c.MovieFile(), pod::kNaslov2, pod::kNaslov2Size, MoviePath(k).substr(0, 10));
      ASSERT_EQ(Add(c.MovieFile()), 0);
    }
    ASSERT_EQ(Flush(c.MovieFile()), 0);
    Close(c.GroupFile());
    Close(c.MovieFile());
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The second program: changes movie `k`'s path as a form does (watched read, change, save),
  // saving again after "Record Was Not Updated". Writes the titles of the boxes it saw to `out`
  // and ends with 0 when its change was saved.
  static int Station(const std::string& folder, const std::vector<int>& movies, int ready, int go, int out) {
    StartDataRuntimeForTest();
    ScriptedMessageBoxes user;
    bool saved = true;
    RunMainRoutine(folder, [&](Globals& g) {
      Catalogue& c = *g.catalogue;
      if (c.MovieRelations().OpenAll() != 0) {
        saved = false;
        return static_cast<uint8_t>(kRequestCancelled);
      }
      bool first = true;
      for (int k : movies) {
        if (!Read(c, k)) {
          saved = false;
          break;
        }
        if (first && ready >= 0) {
          char b = 1;
          if (::write(ready, &b, 1) != 1 || ::read(go, &b, 1) != 1) saved = false;
        }
        first = false;
        bool done = false;
        for (int attempt = 0; attempt < 50 && !done; ++attempt) {
          StoreText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize, "/changed/" + std::to_string(k) + ".avi");
          done = c.Movies().Update() == 0;
          // Not saved: the other program's version is in the buffer now, watched; save again.
        }
        saved = saved && done;
      }
      c.MovieRelations().CloseAll();
      return static_cast<uint8_t>(kRequestCompleted);
    });
    std::string titles;
    for (const auto& b : user.Shown()) titles += b.title + "\n";
    if (::write(out, titles.data(), titles.size()) < 0) saved = false;
    return saved ? 0 : 1;
  }
  // Finds movie k by its path in key order under a watch. A rename committed by the other
  // program meanwhile moves every key entry of the group, possibly behind the scan or away from
  // the position just taken: then the movie is looked for again, as a user would.
  static bool Read(Catalogue& c, int k) {
    for (int pass = 0; pass < 20; ++pass) {
      std::fill(c.MovieFile().record.begin(), c.MovieFile().record.end(), ' ');
      if (SetKey(c.MovieFile(), 0) != 0) return false;
      while (Next(c.MovieFile()) == 0) {
        if (LoadText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize) == MoviePath(k)) {
          if (Watch(c.MovieFile()) != 0) return false;
          if (RegetKey(c.MovieFile(), 0, PositionKey(c.MovieFile(), 0)) == 0) return true;
          break;
        }
      }
    }
    return false;
  }
  static void StartDataRuntimeForTest() {
    isam::RegisterIsamDriver();
  }
  // Renames the group through the relation manager, `times` times back and forth.
  void RenameGroup(int times) {
    RunMainRoutine(dir_.string(), [&](Globals& g) {
      Catalogue& c = *g.catalogue;
      EXPECT_EQ(c.GroupRelations().OpenAll(), 0);
      for (int i = 0; i < times; ++i) {
        std::string from = i % 2 == 0 ? "Big" : "Renamed";
        std::string to = i % 2 == 0 ? "Renamed" : "Big";
        StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, from);
        EXPECT_EQ(Get(c.GroupFile(), 0), 0);
        c.GroupRelations().SaveLinks();
        StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, to);
        EXPECT_EQ(c.GroupRelations().Update(), 0) << i;
      }
      c.GroupRelations().CloseAll();
      return static_cast<uint8_t>(kRequestCompleted);
    });
  }
  // Every movie's group and path.
  std::vector<std::pair<std::string, std::string>> Movies() {
    Catalogue c(dir_.string());
    std::vector<std::pair<std::string, std::string>> out;
    EXPECT_EQ(Open(c.MovieFile(), 0x42), 0);
    SetKey(c.MovieFile(), 0);
    while (Next(c.MovieFile()) == 0) {
      out.emplace_back(LoadText(c.MovieFile(), pod::kSifra, pod::kSifraSize), LoadText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize));
    }
    Close(c.MovieFile());
    return out;
  }
  static std::string Drain(int fd) {
    std::string s;
    char buf[256];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<size_t>(n));
    return s;
  }

  fs::path dir_;
};

TEST_F(TwoStationsTest, AChangeReadBeforeTheRenameIsRefusedThenSavedAgain) {
  int ready[2], go[2], out[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(out), 0);
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) std::_Exit(Station(dir_.string(), {500}, ready[1], go[0], out[1]));
  ::close(out[1]);
  ReadByte(ready[0]);  // the other program has read movie 500 under a watch
  RenameGroup(1);
  WriteByte(go[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::string titles = Drain(out[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << titles;
  EXPECT_EQ(titles, "Record Was Not Updated\n");
  auto movies = Movies();
  ASSERT_EQ(movies.size(), static_cast<size_t>(kMovies));
  int changed = 0;
  for (const auto& [group, path] : movies) {
    EXPECT_EQ(group, "Renamed") << path;  // the rename was not undone by the late save
    changed += path == "/changed/500.avi";
  }
  EXPECT_EQ(changed, 1);
}

TEST_F(TwoStationsTest, ChangesDuringRenamesAreAllKept) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  std::vector<int> picked;
  std::mt19937 rng(7);
  std::set<int> unique;
  while (unique.size() < 40) unique.insert(std::uniform_int_distribution<int>(0, kMovies - 1)(rng));
  picked.assign(unique.begin(), unique.end());
  std::shuffle(picked.begin(), picked.end(), rng);
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) std::_Exit(Station(dir_.string(), picked, -1, -1, out[1]));
  ::close(out[1]);
  RenameGroup(6);  // ends as "Big"
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::string titles = Drain(out[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << titles;
  // Only the two "not updated" notices may have been shown.
  for (size_t at = 0; at < titles.size();) {
    size_t end = titles.find('\n', at);
    std::string t = titles.substr(at, end - at);
    EXPECT_TRUE(t == "Record Was Not Updated" || t == "Record was not updated") << t;
    at = end + 1;
  }
  auto movies = Movies();
  ASSERT_EQ(movies.size(), static_cast<size_t>(kMovies));
  std::set<std::string> changedPaths;
  for (const auto& [group, path] : movies) {
    EXPECT_EQ(group, "Big") << path;
    if (path.rfind("/changed/", 0) == 0) changedPaths.insert(path);
  }
  EXPECT_EQ(changedPaths.size(), picked.size());
}

}  // namespace
}  // namespace cinevo::app
