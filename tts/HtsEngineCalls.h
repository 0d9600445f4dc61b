#pragma once

#include "FliteModule.h"

namespace cw::tts {

// The module's calls into the HTS engine; see FliteModuleApi for what each does.
FliteStatus htsLoadVoice(const char* path, void** engine);
FliteStatus htsFrames(void* engine, const QList<QByteArray>& labels, const HtsControl& control,
                      HtsFrames& out);
void* htsNewVocoder(const HtsFrames& frames, FliteStatus& status);
void htsVocode(void* vocoder, const HtsFrames& frames, int frame, bool voiced, double alpha, double beta,
               qint16* out);
void htsFreeVocoder(void* vocoder);
FliteStatus htsEngineWaveform(void* engine, const QList<QByteArray>& labels, const HtsControl& control,
                              std::vector<qint16>& out);

} // namespace cw::tts
