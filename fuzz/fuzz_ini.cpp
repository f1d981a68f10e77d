// TMemIniFile: parse, read every key every way, and check that writing and reading
// back keeps every value and reproduces the text.
#include <string>
#include <string_view>

#include "core/inifile.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaro;
  TMemIniFile ini;
  ini.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = ini.GetText();
  TMemIniFile again;
  again.SetText(text);
  for (const std::string& section : ini.ReadSections()) {
    for (const std::string& key : ini.ReadSection(section)) {
      const std::string value = ini.ReadString(section, key, "");
      (void)ini.ReadInteger(section, key, 0);
      (void)ini.ReadFloat(section, key, 0.0);
      if (!ini.ValueExists(section, key)) __builtin_trap();
      if (again.ReadString(section, key, "\x01missing") != value) __builtin_trap();
    }
  }
  // The written text reads back to itself.
  if (again.GetText() != text) __builtin_trap();
  return 0;
}
