// What the pictures show. Each subject is drawn into a box given in pixels,
// so the same card, screen or case appears in an icon, a button bitmap and
// an animation frame alike.
#include "artwork/pictures.h"

#include "artwork/raster.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace art {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The colour an edge pixel is blended with where the picture has a hard
// (1-bit) edge: close to the face of a dialog.
const Color kFace = rgb(236, 236, 236);

// ---- palette of the drawings -------------------------------------------------

const Color kInk = rgb(34, 36, 44);  // outlines
const Color kCardTop = rgb(78, 83, 94);
const Color kCardBottom = rgb(40, 42, 50);
const Color kPinStrip = rgb(104, 109, 120);
const Color kPinHole = rgb(22, 22, 28);
const Color kLabelTop = rgb(252, 252, 250);
const Color kLabelBottom = rgb(214, 219, 228);
const Color kLabelBand = rgb(214, 46, 40);
const Color kLetters = rgb(22, 52, 128);
const Color kBezelTop = rgb(238, 238, 241);
const Color kBezelBottom = rgb(176, 179, 188);
const Color kScreenLight = rgb(120, 190, 250);
const Color kScreenDark = rgb(26, 66, 168);
const Color kRedLight = rgb(246, 84, 62);
const Color kRedDark = rgb(190, 22, 18);
const Color kRedInk = rgb(110, 10, 8);
const Color kGreen = rgb(0, 150, 72);
const Color kGreenDark = rgb(0, 104, 48);
const Color kWhite = rgb(255, 255, 255);

Paint vertical(double y0, Color top, double y1, Color bottom) { return Linear({0, y0}, top, {0, y1}, bottom); }

// ---- subjects ----------------------------------------------------------------

// The stroked outline of the letters "CF", centred on (cx, cy).
Shape letters(double cx, double cy, double height) {
    double w = height * 0.17 + 0.3;  // stroke width
    double cw = height * 0.74;       // width of the C
    double fw = height * 0.56;       // width of the F
    double gap = height * 0.16;
    double x0 = cx - (cw + gap + fw) / 2, top = cy - height / 2 + w / 2, bottom = cy + height / 2 - w / 2;
    // C: an open ellipse arc.
    std::vector<Point> c;
    double ccx = x0 + cw / 2, rx = cw / 2 - w / 2, ry = (bottom - top) / 2;
    for (int i = 0; i <= 32; ++i) {
        double a = (48 + 264.0 * i / 32) * kPi / 180;
        c.push_back({ccx + rx * std::cos(a), cy - ry * std::sin(a)});
    }
    Shape shape = Stroke(c, w);
    double fx = x0 + cw + gap + w / 2;
    shape = Union(shape, Stroke({{fx + fw - w, top}, {fx, top}, {fx, bottom}}, w));
    shape = Union(shape, Stroke({{fx, cy}, {fx + fw * 0.8 - w, cy}}, w));
    return shape;
}

void cfCard(Layer& L, double x, double y, double w, double h) {
    double r = std::max(1.0, std::min(w, h) * 0.07);
    Shape body = Box(x, y, x + w, y + h, r);
    L.FillOutlined(body, vertical(y, kCardTop, y + h, kCardBottom), kInk);
    // The connector edge: a strip with a row of pin holes.
    double strip = std::max(3.0, h * 0.17);
    Shape band = Intersect(Offset(body, -1), Box(x, y, x + w, y + strip + 1));
    L.Fill(band, vertical(y, shade(kPinStrip, 1.25), y + strip, kPinStrip));
    int holes = (int)((w - 4) / 2.4);
    double pitch = (w - 4) / holes, hr = std::clamp(pitch * 0.27, 0.45, 0.9);
    for (int i = 0; i < holes; ++i) L.Fill(Circle(x + 2 + pitch * (i + 0.5), y + 1 + strip / 2, hr), kPinHole);
    // The key grooves on both short sides, near the connector.
    double gy = y + strip + 1, gh = std::max(1.5, h * 0.12);
    L.Fill(Box(x, gy, x + 1.6, gy + gh), kInk, 0.7);
    L.Fill(Box(x + w - 1.6, gy, x + w, gy + gh), kInk, 0.7);
    // The label, with a coloured band and the letters.
    double lx0 = x + w * 0.12, lx1 = x + w * 0.88, ly0 = y + strip + h * 0.14, ly1 = y + h - h * 0.1;
    Shape label = Box(lx0, ly0, lx1, ly1, std::max(0.8, h * 0.04));
    L.FillOutlined(label, vertical(ly0, kLabelTop, ly1, kLabelBottom), shade(kInk, 1.2), 0.8);
    double bandHeight = (ly1 - ly0) * 0.22;
    L.Fill(Intersect(Offset(label, -0.8), Box(lx0, ly0, lx1, ly0 + 0.8 + bandHeight)), kLabelBand);
    double textTop = ly0 + 0.8 + bandHeight, textHeight = (ly1 - 0.8 - textTop) * 0.8;
    L.Fill(letters((lx0 + lx1) / 2, (textTop + ly1 - 0.8) / 2, textHeight), kLetters);
}

