#pragma once

#include "app/SingleInstance.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace flintly {

class AppDelegate;
class MarkdownModel;

// What the running Flintly does when a later launch hands its request over: show or
// toggle the note panel (with the launch's activation token, so it gets the focus),
// open a file, or add text to the current note and answer only once that text is on
// disk.
class LaunchRequests : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        AppDelegate* delegate = nullptr;  // required
        MarkdownModel* model = nullptr;   // required
        // Opens a file as the note and shows it; empty, or why the file cannot be opened.
        std::function<QString(const QString& path, const QString& activationToken)> openNote;
    };

    explicit LaunchRequests(Dependencies deps, QObject* parent = nullptr);

    void handle(const InstanceRequest& request, SingleInstance::Answer answer);

    // Adds `text` to the end of the current note (the model's append, naming and saving
    // rules) and writes it out at once.
    static InstanceAnswer appendToNote(MarkdownModel& model, const QString& text);

private:
    Dependencies deps_;
    // Text that came before the launch knew the notes folder; added once it does.
    std::vector<std::pair<QString, SingleInstance::Answer>> waitingAppends_;
};

}  // namespace flintly
