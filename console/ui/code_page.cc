#include "console/ui/code_page.h"

#include <cstdio>

#include <cstdint>

#include "platform/code_page.h"

namespace helmsman::ui {

namespace {

char32_t CharOf(unsigned char byte) { return platform::CharOfCodePageByte(byte); }

char ByteOf(char32_t c) { return platform::CodePageByteOf(c); }

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {  // the table holds nothing beyond the Basic Multilingual Plane
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the sequence at text[*pos] and advances past it. A malformed sequence yields
// nothing and advances by one byte, so the caller replaces each bad byte on its own.
bool DecodeUtf8(std::string_view text, size_t* pos, char32_t* c) {
  const auto lead = static_cast<unsigned char>(text[*pos]);
  int length;
  char32_t value;
  if (lead < 0x80) {
    *c = lead;
    ++*pos;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    ++*pos;
    return false;
  }
  if (text.size() - *pos < static_cast<size_t>(length)) {
    ++*pos;
    return false;
  }
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[*pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++*pos;
      return false;
    }
    value = (value << 6) | (next & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (overlong || surrogate || value > 0x10FFFF) {
    ++*pos;
    return false;
  }
  *c = value;
  *pos += length;
  return true;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char byte : text) AppendUtf8(CharOf(static_cast<unsigned char>(byte)), out);
  return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c;
    out += DecodeUtf8(text, &pos, &c) ? ByteOf(c) : '?';
  }
  return out;
}

std::string JsonText(std::string_view text) {
  const std::string utf8 = Windows1252ToUtf8(text);
  std::string out = "\"";
  for (const char c : utf8) {
    const unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace helmsman::ui
