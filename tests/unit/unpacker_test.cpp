#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "platform/Encoding.h"
#include "support/FaultyFileSystem.h"
#include "support/FileAttributes.h"
#include "support/FolderLink.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"
#include "zip/EntryName.h"
#include "zip/FolderLock.h"
#include "zip/Journal.h"
#include "zip/Staging.h"
#include "zip/ArchiveUnpacker.h"

namespace velmora {
namespace {

using testing::FaultyFileSystem;
using testing::TempDir;
using testing::ZipWriter;

// The archive as the install hands it over: a file (beside the target, never in it).
std::string Stored(const std::string& bytes) {
  static TempDir archives;
  static int count = 0;
  const std::string path = archives.Join("\\" + std::to_string(++count) + ".zip");
  EXPECT_TRUE(NativeFileSystem().WriteFileAtomic(path, bytes));
  return path;
}

// Every file below a folder with its content; folders as "<dir>".
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::string rel = std::filesystem::relative(e.path(), root).string();
    if (e.is_directory()) {
      tree[rel] = "<dir>";
    } else {
      std::string bytes;
      NativeFileSystem().ReadFile(e.path().string(), bytes);
      tree[rel] = bytes.size() > 40 ? bytes.substr(0, 40) + "...(" + std::to_string(bytes.size()) + ")" : bytes;
    }
  }
  return tree;
}

class UnpackerTest : public ::testing::Test {
 protected:
  UnpackerTest() {
    game.WriteFile("\\WorldOfWarships.exe", "game");
    game.WriteFile("\\profile\\icons.xml", "old icons");
    game.WriteFile("\\profile\\gui\\battle_stats.xml", "old stats");
  }

  UnpackResult Unpack(const ZipWriter& zip, FileSystem& fs = NativeFileSystem()) {
    ArchiveUnpacker unit(fs);
    unit.SetProgressHandler([this](const UnpackProgress& p) {
      events.push_back(p);
      return events.size() != stopAfter;
    });
    return unit.Unpack(Stored(zip.Build()), game.path());
  }

  // A harmless first entry, so a refusal is seen to cover the whole archive.
  ZipWriter WithGoodEntry() {
    ZipWriter zip;
    zip.Add("profile/icons.xml", "new icons");
    return zip;
  }

  TempDir game, archives;
  std::vector<UnpackProgress> events;
  size_t stopAfter = 0;
};

TEST_F(UnpackerTest, UnpacksNestedFoldersAndReplacesFiles) {
  ZipWriter zip;
  zip.Add("profile/");
  zip.Add("profile/gui/flash/battle_stats.swf", std::string(100000, 's'));
  zip.Add("profile\\gui\\battle_stats.xml", "new stats").Stored();
  zip.Add("profile/particles/trails/");
  zip.Add("profile/icons.xml", "");
  ASSERT_EQ(Unpack(zip), UnpackResult::Done);

  EXPECT_EQ(game.Read("\\profile\\gui\\flash\\battle_stats.swf"), std::string(100000, 's'));
  EXPECT_EQ(game.Read("\\profile\\gui\\battle_stats.xml"), "new stats");
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "");
  EXPECT_TRUE(std::filesystem::is_directory(game.path() + "/profile/particles/trails"));
  EXPECT_EQ(game.Read("\\WorldOfWarships.exe"), "game");
  EXPECT_FALSE(game.Exists("\\velmora-unpack~"));
}

TEST_F(UnpackerTest, ReplacesReadOnlyFilesAndSetsArchiveTimes) {
  ASSERT_TRUE(testing::MakeReadOnly(game.Join("\\profile\\icons.xml")));
  ZipWriter zip;
  LocalTime stamp{2019, 5, 6, 7, 8, 10};
  zip.Add("profile/icons.xml", "new icons").time = stamp;
  zip.Add("profile/new/minimap.swf", "m").time = LocalTime{2001, 12, 31, 23, 59, 58};
  ASSERT_EQ(Unpack(zip), UnpackResult::Done);

  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "new icons");
  auto t = testing::ModifiedTime(game.Join("\\profile\\icons.xml"));
  ASSERT_TRUE(t);
  EXPECT_EQ(std::tie(t->year, t->month, t->day, t->hour, t->minute, t->second),
            std::tie(stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second));
  auto t2 = testing::ModifiedTime(game.Join("\\profile\\new\\minimap.swf"));
  ASSERT_TRUE(t2);
  EXPECT_EQ(t2->year, 2001);
  EXPECT_EQ(t2->second, 58);
}

