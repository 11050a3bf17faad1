// make_sample: writes a synthetic game folder with two face archives and
// their palettes, so the tools can be tried without any real game data.
//
//   make_sample <folder>
//
// Creates <folder>/SAN7/kaodata.s7 + p_kao.s7 and <folder>/SAN6/kaodata.s6 +
// palette.s6. Every portrait is drawn from scratch; the output is the same
// byte for byte on every run.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 120;
constexpr int kCellSize = kWidth * kHeight; // 11520 bytes per face

using Face = std::array<std::array<std::uint8_t, kWidth>, kHeight>;

// ---------------------------------------------------------------------------
// Palette layout. Most colours come as ramps of 8 shades, dark to light.

constexpr int kShades = 8;

constexpr int kBlack = 0;
constexpr int kWhite = 1;
constexpr int kEyeWhite = 2;
constexpr int kIris = 3;
constexpr int kPupil = 4;
constexpr int kLipDark = 5;
constexpr int kLip = 6;
constexpr int kMouth = 7;
constexpr int kTextYellow = 8;
constexpr int kBoxDark = 9;
constexpr int kBlush = 10;

constexpr int kBackgroundBase = 16; // 8 ramps
constexpr int kBackgroundRamps = 8;
constexpr int kSkinBase = 80; // 6 ramps
constexpr int kSkinRamps = 6;
constexpr int kHairBase = 128; // 5 ramps
constexpr int kHairRamps = 5;
constexpr int kClothBase = 168; // 10 ramps
constexpr int kClothRamps = 10;

enum Hair { HairBlack, HairDarkBrown, HairBrown, HairGrey, HairWhite };
enum Cloth {
    ClothRed,
    ClothBlue,
    ClothGreen,
    ClothGold,
    ClothPurple,
    ClothTeal,
    ClothBrown,
    ClothSteel,
    ClothLacquer,
    ClothIvory
};

struct Rgb {
    int r, g, b;
};

int ramp(int base, int which, int shade) {
    return base + which * kShades + std::clamp(shade, 0, kShades - 1);
}

// Shade 0 is deep shadow, shade 5 the plain colour, 6..7 highlights.
Rgb shade_of(Rgb c, int shade) {
    if (shade <= 5) {
        double k = 0.30 + 0.70 * shade / 5.0;
        return {static_cast<int>(c.r * k), static_cast<int>(c.g * k), static_cast<int>(c.b * k)};
    }
    double t = (shade - 5) * 0.22;
    return {static_cast<int>(c.r + (255 - c.r) * t), static_cast<int>(c.g + (255 - c.g) * t),
            static_cast<int>(c.b + (255 - c.b) * t)};
}

// The two games get different backdrops so the samples are easy to tell apart.
std::array<Rgb, 256> make_palette(bool san6) {
    std::array<Rgb, 256> pal{};
    pal[kBlack] = {0, 0, 0};
    pal[kWhite] = {255, 255, 255};
    pal[kEyeWhite] = {236, 232, 220};
    pal[kIris] = {70, 42, 24};
    pal[kPupil] = {12, 8, 6};
    pal[kLipDark] = {120, 40, 36};
    pal[kLip] = {178, 86, 76};
    pal[kMouth] = {60, 14, 14};
    pal[kTextYellow] = {255, 236, 64};
    pal[kBoxDark] = {16, 16, 24};
    pal[kBlush] = {220, 140, 120};

    const std::array<Rgb, kBackgroundRamps> bg7 = {{{60, 90, 170},
                                                    {40, 130, 140},
                                                    {110, 90, 150},
                                                    {130, 130, 70},
                                                    {150, 70, 60},
                                                    {90, 110, 130},
                                                    {50, 120, 70},
                                                    {170, 130, 60}}};
    const std::array<Rgb, kBackgroundRamps> bg6 = {{{150, 110, 70},
                                                    {170, 90, 50},
                                                    {160, 100, 110},
                                                    {120, 120, 90},
                                                    {140, 130, 100},
                                                    {110, 80, 60},
                                                    {180, 150, 90},
                                                    {130, 90, 90}}};
    const std::array<Rgb, kSkinRamps> skin = {{{250, 214, 180},
                                               {236, 196, 156},
                                               {222, 178, 136},
                                               {206, 160, 118},
                                               {184, 136, 96},
                                               {160, 112, 78}}};
    const std::array<Rgb, kHairRamps> hair = {
        {{40, 36, 40}, {80, 52, 34}, {120, 82, 50}, {150, 150, 150}, {226, 226, 222}}};
    const std::array<Rgb, kClothRamps> cloth = {{{190, 40, 40},
                                                 {50, 80, 190},
                                                 {50, 150, 60},
                                                 {220, 180, 50},
                                                 {130, 60, 170},
                                                 {40, 150, 150},
                                                 {140, 90, 50},
                                                 {160, 170, 185},
                                                 {44, 40, 48},
                                                 {230, 224, 200}}};

    const auto& bg = san6 ? bg6 : bg7;
    for (int s = 0; s < kShades; ++s) {
        for (int i = 0; i < kBackgroundRamps; ++i) {
            pal[static_cast<std::size_t>(ramp(kBackgroundBase, i, s))] =
                shade_of(bg[static_cast<std::size_t>(i)], s);
        }
        for (int i = 0; i < kSkinRamps; ++i) {
            pal[static_cast<std::size_t>(ramp(kSkinBase, i, s))] =
                shade_of(skin[static_cast<std::size_t>(i)], s);
        }
        for (int i = 0; i < kHairRamps; ++i) {
            pal[static_cast<std::size_t>(ramp(kHairBase, i, s))] =
                shade_of(hair[static_cast<std::size_t>(i)], s);
        }
        for (int i = 0; i < kClothRamps; ++i) {
            pal[static_cast<std::size_t>(ramp(kClothBase, i, s))] =
                shade_of(cloth[static_cast<std::size_t>(i)], s);
        }
    }
    return pal;
}

