#include "Agent.h"

#include "character/CharacterFile.h"
#include "character/CharacterWindow.h"
#include "core/BoundedFile.h"
#include "core/Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#ifndef CW_DATA_DIR
#define CW_DATA_DIR "/usr/local/share/chatterwisp"
#endif

namespace cw::character {

namespace {

// The free area (the screen less its panels) of a screen, the primary one when none is given; empty when
// there is no screen at all.
QRect freeScreenArea(const QScreen* screen = nullptr) {
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Until asked to move, a character stands near the bottom-right corner of the screen, like a desktop helper.
QPoint startingPlace(QSize frame) {
    const QRect area = freeScreenArea();
    if (area.isNull())
        return {};
    return {std::max(area.left(), area.right() - frame.width() - 40),
            std::max(area.top(), area.bottom() - frame.height() - 40)};
}

QRect screenAreaFor(const QRect& frame) {
    return freeScreenArea(QGuiApplication::screenAt(frame.center()));
}

/// What the loader says about a character file it found but could not read, after its introduction.
QString readProblem(const QString& place, const files::ReadError& error) {
    switch (error.failure) {
    case files::ReadFailure::NotRegular:
        return QStringLiteral(" %1 is not a file.").arg(place);
    case files::ReadFailure::TooLarge:
        return QStringLiteral(" %1 is larger than %2 bytes.").arg(place).arg(limits::kFileBytes);
    case files::ReadFailure::Missing:
    case files::ReadFailure::Unreadable:
        break;
    }
    return QStringLiteral(" %1.").arg(error.message);
}

} // namespace

AgentCharacter::AgentCharacter(std::shared_ptr<const CharacterData> data,
                               std::unique_ptr<FrameRenderer> renderer, std::unique_ptr<Clock> clock,
                               std::unique_ptr<SpeechOutput> speech, bool withWindow, QObject* parent)
    : QObject(parent), data_(std::move(data)), renderer_(std::move(renderer)), clock_(std::move(clock)),
      speech_(std::move(speech)), engine_(std::make_unique<CharacterEngine>(data_, *clock_, *speech_)) {
    engine_->setAreaFor(screenAreaFor);
    engine_->setPosition(startingPlace(renderer_->frameSize()));
    if (withWindow)
        window_ = std::make_unique<CharacterWindow>(*engine_, *renderer_);
    connect(engine_.get(), &CharacterEngine::speechStarted, this, [this](RequestId id, const QString& text) {
        if (speechWatcher_.started)
            speechWatcher_.started(id, text);
    });
    connect(engine_.get(), &CharacterEngine::wordSpoken, this, [this](RequestId id, int start, int length) {
        if (speechWatcher_.word)
            speechWatcher_.word(id, start, length);
    });
    connect(engine_.get(), &CharacterEngine::requestFinished, this, [this](RequestId id, bool) {
        if (speechRequests_.remove(id) && speechWatcher_.ended)
            speechWatcher_.ended(id);
    });
}

RequestId AgentCharacter::Speak(const QString& text) {
    const RequestId id = engine_->speak(text);
    speechRequests_.insert(id);
    return id;
}

AgentCharacter::~AgentCharacter() {
    // The window refers to the engine and the renderer; it goes first.
    window_.reset();
    engine_.reset();
}

Agent::Agent(Options options, QObject* parent) : QObject(parent), options_(std::move(options)) {
    if (!options_.makeClock)
        options_.makeClock = [] { return std::make_unique<SystemClock>(); };
    Q_ASSERT(options_.makeSpeech);
    if (options_.folders.isEmpty())
        options_.folders = defaultFolders();
}

Agent::~Agent() = default;

QStringList Agent::defaultFolders() {
    // Beside the program, then under its own prefix, so a package unpacked anywhere finds its own data first.
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{programFolder, programFolder + QStringLiteral("/../share/chatterwisp"),
                        QStringLiteral(CW_DATA_DIR)};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/chatterwisp");
    for (QString& f : folders)
        f = QDir::cleanPath(f);
    folders.removeDuplicates();
    return folders;
}

QStringList Agent::placesFor(const QString& fileName) const {
    if (fileName.contains(u'/'))
        return {fileName};
    QStringList places;
    for (const QString& folder : options_.folders)
        places << QDir(folder).filePath(fileName);
    return places;
}

void Agent::Load(const QString& characterId, const QString& fileName) {
    if (characters_.contains(characterId))
        throw Failure(QStringLiteral("A character is already loaded under the id \"%1\".").arg(characterId));
    const QStringList places = placesFor(fileName);
    const QString intro =
        QStringLiteral("The character \"%1\" could not be loaded from \"%2\".").arg(characterId, fileName);
    for (const QString& place : places) {
        const files::FileContents file = files::readRegularFile(place, limits::kFileBytes);
        if (!file.ok() && file.error().failure == files::ReadFailure::Missing)
            continue;
        // The first file found is the one used: a broken file is reported, not silently passed over.
        const QString where = QStringLiteral(" Looked in: %1.").arg(places.join(QStringLiteral(", ")));
        if (!file.ok())
            throw Failure(intro + readProblem(place, file.error()) + where);
        Result<CharacterData> unpacked = unpack(file.value());
        if (!unpacked.ok())
            throw Failure(intro + QStringLiteral(" %1 is damaged: %2.").arg(place, unpacked.message()) +
                          where);
        auto data = std::make_shared<const CharacterData>(std::move(unpacked).value());
        Result<std::unique_ptr<FrameRenderer>> renderer = FrameRenderer::create(data);
        if (!renderer.ok()) // an image that cannot be drawn
            throw Failure(intro + QStringLiteral(" %1 is damaged: %2.").arg(place, renderer.message()) +
                          where);
        auto character = new AgentCharacter(data, std::move(renderer).value(), options_.makeClock(),
                                            options_.makeSpeech(data->voice), options_.windows, this);
        characters_.insert(characterId, character);
        return;
    }
    throw Failure(
        intro + QStringLiteral(" It is in none of these places: %1.").arg(places.join(QStringLiteral(", "))));
}

ICharacter& Agent::Item(const QString& characterId) {
    AgentCharacter* c = characters_.value(characterId);
    if (!c)
        throw Failure(QStringLiteral("No character is loaded under the id \"%1\".").arg(characterId));
    return *c;
}

AgentCharacter* Agent::character(const QString& characterId) const {
    return characters_.value(characterId);
}

} // namespace cw::character
