// Writes the install folder's cell-pattern catalogue into the folder given as the only
// argument (the install folder's "masks"): patterndefine.ini, the mask picture of
// every layer that has one, and an overview picture of every mask and pattern.
//
// The catalogue lives in kCatalogue below, as geometry: each layer's pitch factors and
// offsets in multiples of the nominal cell, and the shape its cells are cut to. The
// layer rule (pitch = Trunc(cell x factor), shift = Trunc(cell x offset), every cell
// one nominal cell big) decides how layers fit together, so the tilings are worked
// out for that rule: a staggered layer is offset by half a pitch, a second layer
// fills the gaps the first one leaves. Layers are drawn in order, later ones on top.
//
// Shapes are signed distance functions over the unit cell ((0, 0) top left, (1, 1)
// bottom right), negative inside. The same function makes the binary mask picture
// (white inside, black outside, sampled at pixel centres, so the cut has hard edges
// and ApplyCellMask's "blue byte 255" test sees the whole shape) and the anti-aliased
// overview pictures. A mask picture is stretched to the cell, so a shape drawn in a
// square picture takes the cell's proportions.
//
// Overview pictures are 256 x 256 BMPs. A pattern's overview lays the pattern with
// the real layer rule over a 1024 x 1024 area of 48-pixel cells and shows a window
// from its inside, so what the user sees is what the mosaic gets; each layer has its
// own colour and every cell its outline.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/inifile.h"
#include "engine/layers.h"
#include "engine/pattern_definitions.h"
#include "image/bitmap32.h"

