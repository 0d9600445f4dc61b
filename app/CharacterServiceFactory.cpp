#include "CharacterServiceFactory.h"

#include "TtsSpeechOutput.h"

namespace cw {

std::unique_ptr<character::Agent> makeCharacterService(const QStringList& folders) {
    character::Agent::Options options;
    options.makeSpeech = makeSpeechOutput;
    options.folders = folders;
    return std::make_unique<character::Agent>(std::move(options));
}

} // namespace cw
