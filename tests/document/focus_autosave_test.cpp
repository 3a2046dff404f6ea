#include "ModelFixture.h"

#include "document/AutosaveService.h"

using namespace flintly;
using namespace flintly::test;

using FocusTime = ModelFixture;

TEST_F(FocusTime, SessionsAddWholeSecondsAndReportTheirOrigin)
{
    settings->setValue(QStringLiteral("statsFocusSeconds"), 100);
    auto& m = makeModel();
    m.startFocusSession();
    EXPECT_TRUE(settings->doubleValue(QStringLiteral("statsSessionStart")));
    advance(59'900);
    m.endFocusSession();
    EXPECT_EQ(settings->intValue(QStringLiteral("statsFocusSeconds")), 159);
    EXPECT_FALSE(settings->contains(QStringLiteral("statsSessionStart")));
    EXPECT_FALSE(m.sessionStart());
    m.endFocusSession();  // no session: nothing
    const auto ended = tracker.named("focus_session_end");
    ASSERT_EQ(ended.size(), 1u);
    const auto& props = ended[0].properties;
    EXPECT_EQ(std::get<std::int64_t>(props.at("durationSec")), 59);
    EXPECT_EQ(toString(props.at("origin")), "internal");

    const QString outside = home.filePath(QStringLiteral("Outside.md"));
    writeBytes(outside, "x");
    m.open(QUrl::fromLocalFile(outside));  // no session was running; this starts one
    advance(5000);
    m.newNote();
    const auto events = tracker.named("focus_session_end");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(toString(events[1].properties.at("origin")), "external");
    EXPECT_EQ(std::get<std::int64_t>(events[1].properties.at("durationSec")), 5);
}

using Statistics = ModelFixture;

TEST_F(Statistics, EverySaveRecountsTheFolder)
{
    writeBytes(note(QStringLiteral("a.md")), "- [x] one\n- [ ] two\n");
    writeBytes(note(QStringLiteral("b.MD")), "abc");
    writeBytes(note(QStringLiteral("c.txt")), "- [x] not a note");
    auto& m = makeModel();
    LogCapture logs;
    m.setText(QStringLiteral("- [X] done"));
    m.save();
    ASSERT_TRUE(waitUntil([&] { return settings->intValue(QStringLiteral("statsNoteCount")) == 3; }));
    EXPECT_EQ(settings->intValue(QStringLiteral("statsTodoDone")), 2);
    EXPECT_EQ(settings->intValue(QStringLiteral("statsCharCount")), 20 + 3 + 10);
    EXPECT_TRUE(waitUntil(
        [&] { return logs.contains(QStringLiteral("📊 통계 업데이트 완료: 노트 3개, 문자 33개, 완료된 TODO 2개")); }));
}

using Autosave = ModelFixture;

TEST_F(Autosave, SavesAfterTheTextIsStillAndLogsFailures)
{
    auto& m = makeModel(false);  // no folder: every save fails
    LogCapture logs;
    AutosaveService service(&m, 0.3, nullptr, &time);
    advance(500);
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("❌ Autosave failed:"))) << "the current text is not a change";
    m.setText(QStringLiteral("typed"));
    advance(300);
    EXPECT_TRUE(logs.contains(QStringLiteral("❌ Autosave failed: noFolder")));
    logs.clear();
    m.setText(QStringLiteral("typed"));  // same value
    advance(500);
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("❌ Autosave failed:")));
}

TEST_F(Autosave, ContinuousTypingWaitsForThePause)
{
    auto& m = makeModel();
    settle();
    LogCapture logs;
    AutosaveService service(&m, 0.4, nullptr, &time);
    for (int i = 0; i < 8; ++i) {
        m.setText(QStringLiteral("typing ") + QString::number(i));
        advance(100);
    }
    const int savesWhileTyping = static_cast<int>(logs.lines().filter(QStringLiteral("💾 save() start")).size());
    EXPECT_EQ(savesWhileTyping, 0);
    advance(500);
    EXPECT_EQ(logs.lines().filter(QStringLiteral("💾 save() start")).size(), 2)
        << "both the model's pipeline and the autosave save at the pause";
}
