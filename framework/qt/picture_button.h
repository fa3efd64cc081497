// A push button that shows a bitmap or an icon instead of its text: the
// picture at its own size, centred, inside the button's frame line.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

namespace qtfw {

class PictureButton : public QPushButton {
public:
    explicit PictureButton(QWidget* parent);

    // A null pixmap shows none.
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

    // Where the picture goes: the part of it that is drawn, and where in the
    // button. The target is never larger than the source: a picture too big
    // for the button is scaled down, not cut.
    struct Placement {
        QRect source;
        QRect target;
    };
    Placement Place() const;
    // The area inside the frame line, which the picture never covers.
    QRect Inside() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    QRect opaque_;       // the picture's bounding box of pixels that are not clear
    QColor ground_;      // the flat ground of a picture without clear pixels
};

}  // namespace qtfw
