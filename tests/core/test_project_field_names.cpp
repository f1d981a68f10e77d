// Setting project fields by name from text: every value form, the refusals, and that
// an assignment touches its own field's bytes and nothing else.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/ootsfunction2007.h"
#include "core/project_field_names.h"

namespace tessaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Everything an assignment may change: the seven saved groups as the file holds them,
// then the fields that are not saved.
Bytes Snapshot(const TtsProject07& p) {
  Bytes all;
  for (int s = 2; s <= 8; ++s) {
    const Bytes b = p.SectionBytes(s);
    all.insert(all.end(), b.begin(), b.end());
  }
  all.push_back(p.UseDivisionMap);
  all.push_back(p.UsePriorityMap);
  all.push_back(p.AutoRepeatLimit);
  std::uint8_t t[4];
  std::memcpy(t, &p.TilePreviewOnly, 4);
  all.insert(all.end(), t, t + 4);
  return all;
}

std::int32_t Angle(const TtsProject07& p, int k) { return p.RotationAngles[k]; }

struct TGoodCase {
  const char* Assignment;
  std::function<bool(const TtsProject07&)> Holds;
};

TEST(ProjectFieldNames, AcceptsEveryValueForm) {
  const TGoodCase cases[] = {
      {"MosaicWidth=2400", [](const TtsProject07& p) { return p.MosaicWidth == 2400; }},
      {"CellHeight=+16", [](const TtsProject07& p) { return p.CellHeight == 16; }},
      {"StageFlags=-5", [](const TtsProject07& p) { return p.StageFlags == -5; }},
      {"StageFlags=131072", [](const TtsProject07& p) { return p.StageFlags == 131072; }},
      {"BorderSize=20", [](const TtsProject07& p) { return p.BorderSize == 20; }},
      {"UseAllPhotos=1", [](const TtsProject07& p) { return p.UseAllPhotos == 1; }},
      {"CropCell=0", [](const TtsProject07& p) { return p.CropCell == 0; }},
      {"TilePreviewOnly=1", [](const TtsProject07& p) { return p.TilePreviewOnly == 1; }},
      {"AutoRepeatLimit=1", [](const TtsProject07& p) { return p.AutoRepeatLimit == 1; }},
      {"UsePriorityMap=1", [](const TtsProject07& p) { return p.UsePriorityMap == 1; }},
      {"StretchFilter=6", [](const TtsProject07& p) { return p.StretchFilter == 6; }},
      {"CanvasColor=$00FF00", [](const TtsProject07& p) { return p.CanvasColor == 0x00FF00u; }},
      {"BorderColor=0x1234aB", [](const TtsProject07& p) { return p.BorderColor == 0x1234ABu; }},
      {"BorderColor=0X10", [](const TtsProject07& p) { return p.BorderColor == 0x10u; }},
      {"BorderColor=255", [](const TtsProject07& p) { return p.BorderColor == 255u; }},
      {"CanvasColor=16777214", [](const TtsProject07& p) { return p.CanvasColor == 0xFFFFFEu; }},
      {"BrushCoverFactor=0.75", [](const TtsProject07& p) { return p.BrushCoverFactor == 0.75; }},
      {"BrushCoverFactor=1", [](const TtsProject07& p) { return p.BrushCoverFactor == 1.0; }},
      {"MaxRepeatTimes=2147483647",
       [](const TtsProject07& p) { return p.MaxRepeatTimes == 2147483647; }},
      {"PatternGroup=3", [](const TtsProject07& p) { return p.PatternGroup == 3; }},
      {"JpegQuality=100", [](const TtsProject07& p) { return p.JpegQuality == 100; }},
      // Whole-value text is trimmed, and so are list items.
      {"ShapeDiff= 7 ", [](const TtsProject07& p) { return p.ShapeDiff == 7; }},
      {"RotationAngles=0, 3 ,6",
       [](const TtsProject07& p) {
         for (int k = 0; k < 24; ++k)
           if (Angle(p, k) != (k == 0 || k == 3 || k == 6)) return false;
         return true;
       }},
      {"RotationAngles=",
       [](const TtsProject07& p) {
         for (int k = 0; k < 24; ++k)
           if (Angle(p, k) != 0) return false;
         return true;
       }},
      {"RotationAngles[22]=1",
       [](const TtsProject07& p) {
         return Angle(p, 22) == 1 && Angle(p, 21) == 1 && Angle(p, 20) == 0;
       }},
      {"RotationAngles[21]=0",
       [](const TtsProject07& p) {
         return Angle(p, 21) == 0 && Angle(p, 23) == 1 && Angle(p, 20) == 0;
       }},
      {"EnhanceCurvePoints=0,1,2,3,4,5,6,7,8,9",
       [](const TtsProject07& p) {
         const TCurvePoints e = p.EnhanceCurvePoints;
         for (int i = 0; i < 5; ++i)
           if (e[i].X != 2 * i || e[i].Y != 2 * i + 1) return false;
         return true;
       }},
      {"AlphaCurvePoints[5]=255,7",
       [](const TtsProject07& p) {
         TCurvePoints expected = kDefaultAlphaCurvePoints;
         expected[4] = TCurvePoint{255, 7};
         return p.AlphaCurvePoints == expected;
       }},
      {"AlphaCurvePoints[1]=0,0",
       [](const TtsProject07& p) {
         TCurvePoints expected = kDefaultAlphaCurvePoints;
         expected[0] = TCurvePoint{0, 0};
         return p.AlphaCurvePoints == expected;
       }},
  };
  for (const TGoodCase& c : cases) {
    TtsProject07 p;
    for (int k = 0; k < 24; ++k) p.RotationAngles[k] = k % 2;  // so both 0 and 1 show
    const TtsProject07 before = p;
    EXPECT_EQ(ApplyProjectFieldAssignment(p, c.Assignment), "") << c.Assignment;
    EXPECT_TRUE(c.Holds(p)) << c.Assignment;
    EXPECT_NE(Snapshot(p), Snapshot(before)) << c.Assignment << " changed nothing";
  }
}