// A flat screen on a foot.
void monitor(Layer& L, double x, double y, double w, double h) {
    double bezelBottom = y + h * 0.78;
    Shape bezel = Box(x, y, x + w, bezelBottom, std::max(1.2, w * 0.05));
    // Foot first, so the bezel covers the top of the neck.
    double nx0 = x + w * 0.42, nx1 = x + w * 0.58;
    L.FillOutlined(Box(nx0, bezelBottom - 1, nx1, y + h * 0.92), kBezelBottom, kInk);
    Shape base = Box(x + w * 0.24, y + h * 0.88, x + w * 0.76, y + h, std::max(1.0, h * 0.05));
    L.FillOutlined(base, vertical(y + h * 0.88, kBezelTop, y + h, kBezelBottom), kInk);
    L.FillOutlined(bezel, vertical(y, kBezelTop, bezelBottom, kBezelBottom), kInk);
    double m = std::max(2.0, w * 0.1);
    double sx0 = x + m, sy0 = y + m, sx1 = x + w - m, sy1 = bezelBottom - m * 1.15;
    Shape screen = Box(sx0, sy0, sx1, sy1, 0.6);
    L.FillOutlined(screen, Linear({sx0, sy0}, kScreenLight, {sx1, sy1}, kScreenDark), shade(kInk, 0.9), 0.8);
    // A glint across the glass.
    double sw = sx1 - sx0, sh = sy1 - sy0;
    Shape glint = Polygon({{sx0 + sw * 0.08, sy0}, {sx0 + sw * 0.55, sy0}, {sx0, sy0 + sh * 0.85}, {sx0, sy0 + sh * 0.2}});
    L.Fill(Intersect(Offset(screen, -0.8), glint), kWhite, 0.28);
    // The power light.
    double led = std::max(0.7, w * 0.03);
    L.Fill(Circle(x + w - m * 0.9, bezelBottom - m * 0.55, led), rgb(40, 200, 80));
}

// A straight arrow pointing from x0 to x1 (either way) at height cy.
void straightArrow(Layer& L, double x0, double x1, double cy, double thickness, double headLength,
                   double headWidth) {
    double dir = x1 > x0 ? 1 : -1;
    double neck = x1 - dir * headLength;
    Shape shaft = Box(std::min(x0, neck + dir * 0.5), cy - thickness / 2, std::max(x0, neck + dir * 0.5),
                      cy + thickness / 2, 0.8);
    Shape head = Polygon({{neck, cy - headWidth / 2}, {x1, cy}, {neck, cy + headWidth / 2}});
    Shape arrow = Union(shaft, head);
    L.FillOutlined(arrow, vertical(cy - headWidth / 2, kRedLight, cy + headWidth / 2, kRedDark), kRedInk);
    // A light edge along the top of the shaft.
    L.Fill(Box(std::min(x0, neck) + 1.5, cy - thickness / 2 + 1, std::max(x0, neck) - 0.5, cy - thickness / 2 + 1.8),
           kWhite, 0.35);
}

// A curved arrow along a quadratic curve, with its head at b.
void curvedArrow(Layer& L, Point a, Point c, Point b, double thickness, double headLength, double headWidth) {
    double tx = b.x - c.x, ty = b.y - c.y, tl = std::hypot(tx, ty);
    tx /= tl, ty /= tl;
    Point neck{b.x - tx * headLength, b.y - ty * headLength};
    // The shaft ends under the head; aim its control point so it meets the neck smoothly.
    Point c2{c.x + (neck.x - b.x) * 0.3, c.y + (neck.y - b.y) * 0.3};
    Shape shaft = Stroke(Quadratic(a, c2, {neck.x + tx * 0.6, neck.y + ty * 0.6}), thickness);
    double nx = -ty, ny = tx;
    Shape head = Polygon({{neck.x + nx * headWidth / 2, neck.y + ny * headWidth / 2},
                          {b.x, b.y},
                          {neck.x - nx * headWidth / 2, neck.y - ny * headWidth / 2}});
    Shape arrow = Union(shaft, head);
    L.FillOutlined(Offset(arrow, 0.5), Linear(a, kRedLight, b, kRedDark), kRedInk, 1.0);
}

