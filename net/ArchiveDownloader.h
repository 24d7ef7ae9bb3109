// The one thing the install pipeline needs from the download transport: fetch a
// plug-in archive from the tool server by its server path.
#pragma once

#include <string>

#include "net/DownloadView.h"
#include "net/HttpRequest.h"

namespace velmora {

class ArchiveDownloader {
 public:
  virtual ~ArchiveDownloader() = default;
  // The complete content of the object, or empty when the download did not
  // complete (failed, truncated, cancelled or refused by the server). Another
  // thread ends it through `handles` (TransferHandles::Cancel).
  virtual std::string Download(const std::string& object, bool resume, DownloadView& view,
                               TransferHandles& handles) = 0;
};

}  // namespace velmora
