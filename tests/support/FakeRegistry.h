#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <cstdint>

namespace cw::test {

/// An in-memory registry that records every lookup. Values are set with set(); keys and names match exactly.
class FakeRegistry : public IRegistry {
public:
    struct Lookup {
        std::int32_t root = 0;
        QString key;
        QString name;
        bool operator==(const Lookup&) const = default;
    };

    /// Stores a value of `subKey` below `root`.
    void set(std::int32_t root, const QByteArray& subKey, const QByteArray& name, std::uint32_t type,
             const QByteArray& data) {
        keys_[{root, QString::fromLatin1(subKey)}][QString::fromLatin1(name)] = {type, data};
    }
    /// Makes every lookup fail, as when the registry cannot be read at all.
    bool unreadable = false;

    std::optional<RegistryValue> value(std::int32_t root, const QString& key, const QString& name) override {
        lookups.append({root, key, name});
        if (unreadable) {
            return std::nullopt;
        }
        const auto values = keys_.constFind({root, key});
        if (values == keys_.cend() || !values->contains(name)) {
            return std::nullopt;
        }
        return values->value(name);
    }

    QList<Lookup> lookups;

private:
    QMap<QPair<std::int32_t, QString>, QMap<QString, RegistryValue>> keys_;
};

} // namespace cw::test
