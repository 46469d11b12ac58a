#include "platform/registry/reg_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text_util.h"

namespace platform {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::size_t kHexLineWidth = 76;

class LineCursor {
public:
    explicit LineCursor(std::string_view text) : m_text(text) {}

    // Next line without its end (LF or CR LF); nullopt at the end of the text.
    std::optional<std::string_view> next() {
        if (m_pos >= m_text.size()) {
            return std::nullopt;
        }
        const auto end = m_text.find('\n', m_pos);
        const std::size_t stop = end == std::string_view::npos ? m_text.size() : end;
        std::string_view line = m_text.substr(m_pos, stop - m_pos);
        m_pos = end == std::string_view::npos ? m_text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ++m_number;
        return line;
    }
    std::size_t number() const { return m_number; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_number = 0;
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// Reads a quoted string starting at s[0] == '"'; only \\ and \" are escapes.
// On success `s` is left after the closing quote.
std::optional<std::string> readQuoted(std::string_view& s, std::string& why) {
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
                why = "invalid escape in quoted text";
                return std::nullopt;
            }
            out.push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    why = "quoted text is not closed";
    return std::nullopt;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char l = asciiLower(c);
    if (l >= 'a' && l <= 'f')
        return l - 'a' + 10;
    return -1;
}

std::optional<std::vector<std::byte>> parseHexBytes(std::string_view list, std::string& why) {
    std::vector<std::byte> out;
    list = trim(list);
    if (list.empty()) {
        return out;
    }
    while (true) {
        list = trim(list);
        if (list.size() < 2 || hexDigit(list[0]) < 0 || hexDigit(list[1]) < 0) {
            why = "expected two hex digits";
            return std::nullopt;
        }
        out.push_back(static_cast<std::byte>(hexDigit(list[0]) * 16 + hexDigit(list[1])));
        list.remove_prefix(2);
        list = trim(list);
        if (list.empty()) {
            return out;
        }
        if (list.front() != ',') {
            why = "expected ',' between hex bytes";
            return std::nullopt;
        }
        list.remove_prefix(1);
    }
}

struct ParsedValue {
    bool erase = false;
    RegValue value;
};

std::optional<ParsedValue> parseValueData(std::string name, std::string_view data, std::string& why) {
    ParsedValue out;
    out.value.name = std::move(name);
    if (data == "-") {
        out.erase = true;
        return out;
    }
    if (!data.empty() && data.front() == '"') {
        auto text = readQuoted(data, why);
        if (!text) {
            return std::nullopt;
        }
        if (!trim(data).empty()) {
            why = "unexpected text after the closing quote";
            return std::nullopt;
        }
        out.value = RegValue::string(std::move(out.value.name), *text);
        return out;
    }
    if (data.starts_with("dword:")) {
        const std::string_view digits = data.substr(6);
        std::uint32_t number = 0;
        const auto* first = digits.data();
        const auto* last = digits.data() + digits.size();
        const auto result = std::from_chars(first, last, number, 16);
        if (digits.empty() || digits.size() > 8 || result.ec != std::errc() || result.ptr != last) {
            why = "dword needs one to eight hex digits";
            return std::nullopt;
        }
        out.value = RegValue::dword(std::move(out.value.name), number);
        return out;
    }
    if (data.starts_with("hex")) {
        std::string_view rest = data.substr(3);
        RegType type = RegType::Binary;
        if (!rest.empty() && rest.front() == '(') {
            const auto close = rest.find(')');
            const std::string_view digits = rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
            std::uint32_t number = 0;
            const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
            if (close == std::string_view::npos || digits.empty() || result.ec != std::errc() ||
                result.ptr != digits.data() + digits.size()) {
                why = "bad hex(type)";
                return std::nullopt;
            }
            type = static_cast<RegType>(number);
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            why = "expected ':' after hex";
            return std::nullopt;
        }
        auto bytes = parseHexBytes(rest.substr(1), why);
        if (!bytes) {
            return std::nullopt;
        }
        out.value.type = type;
        out.value.data = std::move(*bytes);
        return out;
    }
    why = "unknown value data";
    return std::nullopt;
}

// Key header "[HKEY_...\path]" or "[-HKEY_...\path]".
struct KeyHeader {
    bool erase = false;
    std::string path;
};

std::optional<KeyHeader> parseKeyHeader(std::string_view line, RegRoot root, std::string& why) {
    if (line.back() != ']') {
        why = "key line does not end with ']'";
        return std::nullopt;
    }
    std::string_view inner = line.substr(1, line.size() - 2);
    KeyHeader out;
    if (!inner.empty() && inner.front() == '-') {
        out.erase = true;
        inner.remove_prefix(1);
    }
    const std::string_view rootText = rootName(root);
    const std::string_view head = inner.substr(0, inner.find('\\'));
    if (!equalsIgnoreCase(head, rootText)) {
        why = "key is not under " + std::string(rootText);
        return std::nullopt;
    }
    auto path = normaliseKeyPath(inner.substr(head.size()));
    if (!path) {
        why = "invalid key path";
        return std::nullopt;
    }
    out.path = std::move(*path);
    return out;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A REG_SZ can be written as quoted text when it is one NUL-terminated line of
// valid UTF-8 without control characters; anything else is written as hex(1).
std::optional<std::string_view> plainText(const RegValue& value) {
    if (value.type != RegType::Sz || value.data.empty() || value.data.back() != std::byte{0}) {
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
    const bool clean = std::none_of(text.begin(), text.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (!clean || !isValidUtf8(text)) {
        return std::nullopt;
    }
    return text;
}

void appendHex(std::string& out, const RegValue& value, std::size_t prefixLength) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t column = prefixLength;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        const auto b = static_cast<unsigned>(value.data[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15u]);
        column += 2;
        if (i + 1 < value.data.size()) {
            out.push_back(',');
            ++column;
            if (column >= kHexLineWidth) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

}  // namespace

std::string RegParseError::toString() const {
    return line == 0 ? reason : "line " + std::to_string(line) + ": " + reason;
}

Expected<Hive, RegParseError> parseRegText(std::span<const std::byte> bytes, RegRoot root) {
    auto fail = [](std::size_t line, std::string reason) {
        return unexpected(RegParseError{line, std::move(reason)});
    };
    if (bytes.size() > kMaxHiveFileBytes) {
        return fail(0, "file is larger than 16 MiB");
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return fail(0, "UTF-16 text is not supported; the file must be UTF-8");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (text.find('\0') != std::string_view::npos) {
        return fail(0, "file holds binary data (NUL bytes)");
    }
    if (!isValidUtf8(text)) {
        return fail(0, "file is not valid UTF-8 text");
    }

    Hive hive(root);
    LineCursor lines(text);
    bool sawHeader = false;
    std::optional<std::string> currentKey;  // nullopt: no key yet, or the key was deleted
    bool inDeletedKey = false;

    while (auto raw = lines.next()) {
        const std::size_t lineNo = lines.number();
        std::string_view line = trim(*raw);
        if (!sawHeader) {
            if (line.empty()) {
                continue;
            }
            if (line != kHeader4 && line != kHeader5) {
                return fail(lineNo, "missing REGEDIT4 header");
            }
            sawHeader = true;
            continue;
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        std::string why;
        if (line.front() == '[') {
            auto header = parseKeyHeader(line, root, why);
            if (!header) {
                return fail(lineNo, why);
            }
            if (header->erase) {
                hive.deleteKeyTree(header->path);
                currentKey.reset();
                inDeletedKey = true;
            } else {
                hive.createKey(header->path);
                currentKey = std::move(header->path);
                inDeletedKey = false;
            }
            continue;
        }

        // A value line, possibly continued by a trailing backslash (hex data).
        std::string joined(line);
        while (!joined.empty() && joined.back() == '\\' && (joined.find("=hex") != std::string::npos)) {
            joined.pop_back();
            auto more = lines.next();
            if (!more) {
                return fail(lines.number(), "hex data continues past the end of the file");
            }
            joined += trim(*more);
        }
        std::string_view rest = joined;
        std::string name;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (rest.front() == '"') {
            auto quoted = readQuoted(rest, why);
            if (!quoted) {
                return fail(lineNo, why);
            }
            name = std::move(*quoted);
        } else {
            return fail(lineNo, "expected a key line or a value line");
        }
        rest = trim(rest);
        if (rest.empty() || rest.front() != '=') {
            return fail(lineNo, "expected '=' after the value name");
        }
        rest = trim(rest.substr(1));
        auto parsed = parseValueData(std::move(name), rest, why);
        if (!parsed) {
            return fail(lineNo, why);
        }
        if (!currentKey) {
            if (inDeletedKey) {
                continue;  // values under a deleted key are ignored, as on import
            }
            return fail(lineNo, "value before the first key");
        }
        auto* key = hive.findKey(*currentKey);
        if (parsed->erase) {
            key->erase(parsed->value.name);
        } else {
            key->set(std::move(parsed->value));
        }
    }
    if (!sawHeader) {
        return fail(0, "file is empty (no REGEDIT4 header)");
    }
    return hive;
}

std::string serializeRegText(const Hive& hive) {
    std::string out(kHeader4);
    out += "\n";
    for (const auto& key : hive.keys()) {
        out += "\n[";
        out += rootName(hive.root());
        if (!key.path().empty()) {
            out += "\\";
            out += key.path();
        }
        out += "]\n";
        for (const auto& value : key.values()) {
            std::string head = value.name.empty() ? "@" : quote(value.name);
            head += "=";
            if (auto text = plainText(value)) {
                out += head + quote(*text);
            } else if (value.type == RegType::Dword && value.data.size() == 4) {
                std::uint32_t number = 0;
                for (int i = 3; i >= 0; --i) {
                    number =
                        (number << 8) | static_cast<std::uint32_t>(value.data[static_cast<std::size_t>(i)]);
                }
                char digits[9];
                static constexpr char kDigits[] = "0123456789abcdef";
                for (int i = 7; i >= 0; --i) {
                    digits[i] = kDigits[number & 15u];
                    number >>= 4;
                }
                digits[8] = '\0';
                out += head + "dword:" + digits;
            } else {
                if (value.type == RegType::Binary) {
                    head += "hex:";
                } else {
                    char type[16];
                    const auto written =
                        std::to_chars(type, type + sizeof type, static_cast<std::uint32_t>(value.type), 16);
                    head += "hex(" + std::string(type, written.ptr) + "):";
                }
                out += head;
                appendHex(out, value, head.size());
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace platform
