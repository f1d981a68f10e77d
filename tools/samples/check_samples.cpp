// check_samples: how well a library fits a main image, and pictures to look at.
//
// Reads the library through the engine (file list, configuration, pictures,
// signatures), cuts the main image into cols x rows cells and finds for every cell
// the picture with the smallest plain 8 x 8 squared difference (R, G and B over the
// 64 block averages; no reuse limit, no colour correction). Prints the RMS per
// channel of those best matches, the worst cell, and for comparison the same for a
// match on the average colour alone and for the ideal flat colour (each cell's own
// average), which is the best any library of plain colours could do.
//
// Then the same under a repeat limit, as a render assigns: at most --max-uses cells
// per picture (default 4 x cells / pictures, the automatic limit), never the same
// picture within one cell of itself, cells visited in a fixed shuffled order.
//
// --sheet writes a contact sheet of evenly spaced library pictures, --mosaic the
// repeat-limited mosaic drawn at the main image's size (with --correct F each
// picture's channels shifted by F times the difference of the averages, 0 by
// default), --main-png the main image itself (all PNG).
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "engine/layers.h"
#include "image/halftone.h"
#include "image/ooimgfunction2007.h"
#include "library/TsPhotoLib.h"
#include "core/random.h"

using namespace tessaro;

namespace {

constexpr const char* kUsage =
    "usage: check_samples --lib DIR [--lib DIR ...] [--main IMAGE --cols N --rows N]\n"
    "                     [--sheet FILE.png [--sheet-count N]] [--mosaic FILE.png]\n"
    "                     [--main-png FILE.png] [--max-uses N] [--correct F]\n";

bool SavePng(const TBitmap32& b, const std::string& file) {
  const QImage img(reinterpret_cast<const uchar*>(b.Bits()), b.Width(), b.Height(), b.Width() * 4,
                   QImage::Format_ARGB32);
  return img.save(QString::fromStdString(file), "PNG");
}

// The picture cut to the proportions w : h and reduced to w x h.
TBitmap32 Thumbnail(const TBitmap32& picture, int w, int h) {
  TBitmap32 cropped, out;
  CropToAspect(picture, cropped, w, h);
  HalftoneResize(cropped, out, w, h);
  return out;
}

struct ChannelRms {
  double r = 0, g = 0, b = 0;
  double Total() const { return std::sqrt((r * r + g * g + b * b) / 3); }
};

ChannelRms Grid8Rms(const ImageSignature& cell, const ImageSignature& pic) {
  double r = 0, g = 0, b = 0;
  for (int i = 0; i < 64; ++i) {
    const double dr = cell.Grid8[i].R - pic.Grid8[i].R, dg = cell.Grid8[i].G - pic.Grid8[i].G,
                 db = cell.Grid8[i].B - pic.Grid8[i].B;
    r += dr * dr;
    g += dg * dg;
    b += db * db;
  }
  return {std::sqrt(r / 64), std::sqrt(g / 64), std::sqrt(b / 64)};
}

double Grid8Distance(const ImageSignature& a, const ImageSignature& b) {
  double s = 0;
  for (int i = 0; i < 64; ++i) {
    const double dr = a.Grid8[i].R - b.Grid8[i].R, dg = a.Grid8[i].G - b.Grid8[i].G, db = a.Grid8[i].B - b.Grid8[i].B;
    s += dr * dr + dg * dg + db * db;
  }
  return s;
}

double AverageDistance(const ImageSignature& a, const ImageSignature& b) {
  const double dr = a.Average.R - b.Average.R, dg = a.Average.G - b.Average.G, db = a.Average.B - b.Average.B;
  return dr * dr + dg * dg + db * db;
}

// A signature whose every block is the cell's own average: the ideal flat square.
ImageSignature Flat(const ImageSignature& s) {
  ImageSignature f = s;
  for (SignatureColor& c : f.Grid8) c = s.Average;
  return f;
}

struct Summary {
  ChannelRms mean;
  double worst = 0;
  int worstCell = -1;
  void Add(const ChannelRms& e, int cell) {
    mean.r += e.r;
    mean.g += e.g;
    mean.b += e.b;
    if (e.Total() > worst) {
      worst = e.Total();
      worstCell = cell;
    }
  }
  void Print(const char* what, int cells, int cols) const {
    std::printf("%-34s mean RMS  R %5.1f  G %5.1f  B %5.1f   worst cell %5.1f at column %d row %d\n", what,
                mean.r / cells, mean.g / cells, mean.b / cells, worst, worstCell % cols, worstCell / cols);
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> libs;
  std::string mainFile, sheetFile, mosaicFile, mainPng;
  int cols = 40, rows = 30, sheetCount = 48, maxUses = 0;
  double correct = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--lib") libs.push_back(v);
    else if (a == "--main") mainFile = v;
    else if (a == "--cols") cols = std::clamp(std::atoi(v.c_str()), 1, 1000);
    else if (a == "--rows") rows = std::clamp(std::atoi(v.c_str()), 1, 1000);
    else if (a == "--sheet") sheetFile = v;
    else if (a == "--sheet-count") sheetCount = std::clamp(std::atoi(v.c_str()), 1, 1000);
    else if (a == "--mosaic") mosaicFile = v;
    else if (a == "--main-png") mainPng = v;
    else if (a == "--max-uses") maxUses = std::clamp(std::atoi(v.c_str()), 1, 1000000);
    else if (a == "--correct") correct = std::clamp(std::atof(v.c_str()), 0.0, 1.0);
    else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (libs.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  const TPictureListResult list = BuildProjectPictureList(libs, {}, TPictureListFilter::AllPaths);
  std::vector<TBitmap32> pictures;
  std::vector<ImageSignature> signatures;
  for (const std::string& path : list.Paths) {
    TBitmap32 b;
    LoadPicture(b, path);
    if (b.Empty()) {
      std::fprintf(stderr, "check_samples: %s does not decode\n", path.c_str());
      return 1;
    }
    signatures.push_back(ComputeSignature(b));
    pictures.push_back(std::move(b));
  }
  std::printf("%zu pictures\n", pictures.size());
  if (pictures.empty()) return 1;
  {
    // How the averages fill the colour cube: palette codes met, and a map of the 6 x 6
    // x 6 cube as six slices of blue (count per cell, '.' for none).
    std::vector<int> codes(216);
    int flat = 0;
    for (const ImageSignature& s : signatures) {
      ++codes[std::size_t(s.PaletteIndex)];
      double sum = 0, sq = 0;
      for (const SignatureColor& c : s.Grid8) sum += c.Grey, sq += double(c.Grey) * c.Grey;
      flat += std::sqrt(std::max(0.0, sq / 64 - (sum / 64) * (sum / 64))) <= 15;
    }
    std::printf("palette codes met: %d of 216; grids nearly flat (grey spread <= 15): %d\n",
                int(std::count_if(codes.begin(), codes.end(), [](int n) { return n > 0; })), flat);
    std::printf("averages by palette cell: six blue slices, rows green 0..5, columns red 0..5\n");
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        for (int r = 0; r < 6; ++r) {
          const int n = codes[std::size_t(b * 36 + g * 6 + r)];
          std::printf("%c", n == 0 ? '.' : (n < 10 ? char('0' + n) : '+'));
        }
        std::printf("  ");
      }
      std::printf("\n");
    }
  }

