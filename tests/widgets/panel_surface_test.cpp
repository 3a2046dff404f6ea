// The panels on an X server of this test's own, with and without a compositor: what
// reaches the screen around each panel, and where clicks beside a panel go.
#include "document/MarkdownModel.h"
#include "notepanel/FloatingPanelController.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/SettingsStore.h"
#include "quickopen/SearchPanelController.h"
#include "quickopen/SearchPanelWindow.h"
#include "shortcuts/XTestDriver.h"
#include "support/TestEnvironment.h"
#include "templatepanel/TemplatePanelController.h"
#include "templatepanel/TemplatePanelWindow.h"
#include "widgets/CompositorWatcher.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

using namespace flintly;

namespace {

// Another program's window covering the screen beneath the panels, in a colour of its
// own. It takes the keyboard focus when clicked, as a click-to-focus window manager
// would give it.
class OtherProgram {
public:
    static constexpr QRgb kColor = 0x2e8b57;

    OtherProgram()
    {
        c_ = xcb_connect(nullptr, nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        const uint32_t values[] = {kColor, 1, XCB_EVENT_MASK_BUTTON_PRESS};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, screen->width_in_pixels,
                          screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c_, window_);
        xcb_flush(c_);
    }
    ~OtherProgram() { xcb_disconnect(c_); }

    // Whether a click reached it before the time ran out.
    bool waitForClick(int ms = 5000)
    {
        return test::waitUntil(
            [this] {
                while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                    if ((e->response_type & 0x7f) == XCB_BUTTON_PRESS) {
                        clicks_++;
                        xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
                        xcb_flush(c_);
                    }
                    std::free(e);
                }
                return clicks_ > 0;
            },
            ms);
    }

private:
    xcb_connection_t* c_ = nullptr;
    xcb_window_t window_ = 0;
    int clicks_ = 0;
};

// The note's translucent material, as the note view paints it.
class Material : public QWidget {
public:
    explicit Material(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(236, 236, 236, 209)); }
};

// Black pixels in the frame of a panel's body: around it, in the corners its rounding
// cuts off, and just inside its edge, which is where black frames showed. Where another
// panel lies over that frame (the template panel centres itself on the screen, so on a
// wide one it overlaps the note), its text is not this panel's frame.
int blackFramePixels(const QRect& body, const QList<QRect>& panels)
{
    const QRect around = body.adjusted(-24, -24, 24, 24);
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, around.x(), around.y(), around.width(), around.height())
                            .toImage();
    const QRect inside = body.adjusted(6, 6, -6, -6).translated(-around.topLeft());
    int black = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor px = shot.pixelColor(x, y);
            const QPoint onScreen = around.topLeft() + QPoint(x, y);
            const bool underAnother = std::any_of(panels.begin(), panels.end(), [&](const QRect& other) {
                return other != body && other.contains(onScreen);
            });
            if (!inside.contains(x, y) && !underAnother && px.red() < 16 && px.green() < 16 && px.blue() < 16)
                ++black;
        }
    return black;
}

QRgb screenPixel(const QPoint& at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixel(0, 0) & 0xffffff;
}

class PanelSurfaces : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server";
        ASSERT_FALSE(CompositorWatcher::shared().isCompositing()) << "the test's own server starts without one";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));

        note = FloatingPanelController::create(
            *settings, model.get(),
            [](SettingsStore&, MarkdownModel*, QWidget* parent) { return new Material(parent); });
        note->window()->move(840, 100);
        SearchPanelController::Options options;
        options.fade = [](QWidget* window, qreal to, int, std::function<void()> done) {
            window->setWindowOpacity(to);
            done();
        };
        search = std::make_unique<SearchPanelController>(std::move(options));
        search->configure(model.get(), *settings);
        search->window()->moveBodyTo(QPoint(60, 100));
        templates = std::make_unique<TemplatePanelController>(
            TemplatePanelController::Dependencies{model.get(), settings.get(), nullptr, {}});
    }

    void TearDown() override
    {
        if (compositor.state() != QProcess::NotRunning) {
            compositor.kill();
            compositor.waitForFinished(5000);
            test::waitUntil([] { return !CompositorWatcher::shared().isCompositing(); });
        }
    }

    void showAll()
    {
        note->showWindow();
        search->setShown(true);
        search->show(nullptr);
        templates->show(nullptr);
        for (QWidget* w : windows())
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        ASSERT_TRUE(test::waitUntil([this] { return templates->window()->windowOpacity() == 1.0; }));
        test::spin(100);  // the last paint reaches the screen
    }

    QList<QWidget*> windows() const { return {note->window(), search->window(), templates->window()}; }
    QList<QRect> bodies() const
    {
        return {note->window()->geometry(), search->window()->bodyGeometry(),
                templates->window()->surface().bodyGeometry()};
    }

    void startCompositor()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xcompmgr")).isEmpty())
            GTEST_SKIP() << "needs xcompmgr";
        compositor.start(QStringLiteral("xcompmgr"), {});
        ASSERT_TRUE(test::waitUntil([] { return CompositorWatcher::shared().isCompositing(); }, 10000));
    }

    QTemporaryDir home;
    OtherProgram other;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<FloatingPanelController> note;
    std::unique_ptr<SearchPanelController> search;
    std::unique_ptr<TemplatePanelController> templates;
    QProcess compositor;
};

TEST_F(PanelSurfaces, WithoutACompositorEveryPanelIsAnOpaqueRoundedBodyWithoutAFrame)
{
    showAll();
    const QStringList names{QStringLiteral("note"), QStringLiteral("search"), QStringLiteral("templates")};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const QRect body = bodies()[i];
        EXPECT_EQ(windows()[i]->geometry(), body) << "no transparent margin";
        EXPECT_EQ(blackFramePixels(body, bodies()), 0);
        EXPECT_EQ(screenPixel(body.topLeft()), OtherProgram::kColor) << "the rounded corner is cut off";
    }
}

TEST_F(PanelSurfaces, AStartingCompositorGivesShadowMarginsThatClicksGoThrough)
{
    showAll();
    const QList<QRect> before = bodies();
    startCompositor();
    ASSERT_TRUE(test::waitUntil([this] { return search->window()->size() != QSize(360, 360); }));
    EXPECT_EQ(bodies(), before) << "the bodies stay where they were";
    EXPECT_EQ(search->window()->geometry(), before[1].adjusted(-16, -16, 16, 16));
    test::spin(300);  // the compositor draws the new windows
    for (const QRect& body : bodies())
        EXPECT_EQ(blackFramePixels(body, bodies()), 0);

    // A click beside the search panel is a click in the other program, which takes the
    // keyboard: the outside click that closes the panel.
    ASSERT_TRUE(test::waitUntil([] { return qApp->applicationState() == Qt::ApplicationActive; }));
    test::XTestDriver mouse;
    ASSERT_TRUE(mouse.isConnected());
    const QRect searchBody = search->window()->bodyGeometry();
    mouse.moveTo(searchBody.left() - 6, searchBody.center().y());
    mouse.click();
    EXPECT_TRUE(other.waitForClick());
    EXPECT_TRUE(test::waitUntil([this] { return !search->isShown(); }));

    // The compositor stops: the margins go, and the bodies stay.
    compositor.kill();
    compositor.waitForFinished(5000);
    ASSERT_TRUE(test::waitUntil([] { return !CompositorWatcher::shared().isCompositing(); }));
    EXPECT_EQ(templates->window()->geometry(), before[2]);
}

}  // namespace
