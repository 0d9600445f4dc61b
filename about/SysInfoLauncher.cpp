#include "SysInfoLauncher.h"

#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcSysInfo, "chatterwisp.about.sysinfo")

namespace cw {

namespace {

QString numberText(std::uint32_t number) {
    // Six digits unless the highest byte is set: a zero highest byte is taken for a string's terminator and
    // left out, as the lookup always has.
    const int digits = (number >> 24) == 0 ? 6 : 8;
    return QStringLiteral("&h") + QStringLiteral("%1").arg(number, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString SysInfoLauncher::unavailableMessage() {
    return QStringLiteral("System Information Is Unavailable At This Time");
}

QStringList SysInfoLauncher::systemInformationPrograms() {
    return {QStringLiteral("kinfocenter"),
            QStringLiteral("hardinfo2"),
            QStringLiteral("hardinfo"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("plasma-systemmonitor"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lxtask"),
            QStringLiteral("ksysguard")};
}

QString SysInfoLauncher::findSystemInformationProgram() {
    for (const QString& program : systemInformationPrograms()) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

QList<RegistryText> SysInfoLauncher::builtInRegistryValues() {
    const QString program = findSystemInformationProgram();
    if (program.isEmpty()) {
        return {};
    }
    return {{RegistryRoot::LocalMachine, QString::fromLatin1(kPathKey), QString::fromLatin1(kPathValue),
             program}};
}

Result<std::optional<QString>> SysInfoLauncher::GetKeyValue(RegistryRoot KeyRoot, const QString& KeyName,
                                                            const QString& SubKeyRef) {
    const std::optional<RegistryValue> value = registry_.value(KeyRoot, KeyName, SubKeyRef);
    if (!value) {
        return std::optional<QString>();
    }
    switch (value->kind) {
    case RegistryValue::Kind::Empty:
        return Error{QStringLiteral("registry value %1 holds no data").arg(SubKeyRef)};
    case RegistryValue::Kind::Text:
        return std::optional<QString>(value->text);
    case RegistryValue::Kind::Number:
        return std::optional<QString>(numberText(value->number));
    case RegistryValue::Kind::Other:
        break;
    }
    return std::optional<QString>(QString());
}

Status SysInfoLauncher::startTool() {
    const auto named = GetKeyValue(RegistryRoot::LocalMachine, QString::fromLatin1(kPathKey),
                                   QString::fromLatin1(kPathValue));
    if (!named.ok()) {
        return named.error();
    }
    // A value in the first place is the program, whatever it holds: the second place is not looked at.
    if (named.value()) {
        return shell_.startProgram(*named.value());
    }
    const auto folder = GetKeyValue(RegistryRoot::LocalMachine, QString::fromLatin1(kFolderKey),
                                    QString::fromLatin1(kFolderValue));
    if (!folder.ok()) {
        return folder.error();
    }
    if (!folder.value()) {
        return Error{QStringLiteral("neither registry place names the system-information tool")};
    }
    const QString program = *folder.value() + QString::fromLatin1(kProgramFile);
    const Result<bool> exists = shell_.fileExists(program);
    if (!exists.ok()) {
        return exists.error();
    }
    if (!exists.value()) {
        return Error{QStringLiteral("no system-information program at ") + program};
    }
    return shell_.startProgram(program);
}

void SysInfoLauncher::StartSysInfo() {
    // Every way of not finding or not starting the tool ends in the same message.
    if (const Status started = startTool(); !started.ok()) {
        qCInfo(lcSysInfo).noquote() << "the system-information tool is unavailable:" << started.message();
        messages_.show(unavailableMessage(), MessageIcon::None, QString());
    }
}

} // namespace cw
