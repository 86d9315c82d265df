#pragma once

#include <array>
#include <memory>
#include <mutex>

#include "photos/SoundEffects.h"

class QSoundEffect;

// The sounds as wav resources (":/sounds/<name>.wav") played through QSoundEffect. The effects live
// on the main thread; a play() from another thread is handed to it. On a machine without an audio
// output nothing is loaded or played, and that is logged once.
class QtSoundEffects : public SoundEffects {
public:
    QtSoundEffects();
    ~QtSoundEffects() override;
    QtSoundEffects(const QtSoundEffects &) = delete;
    QtSoundEffects &operator=(const QtSoundEffects &) = delete;

    void play(Sound sound) override;
    void stop(Sound sound) override;

    static QString resourcePath(Sound sound);
    static bool hasAudioOutput();

private:
    // Loads the effects on first use (main thread); false when there is nothing to play on.
    bool ensureLoaded();

    std::array<std::unique_ptr<QSoundEffect>, 4> effects_;
    bool tried_ = false;
    bool available_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
