// Taking the picture of --screenshot.
#include "win32/screenshot.h"

#include "win32/player_app.h"
#include "win32/player_dlg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr UINT_PTR kScreenshotTimerId = 3; // beside the player's own timers 1 and 2

bool SavePicture(const Picture& picture, const std::string& path, std::string& error) {
    if (picture.width <= 0 || picture.height <= 0) {
        error = "there was no window to take a picture of";
        return false;
    }
    const std::vector<uint8_t> bytes = PictureFileBytes(picture, path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot save the picture to " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        error = "cannot save the picture to " + path + ": " + std::strerror(writeError);
        return false;
    }
    return true;
}

} // namespace

Picture CaptureWindow(HWND window) {
    Picture picture;
    RECT frame;
    if (!GetWindowRect(window, &frame)) {
        return picture;
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    picture.width = frame.right - frame.left;
    picture.height = frame.bottom - frame.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC source = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        DeleteDC(memory);
        ReleaseDC(window, source);
        return Picture{};
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(pixels, pixels + static_cast<size_t>(picture.width) *
                                               static_cast<size_t>(picture.height));
    for (uint32_t& pixel : picture.pixels) {
        pixel &= 0x00FFFFFF; // BGRA in memory is 0x00RRGGBB read as a number
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return picture;
}

void ScheduleScreenshot(CPlayerApp& application, const std::string& path, UINT delayMs,
                        ScreenshotOutcome& outcome) {
    // Stays so when the window closes first: the timer goes with the window and never fires.
    outcome = ScreenshotOutcome{false, "the window closed before the picture was taken"};
    application.beforeRun = [path, delayMs, &outcome](CPlayerDlg& player) {
        player.whenStarted = [delayMs](HWND window) {
            SetTimer(window, kScreenshotTimerId, delayMs, nullptr);
        };
        player.otherTimer = [path, &outcome](HWND window, UINT_PTR id) {
            if (id != kScreenshotTimerId) {
                return;
            }
            KillTimer(window, kScreenshotTimerId);
            outcome.error.clear();
            outcome.saved = SavePicture(CaptureWindow(window), path, outcome.error);
            EndDialog(window, IDOK); // the default OK path: the drives go on as they are
        };
    };
}
