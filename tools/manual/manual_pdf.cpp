#include "manual_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace tessaro::manual {

namespace {

constexpr int kDpi = 600;
const QString kBodyFamily = QStringLiteral("DejaVu Sans");
const QString kMonoFamily = QStringLiteral("DejaVu Sans Mono");
const QColor kAccent(0x1f, 0x4e, 0x79);
const QColor kRule(0xb0, 0xb8, 0xc4);
const QColor kShade(0xee, 0xf1, 0xf5);

// Lengths on the painter, in the writer's pixels.
double Mm(double mm) { return mm / 25.4 * kDpi; }
double Pt(double pt) { return pt / 72.0 * kDpi; }
// Lengths in text formats (margins, padding, borders): QTextDocument counts them in
// pixels of 1/96 inch and scales them to the paint device itself.
double DocPt(double pt) { return pt * 96.0 / 72.0; }

QFont Font(const QString& family, double points, bool bold = false) {
  QFont f(family);
  f.setPointSizeF(points);
  f.setBold(bold);
  // Any letter spacing turns the font's ligatures off: with them "fi" and "ff"
  // become single glyphs, and searching or copying the PDF's text fails on words
  // such as "finished" and "difference".
  f.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
  return f;
}

struct THeading {
  QString Text;
  int Level = 0;
  int Page = 0;  // 0-based page of the document body
};

// Headings by level, page breaks before chapters, tinted code blocks and ruled
// tables: the look Markdown alone does not give.
void StyleDocument(QTextDocument& doc) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    QTextBlockFormat bf = b.blockFormat();
    QTextCursor c(b);
    const int level = bf.headingLevel();
    if (level >= 1 && level <= 3) {
      if (level == 1 && b != doc.begin()) bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      bf.setTopMargin(DocPt(level == 1 ? 0 : 10));
      bf.setBottomMargin(DocPt(level == 1 ? 12 : 4));
      c.setBlockFormat(bf);
      QTextCharFormat cf;
      cf.setFont(Font(kBodyFamily, level == 1 ? 20 : level == 2 ? 13.5 : 11.5, true));
      cf.setForeground(kAccent);
      c.select(QTextCursor::BlockUnderCursor);
      // BlockUnderCursor also takes the separator before the block; keep to the block.
      c.setPosition(b.position());
      c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
      c.mergeCharFormat(cf);
    } else if (bf.hasProperty(QTextFormat::BlockCodeFence) || bf.nonBreakableLines()) {
      // A line too long for the page wraps rather than running off its edge.
      bf.setNonBreakableLines(false);
      bf.setBackground(kShade);
      bf.setLeftMargin(DocPt(6));
      bf.setTopMargin(DocPt(1));
      bf.setBottomMargin(DocPt(1));
      c.setBlockFormat(bf);
      QTextCharFormat cf;
      cf.setFont(Font(kMonoFamily, 8.5));
      c.setPosition(b.position());
      c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
      c.mergeCharFormat(cf);
    } else {
      bf.setBottomMargin(DocPt(b.textList() ? 2 : 6));
      bf.setLineHeight(115, QTextBlockFormat::ProportionalHeight);
      c.setBlockFormat(bf);
    }
  }

  std::vector<QTextFrame*> frames{doc.rootFrame()};
  while (!frames.empty()) {
    QTextFrame* f = frames.back();
    frames.pop_back();
    for (QTextFrame* child : f->childFrames()) frames.push_back(child);
    auto* table = qobject_cast<QTextTable*>(f);
    if (!table) continue;
    QTextTableFormat tf = table->format();
    tf.setBorder(DocPt(0.75));
    tf.setBorderBrush(kRule);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tf.setBorderCollapse(true);
    tf.setCellSpacing(0);
    tf.setCellPadding(DocPt(4));
    tf.setHeaderRowCount(1);
    tf.setTopMargin(DocPt(4));
    tf.setBottomMargin(DocPt(8));
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    table->setFormat(tf);
    for (int col = 0; col < table->columns(); ++col) {
      QTextTableCell cell = table->cellAt(0, col);
      QTextCharFormat cf = cell.format();
      cf.setBackground(kShade);
      cell.setFormat(cf);
    }
    for (int row = 0; row < table->rows(); ++row)
      for (int col = 0; col < table->columns(); ++col) {
        QTextTableCell cell = table->cellAt(row, col);
        // A table right after a code block starts with an empty paragraph in its
        // first cell (a quirk of the Markdown reader): join it to the cell's text.
        for (QTextBlock first = doc.findBlock(cell.firstPosition());
             first.isValid() && first.text().isEmpty() && first.position() + first.length() < cell.lastPosition() + 1;
             first = doc.findBlock(cell.firstPosition())) {
          QTextCursor c(first);
          c.deleteChar();
        }
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
          const QTextBlock b = it.currentBlock();
          if (!b.isValid()) continue;
          QTextCursor c(b);
          QTextBlockFormat bf = b.blockFormat();
          bf.setTopMargin(0);
          bf.setBottomMargin(0);
          bf.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
          c.setBlockFormat(bf);
        }
      }
  }
}

