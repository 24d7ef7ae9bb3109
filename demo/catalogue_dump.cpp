// Prints the built-in catalogue as JSON lines (UTF-8), one entry a line, so the
// demo world serves an archive for exactly the entries the program carries:
// {"stem":..,"server":..,"name":..,"probe":..,"removal":[..],"thread":N}
#include <cstdio>
#include <string>

#include "catalogue/Catalogue.h"

namespace {

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

int wmain() {
  using namespace velmora;
  for (const CatalogueEntry& e : AllEntries()) {
    std::string line = "{\"stem\":" + Quoted(e.stem) + ",\"server\":" + Quoted(ArchiveNamesOf(e).serverPath) +
                       ",\"name\":" + Quoted(e.displayName) + ",\"probe\":" + Quoted(e.probePath) +
                       ",\"removal\":[";
    for (size_t i = 0; i < e.removalSet.size(); ++i) line += (i ? "," : "") + Quoted(e.removalSet[i]);
    line += "],\"thread\":" + std::to_string(e.forumThread) + "}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return 0;
}
