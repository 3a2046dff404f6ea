#include "widgets/CompositorWatcher.h"

namespace flintly {

CompositorWatcher& CompositorWatcher::shared()
{
    static CompositorWatcher* watcher = makePlatformCompositorWatcher().release();
    return *watcher;
}

void FixedCompositor::setCompositing(bool compositing)
{
    if (compositing == compositing_)
        return;
    compositing_ = compositing;
    emit compositingChanged(compositing);
}

}  // namespace flintly
