#include "winctl.hpp"

#include "platform/handles.hpp"

namespace winctl {

bool writeAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

int cmdScreenshot(const wchar_t* path) {
    HWND main = findMain();
    if (!main) {
        emitError(L"no window");
        return 1;
    }
    RECT r{};
    GetWindowRect(main, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        emitError(L"empty window");
        return 1;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    int rows = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
        emitError(L"GetDIBits failed");
        return 1;
    }
    info.biSizeImage = static_cast<DWORD>(pixels.size());

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    const cv::FileHandle file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        emitError(L"cannot create file");
        return 1;
    }
    bool ok = writeAll(file.get(), &header, sizeof header) && writeAll(file.get(), &info, sizeof info) &&
              writeAll(file.get(), pixels.data(), info.biSizeImage);
    emit(JsonLine().boolean("saved", ok).number("width", width).number("height", height).text());
    return ok ? 0 : 1;
}

}  // namespace winctl
