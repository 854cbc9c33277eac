// Files named in UTF-8 with accents and spaces, as accountants name them
// ("Filial nº 2 São João.txt"): created, read, listed, replaced and compared by
// the platform helpers under exactly those names. On Windows a name passed as
// narrow text to std::filesystem or fopen is read in the ANSI code page, so
// these tests fail there as soon as one call skips the helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "staging/output_file.h"
#include "tests/support/staging_database.h"
#include "wizard/output_folder.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kNames = {"plain.txt", "a\xC3\xA7\xC3\xA3o.txt",
                                         "Filial n\xC2\xBA 2 S\xC3\xA3o Jo\xC3\xA3o.txt",
                                         "Pasta \xC3\xA9 \xE2\x82\xAC 2023.txt"};

// The whole content of the UTF-8 named file `path` ("" when it cannot be read).
std::string Slurp(const std::string& path) {
  std::string out;
  if (std::FILE* f = platform::OpenFile(path, "rb")) {
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

void Spit(std::FILE* f, const std::string& text) {
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
  ASSERT_EQ(std::fclose(f), 0);
}

// The names of the entries of `folder`, as UTF-8.
std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(platform::PathFromUtf8(folder)))
    names.push_back(platform::Utf8FromPath(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(PlatformFiles, AccentedNamesAreCreatedReadListedAndReplacedAsGiven) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    TempFolder dir;
    const std::string folder = dir.File("Sa\xC3\xAD" "da unificada");
    ASSERT_TRUE(fs::create_directory(platform::PathFromUtf8(folder)));
    EXPECT_TRUE(platform::IsFolder(folder));
    const std::string path = folder + platform::kPathSeparator + name;

    Spit(platform::CreateNewFile(path), "first");
    EXPECT_FALSE(platform::IsFolder(path));
    EXPECT_EQ(Listed(folder), std::vector<std::string>{name});
    EXPECT_EQ(platform::FileNameOf(path), name);
    EXPECT_EQ(Slurp(path), "first");

    errno = 0;
    EXPECT_EQ(platform::CreateNewFile(path), nullptr) << "an existing name is never opened again";
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Slurp(path), "first");

    const std::string other = folder + platform::kPathSeparator + "novo " + name;
    Spit(platform::OpenFile(other, "wb"), "second");
    bool bothExist = false;
    EXPECT_FALSE(platform::SameExistingFile(path, other, bothExist));
    EXPECT_TRUE(bothExist);
    EXPECT_TRUE(platform::SameExistingFile(path, path, bothExist));
    EXPECT_TRUE(SameFile(path, path));
    EXPECT_FALSE(SameFile(path, other));

    EXPECT_FALSE(platform::ReplaceByRename(other, path)) << "the rename replaces an existing file";
    EXPECT_EQ(Slurp(path), "second");
    EXPECT_EQ(Listed(folder), std::vector<std::string>{name});

    EXPECT_EQ(platform::ProbeWritableFolder(folder), 0);
    EXPECT_EQ(OutputFolderProblem(folder), "");
    EXPECT_EQ(Listed(folder), std::vector<std::string>{name}) << "the probe leaves nothing behind";

    EXPECT_TRUE(platform::RemoveFileNow(path.c_str()));
    EXPECT_TRUE(Listed(folder).empty());
  }
}

TEST(PlatformFiles, TheMergedFileTakesItsAccentedNameInAnAccentedFolder) {
  TempFolder dir;
  const std::string folder = dir.File("Notas fiscais a\xC3\xA7\xC3\xA3o");
  ASSERT_TRUE(fs::create_directory(platform::PathFromUtf8(folder)));
  const std::string final = folder + platform::kPathSeparator + kNames[2];
  OutputFile f;
  f.Open(final);
  f.WriteLine("|9999|1|");
  f.Commit();
  EXPECT_EQ(Listed(folder), std::vector<std::string>{kNames[2]}) << "no temporary is left";
  EXPECT_EQ(Slurp(final), "|9999|1|\r\n");

  ReplaceFileContents(final, "novo");
  EXPECT_EQ(Slurp(final), "novo");
  EXPECT_EQ(Listed(folder), std::vector<std::string>{kNames[2]});
}

TEST(PlatformFiles, MissingFoldersAndFilesAreToldAsSuch) {
  TempFolder dir;
  const std::string missing = dir.File("n\xC3\xA3o existe");
  EXPECT_FALSE(platform::IsFolder(missing));
  EXPECT_EQ(platform::ProbeWritableFolder(missing), ENOENT);
  EXPECT_EQ(OutputFolderProblem(missing), "a pasta não existe");
  errno = 0;
  EXPECT_EQ(platform::OpenFile(missing + platform::kPathSeparator + "a.txt", "rb"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
  EXPECT_EQ(platform::CreateNewFile(missing + platform::kPathSeparator + "a.txt"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(platform::ReplaceByRename(missing, dir.File("b")).value(), ENOENT);
  bool bothExist = true;
  EXPECT_FALSE(platform::SameExistingFile(missing, missing, bothExist));
  EXPECT_FALSE(bothExist);
}

TEST(PlatformProcess, ThisProcessRunsAndAnUnusedIdDoesNot) {
  EXPECT_GT(platform::CurrentProcessId(), 0);
  EXPECT_FALSE(platform::ProcessGone(platform::CurrentProcessId()));
  // Above the largest id either system hands out.
  EXPECT_TRUE(platform::ProcessGone(0x3FFFFFF0L));
}