TEST_F(UnpackerTest, NamesInGbkUtf8AndUnicodeField) {
  std::string gbk;
  ASSERT_TRUE(Utf8ToGb18030("profile/texts/舰名.mo", gbk));
  ZipWriter zip;
  zip.Add(gbk, "gbk");
  zip.Add("profile/图标.swf", "utf8").Utf8();
  zip.Add("profile/x.swf", "field").centralExtra = ZipWriter::UnicodePathExtra("profile/x.swf", "profile/彩字.swf");
  ASSERT_EQ(Unpack(zip), UnpackResult::Done);
  EXPECT_EQ(game.Read("\\profile\\texts\\舰名.mo"), "gbk");
  EXPECT_EQ(game.Read("\\profile\\图标.swf"), "utf8");
  EXPECT_EQ(game.Read("\\profile\\彩字.swf"), "field");
  EXPECT_FALSE(game.Exists("\\profile\\x.swf"));
}

TEST_F(UnpackerTest, RaisesProgressAfterEachEntryAndStopsWhenAsked) {
  ZipWriter zip;
  zip.Add("profile/a.xml", "a");
  zip.Add("profile/b/");
  zip.Add("profile/icons.xml", "new icons");
  ASSERT_EQ(Unpack(zip), UnpackResult::Done);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].done, 1);
  EXPECT_EQ(events[0].total, 3);
  EXPECT_EQ(events[0].percent, 33);
  EXPECT_EQ(events[1].percent, 66);
  EXPECT_EQ(events[2].done, 3);
  EXPECT_EQ(events[2].percent, 100);

  // Stopping, even at the last entry, leaves the game folder as it was.
  events.clear();
  stopAfter = 3;
  auto before = Snapshot(game.path());
  zip.Add("profile/c.xml", "c");
  EXPECT_EQ(Unpack(zip), UnpackResult::Stopped);
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(Snapshot(game.path()), before);
}

TEST_F(UnpackerTest, NoTargetWritesNothingAndAMissingOneIsCreated) {
  ArchiveUnpacker unit(NativeFileSystem());
  const std::string archive = WithGoodEntry().Build();
  EXPECT_EQ(unit.Unpack(Stored(archive), ""), UnpackResult::NoArchive);
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "old icons");
  EXPECT_EQ(unit.Unpack(Stored(archive), game.Join("\\new\\root")), UnpackResult::Done);
  EXPECT_EQ(game.Read("\\new\\root\\profile\\icons.xml"), "new icons");
}

TEST_F(UnpackerTest, HostileEntriesChangeNothing) {
  auto before = Snapshot(game.path());
  auto outsideBefore = Snapshot(archives.path());
  for (const char* name : {"../escaped.txt", "profile/../../escaped.txt", "/tmp/velmora-escaped", "C:\\escaped",
                           "\\\\server\\share\\x", "profile/CON", "nul.xml", "COM1.txt",
                           "velmora-unpack~/x"}) {
    ZipWriter zip = WithGoodEntry();
    zip.Add(name, "evil");
    EXPECT_EQ(Unpack(zip), UnpackResult::Hostile) << name;
    EXPECT_EQ(Snapshot(game.path()), before) << name;
  }
  ZipWriter link = WithGoodEntry();
  link.Add("profile/gui", "/etc").UnixLink();
  EXPECT_EQ(Unpack(link), UnpackResult::Hostile);
  EXPECT_EQ(Snapshot(game.path()), before);
  EXPECT_TRUE(events.empty());  // refused before the first entry was unpacked
  EXPECT_EQ(Snapshot(archives.path()), outsideBefore);
}

TEST_F(UnpackerTest, ParentSpelledInAnotherCaseLeavesNothingBehindOnFailure) {
  // Windows folds the spellings into one folder; a file system that keeps them
  // apart makes the last file fail, and then no folder made on the way may stay.
  auto before = Snapshot(game.path());
  ZipWriter zip;
  zip.Add("Mods/");
  zip.Add("MODS/deep/x.txt", "x");
  zip.Add("mods/y.txt", "y");
  UnpackResult r = Unpack(zip);
  if (r == UnpackResult::Done) {
    EXPECT_EQ(game.Read("\\mods\\deep\\x.txt"), "x");
    EXPECT_EQ(game.Read("\\Mods\\y.txt"), "y");
  } else {
    EXPECT_EQ(Snapshot(game.path()), before);
  }
}

