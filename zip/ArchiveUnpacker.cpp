#include "zip/ArchiveUnpacker.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "text/AsciiCase.h"
#include "zip/EntryName.h"
#include "zip/FolderLock.h"
#include "zip/Journal.h"
#include "zip/Staging.h"
#include "zip/ZipReader.h"

namespace velmora {
namespace {

struct PlannedEntry {
  EntryPath path;
  std::string relative;  // below the target, "\"-separated
  uint64_t size = 0;
  std::optional<LocalTime> time;
  unz64_file_pos position{};
  std::string staged;  // where its data waits in the staging folder
  PathKind existing = PathKind::Missing;  // what its place held when checked
};

// A DOS date and time as minizip unpacked it; none when the fields are out of range.
std::optional<LocalTime> TimeOf(const tm_unz& t) {
  LocalTime lt{static_cast<int>(t.tm_year), static_cast<int>(t.tm_mon) + 1, static_cast<int>(t.tm_mday),
               static_cast<int>(t.tm_hour), static_cast<int>(t.tm_min), static_cast<int>(t.tm_sec)};
  if (lt.year < 1980 || lt.month < 1 || lt.month > 12 || lt.day < 1 || lt.day > 31 || lt.hour > 23 ||
      lt.minute > 59 || lt.second > 59) {
    return std::nullopt;
  }
  return lt;
}

// The folder names every entry needs, parents first, each once.
std::vector<std::string> FoldersOf(const std::vector<PlannedEntry>& plan) {
  std::vector<std::string> folders;
  std::set<std::string> seen;
  for (const PlannedEntry& e : plan) {
    std::string prefix;
    size_t count = e.path.isFolder ? e.path.parts.size() : e.path.parts.size() - 1;
    for (size_t i = 0; i < count; ++i) {
      prefix += (i ? "\\" : "") + e.path.parts[i];
      if (seen.insert(AsciiLower(prefix)).second) folders.push_back(prefix);
    }
  }
  return folders;
}

class Unpacking {
 public:
  Unpacking(FileSystem& fs, const std::string& target, const ArchiveUnpacker::ProgressHandler& onProgress,
            const std::string& onlyBelow, uint32_t lockWaitMs)
      : fs_(fs),
        lockWaitMs_(lockWaitMs),
        target_(target),
        onProgress_(onProgress),
        onlyBelow_(onlyBelow),
        staging_(target + "\\" + std::string(kStagingFolder)),
        journal_(fs, target, staging_) {}

  RecoveryResult Recover() {
    if (fs_.Kind(staging_) != PathKind::Folder) return RecoveryResult::NothingToDo;
    switch (LockFolder(fs_, target_, lock_, lockWaitMs_)) {
      case LockResult::Locked: break;
      case LockResult::HeldElsewhere: return RecoveryResult::Busy;
      case LockResult::Failed: return RecoveryResult::Blocked;
    }
    return RecoverFromCrash();
  }

  UnpackResult Run(const std::string& archive) {
    archive_ = archive;
    std::unique_ptr<InputFile> file = fs_.OpenForRead(archive);
    if (!file) return UnpackResult::NoArchive;
    if (!reader_.Open(std::move(file))) return UnpackResult::Corrupt;
    UnpackResult r = Plan();
    if (r == UnpackResult::Done) r = Lock();
    if (r == UnpackResult::Done) r = CheckTarget();
    if (r == UnpackResult::Done) r = Stage();
    if (r == UnpackResult::Done) r = Commit();
    CleanUp(r == UnpackResult::Done);
    return r;
  }

 private:
  std::string Below(const std::string& relative) const { return target_ + "\\" + relative; }

  bool IsBelowAllowedFolder(const EntryPath& path) const {
    if (onlyBelow_.empty()) return true;
    if (!EqualsIgnoringAsciiCase(path.parts.front(), onlyBelow_)) return false;
    return path.parts.size() > 1 || path.isFolder;  // the folder itself, never a file of its name
  }

