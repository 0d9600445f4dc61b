#include "HelpWindow.h"

#include "AppIdentity.h"
#include "platform/qt/EnterPressesButton.h"
#include "platform/qt/WindowFit.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace cw {

HelpWindow::HelpWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    const QString title = appIdentity().title;
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(title + QStringLiteral(" Help"));
    setWindowIcon(QIcon(iconResourcePath()));
    resize(540, 600);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpText"));
    browser_->setOpenExternalLinks(false);
    browser_->setHtml(helpText(title));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QAbstractButton* button : buttons->buttons()) {
        pressOnEnter(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);

    // Esc, the Close button and the close box all end in done().
    browser_->setFocus();
    // On a small screen the window shrinks to fit, so its Close button stays within reach.
    fitToScreen(*this, owner);
}

QString HelpWindow::helpText(const QString& title) {
    QString html = QStringLiteral(R"(
<h2>@TITLE@ Help</h2>
<p>@TITLE@ reads text aloud: the genie speaks it in a speech balloon.</p>
<p><a href="#speak">Making the genie speak</a> &middot; <a href="#voice">Pitch, speed and presets</a> &middot;
<a href="#languages">Languages</a> &middot; <a href="#clipboard">Reading what you copy</a> &middot; <a href="#buttons">Buttons and keys</a> &middot;
<a href="#anywhere">Speaking from any program</a> &middot; <a href="#tags">Speech tags</a></p>

<h3><a name="speak"></a>Making the genie speak</h3>
<ol>
<li>Type or paste your text into the large box at the top of the window.</li>
<li>Press <b>Say it!</b> (Alt+S). The genie appears if it was hidden and reads the text with the pitch and speed
shown below the box.</li>
</ol>
<p>Pressing <b>Say it!</b> again while the genie is talking queues the new text behind the current one.
<b>Stop</b> (Alt+T) cuts the speech short.</p>

<h3><a name="voice"></a>Pitch, speed and presets</h3>
<p><b>Pitch</b> is the voice's base pitch in hertz; <b>Speed</b> is the speaking rate in words per minute.
Type up to three digits into either field; the values take effect with the next <b>Say it!</b>.</p>
<p>The four presets fill both fields at once:</p>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>Preset</th><th>Pitch (Hz)</th><th>Speed (words per minute)</th></tr>
<tr><td align="center">1</td><td align="right">60</td><td align="right">100</td></tr>
<tr><td align="center">2</td><td align="right">50</td><td align="right">350</td></tr>
<tr><td align="center">3</td><td align="right">200</td><td align="right">250</td></tr>
<tr><td align="center">4</td><td align="right">300</td><td align="right">50</td></tr>
</table>

<h3><a name="languages"></a>Languages</h3>
<p>The genie reads every paragraph in its own language, which he finds by himself: from its letters' script
(Cyrillic, Greek, Arabic, Hebrew, Chinese, Japanese, Korean, Devanagari and more) and, for text in the Latin
alphabet, from how often its letters come together. English is read with his own voice; every other language
with the eSpeak NG voice for it, more than a hundred languages, at the same pitch and speed. A paragraph too
short to tell (a greeting, a number, a web address) is read in the language of the paragraph before it; the
first one in your desktop's language. To choose the language yourself, put a <b>\Lng</b> tag in front of the
text (see <a href="#tags">Speech tags</a>).</p>

<h3><a name="clipboard"></a>Reading what you copy</h3>
<p>Tick <b>Automatically Paste Text From Windows Clipboard</b> (Alt+P) to have the text you copy in any other
program land in the box: every 2 seconds the box is emptied and filled with the clipboard's text. Ticking it
empties the box and the clipboard first. The genie still waits for <b>Say it!</b>. Untick it to keep the last
pasted text.</p>
<p><b>Clear All</b> (Alt+C) empties both the box and the clipboard.</p>

<h3><a name="buttons"></a>Buttons and keys</h3>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>Button</th><th>Key</th><th>What it does</th></tr>
<tr><td>Say it!</td><td>Alt+S</td><td>Reads the text aloud.</td></tr>
<tr><td>Stop</td><td>Alt+T</td><td>Stops the genie talking.</td></tr>
<tr><td>Clear All</td><td>Alt+C</td><td>Empties the text box and the clipboard.</td></tr>
<tr><td>Hide Genie / Show Genie</td><td>Alt+H / Alt+W</td><td>Hides the genie from the screen, or brings it
back.</td></tr>
<tr><td>About</td><td>Alt+A</td><td>Shows the program's details, links and System Info.</td></tr>
<tr><td>Help</td><td>Alt+E</td><td>Shows this help.</td></tr>
<tr><td>Automatically Paste Text From Windows Clipboard</td><td>Alt+P</td><td>Switches clipboard monitoring on
or off.</td></tr>
</table>
<p>Tab moves between the text box, the fields, the presets, the check box and the buttons.</p>
<p>@TITLE@ keeps its icon in the notification area (the tray) while it runs. Click the icon to bring the
window back to the front, for instance after minimising it. Its right-button menu offers <b>Restore</b>,
<b>Say the clipboard</b>, <b>Say the selection</b>, <b>Stop</b> and <b>Quit</b>.</p>

<h3><a name="anywhere"></a>Speaking from any program</h3>
<p>Only one @TITLE@ runs in a desktop session: starting it again brings the running one to the front. The
running one also takes actions from outside: <b>say-selection</b> speaks the text highlighted in any program
(the clipboard's text when nothing is highlighted), <b>say-clipboard</b> speaks the clipboard's text,
<b>stop</b>, <b>show</b> and <b>quit</b>. They use the fields' pitch and speed and leave the text box alone.
The program's entry in the application menu offers the first three, and starts @TITLE@ first when it is not
running.</p>
<p>Where the desktop offers global shortcuts (through the XDG desktop portal), @TITLE@ registers <b>Say the
selection</b> and <b>Stop speaking</b> there when it starts, without keys: choose them in the desktop's
shortcut settings. Elsewhere, to say the selection with a key, bind this command, written on one line, to the
key of your choice:</p>
<pre>gdbus call --session --dest com.example.chatterwisp
  --object-path /com/example/chatterwisp
  --method org.freedesktop.Application.ActivateAction
  say-selection [] {}</pre>
<p><b>GNOME</b>: Settings, Keyboard, View and Customise Shortcuts, Custom Shortcuts, +.
<b>KDE Plasma</b>: System Settings, Shortcuts, Add New, Command or Script.
<b>Xfce</b>: Settings, Keyboard, Application Shortcuts, + Add.</p>

<h3><a name="tags"></a>Speech tags</h3>
<p>Tags typed into the text change how the genie speaks from that point on. A tag starts and ends with a
backslash; <b>Say it!</b> already puts the pitch and speed fields in front of your text, so a tag in the text
overrides them.</p>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>Tag</th><th>What it does</th><th>Example</th></tr>
<tr><td>\Pit=<i>n</i>\</td><td>Base pitch in hertz.</td><td>\Pit=200\Now I sound higher.</td></tr>
<tr><td>\Spd=<i>n</i>\</td><td>Speed in words per minute.</td><td>\Spd=250\This goes faster.</td></tr>
<tr><td>\Vol=<i>n</i>\</td><td>Volume, from 0 (silent) to 65535 (loudest).</td>
<td>\Vol=20000\Quietly now.</td></tr>
<tr><td>\Chr="<i>kind</i>"\</td><td>Voice character: "Normal", "Monotone" or "Whisper".</td>
<td>\Chr="Whisper"\Can you keep a secret?</td></tr>
<tr><td>\Pau=<i>n</i>\</td><td>A pause of <i>n</i> milliseconds.</td><td>Wait for it \Pau=1000\ now!</td></tr>
<tr><td>\Emp\</td><td>Stresses the next word.</td><td>This is \Emp\really important.</td></tr>
<tr><td>\Rst\</td><td>Puts every setting back to its default.</td><td>\Spd=300\Fast. \Rst\Normal again.</td></tr>
<tr><td>\Map="<i>spoken</i>"="<i>shown</i>"\</td><td>Says one text while the balloon shows another.</td>
<td>\Map="Doctor Smith"="Dr. Smith"\ will see you now.</td></tr>
<tr><td>\Mrk=<i>n</i>\</td><td>A bookmark with the number <i>n</i>; nothing is heard.</td>
<td>First part.\Mrk=1\ Second part.</td></tr>
<tr><td>\Ctx="<i>kind</i>"\</td><td>How to read what follows: "Address", "E-mail" or "Unknown".</td>
<td>\Ctx="E-mail"\Write to support@chatterwisp.example.com</td></tr>
<tr><td>\Lng="<i>code</i>"\</td><td>Reads what follows in that language (a code such as "fr", "de",
"pt-br"); "Auto" lets the genie find it again.</td><td>\Lng="fr"\Chat</td></tr>
<tr><td>\Lst\</td><td>Typed on its own: says the previous text again.</td>
<td>\Lst\</td></tr>
</table>
)");
    html.replace(QStringLiteral("@TITLE@"), title.toHtmlEscaped());
    return html;
}

} // namespace cw
