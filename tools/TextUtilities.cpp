#include "tools/TextUtilities.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

std::string trimmed(const std::string& text)
{
    const char* const space = " \t\n\v\f\r";
    const size_t begin = text.find_first_not_of(space);
    return begin == std::string::npos ? "" : text.substr(begin, text.find_last_not_of(space) + 1 - begin);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::vector<std::string> splitAt(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    size_t begin = 0;
    for (;;)
    {
        const size_t end = text.find(separator, begin);
        pieces.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos)
            return pieces;
        begin = end + 1;
    }
}

std::optional<double> parseNumber(const std::string& text)
{
    const std::string clean = trimmed(text);
    // Decimal notation only: strtod would also take hexadecimal numbers, "inf" and "nan".
    if (clean.empty() || clean.find_first_not_of("0123456789+-.eE") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(clean.c_str(), &end);
    if (end != clean.c_str() + clean.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parseHertz(const std::string& text)
{
    std::string body = trimmed(text);
    if (body.size() > 2 && equalsIgnoringCase(body.substr(body.size() - 2), "Hz"))
        body = trimmed(body.substr(0, body.size() - 2));
    double scale = 1.0;
    if (!body.empty() && (body.back() == 'k' || body.back() == 'K'))
    {
        scale = 1000.0;
        body.pop_back();
    }
    const auto number = parseNumber(body);
    if (!number)
        return std::nullopt;
    return *number * scale;
}

std::optional<long long> parseInteger(const std::string& text, long long minimum, long long maximum)
{
    const std::string clean = trimmed(text);
    if (clean.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(clean.c_str(), &end, 10);
    if (end != clean.c_str() + clean.size() || errno == ERANGE || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

std::string quotedList(const std::vector<std::string>& items)
{
    return items.empty() ? "" : fmt::format("\"{}\"", fmt::join(items, "\", \""));
}

std::optional<double> parseSeconds(const std::string& text)
{
    std::string body = trimmed(text);
    // hh:mm:ss.s or mm:ss.s, as players and editors show a time.
    if (body.find(':') != std::string::npos)
    {
        const std::vector<std::string> parts = splitAt(body, ':');
        double seconds = 0.0;
        for (size_t i = 0; i < parts.size(); ++i)
        {
            const auto part = parseNumber(parts[i]);
            const bool last = i + 1 == parts.size();
            if (parts.size() > 3 || !part || *part < 0.0 || (!last && *part != std::floor(*part)) ||
                (i > 0 && *part >= 60.0) || parts[i].find_first_of("eE") != std::string::npos)
                return std::nullopt;
            seconds = seconds * 60.0 + *part;
        }
        return seconds;
    }
    double scale = 1.0;
    if (body.size() > 2 && equalsIgnoringCase(body.substr(body.size() - 2), "ms"))
    {
        scale = 0.001;
        body.resize(body.size() - 2);
    }
    else if (body.size() > 1 && (body.back() == 's' || body.back() == 'S'))
        body.resize(body.size() - 1);
    const auto number = parseNumber(body);
    if (!number || *number < 0.0)
        return std::nullopt;
    return *number * scale;
}

namespace
{

// The length of the valid UTF-8 sequence starting at text[i] (shortest form, no surrogates, at most U+10FFFF);
// 0 when none starts there.
size_t utf8Length(const std::string& text, size_t i)
{
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    const size_t length = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : 2);
    if (i + length > text.size())
        return 0;
    uint32_t code = lead & (0x7Fu >> length); // the lead byte's payload
    for (size_t k = 1; k < length; ++k)
    {
        const unsigned char c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (c & 0x3Fu);
    }
    const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Every string in value as UTF-8, each byte outside a valid sequence taken as the Latin-1 character U+00XX.
void makeUtf8(nlohmann::ordered_json& value)
{
    if (value.is_structured())
    {
        for (nlohmann::ordered_json& element : value)
            makeUtf8(element);
        return;
    }
    if (!value.is_string())
        return;
    const std::string& text = value.get_ref<const std::string&>();
    std::string utf8;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        const size_t length = byte < 0x80 ? 1 : utf8Length(text, i);
        if (length == 0)
        {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
            continue;
        }
        utf8.append(text, i, length);
        i += length - 1;
    }
    value = utf8;
}

} // namespace

std::string jsonText(nlohmann::ordered_json document)
{
    makeUtf8(document);
    // Nothing invalid is left to replace; replacing instead of throwing keeps it so.
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
