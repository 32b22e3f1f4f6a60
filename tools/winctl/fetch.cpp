#include "winctl.hpp"

#include <winhttp.h>

#include "net/winhttp_handle.hpp"

namespace winctl {

// One HTTPS request the way the shell makes them (no redirects followed), for
// checking the test servers and the prefix's trust store from inside Wine.
int cmdFetch(const wchar_t* url, const wchar_t* body) {
    JsonLine line;
    auto failed = [&](const wchar_t* step) {
        line.str("failedAt", step).number("win32Error", GetLastError());
        emit(line.text());
        return 1;
    };
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url, 0, 0, &parts)) return failed(L"crack");
    std::wstring hostName(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const cv::WinHttpHandle session(
        WinHttpOpen(L"winctl/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
    if (!session) return failed(L"open");
    WinHttpSetTimeouts(session.get(), 5000, 5000, 10000, 10000);
    const cv::WinHttpHandle connection(WinHttpConnect(session.get(), hostName.c_str(), parts.nPort, 0));
    const cv::WinHttpHandle opened(
        connection ? WinHttpOpenRequest(connection.get(), body ? L"POST" : L"GET", object.c_str(),
                                        nullptr, nullptr, nullptr,
                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                   : nullptr);
    const HINTERNET request = opened.get();
    int result = 0;
    if (!request) {
        result = failed(L"connect");
    } else {
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
        std::string payload = body ? utf8(body) : std::string();
        if (!WinHttpSendRequest(request, L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                                payload.empty() ? nullptr : payload.data(),
                                static_cast<DWORD>(payload.size()), static_cast<DWORD>(payload.size()), 0)) {
            result = failed(L"send");
        } else if (!WinHttpReceiveResponse(request, nullptr)) {
            result = failed(L"receive");
        } else {
            DWORD status = 0, size = sizeof status;
            WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr,
                                &status, &size, nullptr);
            line.number("status", status);
            std::string data;
            std::vector<char> buffer(65536);
            DWORD got = 0;
            bool readOk = true;
            for (;;) {
                if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
                    readOk = false;
                    line.number("readError", GetLastError());
                    break;
                }
                if (got == 0) break;
                data.append(buffer.data(), got);
            }
            line.boolean("complete", readOk).number("bytes", static_cast<long long>(data.size()));
            std::wstring head;
            if (data.size() <= 4096) {
                int n = MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
                head.resize(static_cast<size_t>(n));
                MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), head.data(), n);
                line.str("body", head);
            }
            emit(line.text());
        }
    }
    return result;
}

}  // namespace winctl
