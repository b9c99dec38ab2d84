#include "app/scripting/funcs.h"

#include "app/scripting/typelib.h"
#include "base/log.h"
#include "global/cglobal.h"
#include "platform/windows.h"
#include "widgets/formservice.h"

namespace jex {

using automation::Args;
using automation::isMissing;
using automation::toBool;
using automation::toI32;
using automation::toObj;
using automation::toStr;

namespace {

std::shared_ptr<Funcs> g_funcs;

// An argument as text; omitted or Empty gives "". Other types are converted as scripts do;
// a value that has no text (a list, an object without a default member) gives "" and a log line.
QString text(const QVariant& v) {
  return isMissing(v) ? QString() : trapped("Funcs: argument as text", QString(), [&] { return toStr(v); });
}

// Text handed to a form, cut to Funcs::kMaxText characters.
QString formText(const QVariant& v, const char* what) {
  QString s = text(v);
  if (s.size() > Funcs::kMaxText) {
    WriteLog(QStringLiteral("Funcs: %1 cut from %2 characters").arg(QLatin1String(what)).arg(s.size()), kTraffic);
    s.truncate(Funcs::kMaxText);
  }
  return s;
}

bool flag(const QVariant& v) { return isMissing(v) || !v.isValid() ? false : toBool(v); }

// A window handle given as any value: a number, a numeric string, Empty (0).
platform::WindowHandle handle(const QVariant& v) {
  return isMissing(v) ? 0 : platform::WindowHandle(quint32(toI32(v)));
}

int number(const QVariant& v) { return isMissing(v) ? 1 : toI32(v); }

QVariant arg(Args& a, int i) { return i < a.size() ? a.at(i) : automation::missing(); }

QString yesNo(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

Funcs::Funcs() : Dispatchable(typeLibClass(QStringLiteral("Funcs"))) {
  method(QStringLiteral("FindClassEx"), 0, 3,
         [this](Args& a) { return QVariant(FindClassEx(arg(a, 0), arg(a, 1), arg(a, 2))); });
  method(
      QStringLiteral("SetFocusToClass"), 1, 3,
      [this](Args& a) { return QVariant(SetFocusToClass(arg(a, 0), arg(a, 1), arg(a, 2))); },
      QStringLiteral("Sets Focus to the Window with matching ClassName and Number. \r\nIf number is omitted, the first "
                     "found Window is chosen.\r\nParent defaults to current ForgroundWindow."));
  method(
      QStringLiteral("MsgBox"), 1, 4,
      [this](Args& a) {
        MsgBox(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3));
        return QVariant();
      },
      QStringLiteral(
          "shows a MsgBox; Buttons can be \"OK\", \"YESNO\"\r\nReturnValue comes in OnMsgBox (E) - E.Result, "
          "E.Cookie\r\n"));
  method(
      QStringLiteral("InputBox"), 1, 4,
      [this](Args& a) {
        InputBox(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3));
        return QVariant();
      },
      QStringLiteral("shows an InputBox and returns the value in the Event OnInputBox (E) with E.Result, E.Cookie"));
  method(
      QStringLiteral("GetTypeLibInfoFromO"), 1, 1, [this](Args& a) { return QVariant(GetTypeLibInfoFromO(a.at(0))); },
      QStringLiteral("retrieves TypeLib-Information about any (living) Object (IUnKnown). Returns a string with all "
                     "Members."));
  method(
      QStringLiteral("ShowReadMe"), 0, 1,
      [this](Args& a) {
        ShowReadMe(arg(a, 0));
        return QVariant();
      },
      QStringLiteral("Shows the ReadMe-File for the current App from \\HELP\\LngID.\r\nFileName defaults to current "
                     "AppName, but can be any valid file in \\HELP\\LngID."));
  method(QStringLiteral("ShowText"), 1, 3, [this](Args& a) {
    ShowText(arg(a, 0), arg(a, 1), arg(a, 2));
    return QVariant();
  });
  property(QStringLiteral("AllVoiceSpeed"), {}, [this](const QVariant& v) { setAllVoiceSpeed(v); });
  property(QStringLiteral("AllVoiceVolume"), {}, [this](const QVariant& v) { setAllVoiceVolume(v); });
  // Their parameters and results, as JexUI's type library declares them.
  using automation::ParamInfo;
  constexpr int String = 8, Long = 3, Boolean = 11, Object = 9, Variant = 12, None = 24;
  const auto in = [](const char* name, int type) { return ParamInfo{QString::fromLatin1(name), type, 0x1}; };
  const auto optional = [](const char* name, int type) { return ParamInfo{QString::fromLatin1(name), type, 0x11}; };
  declare(QStringLiteral("FindClassEx"),
          {optional("ParentHwnd", Long), optional("ClassName", String), optional("Number", Long)}, Long);
  declare(QStringLiteral("SetFocusToClass"),
          {in("ClassName", String), optional("Number", Long), optional("ParentHwnd", Long)}, Long);
  declare(QStringLiteral("MsgBox"),
          {in("Prompt", String), optional("Buttons", Long), optional("Title", String), optional("Context", Variant)},
          None);
  declare(QStringLiteral("InputBox"),
          {in("Prompt", String), optional("Title", String), optional("Default", String), optional("Context", Variant)},
          None);
  declare(QStringLiteral("GetTypeLibInfoFromO"), {in("O", Object)}, String);
  declare(QStringLiteral("ShowReadMe"), {optional("File", String)}, None);
  declare(QStringLiteral("ShowText"),
          {in("Text", String), optional("AutoRead", Boolean), optional("AutoClose", Boolean)}, None);
  declare(QStringLiteral("AllVoiceSpeed"), {}, Long);
  declare(QStringLiteral("AllVoiceVolume"), {}, Long);
}

qint32 Funcs::FindClassEx(const QVariant& parentHwnd, const QVariant& className, const QVariant& num) {
  return trapped("Funcs.FindClassEx", qint32(0), [&] {
    const QString cls = text(className);
    const platform::WindowHandle found = platform::findClassEx(handle(parentHwnd), cls, number(num));
    WriteLog(QStringLiteral("FindClassEx %1 -> 0x%2").arg(cls.left(200)).arg(found, 0, 16), kDetail);
    return qint32(found);
  });
}

qint32 Funcs::SetFocusToClass(const QVariant& className, const QVariant& num, const QVariant& parentHwnd) {
  return trapped("Funcs.SetFocusToClass", qint32(0), [&] {
    const QString cls = text(className);
    platform::WindowHandle parent = handle(parentHwnd);
    if (parent == 0) parent = platform::foregroundWindow();
    if (parent == 0) parent = platform::desktopWindow();
    const platform::WindowHandle found = platform::findClassEx(parent, cls, number(num));
    const bool focused = found != 0 && platform::setFocusToWindow(found);
    WriteLog(QStringLiteral("SetFocusToClass %1 -> 0x%2 %3")
                 .arg(cls.left(200))
                 .arg(found, 0, 16)
                 .arg(focused ? QStringLiteral("focused") : QStringLiteral("not focused")),
             kTraffic);
    return focused ? qint32(found) : qint32(0);
  });
}

void Funcs::MsgBox(const QVariant& prompt, const QVariant& buttons, const QVariant& title, const QVariant& cookie) {
  trap("Funcs.MsgBox", [&] {
    const QString p = formText(prompt, "MsgBox prompt");
    const QString b = text(buttons).left(16), t = formText(title, "MsgBox title"), c = text(cookie);
    forms::run(QStringLiteral("frmSCRMsgBox"), QStringLiteral("ShowMsgBox"), {p, b, t, c});
  });
}

void Funcs::InputBox(const QVariant& prompt, const QVariant& title, const QVariant& defaultText,
                     const QVariant& cookie) {
  trap("Funcs.InputBox", [&] {
    const QString p = formText(prompt, "InputBox prompt"), t = formText(title, "InputBox title");
    const QString d = formText(defaultText, "InputBox default"), c = text(cookie);
    forms::run(QStringLiteral("frmSCRInput"), QStringLiteral("ShowInputBox"), {p, t, d, c});
  });
}

QString Funcs::GetTypeLibInfoFromO(const QVariant& object) {
  return trapped("Funcs.GetTypeLibInfoFromO", QString(), [&] {
    // The object wizard writes the declaration text; without it, the plain member listing.
    if (forms::contains(QStringLiteral("frmObjWiz"))) {
      if (QWidget* wizard = forms::load(QStringLiteral("frmObjWiz"), "Funcs.GetTypeLibInfoFromO")) {
        QString text;
        if (QMetaObject::invokeMethod(wizard, "GetLiveObjectInfo", Q_RETURN_ARG(QString, text),
                                      Q_ARG(QVariant, object)))
          return text;
      }
    }
    return describeMembers(toObj(object));
  });
}

QString Funcs::readMeFile(const QString& fileName) {
  QString name = fileName.trimmed();
  if (name.isEmpty()) {
    if (gGlobal().NewTask.isEmpty()) return {};
    name = gGlobal().NewTask + QStringLiteral(".txt");
  }
  if (name.contains(u'/') || name.contains(u'\\') || name.contains(QLatin1String("..")) || name.contains(QChar(0)) ||
      name.size() > 255)
    return {};
  return name;
}

void Funcs::ShowReadMe(const QVariant& fileName) {
  trap("Funcs.ShowReadMe", [&] {
    const QString file = readMeFile(text(fileName));
    if (file.isEmpty()) {
      WriteLog(QStringLiteral("ShowReadMe: no file for \"") + text(fileName).left(200) + QStringLiteral("\""),
               kTraffic);
      return;
    }
    forms::open(QStringLiteral("frmReadMe"), QStringLiteral("Read"), {file});
  });
}

void Funcs::ShowText(const QVariant& txt, const QVariant& autoRead, const QVariant& autoClose) {
  trap("Funcs.ShowText", [&] {
    const QString t = formText(txt, "ShowText text");
    const bool read = flag(autoRead), close = flag(autoClose);
    forms::run(QStringLiteral("frmTextWiz"), QStringLiteral("ShowText"), {t, yesNo(read), yesNo(close)});
  });
}

void Funcs::setAllVoiceSpeed(const QVariant& value) {
  trap("Funcs.AllVoiceSpeed", [&] {
    const qint32 v = toI32(value);
    forms::run(QStringLiteral("frmVoices"), QStringLiteral("AllSpeeds"), {QString::number(v)});
  });
}

void Funcs::setAllVoiceVolume(const QVariant& value) {
  trap("Funcs.AllVoiceVolume", [&] {
    const qint32 v = toI32(value);
    forms::run(QStringLiteral("frmVoices"), QStringLiteral("AllVolumes"), {QString::number(v)});
  });
}

std::shared_ptr<Funcs> funcsInstance() { return g_funcs; }

bool ExposeFuncs(Obj core) {
  return trap("ExposeFuncs", [&] {
    if (core.isNothing()) core = Jex();
    if (!g_funcs) g_funcs = std::make_shared<Funcs>();
    QVariantList args{QStringLiteral("Funcs"), automation::fromObj(Obj(g_funcs))};
    core.call(QStringLiteral("proc.iScript.ExposeObject"), args);
    WriteLog(QStringLiteral("Funcs exposed to the core's scripts"), kDetail);
  });
}

void ReleaseFuncs() {
  trap("ReleaseFuncs", [] {
    g_funcs.reset();
    WriteLog(QStringLiteral("Funcs released"), kDetail);
  });
}

}  // namespace jex
