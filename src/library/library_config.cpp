// Library folders, "libcfg.cfg", the highlighted library's file list and the totals.
#include <algorithm>
#include <system_error>

#include "core/app_state.h"
#include "core/inifile.h"
#include "library/TsPhotoLib.h"
#include "library/library_internal.h"

namespace tessaro {

void ReadLibCfg(const std::filesystem::path& cfgFile, Tlibcfg& cfg) {
  cfg = Tlibcfg{};
  if (const std::optional<TMemIniFile> ini = TMemIniFile::Open(cfgFile)) {
    cfg.colname = ini->ReadString(kLibCfgSection, "colname", cfg.colname);
    cfg.coltype = ini->ReadInteger(kLibCfgSection, "coltype", cfg.coltype);
    cfg.PhotoCount = ini->ReadInteger(kLibCfgSection, "PhotoCount", cfg.PhotoCount);
    cfg.PathType = ini->ReadInteger(kLibCfgSection, "PathType", cfg.PathType);
    cfg.Path = ini->ReadString(kLibCfgSection, "Path", cfg.Path);
    cfg.CharFont = ini->ReadString(kLibCfgSection, "CharFont", cfg.CharFont);
  }
  // A library may be moved or copied with its pictures; its own folder is the only
  // trustworthy base for relative names.
  if (cfg.PathType == 1) cfg.Path = cfgFile.parent_path().string();
}

Tlibcfg ReadLibCfg(const std::filesystem::path& cfgFile) {
  Tlibcfg cfg;
  ReadLibCfg(cfgFile, cfg);
  return cfg;
}

int ReadLibType(const std::filesystem::path& cfgFile) { return ReadLibCfg(cfgFile).coltype; }

void InitPhotoLibs(TPhotoLibState& libs, const std::filesystem::path& appDir) {
  libs.PhotoLibsDir = appDir / "PhotoLibs";
}

void InitPhotoLibs(TAppState& state) { InitPhotoLibs(state.PhotoLibs, state.AppDir); }

void ScanLibraries(const TPhotoLibState& libs, std::vector<std::string>* nameList,
                   std::vector<std::string>& pathList, int coltypeFilter) {
  // Both lists start empty: a panel that reloads its list must not see every library
  // twice.
  if (nameList) nameList->clear();
  pathList.clear();

  std::vector<std::string> folders;
  std::error_code ec;
  std::filesystem::directory_iterator it(libs.PhotoLibsDir,
                                         std::filesystem::directory_options::skip_permission_denied, ec);
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (it->is_directory(sec)) folders.push_back(it->path().filename().string());
  }
  std::sort(folders.begin(), folders.end(), libinternal::NameLess);

  for (const std::string& name : folders) {
    const std::filesystem::path folder = libs.PhotoLibsDir / name;
    if (coltypeFilter != -1 && ReadLibType(folder / kLibCfgFileName) != coltypeFilter) continue;
    pathList.push_back(folder.string());
    if (nameList) nameList->push_back(name);
  }
}

namespace libinternal {

void ResetLibraryGrid(TFileListGrid& grid) {
  grid.Clear();
  grid.SetColCount(3);
  grid.SetRowCount(2);
  grid.SetCell(0, 0, "File Name");
  grid.SetCell(1, 0, "Size");
  grid.SetCell(2, 0, "Type");
}

void LoadLibraryGrid(const std::filesystem::path& library, TFileListGrid& grid) {
  ResetLibraryGrid(grid);
  const std::filesystem::path file = library / kFileListFileName;
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) LoadFileListGrid(grid, file);
}

}  // namespace libinternal

void LoadLibraryFileList(TPhotoLibState& libs, const std::vector<std::string>& pathList,
                         int index, TFileListGrid& grid) {
  struct CountOnExit {
    TPhotoLibState& libs;
    const TFileListGrid& grid;
    ~CountOnExit() { libs.HighlightedLibraryPhotoCount = grid.RowCount() - 2; }
  } count{libs, grid};
  if (index >= 0 && std::size_t(index) < pathList.size())
    libinternal::LoadLibraryGrid(pathList[std::size_t(index)], grid);
  else
    libinternal::ResetLibraryGrid(grid);
}

std::string LibraryPicturePath(const TPhotoLibState& libs, const std::string& name) {
  return libs.CurrentLibCfg.Path + "/" + name;
}

std::string ResolvePicturePath(const Tlibcfg& cfg, const std::string& cellText) {
  switch (cfg.PathType) {
    case 0: return cellText;
    case 1: return cfg.Path + "/" + cellText;
    default: return std::string();
  }
}

std::int64_t SelectedLibraryPhotoTotal(const std::vector<std::string>& tickedLibraryPaths) {
  std::int64_t total = 0;
  for (const std::string& library : tickedLibraryPaths)
    total += ReadLibCfg(std::filesystem::path(library) / kLibCfgFileName).PhotoCount;
  return total;
}

}  // namespace tessaro