// ---------------------------------------------------------------------------
// Small deterministic random generator (xorshift32).

class Rng {
  public:
    explicit Rng(std::uint32_t seed) : state_(seed == 0 ? 0x12345678u : seed) {
        for (int i = 0; i < 4; ++i) {
            next();
        }
    }
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform integer in [lo, hi].
    int range(int lo, int hi) {
        auto span = static_cast<std::uint32_t>(hi - lo + 1);
        return lo + static_cast<int>(next() % span);
    }
    bool chance(int percent) {
        return range(0, 99) < percent;
    }

  private:
    std::uint32_t state_;
};

// ---------------------------------------------------------------------------
// Drawing primitives. Everything clips to the cell.

void put(Face& f, int x, int y, int colour) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) {
        f[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(colour);
    }
}

void fill_rect(Face& f, int x0, int y0, int x1, int y1, int colour) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            put(f, x, y, colour);
        }
    }
}

// Inclusive pixel rectangle that bounds a shape.
struct Box {
    int x0, y0, x1, y1;
};

constexpr Box kWhole = {0, 0, kWidth - 1, kHeight - 1};

Box around(double cx, double cy, double rx, double ry) {
    return {static_cast<int>(std::floor(cx - rx)) - 1, static_cast<int>(std::floor(cy - ry)) - 1,
            static_cast<int>(std::ceil(cx + rx)) + 1, static_cast<int>(std::ceil(cy + ry)) + 1};
}

// Fills every pixel of the box where inside(x, y) holds with colour(x, y).
template <class Inside, class Colour> void paint(Face& f, Box b, Inside inside, Colour colour) {
    for (int y = std::max(b.y0, 0); y <= std::min(b.y1, kHeight - 1); ++y) {
        for (int x = std::max(b.x0, 0); x <= std::min(b.x1, kWidth - 1); ++x) {
            if (inside(x, y)) {
                put(f, x, y, colour(x, y));
            }
        }
    }
}

