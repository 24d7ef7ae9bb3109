// The record of one commit into a target folder, kept in the staging folder from
// before the commit's first change until its end, so that whatever cuts the
// commit short (a crash, a restore the system refused) can be undone later: at
// the next start, after "浏览", or before the next unpacking into that target.
//
// One line per change: "D\t<folder>" for a folder the commit makes, and
// "F\t<file>\t<backup>\t<staged>" for a file it places (backup empty where nothing
// is replaced). Folders and files are relative to the target, "\"-separated;
// backup and staged are plain names inside the staging folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace velmora {

struct JournalRecord {
  bool folder = false;
  std::string relative;  // below the target
  std::string backup;    // where the replaced file waits; empty when none was replaced
  std::string staged;    // where the new file waits until it is placed
};

std::string FormatJournal(const std::vector<JournalRecord>& records);

// Nothing when a line is malformed or a name would lead elsewhere: a backup or
// staged name that is not a plain name, a relative path that is not a plain path
// below the target. A journal that is not ours is never acted on.
std::optional<std::vector<JournalRecord>> ParseJournal(std::string_view text);

class Journal {
 public:
  Journal(FileSystem& fs, std::string target, std::string staging);

  const std::string& Path() const { return path_; }
  // On disk (flushed) before it returns: the commit may begin only after it.
  bool Write(const std::vector<JournalRecord>& records);
  std::optional<std::vector<JournalRecord>> Read();
  // Takes out again, newest first, what the commit placed, puts back what it
  // replaced and removes the folders it made once they are empty. Goes on past a
  // step that fails; false when any did (its backup stays, so undoing again later
  // finishes the job). Safe to repeat.
  bool Undo(const std::vector<JournalRecord>& records);

 private:
  std::string Below(const std::string& relative) const { return target_ + "\\" + relative; }
  std::string InStaging(const std::string& name) const { return staging_ + "\\" + name; }
  void RemoveIfEmpty(const std::string& folder);

  FileSystem& fs_;
  std::string target_;
  std::string staging_;
  std::string path_;
};

}  // namespace velmora
