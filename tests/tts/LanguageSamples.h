#pragma once

// Paragraphs of ordinary prose in many languages and scripts, each with the language a reader would name and
// the eSpeak NG voice that speaks it; plus the awkward inputs (a greeting, a number, an address) that name no
// language. Shared by the language finder's, the voice's and the engine's tests. Source files are UTF-8.

#include <array>
#include <string_view>

namespace cw::tts::samples {

struct LanguageSample {
    std::string_view language; // lower-case language code the finder should give
    std::string_view voice;    // eSpeak NG voice for it
    std::string_view script;   // the writing system, for test names
    std::string_view text;     // one paragraph, UTF-8
};

// One paragraph per language: the same little story told by a native-like writer of each, so no paragraph is
// easier than another because of its subject.
inline constexpr std::array<LanguageSample, 25> kParagraphs = {{
    {"en", "en", "Latin",
     "The library opens at nine in the morning and closes when the last reader has gone home. On rainy days "
     "the "
     "reading room is full of students who would rather stay dry than walk across town."},
    {"fr", "fr", "Latin",
     "La bibliothèque ouvre à neuf heures du matin et ferme quand le dernier lecteur est rentré chez lui. "
     "Les "
     "jours de pluie, la salle de lecture est pleine d'étudiants qui préfèrent rester au sec plutôt que de "
     "traverser la ville."},
    {"de", "de", "Latin",
     "Die Bibliothek öffnet um neun Uhr morgens und schließt erst, wenn der letzte Leser nach Hause gegangen "
     "ist. "
     "An Regentagen ist der Lesesaal voller Studenten, die lieber im Trockenen bleiben, als durch die ganze "
     "Stadt "
     "zu laufen."},
    {"es", "es", "Latin",
     "La biblioteca abre a las nueve de la mañana y cierra cuando el último lector se ha ido a casa. En los "
     "días "
     "de lluvia, la sala de lectura está llena de estudiantes que prefieren quedarse secos antes que cruzar "
     "la "
     "ciudad."},
    {"it", "it", "Latin",
     "La biblioteca apre alle nove del mattino e chiude quando l'ultimo lettore è tornato a casa. Nei giorni "
     "di "
     "pioggia la sala di lettura è piena di studenti che preferiscono restare all'asciutto piuttosto che "
     "attraversare la città."},
    {"nl", "nl", "Latin",
     "De bibliotheek gaat om negen uur 's ochtends open en sluit pas als de laatste lezer naar huis is "
     "gegaan. Op "
     "regenachtige dagen zit de leeszaal vol studenten die liever droog blijven dan door de hele stad te "
     "fietsen."},
    {"pt", "pt", "Latin",
     "A biblioteca abre às nove horas da manhã e fecha quando o último leitor já foi para casa. Nos dias de "
     "chuva, a sala de leitura fica cheia de estudantes que preferem ficar secos a atravessar a cidade a "
     "pé."},
    {"pl", "pl", "Latin",
     "Biblioteka jest otwarta od dziewiątej rano i zamyka się dopiero wtedy, gdy ostatni czytelnik wróci do "
     "domu. W deszczowe dni czytelnia jest pełna studentów, którzy wolą zostać w suchym miejscu, niż iść "
     "przez "
     "całe miasto."},
    {"sv", "sv", "Latin",
     "Biblioteket öppnar klockan nio på morgonen och stänger när den sista läsaren har gått hem. När det "
     "regnar "
     "är läsesalen full av studenter som hellre stannar inomhus än går genom hela staden."},
    {"tr", "tr", "Latin",
     "Kütüphane sabah dokuzda açılır ve son okuyucu evine gidince kapanır. Yağmurlu günlerde okuma salonu, "
     "şehrin öbür ucuna yürümektense kuru kalmayı tercih eden öğrencilerle dolar."},
    {"cs", "cs", "Latin",
     "Knihovna se otevírá v devět hodin ráno a zavírá se, až když poslední čtenář odejde domů. Za deštivých "
     "dnů "
     "je čítárna plná studentů, kteří raději zůstanou v suchu, než aby šli přes celé město."},
    {"fi", "fi", "Latin",
     "Kirjasto aukeaa aamulla yhdeksältä ja sulkeutuu, kun viimeinenkin lukija on lähtenyt kotiin. "
     "Sadepäivinä "
     "lukusali on täynnä opiskelijoita, jotka jäävät mieluummin kuivaan kuin kävelevät kaupungin poikki."},
    {"vi", "vi", "Latin",
     "Thư viện mở cửa lúc chín giờ sáng và đóng cửa khi người đọc cuối cùng đã về nhà. Vào những ngày mưa, "
     "phòng đọc chật kín sinh viên, những người thích ở nơi khô ráo hơn là đi bộ qua cả thành phố."},
    {"ru", "ru", "Cyrillic",
     "Библиотека открывается в девять часов утра и закрывается, когда последний читатель уходит домой. В "
     "дождливые дни читальный зал полон студентов, которые предпочитают остаться в сухом месте, чем идти "
     "через "
     "весь город."},
    {"uk", "uk", "Cyrillic",
     "Бібліотека відчиняється о дев'ятій ранку і зачиняється, коли останній читач іде додому. У дощові дні "
     "читальна зала повна студентів, які воліють залишатися в сухому місці, ніж іти через усе місто."},
    {"bg", "bg", "Cyrillic",
     "Библиотеката отваря в девет часа сутринта и затваря, когато последният читател си отиде вкъщи. В "
     "дъждовните дни читалнята е пълна със студенти, които предпочитат да останат на сухо, вместо да вървят "
     "през "
     "целия град."},
    {"el", "el", "Greek",
     "Η βιβλιοθήκη ανοίγει στις εννέα το πρωί και κλείνει όταν ο τελευταίος αναγνώστης έχει φύγει για το "
     "σπίτι "
     "του. Τις βροχερές μέρες το αναγνωστήριο είναι γεμάτο φοιτητές που προτιμούν να μείνουν στεγνοί παρά να "
     "διασχίσουν την πόλη."},
    {"he", "he", "Hebrew",
     "הספרייה נפתחת בתשע בבוקר ונסגרת כשהקורא האחרון הולך הביתה. בימים גשומים אולם הקריאה מלא בסטודנטים "
     "שמעדיפים להישאר יבשים מאשר ללכת ברגל דרך כל העיר."},
    {"ar", "ar", "Arabic",
     "تفتح المكتبة أبوابها في التاسعة صباحا وتغلق عندما يعود آخر قارئ إلى بيته. في الأيام الممطرة تمتلئ قاعة "
     "القراءة بالطلاب الذين يفضلون البقاء في مكان جاف بدلا من عبور المدينة سيرا على الأقدام."},
    {"fa", "fa", "Arabic",
     "کتابخانه ساعت نه صبح باز می\u200cشود "
     "و وقتی آخرین خواننده به خانه رفت بسته می\u200cشود. "
     "در روزهای بارانی سالن مطالعه پر از دانشجویانی است "
     "که ترجیح می\u200cدهند خشک بمانند "
     "تا اینکه پیاده از این سر شهر به آن سر بروند."},
    {"zh", "cmn-latn-pinyin", "Han",
     "图书馆早上九点开门，等最后一位读者回家以后才关门。下雨的时候，阅览室里坐满了学生，他们宁愿待在干燥的地"
     "方，"
     "也不愿意走路穿过整个城市。"},
    {"ja", "ja", "Kana and Han",
     "図書館は朝九時に開き、最後の読者が家に帰ってから閉まります。雨の日には、町を歩いて横切るよりも濡れずに"
     "いたい学生たちで閲覧室がいっぱいになります。"},
    {"ko", "ko", "Hangul",
     "도서관은 아침 아홉 시에 문을 열고 마지막 독자가 집에 돌아간 뒤에 문을 닫습니다. 비가 오는 날에는 "
     "도시를 "
     "걸어서 가로지르기보다 비를 피하고 싶은 학생들로 열람실이 가득 찹니다."},
    {"hi", "hi", "Devanagari",
     "पुस्तकालय सुबह नौ बजे खुलता है और तब बंद होता है जब आखिरी पाठक घर चला जाता है। बारिश के दिनों में "
     "वाचनालय उन छात्रों से भरा रहता है जो पूरे शहर को पैदल पार करने के बजाय सूखे में रहना पसंद करते हैं।"},
    {"th", "th", "Thai",
     "ห้องสมุดเปิดตอนเก้าโมงเช้าและปิดเมื่อผู้อ่านคนสุดท้ายกลับบ้านไปแล้ว ในวันที่ฝนตก "
     "ห้องอ่านหนังสือจะเต็มไปด้วยนักศึกษาที่อยากอยู่ในที่แห้งมากกว่าเดินข้ามเมือง"},
}};

// A request of three paragraphs (English, French, German), as a user might paste a forwarded e-mail.
inline constexpr std::array<LanguageSample, 3> kMixedParagraphs = {{
    {"en", "en", "Latin",
     "Thank you for your letter of last week. We are glad to hear that the move went well and that the "
     "children "
     "like their new school."},
    {"fr", "fr", "Latin",
     "Nous arriverons à la gare vers midi, si le train n'a pas de retard. Pourriez-vous nous attendre devant "
     "l'entrée principale avec la voiture ?"},
    {"de", "de", "Latin",
     "Vielen Dank für die schnelle Antwort. Wir freuen uns sehr auf das Wochenende und bringen einen Kuchen "
     "mit."},
}};

// The same three paragraphs as one request, separated the way a pasted text separates them.
inline constexpr std::string_view kMixedRequest =
    "Thank you for your letter of last week. We are glad to hear that the move went well and that the "
    "children "
    "like their new school.\n\n"
    "Nous arriverons à la gare vers midi, si le train n'a pas de retard. Pourriez-vous nous attendre devant "
    "l'entrée principale avec la voiture ?\n\n"
    "Vielen Dank für die schnelle Antwort. Wir freuen uns sehr auf das Wochenende und bringen einen Kuchen "
    "mit.";

// Lines that name no language: the caller keeps the language of the paragraph before.
inline constexpr std::string_view kGreeting = "Hi!";
inline constexpr std::string_view kNumberLine = "12 345 678";
inline constexpr std::string_view kUrl = "https://example.com/a?b=c";

} // namespace cw::tts::samples
