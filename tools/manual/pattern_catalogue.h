// The manual's pattern catalogue, made from what ships: the install folder's
// "masks/patterndefine.ini" read through the engine's pattern readers, with every
// mask and pattern overview picture it names.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

#include <filesystem>
#include <vector>

namespace tessaro::manual {

// A picture the catalogue's Markdown names by Url; the document is given it as an
// image resource and shows it at ShownSize (pixels of 1/96 inch), whatever its own
// size, so that it prints sharp.
struct TCatalogueImage {
  QString Url;
  QImage Image;
  QSizeF ShownSize;
};

struct TPatternCatalogue {
  QString Markdown;  // the chapter's body, headings "##" per mask
  std::vector<TCatalogueImage> Images;
  int MaskCount = 0;
  int PatternCount = 0;
  bool Installed = false;  // false: no "masks/patterndefine.ini"
  // Every file read (the catalogue and each overview found), for the build's
  // dependency list.
  std::vector<std::filesystem::path> FilesRead;
};

// Reads appDir/masks/patterndefine.ini. A missing file gives a chapter that says so;
// a missing or undecodable overview picture is left out of its row.
TPatternCatalogue BuildPatternCatalogue(const std::filesystem::path& appDir);

// Text made safe for Markdown: characters with a meaning there are escaped, line
// breaks become blanks.
QString EscapeMarkdown(const QString& text);

}  // namespace tessaro::manual
