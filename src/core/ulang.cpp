#include "core/ulang.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace tessaro {

namespace {

struct TLangEntry {
  int Id;
  std::string_view Text;
};

// Sorted by id. The wording, spelling included, is what users and the manual know;
// do not correct it.
constexpr TLangEntry kLangTable[] = {
    {8347, "Start New Mosaic Project?"},
    {8827, "This is not a Tessaro project"},
    {50000, "Do you want load pictures in sub directory?"},
    {90000, "Confirm"},
    {100884,
     "-= Beginner Mode =-\r\n"
     "Very easy to use, click a few buttons to get your photomosaic done.\r\n"
     "Standard Paper Size and Resolution for your choice\r\n"
     "We already set render parameters to most popular values to get fair quality.\r\n"
     "However, many advanced fuctions are disabled in this mode"},
    {100888,
     "-= Advance Mode =-\r\n"
     "More user defined parameters, you may need more practice to get better output quality\r\n"
     "Custom Paper Size and Resolution allowed\r\n"
     "Render parameters can be modified as your wish\r\n"
     "======================\r\n"
     "For more details, read the manual"},
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

constexpr bool SortedById() {
  for (std::size_t i = 1; i < std::size(kLangTable); ++i)
    if (kLangTable[i - 1].Id >= kLangTable[i].Id) return false;
  return true;
}
static_assert(SortedById(), "the lookup is a binary search");

}  // namespace

void LangText(int id, std::string& text) {
  const auto* end = std::end(kLangTable);
  const auto* it = std::lower_bound(std::begin(kLangTable), end, id,
                                    [](const TLangEntry& e, int v) { return e.Id < v; });
  if (it != end && it->Id == id) text.assign(it->Text);
}

std::string LangText(int id) {
  std::string text;
  LangText(id, text);
  return text;
}

}  // namespace tessaro
