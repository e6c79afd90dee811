#include "framework/ParamText.h"

#include <cctype>
#include <cstring>

#include "framework/IParameter.h"

bool SameText(const char* typed, const char* shown) {
  while (std::isspace(static_cast<unsigned char>(*typed))) ++typed;
  size_t n = std::strlen(typed);
  while (n > 0 && std::isspace(static_cast<unsigned char>(typed[n - 1]))) --n;
  if (std::strlen(shown) != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(typed[i])) != std::tolower(static_cast<unsigned char>(shown[i])))
      return false;
  return true;
}

bool ReadTypedValue(const IParameter& param, const char* text, double* plain) {
  // Hosts show what the display gives ("ON", "OFF"), whatever the case of the stored texts.
  for (int i = 0; i < param.NDisplayTexts(); ++i)
    if (SameText(text, param.DisplayTextAt(i).text)) {
      *plain = param.DisplayTextAt(i).value;
      return true;
    }
  return param.parseFunction && param.parseFunction(text, plain);
}
