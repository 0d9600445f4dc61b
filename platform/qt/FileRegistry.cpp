#include "FileRegistry.h"

#include "core/BoundedFile.h"

#include <QLoggingCategory>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <optional>

Q_LOGGING_CATEGORY(lcRegistry, "chatterwisp.registry")

namespace cw {

namespace {

constexpr auto kHeaderUnicode = QLatin1StringView("Windows Registry Editor Version 5.00");
constexpr auto kHeaderAnsi = QLatin1StringView("REGEDIT4");

struct RootName {
    QLatin1StringView name;
    QLatin1StringView shortName;
};

constexpr std::array<RootName, 5> kRootNames{{
    {QLatin1StringView("HKEY_CLASSES_ROOT"), QLatin1StringView("HKCR")},
    {QLatin1StringView("HKEY_CURRENT_USER"), QLatin1StringView("HKCU")},
    {QLatin1StringView("HKEY_LOCAL_MACHINE"), QLatin1StringView("HKLM")},
    {QLatin1StringView("HKEY_USERS"), QLatin1StringView("HKU")},
    {QLatin1StringView("HKEY_CURRENT_CONFIG"), QLatin1StringView("HKCC")},
}};

/// The full name a file gives `root`.
QLatin1StringView rootName(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::CurrentUser:
        return QLatin1StringView("HKEY_CURRENT_USER");
    case RegistryRoot::LocalMachine:
        break;
    }
    return QLatin1StringView("HKEY_LOCAL_MACHINE");
}

QString fold(const QString& name) {
    return name.toCaseFolded();
}

/// "ROOT\a\b" with the root's full name, or nothing when the path does not start with a known root.
std::optional<QString> canonicalKeyPath(const QString& written) {
    const qsizetype slash = written.indexOf(QLatin1Char('\\'));
    const QString rootName = slash < 0 ? written : written.left(slash);
    for (const RootName& root : kRootNames) {
        if (rootName.compare(root.name, Qt::CaseInsensitive) == 0 ||
            rootName.compare(root.shortName, Qt::CaseInsensitive) == 0) {
            if (slash < 0) {
                return QString(root.name);
            }
            // A key written with a closing backslash ("[HKEY_LOCAL_MACHINE\SOFTWARE\]") is the key without
            // it.
            QString path = QString(root.name) + written.mid(slash);
            while (path.endsWith(QLatin1Char('\\'))) {
                path.chop(1);
            }
            return path;
        }
    }
    return std::nullopt;
}

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        return decoder.decode(bytes.mid(2));
    }
    QStringDecoder decoder(QStringConverter::Utf8);
    return decoder.decode(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
}

/// Reads a quoted string starting at `pos` (on the opening quote); \\ and \" are escapes. Moves `pos` past
/// the closing quote.
std::optional<QString> readQuoted(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
        return std::nullopt;
    }
    QString text;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            pos = i + 1;
            return text;
        }
        if (c == QLatin1Char('\\') && i + 1 < line.size() &&
            (line[i + 1] == QLatin1Char('\\') || line[i + 1] == QLatin1Char('"'))) {
            text += line[++i];
        } else {
            text += c;
        }
    }
    return std::nullopt;
}

void skipBlanks(const QString& line, qsizetype& pos) {
    while (pos < line.size() && (line[pos] == QLatin1Char(' ') || line[pos] == QLatin1Char('\t'))) {
        ++pos;
    }
}

std::optional<QByteArray> parseHexBytes(QStringView text) {
    QByteArray bytes;
    const auto parts = text.split(QLatin1Char(','));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView part = parts[i].trimmed();
        if (part.isEmpty()) {
            // "hex:" with no bytes, or the comma before a line break: nothing to add.
            if (parts.size() == 1 || i == parts.size() - 1) {
                continue;
            }
            return std::nullopt;
        }
        bool ok = false;
        const uint byte = part.size() <= 2 ? part.toUInt(&ok, 16) : 0;
        if (!ok) {
            return std::nullopt;
        }
        bytes.append(static_cast<char>(byte));
    }
    return bytes;
}

QByteArray ansiString(const QString& text) {
    QByteArray bytes = text.toLocal8Bit();
    bytes.append('\0');
    return bytes;
}