bool in_ellipse(int x, int y, double cx, double cy, double rx, double ry) {
    double dx = (x + 0.5 - cx) / rx;
    double dy = (y + 0.5 - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

void fill_ellipse(Face& f, double cx, double cy, double rx, double ry, int colour) {
    paint(
        f, around(cx, cy, rx, ry), [&](int x, int y) { return in_ellipse(x, y, cx, cy, rx, ry); },
        [&](int, int) { return colour; });
}

// Ellipse lit from the upper left, using one 8-shade ramp.
void fill_shaded_ellipse(Face& f, double cx, double cy, double rx, double ry, int ramp_first,
                         int bias = 0) {
    paint(
        f, around(cx, cy, rx, ry), [&](int x, int y) { return in_ellipse(x, y, cx, cy, rx, ry); },
        [&](int x, int y) {
            double nx = (x + 0.5 - cx) / rx;
            double ny = (y + 0.5 - cy) / ry;
            double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
            double light = -0.45 * nx - 0.35 * ny + 0.80 * nz;
            int shade = static_cast<int>(std::lround(2.0 + light * 4.5)) + bias;
            return ramp_first + std::clamp(shade, 0, kShades - 1);
        });
}

// A line of the given thickness (square brush).
void draw_line(Face& f, int x0, int y0, int x1, int y1, int thickness, int colour) {
    int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        double t = steps == 0 ? 0.0 : static_cast<double>(i) / steps;
        int x = static_cast<int>(std::lround(x0 + (x1 - x0) * t));
        int y = static_cast<int>(std::lround(y0 + (y1 - y0) * t));
        fill_rect(f, x, y, x + thickness - 1, y + thickness - 1, colour);
    }
}

// ---------------------------------------------------------------------------
// 3x5 digit font, drawn at twice the size.

constexpr std::array<std::array<const char*, 5>, 10> kDigits = {{
    {"###", "#.#", "#.#", "#.#", "###"},
    {".#.", "##.", ".#.", ".#.", "###"},
    {"###", "..#", "###", "#..", "###"},
    {"###", "..#", "###", "..#", "###"},
    {"#.#", "#.#", "###", "..#", "..#"},
    {"###", "#..", "###", "..#", "###"},
    {"###", "#..", "###", "#.#", "###"},
    {"###", "..#", ".#.", ".#.", ".#."},
    {"###", "#.#", "###", "#.#", "###"},
    {"###", "#.#", "###", "..#", "###"},
}};
constexpr int kScale = 2;
constexpr int kDigitW = 3 * kScale;
constexpr int kDigitH = 5 * kScale;
constexpr int kDigitGap = 2;

void draw_digit(Face& f, int x, int y, int digit, int colour) {
    const auto& rows = kDigits[static_cast<std::size_t>(digit)];
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (rows[static_cast<std::size_t>(r)][c] == '#') {
                fill_rect(f, x + c * kScale, y + r * kScale, x + c * kScale + kScale - 1,
                          y + r * kScale + kScale - 1, colour);
            }
        }
    }
}

// Number in a dark box with a light frame, bottom-left corner.
void draw_number(Face& f, int number) {
    std::string text = std::to_string(number);
    int n = static_cast<int>(text.size());
    int text_w = n * kDigitW + (n - 1) * kDigitGap;
    int x0 = 2;
    int y1 = kHeight - 3;
    int y0 = y1 - kDigitH - 5;
    int x1 = x0 + text_w + 5;
    fill_rect(f, x0, y0, x1, y1, kWhite);
    fill_rect(f, x0 + 1, y0 + 1, x1 - 1, y1 - 1, kBoxDark);
    int x = x0 + 3;
    for (char ch : text) {
        draw_digit(f, x, y0 + 3, ch - '0', kTextYellow);
        x += kDigitW + kDigitGap;
    }
}

// ---------------------------------------------------------------------------
// The portrait itself.

enum Headwear { Topknot, Hat, Helmet, Bald, LongHair, kHeadwearKinds };
enum Beard { NoBeard, Moustache, Goatee, FullBeard, LongBeard, kBeardKinds };

struct Look {
    int bg_ramp;
    int bg_style;
    int skin;
    int hair;
    int cloth;
    int trim;
    bool armour;
    int headwear;
    int beard;
    int hat_colour;
    double head_cx, head_cy, head_rx, head_ry;
    int eye_gap;
    double eye_open;
    int eye_y;
    int brow_tilt;
    int mouth_w;
    int mouth_curve;
};

Look pick_look(Rng& rng) {
    Look k{};
    k.bg_ramp = rng.range(0, kBackgroundRamps - 1);
    k.bg_style = rng.range(0, 3);
    k.skin = rng.range(0, kSkinRamps - 1);
    bool old = rng.chance(25);
    if (old) {
        k.hair = rng.chance(50) ? HairGrey : HairWhite;
    } else {
        const std::array<int, 6> young = {HairBlack,     HairBlack, HairBlack,
                                          HairDarkBrown, HairBrown, HairDarkBrown};
        k.hair = young[static_cast<std::size_t>(rng.range(0, 5))];
    }
    k.cloth = rng.range(0, kClothRamps - 1);
    do {
        k.trim = rng.range(0, kClothRamps - 1);
    } while (k.trim == k.cloth);
    k.armour = rng.chance(40);
    k.headwear = rng.range(0, kHeadwearKinds - 1);
    k.beard = rng.range(0, kBeardKinds - 1);
    if (old && k.beard == NoBeard) {
        k.beard = LongBeard;
    }
    k.hat_colour = rng.chance(60) ? ClothLacquer : rng.range(0, kClothRamps - 1);
    k.head_cx = 48.0 + rng.range(-2, 2);
    k.head_cy = 56.0 + rng.range(-1, 2);
    k.head_rx = 20.0 + rng.range(0, 4);
    k.head_ry = 26.0 + rng.range(0, 3);
    k.eye_gap = rng.range(8, 11);
    k.eye_open = rng.chance(50) ? 2.0 : 1.5;
    k.eye_y = static_cast<int>(k.head_cy) + rng.range(-2, 1);
    k.brow_tilt = rng.range(-2, 2);
    k.mouth_w = rng.range(5, 9);
    k.mouth_curve = rng.range(-1, 1);
    return k;
}

