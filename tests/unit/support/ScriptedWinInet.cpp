#include "support/ScriptedWinInet.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <mutex>

namespace velmora::testing {

namespace wi = wininet;

ScriptedWinInet* ScriptedWinInet::live_ = nullptr;
thread_local uint32_t ScriptedWinInet::lastError_ = 0;

ScriptedAnswer ScriptedAnswer::Whole(int status, const std::string& body, size_t pieceSize) {
  return Cut(status, body.size(), body, End::Clean, pieceSize);
}

ScriptedAnswer ScriptedAnswer::Cut(int status, uint64_t announced, const std::string& body,
                                   End end, size_t pieceSize) {
  ScriptedAnswer a;
  a.status = status;
  a.contentLength = std::to_string(announced);
  for (size_t at = 0; at < body.size(); at += pieceSize) a.pieces.push_back(body.substr(at, pieceSize));
  a.end = end;
  return a;
}

ScriptedWinInet::ScriptedWinInet() {
  assert(live_ == nullptr);
  live_ = this;
  api_.InternetOpenA = &Open;
  api_.InternetConnectA = &Connect;
  api_.HttpOpenRequestA = &OpenRequest;
  api_.HttpSendRequestA = &Send;
  api_.HttpQueryInfoA = &Query;
  api_.InternetReadFile = &Read;
  api_.InternetCloseHandle = &Close;
  api_.InternetSetOptionA = &SetOption;
  api_.GetLastError = &LastError;
}

ScriptedWinInet::~ScriptedWinInet() { live_ = nullptr; }

int ScriptedWinInet::HeldReads() {
  std::lock_guard<std::mutex> lock(mutex_);
  return heldReads_;
}

wi::HINTERNET ScriptedWinInet::Add(Handle h) {
  uintptr_t id = nextHandle_++;
  handles_.emplace(id, std::move(h));
  ++openHandles;
  return reinterpret_cast<wi::HINTERNET>(id);
}

ScriptedWinInet::Handle* ScriptedWinInet::Find(wi::HINTERNET h, Handle::Kind kind) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(h));
  if (it == handles_.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

wi::HINTERNET ScriptedWinInet::Open(const char* agent, wi::DWORD access, const char* proxy,
                                    const char* bypass, wi::DWORD) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  if (live_->failInternetOpen) {
    lastError_ = 12001;
    return nullptr;
  }
  if (proxy != nullptr || bypass != nullptr) return nullptr;  // never given
  Handle h;
  h.kind = Handle::Kind::Internet;
  h.agent = agent ? agent : "";
  h.accessType = access;
  return live_->Add(std::move(h));
}

wi::HINTERNET ScriptedWinInet::Connect(wi::HINTERNET internet, const char* host,
                                       wi::INTERNET_PORT port, const char*, const char*,
                                       wi::DWORD service, wi::DWORD, wi::DWORD_PTR) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  Handle* parent = live_->Find(internet, Handle::Kind::Internet);
  if (!parent) return nullptr;
  Handle h;
  h.kind = Handle::Kind::Connection;
  h.agent = parent->agent;
  h.accessType = parent->accessType;
  h.host = host ? host : "";
  h.port = port;
  h.service = service;
  return live_->Add(std::move(h));
}

wi::HINTERNET ScriptedWinInet::OpenRequest(wi::HINTERNET connection, const char* verb,
                                           const char* object, const char* version, const char*,
                                           const char**, wi::DWORD flags, wi::DWORD_PTR) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  Handle* parent = live_->Find(connection, Handle::Kind::Connection);
  if (!parent) return nullptr;
  RecordedRequest r;
  r.agent = parent->agent;
  r.accessType = parent->accessType;
  r.host = parent->host;
  r.port = parent->port;
  r.service = parent->service;
  r.verb = verb ? verb : "";
  r.object = object ? object : "";
  r.version = version ? version : "";
  r.flags = flags;
  live_->requests.push_back(std::move(r));
  Handle h;
  h.kind = Handle::Kind::Request;
  h.request = live_->requests.size() - 1;
  return live_->Add(std::move(h));
}