void folder(Layer& L, double x, double y, double w, double h) {
    const Color back0 = rgb(120, 182, 236), back1 = rgb(70, 134, 206);
    const Color front0 = rgb(196, 232, 253), front1 = rgb(120, 190, 244);
    const Color ink = rgb(28, 74, 136);
    double r = std::max(1.0, w * 0.05);
    Shape back = Union(Box(x, y + h * 0.14, x + w, y + h, r), Box(x, y, x + w * 0.42, y + h * 0.3, r));
    L.FillOutlined(back, vertical(y, back0, y + h, back1), ink);
    // A sheet of paper sticking out.
    double px0 = x + w * 0.14, px1 = x + w * 0.84, py0 = y + h * 0.22;
    L.FillOutlined(Box(px0, py0, px1, y + h * 0.8), kWhite, rgb(120, 126, 140), 0.8);
    for (int i = 0; i < 2; ++i) {
        double ly = py0 + 2.6 + i * 2.6;
        L.Fill(Box(px0 + 2.2, ly, px1 - 2.2 - i * 3, ly + 0.9), rgb(150, 160, 180));
    }
    // The front flap, tilted open.
    Shape front = Polygon({{x + w * 0.14, y + h * 0.4}, {x + w, y + h * 0.4}, {x + w * 0.9, y + h}, {x, y + h}});
    front = Intersect(Offset(front, 0.4), Box(x - 1, y, x + w + 1, y + h, r));
    L.FillOutlined(front, vertical(y + h * 0.4, front0, y + h, front1), ink);
    L.Fill(Stroke({{x + w * 0.17, y + h * 0.4 + 1.7}, {x + w - 1.8, y + h * 0.4 + 1.7}}, 0.9), kWhite, 0.7);
}

void tower(Layer& L, double x, double y, double w, double h) {
    const Color c0 = rgb(240, 238, 230), c1 = rgb(186, 184, 176);
    Shape body = Box(x, y, x + w, y + h, std::max(1.0, w * 0.08));
    L.FillOutlined(body, Linear({x, y}, c0, {x + w, y + h}, c1), kInk);
    double m = std::max(1.6, w * 0.16);
    // Two drive bays and a floppy slot.
    for (int i = 0; i < 2; ++i) {
        double by = y + h * (0.1 + i * 0.13);
        L.FillOutlined(Box(x + m, by, x + w - m, by + h * 0.1), vertical(by, rgb(222, 220, 212), by + h * 0.1,
                                                                         rgb(196, 194, 186)),
                       rgb(96, 96, 100), 0.7);
    }
    double fy = y + h * 0.4;
    L.Fill(Box(x + m + w * 0.12, fy, x + w - m - w * 0.12, fy + std::max(1.0, h * 0.025)), kInk);
    // Power button and light.
    double pr = std::max(1.0, w * 0.11);
    L.FillOutlined(Circle(x + w / 2, y + h * 0.64, pr), vertical(y + h * 0.6, c0, y + h * 0.68, c1), rgb(80, 80, 86),
                   0.7);
    L.Fill(Circle(x + w / 2, y + h * 0.64 + pr + std::max(1.2, h * 0.04), std::max(0.6, w * 0.05)), rgb(40, 200, 80));
    // Vents at the foot.
    for (int i = 0; i < 3; ++i) {
        double vy = y + h * (0.82 + i * 0.05);
        L.Fill(Box(x + m, vy, x + w - m, vy + std::max(0.6, h * 0.018)), rgb(120, 120, 124), 0.8);
    }
}

