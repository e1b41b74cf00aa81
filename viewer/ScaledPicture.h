#pragma once
// A picture drawn as large as the widget allows with its proportions kept, or a text in its
// place.

#include <QImage>
#include <QString>
#include <QWidget>

#include "platform/Screen.h"

namespace viewer {

class ScaledPicture : public QWidget {
    Q_OBJECT
public:
    explicit ScaledPicture(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    // Shows `text` instead of a picture.
    void setText(const QString& text);

    const QImage& image() const { return image_; }
    const QString& text() const { return text_; }

    QSize sizeHint() const override { return {platform::kPictureWidth, platform::kPictureHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QString text_;
};

}  // namespace viewer
