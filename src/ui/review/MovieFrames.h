#pragma once

#include <deque>
#include <memory>

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class QMediaPlayer;
class QVideoSink;

// The first frame of each movie asked for, one movie at a time. The media framework decodes on its own
// threads; a movie that gives no frame within kTimeoutMs (or an error) answers a null image and is
// logged once.
class MovieFrames : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 3000;

    explicit MovieFrames(int width, QObject *parent = nullptr);
    // Whether movies can be opened here at all; when not, every movie answers a null image.
    static bool isAvailable();
    ~MovieFrames() override;

    void request(const QString &uid, const QString &path);

Q_SIGNALS:
    void frameReady(const QString &uid, const QImage &image);

private:
    void startNext();
    void finish(const QImage &image, const QString &failure);

    struct Job {
        QString uid;
        QString path;
    };
    const int width_;
    std::deque<Job> queue_;
    std::unique_ptr<Job> current_;
    QSet<QString> asked_;
    QSet<QString> logged_;
    QMediaPlayer *player_ = nullptr;
    QVideoSink *sink_ = nullptr;
    QTimer timeout_;
};
