#include "corvane/engine/objects.h"

#include <QFileInfo>
#include <QRect>

#include "automation/dbustransport.h"
#include "base/log.h"
#include "corvane/engine/appscripts.h"
#include "corvane/engine/automationnames.h"
#include "corvane/engine/commandlist.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/eventhub.h"
#include "corvane/engine/keyinput.h"
#include "corvane/engine/optionobjects.h"
#include "corvane/engine/scriptconsole.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/engine/speechobjects.h"
#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "corvane/engine/states.h"
#include "corvane/engine/statusobjects.h"
#include "corvane/engine/sysobject.h"
#include "corvane/engine/users.h"

namespace corvane {

Root::~Root() = default;

QString applicationName() { return QStringLiteral("Corvane %1.%2").arg(JEX_VERSION_MAJOR).arg(JEX_VERSION_MINOR); }

namespace {
QString describe(const QVariant& v) {
  if (v.canConvert<Obj>() && v.userType() == qMetaTypeId<Obj>()) return QStringLiteral("<object>");
  if (!v.isValid()) return QStringLiteral("<empty>");
  if (v.userType() == QMetaType::QStringList) return v.toStringList().join(u',');
  return v.toString();
}

// The sink and the notifier receivers are JexUI's: over the bus only the process that owns
// JexUI's name may set, change or remove them (in-process callers are the core itself).
void requireJexUi(const char* member) {
  if (jex::automation::dbus::callerOwns(QString::fromLatin1(kJexUiBusName))) return;
  throw jex::Error(jex::err::PermissionDenied, QStringLiteral("Permission denied: %1 is only for %2, not for %3")
                                                   .arg(QString::fromLatin1(member), QString::fromLatin1(kJexUiBusName),
                                                        jex::automation::dbus::currentCaller()));
}

// The Braille side of the application in front: which application it serves and the table
// its text is translated with, as they were when it was asked for.
class BrlAI : public jex::automation::Dispatchable {
 public:
  BrlAI(QString app, QString table)
      : Dispatchable(QStringLiteral("BrlAI")), app_(std::move(app)), table_(std::move(table)) {
    property(
        QStringLiteral("AppName"), [this] { return QVariant(app_); }, {},
        QStringLiteral("task name of the application"));
    property(
        QStringLiteral("Table"), [this] { return QVariant(table_); }, {}, QStringLiteral("Braille translation table"));
    defaultMember(QStringLiteral("AppName"));
  }

