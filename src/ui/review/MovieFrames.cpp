#include "ui/review/MovieFrames.h"

#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include "core/DCLog.h"

// Qt's GStreamer media backend crashes the program when GStreamer's own base plugins are missing (as on a
// plain Debian desktop without them), so movies are opened only through the FFmpeg backend, which needs
// nothing beyond Qt Multimedia; the program chooses it at start unless the user chose another.
bool MovieFrames::isAvailable() {
    return qEnvironmentVariable("QT_MEDIA_BACKEND") == QLatin1String("ffmpeg");
}

MovieFrames::MovieFrames(int width, QObject *parent) : QObject(parent), width_(width) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(kTimeoutMs);
    connect(&timeout_, &QTimer::timeout, this, [this] { finish({}, QStringLiteral("no frame in time")); });
}

MovieFrames::~MovieFrames() {
    if (player_) player_->stop();
}

void MovieFrames::request(const QString &uid, const QString &path) {
    if (asked_.contains(uid)) return;
    asked_.insert(uid);
    queue_.push_back({uid, path});
    if (!current_) startNext();
}

// The player is made on first use: most libraries hold no movie at all.
void MovieFrames::startNext() {
    if (queue_.empty()) return;
    current_ = std::make_unique<Job>(queue_.front());
    queue_.pop_front();
    if (!isAvailable()) {
        finish({}, QStringLiteral(
                       "movies are read only through the FFmpeg media backend (QT_MEDIA_BACKEND=ffmpeg)"));
        return;
    }
    if (!player_) {
        player_ = new QMediaPlayer(this);
        sink_ = new QVideoSink(this);
        player_->setVideoSink(sink_);
        connect(sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame &frame) {
            if (!current_ || !frame.isValid()) return;
            const QImage image = frame.toImage();
            if (!image.isNull()) finish(image.scaledToWidth(width_, Qt::SmoothTransformation), {});
        });
        connect(player_, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error, const QString &text) { finish({}, text); });
    }
    timeout_.start();
    player_->setSource(QUrl::fromLocalFile(current_->path));
    player_->play();
}

void MovieFrames::finish(const QImage &image, const QString &failure) {
    if (!current_) return;
    timeout_.stop();
    const Job job = *current_;
    current_.reset();
    if (player_) player_->stop();
    if (image.isNull() && !logged_.contains(job.path)) {
        logged_.insert(job.path);
        DCLog("No first frame of the movie %s: %s", qUtf8Printable(job.path), qUtf8Printable(failure));
    }
    Q_EMIT frameReady(job.uid, image);
    // Not from inside the player's own signal.
    QMetaObject::invokeMethod(this, &MovieFrames::startNext, Qt::QueuedConnection);
}
