// The version check at start-up: from the announcement page and the running
// version to what the user is told, and what the program does afterwards.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/HttpFetch.h"
#include "ui/MainWindowTexts.h"
#include "update/Announcement.h"
#include "update/Version.h"

namespace velmora {

// The fetch of the announcement page on the maker's web site: short waits, and a
// size no article comes near, so a silent or endless server ends in "nothing".
FetchRequest AnnouncementRequest(std::string_view siteHost, uint16_t sitePort);

// Whether the restriction ("限制：") names `running`: items divided by "；", each a
// version ("1.0.5"), a range of both ends ("1.0.0-1.0.9"), or a range open at one
// end ("-1.0.9", "1.2-"). Items that are none of these name nothing.
bool RestrictionNames(std::string_view restriction, const Version& running);

// The version the page publishes: "最新版本：" when it is a version, else "官方版本：".
std::optional<Version> PublishedVersion(const Announcement& page);

struct CheckOutcome {
  bool reached = false;       // false: no page, or a page that is no announcement page
  bool outOfService = false;  // the restriction names the running version
  std::optional<Version> newer;  // the published version, when it is newer than the running one
};

CheckOutcome DecideVersionCheck(const std::optional<Announcement>& page, const Version& running);

struct CheckReport {
  CheckOutcome outcome;
  std::string log;  // how the check went, for the diagnostics log
};

// The whole check up to the user's part, beside the interface thread: fetch the
// page, read it, decide. `cancel` ends it at any point.
CheckReport RunVersionCheck(const WinInetApi& api, TransferHandles& cancel, std::string_view siteHost,
                            uint16_t sitePort, const Version& running);

// What the program does once the user has answered.
enum class AfterCheck {
  GoOn,               // nothing more to do
  OpenUpdate,         // the user wants the newer version; the program goes on
  OpenUpdateThenEnd,  // out of service: update, and end when the update window closes
  End,                // out of service and no update taken: the program ends
};

class CheckDialogs {
 public:
  virtual ~CheckDialogs() = default;
  virtual void Tell(std::string_view text) = 0;
  virtual bool Ask(std::string_view question) = 0;  // true for yes
};

// Tells the outcome in the check's texts, asks about the update where there is
// one, and returns what follows.
AfterCheck ConcludeVersionCheck(const CheckOutcome& outcome, CheckDialogs& dialogs);

}  // namespace velmora
