// Signed-distance shapes and the supersampling painter.
#include "artwork/raster.h"

#include <algorithm>
#include <cmath>

namespace art {
namespace {

constexpr int kSamples = 6;  // per axis: 36 coverage levels per pixel
constexpr double kPi = 3.14159265358979323846;

double segmentDistance(double px, double py, Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    double ex = px - (a.x + t * dx), ey = py - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

Shape bounded(std::function<double(double, double)> f, double x0, double y0, double x1, double y1) {
    return Shape{std::move(f), x0, y0, x1, y1};
}

}  // namespace

Color rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Color mix(Color a, Color b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color shade(Color c, double f) {
    if (f <= 1) return {c.r * f, c.g * f, c.b * f};
    return mix(c, Color{1, 1, 1}, std::min(1.0, f - 1));
}

Shape Circle(double cx, double cy, double r) {
    return bounded([=](double x, double y) { return std::hypot(x - cx, y - cy) - r; }, cx - r, cy - r, cx + r,
                   cy + r);
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
    // Underestimates the distance away from the axes, which is safe here.
    double m = std::min(rx, ry);
    return bounded([=](double x, double y) { return (std::hypot((x - cx) / rx, (y - cy) / ry) - 1) * m; },
                   cx - rx, cy - ry, cx + rx, cy + ry);
}

Shape Box(double x0, double y0, double x1, double y1, double radius) {
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return bounded(
        [=](double x, double y) {
            double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
            double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
            return outside + std::min(std::max(qx, qy), 0.0) - radius;
        },
        x0, y0, x1, y1);
}

Shape Polygon(std::vector<Point> pts) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (Point p : pts) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    return bounded(
        [pts](double x, double y) {
            double d = 1e9;
            int winding = 0;
            for (size_t i = 0, n = pts.size(); i < n; ++i) {
                Point a = pts[i], b = pts[(i + 1) % n];
                d = std::min(d, segmentDistance(x, y, a, b));
                if (a.y <= y) {
                    if (b.y > y && (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y) > 0) ++winding;
                } else if (b.y <= y && (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y) < 0) {
                    --winding;
                }
            }
            return winding ? -d : d;
        },
        x0, y0, x1, y1);
}

Shape Stroke(std::vector<Point> pts, double width) {
    double r = width / 2;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (Point p : pts) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    return bounded(
        [pts, r](double x, double y) {
            double d = 1e9;
            if (pts.size() == 1) return std::hypot(x - pts[0].x, y - pts[0].y) - r;
            for (size_t i = 0; i + 1 < pts.size(); ++i) d = std::min(d, segmentDistance(x, y, pts[i], pts[i + 1]));
            return d - r;
        },
        x0 - r, y0 - r, x1 + r, y1 + r);
}

std::vector<Point> Quadratic(Point a, Point c, Point b, int steps) {
    std::vector<Point> out;
    for (int i = 0; i <= steps; ++i) {
        double t = (double)i / steps, u = 1 - t;
        out.push_back({u * u * a.x + 2 * u * t * c.x + t * t * b.x, u * u * a.y + 2 * u * t * c.y + t * t * b.y});
    }
    return out;
}

Shape Union(Shape a, Shape b) {
    auto fa = a.sdf, fb = b.sdf;
    return bounded([fa, fb](double x, double y) { return std::min(fa(x, y), fb(x, y)); }, std::min(a.x0, b.x0),
                   std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1));
}

Shape Intersect(Shape a, Shape b) {
    auto fa = a.sdf, fb = b.sdf;
    return bounded([fa, fb](double x, double y) { return std::max(fa(x, y), fb(x, y)); }, std::max(a.x0, b.x0),
                   std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1));
}

Shape Subtract(Shape a, Shape b) {
    auto fa = a.sdf, fb = b.sdf;
    return bounded([fa, fb](double x, double y) { return std::max(fa(x, y), -fb(x, y)); }, a.x0, a.y0, a.x1, a.y1);
}

Shape Offset(Shape s, double d) {
    auto f = s.sdf;
    double g = std::max(d, 0.0);
    return bounded([f, d](double x, double y) { return f(x, y) - d; }, s.x0 - g, s.y0 - g, s.x1 + g, s.y1 + g);
}

