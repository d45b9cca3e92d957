#include "app/demo/Tunnel.h"

#include "app/demo/Tuning.h"

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/media/Image.h"

#include <cmath>

int w = 128;
int h = 64;
int texture[256][256];
int distanceTable[256][256];
int angleTable[256][256];

namespace {

const int white = 0xFFFFFF;

}  // namespace

// The texture is a white triangle where distance + angle codes are at most
// 127: q = 128 / (r + c + 1) is at least 1 exactly there.
void buildTunnelTables() {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const int q = 128 / (r + c + 1);
            texture[r][c] = q * 272 > 0 ? white : 0;
        }
    for (int x = 0; x < 128; ++x)
        for (int y = 0; y < 64; ++y) {
            const double dx = x - w * 0.5;
            const double dy = y - h * 0.5;
            const double distance = std::sqrt(dx * dx + dy * dy);
            // The centre itself would divide by zero: it holds 0.
            distanceTable[x][y] = distance == 0.0 ? 0 : static_cast<int>(4096 / distance) % 256;
            angleTable[x][y] = static_cast<int>(std::atan2(dy, dx) * 128.0f / 3.1416);
        }
}

void tunnelTerrorRun() {
    const unsigned t = tarnix::timer.getTime();
    const float a = static_cast<float>(t) / 500 * tuned("tunnel:speed", t, 1);
    const int shiftDistance = static_cast<int>(256 * a);
    const int shiftAngle = static_cast<int>(89.6f * a);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, tarnix::image.getTexture("particle2.png")->id);
    tarnix::pointSize(2);
    glBegin(GL_POINTS);
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y) {
                // Low 8 bits: negative sums wrap into 0..255.
                const int value = texture[(distanceTable[x][y] + shiftDistance) & 0xFF]
                                         [(angleTable[x][y] + shiftAngle) & 0xFF];
                const float level = static_cast<float>(value);  // 0, or far above 1: clamped to white
                glColor3f(level, level, level);
                glVertex3f(x * 0.2f - 12, y * 0.2f - 6.5f, -20);
            }
    glEnd();
    glDisable(GL_BLEND);
}
