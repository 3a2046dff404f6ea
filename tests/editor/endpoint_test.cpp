#include "editor/ScriptMessageEndpoint.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <functional>
#include <vector>

namespace flintly::test {
namespace {

// The endpoint against a stand-in page: scripts it runs are recorded and answered by
// the test, so the order of arrival can be chosen.
struct Endpoint {
    std::vector<QString> delivered;
    std::vector<quint64> reports;
    std::vector<QString> scripts;
    std::vector<std::function<void(const QVariant&)>> answers;
    QString sent = QStringLiteral("sent text");
    ScriptMessageEndpoint endpoint{
        [this](const QString& name, const QJsonValue& body, quint64) {
            delivered.push_back(name + QLatin1Char(':') + body.toString());
        },
        [this](const QString& name, const QString& text, quint64 generation, quint64 report) {
            delivered.push_back(name + QLatin1Char(':') + QString::number(generation) + QLatin1Char(':') + text);
            reports.push_back(report);
        },
        [this](const QString& script, std::function<void(const QVariant&)> done) {
            scripts.push_back(script);
            answers.push_back(std::move(done));
        },
        [this](quint64 generation) { return generation == 7 ? std::optional<QString>(sent) : std::nullopt; }};

    static QJsonObject edit(double session, int from, int to, const QString& insert, int length, int generation = 7)
    {
        return {{QStringLiteral("edit"), QJsonArray{session, from, to, QStringLiteral("=") + insert, length}},
                {QStringLiteral("generation"), generation}};
    }
};

TEST(ScriptMessageEndpoint, AParkedTextHoldsBackTheMessagesBehindItAndEditsApplyInOrder)
{
    Endpoint e;
    e.endpoint.post(QStringLiteral("didChange"),
                    QJsonObject{{QStringLiteral("parked"), 3}, {QStringLiteral("session"), 42}});
    QJsonObject edit = Endpoint::edit(42, 6, 6, QStringLiteral("!"), 9);
    edit.insert(QStringLiteral("report"), 12);
    e.endpoint.post(QStringLiteral("didChange"), edit);
    e.endpoint.post(QStringLiteral("openLink"), QStringLiteral("0=https://example.com"));
    e.endpoint.post(QStringLiteral("didChange"), QStringLiteral("7:13=hello!! w"));
    ASSERT_EQ(e.scripts.size(), 1u);
    EXPECT_EQ(e.scripts[0], QStringLiteral("window.__flintlyTakeParked(3)"));
    EXPECT_TRUE(e.delivered.empty()) << "nothing overtakes the parked text";

    // A leading byte-order mark comes marked.
    e.answers[0](QVariantList{5, QStringLiteral("=\uFEFFhello w"), true, 11});
    EXPECT_EQ(e.delivered,
              (std::vector<QString>{
                  QStringLiteral("didChange:5:\uFEFFhello w"), QStringLiteral("didChange:7:\uFEFFhello! w"),
                  QStringLiteral("openLink:0:https://example.com"), QStringLiteral("didChange:7:hello!! w")}));
    EXPECT_EQ(e.reports, (std::vector<quint64>{11, 12, 0, 13})) << "each text report keeps its number";
}

TEST(ScriptMessageEndpoint, EditsStartFromTheAdoptedTextAndOneThatDoesNotFitAsksForTheWholeText)
{
    Endpoint e;
    e.endpoint.post(QStringLiteral("didChange"), QJsonObject{{QStringLiteral("adopt"), QJsonArray{42, 7, 9}}});
    e.endpoint.post(QStringLiteral("didChange"), Endpoint::edit(42, 0, 4, QStringLiteral("the"), 8));
    EXPECT_EQ(e.delivered, std::vector<QString>{QStringLiteral("didChange:7:the text")});

    // Another page (a reload) or a lost report: dropped, and the page is asked again.
    e.endpoint.post(QStringLiteral("didChange"), Endpoint::edit(43, 0, 0, QStringLiteral("x"), 9));
    e.endpoint.post(QStringLiteral("didChange"), Endpoint::edit(42, 0, 0, QStringLiteral("x"), 99));
    EXPECT_EQ(e.delivered.size(), 1u);
    EXPECT_EQ(e.scripts,
              (std::vector<QString>{QStringLiteral("window.__flintlyResendText()"),
                                    QStringLiteral("window.__flintlyResendText()")}));

    // An adoption of a text the app no longer knows leaves no base to apply edits to.
    e.endpoint.post(QStringLiteral("didChange"), QJsonObject{{QStringLiteral("adopt"), QJsonArray{42, 8, 9}}});
    e.endpoint.post(QStringLiteral("didChange"), Endpoint::edit(42, 0, 0, QStringLiteral("x"), 10));
    EXPECT_EQ(e.delivered.size(), 1u);
}

}  // namespace
}  // namespace flintly::test
