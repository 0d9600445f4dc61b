#pragma once

#include <QPushButton>
#include <QVariantMap>

namespace cw {

/// The program's push button: made from persisted settings ("caption", "font", "captionlayout", "showfocus",
/// "_extentx", "_extenty"), it shows its caption with the access key, a focus mark and a tooltip, and emits
/// clicked(). The program may change its caption at run time.
class CustomButton : public QPushButton {
    Q_OBJECT
public:
    explicit CustomButton(const QVariantMap& settings, QWidget* parent = nullptr);

    const QVariantMap& settings() const { return settings_; }
    void setCaption(const QString& caption) { setText(caption); }
    QString caption() const { return text(); }

    /// The settings every button of the main window is made from, given its caption and extents
    /// (hundredths of a millimetre).
    static QVariantMap standardSettings(const QString& caption, int extentX, int extentY);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVariantMap settings_;
};

} // namespace cw