void magnifier(Layer& L, double cx, double cy, double r) {
    double d = 0.7071;
    // Handle, down to the right.
    Point h0{cx + r * d, cy + r * d}, h1{cx + r * 2.05 * d + r * 0.6, cy + r * 2.05 * d + r * 0.6};
    L.FillOutlined(Stroke({h0, h1}, r * 0.62), Linear(h0, rgb(120, 74, 40), h1, rgb(60, 30, 12)), kInk);
    // Glass, then the rim over it.
    double rim = std::max(1.4, r * 0.26);
    Shape glass = Circle(cx, cy, r - rim / 2);
    L.Fill(glass, Linear({cx - r, cy - r}, rgb(236, 248, 255), {cx + r, cy + r}, rgb(150, 200, 236)), 0.72);
    Shape ring = Subtract(Circle(cx, cy, r), Circle(cx, cy, r - rim));
    L.Fill(Offset(ring, 0.8), kInk);
    L.Fill(ring, Linear({cx - r, cy - r}, rgb(226, 228, 236), {cx + r, cy + r}, rgb(110, 112, 124)));
    // A glint on the glass.
    std::vector<Point> arc;
    for (int i = 0; i <= 12; ++i) {
        double a = (200 + 70.0 * i / 12) * kPi / 180;
        arc.push_back({cx + (r - rim * 1.9) * std::cos(a), cy + (r - rim * 1.9) * std::sin(a)});
    }
    L.Fill(Stroke(arc, std::max(0.9, r * 0.16)), kWhite, 0.85);
}

// The emergency exit sign: a figure running out through a door.
void exitSign(Layer& L, double x, double y, double w, double h) {
    Shape sign = Box(x, y, x + w, y + h, h * 0.1);
    L.FillOutlined(sign, vertical(y, rgb(24, 172, 88), y + h, kGreenDark), rgb(0, 70, 32), 1.2);
    L.Fill(Stroke({{x + 2.4, y + h - 2.2}, {x + 2.4, y + 3.5}, {x + w * 0.25, y + 2.2}}, 0.8), kWhite, 0.25);
    // The doorway: a white frame with the green opening inside, at the right.
    double u = h / 40;  // the figure's unit
    double dx0 = x + w * 0.60, dx1 = x + w * 0.86, dy0 = y + h * 0.14, dy1 = y + h * 0.86;
    L.Fill(Box(dx0, dy0, dx1, dy1, 0.6), kWhite);
    L.Fill(Box(dx0 + 2.6 * u, dy0 + 2.6 * u, dx1 - 2.6 * u, dy1, 0.3), vertical(dy0, rgb(6, 132, 62), dy1,
                                                                                   rgb(0, 100, 46)));
    // The figure, leaning into its run towards the door; the leading foot
    // already crosses the threshold.
    auto P = [&](double fx, double fy) { return Point{x + w * 0.40 + fx * u, y + fy * u}; };
    double limb = 4.6 * u;
    Shape figure = Circle(P(7.5, 8.3).x, P(7.5, 8.3).y, 3.9 * u);
    figure = Union(figure, Stroke({P(4.6, 14.5), P(-0.6, 24.5)}, 6.0 * u));                       // torso
    figure = Union(figure, Stroke({P(4.2, 15.2), P(11.0, 19.0), P(16.5, 15.4)}, limb * 0.85));    // front arm
    figure = Union(figure, Stroke({P(3.6, 15.6), P(-2.4, 18.6), P(-6.6, 23.0)}, limb * 0.85));    // back arm
    figure = Union(figure, Stroke({P(-0.4, 24.8), P(8.0, 28.6), P(10.4, 35.8), P(14.8, 35.8)}, limb));  // front leg
    figure = Union(figure, Stroke({P(-0.8, 24.8), P(-4.6, 31.6), P(-11.4, 33.4), P(-13.0, 30.6)}, limb));  // back leg
    // A thin green rim keeps the figure apart from the door frame it overlaps.
    L.Fill(Offset(figure, 1.1 * u), rgb(0, 126, 58));
    L.Fill(figure, kWhite);
}

