#include "templates/TemplateVariables.h"

namespace flintly {

namespace {
const QString kOpen = QStringLiteral("{{");
const QString kClose = QStringLiteral("}}");
const QString kCursor = QStringLiteral("cursor");

std::optional<QString> valueOf(const QString& name, const TemplateContext& c)
{
    if (name == u"date")
        return c.now.toString(QStringLiteral("yyyy-MM-dd"));
    if (name == u"time")
        return c.now.toString(QStringLiteral("HH:mm"));
    if (name == u"datetime")
        return c.now.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (name == u"title")
        return c.title;
    if (name == u"clipboard")
        return c.clipboard;
    return std::nullopt;
}
}  // namespace

QStringList templateVariables()
{
    return {QStringLiteral("{{date}}"),  QStringLiteral("{{time}}"),      QStringLiteral("{{datetime}}"),
            QStringLiteral("{{title}}"), QStringLiteral("{{clipboard}}"), QStringLiteral("{{cursor}}")};
}

ExpandedTemplate expandTemplate(const QString& text, const TemplateContext& context)
{
    ExpandedTemplate out;
    out.text.reserve(text.size());
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf(kOpen, from);
        const qsizetype close = open < 0 ? -1 : text.indexOf(kClose, open + kOpen.size());
        if (close < 0) {
            out.text += QStringView(text).mid(from);
            break;
        }
        out.text += QStringView(text).mid(from, open - from);
        const QString name = text.mid(open + kOpen.size(), close - open - kOpen.size()).trimmed();
        if (name == kCursor) {
            if (!out.caret)
                out.caret = out.text.size();
            from = close + kClose.size();
        } else if (const auto value = valueOf(name, context)) {
            out.text += *value;
            from = close + kClose.size();
        } else {
            // Not ours: one brace goes out as written and the search goes on from the
            // next, so "{{{date}}}" still finds its variable inside.
            out.text += text.at(open);
            from = open + 1;
        }
    }
    return out;
}

}  // namespace flintly
