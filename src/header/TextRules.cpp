#include "header/TextRules.h"

#include <algorithm>

std::string UnescapeCommas(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '1') {
      text += ',';
      ++i;
    } else {
      text += field[i];
    }
  }
  return text;
}

bool IsWhiteSpace(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

namespace {

template <typename View>
View TrimView(View text) {
  while (!text.empty() && IsWhiteSpace(char32_t(text.front()))) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(char32_t(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string_view Trim(std::string_view text) { return TrimView(text); }
WideStringView Trim(WideStringView text) { return TrimView(text); }

std::vector<std::string_view> SplitFields(std::string_view text, char separator, std::size_t maxFields) {
  std::vector<std::string_view> fields;
  while (fields.size() < maxFields) {
    const std::size_t end = text.find(separator);
    fields.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return fields;
}

std::size_t CountFields(std::string_view text, char separator) {
  return std::size_t(std::count(text.begin(), text.end(), separator)) + 1;
}
