#pragma once

#include "platform/Registry.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace cw::test {

/// An in-memory registry that records every lookup. Values are set with set(); keys and names match exactly.
class FakeRegistry : public IRegistry {
public:
    struct Lookup {
        RegistryRoot root = RegistryRoot::LocalMachine;
        QString key;
        QString name;
        bool operator==(const Lookup&) const = default;
    };

    /// Stores value `name` of `key` below `root`.
    void set(RegistryRoot root, const QString& key, const QString& name, const RegistryValue& value) {
        keys_[{root, key}][name] = value;
    }
    /// Makes every lookup fail, as when the registry cannot be read at all.
    bool unreadable = false;

    std::optional<RegistryValue> value(RegistryRoot root, const QString& key, const QString& name) override {
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
    QMap<QPair<RegistryRoot, QString>, QMap<QString, RegistryValue>> keys_;
};

} // namespace cw::test