void draw_background(Face& f, const Look& k, Rng& rng) {
    int base = ramp(kBackgroundBase, k.bg_ramp, 0);
    int phase = rng.range(0, 7);
    paint(
        f, kWhole, [](int, int) { return true; },
        [&](int x, int y) {
            int shade = 0;
            switch (k.bg_style) {
            case 0: // vertical gradient, light at the top
                shade = 7 - y * 6 / kHeight;
                break;
            case 1: { // soft glow behind the head
                double dx = (x - 48) / 60.0;
                double dy = (y - 50) / 70.0;
                shade = 7 - static_cast<int>(std::sqrt(dx * dx + dy * dy) * 7.0);
                break;
            }
            case 2: // wide horizontal bands
                shade = ((y + phase * 3) / 12) % 2 == 0 ? 5 : 3;
                break;
            default: // diagonal gradient
                shade = 2 + (x + (kHeight - y)) * 5 / (kWidth + kHeight);
                break;
            }
            return base + std::clamp(shade, 1, kShades - 1);
        });
}

void draw_long_hair_back(Face& f, const Look& k) {
    int hair = ramp(kHairBase, k.hair, 0);
    Box b = around(k.head_cx, k.head_cy + 8, k.head_rx + 7, k.head_ry + 24);
    paint(
        f, b,
        [&](int x, int y) {
            double top = k.head_cy - k.head_ry * 0.3;
            double bottom = k.head_cy + k.head_ry + 22;
            if (y < top || y > bottom) {
                return in_ellipse(x, y, k.head_cx, top, k.head_rx + 6, k.head_ry);
            }
            return std::abs(x + 0.5 - k.head_cx) <= k.head_rx + 6 - (y - top) * 0.05;
        },
        [&](int x, int) {
            // strands: alternate shades in thin vertical stripes
            return hair + ((x / 2) % 3 == 0 ? 2 : 3);
        });
}

void draw_body(Face& f, const Look& k) {
    int cloth = ramp(kClothBase, k.cloth, 0);
    int trim = ramp(kClothBase, k.trim, 0);
    int skin = ramp(kSkinBase, k.skin, 0);
    double cx = k.head_cx;

    // neck
    fill_rect(f, static_cast<int>(cx) - 9, static_cast<int>(k.head_cy + k.head_ry) - 12,
              static_cast<int>(cx) + 8, 104, skin + 3);
    fill_rect(f, static_cast<int>(cx) - 9, static_cast<int>(k.head_cy + k.head_ry) - 2,
              static_cast<int>(cx) + 8, static_cast<int>(k.head_cy + k.head_ry) + 1, skin + 2);

    // shoulders: a wide ellipse topped off, square below
    auto in_body = [&](int x, int y) {
        if (y >= 114) {
            return true;
        }
        return in_ellipse(x, y, 48.0, 116.0, 47.0, 27.0);
    };
    const Box body_box = {0, 88, kWidth - 1, kHeight - 1};
    paint(f, body_box, in_body, [&](int x, int y) {
        double nx = (x + 0.5 - 48.0) / 47.0;
        int shade = 5 - static_cast<int>(std::abs(nx + 0.25) * 3.0) - (y > 112 ? 1 : 0);
        if (k.armour) {
            // lamellar plates: rows of small scales
            int row = (y - 90) / 5;
            if ((y - 90) % 5 == 4 || (x + (row % 2) * 3) % 6 == 0) {
                shade -= 2;
            } else if ((y - 90) % 5 == 0) {
                shade += 1;
            }
        }
        return cloth + std::clamp(shade, 0, kShades - 1);
    });

    // collar: a V opening showing an under-robe, edged with the trim colour
    auto collar_half = [](int y) { return (y - 92) * 0.4 + 5.0; };
    paint(
        f, body_box,
        [&](int x, int y) {
            return y >= 94 && in_body(x, y) && std::abs(x + 0.5 - cx) < collar_half(y);
        },
        [&](int x, int y) {
            double d = std::abs(x + 0.5 - cx) - collar_half(y);
            if (d > -3.0) {
                return trim + 5;
            }
            if (d > -4.0) {
                return trim + 3;
            }
            return ramp(kClothBase, ClothIvory, 4);
        });
    if (k.armour) {
        // shoulder guards
        fill_shaded_ellipse(f, 12, 104, 13, 10, trim);
        fill_shaded_ellipse(f, 84, 104, 13, 10, trim);
    }
}

