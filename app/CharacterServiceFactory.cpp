#include "CharacterServiceFactory.h"

#include "platform/agent/Agent.h"

namespace cw {

std::unique_ptr<ICharacterService> makeCharacterService() {
    return std::make_unique<agent::Agent>();
}

} // namespace cw