/// The value part of a statement, after "=". Unicode files store hex string data as UTF-16LE, which is kept
/// as 8-bit text like every other string.
std::optional<RegistryFileValue> parseData(const QString& line, qsizetype pos, bool unicode) {
    const QStringView rest = QStringView(line).mid(pos);
    if (rest.startsWith(QLatin1Char('"'))) {
        const auto text = readQuoted(line, pos);
        skipBlanks(line, pos);
        if (!text || pos != line.size()) {
            return std::nullopt;
        }
        return RegistryFileValue{kRegSz, ansiString(*text)};
    }
    if (rest.startsWith(QLatin1StringView("dword:"), Qt::CaseInsensitive)) {
        const QStringView digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.size() >= 1 && digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
        if (!ok) {
            return std::nullopt;
        }
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFFu);
        }
        return RegistryFileValue{kRegDword, bytes};
    }
    if (!rest.startsWith(QLatin1StringView("hex"), Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    QStringView hex = rest.mid(3);
    std::uint32_t type = kRegBinary;
    if (hex.startsWith(QLatin1Char('('))) {
        const qsizetype close = hex.indexOf(QLatin1Char(')'));
        bool ok = false;
        const QStringView typeDigits = close > 1 ? hex.mid(1, close - 1) : QStringView();
        type = typeDigits.size() <= 8 ? typeDigits.toUInt(&ok, 16) : 0;
        if (!ok) {
            return std::nullopt;
        }
        hex = hex.mid(close + 1);
    }
    if (!hex.startsWith(QLatin1Char(':'))) {
        return std::nullopt;
    }
    auto bytes = parseHexBytes(hex.mid(1));
    if (!bytes) {
        return std::nullopt;
    }
    const bool textType = type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
    if (unicode && textType && bytes->size() % 2 == 0) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        *bytes = QString(utf16.decode(*bytes)).toLocal8Bit();
    }
    return RegistryFileValue{type, *bytes};
}

/// Physical lines joined where a line ends in a backslash, each with the number of its first line.
QList<std::pair<int, QString>> logicalLines(const QString& text) {
    QList<std::pair<int, QString>> lines;
    const auto physical = QStringView(text).split(QLatin1Char('\n'));
    bool continuing = false;
    for (qsizetype i = 0; i < physical.size(); ++i) {
        QString line = physical[i].trimmed().toString();
        if (continuing) {
            lines.back().second += line;
        } else {
            lines.append({static_cast<int>(i + 1), line});
        }
        QString& current = lines.back().second;
        continuing = current.endsWith(QLatin1Char('\\')) && !current.startsWith(QLatin1Char(';')) &&
                     !current.startsWith(QLatin1Char('['));
        if (continuing) {
            current.chop(1);
        }
    }
    return lines;
}

} // namespace

RegistryFileContents parseRegistryFile(const QByteArray& bytes) {
    RegistryFileContents contents;
    if (bytes.size() > FileRegistry::kMaxFileBytes) {
        contents.problems.append(
            QStringLiteral("the file is larger than %1 bytes").arg(FileRegistry::kMaxFileBytes));
        return contents;
    }
    const auto lines = logicalLines(decodeText(bytes));

    bool unicode = false;
    std::optional<QString> currentKey; // none before the first section and after a deleted key
    for (const auto& [number, line] : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        auto problem = [&contents, number = number](const QString& what) {
            contents.problems.append(QStringLiteral("line %1: %2").arg(number).arg(what));
        };
        if (!contents.recognised) {
            if (line == kHeaderUnicode || line == kHeaderAnsi) {
                contents.recognised = true;
                unicode = line == kHeaderUnicode;
                continue;
            }
            problem(QStringLiteral("not a registry file"));
            return contents;
        }
        if (line.startsWith(QLatin1Char('['))) {
            currentKey.reset();
            if (!line.endsWith(QLatin1Char(']'))) {
                problem(QStringLiteral("unfinished key name"));
                continue;
            }
            const bool remove = line.size() > 2 && line[1] == QLatin1Char('-');
            if (line.size() - (remove ? 3 : 2) == 0) {
                problem(QStringLiteral("empty key name"));
                continue;
            }
            const auto path = canonicalKeyPath(line.mid(remove ? 2 : 1, line.size() - (remove ? 3 : 2)));
            if (!path) {
                problem(QStringLiteral("unknown root key"));
                continue;
            }
            contents.entries.append(
                {remove ? RegistryFileEntry::Kind::DeleteKey : RegistryFileEntry::Kind::Key,
                 *path,
                 QString(),
                 {}});
            if (!remove) {
                currentKey = *path;
            }
            continue;
        }
        if (!currentKey) {
            problem(QStringLiteral("value outside a key"));
            continue;
        }
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (auto quoted = readQuoted(line, pos)) {
            name = *quoted;
        } else {
            problem(QStringLiteral("malformed value name"));
            continue;
        }
        skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
            problem(QStringLiteral("missing \"=\""));
            continue;
        }
        ++pos;
        skipBlanks(line, pos);
        if (QStringView(line).mid(pos).trimmed() == QLatin1String("-")) {
            contents.entries.append({RegistryFileEntry::Kind::DeleteValue, *currentKey, name, {}});
            continue;
        }
        const auto value = parseData(line, pos, unicode);
        if (!value) {
            problem(QStringLiteral("malformed value data"));
            continue;
        }
        if (value->data.size() > kMaxRegistryValueBytes) {
            // Kept, so it still overrides what came before, but nothing reads a value this long.
            problem(
                QStringLiteral("value \"%1\" holds %2 bytes; values longer than %3 bytes count as missing")
                    .arg(name)
                    .arg(value->data.size())
                    .arg(kMaxRegistryValueBytes));
        }
        contents.entries.append({RegistryFileEntry::Kind::Value, *currentKey, name, *value});
    }
    if (!contents.recognised) {
        contents.problems.append(QStringLiteral("empty file"));
    }
    return contents;
}