  UnpackResult Plan() {
    ZipEntryInfo info;
    for (ZipReader::Step s = reader_.First(); s != ZipReader::Step::End; s = reader_.Next()) {
      if (s == ZipReader::Step::Fault || !reader_.Current(info)) return UnpackResult::Corrupt;
      if (info.flags & 1) return UnpackResult::Corrupt;  // encrypted: no password to give
      if (IsLinkEntry(info.versionMadeBy, info.externalAttributes)) return UnpackResult::Hostile;
      std::optional<std::string> name = DecodeEntryName(info.rawName, info.flags, info.extraField);
      if (!name) return UnpackResult::Corrupt;
      std::optional<EntryPath> path = CheckEntryPath(*name);
      if (!path || !IsBelowAllowedFolder(*path)) return UnpackResult::Hostile;
      PlannedEntry e;
      e.relative = path->Joined();
      e.path = std::move(*path);
      e.size = e.path.isFolder ? 0 : info.statedSize;
      e.time = TimeOf(info.time);
      e.position = info.position;
      e.staged = staging_ + "\\" + std::to_string(plan_.size());
      totalSize_ = e.size > UINT64_MAX - totalSize_ ? UINT64_MAX : totalSize_ + e.size;
      plan_.push_back(std::move(e));
    }
    folders_ = FoldersOf(plan_);
    // "a" as a file and "a\b" below it cannot both be unpacked.
    std::set<std::string> folderSet;
    for (const std::string& f : folders_) folderSet.insert(AsciiLower(f));
    for (const PlannedEntry& e : plan_) {
      if (!e.path.isFolder && folderSet.count(AsciiLower(e.relative))) return UnpackResult::Corrupt;
    }
    return UnpackResult::Done;
  }

  // What is already below the target: a link anywhere on an entry's way could
  // lead the entry out of the target; a folder where a file goes cannot be replaced.
  UnpackResult CheckTarget() {
    for (const std::string& f : folders_) {
      PathKind k = fs_.Kind(Below(f));
      if (k == PathKind::Link) return UnpackResult::LinkInTarget;
      if (k == PathKind::File) return UnpackResult::WriteFailed;
    }
    for (PlannedEntry& e : plan_) {
      if (e.path.isFolder) continue;
      e.existing = fs_.Kind(Below(e.relative));
      if (e.existing == PathKind::Link) return UnpackResult::LinkInTarget;
      if (e.existing == PathKind::Folder) return UnpackResult::WriteFailed;
    }
    if (std::optional<uint64_t> free = FreeSpaceNear(target_); free && totalSize_ > *free) {
      return UnpackResult::NoSpace;
    }
    return UnpackResult::Done;
  }

  std::optional<uint64_t> FreeSpaceNear(std::string path) {
    while (!path.empty()) {
      if (fs_.Kind(path) == PathKind::Folder) return fs_.FreeSpace(path);
      size_t cut = path.find_last_of("\\/");
      if (cut == std::string::npos || cut == 0) break;
      path.resize(cut);
    }
    return std::nullopt;
  }

  // Everything from the first look at the target on happens under its lock.
  UnpackResult Lock() {
    createdTarget_ = fs_.Kind(target_) == PathKind::Missing;
    if (!fs_.CreateFolders(target_)) return UnpackResult::WriteFailed;
    switch (LockFolder(fs_, target_, lock_, lockWaitMs_)) {
      case LockResult::Locked: return UnpackResult::Done;
      case LockResult::HeldElsewhere: return UnpackResult::Busy;
      case LockResult::Failed: return UnpackResult::WriteFailed;
    }
    return UnpackResult::WriteFailed;
  }

  UnpackResult Stage() {
    // A crashed commit that cannot be undone now (its files held open) keeps its
    // record and backups for a later try; nothing new goes in over it.
    switch (RecoverFromCrash()) {
      case RecoveryResult::Blocked: return UnpackResult::InUse;
      case RecoveryResult::Refused: return UnpackResult::WriteFailed;
      case RecoveryResult::Busy: return UnpackResult::Busy;  // not reached: the lock is ours
      case RecoveryResult::NothingToDo:
      case RecoveryResult::Undone: break;
    }
    if (!fs_.CreateFolders(staging_)) return UnpackResult::WriteFailed;
    std::vector<StagingJob> jobs;
    for (const PlannedEntry& e : plan_) {
      jobs.push_back({e.position, e.path.isFolder ? std::string() : e.staged, e.size, e.time});
    }
    const int total = static_cast<int>(plan_.size());
    return StageEntries(
        fs_, archive_, jobs,
        [&](int done) {
          UnpackProgress progress{done, total, static_cast<int>(done * 100LL / total)};
          return !onProgress_ || onProgress_(progress);
        },
        StagingThreads(plan_.size(), totalSize_));
  }

  // The record of the commit, on disk before its first change to the target.
  bool WriteJournal() {
    std::set<std::string> listed;
    for (const std::string& f : folders_) {
      for (size_t sep = f.find('\\');; sep = f.find('\\', sep + 1)) {
        std::string level = f.substr(0, sep);
        if (fs_.Kind(Below(level)) == PathKind::Missing && listed.insert(level).second) {
          records_.push_back({true, level, {}, {}});
        }
        if (sep == std::string::npos) break;
      }
    }
    for (size_t i = 0; i < plan_.size(); ++i) {
      const PlannedEntry& e = plan_[i];
      if (e.path.isFolder) continue;
      std::string backup = e.existing == PathKind::File ? "b" + std::to_string(i) : "";
      records_.push_back({false, e.relative, backup, std::to_string(i)});
    }
    return journal_.Write(records_);
  }

