// A text in double quotes, as error messages show user input and file names.
#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// Appended in place: GCC 12 warns falsely (-Wrestrict) on "\"" + std::string(s).
inline std::string Quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  q += s;
  q += '"';
  return q;
}

}  // namespace tessaro
