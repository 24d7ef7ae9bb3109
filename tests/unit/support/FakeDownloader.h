// An ArchiveDownloader stand-in for the install pipeline: stores prepared
// contents as the destination file, one per call, then fails (a download that
// did not complete), and records the objects asked for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/ArchiveDownloader.h"
#include "platform/FileSystem.h"

namespace velmora::testing {

class FakeDownloader : public ArchiveDownloader {
 public:
  std::vector<std::string> content;  // one answer per call, then a failed download
  std::vector<std::string> objects;
  std::function<void()> during;      // runs while "downloading"
  FileSystem* fs = &NativeFileSystem();

  TransferOutcome Download(const std::string& object, bool, const std::string& destination, DownloadView&,
                           TransferHandles&) override {
    objects.push_back(object);
    if (during) during();
    if (objects.size() > content.size()) return TransferOutcome::Truncated;
    return fs->WriteFileAtomic(destination, content[objects.size() - 1]) ? TransferOutcome::Completed
                                                                          : TransferOutcome::StoreFailed;
  }
};

}  // namespace velmora::testing
