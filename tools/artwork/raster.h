// A small anti-aliased painter: shapes are signed distance functions (negative
// inside, in pixels), painted by supersampling onto a premultiplied RGBA
// layer. Everything is plain double arithmetic, so the same program always
// paints the same pixels.
#pragma once

#include <functional>
#include <vector>

namespace art {

struct Color {
    double r = 0, g = 0, b = 0;
};

Color rgb(int r, int g, int b);
Color mix(Color a, Color b, double t);  // t = 0 gives a
Color shade(Color c, double f);         // f < 1 darker, > 1 towards white

struct Point {
    double x = 0, y = 0;
};

struct Shape {
    std::function<double(double, double)> sdf;
    double x0, y0, x1, y1;  // bounding box in pixels
};

Shape Circle(double cx, double cy, double r);
Shape Ellipse(double cx, double cy, double rx, double ry);
// A rectangle with corners rounded by radius.
Shape Box(double x0, double y0, double x1, double y1, double radius = 0);
Shape Polygon(std::vector<Point> points);
// A segment or polyline of the given width with round ends and joints.
Shape Stroke(std::vector<Point> points, double width);
// A quadratic Bezier from a over control c to b, as a polyline.
std::vector<Point> Quadratic(Point a, Point c, Point b, int steps = 24);

Shape Union(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
// Grows (d > 0) or shrinks the shape by d pixels.
Shape Offset(Shape s, double d);
Shape Rotate(Shape s, Point centre, double degrees);
Shape Translate(Shape s, double dx, double dy);

using Paint = std::function<Color(double, double)>;
Paint Solid(Color c);
// Linear gradient from c0 at p0 to c1 at p1, clamped beyond.
Paint Linear(Point p0, Color c0, Point p1, Color c1);

class Layer {
public:
    Layer(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    void Fill(const Shape& shape, const Paint& paint, double opacity = 1.0);
    void Fill(const Shape& shape, Color c, double opacity = 1.0) { Fill(shape, Solid(c), opacity); }
    // The shape in the outline colour, and inside it, inset by width, the fill.
    void FillOutlined(const Shape& shape, const Paint& fill, Color outline, double width = 1.0);
    void FillOutlined(const Shape& shape, Color fill, Color outline, double width = 1.0) {
        FillOutlined(shape, Solid(fill), outline, width);
    }
    // Paints another layer over this one.
    void Draw(const Layer& top, double opacity = 1.0);

    // Premultiplied components, 0 to 1.
    struct Pixel {
        double r = 0, g = 0, b = 0, a = 0;
    };
    const Pixel& at(int x, int y) const { return pixels_[(size_t)y * width_ + x]; }
    Pixel& at(int x, int y) { return pixels_[(size_t)y * width_ + x]; }

    // Every colour replaced by its grey, lightened towards white by lift.
    void Greyscale(double lift);

private:
    int width_, height_;
    std::vector<Pixel> pixels_;
};

}  // namespace art
