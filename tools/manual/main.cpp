// tessaro-manual: makes the manual "ts8help.pdf" at build time from its Markdown
// source and the install folder's pattern catalogue.
//
//   tessaro-manual --markdown FILE --appdir DIR --output FILE [--version TEXT]
//                  [--depfile FILE]
//
// The depfile names every file the manual was made from, so the build remakes it
// when the catalogue or one of its pictures changes.
// The Markdown names the place of the generated catalogue by a line holding only
// "@@PATTERN-CATALOGUE@@". Exit status: 0 written, 1 failure, 2 usage error.
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/file_io.h"
#include "manual_pdf.h"
#include "pattern_catalogue.h"

namespace fs = std::filesystem;
using namespace tessaro;
using namespace tessaro::manual;

namespace {

constexpr const char* kUsage =
    "usage: tessaro-manual --markdown FILE --appdir DIR --output FILE [--version TEXT]\n"
    "                      [--depfile FILE]\n";
const QString kCatalogueMarker = QStringLiteral("@@PATTERN-CATALOGUE@@");
constexpr std::size_t kMaxMarkdownBytes = std::size_t(16) << 20;

}  // namespace

int main(int argc, char** argv) {
  // Fonts need a platform; a build machine has no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  fs::path markdownFile, appDir, output, depfile;
  QString version = QStringLiteral("0");
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tessaro-manual: %s needs a value\n%s", arg.c_str(), kUsage);
      return 2;
    }
    const char* value = argv[++i];
    if (arg == "--markdown")
      markdownFile = value;
    else if (arg == "--appdir")
      appDir = value;
    else if (arg == "--output")
      output = value;
    else if (arg == "--depfile")
      depfile = value;
    else if (arg == "--version")
      version = QString::fromUtf8(value);
    else {
      std::fprintf(stderr, "tessaro-manual: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (markdownFile.empty() || appDir.empty() || output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::string source;
  if (ReadFileBounded(markdownFile, kMaxMarkdownBytes, source) != TReadResult::Ok) {
    std::fprintf(stderr, "tessaro-manual: cannot read %s\n", markdownFile.string().c_str());
    return 1;
  }
  QString markdown = QString::fromUtf8(source.data(), qsizetype(source.size()));
  if (markdown.count(kCatalogueMarker) != 1) {
    std::fprintf(stderr, "tessaro-manual: %s must hold the line %s exactly once\n",
                 markdownFile.string().c_str(), kCatalogueMarker.toUtf8().constData());
    return 1;
  }

  TPatternCatalogue catalogue = BuildPatternCatalogue(appDir);
  markdown.replace(kCatalogueMarker, catalogue.Markdown);

  TManualText text;
  text.Title = QStringLiteral("Tessaro");
  text.Subtitle = QStringLiteral("User Manual");
  text.Version = version;
  text.Markdown = markdown;
  text.Images = std::move(catalogue.Images);
  const TManualLayout layout = RenderManualPdf(text);
  if (layout.Pdf.isEmpty()) {
    std::fprintf(stderr, "tessaro-manual: no PDF was produced\n");
    return 1;
  }
  try {
    WriteFileAtomically(output, layout.Pdf.constData(), std::size_t(layout.Pdf.size()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessaro-manual: %s\n", e.what());
    return 1;
  }
  if (!depfile.empty()) {
    // Make syntax: blanks and '#' in a path are escaped with a backslash.
    auto escaped = [](const fs::path& p) {
      std::string out;
      for (const char c : fs::absolute(p).lexically_normal().string()) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        out += c;
      }
      return out;
    };
    std::string deps = escaped(output) + ":";
    deps += " \\\n  " + escaped(markdownFile);
    for (const fs::path& f : catalogue.FilesRead) deps += " \\\n  " + escaped(f);
    deps += "\n";
    try {
      WriteFileAtomically(depfile, deps);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tessaro-manual: %s\n", e.what());
      return 1;
    }
  }
  std::printf("tessaro-manual: %s, %d pages, %d chapters, catalogue %s (%d shapes, %d patterns)\n",
              output.string().c_str(), layout.PageCount, int(layout.Chapters.size()),
              catalogue.Installed ? "installed" : "missing", catalogue.MaskCount, catalogue.PatternCount);
  return 0;
}
