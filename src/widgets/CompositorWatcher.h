#pragma once

#include <QObject>

#include <memory>

namespace flintly {

// Whether a compositing manager draws the desktop, and word when one starts or stops.
// Without one, the window system shows a translucent window's transparent pixels as
// black: what a window may leave see-through depends on this answer.
class CompositorWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isCompositing() const = 0;

    // The desktop's own, made on first use and kept for the run.
    static CompositorWatcher& shared();

signals:
    void compositingChanged(bool compositing);
};

// An answer that changes only when told: for platforms without the notion, and tests.
class FixedCompositor final : public CompositorWatcher {
    Q_OBJECT
public:
    explicit FixedCompositor(bool compositing, QObject* parent = nullptr)
        : CompositorWatcher(parent), compositing_(compositing)
    {}

    bool isCompositing() const override { return compositing_; }
    void setCompositing(bool compositing);

private:
    bool compositing_;
};

// The watcher for the platform the application runs on (X11: the compositing manager's
// selection; elsewhere a fixed answer).
std::unique_ptr<CompositorWatcher> makePlatformCompositorWatcher();

}  // namespace flintly
