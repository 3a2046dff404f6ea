#pragma once

#include "platform/Dialogs.h"

#include <QList>

#include <deque>

namespace flintly::test {

// Answers file choosers from a queue of prepared paths (a null string, or an empty
// queue, answers "cancel"), and remembers what was asked.
class FakeFileChooser final : public FileChooser {
public:
    std::deque<QString> answers;
    QList<FolderRequest> folderRequests;
    QList<FileRequest> fileRequests;

    void chooseFolder(const FolderRequest& request, std::function<void(std::optional<QString>)> done) override
    {
        folderRequests.append(request);
        done(next());
    }
    void chooseFile(const FileRequest& request, std::function<void(std::optional<QString>)> done) override
    {
        fileRequests.append(request);
        done(next());
    }

private:
    std::optional<QString> next()
    {
        if (answers.empty())
            return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        if (a.isNull())
            return std::nullopt;
        return a;
    }
};

class ScriptedAlertPresenter final : public AlertPresenter {
public:
    std::deque<int> answers;
    QList<Alert> shown;

    int present(const Alert& alert) override
    {
        shown.append(alert);
        if (answers.empty())
            return 0;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
};

class RecordingUrlOpener final : public UrlOpener {
public:
    QList<QUrl> opened;
    QStringList revealed;
    int beeps = 0;

    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return true;
    }
    void revealInFileManager(const QString& path) override { revealed.append(path); }
    void beep() override { ++beeps; }
};

}  // namespace flintly::test
