#pragma once

#include <QString>
#include <stdexcept>

namespace cw {

/// A window, control, clipboard or character operation that could not be carried out.
/// Handlers do not catch it: it travels to the program's failure path, which reports `what()` to the user
/// in plain words and ends the program.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace cw
