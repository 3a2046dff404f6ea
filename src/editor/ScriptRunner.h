#pragma once

#include <QString>

#include <functional>

class QWebEnginePage;

namespace flintly {

struct ScriptOutcome {
    bool ok = false;
    QString error;  // empty when ok
};

// runJavaScript() reports no errors: a script that throws, a page still loading and a
// page torn down mid-call all look like an empty result. This wraps the script so the
// callback can tell them apart, which the theme synchronisation needs for its retries.
// The callback runs on the GUI thread exactly once; a page destroyed before the engine
// answers counts as a failure.
void evaluateScript(QWebEnginePage* page, const QString& script, std::function<void(const ScriptOutcome&)> done);

}  // namespace flintly
