#include "SysInfoLauncher.h"

#include <QLoggingCategory>
#include <algorithm>
#include <array>
#include <stdexcept>

Q_LOGGING_CATEGORY(lcSysInfo, "chatterwisp.about.sysinfo")

namespace cw {

namespace {

/// Closes a registry key when the lookup leaves, whichever way it leaves.
class KeyCloser {
public:
    KeyCloser(IRegistry& registry, RegistryKey key) : registry_(registry), key_(key) {}
    ~KeyCloser() { registry_.RegCloseKey(key_); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    IRegistry& registry_;
    RegistryKey key_;
};

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
    RegistryKey key = 0;
    if (registry_.RegOpenKeyEx(KeyRoot, KeyName.toLocal8Bit(), 0, kOpenAccess, &key) != kErrorSuccess) {
        KeyVal.clear();
        return false;
    }
    const KeyCloser closer(registry_, key);

    std::array<char, kBufferSize> buffer{};
    std::uint32_t type = 0;
    std::uint32_t size = kBufferSize;
    if (registry_.RegQueryValueEx(key, SubKeyRef.toLocal8Bit(), &type, buffer.data(), &size) !=
        kErrorSuccess) {
        KeyVal.clear();
        return false;
    }
    if (size == 0) {
        throw std::invalid_argument("registry value " + SubKeyRef.toStdString() + " holds no data");
    }
    // Never trust a reported size beyond the buffer that was handed over.
    size = std::min(size, kBufferSize);

    // Only one terminator is dropped; a value stored without one is kept whole.
    QByteArray data(buffer.data(), static_cast<qsizetype>(size));
    if (data.endsWith('\0')) {
        data.chop(1);
    }

    if (type == kRegSz) {
        KeyVal = QString::fromLocal8Bit(data);
    } else if (type == kRegDword) {
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
