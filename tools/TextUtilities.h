#pragma once
// Small text helpers shared by the command-line parsing and the reports.

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

/// text without leading and trailing white space.
std::string trimmed(const std::string& text);
/// True when a and b are equal, ignoring ASCII case.
bool equalsIgnoringCase(const std::string& a, const std::string& b);
/// The pieces of text between the separators (empty pieces kept).
std::vector<std::string> splitAt(const std::string& text, char separator);
/// The whole text as a finite number (white space around it allowed); nothing otherwise.
std::optional<double> parseNumber(const std::string& text);
/// The whole text as an integer within [minimum, maximum]; nothing otherwise.
std::optional<long long> parseInteger(const std::string& text, long long minimum, long long maximum);
/// A frequency in Hz from "44100", "44.1k" or "44.1kHz"; nothing otherwise.
std::optional<double> parseHertz(const std::string& text);
/// A time in seconds from "8s", "8" (seconds), "250ms", "1:30" or "0:01:30.5", not negative; nothing otherwise.
std::optional<double> parseSeconds(const std::string& text);
/// The items, each in double quotes, separated by ", ".
std::string quotedList(const std::vector<std::string>& items);
/// The document as JSON text, indented by two spaces, with a final line break. Its strings are made UTF-8 first:
/// UTF-8 as it is, and each byte that is not part of valid UTF-8 read as Latin-1 (a file name from an older system
/// keeps its letters), so that writing never fails.
std::string jsonText(nlohmann::ordered_json document);
