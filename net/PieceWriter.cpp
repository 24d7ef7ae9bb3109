#include "net/PieceWriter.h"

#include <new>
#include <system_error>

namespace velmora {

PieceWriter::PieceWriter(OutputFile& file, std::string& content, size_t bufferSize, int buffers)
    : file_(file), content_(content), storage_(static_cast<size_t>(buffers), std::vector<char>(bufferSize)) {
  for (auto& b : storage_) free_.push_back(b.data());
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to spare: the pieces are written as they are handed in.
  }
}

PieceWriter::~PieceWriter() { Finish(); }

bool PieceWriter::WritePiece(const char* data, size_t size) {
  if (!file_.Write(data, size)) return false;
  // Out of memory is a failed download (the file stays for a resume), never an
  // exception through the window procedure that runs the download.
  try {
    content_.append(data, size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

char* PieceWriter::Acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failed_ || !free_.empty(); });
  if (failed_) return nullptr;
  char* b = free_.back();
  free_.pop_back();
  return b;
}

void PieceWriter::Submit(char* buffer, size_t size) {
  if (!worker_.joinable()) {
    bool ok = size == 0 || WritePiece(buffer, size);
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = failed_ || !ok;
    free_.push_back(buffer);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (size == 0 || failed_) {
    free_.push_back(buffer);
  } else {
    pending_.emplace_back(buffer, size);
  }
  changed_.notify_all();
}

void PieceWriter::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return finishing_ || !pending_.empty(); });
    if (pending_.empty()) return;  // finishing, and nothing left
    auto [buffer, size] = pending_.front();
    pending_.pop_front();
    const bool skip = failed_;  // after a failure the rest is not written
    lock.unlock();
    const bool ok = !skip && WritePiece(buffer, size);
    lock.lock();
    failed_ = failed_ || !ok;
    free_.push_back(buffer);
    changed_.notify_all();
  }
}

bool PieceWriter::Finish() {
  if (worker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finishing_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return !failed_;
}

}  // namespace velmora