wi::BOOL ScriptedWinInet::Send(wi::HINTERNET request, const char* headers, wi::DWORD length,
                               void* optional, wi::DWORD optionalLength) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  Handle* h = live_->Find(request, Handle::Kind::Request);
  if (!h || optional != nullptr || optionalLength != 0) return 0;
  live_->requests[h->request].headers =
      length == 0xFFFFFFFFu ? std::string(headers) : std::string(headers, length);
  if (live_->answers.empty() || live_->answers.front().sendFails) {
    lastError_ = live_->answers.empty() ? wi::kErrorCannotConnect : live_->answers.front().sendError;
    if (!live_->answers.empty()) live_->answers.pop_front();
    return 0;
  }
  h->answer = std::move(live_->answers.front());
  live_->answers.pop_front();
  return 1;
}

wi::BOOL ScriptedWinInet::Query(wi::HINTERNET request, wi::DWORD level, void* buffer,
                                wi::DWORD* size, wi::DWORD*) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  Handle* h = live_->Find(request, Handle::Kind::Request);
  if (!h || !h->answer) return 0;
  std::string text;
  if ((level & 0xFFFF) == wi::kQueryStatusCode) {
    text = std::to_string(h->answer->status);
  } else if ((level & 0xFFFF) == wi::kQueryContentLength && h->answer->contentLength) {
    text = *h->answer->contentLength;
  } else if (level == wi::kQueryCustom && h->answer->headers.count(static_cast<const char*>(buffer))) {
    text = h->answer->headers.at(static_cast<const char*>(buffer));
  } else {
    lastError_ = wi::kErrorHeaderNotFound;
    return 0;
  }
  if (level & wi::kQueryFlagNumber) {
    if (*size < sizeof(wi::DWORD)) return 0;
    wi::DWORD n = static_cast<wi::DWORD>(std::stoul(text));
    std::memcpy(buffer, &n, sizeof n);
    *size = sizeof n;
    return 1;
  }
  if (*size < text.size() + 1) {  // WinINet asks for room for the terminator
    *size = static_cast<wi::DWORD>(text.size() + 1);
    lastError_ = 122;  // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<wi::DWORD>(text.size());
  return 1;
}

wi::BOOL ScriptedWinInet::Read(wi::HINTERNET request, void* buffer, wi::DWORD wanted,
                               wi::DWORD* got) {
  std::unique_lock<std::mutex> lock(live_->mutex_);
  Handle* h = live_->Find(request, Handle::Kind::Request);
  if (!h || !h->answer) return 0;
  *got = 0;
  ScriptedAnswer& a = *h->answer;
  if (h->piece < a.pieces.size()) {
    const std::string& piece = a.pieces[h->piece];
    size_t n = std::min<size_t>(wanted, piece.size() - h->inPiece);
    std::memcpy(buffer, piece.data() + h->inPiece, n);
    h->inPiece += n;
    if (h->inPiece == piece.size()) {
      ++h->piece;
      h->inPiece = 0;
    }
    *got = static_cast<wi::DWORD>(n);
    return 1;
  }
  switch (a.end) {
    case ScriptedAnswer::End::Clean:
      return 1;
    case ScriptedAnswer::End::Reset:
      lastError_ = 10054;
      return 0;
    case ScriptedAnswer::End::Stall:
      lastError_ = wi::kErrorTimeout;
      return 0;
    case ScriptedAnswer::End::Hold:
      ++live_->heldReads_;
      live_->closed_.wait(lock, [&] { return live_->Find(request, Handle::Kind::Request) == nullptr; });
      --live_->heldReads_;
      lastError_ = 12017;  // ERROR_INTERNET_OPERATION_CANCELLED
      return 0;
  }
  return 0;
}

wi::BOOL ScriptedWinInet::Close(wi::HINTERNET handle) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  auto it = live_->handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == live_->handles_.end()) {
    ++live_->badCloses;
    return 0;
  }
  live_->handles_.erase(it);
  --live_->openHandles;
  live_->closed_.notify_all();
  return 1;
}

wi::BOOL ScriptedWinInet::SetOption(wi::HINTERNET handle, wi::DWORD option, void* buffer,
                                    wi::DWORD length) {
  std::lock_guard<std::mutex> lock(live_->mutex_);
  Handle* h = live_->Find(handle, Handle::Kind::Request);
  if (!h || length != sizeof(wi::DWORD)) return 0;
  wi::DWORD value = 0;
  std::memcpy(&value, buffer, sizeof value);
  live_->requests[h->request].options[option] = value;
  return 1;
}

wi::DWORD ScriptedWinInet::LastError() { return lastError_; }

std::string ArchiveBytes(size_t size, uint32_t seed) {
  std::string body(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    body[i] = static_cast<char>(x & 0xFF);
  }
  return body;
}

}  // namespace velmora::testing
