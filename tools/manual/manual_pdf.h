// The manual as a PDF: an A4 title page, a contents page listing the chapters and
// their sections with page numbers, then the Markdown text laid out by
// QTextDocument, each chapter on a new page, with the chapter's title above and the
// page number below every page. Needs a QGuiApplication (fonts).
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

#include "pattern_catalogue.h"

namespace tessaro::manual {

struct TManualText {
  QString Title;     // "Tessaro"
  QString Subtitle;  // "User Manual"
  QString Version;   // shown on the title page
  QString Markdown;  // the whole text, GitHub dialect
  std::vector<TCatalogueImage> Images;  // resources the Markdown names
};

struct TManualLayout {
  QByteArray Pdf;
  int PageCount = 0;
  std::vector<QString> Chapters;  // level-1 headings in order
};

TManualLayout RenderManualPdf(const TManualText& text);

}  // namespace tessaro::manual