  if (!sheetFile.empty()) {
    const int n = std::min<int>(sheetCount, int(pictures.size()));
    const int across = 8, tw = 160, th = pictures[0].Width() == pictures[0].Height() ? 160 : 120, gap = 4;
    const int down = (n + across - 1) / across;
    TBitmap32 sheet(across * (tw + gap) + gap, down * (th + gap) + gap);
    sheet.Clear(Color32(40, 40, 40));
    for (int k = 0; k < n; ++k) {
      const std::size_t idx = std::size_t(k) * pictures.size() / std::size_t(n);
      Thumbnail(pictures[idx], tw, th).DrawTo(sheet, gap + (k % across) * (tw + gap), gap + (k / across) * (th + gap));
    }
    if (!SavePng(sheet, sheetFile)) std::fprintf(stderr, "check_samples: cannot write %s\n", sheetFile.c_str());
  }

  if (mainFile.empty()) return 0;
  TBitmap32 mainImage;
  LoadPicture(mainImage, mainFile);
  if (mainImage.Empty()) {
    std::fprintf(stderr, "check_samples: %s does not decode\n", mainFile.c_str());
    return 1;
  }
  const int W = mainImage.Width(), H = mainImage.Height();
  if (!mainPng.empty() && !SavePng(mainImage, mainPng))
    std::fprintf(stderr, "check_samples: cannot write %s\n", mainPng.c_str());
  const int cells = cols * rows;
  std::vector<ImageSignature> cellSignatures{std::size_t(cells)};
  auto cellRect = [&](int cell) {
    const int r = cell / cols, c = cell % cols;
    return TRect{c * W / cols, r * H / rows, (c + 1) * W / cols, (r + 1) * H / rows};
  };
  for (int cell = 0; cell < cells; ++cell) cellSignatures[std::size_t(cell)] = ComputeCellSignature(mainImage, W, H, cellRect(cell));

