#include "SysInfoLauncher.h"

#include <QLoggingCategory>
#include <stdexcept>

Q_LOGGING_CATEGORY(lcSysInfo, "chatterwisp.about.sysinfo")

namespace cw {

namespace {

QString dwordText(const QByteArray& bytes) {
    // Last byte first, so the little-endian number reads most significant digit first.
    QString text = QStringLiteral("&h");
    for (auto i = bytes.size(); i > 0; --i) {
        text += QStringLiteral("%1")
                    .arg(static_cast<unsigned char>(bytes[i - 1]), 2, 16, QLatin1Char('0'))
                    .toUpper();
    }
    return text;
}

} // namespace

QString SysInfoLauncher::unavailableMessage() {
    return QStringLiteral("System Information Is Unavailable At This Time");
}

bool SysInfoLauncher::GetKeyValue(std::int32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                                  QString& KeyVal) {
    const std::optional<RegistryValue> value = registry_.value(KeyRoot, KeyName, SubKeyRef);
    // A value longer than the buffer the lookup reads into counts as missing, as a refused read would.
    if (!value || value->data.size() > qsizetype(kBufferSize)) {
        KeyVal.clear();
        return false;
    }
    if (value->data.isEmpty()) {
        throw std::invalid_argument("registry value " + SubKeyRef.toStdString() + " holds no data");
    }

    // Only one terminator is dropped; a value stored without one is kept whole.
    QByteArray data = value->data;
    if (data.endsWith('\0')) {
        data.chop(1);
    }

    if (value->type == kRegSz) {
        KeyVal = QString::fromLocal8Bit(data);
    } else if (value->type == kRegDword) {
        KeyVal = dwordText(data);
    }
    return true;
}

void SysInfoLauncher::StartSysInfo() {
    // Every way of not finding or not starting the tool ends in the same message.
    const auto unavailable = [this](const QString& why) {
        qCInfo(lcSysInfo).noquote() << why;
        messages_.show(unavailableMessage(), kMbOk, QString());
    };
    try {
        QString path;
        if (!GetKeyValue(kHkeyLocalMachine, QString::fromLatin1(kPathKey), QString::fromLatin1(kPathValue),
                         path)) {
            if (!GetKeyValue(kHkeyLocalMachine, QString::fromLatin1(kFolderKey),
                             QString::fromLatin1(kFolderValue), path)) {
                unavailable(QStringLiteral("neither registry place names the system-information tool"));
                return;
            }
            const QString program = path + QString::fromLatin1(kProgramFile);
            if (!shell_.fileExists(program)) {
                unavailable(QStringLiteral("no system-information program at ") + program);
                return;
            }
            path = program;
        }
        shell_.startProgram(path, kNormalFocus);
    } catch (const std::exception& error) {
        unavailable(QStringLiteral("cannot start the system-information tool: ") +
                    QString::fromLocal8Bit(error.what()));
    }
}

} // namespace cw