// A sheet of paper with a folded corner and lines of text, turned by angle.
void paper(Layer& L, double cx, double cy, double w, double h, double angle) {
    double x0 = cx - w / 2, y0 = cy - h / 2, x1 = cx + w / 2, y1 = cy + h / 2, f = w * 0.32;
    Point c{cx, cy};
    Shape sheet = Rotate(Polygon({{x0, y0}, {x1 - f, y0}, {x1, y0 + f}, {x1, y1}, {x0, y1}}), c, angle);
    L.Fill(Translate(sheet, 1.2, 1.4), rgb(60, 60, 70), 0.35);  // shadow
    L.FillOutlined(sheet, Linear({x0, y0}, kWhite, {x1, y1}, rgb(222, 226, 234)), rgb(86, 90, 104), 0.9);
    L.FillOutlined(Rotate(Polygon({{x1 - f, y0}, {x1 - f, y0 + f}, {x1, y0 + f}}), c, angle), rgb(206, 210, 220),
                   rgb(86, 90, 104), 0.7);
    for (int i = 0; i < 5; ++i) {
        double ly = y0 + f + 1.4 + i * (h - f - 3) / 5.0;
        double right = i == 0 ? x1 - f - 0.5 : (i == 4 ? x1 - w * 0.4 : x1 - 2.2);
        if (i == 0) ly = y0 + 2.6;
        L.Fill(Rotate(Box(x0 + 2.2, ly, right, ly + 0.95), c, angle), rgb(110, 130, 170));
    }
}

// ---- from layers to indexed pictures ---------------------------------------------

BYTE channel(double v) { return (BYTE)std::lround(std::clamp(v, 0.0, 1.0) * 255); }

PaletteColor over(const Layer::Pixel& p, Color under) {
    return {channel(p.r + under.r * (1 - p.a)), channel(p.g + under.g * (1 - p.a)),
            channel(p.b + under.b * (1 - p.a))};
}

Color color(PaletteColor c) { return rgb(c.r, c.g, c.b); }

IndexedImage toBitmap(const Layer& L) {
    std::vector<PaletteColor> pixels;
    for (int y = 0; y < L.height(); ++y)
        for (int x = 0; x < L.width(); ++x) pixels.push_back(over(L.at(x, y), color(kBitmapBackground)));
    Quantized q = Quantize(pixels, {kBitmapBackground}, 256);
    IndexedImage image;
    image.width = L.width();
    image.height = L.height();
    image.bitCount = 8;
    image.palette = q.palette;
    image.pixels = q.indices;
    return image;
}

// Pixels at least half covered are drawn, blended with a dialog's face where
// not wholly covered; the rest are transparent.
IndexedImage toIcon(const Layer& L) {
    const PaletteColor black{0, 0, 0};
    std::vector<PaletteColor> pixels;
    std::vector<BYTE> transparent;
    for (int y = 0; y < L.height(); ++y)
        for (int x = 0; x < L.width(); ++x) {
            const Layer::Pixel& p = L.at(x, y);
            bool clear = p.a < 0.5;
            transparent.push_back(clear);
            PaletteColor c = clear ? black : over(p, kFace);
            // Drawn black must not be mistaken for the transparent entry's colour.
            if (!clear && c == black) c = {1, 1, 1};
            pixels.push_back(c);
        }
    Quantized q = Quantize(pixels, {black}, 256);
    IndexedImage image;
    image.width = L.width();
    image.height = L.height();
    image.bitCount = 8;
    image.palette = q.palette;
    image.pixels = q.indices;
    image.transparent = transparent;
    return image;
}

Layer appIcon() {
    Layer L(48, 48);
    monitor(L, 21, 2, 26, 25);
    cfCard(L, 1.5, 24.5, 24, 21);
    curvedArrow(L, {7.5, 23.5}, {6, 6}, {20, 8.5}, 3.2, 6.0, 7.6);
    curvedArrow(L, {39, 28.5}, {41, 44}, {27.5, 41}, 3.2, 6.0, 7.6);
    return L;
}

Layer browseIcon() {
    Layer L(32, 32);
    folder(L, 1.5, 4.5, 29, 23);
    return L;
}

Layer refreshIcon() {
    Layer L(32, 32);
    tower(L, 2.5, 1.5, 15, 28);
    magnifier(L, 19.5, 16, 7.2);
    return L;
}

Layer transferBitmap(bool backup) {
    Layer L(104, 55);
    if (backup) {
        cfCard(L, 4.5, 13.5, 34, 29);
        straightArrow(L, 41.5, 63.5, 28, 6, 11, 14);
        monitor(L, 66.5, 8.5, 35, 38);
    } else {
        monitor(L, 2.5, 8.5, 35, 38);
        straightArrow(L, 40.5, 62.5, 28, 6, 11, 14);
        cfCard(L, 65.5, 13.5, 34, 29);
    }
    return L;
}

Layer quitBitmap() {
    Layer L(104, 55);
    exitSign(L, 20.5, 6.5, 63, 42);
    return L;
}