// Every image the text names is given the size it is meant to be shown at.
void SizeImages(QTextDocument& doc, const std::vector<TCatalogueImage>& images) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      if (!frag.isValid() || !frag.charFormat().isImageFormat()) continue;
      QTextImageFormat f = frag.charFormat().toImageFormat();
      const auto found = std::find_if(images.begin(), images.end(),
                                      [&](const TCatalogueImage& i) { return i.Url == f.name(); });
      if (found == images.end()) continue;
      f.setWidth(found->ShownSize.width());
      f.setHeight(found->ShownSize.height());
      QTextCursor c(&doc);
      c.setPosition(frag.position());
      c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
      c.setCharFormat(f);
    }
}

std::vector<THeading> CollectHeadings(QTextDocument& doc, double pageHeight) {
  std::vector<THeading> out;
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    const int level = b.blockFormat().headingLevel();
    if (level != 1 && level != 2) continue;
    const QRectF r = layout->blockBoundingRect(b);
    out.push_back({b.text().trimmed(), level, int(std::floor((r.top() + 1) / pageHeight))});
  }
  return out;
}

// A small mosaic of coloured tiles for the title page: a sunset over the sea,
// each tile varied a little, as cell pictures vary around the colour of their cell.
void DrawTitleMosaic(QPainter& p, const QRectF& area) {
  const int cols = 16, rows = 10;
  const double gap = Mm(0.6);
  const double w = area.width() / cols, h = area.height() / rows;
  std::uint32_t seed = 20260;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return int((seed >> 16) % 41) - 20;
  };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const double t = double(r) / (rows - 1), u = double(c) / (cols - 1);
      int red, green, blue;
      if (r < 6) {  // sky: gold low, violet high, a sun to the right
        red = int(250 - 90 * (1 - t) * (1 - t));
        green = int(120 + 90 * t);
        blue = int(160 - 120 * t);
        const double dx = (u - 0.72) * 1.6, dy = t - 0.38;
        if (dx * dx + dy * dy < 0.035) red = 255, green = 236, blue = 160;
      } else {  // sea
        red = int(30 + 60 * (1 - u));
        green = int(80 + 40 * (t - 0.6));
        blue = int(150 - 30 * t);
      }
      const int n = next();
      const QColor col(std::clamp(red + n, 0, 255), std::clamp(green + n, 0, 255), std::clamp(blue + n, 0, 255));
      p.fillRect(QRectF(area.left() + c * w + gap / 2, area.top() + r * h + gap / 2, w - gap, h - gap), col);
    }
}

