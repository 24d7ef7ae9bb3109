#include "zip/Staging.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <thread>

#include "platform/Worker.h"

namespace velmora {
namespace {

// Runs its call when the scope is left, by any road.
template <typename Call>
struct OnLeaving {
  Call call;
  ~OnLeaving() { call(); }
};
template <typename Call>
OnLeaving(Call) -> OnLeaving<Call>;  // for compilers without aggregate deduction

constexpr unsigned kReadBuffer = 256 * 1024;

UnpackResult Extract(FileSystem& fs, ZipReader& reader, const StagingJob& job, std::string& buffer) {
  if (job.staged.empty()) return UnpackResult::Done;
  if (!reader.OpenEntry(job.position)) return UnpackResult::Corrupt;
  std::unique_ptr<OutputFile> out = fs.OpenForWrite(job.staged, false);
  if (!out) {
    reader.CloseEntry();
    return UnpackResult::WriteFailed;
  }
  uint64_t written = 0;
  for (;;) {
    int n = reader.Read(buffer.data(), kReadBuffer);
    if (n == 0) break;
    if (n < 0) {
      reader.CloseEntry();
      return UnpackResult::Corrupt;
    }
    if (!out->Write(buffer.data(), static_cast<size_t>(n))) {
      reader.CloseEntry();
      return UnpackResult::WriteFailed;
    }
    written += static_cast<uint64_t>(n);
  }
  // The reader stops at the stated size, so a short stream is the one size
  // fault left to see; the checksum catches the rest.
  if (!reader.CloseEntry() || written != job.size) return UnpackResult::Corrupt;
  if (job.time && !out->SetModifiedTime(*job.time)) return UnpackResult::WriteFailed;
  return out->Close() ? UnpackResult::Done : UnpackResult::WriteFailed;
}

UnpackResult StageAlone(FileSystem& fs, const std::string& archive, const std::vector<StagingJob>& jobs,
                        const std::function<bool(int)>& entryDone) {
  ZipReader reader;
  if (!reader.Open(fs.OpenForRead(archive))) return UnpackResult::Corrupt;
  std::string buffer(kReadBuffer, '\0');
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (UnpackResult r = Extract(fs, reader, jobs[i], buffer); r != UnpackResult::Done) return r;
    if (!entryDone(static_cast<int>(i + 1))) return UnpackResult::Stopped;
  }
  return UnpackResult::Done;
}

}  // namespace

unsigned StagingThreads(size_t entries, uint64_t bytes) {
  // Below a few MiB a thread costs more than it saves.
  if (entries < 4 || bytes < (uint64_t{4} << 20)) return 1;
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<size_t>({cores, 4, entries}));
}

UnpackResult StageEntries(FileSystem& fs, const std::string& archive, const std::vector<StagingJob>& jobs,
                          const std::function<bool(int)>& entryDone, unsigned threads) {
  if (threads <= 1) return StageAlone(fs, archive, jobs, entryDone);

  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  size_t finished = 0;
  unsigned running = 0;
  UnpackResult failure = UnpackResult::Done;

  auto fail = [&](UnpackResult r) {  // with the mutex held
    if (failure == UnpackResult::Done) failure = r;
    stop = true;
  };
  auto work = [&] {
    // However the helper leaves (an exception, out of memory say, goes on to
    // its worker), the count goes down, and a helper that did not finish its
    // part fails the unpacking rather than leaving it short.
    bool finishedPart = false;
    OnLeaving leaving{[&] {
      std::lock_guard<std::mutex> lock(mutex);
      if (!finishedPart) fail(UnpackResult::WriteFailed);
      --running;
      changed.notify_one();
    }};
    ZipReader reader;
    std::string buffer(kReadBuffer, '\0');
    if (!reader.Open(fs.OpenForRead(archive))) {
      std::lock_guard<std::mutex> lock(mutex);
      fail(UnpackResult::Corrupt);
    } else {
      while (!stop) {
        const size_t i = next++;
        if (i >= jobs.size()) break;
        UnpackResult r = Extract(fs, reader, jobs[i], buffer);
        std::lock_guard<std::mutex> lock(mutex);
        if (r != UnpackResult::Done) {
          fail(r);
        } else {
          ++finished;
        }
        changed.notify_one();
      }
    }
    finishedPart = true;
  };

  // Each helper's destructor joins it: they are declared after everything
  // their job uses, so they go first.
  std::vector<std::unique_ptr<Worker>> helpers;
  for (unsigned t = 0; t < threads; ++t) {
    auto helper = std::make_unique<Worker>();
    std::lock_guard<std::mutex> lock(mutex);
    if (!helper->Submit(work)) break;
    ++running;
    helpers.push_back(std::move(helper));
  }
  if (helpers.empty()) return StageAlone(fs, archive, jobs, entryDone);
  size_t told = 0;
  bool stopped = false;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return finished > told || running == 0; });
    if (finished == told) break;  // everyone is done
    ++told;
    const bool failed = failure != UnpackResult::Done;
    lock.unlock();
    if (failed) continue;  // no progress is told for an unpacking that failed
    if (!stopped && !entryDone(static_cast<int>(told))) {
      stopped = true;
      stop = true;
    }
  }
  helpers.clear();
  if (failure != UnpackResult::Done) return failure;
  return stopped ? UnpackResult::Stopped : UnpackResult::Done;
}

}  // namespace velmora
