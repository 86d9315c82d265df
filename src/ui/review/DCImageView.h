#pragma once

#include <atomic>
#include <memory>

#include <QColor>
#include <QImage>
#include <QThreadPool>
#include <QUrl>
#include <QWidget>

// The large image of review mode: the picture fitted to the view with its aspect ratio kept, centred,
// on the background colour. setImageURL() decodes the file on a worker thread at a size that covers the
// view (JPEG DCT scaling does most of the work), and again at a larger size when the view grows past it.
// A file that cannot be shown leaves a short message instead of a picture.
class DCImageView : public QWidget {
    Q_OBJECT
public:
    explicit DCImageView(QWidget *parent = nullptr);
    ~DCImageView() override;

    void setImage(const QImage &image);
    QImage image() const { return image_; }
    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return backgroundColor_; }
    void setImageURL(const QUrl &url);
    QUrl imageURL() const { return imageURL_; }
    // Loads the same URL again (the file was rewritten).
    void reload();
    QString message() const { return message_; }

Q_SIGNALS:
    // A decode for the current URL finished (with a picture or with a message).
    void imageLoaded();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void load(int width);
    void loaded(quint64 generation, const QImage &image, const QString &error, int requestedWidth);

    QImage image_;
    QColor backgroundColor_;
    QUrl imageURL_;
    QString message_;
    int decodedForWidth_ = 0;
    std::shared_ptr<std::atomic<quint64>> generation_;
    QThreadPool decoder_;
};
