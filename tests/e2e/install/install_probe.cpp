// Runs the zip unit and the install pipeline on the real file system and prints
// one line per case: "case <name> ok" or "case <name> FAIL <why>", then the paths
// the scenario checks from outside. Exit code 0 when every case passed.
//   install_probe <work folder>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "catalogue/Install.h"
#include "platform/FileSystem.h"
#include "platform/win32/WinHandle.h"
#include "platform/win32/WinText.h"
#include "support/FakeDownloader.h"
#include "support/FileAttributes.h"
#include "support/RecordingViews.h"
#include "support/ZipWriter.h"
#include "zip/ArchiveUnpacker.h"

namespace {

using namespace velmora;
using testing::FakeDownloader;
using testing::RecordingInstallView;
using testing::ZipWriter;

int failures = 0;

void Report(const char* name, bool ok, const std::string& why = "") {
  std::printf("case %s %s%s%s\n", name, ok ? "ok" : "FAIL", ok ? "" : " ", ok ? "" : why.c_str());
  std::fflush(stdout);
  if (!ok) ++failures;
}

std::string Content(const std::string& path) {
  std::string bytes;
  return NativeFileSystem().ReadFile(path, bytes) ? bytes : "<missing>";
}

const LocalTime kStamp{2019, 5, 6, 7, 8, 10};

bool SameTime(const std::optional<LocalTime>& t, const LocalTime& want) {
  return t && t->year == want.year && t->month == want.month && t->day == want.day &&
         t->hour == want.hour && t->minute == want.minute && t->second == want.second;
}

const char* ResultName(UnpackResult r) {
  static const char* names[] = {"Done", "NoArchive", "Corrupt", "Hostile", "LinkInTarget", "NoSpace", "InUse", "WriteFailed", "Stopped"};
  return names[static_cast<int>(r)];
}

std::string GbkName(const std::string& utf8) {
  std::wstring w = Wide(utf8);
  int n = WideCharToMultiByte(936, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: install_probe <work folder>\n");
    return 2;
  }
  FileSystem& fs = NativeFileSystem();
  const std::string work = Utf8(argv[1]);
  // A program folder and a game root whose names have no GBK form, the game root
  // deep enough that its files lie beyond MAX_PATH.
  const std::string program = work + "\\程序\U0001F6A2한";
  std::string game = work + "\\游戏\U0001F6A2한";
  while (Wide(game).size() < 240) game += "\\深层目录0123456789";
  fs.CreateFolders(program);
  fs.CreateFolders(game);
  fs.WriteFileAtomic(game + "\\WorldOfWarships.exe", "game");

  const std::string deepFile = "\\profile\\gui\\flash\\a\\b\\c\\battle_stats.swf";
  ZipWriter first;
  first.Add("profile/gui/flash/a/b/c/battle_stats.swf", std::string(200000, 's')).time = kStamp;
  first.Add(GbkName("profile/texts/舰名.mo"), "gbk").time = kStamp;
  first.Add("profile/icons.xml", "first").time = kStamp;
  ArchiveUnpacker zip(fs);
  // Each archive as the install hands it over: a file beside the program.
  const std::string archive = program + "\\archive.zip";
  auto stored = [&](const ZipWriter& w) {
    fs.WriteFileAtomic(archive, w.Build());
    return archive;
  };
  UnpackResult r = zip.Unpack(stored(first), game);
  size_t deepLength = Wide(game + deepFile).size();
  Report("long-path", r == UnpackResult::Done && Content(game + deepFile) == std::string(200000, 's') &&
                          Content(game + "\\profile\\texts\\舰名.mo") == "gbk" && deepLength > MAX_PATH,
         std::string(ResultName(r)) + " length " + std::to_string(deepLength));
  Report("timestamps", SameTime(testing::ModifiedTime(game + deepFile), kStamp) &&
                           SameTime(testing::ModifiedTime(game + "\\profile\\icons.xml"), kStamp));

  testing::MakeReadOnly(game + "\\profile\\icons.xml");
  ZipWriter second;
  second.Add("profile/icons.xml", "second").time = kStamp;
  r = zip.Unpack(stored(second), game);
  Report("read-only-replace", r == UnpackResult::Done && Content(game + "\\profile\\icons.xml") == "second",
         ResultName(r));

  {
    // As the running game holds its files: open, shared for reading only.
    FileHandle held(CreateFileW(Wide("\\\\?\\" + game + "\\profile\\icons.xml").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ZipWriter third;
    third.Add("profile/texts/舰名.mo", "third").Utf8();
    third.Add("profile/icons.xml", "third");
    r = zip.Unpack(stored(third), game);
    std::string icons = Content(game + "\\profile\\icons.xml"), mo = Content(game + "\\profile\\texts\\舰名.mo");
    std::printf("held-open %s icons=%s mo=%s\n", ResultName(r), icons.c_str(), mo.c_str());
    Report("held-open", held && r == UnpackResult::InUse && icons == "second" && mo == "gbk",
           std::string(ResultName(r)) + " icons=" + icons + " mo=" + mo);
  }
  Report("no-staging-left", fs.Kind(game + "\\velmora-unpack~") == PathKind::Missing);

  // The whole pipeline: archive stored in the program folder, unpacked into the
  // game root named by config.ini, then deleted. config.ini holds GB18030 text;
  // Wine 8 has no code page 54936 (measured: IsValidCodePage false), so there the
  // stored game root keeps to GBK characters and only the program folder does not.
  std::string pipelineRoot = game;
  if (!IsValidCodePage(54936)) {
    std::printf("note no-code-page-54936: the pipeline's game root keeps to GBK\n");
    pipelineRoot = work + "\\游戏根";
    while (Wide(pipelineRoot).size() < 240) pipelineRoot += "\\深层目录0123456789";
    fs.CreateFolders(pipelineRoot);
    fs.WriteFileAtomic(pipelineRoot + "\\WorldOfWarships.exe", "game");
  }
  WriteSetting(fs, SettingsFilePath(program), kSettingsSection, kGameRootKey, pipelineRoot);
  ZipWriter plugin;
  plugin.Add("profile/particles/trails/blue.xml", "pipeline").time = kStamp;
  FakeDownloader downloader;
  downloader.content = {plugin.Build()};
  RecordingInstallView view;
  const CatalogueEntry* lpx = nullptr;
  for (const CatalogueEntry& e : AllEntries()) {
    if (e.stem == "lpx") lpx = &e;
  }
  const InstallOutcome outcome =
      InstallPlugin(fs, program, downloader, *lpx, view, view.Cancel(SystemWinInet()));
  ShowInstallOutcome(fs, outcome, &view, &view);
  const bool installed = outcome.installed;
  std::string got = Content(pipelineRoot + "\\profile\\particles\\trails\\blue.xml");
  Report("pipeline", installed && got == "pipeline" && view.captions == std::vector<std::string>{"已安装"} &&
                         view.messages.size() == 1 && view.messages[0].text == "插件安装完毕" &&
                         fs.Kind(program + "\\lpx.zip") == PathKind::Missing,
         "installed=" + std::to_string(installed) + " got=" + got + " root=" + ReadGameRoot(fs, program) +
             " messages=" + (view.messages.empty() ? "" : view.messages.front().text));

  std::printf("deep-file %s\n", (game + deepFile).c_str());
  std::printf("failures %d\n", failures);
  return failures == 0 ? 0 : 1;
}