void DrawTitlePage(QPainter& p, const QRectF& page, const TManualText& text) {
  const QRectF mosaic(Mm(22), Mm(40), page.width() - Mm(44), Mm(105));
  DrawTitleMosaic(p, mosaic);
  p.setPen(kAccent);
  p.setFont(Font(kBodyFamily, 40, true));
  const QRectF titleBox(Mm(22), mosaic.bottom() + Mm(18), page.width() - Mm(44), Mm(22));
  p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, text.Title);
  p.setPen(Qt::black);
  p.setFont(Font(kBodyFamily, 20));
  p.drawText(QRectF(titleBox.left(), titleBox.bottom() + Mm(2), titleBox.width(), Mm(12)),
             Qt::AlignLeft | Qt::AlignVCenter, text.Subtitle);
  p.setFont(Font(kBodyFamily, 12));
  p.setPen(QColor(0x55, 0x55, 0x55));
  p.drawText(QRectF(titleBox.left(), titleBox.bottom() + Mm(16), titleBox.width(), Mm(10)),
             Qt::AlignLeft | Qt::AlignVCenter, "Photomosaics and tile mosaics from your own pictures");
  p.drawText(QRectF(titleBox.left(), page.height() - Mm(40), titleBox.width(), Mm(10)),
             Qt::AlignLeft | Qt::AlignVCenter, "Version " + text.Version);
}

struct TFrame {
  QRectF Page;
  QRectF Body;
};

void DrawPageFrame(QPainter& p, const TFrame& f, const QString& header, int pageNo, int pageCount) {
  p.save();
  p.setPen(QPen(kRule, Pt(0.5)));
  const double headY = f.Body.top() - Mm(5);
  const double footY = f.Body.bottom() + Mm(6);
  if (!header.isEmpty()) p.drawLine(QPointF(f.Body.left(), headY), QPointF(f.Body.right(), headY));
  p.drawLine(QPointF(f.Body.left(), footY), QPointF(f.Body.right(), footY));
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.setFont(Font(kBodyFamily, 8));
  const double lineH = Mm(5);
  if (!header.isEmpty())
    p.drawText(QRectF(f.Body.left(), headY - lineH - Mm(1), f.Body.width(), lineH),
               Qt::AlignRight | Qt::AlignBottom, header);
  const QRectF foot(f.Body.left(), footY + Mm(1), f.Body.width(), lineH);
  p.drawText(foot, Qt::AlignLeft | Qt::AlignTop, "Tessaro User Manual");
  p.drawText(foot, Qt::AlignRight | Qt::AlignTop,
             "Page " + QString::number(pageNo) + " of " + QString::number(pageCount));
  p.restore();
}

struct TContentsMetrics {
  double ChapterLine = 0, SectionLine = 0, TitleHeight = 0;
};

// Pages the contents take, the entries laid out top to bottom.
int ContentsPages(const std::vector<THeading>& headings, const TContentsMetrics& m, double bodyHeight) {
  int pages = 1;
  double y = m.TitleHeight;
  for (const THeading& h : headings) {
    const double line = h.Level == 1 ? m.ChapterLine : m.SectionLine;
    if (y + line > bodyHeight) {
      ++pages;
      y = 0;
    }
    y += line;
  }
  return pages;
}

}  // namespace

