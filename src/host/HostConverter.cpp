#include <chrono>
#include <cmath>
#include <cstring>
#include <string_view>

#include "host/HostToolbox.h"
#include "platform/AsciiCase.h"
#include "platform/ComRuntime.h"

namespace {

// Day 0 of OLE automation dates.
constexpr std::chrono::sys_days kOleEpoch{std::chrono::year{1899} / std::chrono::December / 30};

struct Position {
  std::string_view label;
  float radius, theta, phi;
};

// The standard 10-20 positions on the unit sphere: theta from the vertex (negative on the left),
// phi from the right-left axis towards the nose.
constexpr Position kPositions[] = {
    {"Fp1", 1, -90, -72}, {"Fpz", 1, 90, 90}, {"Fp2", 1, 90, 72}, {"F7", 1, -90, -36}, {"F3", 1, -60, -51},
    {"Fz", 1, 45, 90},    {"F4", 1, 60, 51},  {"F8", 1, 90, 36},  {"T7", 1, -90, 0},   {"C3", 1, -45, 0},
    {"Cz", 1, 0, 0},      {"C4", 1, 45, 0},   {"T8", 1, 90, 0},   {"P7", 1, -90, 36},  {"P3", 1, -60, 51},
    {"Pz", 1, 45, -90},   {"P4", 1, 60, -51}, {"P8", 1, 90, -36}, {"O1", 1, -90, 72},  {"Oz", 1, 90, -90},
    {"O2", 1, 90, -72},   {"T3", 1, -90, 0},  {"T4", 1, 90, 0},   {"T5", 1, -90, 36},  {"T6", 1, 90, -36},
};

}  // namespace

HRESULT HostConverter::ValueToDate(double value, LONG* year, LONG* month, LONG* day) {
  if (!year || !month || !day) return E_POINTER;
  if (!std::isfinite(value) || std::fabs(value) > 3e6) return E_INVALIDARG;
  const std::chrono::year_month_day date{kOleEpoch + std::chrono::days{long(std::trunc(value))}};
  *year = LONG(int(date.year())), *month = LONG(unsigned(date.month())), *day = LONG(unsigned(date.day()));
  return S_OK;
}

HRESULT HostConverter::DateToValue(LONG year, LONG month, LONG day, LONG hour, LONG minute, LONG second,
                                   LONG microsecond, double* value) {
  if (!value) return E_POINTER;
  // The ranges first, so that the calendar types are only built from values they hold.
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59 || microsecond < 0 || microsecond > 999999)
    return E_INVALIDARG;
  const std::chrono::year_month_day date{std::chrono::year{int(year)}, std::chrono::month{unsigned(month)},
                                         std::chrono::day{unsigned(day)}};
  if (!date.ok()) return E_INVALIDARG;
  const double days = double((std::chrono::sys_days{date} - kOleEpoch).count());
  const double fraction = ((hour * 60.0 + minute) * 60.0 + second + microsecond / 1e6) / 86400.0;
  // Before the epoch the whole days count down while the time of day still counts up.
  *value = days >= 0 ? days + fraction : days - fraction;
  return S_OK;
}

HRESULT HostConverter::LookupCoordinates(const char* label, float coordinates[3]) {
  if (!label || !coordinates) return E_POINTER;
  coordinates[0] = coordinates[1] = coordinates[2] = 0.0f;
  for (const Position& position : kPositions) {
    if (EqualsNoCase(position.label, label)) {
      coordinates[0] = position.radius;
      coordinates[1] = position.theta;
      coordinates[2] = position.phi;
      break;
    }
  }
  return S_OK;
}

HRESULT HostConverter::ConvertLabel(const char* label, char** converted) {
  if (!label || !converted) return E_POINTER;
  const std::size_t size = std::strlen(label) + 1;
  *converted = static_cast<char*>(CoTaskMemAlloc(size));
  if (!*converted) return E_OUTOFMEMORY;
  std::memcpy(*converted, label, size);
  return S_OK;
}

std::optional<std::chrono::sys_time<std::chrono::microseconds>> OleDateToTime(double value) {
  // The years 100 to 9999, as DateToValue takes them.
  if (!std::isfinite(value) || value < -657435.0 || value >= 2958466.0) return std::nullopt;
  // The whole days count from the epoch; the time of day counts up from midnight on either side of it.
  const double days = std::trunc(value);
  const auto time = std::chrono::microseconds{std::llround(std::fabs(value - days) * 86400e6)};
  return kOleEpoch + std::chrono::days{long(days)} + time;
}
