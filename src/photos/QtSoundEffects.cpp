#include "photos/QtSoundEffects.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include "core/DCLog.h"
#include "core/MainThread.h"

QString SoundEffects::name(Sound sound) {
    switch (sound) {
    case Sound::CameraFocusBeep:
        return QStringLiteral("CameraFocusBeep");
    case Sound::CameraServoAutoFocus:
        return QStringLiteral("CameraServoAutoFocus");
    case Sound::CameraShutter:
        return QStringLiteral("CameraShutter");
    case Sound::TimerTick:
        return QStringLiteral("TimerTick");
    }
    return {};
}

QtSoundEffects::QtSoundEffects() = default;

QtSoundEffects::~QtSoundEffects() {
    *alive_ = false;
}

QString QtSoundEffects::resourcePath(Sound sound) {
    return QStringLiteral(":/sounds/%1.wav").arg(name(sound));
}

bool QtSoundEffects::hasAudioOutput() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

bool QtSoundEffects::ensureLoaded() {
    if (tried_) return available_;
    tried_ = true;
    if (!hasAudioOutput()) {
        DCLog("No audio output device: sound effects are not played");
        return false;
    }
    for (Sound sound :
         {Sound::CameraFocusBeep, Sound::CameraServoAutoFocus, Sound::CameraShutter, Sound::TimerTick}) {
        auto effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl(QStringLiteral("qrc") + resourcePath(sound)));
        effects_[static_cast<size_t>(sound)] = std::move(effect);
    }
    available_ = true;
    return true;
}

void QtSoundEffects::play(Sound sound) {
    // QSoundEffect belongs to the thread that made it: every use goes through the main thread.
    MainThread::run([this, alive = alive_, sound] {
        if (!*alive || !ensureLoaded()) return;
        effects_[static_cast<size_t>(sound)]->play();
    });
}

void QtSoundEffects::stop(Sound sound) {
    MainThread::run([this, alive = alive_, sound] {
        if (!*alive || !tried_ || !available_) return;
        effects_[static_cast<size_t>(sound)]->stop();
    });
}
