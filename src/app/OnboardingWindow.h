#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace flintly {

class PanelSurface;

// The first-run window: a welcome card, then the card that asks for the notes folder.
// Pure view: the controller supplies what picking a folder does.
class OnboardingWindow : public QWidget {
    Q_OBJECT
public:
    enum class Step { welcome, chooseFolder };

    explicit OnboardingWindow(std::function<void()> pickFolder);

    Step step() const { return step_; }
    void setStep(Step step);
    QPushButton* nextButton() const { return nextButton_; }
    QPushButton* pickButton() const { return pickButton_; }
    QPushButton* backButton() const { return backButton_; }
    // On the folder card: whether Flintly opens at login from now on (off unless the
    // user ticks it).
    QCheckBox* openAtLoginBox() const { return openAtLogin_; }

    // Fades the window's opacity over 0.15 s; `done` runs at the end.
    void fade(qreal from, qreal to, std::function<void()> done = {});

    static QString displayFamily();  // "Pretendard" when bundled or installed

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeWelcomeCard();
    QWidget* makeFolderCard();
    QPushButton* makePrimaryButton(const QString& text);
    QLabel* makeText(const QString& text, int pixelSize, bool title = false);
    void applyScheme();
    bool isDark() const;

    PanelSurface* surface_ = nullptr;  // child: opaque and cut to shape without a compositor

    std::function<void()> pickFolder_;
    Step step_ = Step::welcome;
    QStackedWidget* stack_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* pickButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QCheckBox* openAtLogin_ = nullptr;
    QLabel* logo_ = nullptr;
    bool loggedFonts_ = false;
    bool applyingScheme_ = false;
};

}  // namespace flintly
