// An ArchiveDownloader stand-in for the install pipeline: hands out prepared
// contents, one per call, then empty (a download that did not complete), and
// records the objects asked for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/ArchiveDownloader.h"

namespace velmora::testing {

class FakeDownloader : public ArchiveDownloader {
 public:
  std::vector<std::string> content;  // one answer per call, then empty
  std::vector<std::string> objects;
  std::function<void()> during;      // runs while "downloading"

  std::string Download(const std::string& object, bool, DownloadView&, TransferHandles&) override {
    objects.push_back(object);
    if (during) during();
    if (objects.size() > content.size()) return {};
    return content[objects.size() - 1];
  }
};

}  // namespace velmora::testing
