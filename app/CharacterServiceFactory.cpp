#include "CharacterServiceFactory.h"

#include "platform/agent/Agent.h"

namespace cw {

std::unique_ptr<ICharacterService> makeCharacterService(const QString& characterFile) {
    auto agent = std::make_unique<agent::Agent>();
    agent->prefetch(characterFile);
    return agent;
}

} // namespace cw