// Lightens the grey copy so that it reads as switched off.
constexpr double kGreyLift = 0.32;

Layer grey(Layer L) {
    L.Greyscale(kGreyLift);
    return L;
}

Layer clipFrame(bool backup, int frame) {
    Layer L(kClipWidth, kClipHeight);
    // The source at the left, the target at the right; the computer's
    // screen faces the card and its case stands on the far side.
    if (backup) {
        cfCard(L, 6.5, 5.5, 38, 31);
        tower(L, 238.5, 4.5, 16, 34);
        monitor(L, 196.5, 2.5, 40, 36);
    } else {
        tower(L, 5.5, 4.5, 16, 34);
        monitor(L, 23.5, 2.5, 40, 36);
        cfCard(L, 215.5, 5.5, 38, 31);
    }
    // The sheet leaves the source, arcs over and drops into the target,
    // leaving a short trail of dots.
    double from = backup ? 36 : 56, to = backup ? 204 : 224;
    auto at = [&](double t) {
        return Point{from + (to - from) * t, 24 - 13 * std::sin(kPi * t)};
    };
    double t = frame / (double)(kClipFrames - 1);
    for (int i = 3; i >= 1; --i) {
        double back = t - 0.06 * i;
        if (back < 0.02) continue;
        Point p = at(back);
        L.Fill(Circle(p.x, p.y, 2.3 - 0.35 * i), rgb(120, 140, 190));
    }
    Point p = at(t);
    paper(L, p.x, p.y, 14, 18, -18 * std::cos(kPi * t));
    return L;
}

Clip buildClip(bool backup) {
    Clip clip;
    clip.width = kClipWidth;
    clip.height = kClipHeight;
    clip.microSecPerFrame = kClipMicroSecPerFrame;
    std::vector<PaletteColor> pixels;
    for (int f = 0; f < kClipFrames; ++f) {
        Layer L = clipFrame(backup, f);
        for (int y = 0; y < L.height(); ++y)
            for (int x = 0; x < L.width(); ++x) {
                const Layer::Pixel& p = L.at(x, y);
                PaletteColor c = p.a < 0.5 ? kClipBackground : over(p, kFace);
                if (p.a >= 0.5 && c == kClipBackground) c = {254, 0, 254};
                pixels.push_back(c);
            }
    }
    Quantized q = Quantize(pixels, {kClipBackground}, kClipColors);
    clip.palette = q.palette;
    const size_t n = (size_t)kClipWidth * kClipHeight;
    for (int f = 0; f < kClipFrames; ++f)
        clip.frames.emplace_back(q.indices.begin() + (long)(f * n), q.indices.begin() + (long)((f + 1) * n));
    return clip;
}

}  // namespace

IndexedImage BuildIcon(unsigned short id) {
    switch (id) {
    case IDI_APP: return toIcon(appIcon());
    case IDI_BROWSE: return toIcon(browseIcon());
    case IDI_BROWSE_BUSY: return toIcon(grey(browseIcon()));
    case IDI_REFRESH: return toIcon(refreshIcon());
    case IDI_REFRESH_BUSY: return toIcon(grey(refreshIcon()));
    }
    throw std::invalid_argument("no such icon");
}

IndexedImage BuildBitmap(unsigned short id) {
    switch (id) {
    case IDB_BACKUP_ON: return toBitmap(transferBitmap(true));
    case IDB_BACKUP_OFF: return toBitmap(grey(transferBitmap(true)));
    case IDB_RESTORE_ON: return toBitmap(transferBitmap(false));
    case IDB_RESTORE_OFF: return toBitmap(grey(transferBitmap(false)));
    case IDB_QUIT: return toBitmap(quitBitmap());
    }
    throw std::invalid_argument("no such bitmap");
}

Clip BuildClip(unsigned short id) {
    if (id == IDR_AVI_BACKUP) return buildClip(true);
    if (id == IDR_AVI_RESTORE) return buildClip(false);
    throw std::invalid_argument("no such clip");
}

std::vector<BYTE> BuildArtworkFile(const ArtworkFile& file) {
    switch (file.kind) {
    case ArtKind::Icon: return EncodeIcoFile(BuildIcon(file.id));
    case ArtKind::Bitmap: return EncodeBmpFile(BuildBitmap(file.id));
    case ArtKind::Clip: return EncodeAvi(BuildClip(file.id));
    }
    throw std::invalid_argument("unknown kind");
}

}  // namespace art