namespace tessaro {
namespace {

// ---- Shapes ------------------------------------------------------------------------

struct TVec {
  double X = 0, Y = 0;
};

enum class TShapeKind { Box, Circle, Polygon };

// Box: centre, half extents and corner radius. Circle: centre and radius. Polygon:
// a convex polygon in either winding.
struct TShape {
  TShapeKind Kind = TShapeKind::Box;
  TVec Centre{0.5, 0.5};
  double HalfW = 0.5, HalfH = 0.5;
  double Radius = 0;
  std::vector<TVec> Vertices;
};

double SegmentDistance(TVec p, TVec a, TVec b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.X - (a.X + t * dx), p.Y - (a.Y + t * dy));
}

// Signed distance from p to the shape's edge in cell units, negative inside.
double ShapeDistance(const TShape& s, TVec p) {
  switch (s.Kind) {
    case TShapeKind::Box: {
      const double qx = std::abs(p.X - s.Centre.X) - (s.HalfW - s.Radius);
      const double qy = std::abs(p.Y - s.Centre.Y) - (s.HalfH - s.Radius);
      const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
      return outside + std::min(std::max(qx, qy), 0.0) - s.Radius;
    }
    case TShapeKind::Circle:
      return std::hypot(p.X - s.Centre.X, p.Y - s.Centre.Y) - s.Radius;
    case TShapeKind::Polygon: {
      const std::size_t n = s.Vertices.size();
      double dist = 1e9;
      bool anyPositive = false, anyNegative = false;
      for (std::size_t i = 0; i < n; ++i) {
        const TVec a = s.Vertices[i], b = s.Vertices[(i + 1) % n];
        dist = std::min(dist, SegmentDistance(p, a, b));
        const double cross = (b.X - a.X) * (p.Y - a.Y) - (b.Y - a.Y) * (p.X - a.X);
        if (cross > 0) anyPositive = true;
        if (cross < 0) anyNegative = true;
      }
      const bool inside = !(anyPositive && anyNegative);
      return inside ? -dist : dist;
    }
  }
  return 1e9;
}

TShape Box(double halfW, double halfH, double radius = 0) {
  TShape s;
  s.Kind = TShapeKind::Box;
  s.HalfW = halfW;
  s.HalfH = halfH;
  s.Radius = radius;
  return s;
}

TShape Circle(double radius) {
  TShape s;
  s.Kind = TShapeKind::Circle;
  s.Radius = radius;
  return s;
}

TShape Polygon(std::vector<TVec> vertices) {
  TShape s;
  s.Kind = TShapeKind::Polygon;
  s.Vertices = std::move(vertices);
  return s;
}

// A diamond with its vertices half a diagonal `r` from the centre.
TShape Diamond(double r) {
  return Polygon({{0.5, 0.5 - r}, {0.5 + r, 0.5}, {0.5, 0.5 + r}, {0.5 - r, 0.5}});
}

// The regular octagon filling the cell has sides 1 / (1 + sqrt 2); each corner is cut
// by (1 - side) / 2 along both edges.
constexpr double kOctagonCut = 0.29289321881345254;  // (2 - sqrt 2) / 2

// The shapes the layers are cut to. An empty file name is the uncut cell: the layer
// gets no "maskimage" key.
struct TNamedShape {
  const char* File;
  TShape Shape;
};

const std::map<std::string, TNamedShape>& Shapes() {
  static const std::map<std::string, TNamedShape> shapes = {
      {"cell", {"", Box(0.5, 0.5)}},
      {"square_small", {"square_small.bmp", Box(0.25, 0.25)}},
      {"circle", {"circle.bmp", Circle(0.5)}},
      // Fits the hollow between four touching circles (0.207 would touch them).
      {"circle_dot", {"circle_dot.bmp", Circle(0.19)}},
      {"hexagon", {"hexagon.bmp",
                   Polygon({{0.5, 0}, {1, 0.25}, {1, 0.75}, {0.5, 1}, {0, 0.75}, {0, 0.25}})}},
      {"hexagon_flat", {"hexagon_flat.bmp",
                        Polygon({{0.25, 0}, {0.75, 0}, {1, 0.5}, {0.75, 1}, {0.25, 1}, {0, 0.5}})}},
      {"diamond", {"diamond.bmp", Diamond(0.5)}},
      {"diamond_small", {"diamond_small.bmp", Diamond(0.25)}},
      {"rounded", {"rounded.bmp", Box(0.5, 0.5, 0.18)}},
      {"rounded_small", {"rounded_small.bmp", Box(0.25, 0.25, 0.08)}},
      {"octagon", {"octagon.bmp",
                   Polygon({{kOctagonCut, 0}, {1 - kOctagonCut, 0}, {1, kOctagonCut},
                            {1, 1 - kOctagonCut}, {1 - kOctagonCut, 1}, {kOctagonCut, 1},
                            {0, 1 - kOctagonCut}, {0, kOctagonCut}})}},
      // Exactly the square hollow four octagons leave around their common corner.
      {"octagon_dot", {"octagon_dot.bmp", Diamond(kOctagonCut)}},
      {"triangle_up", {"triangle_up.bmp", Polygon({{0.5, 0}, {1, 1}, {0, 1}})}},
      {"triangle_down", {"triangle_down.bmp", Polygon({{0, 0}, {1, 0}, {0.5, 1}})}},
  };
  return shapes;
}

// ---- The catalogue -----------------------------------------------------------------

struct TLayerDef {
  const char* Shape;
  double HorzFactor, VertFactor, HorzOffset, VertOffset;
};

struct TPatternDef {
  const char* Name;
  std::vector<TLayerDef> Layers;
};

struct TMaskDef {
  const char* Name;
  const char* Key;    // file-name stem of the overview pictures
  const char* Shape;  // shown in the mask's overview
  std::vector<TPatternDef> Patterns;
};

// Distances used below: with rows sqrt(3) / 2 = 0.866 apart and shifted by half a
// pitch, circles of neighbouring rows touch; with rows 0.9142 apart (half a cell plus
// an octagon's side), octagons of half-shifted rows meet along their slanted edges.
const std::vector<TMaskDef>& Catalogue() {
  static const std::vector<TMaskDef> catalogue = {
      {"Square", "square", "cell",
       {
           {"Grid", {{"cell", 1.0, 1.0, 0, 0}}},
           {"Brick rows", {{"cell", 1.0, 2.0, 0, 0}, {"cell", 1.0, 2.0, 0.5, 1.0}}},
           {"Brick columns", {{"cell", 2.0, 1.0, 0, 0}, {"cell", 2.0, 1.0, 1.0, 0.5}}},
           {"Third-bond rows",
            {{"cell", 1.0, 3.0, 0, 0},
             {"cell", 1.0, 3.0, 0.3334, 1.0},
             {"cell", 1.0, 3.0, 0.6667, 2.0}}},
           {"Two sizes", {{"cell", 1.0, 1.0, 0, 0}, {"square_small", 1.0, 1.0, 0.5, 0.5}}},
       }},
      {"Circle", "circle", "circle",
       {
           {"Grid", {{"circle", 1.0, 1.0, 0, 0}}},
           {"Staggered rows",
            {{"circle", 1.0, 1.732, 0, 0}, {"circle", 1.0, 1.732, 0.5, 0.866}}},
           {"Overlapping", {{"circle", 1.0, 1.0, 0, 0}, {"circle", 1.0, 1.0, 0.5, 0.5}}},
           {"Circles and dots",
            {{"circle", 1.0, 1.0, 0, 0}, {"circle_dot", 1.0, 1.0, 0.5, 0.5}}},
       }},
      {"Hexagon", "hexagon", "hexagon",
       {
           {"Honeycomb", {{"hexagon", 1.0, 1.5, 0, 0}, {"hexagon", 1.0, 1.5, 0.5, 0.75}}},
           {"Flat honeycomb",
            {{"hexagon_flat", 1.5, 1.0, 0, 0}, {"hexagon_flat", 1.5, 1.0, 0.75, 0.5}}},
           {"Spaced honeycomb",
            {{"hexagon", 1.1, 1.65, 0, 0}, {"hexagon", 1.1, 1.65, 0.55, 0.825}}},
       }},
      {"Diamond", "diamond", "diamond",
       {
           {"Lattice", {{"diamond", 1.0, 1.0, 0, 0}, {"diamond", 1.0, 1.0, 0.5, 0.5}}},
           {"Grid", {{"diamond", 1.0, 1.0, 0, 0}}},
           {"Argyle", {{"diamond", 1.0, 1.0, 0, 0}, {"diamond_small", 1.0, 1.0, 0.5, 0.5}}},
       }},
      {"Rounded square", "rounded", "rounded",
       {
           {"Grid", {{"rounded", 1.0, 1.0, 0, 0}}},
           {"Spaced grid", {{"rounded", 1.1, 1.1, 0, 0}}},
           {"Brick rows", {{"rounded", 1.0, 2.0, 0, 0}, {"rounded", 1.0, 2.0, 0.5, 1.0}}},
           {"Two sizes",
            {{"rounded", 1.0, 1.0, 0, 0}, {"rounded_small", 1.0, 1.0, 0.5, 0.5}}},
       }},
      {"Octagon", "octagon", "octagon",
       {
           {"Octagon and dot",
            {{"octagon", 1.0, 1.0, 0, 0}, {"octagon_dot", 1.0, 1.0, 0.5, 0.5}}},
           {"Grid", {{"octagon", 1.0, 1.0, 0, 0}}},
           {"Staggered rows",
            {{"octagon", 1.0, 1.8284, 0, 0}, {"octagon", 1.0, 1.8284, 0.5, 0.9142}}},
       }},
      {"Triangle", "triangle", "triangle_up",
       {
           {"Triangle lattice",
            {{"triangle_up", 1.0, 2.0, 0, 0},
             {"triangle_down", 1.0, 2.0, 0.5, 0},
             {"triangle_up", 1.0, 2.0, 0.5, 1.0},
             {"triangle_down", 1.0, 2.0, 0, 1.0}}},
           {"Triangle rows",
            {{"triangle_up", 1.0, 1.0, 0, 0}, {"triangle_down", 1.0, 1.0, 0.5, 0}}},
           {"Upright triangles", {{"triangle_up", 1.0, 1.0, 0, 0}}},
       }},
  };
  return catalogue;
}

// ---- Pictures ----------------------------------------------------------------------

constexpr int kMaskSize = 256;
constexpr int kOverviewSize = 256;
// The pattern overviews lay the pattern over this area and cell, as a mosaic would be.
constexpr int kOverviewArea = 1024;
constexpr int kOverviewCell = 48;
// Top-left of the window shown, inside the area so that no edge strip shows.
constexpr int kOverviewOrigin = 2 * kOverviewCell;

struct TRgb {
  double R, G, B;
};

constexpr TRgb kBackground{0.94, 0.94, 0.94};
constexpr TRgb kLayerColours[kMaxPatternLayers] = {
    {0.50, 0.66, 0.86}, {0.95, 0.65, 0.35}, {0.55, 0.80, 0.49},
    {0.85, 0.55, 0.77}, {0.91, 0.83, 0.42}, {0.42, 0.78, 0.75},
};

TRgb Darker(TRgb c) { return {c.R * 0.45, c.G * 0.45, c.B * 0.45}; }

TRgb Mix(TRgb under, TRgb over, double a) {
  return {under.R + (over.R - under.R) * a, under.G + (over.G - under.G) * a,
          under.B + (over.B - under.B) * a};
}

std::uint8_t ToByte(double v) { return std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

TRgb FromColour(TColor32 c) { return {RedOf(c) / 255.0, GreenOf(c) / 255.0, BlueOf(c) / 255.0}; }
TColor32 ToColour(TRgb c) { return Color32(ToByte(c.R), ToByte(c.G), ToByte(c.B)); }

// White inside the shape, black outside, judged at each pixel's centre.
TBitmap32 MaskPicture(const TShape& shape) {
  TBitmap32 b(kMaskSize, kMaskSize);
  for (int y = 0; y < kMaskSize; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int x = 0; x < kMaskSize; ++x) {
      const TVec p{(x + 0.5) / kMaskSize, (y + 0.5) / kMaskSize};
      row[x] = ShapeDistance(shape, p) < 0 ? clWhite32 : clBlack32;
    }
  }
  return b;
}

// Paints one cell of `cellSize` pixels with its top-left at (left, top) of the picture:
// the shape filled with `fill`, an outline of `lineWidth` pixels just inside its edge,
// anti-aliased, clipped to the cell and to the picture.
void PaintCell(TBitmap32& picture, const TShape& shape, int left, int top, int cellSize,
               TRgb fill, double lineWidth) {
  const TRgb line = Darker(fill);
  const int x0 = std::max(left, 0), x1 = std::min(left + cellSize, picture.Width());
  const int y0 = std::max(top, 0), y1 = std::min(top + cellSize, picture.Height());
  const double half = lineWidth / 2;
  for (int y = y0; y < y1; ++y) {
    TColor32* row = picture.ScanLine(y);
    for (int x = x0; x < x1; ++x) {
      const TVec p{(x - left + 0.5) / cellSize, (y - top + 0.5) / cellSize};
      const double d = ShapeDistance(shape, p) * cellSize;  // in pixels
      const double fillCover = std::clamp(0.5 - d, 0.0, 1.0);
      if (fillCover <= 0) continue;
      const double lineCover = std::clamp(half + 0.5 - std::abs(d + half), 0.0, 1.0);
      TRgb c = Mix(FromColour(row[x]), fill, fillCover);
      c = Mix(c, line, lineCover);
      row[x] = ToColour(c);
    }
  }
}

TBitmap32 BlankOverview() {
  TBitmap32 b(kOverviewSize, kOverviewSize);
  b.Clear(ToColour(kBackground));
  return b;
}

// The shape alone in a cell drawn at three quarters of the picture, the cell's extent
// framed in grey so that the shape's place in its cell shows.
TBitmap32 MaskOverview(const TShape& shape) {
  TBitmap32 b = BlankOverview();
  const int cell = kOverviewSize * 3 / 4;
  const int left = (kOverviewSize - cell) / 2;
  const TColor32 frame = Color32(170, 170, 170);
  for (int i = left - 1; i <= left + cell; ++i) {
    b.SetPixelS(i, left - 1, frame);
    b.SetPixelS(i, left + cell, frame);
    b.SetPixelS(left - 1, i, frame);
    b.SetPixelS(left + cell, i, frame);
  }
  PaintCell(b, shape, left, left, cell, kLayerColours[0], 4.0);
  return b;
}

TLayerPattern ToLayerPattern(const TLayerDef& d) {
  TLayerPattern lp;
  lp.Enabled = 1;
  lp.HorzFactor = d.HorzFactor;
  lp.VertFactor = d.VertFactor;
  lp.HorzOffset = d.HorzOffset;
  lp.VertOffset = d.VertOffset;
  return lp;
}

TBitmap32 PatternOverview(const TPatternDef& pattern) {
  TBitmap32 b = BlankOverview();
  for (std::size_t k = 0; k < pattern.Layers.size(); ++k) {
    const TLayerDef& layer = pattern.Layers[k];
    const TShape& shape = Shapes().at(layer.Shape).Shape;
    const TLayerGrid g = ComputeLayerGrid(ToLayerPattern(layer), kOverviewArea, kOverviewArea,
                                          kOverviewCell, kOverviewCell);
    for (int row = 0; row < g.Rows; ++row) {
      const int top = g.StepY * row + g.OffsetY - kOverviewOrigin;
      if (top >= kOverviewSize || top + kOverviewCell <= 0) continue;
      for (int col = 0; col < g.Columns; ++col) {
        const int left = g.StepX * col + g.OffsetX - kOverviewOrigin;
        if (left >= kOverviewSize || left + kOverviewCell <= 0) continue;
        PaintCell(b, shape, left, top, kOverviewCell, kLayerColours[k], 1.5);
      }
    }
  }
  return b;
}

// ---- Writing -------------------------------------------------------------------------

// Ten significant digits, always with a '.' (the catalogue's values are short
// decimals, so this is their exact spelling).
std::string Decimal(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  std::string s = buf;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// Every layer must be buildable for the mosaic a new project starts with; a table
// error stops the build here rather than in a user's project.
bool CheckCatalogue() {
  bool ok = true;
  for (const TMaskDef& m : Catalogue()) {
    if (m.Patterns.empty()) {
      std::fprintf(stderr, "mask %s has no pattern\n", m.Name);
      ok = false;
    }
    for (const TPatternDef& p : m.Patterns) {
      if (p.Layers.empty() || p.Layers.size() > std::size_t(kMaxPatternLayers)) {
        std::fprintf(stderr, "%s / %s: %zu layers\n", m.Name, p.Name, p.Layers.size());
        ok = false;
      }
      for (const TLayerDef& l : p.Layers) {
        if (!Shapes().count(l.Shape)) {
          std::fprintf(stderr, "%s / %s: unknown shape %s\n", m.Name, p.Name, l.Shape);
          ok = false;
          continue;
        }
        const TLayerGrid g = ComputeLayerGrid(ToLayerPattern(l), 1024, 1024, 48, 48);
        if (!g.Buildable || g.CellCount() <= 0) {
          std::fprintf(stderr, "%s / %s: a layer cannot be built\n", m.Name, p.Name);
          ok = false;
        }
      }
    }
  }
  return ok;
}

std::string OverviewName(const TMaskDef& m, int pattern) {
  std::string name = "ov_";
  name += m.Key;
  if (pattern > 0) {
    name += '_';
    name += std::to_string(pattern);
  }
  name += ".bmp";
  return name;
}

void WriteCatalogue(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  // The folder is this program's alone: pictures of an earlier catalogue go, so the
  // install never ships a file nothing names.
  std::vector<std::filesystem::path> stale;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".bmp" || ext == ".ini")) stale.push_back(entry.path());
  }
  for (const auto& file : stale) std::filesystem::remove(file);

  // Pictures first: patterndefine.ini is the build's sign that the folder is complete.
  for (const auto& [id, named] : Shapes())
    if (*named.File) MaskPicture(named.Shape).SaveToFile(folder / named.File);

  TMemIniFile ini;
  ini.SetFileName(folder / "patterndefine.ini");
  const auto& catalogue = Catalogue();
  ini.WriteInteger("brief", "maskcount", std::int32_t(catalogue.size()));
  for (std::size_t mi = 0; mi < catalogue.size(); ++mi) {
    const TMaskDef& m = catalogue[mi];
    const int mask = int(mi) + 1;
    const std::string maskOv = OverviewName(m, 0);
    MaskOverview(Shapes().at(m.Shape).Shape).SaveToFile(folder / maskOv);
    const std::string ms = MaskSection(mask);
    ini.WriteString(ms, "maskname", m.Name);
    ini.WriteString(ms, "maskov", maskOv);
    ini.WriteInteger(ms, "patterncount", std::int32_t(m.Patterns.size()));
    for (std::size_t pi = 0; pi < m.Patterns.size(); ++pi) {
      const TPatternDef& p = m.Patterns[pi];
      const int pattern = int(pi) + 1;
      const std::string patOv = OverviewName(m, pattern);
      PatternOverview(p).SaveToFile(folder / patOv);
      const std::string ps = PatternSection(mask, pattern);
      ini.WriteString(ps, "patternname", p.Name);
      ini.WriteString(ps, "patov", patOv);
      ini.WriteInteger(ps, "layercount", std::int32_t(p.Layers.size()));
      for (std::size_t li = 0; li < p.Layers.size(); ++li) {
        const TLayerDef& l = p.Layers[li];
        const std::string ls = PatternLayerSection(mask, pattern, int(li) + 1);
        const char* file = Shapes().at(l.Shape).File;
        if (*file) ini.WriteString(ls, "maskimage", file);
        ini.WriteString(ls, "HorzFactor", Decimal(l.HorzFactor));
        ini.WriteString(ls, "VertFactor", Decimal(l.VertFactor));
        ini.WriteString(ls, "HorzOffset", Decimal(l.HorzOffset));
        ini.WriteString(ls, "VertOffset", Decimal(l.VertOffset));
      }
    }
  }
  ini.UpdateFile();
}

}  // namespace
}  // namespace tessaro

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <masks folder>\n", argc > 0 ? argv[0] : "tessaro_make_masks");
    return 2;
  }
  if (!tessaro::CheckCatalogue()) return 1;
  try {
    tessaro::WriteCatalogue(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
