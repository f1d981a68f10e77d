// Setting a field of TtsProject07 by its name from text, for the command line's
// "--set FIELD=VALUE" and anything else that takes settings as text.
//
// Names are the record's field names exactly (case matters). Value forms by kind:
//   integer   decimal with an optional sign: MosaicWidth=2400
//   flag      0 or 1: UseAllPhotos=1
//   colour    0x00BBGGRR as decimal, $hex or 0x hex: CanvasColor=$FF0000 (blue)
//   double    decimal, '.' as the point: BrushCoverFactor=0.75
//   steps     RotationAngles: the allowed 15-degree steps k (0..23), every other
//             entry cleared: RotationAngles=0,3,6 (empty clears all); one entry:
//             RotationAngles[3]=1
//   curve     five points x,y (0..255 each): EnhanceCurvePoints=x1,y1,...,x5,y5;
//             one point: EnhanceCurvePoints[2]=50,190 (points numbered 1..5)
// Each field has a range; a value outside it is refused. A refused assignment
// changes nothing, not even part of an array.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

class TtsProject07;

// Sets name to value; returns an empty string on success, otherwise the reason
// (unknown name, malformed value, value out of range), naming the field.
std::string SetProjectField(TtsProject07& project, std::string_view name, std::string_view value);

// "NAME=VALUE" or "NAME[i]=VALUE" as one text; as SetProjectField.
std::string ApplyProjectFieldAssignment(TtsProject07& project, std::string_view assignment);

struct TProjectFieldInfo {
  std::string Name;
  std::string Form;  // e.g. "integer 1..65536", "flag 0/1"
};
// Every settable field in record order, for help texts.
std::vector<TProjectFieldInfo> ProjectFieldList();

}  // namespace tessaro
