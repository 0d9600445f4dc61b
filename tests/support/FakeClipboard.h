#pragma once

#include "platform/Clipboard.h"

#include <QList>
#include <QStringList>

namespace cw::test {

/// A clipboard a test controls: reads stay pending until the test answers them, so a test can model a slow,
/// failing or hanging clipboard owner; the same holds for the primary selection and dropped text. copy()
/// models another program copying a text; clears are logged into a shared log ("Clipboard clear").
class FakeClipboard : public IClipboard {
public:
    explicit FakeClipboard(QStringList& log) : log_(log) {}

    void clear() override {
        log_.append(QStringLiteral("Clipboard clear"));
        text.clear();
    }
    quint64 copyCount() override { return copies; }

    /// Another program copies `copied` to the clipboard (the same text again counts as a new copy).
    void copy(const QString& copied) {
        text = copied;
        ++copies;
    }
    void requestText(std::function<void(std::optional<QString>)> done) override {
        ++requests;
        if (!pending.isEmpty()) {
            done(std::nullopt); // one read in flight at a time
            return;
        }
        pending.append(std::move(done));
    }

    void requestSelectionText(Selection selection,
                              std::function<void(std::optional<QString>)> done) override {
        ++selectionRequests;
        for (const SelectionRead& read : pendingSelections) {
            if (read.selection == selection) {
                done(std::nullopt); // one read of each selection in flight at a time
                return;
            }
        }
        pendingSelections.append({selection, std::move(done)});
    }

    /// Answers the pending read with the clipboard's current text.
    void answer() { answerWith(text); }
    /// Answers the pending read with a given result (no value: the read failed or timed out).
    void answerWith(std::optional<QString> result) {
        if (pending.isEmpty()) {
            return;
        }
        auto done = std::move(pending.front());
        pending.removeFirst();
        done(std::move(result));
    }

    /// Answers the pending read of `selection` with a given result; false when none was pending.
    bool answerSelection(Selection selection, std::optional<QString> result) {
        for (qsizetype i = 0; i < pendingSelections.size(); ++i) {
            if (pendingSelections[i].selection == selection) {
                auto done = std::move(pendingSelections[i].done);
                pendingSelections.removeAt(i);
                done(std::move(result));
                return true;
            }
        }
        return false;
    }

    struct SelectionRead {
        Selection selection;
        std::function<void(std::optional<QString>)> done;
    };

    QString text;
    quint64 copies = 0;
    int requests = 0;
    int selectionRequests = 0;
    QList<SelectionRead> pendingSelections;
    QList<std::function<void(std::optional<QString>)>> pending;

private:
    QStringList& log_;
};

} // namespace cw::test
