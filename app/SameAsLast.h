#pragma once
// Telling a picture that repeats the last one stored. What is stored is the screen's top-left
// corner of platform::kPictureWidth × platform::kPictureHeight as 24-bit colour, so two captures
// store the same picture exactly when that corner has the same size and every pixel the same
// red, green and blue; the rest of a capture and the unused fourth byte of a pixel do not count.

#include <QImage>

namespace app {

// True when `a` and `b` store the same picture. Null images are never the same.
bool sameStoredPixels(const QImage& a, const QImage& b);

// The last picture of a run, for the option that stores no picture equal to it.
class SameAsLast {
public:
    // A new run: its first picture is always stored.
    void forget() { last_ = QImage(); }
    // True when `capture` stores the same picture as the last one; otherwise it becomes the last
    // one and false is returned. The caller stores every picture this passes, or stops the run.
    bool repeats(const QImage& capture);

private:
    QImage last_;  // shared with the capture, not copied
};

}  // namespace app
