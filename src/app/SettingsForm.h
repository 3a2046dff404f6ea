#pragma once

#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QObject;
class QPalette;
class QWidget;

namespace flintly {

// The settings window's grouped form: titled sections of rows, each a label with its
// symbol beside a value. Remembers the symbols and links it made, because both are
// painted in the window's colours and must be painted again when those change.
class SettingsForm {
public:
    using Row = std::pair<QWidget*, QWidget*>;  // label (or none), value

    // Parents the rows' widgets; a value that expands takes the row's width.
    QWidget* section(const QString& title, const std::vector<Row>& rows) const;
    QWidget* rowLabel(const QString& text, const QString& symbol);
    static QLabel* value();
    // A link whose activation runs `activated`, for as long as `context` lives.
    QLabel* link(const QString& text, QObject* context, std::function<void()> activated);

    // Paints every symbol and link in `palette`'s colours.
    void paint(const QPalette& palette, qreal devicePixelRatio) const;

private:
    struct Painted {
        QLabel* label;
        QString name;  // of the symbol image, or the link's text
    };

    std::vector<Painted> symbols_;
    std::vector<Painted> links_;
};

}  // namespace flintly
