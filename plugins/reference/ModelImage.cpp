// The model picture: a handset drawn in code (body, screen, keypad) into a static pixel array.
#include "qpx_plugin.h"

#include <mutex>

namespace {

constexpr int W = 96;
constexpr int H = 200;
uint32_t g_pixels[W * H];
QpxImage g_image = {W, H, W * 4, g_pixels};
std::once_flag g_drawn;

bool InRoundRect(int x, int y, int l, int t, int r, int b, int radius)
{
    if (x < l || x >= r || y < t || y >= b)
        return false;
    const int cx = x < l + radius ? l + radius : (x >= r - radius ? r - radius - 1 : x);
    const int cy = y < t + radius ? t + radius : (y >= b - radius ? b - radius - 1 : y);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

void Draw()
{
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            uint32_t c = 0x00000000; // transparent around the body
            if (InRoundRect(x, y, 2, 2, W - 2, H - 2, 14))
                c = 0xFF3A3F47; // body
            if (InRoundRect(x, y, 4, 4, W - 4, H - 4, 12) && c != 0 && (y < 8 || x < 8))
                c = 0xFF5A616B; // a light edge at the top left
            if (x >= 40 && x < 56 && y >= 12 && y < 15)
                c = 0xFF15171A; // earpiece
            if (InRoundRect(x, y, 12, 22, W - 12, 92, 3))
                c = 0xFF101418; // screen frame
            if (InRoundRect(x, y, 15, 25, W - 15, 89, 2))
                c = y < 34 ? 0xFF2C6FB0 : 0xFF8FC3EA; // screen with its title bar
            if (InRoundRect(x, y, 36, 100, 60, 124, 12))
                c = 0xFFB8BEC6; // navigation key
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 3; ++col)
                    if (InRoundRect(x, y, 14 + col * 24, 134 + row * 14, 30 + col * 24, 144 + row * 14, 4))
                        c = 0xFFD9DDE2; // number keys
            g_pixels[y * W + x] = c;
        }
    }
}

} // namespace

extern "C" QPX_EXPORT const QpxImage* GetModelImage(void)
{
    std::call_once(g_drawn, Draw);
    return &g_image;
}
