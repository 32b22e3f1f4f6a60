#include "winctl.hpp"

#include <cstdio>

namespace winctl {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string jsonString(const std::wstring& text) {
    std::string in = utf8(text);
    std::string out = "\"";
    for (unsigned char c : in) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

JsonLine& JsonLine::raw(const char* key, const std::string& value) {
    text_ += text_.empty() ? "{" : ",";
    text_ += "\"";
    text_ += key;
    text_ += "\":";
    text_ += value;
    return *this;
}

JsonLine& JsonLine::rect(const char* key, const RECT& r) {
    return raw(key, "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                        std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top) +
                        "]");
}

void emit(const std::string& line) {
    std::string data = line + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

void emitError(const std::wstring& message) { emit(JsonLine().str("error", message).text()); }

}  // namespace winctl
