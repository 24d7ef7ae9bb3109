// The one thing the install pipeline needs from the download transport: fetch a
// plug-in archive from the tool server by its server path into a file.
#pragma once

#include <string>

#include "net/DownloadView.h"
#include "net/HttpTransfer.h"

namespace velmora {

class ArchiveDownloader {
 public:
  virtual ~ArchiveDownloader() = default;
  // Completed: the whole object is now the file `destination` (replaced when
  // there). Anything else: `destination` is untouched. Another thread ends the
  // download through `handles` (TransferHandles::Cancel).
  virtual TransferOutcome Download(const std::string& object, bool resume, const std::string& destination,
                                   DownloadView& view, TransferHandles& handles) = 0;
};

}  // namespace velmora
