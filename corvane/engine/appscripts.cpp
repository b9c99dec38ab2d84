#include "corvane/engine/appscripts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "base/codepages.h"
#include "base/log.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/coremodel.h"

namespace corvane {

namespace {

constexpr qint64 kMaxScriptBytes = 4 * 1024 * 1024;  // a larger file is no script of ours

void refuse(const QString& app, const char* why) {
  jex::WriteErrorLog(QStringLiteral("App_Scripts: application name \"%1\" refused: %2").arg(app, QLatin1String(why)));
  throw jex::Error(jex::err::InvalidCall, QStringLiteral("Invalid procedure call or argument: application ") + app);
}

// The application name as the core keeps it: upper case, checked.
QString checkedApp(const QString& raw) {
  const QString app = raw.trimmed().toUpper();
  if (app.isEmpty()) refuse(app, "empty");
  if (app == u"." || app == u"..") refuse(app, "a directory");
  if (app.contains(u'/') || app.contains(u'\\') || app.contains(QChar(0))) refuse(app, "holds a path separator");
  return app;
}

// The text of the application's script; empty when it has none.
QString scriptText(const QString& appPath, const QString& app) {
  const QDir dir(appPath + QStringLiteral("scripts/apps"));
  const QString wanted = app.toLower() + QStringLiteral(".vbs");
  for (const QString& name : dir.entryList(QDir::Files)) {
    if (name.toLower() != wanted) continue;
    QFile file(dir.filePath(name));
    if (file.size() > kMaxScriptBytes) {
      jex::WriteErrorLog(QStringLiteral("App_Scripts: ") + name + QStringLiteral(" is too large - left out"));
      return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
      jex::WriteErrorLog(QStringLiteral("App_Scripts: cannot read ") + file.fileName());
      return {};
    }
    return jex::codepage::decodeText(file.readAll());
  }
  return {};
}

class AppScript : public Dispatchable {
 public:
  AppScript(QString app, QList<ScriptFunction> functions)
      : Dispatchable(QStringLiteral("AppScript")), app_(std::move(app)), functions_(std::move(functions)) {
    property(QStringLiteral("Name"), [this] { return QVariant(app_); });
    property(
        QStringLiteral("Functions"),
        [this] {
          QStringList names;
          for (const ScriptFunction& f : functions_) names << f.name;
          return QVariant(names);
        },
        {}, QStringLiteral("the names of the script's functions"));
    method(
        QStringLiteral("GetFunctionLong"), 1, 1,
        [this](Args& a) {
          const QString name = a.str(0).trimmed();
          for (const ScriptFunction& f : functions_)
            if (f.name.compare(name, Qt::CaseInsensitive) == 0) return QVariant(f.description);
          throw jex::Error(jex::err::InvalidCall, QStringLiteral("no function %1 in the script of %2").arg(name, app_));
        },
        QStringLiteral("the description of a function (the comment line above it)"));
    defaultMember(QStringLiteral("Name"));
  }
  const QList<ScriptFunction>& functions() const { return functions_; }

 private:
  QString app_;
  QList<ScriptFunction> functions_;
};

class AppScripts : public Dispatchable {
 public:
  explicit AppScripts(CoreModel& model) : Dispatchable(QStringLiteral("App_Scripts")), model_(model) {
    method(
        QStringLiteral("GetScript"), 1, 1, [this](Args& a) { return fromObj(Obj(script(a.str(0)))); },
        QStringLiteral("the script object of an application (upper-case name)"));
    method(
        QStringLiteral("AddAppFunctionsToCol"), 2, 2,
        [this](Args& a) {
          const QString app = checkedApp(a.str(0));
          const Obj col = a.obj(1);
          for (const ScriptFunction& f : scriptFunctions(scriptText(model_.appPath(), app)))
            col.call(QStringLiteral("Add"), {QVariant(app + QStringLiteral(":Sub.") + f.name)});
          return QVariant();
        },
        QStringLiteral("adds application + \":Sub.\" + name to the collection for every function of its script"));
  }

 private:
  std::shared_ptr<AppScript> script(const QString& raw) {
    const QString app = checkedApp(raw);
    return std::make_shared<AppScript>(app, scriptFunctions(scriptText(model_.appPath(), app)));
  }
  CoreModel& model_;
};

}  // namespace

QList<ScriptFunction> scriptFunctions(const QString& text) {
  static const QRegularExpression procedure(
      QStringLiteral("^\\s*(?:(public|private)\\s+)?(?:sub|function)\\s+([A-Za-z_][A-Za-z0-9_]*)"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression comment(QStringLiteral("^\\s*(?:'|rem\\s)\\s*(.*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
  QList<ScriptFunction> out;
  QString above;  // the comment of the line above, if it was one
  for (const QString& line : text.split(u'\n')) {
    const QRegularExpressionMatch p = procedure.match(line);
    if (p.hasMatch()) {
      const bool isPrivate = p.captured(1).compare(u"private", Qt::CaseInsensitive) == 0;
      const bool known = std::any_of(out.cbegin(), out.cend(), [&](const ScriptFunction& f) {
        return f.name.compare(p.captured(2), Qt::CaseInsensitive) == 0;
      });
      if (!isPrivate && !known) out.append({p.captured(2), above});
    }
    const QRegularExpressionMatch c = comment.match(line);
    above = c.hasMatch() ? c.captured(1).trimmed() : QString();
  }
  return out;
}

QString appScriptText(const QString& appPath, const QString& app) {
  if (app.trimmed().isEmpty()) {
    QFile file(appPath + QStringLiteral("scripts/default.vbs"));
    if (!file.exists() || file.size() > kMaxScriptBytes || !file.open(QIODevice::ReadOnly)) return {};
    return jex::codepage::decodeText(file.readAll());
  }
  return scriptText(appPath, checkedApp(app));
}

jex::automation::Obj makeAppScripts(CoreModel& model) { return Obj(std::make_shared<AppScripts>(model)); }

}  // namespace corvane
