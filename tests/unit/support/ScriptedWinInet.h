// A scripted tool server behind the WinINet table: each sent request takes the next
// scripted answer (status, Content-Length, body in pieces, how the body ends) and
// is recorded byte for byte. The table's functions are plain pointers, so the one
// live instance is reached through a static. Calls may come from several threads
// (a worker fetching, another closing its handles to cancel it); read the public
// fields only while no other thread calls in.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/WinInet.h"

namespace velmora::testing {

struct ScriptedAnswer {
  enum class End {
    Clean,  // the last read returns TRUE with 0 bytes
    Reset,  // the next read fails with WSAECONNRESET, as WinINet reports a reset
    Stall,  // the next read fails with a time-out
    Hold,   // the next read blocks until its handle is closed, as a silent server's
  };
  bool sendFails = false;  // HttpSendRequestA fails (refused, silent server)
  uint32_t sendError = 12029;  // its GetLastError: ERROR_INTERNET_CANNOT_CONNECT
  int status = 200;
  std::optional<std::string> contentLength;  // the header's text; none for a chunked answer
  std::map<std::string, std::string> headers;  // others by name ("Content-Range", "ETag")
  std::vector<std::string> pieces;           // what each InternetReadFile hands out
  End end = End::Clean;

  // The whole body, announced, in pieces of `pieceSize`.
  static ScriptedAnswer Whole(int status, const std::string& body, size_t pieceSize = 4096);
  // Announces `announced` bytes but hands out only `body`, then ends as `end`.
  static ScriptedAnswer Cut(int status, uint64_t announced, const std::string& body, End end,
                            size_t pieceSize = 4096);
};

struct RecordedRequest {
  std::string agent;
  uint32_t accessType = 0;
  std::string host;
  uint16_t port = 0;
  uint32_t service = 0;
  std::string verb, object, version;
  uint32_t flags = 0;
  std::string headers;  // exactly the bytes handed to HttpSendRequestA
  std::map<uint32_t, uint32_t> options;  // InternetSetOptionA on the request handle
};

class ScriptedWinInet {
 public:
  ScriptedWinInet();
  ~ScriptedWinInet();
  ScriptedWinInet(const ScriptedWinInet&) = delete;
  ScriptedWinInet& operator=(const ScriptedWinInet&) = delete;

  const WinInetApi& Api() const { return api_; }
  // Reads blocked in an End::Hold right now; safe while other threads call in.
  int HeldReads();

  std::deque<ScriptedAnswer> answers;
  std::vector<RecordedRequest> requests;
  bool failInternetOpen = false;
  int openHandles = 0;  // handles handed out and not closed yet
  int badCloses = 0;    // InternetCloseHandle on a handle that is not open

 private:
  struct Handle {
    enum class Kind { Internet, Connection, Request } kind = Kind::Internet;
    std::string agent;
    uint32_t accessType = 0;
    std::string host;
    uint16_t port = 0;
    uint32_t service = 0;
    size_t request = 0;  // index into requests
    std::optional<ScriptedAnswer> answer;
    size_t piece = 0, inPiece = 0;
  };
  static ScriptedWinInet* live_;
  static thread_local uint32_t lastError_;

  wininet::HINTERNET Add(Handle h);
  Handle* Find(wininet::HINTERNET h, Handle::Kind kind);

  static wininet::HINTERNET VELMORA_WINAPI Open(const char*, wininet::DWORD, const char*,
                                                const char*, wininet::DWORD);
  static wininet::HINTERNET VELMORA_WINAPI Connect(wininet::HINTERNET, const char*,
                                                   wininet::INTERNET_PORT, const char*,
                                                   const char*, wininet::DWORD, wininet::DWORD,
                                                   wininet::DWORD_PTR);
  static wininet::HINTERNET VELMORA_WINAPI OpenRequest(wininet::HINTERNET, const char*,
                                                       const char*, const char*, const char*,
                                                       const char**, wininet::DWORD,
                                                       wininet::DWORD_PTR);
  static wininet::BOOL VELMORA_WINAPI Send(wininet::HINTERNET, const char*, wininet::DWORD, void*,
                                           wininet::DWORD);
  static wininet::BOOL VELMORA_WINAPI Query(wininet::HINTERNET, wininet::DWORD, void*,
                                            wininet::DWORD*, wininet::DWORD*);
  static wininet::BOOL VELMORA_WINAPI Read(wininet::HINTERNET, void*, wininet::DWORD,
                                           wininet::DWORD*);
  static wininet::BOOL VELMORA_WINAPI Close(wininet::HINTERNET);
  static wininet::BOOL VELMORA_WINAPI SetOption(wininet::HINTERNET, wininet::DWORD, void*,
                                                wininet::DWORD);
  static wininet::DWORD VELMORA_WINAPI LastError();

  WinInetApi api_{};
  std::mutex mutex_;
  std::condition_variable closed_;  // a handle was closed: a held read may end
  int heldReads_ = 0;
  std::map<uintptr_t, Handle> handles_;
  uintptr_t nextHandle_ = 0x1000;
};

// Deterministic archive-like bytes of a given size (no repeating short period, so
// a shifted or doubled range shows).
std::string ArchiveBytes(size_t size, uint32_t seed = 1);

}  // namespace velmora::testing
