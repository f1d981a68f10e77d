#include "pattern_catalogue.h"

#include <algorithm>

#include "core/app_state.h"
#include "core/inifile.h"
#include "engine/pattern_definitions.h"
#include "image/halftone.h"
#include "image/picture_files.h"

namespace tessaro::manual {

namespace {

// A catalogue is a few dozen entries; a file claiming more is cut here, so a
// corrupt count cannot make the manual endless.
constexpr int kMaxMasks = 200;
constexpr int kMaxPatternsPerMask = 200;

// Shown sizes, in the document's pixels (1/96 inch).
constexpr int kMaskShownEdge = 120;
constexpr int kPatternShownEdge = 96;
// Pictures are kept at up to three times their shown size (about 300 per inch on
// paper) and reduced beyond that, so large overviews do not swell the file.
constexpr int kKeptPerShown = 3;

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The picture as shown: opaque (overview BMPs may carry alpha 0), reduced to at most
// kKeptPerShown times its shown edge.
QImage OverviewImage(const std::filesystem::path& file, int shownEdge,
                     std::vector<std::filesystem::path>& filesRead) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return {};
  filesRead.push_back(file);
  TBitmap32 picture;
  LoadPicture(picture, file);
  if (picture.Empty()) return {};
  const int longer = std::max(picture.Width(), picture.Height());
  const int kept = shownEdge * kKeptPerShown;
  if (longer > kept) {
    TBitmap32 reduced;
    const int w = std::max(1, int(std::int64_t(picture.Width()) * kept / longer));
    const int h = std::max(1, int(std::int64_t(picture.Height()) * kept / longer));
    HalftoneResize(picture, reduced, w, h);
    picture = std::move(reduced);
  }
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.Height(); ++y)
    std::copy_n(picture.ScanLine(y), picture.Width(), reinterpret_cast<TColor32*>(image.scanLine(y)));
  return image;
}

// The longer edge at shownEdge, the proportions kept.
QSizeF ShownSize(const QImage& image, int shownEdge) {
  const double s = double(shownEdge) / std::max(image.width(), image.height());
  return QSizeF(image.width() * s, image.height() * s);
}

}  // namespace

QString EscapeMarkdown(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    if (c == u'\r' || c == u'\n') {
      out += u' ';
      continue;
    }
    if (QStringView(u"\\`*_{}[]()<>#+-.!|~").contains(c)) out += u'\\';
    out += c;
  }
  return out;
}

TPatternCatalogue BuildPatternCatalogue(const std::filesystem::path& appDir) {
  TPatternCatalogue cat;
  TAppState state;
  state.AppDir = appDir;
  state.PatternDefinitions = TMemIniFile::Open(PatternDefinitionFile(appDir));
  if (!state.PatternDefinitions) {
    cat.Markdown =
        "No pattern catalogue is installed: the file `masks/patterndefine.ini` is missing "
        "from the Tessaro folder. Without it no cell shape can be chosen.\n";
    return cat;
  }
  cat.Installed = true;
  cat.FilesRead.push_back(PatternDefinitionFile(appDir));

  QString md;
  md += "These are the cell shapes and patterns that come with Tessaro, in the order of the "
        "panels' lists \"Choose a cell shape\" and \"Choose a cell pattern\". A pattern lays "
        "one or more grids of cells (layers) over the main image; its picture shows how the "
        "cells fall. In `tessaro-cli`, shape M and pattern P are chosen with "
        "`--pattern M,P`.\n\n";
  const int masks = std::min(ReadMaskCount(state), kMaxMasks);
  if (masks <= 0) md += "The installed catalogue lists no shapes.\n";
  for (int m = 1; m <= masks; ++m) {
    ++cat.MaskCount;
    const QString maskName = Text(ReadMaskName(state, m));
    md += "## Shape " + QString::number(m) + ": " +
          EscapeMarkdown(maskName.isEmpty() ? QString("(no name)") : maskName) + "\n\n";
    const QImage maskImage = OverviewImage(MaskOverviewPath(state, m), kMaskShownEdge, cat.FilesRead);
    if (!maskImage.isNull()) {
      const QString url = QString("catalogue/mask%1.png").arg(m);
      cat.Images.push_back({url, maskImage, ShownSize(maskImage, kMaskShownEdge)});
      // A plain word as alt text: the Markdown reader inserts the picture once for
      // every piece of its alt text (each escape starts a piece), and not at all for none.
      md += "![shape](" + url + ")\n\n";
    }
    const int patterns = std::min(ReadPatternCount(state, m), kMaxPatternsPerMask);
    if (patterns <= 0) {
      md += "This shape has no patterns.\n\n";
      continue;
    }
    md += "| Picture | Pattern | Layers | Choose with |\n|---|---|---|---|\n";
    for (int p = 1; p <= patterns; ++p) {
      ++cat.PatternCount;
      const QString patternName = Text(ReadPatternName(state, m, p));
      QString picture = " ";
      const QImage image = OverviewImage(PatternOverviewPath(state, m, p), kPatternShownEdge, cat.FilesRead);
      if (!image.isNull()) {
        const QString url = QString("catalogue/mask%1-pattern%2.png").arg(m).arg(p);
        cat.Images.push_back({url, image, ShownSize(image, kPatternShownEdge)});
        picture = "![pattern](" + url + ")";
      }
      // Joined piece by piece: QString::arg would read a "%1" inside a name as a marker.
      md += "| " + picture + " | " + QString::number(p) + " " + EscapeMarkdown(patternName) + " | " +
            QString::number(ReadLayerCount(state, m, p)) + " | `--pattern " + QString::number(m) + "," +
            QString::number(p) + "` |\n";
    }
    md += "\n";
  }
  cat.Markdown = md;
  return cat;
}

}  // namespace tessaro::manual
