// Paints the default background: dark volcanic rock, cracks and a glow below
// the emitter. Writes a 1024 x 255 24-bit BMP to the path given.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

static const int width = 1024, height = 255;

static double hash(int x, int y)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xffff) / 65535.0;
}

// Smooth value noise, a few octaves: the grain of the rock.
static double noise(double x, double y)
{
    double sum = 0, amp = 1, norm = 0;
    for (int octave = 0; octave < 5; ++octave) {
        int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        double fx = x - x0, fy = y - y0;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        double top = hash(x0, y0) + (hash(x0 + 1, y0) - hash(x0, y0)) * fx;
        double bottom = hash(x0, y0 + 1) + (hash(x0 + 1, y0 + 1) - hash(x0, y0 + 1)) * fx;
        sum += amp * (top + (bottom - top) * fy);
        norm += amp;
        amp *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / norm;
}

static uint8_t clamp_byte(double v)
{
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

static void put16(std::vector<uint8_t> &out, unsigned v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

static void put32(std::vector<uint8_t> &out, unsigned v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "käyttö: %s tiedosto.bmp\n", argv[0]);
        return 2;
    }
    const unsigned row_bytes = width * 3;  // already a multiple of four
    const unsigned image_bytes = row_bytes * height;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + image_bytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, image_bytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);

    const double vent_x = 588, vent_y = 8;  // the emitter, 8 rows into the band
    for (int row = height - 1; row >= 0; --row) {  // BMP rows run bottom-up
        for (int col = 0; col < width; ++col) {
            double rock = noise(col / 48.0, row / 24.0);
            double crack = std::fabs(noise(col / 90.0 + 17, row / 30.0 + 5) - 0.5);
            double lava = crack < 0.018 ? 1 - crack / 0.018 : 0;
            double dx = (col - vent_x) / 260, dy = (row - vent_y) / 120;
            double glow = std::exp(-(dx * dx + dy * dy)) * (1 - row / double(height) * 0.6);
            double shade = 18 + 40 * rock;
            double r = shade + 190 * glow + 200 * lava * (0.4 + glow);
            double g = shade * 0.8 + 70 * glow * glow + 90 * lava * (0.3 + glow);
            double b = shade * 0.75 + 10 * glow;
            out.push_back(clamp_byte(b));
            out.push_back(clamp_byte(g));
            out.push_back(clamp_byte(r));
        }
    }

    FILE *f = fopen(argv[1], "wb");
    if (!f || fwrite(out.data(), 1, out.size(), f) != out.size() || fclose(f) != 0) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
