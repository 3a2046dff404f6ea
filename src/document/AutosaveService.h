#pragma once

#include <QObject>
#include <QPointer>

namespace flintly {

class Debouncer;
class MarkdownModel;
class TimeSource;

// A second, slower save trigger beside the model's own: saves once the text has been
// still for the interval and, unlike the model's pipeline, reports failures in the
// log. Ends when destroyed; does nothing once its model is gone.
class AutosaveService : public QObject {
    Q_OBJECT
public:
    AutosaveService(MarkdownModel* model, double intervalSeconds, QObject* parent = nullptr,
                    TimeSource* time = nullptr);

private:
    void fire();

    QPointer<MarkdownModel> model_;
    Debouncer* debouncer_ = nullptr;
    QMetaObject::Connection cancellable_;
};

}  // namespace flintly
