#include "CharacterServiceFactory.h"

#include "platform/Failure.h"

#include <QCoreApplication>
#include <QDir>

namespace cw {

namespace {

// Stands in while this build has no character engine: it says so instead of pretending to load anything.
class NoCharacterService : public ICharacterService {
public:
    void Load(const QString&, const QString& fileName) override {
        throw Failure(
            QStringLiteral("The character file \"%1\" could not be loaded.\nLooked in: %2\nReason: this "
                           "build of the program has no character engine.")
                .arg(fileName, QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
    }
    ICharacter& Item(const QString& characterId) override {
        throw Failure(QStringLiteral("No character \"%1\" is loaded.").arg(characterId));
    }
};

} // namespace

std::unique_ptr<ICharacterService> makeCharacterService() {
    return std::make_unique<NoCharacterService>();
}

} // namespace cw