TEST_F(UnpackerTest, LinkInsideTheTargetIsNotFollowed) {
  TempDir outside;
  outside.WriteFile("\\keep.txt", "keep");
  testing::MakeFolderLink(outside.path(), game.path() + "/profile/gui/flash");
  ZipWriter zip = WithGoodEntry();
  zip.Add("profile/gui/flash/keep.txt", "evil");
  EXPECT_EQ(Unpack(zip), UnpackResult::LinkInTarget);
  EXPECT_EQ(outside.Read("\\keep.txt"), "keep");
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "old icons");
}

TEST_F(UnpackerTest, CorruptArchivesChangeNothing) {
  auto before = Snapshot(game.path());
  auto expectUnchanged = [&](const std::string& bytes, const char* what) {
    EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).Unpack(Stored(bytes), game.path()), UnpackResult::Corrupt) << what;
    EXPECT_EQ(Snapshot(game.path()), before) << what;
  };

  ZipWriter badCrc = WithGoodEntry();
  badCrc.Add("profile/gui/battle_stats.xml", "new stats").statedCrc = 0x12345678;
  expectUnchanged(badCrc.Build(), "bad checksum");

  ZipWriter shortData = WithGoodEntry();
  shortData.Add("profile/b.xml", "short").statedSize = 500;
  expectUnchanged(shortData.Build(), "stated size larger than the data");

  ZipWriter longData = WithGoodEntry();
  longData.Add("profile/b.xml", std::string(5000, 'x')).statedSize = 10;
  expectUnchanged(longData.Build(), "more data than stated");

  std::string whole = WithGoodEntry().Build();
  // Noise does not deflate, so the damage lands in the member's data while
  // the headers and the central directory stay intact.
  std::string noise(300000, '\0');
  uint32_t seed = 1;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  ZipWriter big = WithGoodEntry();
  big.Add("profile/big.bin", noise);
  std::string holed = big.Build();
  holed.replace(150000, 400, 400, '\0');
  expectUnchanged(holed, "damaged data");
  expectUnchanged(whole.substr(0, whole.size() - 10), "truncated");
  expectUnchanged("PK\x03\x04 this is not a zip archive at all", "not a zip");
  expectUnchanged("", "empty file");

  ZipWriter conflict;
  conflict.Add("profile/a", "file");
  conflict.Add("profile/a/b", "below a file");
  expectUnchanged(conflict.Build(), "a file and a folder of one name");
}

TEST_F(UnpackerTest, EntriesLargerThanTheFreeSpaceFailCleanly) {
  auto before = Snapshot(game.path());
  testing::SmallDisk disk(1 << 20);
  ZipWriter bomb = WithGoodEntry();
  bomb.Add("profile/bomb.bin", "tiny").statedSize = 0xF0000000u;
  EXPECT_EQ(Unpack(bomb, disk), UnpackResult::NoSpace);
  ZipWriter many = WithGoodEntry();
  for (int i = 0; i < 3; ++i) many.Add("profile/" + std::to_string(i), "x").statedSize = 400000;
  EXPECT_EQ(Unpack(many, disk), UnpackResult::NoSpace);
  EXPECT_EQ(Snapshot(game.path()), before);

  // A real bomb: 64 MB of zeros stated as a few bytes stops at the stated size.
  ZipWriter real = WithGoodEntry();
  real.Add("profile/bomb.bin", std::string(64 << 20, '\0')).statedSize = 16;
  EXPECT_EQ(Unpack(real), UnpackResult::Corrupt);
  EXPECT_EQ(Snapshot(game.path()), before);
}

