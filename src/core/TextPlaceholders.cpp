#include "core/TextPlaceholders.h"

#include <array>
#include <cstdio>
#include <vector>

#include "core/OutputPath.h"
#include "core/ValueText.h"

namespace pixolan::core {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

namespace {

struct TPathPieces {
  std::string Folder, FileName, Extension, BaseName;
};

TPathPieces PiecesOf(const std::string& path) {
  TPathPieces pieces;
  const size_t slash = path.rfind('/');
  pieces.Folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  pieces.FileName = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = pieces.FileName.rfind('.');
  pieces.Extension = dot == std::string::npos ? "" : pieces.FileName.substr(dot + 1);
  pieces.BaseName = dot == std::string::npos ? pieces.FileName : pieces.FileName.substr(0, dot);
  return pieces;
}

std::string Digits(int value, bool twoDigits) {
  char text[16];
  std::snprintf(text, sizeof text, twoDigits ? "%02d" : "%d", value);
  return text;
}

// Characters first..last (1-based, inclusive) of a UTF-8 text; characters, not bytes, so
// that umlauts count once.
std::string Characters(const std::string& text, int64_t first, int64_t last) {
  const int64_t count = last - first + 1;
  first = std::max<int64_t>(first, 1);
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(text.size());
  const int64_t characters = int64_t(starts.size()) - 1;
  if (first > characters) return "";
  const int64_t end = std::min(first - 1 + count, characters);
  return text.substr(starts[size_t(first - 1)], starts[size_t(end)] - starts[size_t(first - 1)]);
}

struct TRangeMatch {
  std::string Text, First, Last;
};

// The matches of prefix + "[0-9]+-[0-9]+%", left to right and not overlapping, as a regular
// expression search finds them.
std::vector<TRangeMatch> RangeMatches(const std::string& text, const std::string& prefix) {
  std::vector<TRangeMatch> matches;
  const auto digits = [&](size_t at) {
    size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return end;
  };
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
    const size_t firstStart = at + prefix.size(), firstEnd = digits(firstStart);
    if (firstEnd == firstStart || firstEnd >= text.size() || text[firstEnd] != '-') continue;
    const size_t lastStart = firstEnd + 1, lastEnd = digits(lastStart);
    if (lastEnd == lastStart || lastEnd >= text.size() || text[lastEnd] != '%') continue;
    matches.push_back({text.substr(at, lastEnd + 1 - at),
                       text.substr(firstStart, firstEnd - firstStart),
                       text.substr(lastStart, lastEnd - lastStart)});
    at = lastEnd;  // the next search starts after this match
  }
  return matches;
}

}  // namespace

std::string ExpandTextPlaceholders(const std::string& text, const std::string& sourcePath,
                                   const TClock& now) {
  if (text.find('%') == std::string::npos) return text;
  const TPathPieces pieces = PiecesOf(sourcePath);
  std::string result = ReplaceAll(text, "%filepath%", sourcePath);
  result = ReplaceAll(result, "%filename%", pieces.FileName);
  result = ReplaceAll(result, "%name%", pieces.BaseName);
  result = ReplaceAll(result, "%path%", pieces.Folder);
  result = ReplaceAll(result, "%ext%", pieces.Extension);

  using TField = std::string (*)(const std::tm&);
  const std::array<std::pair<const char*, TField>, 14> dates{{
      {"%yy%", [](const std::tm& t) { return Digits((t.tm_year + 1900) % 100, true); }},
      {"%yyyy%", [](const std::tm& t) { return Digits(t.tm_year + 1900, false); }},
      {"%mm%", [](const std::tm& t) { return Digits(t.tm_mon + 1, true); }},
      {"%m%", [](const std::tm& t) { return Digits(t.tm_mon + 1, false); }},
      {"%tt%", [](const std::tm& t) { return Digits(t.tm_mday, true); }},
      {"%t%", [](const std::tm& t) { return Digits(t.tm_mday, false); }},
      {"%dd%", [](const std::tm& t) { return Digits(t.tm_mday, true); }},
      {"%d%", [](const std::tm& t) { return Digits(t.tm_mday, false); }},
      {"%hh%", [](const std::tm& t) { return Digits(t.tm_hour, true); }},
      {"%h%", [](const std::tm& t) { return Digits(t.tm_hour, false); }},
      {"%ii%", [](const std::tm& t) { return Digits(t.tm_min, true); }},
      {"%i%", [](const std::tm& t) { return Digits(t.tm_min, false); }},
      {"%ss%", [](const std::tm& t) { return Digits(t.tm_sec, true); }},
      {"%s%", [](const std::tm& t) { return Digits(t.tm_sec, false); }},
  }};
  for (const auto& [placeholder, field] : dates)
    if (result.find(placeholder) != std::string::npos)
      result = ReplaceAll(result, placeholder, field(now()));

  const std::array<std::pair<const char*, const std::string*>, 3> ranges{{
      {"name", &pieces.BaseName},
      {"path", &pieces.Folder},
      {"filepath", &sourcePath},
  }};
  for (const auto& [kind, source] : ranges) {
    const std::string prefix = std::string("%") + kind + ";";
    if (result.find(std::string("%") + kind) == std::string::npos) continue;
    for (const TRangeMatch& match : RangeMatches(result, prefix)) {
      const std::optional<int32_t> first = ParseIntegerText(match.First);
      const std::optional<int32_t> last = ParseIntegerText(match.Last);
      if (!first || !last || *last < *first) continue;
      result = ReplaceAll(result, match.Text, Characters(*source, *first, *last));
    }
  }
  return result;
}

}  // namespace pixolan::core
