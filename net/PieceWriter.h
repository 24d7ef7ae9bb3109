// Writes the pieces of a download to its file and appends them to the content
// in memory on a worker of its own, while the next piece is being read: the
// reading waits for the network, the writing for the disk and the memory, and
// the two overlap. Pieces go out in the order they came in.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"

namespace velmora {

class PieceWriter {
 public:
  // `file` and `content` must outlive the writer; `buffers` pieces of
  // `bufferSize` bytes are in flight at most.
  PieceWriter(OutputFile& file, std::string& content, size_t bufferSize, int buffers = 3);
  ~PieceWriter();  // waits for the pieces handed in, like Finish
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // A free buffer of bufferSize bytes to read the next piece into; null once a
  // write or an append has failed (the disk is full, memory ran out).
  char* Acquire();
  // Hands the first `size` bytes of an acquired buffer in, to be written; a
  // size of 0 gives the buffer back unused.
  void Submit(char* buffer, size_t size);
  // Waits until every piece handed in is written; true when all of them were.
  bool Finish();

 private:
  void Work();
  bool WritePiece(const char* data, size_t size);

  OutputFile& file_;
  std::string& content_;
  std::vector<std::vector<char>> storage_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char*> free_;
  std::deque<std::pair<char*, size_t>> pending_;
  bool failed_ = false;
  bool finishing_ = false;
  std::thread worker_;  // not started: pieces are written as they are handed in
};

}  // namespace velmora
