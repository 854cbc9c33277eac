// The merged file's temporary and the staging database file are created
// exclusively, never through a link planted under their names, and do not
// outlive a run that a signal stops; temporaries of dead runs are cleaned up.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/process.h"
#include "staging/database.h"
#include "staging/output_file.h"
#include "tests/support/writer_support.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// A process number that is certainly free: above any id Windows hands out.
long DeadPid() { return 0x3FFFFFF0L; }
// A process that runs: on Windows no parent id is at hand, so this one's own
// (which the sweep leaves alone as well).
long AlivePid() { return platform::CurrentProcessId(); }
#else
long AlivePid() { return getppid(); }

// A process number that is certainly free: a child that has already ended.
pid_t DeadPid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

// Runs `body` in a child process and returns the signal that ended it (0 when
// it exited).
int SignalOfChild(const std::function<void()>& body) {
  pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}
#endif

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Before, the temporary had the predictable name ".<name>.partial-<pid>" and
// was opened following links: a link planted there made the run overwrite
// the link's target.
TEST(OutputSafety, APlantedLinkIsNeitherFollowedNorReplaced) {
  if (!CanPlantSymlinks()) GTEST_SKIP() << kNoSymlinks;
  TempFolder dir;
  const std::string victim = dir.File("victim.txt");
  WriteFileLines(victim, {"PRECIOUS"});
  const std::string planted = dir.File(".quelvar-out.txt.partial-" + std::to_string(platform::CurrentProcessId()));
  fs::create_symlink(victim, planted);
  OutputFile f;
  f.Open(dir.File("out.txt"));
  f.WriteLine("|9999|1|");
  f.Commit();
  EXPECT_EQ(ReadFile(victim), "PRECIOUS\r\n");
  EXPECT_TRUE(fs::is_symlink(planted));
  EXPECT_FALSE(fs::is_symlink(dir.File("out.txt")));
  EXPECT_EQ(ReadFile(dir.File("out.txt")), "|9999|1|\r\n");
}

// Before, temporaries of killed runs stayed for ever; then the sweep removed
// every dotfile shaped ".<name>.partial-<pid>" of a dead process, other
// programs' files included. Only the program's own shape is removed, and only
// a plain file (a link of that shape is not one of its temporaries).
TEST(OutputSafety, TemporariesOfDeadRunsAreRemovedOthersKept) {
  TempFolder dir;
  const std::string dead = std::to_string(DeadPid());
  const std::string alive = std::to_string(AlivePid());
  const std::string ours = ".quelvar-a_Unificado.txt.partial-" + dead + "-abc123";
  const std::vector<std::string> kept = {
      ".a_Unificado.txt.partial-" + dead,                      // another program's (or an older run's) shape
      ".a_Unificado.txt.partial-" + dead + "-abc123",          // likewise
      ".quelvar-a_Unificado.txt.partial-" + alive + "-abc123",  // a run still going
      ".quelvar-a_Unificado.txt.partial-" + dead,              // no tag
      ".quelvar-a_Unificado.txt.partial-" + dead + "-toolongtag",
      ".quelvar-a_Unificado.txt.partial-" + dead + "-ABC123",  // not a tag the program writes
      "a.partial-" + dead,
      "keep.txt"};
  for (const std::string& name : kept) WriteFileLines(dir.File(name), {"x"});
  WriteFileLines(dir.File(ours), {"x"});
  std::vector<std::string> expected = kept;
  if (CanPlantSymlinks()) {
    const std::string linked = ".quelvar-b_Unificado.txt.partial-" + dead + "-abc123";
    fs::create_symlink(dir.File("keep.txt"), dir.File(linked));
    expected.push_back(linked);
  }
  OutputFile f;
  f.Open(dir.File("out.txt"));
  f.Abort();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(dir.path()), expected);
  EXPECT_EQ(ReadFile(dir.File("keep.txt")), "x\r\n");
}

