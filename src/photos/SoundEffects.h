#pragma once

#include <QString>

// The program's four sound effects, behind an interface so that tests count what would be heard.
// play() may be called from any thread.
class SoundEffects {
public:
    enum class Sound { CameraFocusBeep, CameraServoAutoFocus, CameraShutter, TimerTick };

    virtual ~SoundEffects() = default;
    virtual void play(Sound sound) = 0;
    // Cuts the sound short if it is playing (the preference was switched off).
    virtual void stop(Sound sound) = 0;

    // The resource name, e.g. "CameraShutter".
    static QString name(Sound sound);
};
