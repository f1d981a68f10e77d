#include "core/project_field_names.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#include "core/ootsfunction2007.h"
#include "core/quoted.h"
#include "engine/layers.h"

namespace tessaro {
namespace {

enum class TFieldKind { Int32, Byte, Flag, Colour, Double, Steps, Curve };

constexpr std::int64_t kI32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kI32Min = std::numeric_limits<std::int32_t>::min();
// Pixel sizes: large enough for any print, small enough that no single number asks
// for an absurd allocation.
constexpr std::int64_t kMaxPixelSize = 65536;

struct TFieldEntry {
  const char* Name;
  TFieldKind Kind;
  std::int64_t Min, Max;  // integer kinds; Double uses them as whole bounds too
  std::size_t Size;       // bytes of one scalar (Int32 4, Byte/Flag 1 or 4)
  std::uint8_t* (*Where)(TtsProject07&);
};

// The field's bytes. Several fields sit unaligned inside packed groups, so values are
// only ever copied in and out with memcpy, never through a typed pointer.
template <auto M>
std::uint8_t* At(TtsProject07& p) {
  return reinterpret_cast<std::uint8_t*>(std::addressof(p.*M));
}

template <auto M>
using MemberType = std::remove_cvref_t<decltype(std::declval<TtsProject07&>().*M)>;

template <auto M>
constexpr TFieldEntry Int(const char* name, std::int64_t lo, std::int64_t hi) {
  static_assert(std::is_same_v<MemberType<M>, std::int32_t>);
  return {name, TFieldKind::Int32, lo, hi, 4, &At<M>};
}
template <auto M>
constexpr TFieldEntry Byte(const char* name, std::int64_t lo, std::int64_t hi) {
  static_assert(std::is_same_v<MemberType<M>, std::uint8_t>);
  return {name, TFieldKind::Byte, lo, hi, 1, &At<M>};
}
template <auto M>
constexpr TFieldEntry Flag(const char* name) {
  using T = MemberType<M>;
  static_assert(std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int32_t>);
  return {name, TFieldKind::Flag, 0, 1, sizeof(T), &At<M>};
}
template <auto M>
constexpr TFieldEntry Colour(const char* name) {
  static_assert(std::is_same_v<MemberType<M>, std::uint32_t>);
  return {name, TFieldKind::Colour, 0, 0xFFFFFF, 4, &At<M>};
}
template <auto M>
constexpr TFieldEntry Double(const char* name, std::int64_t lo, std::int64_t hi) {
  static_assert(std::is_same_v<MemberType<M>, double>);
  return {name, TFieldKind::Double, lo, hi, 8, &At<M>};
}
template <auto M>
constexpr TFieldEntry Steps(const char* name) {
  static_assert(std::is_same_v<MemberType<M>, std::uint8_t[24]>);
  return {name, TFieldKind::Steps, 0, 1, 1, &At<M>};
}
template <auto M>
constexpr TFieldEntry Curve(const char* name) {
  static_assert(std::is_same_v<MemberType<M>, TCurvePoints>);
  return {name, TFieldKind::Curve, 0, 255, 4, &At<M>};
}

// One row per field; the macro only keeps each row's text equal to its member.
#define TS_FIELD(maker, member, ...) maker<&TtsProject07::member>(#member __VA_OPT__(, ) __VA_ARGS__)

const std::array kFields = {
    // Frame group.
    TS_FIELD(Int, StageFlags, kI32Min, kI32Max),
    TS_FIELD(Int, MosaicWidth, 1, kMaxPixelSize),
    TS_FIELD(Int, MosaicHeight, 1, kMaxPixelSize),
    TS_FIELD(Int, CellWidth, 1, kMaxCellEdge),
    TS_FIELD(Int, CellHeight, 1, kMaxCellEdge),
    TS_FIELD(Int, OutputDPI, 1, 65535),
    TS_FIELD(Int, PageWidth, 1, kMaxPixelSize),
    TS_FIELD(Int, PageHeight, 1, kMaxPixelSize),
    TS_FIELD(Int, BorderSize, 0, 20),
    TS_FIELD(Colour, BorderColor),
    TS_FIELD(Colour, CanvasColor),
    TS_FIELD(Flag, MainImageAsBackground),
    // Main image group.
    TS_FIELD(Flag, HasMainImage),
    TS_FIELD(Flag, StretchMainImage),
    TS_FIELD(Flag, MonochromeMainImage),
    // Cell options group.
    TS_FIELD(Flag, UseAllPhotos),
    TS_FIELD(Flag, CropCell),
    TS_FIELD(Flag, MonochromeCell),
    TS_FIELD(Flag, AllowHorizontalFlip),
    TS_FIELD(Flag, AllowVerticalFlip),
    TS_FIELD(Int, RepeatRadius, 0, kMaxPixelSize),
    TS_FIELD(Flag, LimitRepeat),
    TS_FIELD(Int, MinRepeatTimes, 0, kI32Max),
    TS_FIELD(Int, MaxRepeatTimes, 0, kI32Max),
    TS_FIELD(Flag, AdvancedRepeatControl),
    TS_FIELD(Flag, AllowRotation),
    TS_FIELD(Steps, RotationAngles),
    // Brush group: kept in the file, used by nothing here.
    TS_FIELD(Int, BrushMode, 0, 4),
    TS_FIELD(Int, BrushCellWidth, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushCellHeight, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushAspectWidth, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushAspectHeight, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushMinWidth, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushMinHeight, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushMaxWidth, 0, kMaxPixelSize),
    TS_FIELD(Int, BrushMaxHeight, 0, kMaxPixelSize),
    TS_FIELD(Double, BrushCoverFactor, 0, 1),
    TS_FIELD(Int, BrushRadius, 0, kMaxPixelSize),
    // Not saved.
    TS_FIELD(Flag, UseDivisionMap),
    TS_FIELD(Flag, UsePriorityMap),
    // Pattern choice group.
    TS_FIELD(Int, PatternGroup, 1, 10000),
    TS_FIELD(Int, PatternIndex, 1, 10000),
    // Render parameter group.
    TS_FIELD(Int, ColorEnhance, 0, 255),
    TS_FIELD(Int, RandomizeLevel, 1, 100),
    TS_FIELD(Flag, PaletteMatchOnly),
    TS_FIELD(Int, AlphaBlendMain, 0, 255),
    TS_FIELD(Int, AlphaBlendPen, 0, 255),
    TS_FIELD(Byte, StretchFilter, 0, 6),
    TS_FIELD(Curve, EnhanceCurvePoints),
    TS_FIELD(Curve, AlphaCurvePoints),
    TS_FIELD(Int, ColorDiffAverage, 0, kI32Max),
    TS_FIELD(Int, ColorDiffSingle, 0, kI32Max),
    TS_FIELD(Int, ShapeDiff, 0, kI32Max),
    // Picture export group.
    TS_FIELD(Int, JpegQuality, 0, 100),
    TS_FIELD(Flag, JpegProgressive),
    // Run-time fields.
    TS_FIELD(Flag, TilePreviewOnly),
    TS_FIELD(Flag, AutoRepeatLimit),
};

#undef TS_FIELD

// Fields of the record that text cannot set, with the reason a user needs.
constexpr std::pair<const char*, const char*> kNotSettable[] = {
    {"SectionSizes", "is written by the project files"},
    {"LayerBytes", "is written by the project files"},
    {"Projectpath", "is set by the project creation"},
    {"Projectname", "is set by the project creation"},
    {"OrgMainimageFilename", "is the main image; give it with --main"},
    {"MainimageFilename", "is set by the project creation"},
    {"EnhanceCurve", "is built from EnhanceCurvePoints; set those"},
    {"AlphaCurve", "is built from AlphaCurvePoints; set those"},
    {"Pattern", "is loaded from PatternGroup and PatternIndex; set those"},
    {"Layers", "is built by the render job"},
};

const TFieldEntry* FindField(std::string_view name) {
  for (const TFieldEntry& f : kFields)
    if (name == f.Name) return &f;
  return nullptr;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string UnknownFieldText(std::string_view name) {
  for (const auto& [n, why] : kNotSettable)
    if (name == n) return std::string(n) + " cannot be set: it " + why;
  std::string text = "unknown field \"" + std::string(name) + "\"";
  for (const TFieldEntry& f : kFields)
    if (EqualNoCase(name, f.Name)) return text + " (did you mean " + f.Name + "?)";
  return text;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> SplitList(std::string_view s) {
  std::vector<std::string_view> items;
  for (;;) {
    const std::size_t comma = s.find(',');
    items.push_back(Trim(s.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return items;
}

// Whole text as a number in base; nullopt for anything else (sign only in base 10).
std::optional<std::int64_t> ParseWhole(std::string_view s, int base = 10) {
  if (s.empty()) return std::nullopt;
  if (s.front() == '+' && base == 10) s.remove_prefix(1);
  if (s.empty() || s.front() == '+' || (s.front() == '-' && base != 10)) return std::nullopt;
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (end != s.data() + s.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range)
    return s.front() == '-' ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
  if (ec != std::errc()) return std::nullopt;
  return v;
}

std::string RangeText(const TFieldEntry& f) {
  return std::to_string(f.Min) + ".." + std::to_string(f.Max);
}

// An integer of the field's range, or the error text in error.
std::optional<std::int64_t> ParseInRange(const TFieldEntry& f, std::string_view text,
                                         std::int64_t lo, std::int64_t hi, std::string& error,
                                         const char* what = "") {
  std::optional<std::int64_t> v;
  if (f.Kind == TFieldKind::Colour && text.size() > 1 && text.front() == '$') {
    v = ParseWhole(text.substr(1), 16);
  } else if (f.Kind == TFieldKind::Colour && text.size() > 2 && text[0] == '0' &&
             (text[1] == 'x' || text[1] == 'X')) {
    v = ParseWhole(text.substr(2), 16);
  } else {
    v = ParseWhole(text);
  }
  const std::string prefix = std::string(f.Name) + ": " + what;
  if (!v) {
    error = prefix + Quoted(text) +
            (f.Kind == TFieldKind::Colour ? " is not a colour (decimal, $hex or 0xhex)"
             : f.Kind == TFieldKind::Flag ? " is not 0 or 1"
                                          : " is not a whole number");
    return std::nullopt;
  }
  if (*v < lo || *v > hi) {
    error = prefix + std::string(text) + " is out of range " + std::to_string(lo) + ".." +
            std::to_string(hi);
    return std::nullopt;
  }
  return v;
}

void StoreInteger(std::uint8_t* where, std::size_t size, std::int64_t v) {
  if (size == 1) {
    const std::uint8_t b = std::uint8_t(v);
    std::memcpy(where, &b, 1);
  } else {
    const std::int32_t w = std::int32_t(std::uint32_t(v));
    std::memcpy(where, &w, 4);
  }
}

std::string SetScalar(TtsProject07& project, const TFieldEntry& f, std::string_view text) {
  std::string error;
  if (f.Kind == TFieldKind::Double) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || end != text.data() + text.size() || ec != std::errc() ||
        !std::isfinite(v))
      return std::string(f.Name) + ": " + Quoted(text) + " is not a number";
    if (v < double(f.Min) || v > double(f.Max))
      return std::string(f.Name) + ": " + std::string(text) + " is out of range " + RangeText(f);
    std::memcpy(f.Where(project), &v, sizeof v);
    return {};
  }
  const auto v = ParseInRange(f, text, f.Min, f.Max, error);
  if (!v) return error;
  StoreInteger(f.Where(project), f.Size, *v);
  return {};
}

std::string SetSteps(TtsProject07& project, const TFieldEntry& f, std::string_view text) {
  std::uint8_t steps[24] = {};
  if (!Trim(text).empty()) {
    for (std::string_view item : SplitList(text)) {
      std::string error;
      const auto k = ParseInRange(f, item, 0, 23, error, "step ");
      if (!k) return error;
      steps[*k] = 1;
    }
  }
  std::memcpy(f.Where(project), steps, sizeof steps);
  return {};
}

// Parses count numbers of 0..255 for a curve.
std::string ParseCurveNumbers(const TFieldEntry& f, std::string_view text, std::size_t count,
                              std::int32_t* out) {
  const auto items = SplitList(text);
  if (items.size() != count)
    return std::string(f.Name) + ": expected " + std::to_string(count) +
           (count == 10 ? " numbers x1,y1,...,x5,y5" : " numbers x,y") + ", got " +
           std::to_string(items.size());
  for (std::size_t i = 0; i < count; ++i) {
    std::string error;
    const auto v = ParseInRange(f, items[i], f.Min, f.Max, error);
    if (!v) return error;
    out[i] = std::int32_t(*v);
  }
  return {};
}

std::string SetCurve(TtsProject07& project, const TFieldEntry& f, std::string_view text) {
  std::int32_t v[10];
  if (std::string error = ParseCurveNumbers(f, text, 10, v); !error.empty()) return error;
  TCurvePoints points;
  for (int i = 0; i < 5; ++i) points[i] = TCurvePoint{v[2 * i], v[2 * i + 1]};
  std::memcpy(f.Where(project), &points, sizeof points);
  return {};
}

std::string SetElement(TtsProject07& project, const TFieldEntry& f, std::string_view indexText,
                       std::string_view text) {
  const auto index = ParseWhole(indexText);
  if (f.Kind == TFieldKind::Steps) {
    if (!index || *index < 0 || *index > 23)
      return std::string(f.Name) + ": index " + Quoted(indexText) + " is not 0..23";
    std::string error;
    const auto v = ParseInRange(f, text, 0, 1, error);
    if (!v) return error;
    StoreInteger(f.Where(project) + *index, 1, *v);
    return {};
  }
  if (f.Kind == TFieldKind::Curve) {
    if (!index || *index < 1 || *index > 5)
      return std::string(f.Name) + ": point " + Quoted(indexText) + " is not 1..5";
    std::int32_t v[2];
    if (std::string error = ParseCurveNumbers(f, text, 2, v); !error.empty()) return error;
    const TCurvePoint point{v[0], v[1]};
    std::memcpy(f.Where(project) + (*index - 1) * sizeof(TCurvePoint), &point, sizeof point);
    return {};
  }
  return std::string(f.Name) + " is not an array";
}

std::string FormOf(const TFieldEntry& f) {
  switch (f.Kind) {
    case TFieldKind::Flag:
      return "flag 0/1";
    case TFieldKind::Colour:
      return "colour 0x00BBGGRR";
    case TFieldKind::Double:
      return "number " + RangeText(f);
    case TFieldKind::Steps:
      return "steps k,k,... of 0..23 (15 x k degrees), or [k]=0/1";
    case TFieldKind::Curve:
      return "x1,y1,...,x5,y5 of 0..255, or [1..5]=x,y";
    case TFieldKind::Int32:
    case TFieldKind::Byte:
      break;
  }
  if (f.Min == kI32Min && f.Max == kI32Max) return "integer";
  return "integer " + RangeText(f);
}

}  // namespace

std::string SetProjectField(TtsProject07& project, std::string_view name, std::string_view value) {
  std::string_view base = name;
  std::optional<std::string_view> index;
  if (const std::size_t open = name.find('['); open != std::string_view::npos) {
    if (name.back() != ']' || name.size() < open + 3)
      return "malformed field name " + Quoted(name) + " (use NAME[index])";
    base = name.substr(0, open);
    index = name.substr(open + 1, name.size() - open - 2);
  }
  const TFieldEntry* f = FindField(base);
  if (!f) return UnknownFieldText(base);
  value = Trim(value);
  if (index) return SetElement(project, *f, *index, value);
  switch (f->Kind) {
    case TFieldKind::Steps:
      return SetSteps(project, *f, value);
    case TFieldKind::Curve:
      return SetCurve(project, *f, value);
    default:
      return SetScalar(project, *f, value);
  }
}

std::string ApplyProjectFieldAssignment(TtsProject07& project, std::string_view assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos || eq == 0)
    return "expected FIELD=VALUE, got " + Quoted(assignment);
  return SetProjectField(project, Trim(assignment.substr(0, eq)), assignment.substr(eq + 1));
}

std::vector<TProjectFieldInfo> ProjectFieldList() {
  std::vector<TProjectFieldInfo> list;
  list.reserve(kFields.size());
  for (const TFieldEntry& f : kFields) list.push_back({f.Name, FormOf(f)});
  return list;
}

}  // namespace tessaro