// Before, sqlite:PATH removed PATH-journal, PATH-wal and PATH-shm at the end
// whoever had made them (and SQLite takes a journal beside a new database for
// its own). A target with such a companion is refused, and a run leaves none.
TEST(OutputSafety, TheStagingDatabaseLeavesOtherFilesOfItsNameAlone) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    TempFolder dir;
    const std::string db = dir.File("staging.db");
    WriteFileLines(db + suffix, {"FOREIGN"});
    try {
      auto conn = CreateConnection("sqlite:" + db);
      conn->Open();
      conn->Execute("CREATE TABLE ###X(ID INT IDENTITY(1,1), A NVARCHAR(MAX))");
      conn->Close();
      ADD_FAILURE() << "a database was made beside " << suffix;
    } catch (const DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(db + suffix), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(db + suffix), "FOREIGN\r\n") << suffix;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"staging.db" + std::string(suffix)});
  }
  TempFolder dir;
  const std::string db = dir.File("staging.db");
  {
    auto conn = CreateConnection("sqlite:" + db);
    conn->Open();
    conn->Execute("CREATE TABLE ###X(ID INT IDENTITY(1,1), A NVARCHAR(MAX))");
    conn->Execute("BEGIN TRANSACTION");
    for (int i = 0; i < 1000; ++i) conn->Execute("INSERT INTO ###X(A) VALUES ('linha " + std::to_string(i) + "')");
    conn->Execute("COMMIT TRANSACTION");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"staging.db"});
  }
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{});
}

TEST(OutputSafety, KeepAsLeavesTheFinalNameAlone) {
  TempFolder dir;
  WriteFileLines(dir.File("out.txt"), {"OLD"});
  OutputFile f;
  f.Open(dir.File("out.txt"));
  f.WriteLine("|BAD|");
  f.Finish();
  EXPECT_TRUE(fs::exists(f.TempPath()));
  f.KeepAs(dir.File("out.invalido.txt"));
  EXPECT_EQ(ReadFile(dir.File("out.txt")), "OLD\r\n");
  EXPECT_EQ(ReadFile(dir.File("out.invalido.txt")), "|BAD|\r\n");
  EXPECT_EQ(Names(dir.path()).size(), 2u);
}

// Before, SIGINT, SIGTERM or SIGHUP during the write left the temporary, and
// the staging database placed with sqlite:PATH, behind.
TEST(OutputSafety, SignalsRemoveTheTemporaryAndTheStagingDatabase) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX signals; Windows stops a program with console events, which "
                  "scripts/test-windows.sh sends to quelvar.exe";
#else
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TempFolder dir;
    const std::string db = dir.File("staging.db");
    int got = SignalOfChild([&] {
      auto conn = CreateConnection("sqlite:" + db);
      conn->Open();
      conn->Execute("CREATE TABLE ###X(ID INT IDENTITY(1,1), A NVARCHAR(MAX))");
      OutputFile f;
      f.Open(dir.File("out.txt"));
      f.WriteLine("|0000|");
      std::raise(sig);
    });
    EXPECT_EQ(got, sig);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{}) << "signal " << sig;
  }
#endif
}

// Before, "sqlite:file:..." opened any existing database as a URI, and a
// dangling link was followed and its target created.
TEST(OutputSafety, StagingDatabaseNeedsANewPlainFile) {
  if (!CanPlantSymlinks()) GTEST_SKIP() << kNoSymlinks;
  TempFolder dir;
  const std::string victim = dir.File("victim.db");
  WriteFileLines(victim, {"x"});
  const std::string dangling = dir.File("dangling.db");
  fs::create_symlink(dir.File("nowhere.db"), dangling);
  for (const std::string& target : {"sqlite:file:" + victim, "sqlite:FILE:" + victim, "sqlite:" + victim,
                                    "sqlite:" + dangling}) {
    EXPECT_THROW(
        {
          auto c = CreateConnection(target);
          c->Open();
        },
        DatabaseError)
        << target;
  }
  EXPECT_EQ(ReadFile(victim), "x\r\n");
  EXPECT_FALSE(fs::exists(dir.File("nowhere.db")));
  EXPECT_TRUE(fs::is_symlink(dangling));
}

// The causes of system errors a user reads are in Portuguese, also when they
// come as a std::error_code; an uncommon one keeps its number.
TEST(SystemErrorText, CommonCausesAreInPortuguese) {
  const std::pair<int, const char*> cases[] = {
      {ENOSPC, "não há espaço livre no disco"},
      {EROFS, "o disco é somente para leitura"},
      {EACCES, "permissão negada"},
      {ENOENT, "a pasta ou o arquivo não existe"},
      {EFBIG, "o arquivo ficaria maior do que o sistema de arquivos permite"},
      {EBUSY, "o arquivo ou a pasta está em uso por outro programa"},
  };
  for (const auto& [err, text] : cases) {
    EXPECT_EQ(SystemErrorText(err), text) << err;
    EXPECT_EQ(SystemErrorText(std::error_code(err, std::generic_category())), text) << err;
    EXPECT_EQ(SystemErrorText(std::make_error_code(static_cast<std::errc>(err))), text) << err;
  }
  EXPECT_EQ(SystemErrorText(EDOM).rfind("erro do sistema número " + std::to_string(EDOM), 0), 0u);
}
