// How a name or path is shown in a report line.
#pragma once

#include <string>
#include <string_view>

namespace vorlex {

// True for the bytes that would break a line apart or move the cursor when
// shown: 0x00-0x1F and 0x7F.
inline bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// Appends `text` to `out` with each control byte shown as "?", so a file name
// cannot split or forge a report line. Every other byte is kept as it is.
inline void AppendShown(std::string& out, std::string_view text) {
  std::size_t start = out.size();
  out.append(text);
  for (std::size_t i = start; i < out.size(); ++i) {
    if (IsControlByte(static_cast<unsigned char>(out[i]))) out[i] = '?';
  }
}

// Copies `text` to `out` (which has room for text.size() bytes), each control
// byte shown as "?"; returns the end of what was written.
inline char* CopyShown(char* out, std::string_view text) {
  for (char c : text) *out++ = IsControlByte(static_cast<unsigned char>(c)) ? '?' : c;
  return out;
}

}  // namespace vorlex