double jaw_narrowing(double ny) {
    return ny > 0.0 ? 1.0 - 0.25 * ny * ny : 1.0;
}

bool in_head(const Look& k, int x, int y) {
    double ny = (y + 0.5 - k.head_cy) / k.head_ry;
    double nx = (x + 0.5 - k.head_cx) / (k.head_rx * jaw_narrowing(ny));
    return nx * nx + ny * ny <= 1.0;
}

void draw_head(Face& f, const Look& k) {
    int skin = ramp(kSkinBase, k.skin, 0);
    double ear_y = k.eye_y + 5.0;
    fill_shaded_ellipse(f, k.head_cx - k.head_rx + 1, ear_y, 4, 7, skin, -1);
    fill_shaded_ellipse(f, k.head_cx + k.head_rx - 1, ear_y, 4, 7, skin, -1);
    // egg-shaped: the jaw narrows towards the chin
    paint(
        f, around(k.head_cx, k.head_cy, k.head_rx, k.head_ry),
        [&](int x, int y) { return in_head(k, x, y); },
        [&](int x, int y) {
            double ny = (y + 0.5 - k.head_cy) / k.head_ry;
            double nx = (x + 0.5 - k.head_cx) / (k.head_rx * jaw_narrowing(ny));
            double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
            double light = -0.45 * nx - 0.35 * ny + 0.80 * nz;
            int shade = static_cast<int>(std::lround(3.0 + light * 4.5));
            return skin + std::clamp(shade, 0, kShades - 1);
        });
}

// Hair cap following the top of the skull, with a hairline at the forehead.
void draw_hair_cap(Face& f, const Look& k, double hairline) {
    int hair = ramp(kHairBase, k.hair, 0);
    paint(
        f, around(k.head_cx, k.head_cy - 1, k.head_rx + 2, k.head_ry + 2),
        [&](int x, int y) {
            if (!in_ellipse(x, y, k.head_cx, k.head_cy - 1, k.head_rx + 2, k.head_ry + 2)) {
                return false;
            }
            double side = (x + 0.5 - k.head_cx) / k.head_rx;
            return y < hairline + side * side * 16.0;
        },
        [&](int x, int y) {
            double nx = (x + 0.5 - k.head_cx) / k.head_rx;
            int shade = 4 - static_cast<int>(nx * 2.0);
            if ((x + y / 3) % 5 == 0) {
                shade -= 1; // combed streaks
            }
            return hair + std::clamp(shade, 1, 6);
        });
}

