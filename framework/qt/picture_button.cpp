#include "framework/qt/picture_button.h"

#include <QImage>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace qtfw {

PictureButton::PictureButton(QWidget* parent) : QPushButton(parent) {}

void PictureButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    opaque_ = QRect();
    ground_ = QColor();
    if (!picture_.isNull()) {
        const QImage image = picture_.toImage().convertToFormat(QImage::Format_ARGB32);
        int left = image.width(), top = image.height(), right = -1, bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        if (right >= 0) opaque_ = QRect(QPoint(left, top), QPoint(right, bottom));
        // A picture without clear pixels whose four corners share one colour
        // stands on a flat ground of that colour.
        const QRgb corner = image.pixel(0, 0);
        const int w = image.width() - 1, h = image.height() - 1;
        if (opaque_ == image.rect() && qAlpha(corner) == 255 && image.pixel(w, 0) == corner &&
            image.pixel(0, h) == corner && image.pixel(w, h) == corner)
            ground_ = QColor(corner);
    }
    update();
}

QRect PictureButton::Inside() const { return rect().adjusted(1, 1, -1, -1); }

PictureButton::Placement PictureButton::Place() const {
    if (picture_.isNull() || opaque_.isNull()) return {};
    const QRect inside = Inside();
    auto centred = [&inside](QSize size) {
        return QRect(inside.x() + (inside.width() - size.width()) / 2,
                     inside.y() + (inside.height() - size.height()) / 2, size.width(), size.height());
    };
    // The whole picture centred, as the template's button centres it, when
    // what it shows then stays inside the frame.
    const QRect whole = centred(picture_.size());
    if (inside.contains(opaque_.translated(whole.topLeft()))) return {picture_.rect(), whole};
    // Else only the part that shows, centred, and scaled down if it must be.
    QSize size = opaque_.size();
    if (size.width() > inside.width() || size.height() > inside.height())
        size.scale(inside.size(), Qt::KeepAspectRatio);
    return {opaque_, centred(size)};
}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);
    Placement place = Place();
    if (place.target.isEmpty()) return;
    const QPixmap shown = isEnabled() ? picture_ : style()->generatedIconPixmap(QIcon::Disabled, picture_, &option);
    if (ground_.isValid()) {
        // The picture's ground fills the whole face, so that the picture
        // does not sit in a box of another colour; pressed, it darkens.
        const QColor ground = isEnabled() ? ground_ : QColor(shown.toImage().pixel(0, 0));
        QPainterPath face;
        face.addRoundedRect(QRectF(Inside()), 2, 2);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(face, isDown() ? ground.darker(112) : ground);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    // Pressed, the picture moves a pixel down and to the right.
    if (isDown() && Inside().contains(place.target.translated(1, 1))) place.target.translate(1, 1);
    if (place.target.size() != place.source.size()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(place.target, shown, place.source);
}

}  // namespace qtfw
