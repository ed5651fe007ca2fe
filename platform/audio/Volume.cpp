#include "platform/audio/Volume.h"

LONG VolumeToAttenuation(float volume) {
    if (!(volume >= 0.0f)) {
        volume = 0.0f;  // also NaN
    } else if (volume > 1.0f) {
        volume = 1.0f;
    }
    // The fourth power makes the attenuation fall off gently near full volume and steeply
    // near silence, roughly following perceived loudness.
    const float quiet = 1.0f - volume;
    const float squared = quiet * quiet;
    return static_cast<LONG>(squared * squared * -7000.0f);
}