void draw_headwear(Face& f, const Look& k) {
    double top = k.head_cy - k.head_ry;
    double cx = k.head_cx;
    int hat = ramp(kClothBase, k.hat_colour, 0);
    int hair = ramp(kHairBase, k.hair, 0);

    switch (k.headwear) {
    case Topknot:
        draw_hair_cap(f, k, k.head_cy - 14);
        fill_shaded_ellipse(f, cx, top - 3, 7, 6, hair, -1);
        fill_rect(f, static_cast<int>(cx) - 5, static_cast<int>(top) + 1, static_cast<int>(cx) + 4,
                  static_cast<int>(top) + 2, ramp(kClothBase, k.trim, 5));
        break;
    case Hat: {
        draw_hair_cap(f, k, k.head_cy - 12);
        // tall rounded official's cap
        paint(
            f, around(cx, top - 2, k.head_rx + 2, 12),
            [&](int x, int y) {
                double dx = std::abs(x + 0.5 - cx);
                if (y > top + 10 || y < top - 14) {
                    return false;
                }
                if (y < top - 6) {
                    return in_ellipse(x, y, cx, top - 6, k.head_rx - 4, 8);
                }
                return dx <= k.head_rx - 4 + (y - (top - 6)) * 0.15;
            },
            [&](int x, int) {
                int shade = 4 - static_cast<int>((x + 0.5 - cx) / 6.0);
                return hat + std::clamp(shade, 1, 6);
            });
        // band and wings
        fill_rect(f, static_cast<int>(cx - k.head_rx - 1), static_cast<int>(top) + 8,
                  static_cast<int>(cx + k.head_rx), static_cast<int>(top) + 11,
                  ramp(kClothBase, ClothGold, 5));
        fill_rect(f, static_cast<int>(cx - k.head_rx - 12), static_cast<int>(top) + 4,
                  static_cast<int>(cx - k.head_rx - 1), static_cast<int>(top) + 6, hat + 3);
        fill_rect(f, static_cast<int>(cx + k.head_rx), static_cast<int>(top) + 4,
                  static_cast<int>(cx + k.head_rx + 11), static_cast<int>(top) + 6, hat + 3);
        break;
    }
    case Helmet: {
        int metal = ramp(kClothBase, k.hat_colour == ClothLacquer ? ClothSteel : ClothGold, 0);
        double brim = k.head_cy - 10;
        // cheek guards
        fill_shaded_ellipse(f, cx - k.head_rx, brim + 12, 5, 14, metal, -1);
        fill_shaded_ellipse(f, cx + k.head_rx, brim + 12, 5, 14, metal, -1);
        // dome
        paint(
            f, around(cx, k.head_cy - 6, k.head_rx + 4, k.head_ry + 4),
            [&](int x, int y) {
                return y < brim &&
                       in_ellipse(x, y, cx, k.head_cy - 6, k.head_rx + 4, k.head_ry + 4);
            },
            [&](int x, int y) {
                double nx = (x + 0.5 - cx) / (k.head_rx + 4);
                double ny = (y + 0.5 - (k.head_cy - 6)) / (k.head_ry + 4);
                double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
                int shade = static_cast<int>(std::lround(1.5 + (-0.5 * nx - 0.3 * ny + nz) * 4));
                if (std::abs(x + 0.5 - cx) < 1.5) {
                    shade += 1; // ridge down the middle
                }
                return metal + std::clamp(shade, 0, kShades - 1);
            });
        // brim
        fill_rect(f, static_cast<int>(cx - k.head_rx - 6), static_cast<int>(brim),
                  static_cast<int>(cx + k.head_rx + 5), static_cast<int>(brim) + 3, metal + 2);
        fill_rect(f, static_cast<int>(cx - k.head_rx - 6), static_cast<int>(brim),
                  static_cast<int>(cx + k.head_rx + 5), static_cast<int>(brim), metal + 6);
        // crest on the brow: a crescent (gold on steel, silver on gold), or a plume on the crown
        if (k.trim % 2 == 0) {
            bool gold_helmet = k.hat_colour != ClothLacquer;
            int moon = ramp(kClothBase, gold_helmet ? ClothSteel : ClothGold, 0);
            double c = brim - 20;
            paint(
                f, around(cx, c, 16, 13),
                [&](int x, int y) {
                    return in_ellipse(x, y, cx, c, 16, 13) && !in_ellipse(x, y, cx, c - 6, 14, 14);
                },
                [&](int x, int) { return moon + (x < cx ? 7 : 5); });
            fill_shaded_ellipse(f, cx, brim - 6, 3, 3, moon, 1);
        } else {
            int plume = ramp(kClothBase, k.trim, 0);
            double crown = k.head_cy - 6 - k.head_ry - 4;
            fill_shaded_ellipse(f, cx, crown - 3, 5, 7, plume, 1);
        }
        break;
    }
    case Bald:
        // a fringe of hair around the back and over the ears
        paint(
            f, around(k.head_cx, k.head_cy - 1, k.head_rx + 2, k.head_ry + 2),
            [&](int x, int y) {
                double dx = std::abs(x + 0.5 - k.head_cx);
                return in_ellipse(x, y, k.head_cx, k.head_cy - 1, k.head_rx + 2, k.head_ry + 2) &&
                       dx > k.head_rx - 4 && y > k.head_cy - 18 && y < k.eye_y + 2;
            },
            [&](int, int) { return hair + 4; });
        // shine on the scalp
        fill_ellipse(f, cx - 7, top + 8, 4, 2, ramp(kSkinBase, k.skin, 7));
        break;
    default: // long hair: the back part is drawn before the body
        draw_hair_cap(f, k, k.head_cy - 13);
        // centre parting
        draw_line(f, static_cast<int>(cx), static_cast<int>(top) - 1, static_cast<int>(cx),
                  static_cast<int>(top) + 8, 1, hair + 1);
        break;
    }
}

