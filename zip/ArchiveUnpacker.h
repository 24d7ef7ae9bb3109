// Unpacks a plug-in's archive into the game folder.
//
// All or nothing: every entry is checked before anything is written, the data is
// staged in a folder below the target (same volume, so placing is a rename) and
// only when every entry has been read and its checksum matched are the files moved
// into place, each replaced file kept aside until all are placed. A failure
// restores what was there; a crash, or an original the system will not give back
// yet, leaves the staging folder with its journal (zip/Journal.h), and the next
// recovery or unpacking into that target finishes the undo. Both hold the
// target's lock (zip/FolderLock.h) from the first look at the target to the end,
// so no program takes another's live staging folder for a crashed one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace velmora {

enum class UnpackResult {
  Done,
  NoArchive,    // a path is empty, or no archive file is there
  Corrupt,      // not a zip, truncated, a checksum or size that does not match
  Hostile,      // an entry that would land outside the target (or its allowed
                // folder), a device or a link
  LinkInTarget, // a folder or file on an entry's way below the target is a link
  NoSpace,      // the entries need more than the target volume has free
  InUse,        // a file to replace is held open (the game may be running)
  WriteFailed,  // the target cannot be written
  Stopped,      // the progress handler asked to stop
  RepairPending,  // a failed commit could not put every original back yet: the
                  // journal and backups stay, and the next recovery finishes it
  Busy,         // another program is changing the target (its lock is held)
};

// What became of an unpacking that a crash cut short.
enum class RecoveryResult {
  NothingToDo,  // no unpacking was left unfinished in this target
  Undone,       // the target is as it was before that unpacking
  Blocked,      // a file is held open: the backups stay for a later try
  Refused,      // the journal is not one this program wrote: nothing was touched
  Busy,         // another program is changing the target: its staging is live
};

struct UnpackProgress {
  int done = 0;  // entries unpacked so far
  int total = 0;
  int percent = 0;
};

class ArchiveUnpacker {
 public:
  // Raised after each entry; returning false stops the unpacking (nothing changes).
  using ProgressHandler = std::function<bool(const UnpackProgress&)>;

  explicit ArchiveUnpacker(FileSystem& fs) : fs_(fs) {}
  void SetProgressHandler(ProgressHandler handler) { onProgress_ = std::move(handler); }
  // Every entry must lie below this folder of the target (compared ignoring
  // ASCII case); an archive with any entry elsewhere is refused whole as Hostile.
  void SetOnlyBelow(std::string folder) { onlyBelow_ = std::move(folder); }
  // How long to wait for the target's lock while another program holds it
  // (zip/FolderLock.h); 0: not at all.
  void SetLockWait(uint32_t ms) { lockWaitMs_ = ms; }

  // Unpacks the archive file into the target folder (created when missing).
  // Names below the target use "\" (the target's own text is kept as given).
  UnpackResult Unpack(const std::string& archiveFile, const std::string& targetFolder);
  // Undoes an unpacking into the target that a crash cut short (every unpacking
  // also does this first).
  RecoveryResult RecoverInterrupted(const std::string& targetFolder);

 private:
  FileSystem& fs_;
  ProgressHandler onProgress_;
  std::string onlyBelow_;
  uint32_t lockWaitMs_ = 0;
};

}  // namespace velmora
