#include "framework/qt/animation.h"

#include "framework/avi.h"

#include <QPainter>

namespace qtfw {

AnimationWidget::AnimationWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&timer_, &QTimer::timeout, this, [this] { Advance(); });
}

bool AnimationWidget::Open(UINT resourceId) {
    Close();
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceId), "AVI");
    if (!found) return false;
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    const size_t size = SizeofResource(nullptr, found);
    AviClip clip;
    std::vector<std::vector<BYTE>> indices;
    if (!ReadAvi(bytes, size, &clip) || !DecodeAviFrames(bytes, size, clip, &indices)) return false;
    for (const auto& frame : indices) {
        QImage image(clip.width, clip.height, QImage::Format_ARGB32);
        for (int y = 0; y < clip.height; ++y)
            for (int x = 0; x < clip.width; ++x) {
                const BYTE index = frame[(size_t)y * clip.width + x];
                PaletteColor c = index < clip.palette.size() ? clip.palette[index] : PaletteColor{255, 0, 255};
                // Magenta is the clip's background: the dialog shows through.
                const bool clear = c.r == 255 && c.g == 0 && c.b == 255;
                image.setPixel(x, y, clear ? qRgba(0, 0, 0, 0) : qRgb(c.r, c.g, c.b));
            }
        frames_.push_back(image);
    }
    clip_ = resourceId;
    intervalMs_ = std::max(1, (int)(clip.microSecPerFrame / 1000));
    frame_ = 0;
    update();
    return !frames_.empty();
}

bool AnimationWidget::Play(UINT from, UINT to, UINT repeat) {
    if (frames_.empty()) return false;
    const int last = (int)frames_.size() - 1;
    from_ = std::min((int)from, last);
    to_ = to == 0xFFFF ? last : std::min((int)to, last);
    repeatsLeft_ = (int)repeat;  // -1 plays on and on
    frame_ = from_;
    timer_.start(intervalMs_);
    update();
    return true;
}

void AnimationWidget::Advance() {
    if (frames_.empty()) return;
    if (frame_ < to_) {
        ++frame_;
    } else if (repeatsLeft_ < 0 || --repeatsLeft_ > 0) {
        frame_ = from_;
    } else {
        timer_.stop();
    }
    update();
}

bool AnimationWidget::Stop() {
    timer_.stop();
    return true;
}

bool AnimationWidget::Seek(UINT frame) {
    if (frames_.empty()) return false;
    timer_.stop();
    frame_ = std::min((int)frame, (int)frames_.size() - 1);
    update();
    return true;
}

void AnimationWidget::Close() {
    timer_.stop();
    frames_.clear();
    clip_ = 0;
    frame_ = 0;
    update();
}

void AnimationWidget::paintEvent(QPaintEvent*) {
    if (frames_.empty()) return;
    QPainter painter(this);
    const QImage& image = frames_[(size_t)frame_];
    // Centred in the control.
    painter.drawImage((width() - image.width()) / 2, (height() - image.height()) / 2, image);
}

}  // namespace qtfw
