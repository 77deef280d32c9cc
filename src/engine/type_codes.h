// The "E" (grid) and "G" (geographic) type codes of TRGU and the datum chain.
#pragma once

namespace nuvex::engine {

inline constexpr char kGridCode = 'E';
inline constexpr char kGeographicCode = 'G';

// The text is the one-letter code followed by nothing but blanks (case respected; a null pointer
// is no code at all).
inline bool isTypeCode(const char* text, char code) {
  if (text == nullptr || text[0] != code) return false;
  for (const char* rest = text + 1; *rest != '\0'; ++rest) {
    if (*rest != ' ') return false;
  }
  return true;
}

inline bool isGridType(const char* text) {
  return isTypeCode(text, kGridCode);
}
inline bool isGeographicType(const char* text) {
  return isTypeCode(text, kGeographicCode);
}

}  // namespace nuvex::engine
