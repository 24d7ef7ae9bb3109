// Inflating the entries of an archive into their staged files, before anything
// is moved into place. With several cores the entries are inflated in parallel
// by helper Workers, each with a reader of its own over the archive file; the
// progress is still told on the calling thread, once per entry, and may stop
// the work.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "zip/ZipReader.h"
#include "zip/ArchiveUnpacker.h"

namespace velmora {

struct StagingJob {
  unz64_file_pos position{};
  std::string staged;  // empty: a folder entry, nothing to inflate
  uint64_t size = 0;   // as the central directory states it
  std::optional<LocalTime> time;
};

// Inflates every job's entry of the archive file into its staged file (checksum
// and size checked). `entryDone(done)` runs on the calling thread after each
// job, done = 1..jobs.size(); false stops the staging (Stopped). On the first
// failure the other helpers stop taking jobs. `threads` <= 1, or no helper that
// could be started, works alone. The file system must allow opening files from
// several threads at once.
UnpackResult StageEntries(FileSystem& fs, const std::string& archive, const std::vector<StagingJob>& jobs,
                          const std::function<bool(int)>& entryDone, unsigned threads);

// How many workers an archive of this many entries and bytes is worth, on
// this machine.
unsigned StagingThreads(size_t entries, uint64_t bytes);

}  // namespace velmora
