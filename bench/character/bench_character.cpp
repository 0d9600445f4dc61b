// Figures for the character engine: loading the character file, drawing a frame at device pixel ratio 2, the
// CPU used while the character idles on screen, and peak memory. Prints figures; asserts nothing.
//   bench_character [--file genie.acs] [--idle-seconds 60]
#include "app/CharacterServiceFactory.h"
#include "character/Agent.h"
#include "character/CharacterFile.h"
#include "character/FrameRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace cw::character;
using cw::Mouth;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString path = QStringLiteral(CW_GENIE_ACS);
    int idleSeconds = 60;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--file")
            path = args[i + 1];
        else if (args[i] == u"--idle-seconds")
            idleSeconds = args[i + 1].toInt();
    }
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "bench_character: %s does not exist (build genie_acs first)\n",
                     qPrintable(path));
        return 1;
    }

    // Loading: read, check every part, prepare the SVG images.
    std::vector<double> loads;
    std::shared_ptr<const CharacterData> data;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer t;
        t.start();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        data = std::make_shared<const CharacterData>(unpack(f.readAll()).value());
        FrameRenderer renderer(data);
        loads.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("character file: %s, %lld bytes, %zu images, %zu animations\n", qPrintable(path),
                QFileInfo(path).size(), data->images.size(), data->animations.size());
    std::printf("load (read + check + prepare images): median %.2f ms, first %.2f ms (target <= 20 ms)\n",
                median(loads), loads.front());

    // Drawing every frame at device pixel ratio 2: the first time each image is rasterised, then from the
    // cache.
    FrameRenderer renderer(data);
    std::vector<double> cold;
    std::vector<double> warm;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t a = 0; a < data->animations.size(); ++a) {
            for (std::size_t f = 0; f < data->animations[a].frames.size(); ++f) {
                QElapsedTimer t;
                t.start();
                const QImage img = renderer.render(int(a), int(f), Mouth::Wide2, 2.0);
                (pass == 0 ? cold : warm).push_back(double(t.nsecsElapsed()) / 1e6);
            }
        }
    }
    std::printf("draw one frame at DPR 2 (%dx%d px): median %.2f ms, worst %.2f ms (target <= 4 ms); "
                "first drawing of each frame: median %.2f ms, worst %.2f ms\n",
                data->width * 2, data->height * 2, median(warm), *std::max_element(warm.begin(), warm.end()),
                median(cold), *std::max_element(cold.begin(), cold.end()));

    // Idling on screen: the whole service, as the program uses it.
    const std::unique_ptr<Agent> service = cw::makeCharacterService({QFileInfo(path).absolutePath()});
    Agent& agent = *service;
    QElapsedTimer serviceLoad;
    serviceLoad.start();
    agent.Load(QStringLiteral("Genie"), QFileInfo(path).fileName());
    const double serviceMs = double(serviceLoad.nsecsElapsed()) / 1e6;
    std::printf("Load through the character service (with its window and speech): %.2f ms\n", serviceMs);
    cw::ICharacter& genie = agent.Item(QStringLiteral("Genie"));
    genie.Show();
    genie.MoveTo(676, 385);
    genie.Play(QStringLiteral("Greet"));
    genie.Play(QStringLiteral("Blink"));
    genie.setIdleOn(true);
    // Let the start-up animations finish before measuring the quiet time.
    QTimer::singleShot(8000, &app, &QApplication::quit);
    app.exec();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(idleSeconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.elapsed()) / 1000;
    std::printf(
        "idling for %.0f s (idle animations from 10 s on): %.3f s CPU = %.2f %% of a core (target <= 1 %%)\n",
        seconds, cpu, 100 * cpu / seconds);
    // Speaking once loads the voice too.
    CharacterEngine& engine = agent.character(QStringLiteral("Genie"))->engine();
    const cw::RequestId said = genie.Speak(QStringLiteral("Hello, I am the genie."));
    QObject::connect(&engine, &CharacterEngine::requestFinished, &app, [&app, said](cw::RequestId id, bool) {
        if (id == said)
            app.quit();
    });
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();
    std::printf("peak memory with the genie loaded, drawn and speaking: %.1f MB (target <= 80 MB)\n",
                double(peakKilobytes()) / 1024);
    // A second language loads eSpeak NG and that language's voice beside the genie's own.
    const cw::RequestId german = genie.Speak(
        QStringLiteral("Guten Abend, meine Damen und Herren, heute lesen wir gemeinsam einen langen Text."));
    QObject::connect(&engine, &CharacterEngine::requestFinished, &app,
                     [&app, german](cw::RequestId id, bool) {
                         if (id == german)
                             app.quit();
                     });
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();
    std::printf("peak memory after speaking English and German: %.1f MB (target <= 50 MB)\n",
                double(peakKilobytes()) / 1024);
    return 0;
}