struct TBadCase {
  const char* Assignment;
  const char* ErrorPart;  // the error text must contain this
};

TEST(ProjectFieldNames, RefusesBadNamesAndValuesAndChangesNothing) {
  const TBadCase cases[] = {
      {"Foo=1", "unknown field \"Foo\""},
      {"mosaicwidth=5", "did you mean MosaicWidth?"},
      {"EnhanceCurve=1", "EnhanceCurve cannot be set"},
      {"Projectpath=/tmp", "Projectpath cannot be set"},
      {"MosaicWidth", "expected FIELD=VALUE"},
      {"=5", "expected FIELD=VALUE"},
      {"MosaicWidth=", "MosaicWidth: \"\" is not a whole number"},
      {"MosaicWidth=12a", "MosaicWidth: \"12a\" is not a whole number"},
      {"MosaicWidth=0x10", "is not a whole number"},  // hex is for colours only
      {"MosaicWidth=1.5", "is not a whole number"},
      {"MosaicWidth=0", "MosaicWidth: 0 is out of range 1..65536"},
      {"MosaicWidth=-3", "out of range"},
      {"BorderSize=21", "BorderSize: 21 is out of range 0..20"},
      {"CellWidth=8193", "out of range 1..8192"},
      {"StretchFilter=7", "StretchFilter: 7 is out of range 0..6"},
      {"MaxRepeatTimes=2147483648", "out of range"},
      {"StageFlags=99999999999999999999999", "out of range"},
      {"UseAllPhotos=2", "UseAllPhotos: 2 is out of range 0..1"},
      {"UseAllPhotos=yes", "is not 0 or 1"},
      {"CanvasColor=$GG", "is not a colour"},
      {"CanvasColor=$", "is not a colour"},
      {"CanvasColor=0x-1", "is not a colour"},
      {"CanvasColor=$1000000", "out of range 0..16777215"},
      {"CanvasColor=-1", "out of range"},
      {"BrushCoverFactor=nan", "is not a number"},
      {"BrushCoverFactor=inf", "is not a number"},
      {"BrushCoverFactor=1.5", "out of range 0..1"},
      {"BrushCoverFactor=0.5x", "is not a number"},
      {"RotationAngles=1,2,24", "RotationAngles: step 24 is out of range 0..23"},
      {"RotationAngles=1,,2", "is not a whole number"},
      {"RotationAngles=0,x", "is not a whole number"},
      {"RotationAngles[24]=1", "index \"24\" is not 0..23"},
      {"RotationAngles[-1]=1", "is not 0..23"},
      {"RotationAngles[3]=2", "out of range 0..1"},
      {"RotationAngles[3=1", "malformed field name"},
      {"RotationAngles[]=1", "malformed field name"},
      {"EnhanceCurvePoints=1,2", "expected 10 numbers x1,y1,...,x5,y5, got 2"},
      {"EnhanceCurvePoints=1,2,3,4,5,6,7,8,9,10,11", "got 11"},
      {"EnhanceCurvePoints=1,2,3,4,5,6,7,8,9,256", "256 is out of range 0..255"},
      {"AlphaCurvePoints[0]=1,1", "point \"0\" is not 1..5"},
      {"AlphaCurvePoints[6]=1,1", "is not 1..5"},
      {"AlphaCurvePoints[2]=1", "expected 2 numbers x,y, got 1"},
      {"AlphaCurvePoints[2]=1,-1", "out of range 0..255"},
      {"MosaicWidth[1]=3", "MosaicWidth is not an array"},
  };
  for (const TBadCase& c : cases) {
    TtsProject07 p;
    const Bytes before = Snapshot(p);
    const std::string error = ApplyProjectFieldAssignment(p, c.Assignment);
    EXPECT_NE(error.find(c.ErrorPart), std::string::npos)
        << c.Assignment << " gave \"" << error << "\"";
    EXPECT_EQ(Snapshot(p), before) << c.Assignment << " changed the project";
  }
}