void draw_features(Face& f, const Look& k) {
    int skin = ramp(kSkinBase, k.skin, 0);
    int hair = ramp(kHairBase, k.hair, 0);
    int cx = static_cast<int>(k.head_cx);
    int ey = k.eye_y;
    int brow = k.hair >= HairGrey ? hair + 3 : hair + 1;

    for (int side = -1; side <= 1; side += 2) {
        int ex = cx + side * k.eye_gap;
        // eyebrow: the tilt raises (worried) or lowers (stern) the inner end
        draw_line(f, ex - 4 * side, ey - 6 - k.brow_tilt, ex + 4 * side, ey - 5, 2, brow);
        // eye socket shadow, white, iris and pupil
        fill_ellipse(f, ex + 0.5, ey + 0.5, 5.5, 3.0, skin + 2);
        fill_ellipse(f, ex + 0.5, ey + 0.5, 4.5, k.eye_open, kEyeWhite);
        fill_rect(f, ex - 1, ey - 1, ex + 1, ey + 1, kIris);
        put(f, ex, ey, kPupil);
        // upper lid
        draw_line(f, ex - 4, ey - 2, ex + 4, ey - 2, 1, kPupil);
    }

    // nose: shadow line on the right side, nostrils and tip highlight
    draw_line(f, cx + 1, ey + 1, cx + 2, ey + 11, 1, skin + 2);
    put(f, cx - 2, ey + 12, skin + 1);
    put(f, cx + 3, ey + 12, skin + 1);
    fill_rect(f, cx - 1, ey + 11, cx, ey + 11, skin + 7);

    // mouth
    int my = ey + 18;
    for (int dx = -k.mouth_w; dx <= k.mouth_w; ++dx) {
        int lift = (std::abs(dx) >= k.mouth_w - 1) ? k.mouth_curve : 0;
        put(f, cx + dx, my - lift, kMouth);
    }
    fill_rect(f, cx - k.mouth_w + 2, my + 1, cx + k.mouth_w - 2, my + 1, kLip);
    fill_rect(f, cx - k.mouth_w + 3, my + 2, cx + k.mouth_w - 3, my + 2, kLipDark);

    // cheek colour
    fill_ellipse(f, cx - k.eye_gap - 2, ey + 9, 3, 1.6, kBlush);
    fill_ellipse(f, cx + k.eye_gap + 2, ey + 9, 3, 1.6, skin + 4);
}

void draw_beard(Face& f, const Look& k) {
    int hair = ramp(kHairBase, k.hair, 0);
    int cx = static_cast<int>(k.head_cx);
    int my = k.eye_y + 18;
    double chin = k.head_cy + k.head_ry;
    auto streaked = [&](int x, int y) {
        return hair + ((x + y / 2) % 4 == 0 ? 2 : 4) - (x > cx + 6 ? 1 : 0);
    };
    auto keep_mouth = [&](int x, int y) {
        return y >= my - 1 && y <= my + 2 && std::abs(x - cx) <= k.mouth_w - 1;
    };

    switch (k.beard) {
    case Goatee:
        paint(
            f, around(cx + 0.5, chin - 2, 6, 8),
            [&](int x, int y) {
                return in_ellipse(x, y, cx + 0.5, chin - 2, 6, 8) && y > my + 2 &&
                       !keep_mouth(x, y);
            },
            streaked);
        break;
    case FullBeard:
        paint(
            f, around(k.head_cx, k.head_cy, k.head_rx + 1, k.head_ry + 4),
            [&](int x, int y) {
                bool jaw = in_ellipse(x, y, k.head_cx, k.head_cy, k.head_rx + 1, k.head_ry + 3) &&
                           y > my - 6 + std::abs(x - cx) / 6;
                bool under = in_ellipse(x, y, k.head_cx, chin - 1, k.head_rx - 5, 9);
                return (jaw || under) && !keep_mouth(x, y) && !(y < my - 2 && std::abs(x - cx) < 4);
            },
            streaked);
        break;
    case LongBeard:
        paint(
            f,
            Box{cx - static_cast<int>(k.head_rx) - 2, my - 8, cx + static_cast<int>(k.head_rx) + 2,
                static_cast<int>(chin) + 31},
            [&](int x, int y) {
                bool jaw = in_ellipse(x, y, k.head_cx, k.head_cy, k.head_rx + 1, k.head_ry + 2) &&
                           y > my - 4 + std::abs(x - cx) / 5;
                // tapering beard falling onto the chest
                double half = 13.0 - (y - chin) * 0.35;
                bool hang = y >= chin - 4 && y < chin + 30 && std::abs(x + 0.5 - cx) < half;
                return (jaw || hang) && !keep_mouth(x, y) && !(y < my - 2 && std::abs(x - cx) < 4);
            },
            streaked);
        break;
    default:
        break;
    }

    if (k.beard != NoBeard) {
        // moustache: two sloping bars above the mouth
        int droop = k.beard == LongBeard ? 3 : 1;
        draw_line(f, cx - 1, my - 3, cx - k.mouth_w - 2, my - 2 + droop, 2, hair + 2);
        draw_line(f, cx + 1, my - 3, cx + k.mouth_w + 2, my - 2 + droop, 2, hair + 2);
    }
}