FileRegistry::FileRegistry(BuiltIns builtIns) : FileRegistry(standardFiles(), std::move(builtIns)) {}

FileRegistry::FileRegistry(const QStringList& files, BuiltIns builtIns)
    : pending_(Sources{std::move(builtIns), files}) {}

QStringList FileRegistry::standardFiles() {
    const QString systemFolder = qEnvironmentVariable("CHATTERWISP_SYSCONFDIR", QStringLiteral("/etc"));
    return {systemFolder + QStringLiteral("/chatterwisp/registry.reg"),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/chatterwisp/registry.reg")};
}

std::optional<RegistryValue> FileRegistry::readable(const RegistryFileValue& stored) {
    if (stored.data.size() > kMaxRegistryValueBytes) {
        return std::nullopt;
    }
    if (stored.data.isEmpty()) {
        return RegistryValue{};
    }
    switch (stored.type) {
    case kRegSz: {
        // Only one terminator is dropped; a value stored without one is kept whole.
        QByteArray text = stored.data;
        if (text.endsWith('\0')) {
            text.chop(1);
        }
        return RegistryValue::fromText(QString::fromLocal8Bit(text));
    }
    case kRegDword:
        if (stored.data.size() == 4) {
            std::uint32_t number = 0;
            for (int i = 3; i >= 0; --i) {
                number = number << 8 | static_cast<unsigned char>(stored.data[i]);
            }
            return RegistryValue::fromNumber(number);
        }
        break;
    default:
        break;
    }
    return RegistryValue{RegistryValue::Kind::Other, QString(), 0};
}

void FileRegistry::load() {
    if (!pending_) {
        return;
    }
    const Sources sources = std::move(*pending_);
    pending_.reset();
    if (sources.builtIns) {
        QList<RegistryFileEntry> builtIns;
        for (const RegistryText& text : sources.builtIns()) {
            QString key = QString(rootName(text.root));
            if (!text.key.isEmpty()) {
                key += QLatin1Char('\\') + text.key;
            }
            builtIns.append(
                {RegistryFileEntry::Kind::Value, key, text.name, {kRegSz, ansiString(text.text)}});
        }
        applyEntries(builtIns);
    }
    for (const QString& file : sources.files) {
        // A place that cannot be read is skipped; why is logged.
        static_cast<void>(readOneFile(file));
    }
}

Status FileRegistry::readFile(const QString& path) {
    load();
    return readOneFile(path);
}

void FileRegistry::apply(const QList<RegistryFileEntry>& entries) {
    load();
    applyEntries(entries);
}

Status FileRegistry::readOneFile(const QString& path) {
    const files::FileContents file = files::readRegularFile(path, kMaxFileBytes);
    if (!file.ok()) {
        if (file.error().failure != files::ReadFailure::Missing) {
            qCWarning(lcRegistry).noquote() << "skipped:" << file.message();
        }
        return Error{file.message()};
    }
    const RegistryFileContents contents = parseRegistryFile(file.value());
    for (const QString& problem : contents.problems) {
        qCWarning(lcRegistry).noquote() << path << problem;
    }
    if (!contents.recognised) {
        return Error{QStringLiteral("%1 is not a registry file").arg(path)};
    }
    applyEntries(contents.entries);
    return {};
}

void FileRegistry::applyEntries(const QList<RegistryFileEntry>& entries) {
    for (const RegistryFileEntry& entry : entries) {
        const QString key = fold(entry.key);
        switch (entry.kind) {
        case RegistryFileEntry::Kind::Key:
            keys_[key];
            break;
        case RegistryFileEntry::Kind::DeleteKey: {
            keys_.remove(key);
            const QString below = key + QLatin1Char('\\');
            for (auto it = keys_.lowerBound(below); it != keys_.end() && it.key().startsWith(below);) {
                it = keys_.erase(it);
            }
            break;
        }
        case RegistryFileEntry::Kind::Value:
            keys_[key].insert(fold(entry.name), entry.value);
            break;
        case RegistryFileEntry::Kind::DeleteValue:
            if (auto it = keys_.find(key); it != keys_.end()) {
                it->remove(fold(entry.name));
            }
            break;
        }
    }
}

std::optional<RegistryValue> FileRegistry::value(RegistryRoot root, const QString& key, const QString& name) {
    load();
    QString path = fold(QString(rootName(root)));
    if (!key.isEmpty()) {
        path += QLatin1Char('\\') + fold(key);
    }
    const auto values = keys_.constFind(path);
    if (values == keys_.cend()) {
        return std::nullopt;
    }
    const auto found = values->constFind(fold(name));
    if (found == values->cend()) {
        return std::nullopt;
    }
    return readable(*found);
}

} // namespace cw