TEST_F(UnpackerTest, FileHeldOpenLeavesEveryFileAsItWas) {
  auto before = Snapshot(game.path());
  FaultyFileSystem fs;
  fs.lockedPaths.insert(game.path() + "\\profile\\gui\\battle_stats.xml");
  ZipWriter zip;
  zip.Add("profile/icons.xml", "new icons");
  zip.Add("profile/new/a.xml", "a");
  zip.Add("profile/gui/battle_stats.xml", "new stats");
  zip.Add("profile/z.xml", "z");
  EXPECT_EQ(Unpack(zip, fs), UnpackResult::InUse);
  EXPECT_EQ(Snapshot(game.path()), before);
}

TEST_F(UnpackerTest, RepeatedEntryTheLastWinsAndAFailureRestoresTheFirstOriginal) {
  ZipWriter twice;
  twice.Add("profile/icons.xml", "one");
  twice.Add("profile\\icons.xml", "two");
  ASSERT_EQ(Unpack(twice), UnpackResult::Done);
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "two");

  game.WriteFile("\\profile\\icons.xml", "old icons");
  auto before = Snapshot(game.path());
  FaultyFileSystem fs;
  fs.lockedPaths.insert(game.path() + "\\profile\\gui\\battle_stats.xml");
  twice.Add("profile/gui/battle_stats.xml", "new stats");
  EXPECT_EQ(Unpack(twice, fs), UnpackResult::InUse);
  EXPECT_EQ(Snapshot(game.path()), before);
}

TEST_F(UnpackerTest, CleansUpTheStagingLeftByACrash) {
  game.WriteFile("\\velmora-unpack~\\0", "half written");
  ZipWriter zip = WithGoodEntry();
  ASSERT_EQ(Unpack(zip), UnpackResult::Done);
  EXPECT_FALSE(game.Exists("\\velmora-unpack~"));
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "new icons");
}

// Another program in the middle of its commit into the same game folder holds
// the folder's lock: its live staging is never taken for a crashed one, and
// nothing is unpacked beside it; once it lets go, the crash is undone as ever.
TEST_F(UnpackerTest, AStagingAnotherProgramHoldsIsNeverTakenForACrash) {
  game.WriteFile("\\" + std::string(kStagingFolder) + "\\b0", "the other program's backup");
  const auto before = Snapshot(game.path());
  std::unique_ptr<FileLock> other;
  ASSERT_EQ(LockFolder(NativeFileSystem(), game.path(), other, 0), LockResult::Locked);
  EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::Busy);
  EXPECT_EQ(Unpack(WithGoodEntry()), UnpackResult::Busy);
  other.reset();
  EXPECT_EQ(Snapshot(game.path()), before) << "nothing of it touched while it was held";
  EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::Undone);
  EXPECT_FALSE(game.Exists("\\" + std::string(kStagingFolder)));
  EXPECT_EQ(Unpack(WithGoodEntry()), UnpackResult::Done);
}

// Stands for the machine going down in the middle of putting files into place:
// after `movesLeft` moves, the next one never returns.
class CrashingFileSystem : public FaultyFileSystem {
 public:
  struct Crash {};
  int movesLeft = 0;
  bool MoveReplace(const std::string& from, const std::string& to) override {
    if (movesLeft-- == 0) throw Crash{};
    return FaultyFileSystem::MoveReplace(from, to);
  }
};

TEST_F(UnpackerTest, NextUnpackingUndoesACommitCutShortByACrash) {
  const auto before = Snapshot(game.path());
  ZipWriter plugin;
  plugin.Add("profile/icons.xml", "new icons");                // replaces a file
  plugin.Add("profile/gui/battle_stats.xml", "new stats");     // replaces a file
  plugin.Add("profile/particles/trails/a.xml", "new trails");  // new file, new folders
  for (int moves = 0; moves < 5; ++moves) {  // two moves aside, three into place
    CrashingFileSystem crashing;
    crashing.movesLeft = moves;
    EXPECT_THROW(ArchiveUnpacker(crashing).Unpack(Stored(plugin.Build()), game.path()), CrashingFileSystem::Crash)
        << moves;
    if (moves % 2 == 0) {
      // The program's next start puts the game folder back as it was.
      EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::Undone);
      EXPECT_EQ(Snapshot(game.path()), before) << "after a crash at move " << moves;
      continue;
    }
    // So does the next install (of anything), had nothing started since.
    ZipWriter other;
    other.Add("profile/other.xml", "other");
    ASSERT_EQ(Unpack(other), UnpackResult::Done) << moves;
    auto after = Snapshot(game.path());
    after.erase((std::filesystem::path("profile") / "other.xml").string());
    EXPECT_EQ(after, before) << "after a crash at move " << moves;
    ASSERT_TRUE(NativeFileSystem().RemoveFile(game.Join("\\profile\\other.xml")));
  }
  EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::NothingToDo);
}

