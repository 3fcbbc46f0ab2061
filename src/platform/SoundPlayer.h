#pragma once

#include "platform/PlatformInterface.h"

#include <QStringList>
#include <functional>

// Alert sounds by name: the program's own sounds and those of the desktop's sound theme.
// Playing never blocks the caller.
class SoundPlayer : public PlatformInterface<SoundPlayer>
{
public:
    // played is false when the sound was unknown or the audio device failed. Runs once,
    // on the main thread.
    using Finished = std::function<void(bool played)>;

    // Prepares name so its first play starts quickly.
    virtual void preload(const QString &name) = 0;
    // volume is 0 to 1.
    virtual void play(const QString &name, double volume, Finished finished) = 0;
    // The desktop's sound names, in the theme folder's order.
    [[nodiscard]] virtual QStringList systemSoundNames() const = 0;
};
