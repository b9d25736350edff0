// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/panel_options.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "settings/settings_file.h"

namespace sonlet {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trimmed(const std::string& text, size_t from) {
  size_t begin = from;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

std::string PanelOptionsPathBeside(const std::string& profile_path) {
  const size_t slash = profile_path.rfind('/');
  if (slash == std::string::npos) return kPanelOptionsFileName;
  return profile_path.substr(0, slash + 1) + kPanelOptionsFileName;
}

std::string PanelOptions::Read(const std::string& path) {
  lines_.clear();
  unread_error_ = 0;
  std::string contents;
  const int error = ReadSettingsFile(path, &contents);
  if (error == ENOENT) return "";
  if (error != 0) {
    // Whatever the file holds was not read, and a save would put the defaults in its place.
    unread_error_ = error;
    return "cannot read the options file '" + path + "': " + FileErrorText(error);
  }
  size_t begin = 0;
  while (begin < contents.size()) {
    size_t end = contents.find('\n', begin);
    if (end == std::string::npos) end = contents.size();
    std::string text = contents.substr(begin, end - begin);
    begin = end + 1;
    const std::string line = Trimmed(text, 0);
    if (line.empty() || line[0] == '#') {
      if (!text.empty() && text.back() == '\r') text.pop_back();
      lines_.push_back({"", "", text});
      continue;
    }
    size_t key_end = 0;
    while (key_end < line.size() && !IsBlank(line[key_end])) ++key_end;
    lines_.push_back({line.substr(0, key_end), Trimmed(line, key_end), ""});
  }
  return "";
}

int PanelOptions::Write(const std::string& path) const {
  if (unread_error_ != 0) return unread_error_;
  return ReplaceSettingsFile(path, Text());
}

std::string PanelOptions::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.key.empty() ? line.text : line.key + " " + line.value;
    text += '\n';
  }
  return text;
}

bool PanelOptions::Get(const OnOffOption& option) const {
  const std::string* value = Find(option.key);
  if (value == nullptr || (*value != "0" && *value != "1")) return option.fallback;
  return *value == "1";
}

int32_t PanelOptions::Get(const NumberOption& option) const {
  const std::string* value = Find(option.key);
  if (value == nullptr) return option.fallback;
  int32_t number = 0;
  const char* end = value->data() + value->size();
  const auto [stop, error] = std::from_chars(value->data(), end, number);
  if (error != std::errc() || stop != end || number < option.lowest || number > option.highest) {
    return option.fallback;
  }
  return number;
}

void PanelOptions::Set(const OnOffOption& option, bool on) { Put(option.key, on ? "1" : "0"); }

void PanelOptions::Set(const NumberOption& option, int32_t value) {
  Put(option.key, std::to_string(value));
}

const std::string* PanelOptions::Find(const std::string& key) const {
  for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
    if (line->key == key) return &line->value;
  }
  return nullptr;
}

void PanelOptions::Put(const std::string& key, const std::string& value) {
  // The line that was read as the option's value takes the new one; earlier lines of the same
  // key would only mislead someone reading the file, and go.
  size_t last = lines_.size();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].key == key) last = i;
  }
  if (last == lines_.size()) {
    lines_.push_back({key, value, ""});
    return;
  }
  lines_[last].value = value;
  std::vector<Line> kept;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].key != key || i == last) kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
}

}  // namespace sonlet