  // A staging folder left by an unpacking that did not end: when its commit had
  // begun, what it placed is taken out again and what it replaced is put back,
  // so the target is as it was before that unpacking; then the folder goes.
  RecoveryResult RecoverFromCrash() {
    if (fs_.Kind(staging_) == PathKind::Missing) return RecoveryResult::NothingToDo;
    if (fs_.Kind(journal_.Path()) != PathKind::Missing) {
      std::optional<std::vector<JournalRecord>> records = journal_.Read();
      // Not a record this program wrote: acting on its names could move files
      // from anywhere into the game folder. Nothing is touched.
      if (!records) return RecoveryResult::Refused;
      if (!journal_.Undo(*records)) {
        keepStaging_ = true;
        return RecoveryResult::Blocked;
      }
    }
    // The game folder is whole again; staged copies that stay are only litter.
    (void)fs_.DeleteTree(staging_);
    return RecoveryResult::Undone;
  }

  UnpackResult Commit() {
    if (!WriteJournal()) return UnpackResult::WriteFailed;
    for (const std::string& f : folders_) {
      // One level at a time, each recorded in the journal, so the rollback knows
      // every folder made here, even where the archive spells a parent in another
      // case than its first mention and the file system tells the spellings apart.
      for (size_t sep = f.find('\\');; sep = f.find('\\', sep + 1)) {
        std::string folder = Below(f.substr(0, sep));
        if (fs_.Kind(folder) == PathKind::Missing && !fs_.CreateFolders(folder)) {
          return Rollback(UnpackResult::WriteFailed);
        }
        if (sep == std::string::npos) break;
      }
    }
    for (size_t i = 0; i < plan_.size(); ++i) {
      const PlannedEntry& e = plan_[i];
      if (e.path.isFolder) continue;
      const std::string final = Below(e.relative);
      // An earlier entry of the same name may have put a file there since the
      // check; that one is simply replaced (a rollback removes it anyway).
      if (e.existing == PathKind::File) {
        // A file the running game holds open cannot be moved aside.
        if (!fs_.MoveReplace(final, staging_ + "\\b" + std::to_string(i))) {
          return Rollback(UnpackResult::InUse);
        }
      }
      if (!fs_.MoveReplace(e.staged, final)) return Rollback(UnpackResult::WriteFailed);
    }
    return UnpackResult::Done;
  }

  // The same undo as after a crash, from the same record. An original that cannot
  // be put back now (a virus scanner holding the file a moment, say) keeps its
  // backup and the record for the next start, which finishes the restore.
  UnpackResult Rollback(UnpackResult why) {
    if (journal_.Undo(records_)) return why;
    keepStaging_ = true;
    return UnpackResult::RepairPending;
  }

  void RemoveIfEmpty(const std::string& folder) {
    std::optional<std::vector<FolderItem>> items = fs_.ListFolder(folder);
    if (items && items->empty()) fs_.DeleteTree(folder);
  }

  void CleanUp(bool done) {
    if (!lock_) return;  // the staging there, if any, is another program's
    if (!keepStaging_) {
      // The record goes first: once it is gone, a crash cannot undo this unpacking.
      if (fs_.Kind(journal_.Path()) == PathKind::File) fs_.RemoveFile(journal_.Path());
      if (fs_.Kind(staging_) == PathKind::Folder) fs_.DeleteTree(staging_);
    }
    if (!done && createdTarget_) {
      lock_.reset();  // its file would keep the new folder from being empty
      RemoveIfEmpty(target_);
    }
  }

  FileSystem& fs_;
  const uint32_t lockWaitMs_;
  std::unique_ptr<FileLock> lock_;  // released last, after the clean-up
  const std::string& target_;
  const ArchiveUnpacker::ProgressHandler& onProgress_;
  const std::string& onlyBelow_;
  const std::string staging_;
  std::string archive_;
  ZipReader reader_;
  std::vector<PlannedEntry> plan_;
  std::vector<std::string> folders_;
  uint64_t totalSize_ = 0;
  bool createdTarget_ = false;
  bool keepStaging_ = false;  // it holds what a commit could not yet undo
  Journal journal_;
  std::vector<JournalRecord> records_;
};

}  // namespace

UnpackResult ArchiveUnpacker::Unpack(const std::string& archive, const std::string& targetFolder) {
  if (archive.empty() || targetFolder.empty()) return UnpackResult::NoArchive;
  return Unpacking(fs_, targetFolder, onProgress_, onlyBelow_, lockWaitMs_).Run(archive);
}

RecoveryResult ArchiveUnpacker::RecoverInterrupted(const std::string& targetFolder) {
  if (targetFolder.empty()) return RecoveryResult::NothingToDo;
  return Unpacking(fs_, targetFolder, onProgress_, onlyBelow_, lockWaitMs_).Recover();
}

}  // namespace velmora
