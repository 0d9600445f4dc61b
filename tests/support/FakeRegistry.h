#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <algorithm>
#include <cstdint>

namespace cw::test {

/// An in-memory registry that records every call. Values are set with set(); keys and names match exactly.
class FakeRegistry : public IRegistry {
public:
    struct Call {
        QString operation;    ///< "open", "query" or "close"
        std::int32_t key = 0; ///< the root (open) or the handle (query, close)
        QByteArray name;      ///< the sub-key (open) or the value name (query)
        std::uint32_t options = 0;
        std::uint32_t access = 0;
        std::uint32_t capacity = 0; ///< the buffer size handed to a query
        bool zeroedBuffer = false;  ///< whether that whole buffer held zero bytes when the query began
    };

    /// Stores a value of `subKey` below `root`; the key exists from then on.
    void set(std::int32_t root, const QByteArray& subKey, const QByteArray& name, std::uint32_t type,
             const QByteArray& data) {
        keys_[{root, subKey}][name] = {type, data};
    }
    /// Makes a key exist without values.
    void addKey(std::int32_t root, const QByteArray& subKey) { keys_[{root, subKey}]; }
    /// Makes every open fail with `status` (for instance kErrorAccessDenied).
    long openStatus = kErrorSuccess;

    long RegOpenKeyEx(std::int32_t root, const QByteArray& subKey, std::uint32_t options,
                      std::uint32_t access, RegistryKey* key) override {
        calls.append({QStringLiteral("open"), root, subKey, options, access, 0, false});
        if (openStatus != kErrorSuccess) {
            return openStatus;
        }
        if (!keys_.contains({root, subKey})) {
            return kErrorFileNotFound;
        }
        *key = nextHandle_++;
        open_.insert(*key, {root, subKey});
        return kErrorSuccess;
    }
    long RegQueryValueEx(RegistryKey key, const QByteArray& valueName, std::uint32_t* type, char* data,
                         std::uint32_t* size) override {
        const bool zeroed = std::all_of(data, data + *size, [](char c) { return c == 0; });
        calls.append({QStringLiteral("query"), key, valueName, 0, 0, *size, zeroed});
        if (!open_.contains(key)) {
            return kErrorInvalidHandle;
        }
        const auto& values = keys_[open_[key]];
        if (!values.contains(valueName)) {
            return kErrorFileNotFound;
        }
        const auto& [valueType, bytes] = values[valueName];
        if (static_cast<std::uint32_t>(bytes.size()) > *size) {
            *size = static_cast<std::uint32_t>(bytes.size());
            return kErrorMoreData;
        }
        *type = valueType;
        std::copy(bytes.cbegin(), bytes.cend(), data);
        *size = static_cast<std::uint32_t>(bytes.size());
        return kErrorSuccess;
    }
    long RegCloseKey(RegistryKey key) override {
        calls.append({QStringLiteral("close"), key, {}, 0, 0, 0, false});
        return open_.remove(key) > 0 ? kErrorSuccess : kErrorInvalidHandle;
    }

    /// Handles opened and not yet closed.
    qsizetype openHandles() const { return open_.size(); }

    QList<Call> calls;

private:
    QMap<QPair<std::int32_t, QByteArray>, QMap<QByteArray, QPair<std::uint32_t, QByteArray>>> keys_;
    QMap<RegistryKey, QPair<std::int32_t, QByteArray>> open_;
    RegistryKey nextHandle_ = 100;
};

} // namespace cw::test
