#include "dialogs/keys/ckeychecker.h"

#include "base/log.h"
#include "context/appcontext.h"
#include "localisation/frmlocalizer.h"

namespace jex {

namespace {

const QString kDefault = QStringLiteral("DEFAULT");
constexpr const char* kBindingsPlace = " in cKeyChecker.GetActBindings; ";
constexpr const char* kTranslatePlace = " in cKeyChecker.TranslateKey; ";

// Runs one step; an error is logged with the location text and the next step follows.
template <class F>
bool step(const char* place, F&& fn) noexcept {
  try {
    fn();
    return true;
  } catch (const Error& e) {
    WriteErrorLog(QString::fromLatin1(place) + QString::number(e.number()) + u' ' + e.description());
  } catch (const std::exception& e) {
    WriteErrorLog(QString::fromLatin1(place) + QString::number(err::InvalidCall) + u' ' + QString::fromUtf8(e.what()));
  } catch (...) {
    WriteErrorLog(QString::fromLatin1(place) + QString::number(err::InvalidCall) + QStringLiteral(" unknown error"));
  }
  return false;
}

// An object-valued answer; Empty and Nothing give Nothing.
Obj objOrNothing(const QVariant& v) { return v.isValid() ? automation::toObj(v) : Obj(); }

const Obj& need(const Obj& o, const char* what) {
  if (o.isNothing()) throw Error(err::ObjectRequired, QStringLiteral("Object required: ") + QString::fromLatin1(what));
  return o;
}

// The text before the first blank of a key list, without its level suffix.
QString firstCode(const QString& list) {
  QString first = list.left(list.indexOf(u' '));
  if (!first.isEmpty()) first.chop(2);
  return first;
}

}  // namespace

size_t qHash(const CiKey& key, size_t seed) noexcept {
  size_t h = seed ^ 0x9e3779b97f4a7c15ULL;
  for (const QChar c : key.text) {
    const char16_t u = c.unicode();
    const char16_t folded = u < 128 ? ((u >= 'A' && u <= 'Z') ? char16_t(u + 32) : u) : c.toCaseFolded().unicode();
    h = (h ^ folded) * 0x100000001b3ULL;
  }
  return h;
}

cKeyChecker::cKeyChecker(Obj core) : core_(std::move(core)) {}

void cKeyChecker::InitForApp(const QString& app, bool forceReload) {
  trap("cKeyChecker.InitForApp", [&] {
    WriteLog(QStringLiteral("cKeyChecker.InitForApp ") + app + QStringLiteral(" ForceReload: ") +
                 (forceReload ? QStringLiteral("True") : QStringLiteral("False")),
             kDetail);
    if (app != appName_) {
      appName_ = app;
      GetActBindings(true);
    } else {
      GetActBindings(forceReload);
    }
    WriteLog(QStringLiteral("cKeyChecker.Initialized"), kDetail);
  });
}

void cKeyChecker::GetActBindings(bool reload) {
  const Obj core = core_ ? core_ : appContext().core();
  Obj user, defaults;
  step(kBindingsPlace, [&] { user = need(core, "core").obj(QStringLiteral("proc.User")); });
  step(kBindingsPlace, [&] { defaults = need(core, "core").obj(QStringLiteral("proc.App_Dirs")); });

  if (reload) {
    const QString order[][2] = {{QStringLiteral("ReloadKeyBindings"), kDefault},
                                {QStringLiteral("ReloadBrlBindings"), kDefault},
                                {QStringLiteral("ReloadKeyBindings"), appName_},
                                {QStringLiteral("ReloadBrlBindings"), appName_}};
    for (const auto& call : order) step(kBindingsPlace, [&] { need(defaults, "App_Dirs").call(call[0], {call[1]}); });
    Obj apps;
    step(kBindingsPlace, [&] { apps = need(user, "User").obj(QStringLiteral("AppS")); });
    for (const auto& call : order) step(kBindingsPlace, [&] { need(apps, "AppS").call(call[0], {call[1]}); });
  }

  // Emptied with room for as many as last time, so that the merge does not grow them again.
  for (auto* lists : {&keyToFunc_, &cap_, &num_, &brl_}) {
    const qsizetype size = lists->size();
    *lists = {};
    lists->reserve(size);
  }
  bulk_ = true;

  const bool forApp = appName_ != kDefault;
  struct Level {
    const Obj* source;
    const char* what;
    QString key, brl, app, suffix;
    bool present;
  };
  const Level levels[] = {
      {&user, "User", QStringLiteral("AppKeyBindings"), QStringLiteral("AppBrlBindings"), appName_,
       QStringLiteral("_4 "), forApp},
      {&user, "User", QStringLiteral("AppKeyBindings"), QStringLiteral("AppBrlBindings"), kDefault,
       QStringLiteral("_3 "), true},
      {&defaults, "App_Dirs", QStringLiteral("KeyBindings"), QStringLiteral("BrlBindings"), appName_,
       QStringLiteral("_2 "), forApp},
      {&defaults, "App_Dirs", QStringLiteral("KeyBindings"), QStringLiteral("BrlBindings"), kDefault,
       QStringLiteral("_1 "), true},
  };
  for (const Level& l : levels) {
    if (!l.present) continue;
    for (const bool braille : {false, true})
      step(kBindingsPlace, [&] {
        const Obj set = objOrNothing(need(*l.source, l.what).call(braille ? l.brl : l.key, {l.app}));
        AddBindingSet(set, l.suffix, braille);
      });
  }
}

void cKeyChecker::AddBindingSet(const Obj& set, const QString& suffix, bool braille) {
  if (set.isNothing()) return;
  const auto target = [&](const QString& code) -> KeyLists& {
    if (braille) return brl_;
    return code.contains(QStringLiteral("CAP")) ? cap_ : num_;
  };
  if (fetch_ == Fetch::Auto && bulk_) {
    QVariant all;
    try {
      all = set.get(QStringLiteral("Bindings"));
    } catch (const Error& e) {
      if (e.number() != err::UnknownMember) throw;
      bulk_ = false;  // an older core: its sets have CollA and CollB only
    }
    if (bulk_) {
      const QStringList pairs = all.toStringList();
      for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        AddKeyBinding(target(pairs[i]), pairs[i], pairs[i + 1], suffix);
      return;
    }
  }
  const Obj collA = objOrNothing(set.get(QStringLiteral("CollA")));
  const Obj collB = objOrNothing(set.get(QStringLiteral("CollB")));
  if (collB.isNothing()) return;
  QStringList items;
  const int n = collB.count();
  items.reserve(n);
  for (int i = 1; i <= n; ++i) items << automation::toStr(collB.item(i));
  for (const QString& item : std::as_const(items))
    for (const QString& code : item.split(u' ')) {
      QString function;
      if (!collA.isNothing()) {
        try {
          function = automation::toStr(collA.item(code));
        } catch (const Error&) {
          function.clear();  // a code without a function
        }
      }
      AddKeyBinding(target(code), code, function, suffix);
    }
}

void cKeyChecker::AddKeyBinding(KeyLists& list, const QString& code, const QString& function, const QString& suffix) {
  const qsizetype before = keyToFunc_.size();
  QString& bound = keyToFunc_[CiKey{code}];
  if (keyToFunc_.size() == before) return;  // a higher level or an earlier line has it
  bound = function;
  list[CiKey{function}].append(code).append(suffix);
}

QString cKeyChecker::listItem(const KeyLists& lists, const QString& function) { return lists.value(CiKey{function}); }

QString cKeyChecker::GetAllKeysForFunc(const QString& function) const {
  return GetCAPforFunc(function) + GetNUMforFunc(function) + GetBRLforFunc(function);
}

QString cKeyChecker::GetFirstKeysForFunc(const QString& function, bool noTranslate) const {
  return trapped("cKeyChecker.GetFirstKeysForFunc", QString(), [&] {
    QString result = firstCode(GetCAPforFunc(function));
    if (!result.isEmpty() && !noTranslate) result = TranslateKey(result);
    for (const QString& first : {firstCode(GetNUMforFunc(function)), firstCode(GetBRLforFunc(function))})
      if (!first.isEmpty()) result += u' ' + first;
    return result.trimmed();
  });
}

QString cKeyChecker::GetActFuncForKey(const QString& code) const { return keyToFunc_.value(CiKey{code}); }

QString cKeyChecker::term(const QString& name) const {
  QString text = name;
  step(kTranslatePlace, [&] { text = terms_ ? terms_(name) : frmLocalizer().GetCapString(name); });
  return text;
}

QString cKeyChecker::TranslateKey(QString& code) const {
  static const QString cap = QStringLiteral("CAP_"), scap = QStringLiteral("SCAP_"), shift = QStringLiteral("|S"),
                       alt = QStringLiteral("|A");
  if (!code.contains(cap)) return code;
  QString text = term(QStringLiteral("CAP"));
  code.remove(scap, Qt::CaseInsensitive);
  code.remove(cap, Qt::CaseInsensitive);
  if (code.contains(shift)) {
    text.prepend(term(QStringLiteral("Shift")));
    code.remove(shift);
  }
  if (code.contains(alt)) {
    text.prepend(term(QStringLiteral("Alt")));
    code.remove(alt);
  }
  return text + term(code);
}

}  // namespace jex
