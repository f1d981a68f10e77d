// ULang: the fixed table of numbered English messages shown by message boxes and
// labels. There is one language and no file; ids are arbitrary 32-bit numbers.
#pragma once

#include <string>

namespace tessaro {

// Sets text to the message of id. An id not in the table leaves text as it was.
void LangText(int id, std::string& text);

// The message of id, or an empty string for an id not in the table.
std::string LangText(int id);

}  // namespace tessaro