// A commit whose last move fails, and a rollback whose restore of chosen
// originals fails as well (a virus scanner holding a file a moment, say).
class FlakyMoves : public FaultyFileSystem {
 public:
  int movesLeft = 4;                 // the commit's fifth move fails
  std::set<std::string> stuckBackups;  // restores from these fail
  bool MoveReplace(const std::string& from, const std::string& to) override {
    if (movesLeft-- == 0) return false;
    for (const std::string& b : stuckBackups) {
      if (from.size() >= b.size() && from.compare(from.size() - b.size(), b.size(), b) == 0) return false;
    }
    return FaultyFileSystem::MoveReplace(from, to);
  }
};

TEST_F(UnpackerTest, ARestoreThatFailsLosesNoOriginalAndTheNextStartFinishesIt) {
  const auto before = Snapshot(game.path());
  ZipWriter plugin;
  plugin.Add("profile/icons.xml", "new icons");                // replaces a file: backup b0
  plugin.Add("profile/gui/battle_stats.xml", "new stats");     // replaces a file: backup b1
  plugin.Add("profile/particles/trails/a.xml", "new trails");  // the move that fails
  const std::vector<std::set<std::string>> stuck = {{"\\b1"}, {"\\b0"}, {"\\b0", "\\b1"}};
  for (const std::set<std::string>& backups : stuck) {
    FlakyMoves fs;
    fs.stuckBackups = backups;
    EXPECT_EQ(Unpack(plugin, fs), UnpackResult::RepairPending);
    // Every original is in its place or kept in the staging folder with the journal.
    const std::pair<const char*, const char*> originals[] = {
        {"\\profile\\icons.xml", "old icons"}, {"\\profile\\gui\\battle_stats.xml", "old stats"}};
    for (int i = 0; i < 2; ++i) {
      const std::string kept = "\\velmora-unpack~\\b" + std::to_string(i);
      const std::string where = game.Exists(kept) ? kept : originals[i].first;
      EXPECT_EQ(game.Read(where), originals[i].second) << originals[i].first;
    }
    EXPECT_TRUE(game.Exists("\\velmora-unpack~\\journal"));
    EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::Undone);
    EXPECT_EQ(Snapshot(game.path()), before) << "after stuck " << *backups.begin();
  }
}

TEST(Journal, ReadsBackWhatItWroteAndNoNameThatLeavesItsFolder) {
  const std::vector<JournalRecord> records = {{true, "profile\\gui", "", ""},
                                              {false, "profile\\gui\\a.xml", "b1", "1"},
                                              {false, "profile\\b.xml", "", "2"}};
  std::optional<std::vector<JournalRecord>> read = ParseJournal(FormatJournal(records));
  ASSERT_TRUE(read);
  ASSERT_EQ(read->size(), 3u);
  EXPECT_EQ((*read)[1].relative, "profile\\gui\\a.xml");
  EXPECT_EQ((*read)[1].backup, "b1");
  EXPECT_TRUE((*read)[0].folder);
  for (const char* line : {"F\tprofile\\icons.xml\t..\\..\\secret.xml\t0\n", "F\t..\\..\\x.xml\t\t0\n",
                           "F\tprofile\\icons.xml\tb0\tC:\\x\n", "F\tC:\\Windows\\x.dll\t\t0\n",
                           "F\tprofile\\x.xml\tCON\t0\n", "D\t..\n", "X\tprofile\n", "F\tprofile\n"}) {
    EXPECT_FALSE(ParseJournal(line)) << line;
  }
}

