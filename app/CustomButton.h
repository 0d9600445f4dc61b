#pragma once

#include <QPushButton>
#include <QVariantMap>

namespace cw {

/// The program's push button: made from persisted settings ("caption", "font", "showfocus"), it shows its
/// caption with the access key, a focus mark unless "showfocus" is false, and a tooltip, and emits clicked();
/// Enter presses it while it has the focus, as Space does.
/// The program may change its caption at run time.
class CustomButton : public QPushButton {
    Q_OBJECT
public:
    explicit CustomButton(const QVariantMap& settings, QWidget* parent = nullptr);

    void setCaption(const QString& caption) { setText(caption); }
    QString caption() const { return text(); }

    /// The settings every button of the main window is made from, given its caption.
    static QVariantMap standardSettings(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool showFocus_ = true;
};

} // namespace cw