  Summary best, byAverage, flat, limited;
  std::vector<int> uses(pictures.size());
  for (int cell = 0; cell < cells; ++cell) {
    const ImageSignature& s = cellSignatures[std::size_t(cell)];
    int bi = 0, ai = 0;
    double bd = std::numeric_limits<double>::max(), ad = bd;
    for (std::size_t k = 0; k < signatures.size(); ++k) {
      const double d = Grid8Distance(s, signatures[k]);
      if (d < bd) bd = d, bi = int(k);
      const double e = AverageDistance(s, signatures[k]);
      if (e < ad) ad = e, ai = int(k);
    }
    ++uses[std::size_t(bi)];
    best.Add(Grid8Rms(s, signatures[std::size_t(bi)]), cell);
    byAverage.Add(Grid8Rms(s, signatures[std::size_t(ai)]), cell);
    flat.Add(Grid8Rms(s, Flat(s)), cell);
  }
  std::printf("%d x %d cells of %s (%dx%d)\n", cols, rows, mainFile.c_str(), W, H);
  best.Print("best 8x8 match:", cells, cols);
  byAverage.Print("best average-colour match:", cells, cols);
  flat.Print("ideal flat colour (cell average):", cells, cols);
  std::printf("distinct pictures used: %d of %zu; most uses of one picture: %d\n",
              int(std::count_if(uses.begin(), uses.end(), [](int u) { return u > 0; })), pictures.size(),
              *std::max_element(uses.begin(), uses.end()));

  // The repeat-limited assignment.
  if (maxUses <= 0) maxUses = std::max(1, int(4LL * cells / std::int64_t(pictures.size())));
  std::vector<int> order(static_cast<std::size_t>(cells));
  for (int i = 0; i < cells; ++i) order[std::size_t(i)] = i;
  TRandom rng(7);
  for (int i = cells - 1; i > 0; --i) std::swap(order[std::size_t(i)], order[std::size_t(rng.Random(i + 1))]);
  std::vector<int> choice(std::size_t(cells), -1);
  std::fill(uses.begin(), uses.end(), 0);
  for (const int cell : order) {
    const ImageSignature& s = cellSignatures[std::size_t(cell)];
    const int r = cell / cols, c = cell % cols;
    int bi = -1;
    double bd = std::numeric_limits<double>::max();
    for (std::size_t k = 0; k < signatures.size(); ++k) {
      if (uses[k] >= maxUses) continue;
      bool near = false;
      for (int dr = -1; dr <= 1 && !near; ++dr)
        for (int dc = -1; dc <= 1 && !near; ++dc) {
          const int rr = r + dr, cc = c + dc;
          near = rr >= 0 && rr < rows && cc >= 0 && cc < cols && choice[std::size_t(rr * cols + cc)] == int(k);
        }
      if (near) continue;
      const double d = Grid8Distance(s, signatures[k]);
      if (d < bd) bd = d, bi = int(k);
    }
    if (bi < 0) bi = 0;  // every picture used up: cannot happen with the automatic limit
    choice[std::size_t(cell)] = bi;
    ++uses[std::size_t(bi)];
    limited.Add(Grid8Rms(s, signatures[std::size_t(bi)]), cell);
  }
  char what[64];
  std::snprintf(what, sizeof what, "at most %d uses, radius 1:", maxUses);
  limited.Print(what, cells, cols);
  std::printf("distinct pictures used: %d of %zu\n",
              int(std::count_if(uses.begin(), uses.end(), [](int u) { return u > 0; })), pictures.size());

  if (!mosaicFile.empty()) {
    TBitmap32 mosaic(W, H);
    for (int cell = 0; cell < cells; ++cell) {
      const TRect rect = cellRect(cell);
      const std::size_t k = std::size_t(choice[std::size_t(cell)]);
      TBitmap32 t = Thumbnail(pictures[k], rect.Width(), rect.Height());
      if (correct > 0) {
        const SignatureColor& want = cellSignatures[std::size_t(cell)].Average;
        const SignatureColor& have = signatures[k].Average;
        ShiftChannels(t, t, int(correct * (want.R - have.R)), int(correct * (want.G - have.G)),
                      int(correct * (want.B - have.B)));
      }
      t.DrawTo(mosaic, rect.Left, rect.Top);
    }
    if (!SavePng(mosaic, mosaicFile)) std::fprintf(stderr, "check_samples: cannot write %s\n", mosaicFile.c_str());
  }
  return 0;
}
