// The animation control: plays an RLE8 AVI clip of the program's resources
// at its frame rate, centred, with magenta shown as transparent.
#pragma once

#include "platform/winapi.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace qtfw {

class AnimationWidget : public QWidget {
public:
    explicit AnimationWidget(QWidget* parent);

    bool Open(UINT resourceId);
    // Frames from..to (0xFFFF: the last), repeat times (-1: endlessly).
    bool Play(UINT from, UINT to, UINT repeat);
    bool Stop();
    bool Seek(UINT frame);
    void Close();

    UINT Clip() const { return clip_; }
    bool Playing() const { return timer_.isActive(); }
    int Frame() const { return frame_; }
    int FrameCount() const { return (int)frames_.size(); }
    int FrameInterval() const { return intervalMs_; }
    // Steps to the next frame as a tick of its timer does.
    void Advance();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QImage> frames_;
    UINT clip_ = 0;
    int frame_ = 0;
    int from_ = 0, to_ = 0;
    int repeatsLeft_ = -1;
    int intervalMs_ = 100;
    QTimer timer_;
};

}  // namespace qtfw