Shape Rotate(Shape s, Point c, double degrees) {
    double a = degrees * kPi / 180, ca = std::cos(a), sa = std::sin(a);
    auto f = s.sdf;
    // The box of the rotated box.
    double xs[4] = {s.x0, s.x1, s.x1, s.x0}, ys[4] = {s.y0, s.y0, s.y1, s.y1};
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (int i = 0; i < 4; ++i) {
        double dx = xs[i] - c.x, dy = ys[i] - c.y;
        double rx = c.x + dx * ca - dy * sa, ry = c.y + dx * sa + dy * ca;
        x0 = std::min(x0, rx), y0 = std::min(y0, ry), x1 = std::max(x1, rx), y1 = std::max(y1, ry);
    }
    return bounded(
        [f, c, ca, sa](double x, double y) {
            double dx = x - c.x, dy = y - c.y;
            return f(c.x + dx * ca + dy * sa, c.y - dx * sa + dy * ca);
        },
        x0, y0, x1, y1);
}

Shape Translate(Shape s, double dx, double dy) {
    auto f = s.sdf;
    return bounded([f, dx, dy](double x, double y) { return f(x - dx, y - dy); }, s.x0 + dx, s.y0 + dy, s.x1 + dx,
                   s.y1 + dy);
}

Paint Solid(Color c) {
    return [c](double, double) { return c; };
}

Paint Linear(Point p0, Color c0, Point p1, Color c1) {
    double dx = p1.x - p0.x, dy = p1.y - p0.y, len2 = dx * dx + dy * dy;
    return [=](double x, double y) {
        double t = len2 > 0 ? ((x - p0.x) * dx + (y - p0.y) * dy) / len2 : 0;
        return mix(c0, c1, std::clamp(t, 0.0, 1.0));
    };
}

Layer::Layer(int width, int height) : width_(width), height_(height), pixels_((size_t)width * height) {}

void Layer::Fill(const Shape& shape, const Paint& paint, double opacity) {
    int xa = std::max(0, (int)std::floor(shape.x0) - 1), ya = std::max(0, (int)std::floor(shape.y0) - 1);
    int xb = std::min(width_ - 1, (int)std::ceil(shape.x1) + 1), yb = std::min(height_ - 1, (int)std::ceil(shape.y1) + 1);
    for (int y = ya; y <= yb; ++y) {
        for (int x = xa; x <= xb; ++x) {
            double cx = x + 0.5, cy = y + 0.5;
            double centre = shape.sdf(cx, cy);
            double coverage;
            if (centre > 0.75) {
                continue;  // the pixel lies wholly outside
            } else if (centre < -0.75) {
                coverage = 1;
            } else {
                int inside = 0;
                for (int j = 0; j < kSamples; ++j)
                    for (int i = 0; i < kSamples; ++i)
                        if (shape.sdf(x + (i + 0.5) / kSamples, y + (j + 0.5) / kSamples) < 0) ++inside;
                if (!inside) continue;
                coverage = (double)inside / (kSamples * kSamples);
            }
            double a = coverage * opacity;
            Color c = paint(cx, cy);
            Pixel& p = at(x, y);
            p.r = c.r * a + p.r * (1 - a);
            p.g = c.g * a + p.g * (1 - a);
            p.b = c.b * a + p.b * (1 - a);
            p.a = a + p.a * (1 - a);
        }
    }
}

void Layer::FillOutlined(const Shape& shape, const Paint& fill, Color outline, double width) {
    Fill(shape, outline);
    Fill(Offset(shape, -width), fill);
}

void Layer::Draw(const Layer& top, double opacity) {
    for (size_t i = 0; i < pixels_.size(); ++i) {
        const Pixel& s = top.pixels_[i];
        Pixel& d = pixels_[i];
        double a = s.a * opacity;
        d.r = s.r * opacity + d.r * (1 - a);
        d.g = s.g * opacity + d.g * (1 - a);
        d.b = s.b * opacity + d.b * (1 - a);
        d.a = a + d.a * (1 - a);
    }
}

void Layer::Greyscale(double lift) {
    for (Pixel& p : pixels_) {
        double y = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;  // premultiplied, so y <= a
        y = y + (p.a - y) * lift;
        p.r = p.g = p.b = y;
    }
}

}  // namespace art