TEST_F(UnpackerTest, AJournalWhoseNamesLeaveTheirFoldersIsNeverActedOn) {
  archives.WriteFile("\\secret.xml", "outside");
  const auto before = Snapshot(game.path());
  game.WriteFile("\\velmora-unpack~\\journal", "F\tprofile\\icons.xml\t..\\..\\secret.xml\t0\n");
  EXPECT_EQ(ArchiveUnpacker(NativeFileSystem()).RecoverInterrupted(game.path()), RecoveryResult::Refused);
  EXPECT_EQ(archives.Read("\\secret.xml"), "outside");
  EXPECT_EQ(Unpack(WithGoodEntry()), UnpackResult::WriteFailed) << "nothing goes in over it";
  NativeFileSystem().DeleteTree(game.Join("\\velmora-unpack~"));
  EXPECT_EQ(Snapshot(game.path()), before);
}

TEST_F(UnpackerTest, CrashedCommitThatCannotBeUndoneYetKeepsItsBackups) {
  ZipWriter plugin;
  plugin.Add("profile/icons.xml", "new icons");
  CrashingFileSystem crashing;
  crashing.movesLeft = 1;  // the original moved aside, the crash before the new one lands
  EXPECT_THROW(ArchiveUnpacker(crashing).Unpack(Stored(plugin.Build()), game.path()), CrashingFileSystem::Crash);
  // The game now holds the file's place open: the original cannot go back yet.
  FaultyFileSystem gameRunning;
  gameRunning.lockedPaths.insert(game.path() + "\\profile\\icons.xml");
  EXPECT_EQ(ArchiveUnpacker(gameRunning).RecoverInterrupted(game.path()), RecoveryResult::Blocked);
  EXPECT_EQ(Unpack(WithGoodEntry(), gameRunning), UnpackResult::InUse);
  EXPECT_TRUE(game.Exists("\\velmora-unpack~")) << "the backup of the original is kept";
  ZipWriter later;
  later.Add("profile/x.xml", "x");
  ASSERT_EQ(Unpack(later), UnpackResult::Done);
  EXPECT_EQ(game.Read("\\profile\\icons.xml"), "old icons") << "restored once it could be";
  EXPECT_FALSE(game.Exists("\\velmora-unpack~"));
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The parallel staging on its own, with four workers whatever the machine.
TEST(ZipStaging, FourWorkersStageEveryEntryTellInOrderAndStopOrFailAsOne) {
  testing::TempDir staging;
  ZipWriter zip;
  std::vector<std::string> contents;
  for (int i = 0; i < 24; ++i) {
    contents.push_back(std::string(200000 + i * 1000, static_cast<char>('a' + i)));
    zip.Add("profile/f" + std::to_string(i), contents.back());
  }
  zip.Add("profile/bad", "checksum lies").statedCrc = 1;
  const std::string archive = Stored(zip.Build());
  ZipReader reader;
  ASSERT_TRUE(reader.Open(NativeFileSystem().OpenForRead(archive)));
  std::vector<StagingJob> jobs;
  ZipEntryInfo info;
  for (auto s = reader.First(); s == ZipReader::Step::Entry; s = reader.Next()) {
    ASSERT_TRUE(reader.Current(info));
    jobs.push_back({info.position, staging.Join("\\" + std::to_string(jobs.size())), info.statedSize, {}});
  }
  std::vector<StagingJob> good(jobs.begin(), jobs.end() - 1);

  std::vector<int> told;
  auto tell = [&](int done) {
    told.push_back(done);
    return true;
  };
  EXPECT_EQ(StageEntries(NativeFileSystem(), archive, good, tell, 4), UnpackResult::Done);
  ASSERT_EQ(told.size(), good.size());
  for (size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i], static_cast<int>(i + 1));
  for (size_t i = 0; i < good.size(); ++i) EXPECT_EQ(staging.Read("\\" + std::to_string(i)), contents[i]) << i;

  told.clear();
  auto stopAtThree = [&](int done) {
    told.push_back(done);
    return done < 3;
  };
  EXPECT_EQ(StageEntries(NativeFileSystem(), archive, good, stopAtThree, 4), UnpackResult::Stopped);
  EXPECT_EQ(told, (std::vector<int>{1, 2, 3})) << "nothing is told after a stop";

  EXPECT_EQ(StageEntries(NativeFileSystem(), archive, jobs, tell, 4), UnpackResult::Corrupt);
  EXPECT_EQ(StagingThreads(3, 100 << 20), 1u) << "a thread per entry is not worth it for three";
  EXPECT_EQ(StagingThreads(150, 1 << 20), 1u) << "nor for a small archive";
}

}  // namespace
}  // namespace velmora
