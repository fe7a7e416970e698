#pragma once
// Output conventions of gdr: UTF-8 text, result codes as 0x and 8 upper-case hex digits followed by
// their text in parentheses, floats that read back to the same float32.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "contract/ResultCodes.h"
#include "platform/Conversions.h"
#include "platform/WinTypes.h"

// The shortest text that reads back to the same float32.
std::string FloatText(float value);
// A float32 as the JSON number that reads back to it.
double JsonFloat(float value);
// The data or marker file that a header names (UTF-8) when the ANSI code page cannot hold its name;
// empty when there is none or the header does not load so far.
std::string NamedFileBeyondAnsi(const std::string& header);
// Text from a recording or a store made harmless for a terminal: the controls U+0000-U+001F, U+007F
// and U+0080-U+009F of UTF-8 text as \xHH. In JSON text as \u00HH; there only U+007F and
// U+0080-U+009F are touched, as the JSON writer escapes the others inside strings itself and the line
// breaks outside strings are the layout's.
enum class Escapes { text, json };
std::string EscapeControls(std::string_view utf8, Escapes style = Escapes::text);
// Text of several lines (a comment) escaped line by line; its line breaks (LF or CR LF) stay, as LF.
std::string EscapeLines(std::string_view utf8);
// A CSV cell that a spreadsheet takes as text, never as a formula: controls escaped, a cell beginning
// with =, +, -, @, TAB or CR prefixed with ', and quoted when it holds a comma or a quote.
std::string CsvCell(std::string_view utf8);
// JSON written in pieces, laid out as dump(2) lays it out, so that a long array never has to be held
// whole. JsonMembers: the object at nesting depth `depth`, open for more members (its closing brace
// left out). WriteJsonArray: an array at that depth, its elements made and written one at a time.
// Both escape controls as EscapeControls does for JSON.
std::string JsonMembers(const nlohmann::json& object, int depth);
void WriteJsonArray(std::FILE* out, std::size_t size, const std::function<nlohmann::json(std::size_t)>& element,
                    int depth);
// One line on stderr: "gdr: " and the text, with its controls escaped.
void Complain(const std::string& text);

// A progress bar on stderr when it is a terminal: Update(done) of `total`. The line it drew ends when
// it goes.
class Progress {
 public:
  explicit Progress(std::int64_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Update(std::int64_t done) const;

 private:
  std::int64_t m_Total;
  bool m_Shown;
  mutable bool m_Drawn = false;
};
