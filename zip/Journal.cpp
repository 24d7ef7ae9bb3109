#include "zip/Journal.h"

#include "zip/EntryName.h"

namespace velmora {
namespace {

constexpr size_t kMaxJournalBytes = size_t{16} << 20;

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// A path below the target as the zip unit itself would accept it from an archive.
bool IsPlainPath(std::string_view relative) {
  std::optional<EntryPath> p = CheckEntryPath(std::string(relative));
  return p && p->Joined() == relative;
}

bool IsPlainName(std::string_view name) {
  std::optional<EntryPath> p = CheckEntryPath(std::string(name));
  return p && !p->isFolder && p->parts.size() == 1 && p->parts[0] == name;
}

}  // namespace

std::string FormatJournal(const std::vector<JournalRecord>& records) {
  std::string text;
  for (const JournalRecord& r : records) {
    if (r.folder) {
      text += "D\t" + r.relative + "\n";
    } else {
      text += "F\t" + r.relative + "\t" + r.backup + "\t" + r.staged + "\n";
    }
  }
  return text;
}

std::optional<std::vector<JournalRecord>> ParseJournal(std::string_view text) {
  std::vector<JournalRecord> records;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::vector<std::string_view> f = Fields(line);
    JournalRecord r;
    if (f.size() == 2 && f[0] == "D" && IsPlainPath(f[1])) {
      r.folder = true;
      r.relative = f[1];
    } else if (f.size() == 4 && f[0] == "F" && IsPlainPath(f[1]) &&
               (f[2].empty() || IsPlainName(f[2])) && IsPlainName(f[3])) {
      r.relative = f[1];
      r.backup = f[2];
      r.staged = f[3];
    } else {
      return std::nullopt;
    }
    records.push_back(std::move(r));
  }
  return records;
}

Journal::Journal(FileSystem& fs, std::string target, std::string staging)
    : fs_(fs), target_(std::move(target)), staging_(std::move(staging)), path_(staging_ + "\\journal") {}

bool Journal::Write(const std::vector<JournalRecord>& records) {
  return fs_.WriteFileAtomic(path_, FormatJournal(records));
}

std::optional<std::vector<JournalRecord>> Journal::Read() {
  std::optional<uint64_t> size = fs_.FileSize(path_);
  std::string text;
  if (!size || *size > kMaxJournalBytes || !fs_.ReadFile(path_, text)) return std::nullopt;
  return ParseJournal(text);
}

bool Journal::Undo(const std::vector<JournalRecord>& records) {
  bool all = true;
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    if (r->folder) {
      RemoveIfEmpty(Below(r->relative));
      continue;
    }
    const std::string final = Below(r->relative);
    if (!r->backup.empty()) {
      // Where the backup is still there, the original was moved aside: whatever
      // stands in its place now goes, and the original comes back.
      if (fs_.Kind(InStaging(r->backup)) == PathKind::File &&
          !fs_.MoveReplace(InStaging(r->backup), final)) {
        all = false;
      }
    } else if (fs_.Kind(InStaging(r->staged)) == PathKind::Missing &&
               fs_.Kind(final) == PathKind::File && !fs_.RemoveFile(final)) {
      all = false;  // placed by the commit, over nothing
    }
  }
  return all;
}

void Journal::RemoveIfEmpty(const std::string& folder) {
  std::optional<std::vector<FolderItem>> items = fs_.ListFolder(folder);
  if (items && items->empty()) fs_.DeleteTree(folder);
}

}  // namespace velmora
