// The message table.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/ulang.h"

namespace tessaro {
namespace {

struct Message {
  int Id;
  const char* Text;
};

const Message kMessages[] = {
    {8347, "Start New Mosaic Project?"},
    {8827, "This is not a Tessaro project"},
    {50000, "Do you want load pictures in sub directory?"},
    {90000, "Confirm"},
    {100884,
     "-= Beginner Mode =-\r\nVery easy to use, click a few buttons to get your photomosaic "
     "done.\r\nStandard Paper Size and Resolution for your choice\r\nWe already set render "
     "parameters to most popular values to get fair quality.\r\nHowever, many advanced "
     "fuctions are disabled in this mode"},
    {100888,
     "-= Advance Mode =-\r\nMore user defined parameters, you may need more practice to get "
     "better output quality\r\nCustom Paper Size and Resolution allowed\r\nRender parameters "
     "can be modified as your wish\r\n======================\r\nFor more details, read the "
     "manual"},
    {654422, "File is missing"},
    {766334, "Save changes to current project?"},
    {766554, "Error"},
    {2929222, "Count"},
    {7763437, "You have not load any images for cells"},
    {9864234, "Caution"},
    {73247234, "Cell Aspect Ratio"},
    {87762231, "Photos in highlited library"},
    {93498432, " cell images will be used to create final mosaic."},
    {653456789, "Photo Count"},
    {766324005, "Selected Photo Count"},
    {783247956, "Total"},
};

TEST(LangText, EveryIdGivesItsText) {
  for (const Message& m : kMessages) {
    std::string text;
    LangText(m.Id, text);
    EXPECT_EQ(text, m.Text) << "id " << m.Id;
    EXPECT_EQ(LangText(m.Id), m.Text) << "id " << m.Id;
  }
}

TEST(LangText, KnownIdReplacesWhatTheCallerPassed) {
  std::string text = "previous";
  LangText(90000, text);
  EXPECT_EQ(text, "Confirm");
}

TEST(LangText, UnknownIdLeavesTheTextAlone) {
  for (int id : {0, -1, 1, 8346, 8348, 90001, 100885, INT_MAX, INT_MIN}) {
    std::string empty;
    LangText(id, empty);
    EXPECT_EQ(empty, "") << "id " << id;
    std::string kept = "kept";
    LangText(id, kept);
    EXPECT_EQ(kept, "kept") << "id " << id;
    EXPECT_EQ(LangText(id), "") << "id " << id;
  }
}

std::vector<std::string> SplitCrLf(const std::string& s) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t p; (p = s.find("\r\n", start)) != std::string::npos; start = p + 2)
    lines.push_back(s.substr(start, p - start));
  lines.push_back(s.substr(start));
  return lines;
}

TEST(LangText, ModeDescriptionsBreakIntoLinesWithCrLf) {
  const std::string beginner = LangText(100884), advanced = LangText(100888);
  const auto b = SplitCrLf(beginner), a = SplitCrLf(advanced);
  ASSERT_EQ(b.size(), 5u);
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(b.front(), "-= Beginner Mode =-");
  EXPECT_EQ(a.front(), "-= Advance Mode =-");
  EXPECT_EQ(a[4], "======================");
  EXPECT_EQ(a.back(), "For more details, read the manual");
  // No bare CR or LF besides the pairs.
  for (const auto& lines : {a, b})
    for (const auto& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

}  // namespace
}  // namespace tessaro