Face draw_face(int number, std::uint32_t salt) {
    Rng rng(static_cast<std::uint32_t>(number) * 2654435761u + salt);
    Look k = pick_look(rng);
    Face f{};
    draw_background(f, k, rng);
    if (k.headwear == LongHair) {
        draw_long_hair_back(f, k);
    }
    draw_body(f, k);
    draw_head(f, k);
    draw_features(f, k);
    draw_beard(f, k);
    draw_headwear(f, k);
    draw_number(f, number);
    return f;
}

// ---------------------------------------------------------------------------
// Output.

void put_u32(std::vector<char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
    }
}

bool write_face_archive(const fs::path& path, int count, std::uint32_t salt) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    std::vector<char> head;
    put_u32(head, static_cast<std::uint32_t>(count));
    for (int n = 0; n < count; ++n) {
        put_u32(head, static_cast<std::uint32_t>(n) * kCellSize);
        put_u32(head, kCellSize);
        put_u32(head, kWidth);
        put_u32(head, kHeight);
    }
    if (!out.write(head.data(), static_cast<std::streamsize>(head.size()))) {
        return false;
    }

    std::vector<char> cell(kCellSize);
    for (int n = 0; n < count; ++n) {
        Face f = draw_face(n, salt);
        std::size_t i = 0;
        for (const auto& row : f) {
            for (std::uint8_t px : row) {
                cell[i++] = static_cast<char>(px);
            }
        }
        if (!out.write(cell.data(), kCellSize)) {
            return false;
        }
    }
    out.close();
    return !out.fail();
}

bool write_palette(const fs::path& path, bool san6) {
    std::array<Rgb, 256> pal = make_palette(san6);
    std::vector<char> bytes = {0, 1, 0, 0};
    for (const Rgb& c : pal) {
        bytes.push_back(static_cast<char>(std::clamp(c.r, 0, 255)));
        bytes.push_back(static_cast<char>(std::clamp(c.g, 0, 255)));
        bytes.push_back(static_cast<char>(std::clamp(c.b, 0, 255)));
        bytes.push_back(0);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        return false;
    }
    out.close();
    return !out.fail();
}

struct Game {
    const char* folder;
    const char* archive;
    const char* palette;
    int faces;
    bool san6;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample <folder>\n";
        return 1;
    }
    const fs::path root = argv[1];
    const std::array<Game, 2> games = {{
        {"SAN7", "kaodata.s7", "p_kao.s7", 678, false},
        {"SAN6", "kaodata.s6", "palette.s6", 648, true},
    }};

    for (const Game& g : games) {
        fs::path dir = root / g.folder;
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) {
            std::cerr << "make_sample: cannot create folder " << dir.string() << ": "
                      << ec.message() << "\n";
            return 1;
        }
        std::string archive_name = std::string(g.folder) + "/" + g.archive;
        if (!write_face_archive(dir / g.archive, g.faces, g.san6 ? 0x5A6u : 0x5A7u)) {
            std::cerr << "make_sample: cannot write " << (dir / g.archive).string() << "\n";
            return 1;
        }
        std::cout << "wrote " << archive_name << " (" << g.faces << " faces)\n";

        std::string palette_name = std::string(g.folder) + "/" + g.palette;
        if (!write_palette(dir / g.palette, g.san6)) {
            std::cerr << "make_sample: cannot write " << (dir / g.palette).string() << "\n";
            return 1;
        }
        std::cout << "wrote " << palette_name << " (256 colours)\n";
    }
    return 0;
}
