#include "app/HtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>


namespace {

std::string LowerName(std::string_view tag) {
  std::string name;
  for (const char c : tag) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '/') break;
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

std::string Entity(std::string_view name) {
  if (name == "amp") return "&";
  if (name == "lt") return "<";
  if (name == "gt") return ">";
  if (name == "quot") return "\"";
  if (name == "apos") return "'";
  if (name == "nbsp") return " ";
  if (!name.empty() && name[0] == '#') {
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    unsigned long code = std::strtoul(std::string(name.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10);
    std::string utf8;
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    return utf8;
  }
  return "&" + std::string(name) + ";";
}

}  // namespace

std::string HtmlText::ToPlain(std::string_view html) {
  std::string out;
  bool pre = false, skip = false, space = false;
  std::size_t headingStart = std::string::npos;
  const auto newline = [&](int count) {
    while (!out.empty() && out.back() == ' ') out.pop_back();
    int have = 0;
    for (std::size_t i = out.size(); i >= 2 && out.compare(i - 2, 2, "\r\n") == 0 && have < count; i -= 2) ++have;
    if (out.empty()) return;
    for (; have < count; ++have) out += "\r\n";
    space = false;
  };
  for (std::size_t at = 0; at < html.size();) {
    const char c = html[at];
    if (c == '<') {
      const std::size_t end = html.find('>', at);
      if (end == std::string_view::npos) break;
      const std::string name = LowerName(html.substr(at + 1, end - at - 1));
      at = end + 1;
      if (name == "head" || name == "style" || name == "script") skip = true;
      else if (name == "/head" || name == "/style" || name == "/script") skip = false;
      else if (name == "pre") pre = true, newline(2);
      else if (name == "/pre") pre = false, newline(2);
      else if (name == "p" || name == "ul" || name == "table" || name == "/p" || name == "/ul" || name == "/table")
        newline(2);
      else if (name == "br" || name == "tr") newline(1);
      else if (name == "li") newline(1), out += "  \xE2\x80\xA2 ";
      else if (name == "td" || name == "th") {
        if (!out.empty() && out.back() != '\n') out += '\t';
        space = false;
      } else if (name.size() == 2 && name[0] == 'h' && std::isdigit(static_cast<unsigned char>(name[1])) != 0) {
        newline(2);
        headingStart = out.size();
      } else if (name.size() == 3 && name[0] == '/' && name[1] == 'h' && headingStart != std::string::npos) {
        // Underlined by as many dashes as the heading has characters.
        std::size_t characters = 0;
        for (std::size_t i = headingStart; i < out.size(); ++i)
          characters += (static_cast<unsigned char>(out[i]) & 0xC0) != 0x80;
        out += "\r\n" + std::string(characters, '-');
        headingStart = std::string::npos;
        newline(2);
      }
      continue;
    }
    ++at;
    if (skip) continue;
    std::string text(1, c);
    if (c == '&') {
      const std::size_t end = html.find(';', at);
      if (end != std::string_view::npos && end - at < 10) {
        text = Entity(html.substr(at, end - at));
        at = end + 1;
      }
    }
    if (pre) {
      if (text == "\n") {
        out += "\r\n";
      } else if (text != "\r") {
        out += text;
      }
      continue;
    }
    if (text == " " || text == "\n" || text == "\r" || text == "\t") {
      space = !out.empty() && out.back() != '\n' && out.back() != '\t';
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += text;
  }
  newline(1);
  return out;
}