TManualLayout RenderManualPdf(const TManualText& text) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kDpi);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageOrientation(QPageLayout::Portrait);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setTitle(text.Title + " " + text.Subtitle);
  writer.setCreator(text.Title);

  TFrame frame;
  frame.Page = QRectF(writer.pageLayout().fullRectPixels(kDpi));
  frame.Body = QRectF(Mm(22), Mm(24), frame.Page.width() - Mm(44), frame.Page.height() - Mm(24) - Mm(26));

  QTextDocument doc;
  doc.documentLayout()->setPaintDevice(&writer);
  doc.setDefaultFont(Font(kBodyFamily, 10));
  doc.setDocumentMargin(0);
  doc.setMarkdown(text.Markdown, QTextDocument::MarkdownDialectGitHub);
  // After the text: setting it clears the document's resources.
  for (const TCatalogueImage& image : text.Images)
    doc.addResource(QTextDocument::ImageResource, QUrl(image.Url), QVariant(image.Image));
  SizeImages(doc, text.Images);
  StyleDocument(doc);
  doc.setPageSize(frame.Body.size());
  const int bodyPages = doc.pageCount();
  const std::vector<THeading> headings = CollectHeadings(doc, frame.Body.height());

  QPainter p(&writer);
  TContentsMetrics cm;
  {
    p.setFont(Font(kBodyFamily, 11, true));
    cm.ChapterLine = QFontMetricsF(p.font(), &writer).height() * 1.9;
    p.setFont(Font(kBodyFamily, 9.5));
    cm.SectionLine = QFontMetricsF(p.font(), &writer).height() * 1.35;
    cm.TitleHeight = Pt(20) * 2.4;
  }
  const int contentsPages = ContentsPages(headings, cm, frame.Body.height());
  const int firstBodyPage = 2 + contentsPages;  // 1-based
  const int pageCount = firstBodyPage - 1 + bodyPages;

  TManualLayout result;
  for (const THeading& h : headings)
    if (h.Level == 1) result.Chapters.push_back(h.Text);

  // Title page: no number, no frame.
  DrawTitlePage(p, frame.Page, text);

  // Contents.
  int pageNo = 2;
  writer.newPage();
  DrawPageFrame(p, frame, QString(), pageNo, pageCount);
  double y = frame.Body.top();
  p.setPen(kAccent);
  p.setFont(Font(kBodyFamily, 20, true));
  p.drawText(QRectF(frame.Body.left(), y, frame.Body.width(), cm.TitleHeight), Qt::AlignLeft | Qt::AlignTop,
             "Contents");
  y += cm.TitleHeight;
  for (const THeading& h : headings) {
    const bool chapter = h.Level == 1;
    const double line = chapter ? cm.ChapterLine : cm.SectionLine;
    if (y + line > frame.Body.bottom()) {
      writer.newPage();
      DrawPageFrame(p, frame, QString(), ++pageNo, pageCount);
      y = frame.Body.top();
    }
    p.setFont(Font(kBodyFamily, chapter ? 11 : 9.5, chapter));
    p.setPen(chapter ? kAccent : QColor(Qt::black));
    const double indent = chapter ? 0 : Mm(6);
    const QRectF row(frame.Body.left() + indent, y, frame.Body.width() - indent, line);
    const Qt::Alignment align = Qt::AlignBottom;
    const QString number = QString::number(firstBodyPage + h.Page);
    p.drawText(row, align | Qt::AlignLeft, h.Text);
    p.drawText(row, align | Qt::AlignRight, number);
    if (!chapter) {  // dotted leader between the title and its page
      const QFontMetricsF fm(p.font(), &writer);
      const double from = row.left() + fm.horizontalAdvance(h.Text) + Mm(2);
      const double to = row.right() - fm.horizontalAdvance(number) - Mm(2);
      p.save();
      p.setPen(QPen(kRule, Pt(0.8), Qt::DotLine));
      const double ly = row.bottom() - fm.descent();
      if (to > from) p.drawLine(QPointF(from, ly), QPointF(to, ly));
      p.restore();
    }
    y += line;
  }

  // The body, page by page, each with the chapter it is in as its header.
  for (int i = 0; i < bodyPages; ++i) {
    writer.newPage();
    QString chapter;
    for (const THeading& h : headings)
      if (h.Level == 1 && h.Page <= i) chapter = h.Text;
    DrawPageFrame(p, frame, chapter, firstBodyPage + i, pageCount);
    p.save();
    const double h = frame.Body.height();
    p.translate(frame.Body.left(), frame.Body.top() - i * h);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = QRectF(0, i * h, frame.Body.width(), h);
    p.setClipRect(ctx.clip);
    doc.documentLayout()->draw(&p, ctx);
    p.restore();
  }
  p.end();
  result.PageCount = pageCount;
  result.Pdf = buffer.data();
  return result;
}

}  // namespace tessaro::manual
