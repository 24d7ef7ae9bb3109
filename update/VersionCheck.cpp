#include "update/VersionCheck.h"

#include "text/Text.h"

#include "app/SiteAddresses.h"

namespace velmora {
namespace {

constexpr std::string_view kItemSeparator = "；";


bool ItemNames(std::string_view item, const Version& running) {
  item = Trim(item, kPageBlanks);
  size_t dash = item.find('-');
  if (dash == std::string_view::npos) {
    auto v = Version::Parse(item);
    return v && *v == running;
  }
  std::string_view low = Trim(item.substr(0, dash), kPageBlanks), high = Trim(item.substr(dash + 1), kPageBlanks);
  if (low.empty() && high.empty()) return false;
  std::optional<Version> lo, hi;
  if (!low.empty() && !(lo = Version::Parse(low))) return false;
  if (!high.empty() && !(hi = Version::Parse(high))) return false;  // also a second "-"
  if (lo && hi && *hi < *lo) return false;  // a reversed range names nothing
  return (!lo || !(running < *lo)) && (!hi || !(*hi < running));
}

}  // namespace

FetchRequest AnnouncementRequest(std::string_view siteHost, uint16_t sitePort) {
  FetchRequest r;
  r.request.host = std::string(siteHost);
  r.request.port = sitePort;
  r.request.object = std::string(kAnnouncementPath);
  // The check runs at every start: a slow site is given up on sooner.
  r.request.receiveTimeoutMs = 8000;
  r.deadlineMs = 20000;
  return r;
}

CheckReport RunVersionCheck(const WinInetApi& api, TransferHandles& cancel, std::string_view siteHost,
                            uint16_t sitePort, const Version& running) {
  const FetchRequest request = AnnouncementRequest(siteHost, sitePort);
  FetchCounters counters;
  FetchResult fetched = HttpFetch(api, request, counters, cancel);
  cancel.CloseAll();
  CheckReport report;
  if (fetched.outcome != TransferOutcome::Completed) {
    report.log = "page " + std::string(OutcomeName(fetched.outcome));
    return report;
  }
  const std::optional<Announcement> page = ReadAnnouncement(fetched.body);
  report.outcome = DecideVersionCheck(page, running);
  report.log = !page ? std::string("no announcement page")
                     : std::string("reached") + (report.outcome.outOfService ? ", out of service" : "") +
                           (report.outcome.newer ? ", newer " + report.outcome.newer->text() : "");
  return report;
}

bool RestrictionNames(std::string_view restriction, const Version& running) {
  for (;;) {
    size_t sep = restriction.find(kItemSeparator);
    if (ItemNames(restriction.substr(0, sep), running)) return true;
    if (sep == std::string_view::npos) return false;
    restriction.remove_prefix(sep + kItemSeparator.size());
  }
}

std::optional<Version> PublishedVersion(const Announcement& page) {
  if (page.latest) {
    if (auto v = Version::Parse(*page.latest)) return v;
  }
  if (page.official) return Version::Parse(*page.official);
  return std::nullopt;
}

CheckOutcome DecideVersionCheck(const std::optional<Announcement>& page, const Version& running) {
  CheckOutcome o;
  if (!page) return o;
  o.reached = true;
  o.outOfService = page->restriction && RestrictionNames(*page->restriction, running);
  if (auto published = PublishedVersion(*page); published && running < *published) o.newer = published;
  return o;
}

AfterCheck ConcludeVersionCheck(const CheckOutcome& outcome, CheckDialogs& dialogs) {
  if (!outcome.reached) {
    dialogs.Tell(text::kCheckConnectFailed);
    return AfterCheck::GoOn;
  }
  if (outcome.outOfService) {
    dialogs.Tell(text::kCheckOutOfService);
    if (outcome.newer && dialogs.Ask(text::kCheckUpdateOffer)) return AfterCheck::OpenUpdateThenEnd;
    return AfterCheck::End;
  }
  if (outcome.newer && dialogs.Ask(text::kCheckUpdateOffer)) return AfterCheck::OpenUpdate;
  return AfterCheck::GoOn;
}

}  // namespace velmora
