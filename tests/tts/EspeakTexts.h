#pragma once

// Prose in the languages the eSpeak NG voice is measured and tested in: several sentences of everyday text,
// for pitch and speed.

#include <QString>
#include <array>

namespace cw::tts::test {

struct Prose {
    const char* language; ///< eSpeak NG's name for it
    const char* text;     ///< UTF-8
};

inline const std::array<Prose, 3> kProse = {{
    {"fr", "Chaque matin, la petite boulangerie du coin ouvre ses portes avant le lever du soleil. La "
           "patronne, une femme joyeuse qui s'appelle Claire, prépare du pain, des croissants et des gâteaux "
           "pour tout le quartier. Les gens font la queue devant la porte en parlant du temps et des "
           "nouvelles, pendant que l'odeur du beurre chaud se répand dans la rue. Notre entreprise a annoncé "
           "hier que son nouveau siège ouvrira au printemps prochain. Le bâtiment comprend des bureaux, une "
           "bibliothèque publique et un petit théâtre."},
    {"de",
     "Jeden Morgen öffnet die kleine Bäckerei an der Ecke noch vor Sonnenaufgang. Die Besitzerin, eine "
     "fröhliche Frau namens Klara, backt Brot, Brötchen und Kuchen für die ganze Nachbarschaft. Die "
     "Leute stehen vor der Tür Schlange und reden über das Wetter und die Nachrichten, während der Duft "
     "von warmer Butter durch die Straße zieht. Unsere Firma hat gestern angekündigt, dass ihr neuer "
     "Hauptsitz im nächsten Frühling eröffnet wird. Das Gebäude umfasst Büros, eine öffentliche "
     "Bibliothek und ein kleines Theater."},
    {"ru",
     "Каждое утро маленькая пекарня на углу открывается ещё до восхода солнца. Хозяйка, весёлая женщина "
     "по имени Клара, печёт хлеб, булочки и пироги для всего района. Люди стоят в очереди у двери и "
     "говорят о погоде и новостях, а запах тёплого масла разносится по улице. Наша компания вчера "
     "объявила, что её новый главный офис откроется следующей весной. В здании будут кабинеты, "
     "публичная библиотека и небольшой театр."},
}};

/// The first sentence of a text: short enough for one pitch measurement.
inline QString firstSentence(const char* text) {
    return QString::fromUtf8(text).section(u'.', 0, 0) + u'.';
}

} // namespace cw::tts::test