// A value for each listed field by its form; for a range, its upper end or (upper
// false) its lower end, since one of the two differs from the default.
std::string ValueFor(const TProjectFieldInfo& f, bool upper) {
  if (f.Form.starts_with("flag")) return "1";
  if (f.Form.starts_with("colour")) return "0xABCDEF";
  if (f.Form.starts_with("number")) return "0.5";
  if (f.Form.starts_with("steps")) return "5,23";
  if (f.Form.starts_with("x1,y1")) return "1,2,3,4,5,6,7,8,9,10";
  if (f.Form == "integer") return "-7";
  const std::size_t dots = f.Form.find("..");
  const std::size_t space = f.Form.rfind(' ', dots);
  return upper ? f.Form.substr(dots + 2) : f.Form.substr(space + 1, dots - space - 1);
}

// Bytes of one scalar or array by form: a wrong width in the table would overwrite
// the neighbouring fields.
std::size_t WidthFor(const TProjectFieldInfo& f) {
  if (f.Name == "TilePreviewOnly") return 4;  // a flag held in 32 bits
  if (f.Form.starts_with("flag")) return 1;
  if (f.Form.starts_with("number")) return 8;
  if (f.Form.starts_with("steps")) return 24;
  if (f.Form.starts_with("x1,y1")) return 40;
  if (f.Name == "StretchFilter") return 1;
  return 4;
}

TEST(ProjectFieldNames, EachListedFieldChangesOnlyItsOwnBytes) {
  const std::vector<TProjectFieldInfo> fields = ProjectFieldList();
  std::set<std::string> names;
  for (const TProjectFieldInfo& f : fields) {
    EXPECT_TRUE(names.insert(f.Name).second) << "listed twice: " << f.Name;
    // Every byte around the field non-zero, so a write of the wrong width shows.
    TtsProject07 p;
    for (int s = 2; s <= 8; ++s) {
      Bytes pattern(TtsProject07::GroupSizeOfSection(s));
      for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = std::uint8_t(0x80 | (s * 13 + i));
      p.ReadSectionBytes(s, pattern.data(), pattern.size());
    }
    p.UseDivisionMap = p.UsePriorityMap = p.AutoRepeatLimit = 0xC3;
    p.TilePreviewOnly = 0x3C3C3C3C;
    const Bytes before = Snapshot(p);
    std::string value = ValueFor(f, true);
    ASSERT_EQ(SetProjectField(p, f.Name, value), "") << f.Name << "=" << value;
    if (Snapshot(p) == before) {
      value = ValueFor(f, false);
      ASSERT_EQ(SetProjectField(p, f.Name, value), "") << f.Name << "=" << value;
    }
    const Bytes after = Snapshot(p);
    std::size_t first = after.size(), last = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
      if (after[i] != before[i]) first = std::min(first, i), last = i;
    ASSERT_LT(first, after.size()) << f.Name << "=" << value << " changed nothing";
    EXPECT_LT(last - first, WidthFor(f)) << f.Name << " wrote beyond its own bytes";
  }
  // The fields a command line most needs are all there.
  for (const char* n : {"MosaicWidth", "CellWidth", "PageHeight", "UseAllPhotos", "AllowRotation",
                        "RotationAngles", "EnhanceCurvePoints", "AlphaCurvePoints",
                        "CanvasColor", "RandomizeLevel", "TilePreviewOnly", "BrushCoverFactor"})
    EXPECT_EQ(names.count(n), 1u) << n;
}

}  // namespace
}  // namespace tessaro
