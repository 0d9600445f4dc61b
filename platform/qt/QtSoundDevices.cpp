#include "QtSoundDevices.h"

#include <QAudioDevice>
#include <QMediaDevices>

namespace cw {

int QtSoundDevices::outputCount() {
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

} // namespace cw