 private:
  QString app_;
  QString table_;
};
}  // namespace

namespace {
class SimRect : public jex::automation::Dispatchable {
 public:
  explicit SimRect(const QRect& r) : Dispatchable(QStringLiteral("SimRect")) {
    const bool none = r.isNull() || r.isEmpty();
    const int left = none ? 0 : r.x(), top = none ? 0 : r.y();
    const int right = none ? 0 : r.x() + r.width(), bottom = none ? 0 : r.y() + r.height();
    for (const auto& [name, v] :
         {std::pair{QStringLiteral("Left"), left}, std::pair{QStringLiteral("Top"), top},
          std::pair{QStringLiteral("Right"), right}, std::pair{QStringLiteral("Bottom"), bottom}}) {
      const int value = v;
      property(name, [value] { return QVariant(value); });
    }
  }
};
}  // namespace

Utterance::Utterance(QString text, int source, QString voice)
    : Dispatchable(QStringLiteral("Utterance")), text_(std::move(text)), source_(source), voice_(std::move(voice)) {
  const auto get = [this] { return QVariant(text_); };
  const auto put = [this](const QVariant& v) { text_ = toStr(v); };
  property(QStringLiteral("SPC_Str"), get, put, QStringLiteral("the text to be spoken; may be changed before it is"));
  property(QStringLiteral("Text"), get, put, QStringLiteral("the same as SPC_Str"));
  property(
      QStringLiteral("Voice"), [this] { return QVariant(voice_); },
      [this](const QVariant& v) {
        const QString name = toStr(v).trimmed();
        if (name.isEmpty()) throw jex::Error(jex::err::InvalidCall, QStringLiteral("Voice: empty voice name"));
        voice_ = name;
      },
      QStringLiteral("name of the voice it is spoken with; may be changed before it is"));
  property(
      QStringLiteral("Source"), [this] { return QVariant(source_); }, {},
      QStringLiteral("speech source number 1 to 8"));
  property(
      QStringLiteral("StartMs"), [this] { return QVariant(startMs_); }, {},
      QStringLiteral("monotonic milliseconds when its speech began; 0 before"));
  defaultMember(QStringLiteral("SPC_Str"));
}

ScriptHost::ScriptHost(CoreModel& model) : Dispatchable(QStringLiteral("iScript")), model_(model) {
  method(
      QStringLiteral("ExposeObject"), 2, 2,
      [this](Args& a) {
        const QString name = a.str(0).trimmed();
        if (name.isEmpty()) throw jex::Error(jex::err::InvalidCall, QStringLiteral("ExposeObject: empty name"));
        objects_.insert(name.toLower(), {name, a.obj(1)});
        model_.report(QStringLiteral("EXPOSED: ") + name);
        return QVariant();
      },
      QStringLiteral("keeps an object for the scripts under a name"));
  property(QStringLiteral("ExposedNames"), [this] { return QVariant(names()); });
  method(QStringLiteral("GetObject"), 1, 1, [this](Args& a) {
    const Obj o = exposed(a.str(0));
    if (o.isNothing()) throw jex::Error(jex::err::InvalidCall, QStringLiteral("no object named ") + a.str(0));
    return fromObj(o);
  });
}

Obj ScriptHost::exposed(const QString& name) const { return objects_.value(name.trimmed().toLower()).second; }

QStringList ScriptHost::names() const {
  QStringList n;
  for (const auto& p : objects_) n << p.first;
  n.sort(Qt::CaseInsensitive);
  return n;
}

Proc::Proc(CoreModel& model, std::shared_ptr<BrailleState> braille)
    : Dispatchable(QStringLiteral("proc")),
      model_(model),
      script_(std::make_shared<ScriptHost>(model)),
      braille_(std::move(braille)) {
  SettingsStore& ini = model_.settings();
  property(QStringLiteral("AppPath"), [this] { return QVariant(model_.appPath()); });
  property(
      QStringLiteral("DefaultLng"),
      [&ini] { return QVariant(ini.value(ini::General, ini::DefaultLng, QStringLiteral("1031"))); },
      [this, &ini](const QVariant& v) {
        const QString lng = toStr(v).trimmed();
        bool numeric = false;
        lng.toInt(&numeric);
        if (!numeric) throw jex::Error(jex::err::InvalidCall, QStringLiteral("DefaultLng must be a locale number"));
        ini.setValue(ini::General, ini::DefaultLng, lng);
        model_.setLanguage(lng);
        braille_->refresh();  // contracted Braille follows the language
      });
  method(
      QStringLiteral("ChangeJEXLanguage"), 1, 1,
      [this](Args& a) {
        QVariantList value{a.str(0)};  // stored as DefaultLng in corvane.ini, checked like it
        invoke(QStringLiteral("DefaultLng"), jex::automation::CallKind::Put, value);
        return QVariant();
      },
      QStringLiteral("switches the core to the language with the given identifier"));
  property(QStringLiteral("MeridanLoaded"), [&ini] {
    const QString v = ini.value(ini::General, ini::MeridanLoaded, QStringLiteral("0")).trimmed();
    return QVariant(v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0);
  });
  property(QStringLiteral("APPName"), [] { return QVariant(applicationName()); });
  property(QStringLiteral("ForeGroundApp"), [this] { return QVariant(model_.foregroundApp().toUpper()); });
  property(
      QStringLiteral("CurrentBRLAI"),
      [this] {
        const QString table = QFileInfo(braille_->tablePath()).fileName();
        return fromObj(Obj(std::make_shared<BrlAI>(model_.foregroundApp().toUpper(), table)));
      },
      {}, QStringLiteral("the Braille interface of the foreground application"));
  method(
      QStringLiteral("BrailleOut"), 1, 1,
      [this](Args& a) {
        braille_->show(a.str(0), -1);
        return QVariant();
      },
      QStringLiteral("shows a text on the Braille display"));
  method(
      QStringLiteral("SpeechOut"), 1, 1,
      [this](Args& a) {
        model_.speak(a.str(0), 1);
        return QVariant();
      },
      QStringLiteral("speaks a text"));
  property(QStringLiteral("iScript"), [this] { return fromObj(Obj(script_)); });
  property(
      QStringLiteral("iSys"), [] { return fromObj(makeSysObject()); }, {},
      QStringLiteral("the core's system services"));
  // The monitor window's frame on the screen in pixels (Right and Bottom just outside it, as in a
  // Windows RECT); all four 0 while the monitor window is not shown, so that a window put below
  // it goes to the top of the screen.
  method(
      QStringLiteral("GetSimRect"), 0, 0,
      [this](Args&) {
        const QRect r = model_.monitorRect();
        return fromObj(Obj(std::make_shared<SimRect>(r)));
      },
      QStringLiteral("the monitor window's Left, Top, Right and Bottom"));
  property(
      QStringLiteral("IsMonWinVisible"), [this] { return QVariant(model_.monitorVisible()); },
      [this](const QVariant& v) { model_.setMonitorVisible(toBool(v)); });
  property(
      QStringLiteral("UseSpeech"), [this] { return QVariant(model_.useSpeech() ? 1 : 0); },
      [this](const QVariant& v) { model_.setUseSpeech(toI32(v) != 0); });
  method(
      QStringLiteral("AddToCMDQueue"), 1, 1,
      [this](Args& a) {
        model_.queueCommand(a.str(0));
        return QVariant();
      },
      QStringLiteral("queues a command; it is routed asynchronously"));
  // The last key as JexUI's value text boxes report it ("+Down" after each key release).
  property(
      QStringLiteral("Lst_Key"), [this] { return QVariant(lastKey_); },
      [this](const QVariant& v) { lastKey_ = jex::automation::toStr(v); });
  procedure(QStringLiteral("SpeechStop"), [this] { model_.stopSpeech(); });
  method(
      QStringLiteral("SpeechOutVoice"), 1, 2,
      [this](Args& a) {
        model_.speak(a.str(0), a.has(1) ? a.i32(1) : 1);
        return QVariant();
      },
      QStringLiteral("speaks text with the voice of a speech source"));
  method(
      QStringLiteral("CallBack"), 0, 8, [this](Args& a) { return callBack(a); },
      QStringLiteral("calls a script entry: number, name, value by reference, argument"));
  const AddProperty add = [this](const QString& n, Getter g, Putter p) { property(n, std::move(g), std::move(p)); };
  bindings_ = addUserMembers(add, model_);
  addProcStatusMembers(add, model_);
  addProcStateMembers(add, model_);
  addProcOptionMembers(add, model_);
  // The switches that toggle commands turn, all in one call, as the single members above and
  // BrailleInterface's tell them: "COMMAND=1" when on, "COMMAND=0" when off.
  property(
      QStringLiteral("ToggleStates"),
      [this] {
        const auto own = [this](const char* member) {
          QVariantList none;
          return invoke(QLatin1String(member), jex::automation::CallKind::Get, none);
        };
        const BrailleValues& b = braille_->values();
        const std::pair<const char*, bool> states[] = {
            {"MONWINTOGGLE", model_.monitorVisible()},
            {"SETSPTOGGLE", model_.useSpeech()},
            {"TOOLTIPSTOGGLE", toBool(own("TooltipsStatus"))},
            {"CHGCURBLKTOGGLE", b.curBlink != 0},
            {"CHGBRL68", b.style == 8},
            {"CHGBRLATRBTOGGLE", b.attributeState != 0},
            {"GRADE2TOGGLE", b.grade2Stat == 1},
            {"BRLKEYTOGGLE", toI32(own("BrlKeyStat")) == 1},
        };
        QStringList list;
        for (const auto& [command, on] : states)
          list << QLatin1String(command) + (on ? QStringLiteral("=1") : QStringLiteral("=0"));
        return QVariant(list);
      },
      {}, QStringLiteral("the toggle commands' states, COMMAND=1 or COMMAND=0 each"));
  // What the members take and give, as the core's type library declares them.
  using jex::automation::ParamInfo;
  constexpr int String = 8, Long = 3, Boolean = 11, Object = 9, None = 24;
  const auto in = [](const char* name, int type) { return ParamInfo{QString::fromLatin1(name), type, 0x1}; };
  const auto optional = [](const char* name, int type) { return ParamInfo{QString::fromLatin1(name), type, 0x11}; };
  declare(QStringLiteral("AppPath"), {}, String);
  declare(QStringLiteral("DefaultLng"), {}, String);
  declare(QStringLiteral("ChangeJEXLanguage"), {in("Lcid", String)}, None);
  declare(QStringLiteral("APPName"), {}, String);
  declare(QStringLiteral("ForeGroundApp"), {}, String);
  declare(QStringLiteral("CurrentBRLAI"), {}, Object);
  declare(QStringLiteral("BrailleOut"), {in("Text", String)}, None);
  declare(QStringLiteral("SpeechOut"), {in("Text", String)}, None);
  declare(QStringLiteral("iScript"), {}, Object);
  declare(QStringLiteral("iSys"), {}, Object);
  declare(QStringLiteral("GetSimRect"), {}, Object);
  declare(QStringLiteral("IsMonWinVisible"), {}, Boolean);
  declare(QStringLiteral("UseSpeech"), {}, Long);
  declare(QStringLiteral("AddToCMDQueue"), {in("Command", String)}, None);
  declare(QStringLiteral("SpeechStop"), {}, None);
  declare(QStringLiteral("SpeechOutVoice"), {in("Text", String), optional("Source", 12)}, None);
  declare(QStringLiteral("GlobalSettings"), {}, Object);
  declare(QStringLiteral("Locale"), {}, Object);
  declare(QStringLiteral("ToggleStates"), {}, 12);
}

QVariant Proc::callBack(Args& a) {
  if (const auto box = describeScriptBoxCallBack(a)) {
    model_.report(*box);
    return QVariant();
  }
  QStringList parts;
  for (int i = 0; i < a.size(); ++i) parts << describe(a.at(i));
  model_.report(QStringLiteral("CALLBACK: ") + parts.join(QStringLiteral(", ")));
  return QVariant();
}

Root::Root(CoreModel& model)
    : Dispatchable(QStringLiteral("corvane.application")),
      model_(model),
      brailleState_(std::make_shared<BrailleState>(model)),
      proc_(std::make_shared<Proc>(model, brailleState_)),
      braille_(std::make_shared<BrailleInterface>(model, brailleState_)),
      speech_(std::make_unique<SpeechSettings>(model.appPath(), [&model] {
        return model.settings().value(ini::General, ini::DefaultLng, QStringLiteral("1031"));
      })) {
  EventHub& hub = model_.events();
  property(QStringLiteral("proc"), [this] { return fromObj(Obj(proc_)); });
  property(QStringLiteral("BrailleInterface"), [this] { return fromObj(Obj(braille_)); });
  speech_->setSampler([this](const QString& text, const QString& voice) { model_.speakSample(text, voice); });
  const Obj modes = makeSpeechModes(*speech_), voices = makeSpeechVoices(*speech_);
  const Obj profile = makeActiveSpeechProfile(*speech_), tables = makeSpeechCharTables(*speech_);
  property(
      QStringLiteral("SpeechModes"), [modes] { return fromObj(modes); }, {},
      QStringLiteral("the installed synthesizer modes"));
  property(
      QStringLiteral("SpeechVoices"), [voices] { return fromObj(voices); }, {}, QStringLiteral("the defined voices"));
  property(
      QStringLiteral("SpeechProfile"), [profile] { return fromObj(profile); }, {},
      QStringLiteral("the voice and character table of each speech source"));
  property(
      QStringLiteral("SpeechCharTables"), [tables] { return fromObj(tables); }, {},
      QStringLiteral("the character tables: which characters a source speaks by name"));
  sets_ = std::make_unique<SpeechSets>(model.appPath(), *speech_);
  property(
      QStringLiteral("SpeechProfiles"), [this] { return fromObj(sets_->collection()); }, {},
      QStringLiteral("the nine stored speech sets (Count, ItemByIndex(nr))"));
  // The command list in the core's language, read again when the language changed.
  auto commands = std::make_shared<std::pair<QString, Obj>>();
  property(
      QStringLiteral("AllCommands"),
      [this, commands] {
        const QString lng = model_.settings().value(ini::General, ini::DefaultLng, QStringLiteral("1031"));
        if (commands->second.isNothing() || commands->first != lng)
          *commands = {lng, makeAllCommands(loadCommands(model_.appPath(), lng))};
        return fromObj(commands->second);
      },
      {}, QStringLiteral("the commands the core knows (Group, Name, InternalName, Description; Table)"));
  method(QStringLiteral("Init_JEX_UI_Notification_Sink"), 1, 1, [&hub](Args& a) {
    requireJexUi("Init_JEX_UI_Notification_Sink");
    hub.setSink(a.obj(0));
    return QVariant();
  });
  indexed(
      QStringLiteral("JEX_UI_Notification_Sink_Event_Enable"), 1,
      [&hub](Args& i) { return QVariant(hub.isEnabled(i.str(0))); },
      [&hub](Args& i, const QVariant& v) {
        requireJexUi("JEX_UI_Notification_Sink_Event_Enable");
        hub.enableEvent(i.str(0), toBool(v));
      });
  procedure(QStringLiteral("Clear_JEX_UI_Notification_Sink"), [&hub] {
    requireJexUi("Clear_JEX_UI_Notification_Sink");
    hub.clearSink();
  });
  method(
      QStringLiteral("JexNotifier_Install"), 2, 2,
      [&hub](Args& a) {
        requireJexUi("JexNotifier_Install");
        return QVariant(hub.installNotifier(a.obj(0), a.i32(1)));
      },
      QStringLiteral("receiver gets TaskSwitch, UIGotFocus, UILostFocus, AudioStart, AudioStop, HandleCmd(S)"));
  method(QStringLiteral("JexNotifier_Remove"), 1, 1, [&hub](Args& a) {
    requireJexUi("JexNotifier_Remove");
    return QVariant(hub.removeNotifier(a.i32(0)));
  });
  property(
      QStringLiteral("App_Scripts"), [scripts = makeAppScripts(model)] { return fromObj(scripts); }, {},
      QStringLiteral("the applications' scripts and their functions"));
  keys_ = std::make_unique<KeyInput>(model_, proc_->bindings());
  for (const auto& [kind, handle, last] :
       {std::tuple{BindingKind::Keyboard, QStringLiteral("HandleKeyCode"), QStringLiteral("LastKeyCode")},
        std::tuple{BindingKind::Braille, QStringLiteral("HandleBrlCode"), QStringLiteral("LastBrlCode")}}) {
    const BindingKind k = kind;
    property(
        handle, [this, k] { return QVariant(keys_->handles(k)); },
        [this, k](const QVariant& v) { keys_->setHandles(k, toBool(v)); },
        QStringLiteral("false: the core does not act on these keys and only reports them"));
    property(
        last, [this, k] { return QVariant(keys_->last(k)); },
        [this, k](const QVariant& v) { keys_->setLast(k, toStr(v)); },
        QStringLiteral("the last key reported while not handled; \"\" clears it"));
  }
  const AddProperty add = [this](const QString& n, Getter g, Putter p) { property(n, std::move(g), std::move(p)); };
  addRootStatusMembers(add, model_);
  addMixedSettings(add, std::make_shared<MixedValues>(model_));
}

}  // namespace corvane
