#include "corvane/engine/corvaneapp.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "automation/dbustransport.h"
#include "automation/idlwriter.h"
#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/appdir.h"
#include "corvane/engine/appscripts.h"
#include "corvane/engine/braillepane.h"
#include "corvane/engine/brailletables.h"
#include "corvane/engine/callers.h"
#include "corvane/engine/commandlist.h"
#include "corvane/engine/commandrouter.h"
#include "corvane/engine/console.h"
#include "corvane/engine/eventhub.h"
#include "corvane/engine/hostplatform.h"
#include "corvane/engine/keyecho.h"
#include "corvane/engine/monitorwindow.h"
#include "corvane/engine/objects.h"
#include "corvane/engine/optionobjects.h"
#include "corvane/engine/scriptconsole.h"
#include "corvane/engine/scriptrun.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/engine/speechengine.h"
#include "corvane/engine/speechlog.h"
#include "corvane/engine/speechsets.h"
#include "corvane/engine/speechsettings.h"
#include "corvane/engine/tone.h"
#include "platform/registry.h"

namespace corvane {

// How long the core waits, after QUIT, for JexUI to leave the bus before it ends anyway.
constexpr int kExitWaitMs = 3000;
// How long UI_RELOAD waits for JexUI to leave the bus before it starts JexUI again.
constexpr int kReloadWaitMs = 5000;

namespace bus = jex::automation::dbus;
using jex::automation::fromObj;
using jex::automation::Obj;

void printLine(const QString& line) {
  const QByteArray b = line.toUtf8();
  std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

namespace {
bool displayPresent() {
  const QString p = QGuiApplication::platformName();
  return p != u"offscreen" && p != u"minimal";
}
}  // namespace

CorvaneApp::CorvaneApp(Options options, QString shippedDataDir, QObject* parent)
    : QObject(parent), options_(std::move(options)), dataDir_(std::move(shippedDataDir)) {
  if (!options_.dataDir.isEmpty()) dataDir_ = options_.dataDir;
}

CorvaneApp::~CorvaneApp() = default;

QString CorvaneApp::typeLibraryFile() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/corvane.tlb");
}

int CorvaneApp::writeIdl(const QString& file) {
  return jex::trapped("CorvaneApp.writeIdl", 1, [&]() -> int {
    // The objects are made as the running core makes them, over a directory of their own.
    QTemporaryDir dir;
    const AppDirResult prepared = prepareAppDir(dir.path() + u'/', dataDir_);
    if (!prepared.ok) {
      std::fprintf(stderr, "corvane: %s\n", qPrintable(prepared.error));
      return 1;
    }
    appPath_ = prepared.appPath;
    settings_ = openSettings(appPath_ + QStringLiteral("corvane.ini"));
    hub_ = new EventHub(this);
    router_ = new CommandRouter(*hub_, this);
    const auto root = std::make_shared<Root>(*this);
    const QList<jex::automation::IdlClass> classes{
        {QStringLiteral("application"), QStringLiteral("The screen-reader core"), root->members()},
        {QStringLiteral("proc"), QStringLiteral("The core's processes and settings"), root->proc().members()}};
    QString problem;
    if (!jex::automation::writeIdlFile(file, QStringLiteral("corvane"),
                                       QStringLiteral("The stand-in screen-reader core"), classes, problem)) {
      std::fprintf(stderr, "corvane: %s: %s\n", qPrintable(file), qPrintable(problem));
      return 1;
    }
    return 0;
  });
}

int CorvaneApp::start() {
  return jex::trapped("CorvaneApp.start", 1, [&]() -> int {
    const QDBusConnection conn = QDBusConnection::sessionBus();
    if (!conn.isConnected()) {
      std::fprintf(stderr, "corvane: no session bus: %s\n", qPrintable(conn.lastError().message()));
      return 1;
    }
    if (bus::isNameOwned(QString::fromLatin1(kBusName), conn)) {
      std::fprintf(stderr, "corvane: another core already owns %s\n", kBusName);
      return 1;
    }
    const AppDirResult dir = prepareAppDir(options_.appDir.isEmpty() ? defaultAppPath() : options_.appDir, dataDir_);
    if (!dir.ok) {
      std::fprintf(stderr, "corvane: %s\n", qPrintable(dir.error));
      return 1;
    }
    appPath_ = dir.appPath;
    jex::logfile::setPath(appPath_ + QStringLiteral("corvane.log"));
    jex::logfile::remove();
    speechLog_ = std::make_unique<SpeechLog>(appPath_ + QStringLiteral("speech.log"));
    settings_ = openSettings(appPath_ + QStringLiteral("corvane.ini"));
    jex::logfile::setThreshold(
        settings_->value(QStringLiteral("SERVICE"), QStringLiteral("WriteLogFile"), QStringLiteral("3")).toInt());

    BrailleTables::startIndexing();  // liblouis reads its tables meanwhile, on a thread of its own
    SpeechSettings::listModes();     // espeak's voice list, before the engine's thread uses espeak
    hub_ = new EventHub(this);
    router_ = new CommandRouter(*hub_, this);
    speech_ = new SpeechEngine(!options_.noAudio, this, options_.paced);
    setLanguage(settings_->value(ini::General, ini::DefaultLng, QStringLiteral("1031")));
    monitor_ = std::make_unique<MonitorWindow>();
    registerOwnCommands();

    connect(hub_, &EventHub::raised, this, [this](const QString& l) { monitor_->appendLine(l); });
    connect(router_, &CommandRouter::routed, this, &CorvaneApp::report);
    connect(monitor_.get(), &MonitorWindow::commandEntered, this, &CorvaneApp::handleConsoleLine);
    connect(monitor_.get(), &MonitorWindow::commandKey, this,
            [this](const TypedKey& k, const QString& before, int caret) { keyEcho().echo(k, before, caret); });
    connect(monitor_.get(), &MonitorWindow::screenReaderKey, this, &CorvaneApp::keyboardCode);
    connect(speech_, &SpeechEngine::started, this, [this](const Spoken& s) {
      const auto o = live_.value(s.id);
      if (o) o->setStartMs(s.startMs);
      if (options_.reportBegun) report(QStringLiteral("BEGUN: ") + loggedAs_.value(s.id, s.text));
      hub_->audioStart(o ? fromObj(Obj(o)) : QVariant(s.text));
    });
    connect(speech_, &SpeechEngine::finished, this, &CorvaneApp::spoken);

    // Only JexUI, and the tools the core is told to trust, call its objects.
    callers_ = std::make_unique<CallerPolicy>(
        conn, QCoreApplication::applicationDirPath() + QStringLiteral("/jexui"), options_.trustBus,
        CallerPolicy::parseNames(settings_->value(QStringLiteral("Security"), QStringLiteral("TrustedCallers"))));
    callers_->install();
    if (options_.trustBus) jex::WriteLog(QStringLiteral("every program on the bus may call the core"), jex::kTraffic);
    connect(hub_, &EventHub::sinkChanged, this, [this](bool registered) { jexUiAttached_ = registered; });
    root_ = std::make_shared<Root>(*this);
    // JexUI gone while it captured keys: the keys act again.
    auto* jexUiWatch = new QDBusServiceWatcher(QString::fromLatin1(kJexUiBusName), conn,
                                               QDBusServiceWatcher::WatchForUnregistration, this);
    connect(jexUiWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
      if (root_->keys().restore()) report(QStringLiteral("KEYS: JexUI has left, keys handled again"));
      if (!options_.noJexUi) jexUiGone();
    });
    // The Braille display shows the monitor's command line with its caret, or a :brl text.
    monitor_->braillePane()->attach(&root_->braille());
    monitor_->braillePane()->follow(monitor_->commandLine());
    if (!bus::publish(QString::fromLatin1(kBusName), root_, conn)) {
      std::fprintf(stderr, "corvane: the name %s is taken; another core runs\n", kBusName);
      return 1;
    }
    // The core's type library, registered as Windows registers libraries, for the object wizard.
    if (QFileInfo(typeLibraryFile()).isFile() &&
        !jex::platform::typelibs::registerLibrary(jex::platform::Registry::machinePath(),
                                                  jex::automation::libraryGuid(QStringLiteral("corvane")), 1, 0,
                                                  typeLibraryFile()))
      jex::WriteErrorLog(QStringLiteral("the type library could not be registered: ") + typeLibraryFile());

    stdin_ = new StdinReader(this);
    connect(stdin_, &StdinReader::lineRead, this, &CorvaneApp::handleConsoleLine);
    if (!options_.noForeground) {
      watcher_ = new ForegroundWatcher(this);
      connect(watcher_, &ForegroundWatcher::foregroundChanged, this,
              [this](const QString& task) { switchTask(foreground_, task); });
      connect(watcher_, &ForegroundWatcher::foregroundWindowChanged, this, &CorvaneApp::windowInFront);
      if (watcher_->start()) foreground_ = watcher_->query();
    }
    // While keys are captured the display's keyboard is heard, whichever window has the focus.
    keyboard_ = new KeyboardListener(this);
    if (keyboard_->start()) {
      connect(keyboard_, &KeyboardListener::keyEvent, this, &CorvaneApp::keyboardKey);
      root_->keys().onKeyboardCapture([this](bool on) {
        chords_.reset();
        keyboard_->setListening(on);
      });
    }
    if (!options_.noMonitor && displayPresent()) monitor_->show();

    jex::WriteLog(QStringLiteral("corvane ready, AppPath ") + appPath_, jex::kTraffic);
    report(QStringLiteral("READY: ") + applicationName() + QStringLiteral(" AppPath=") + appPath_ +
           QStringLiteral(" copied=%1 audio=%2").arg(dir.copiedFiles).arg(speech_->playsAudio() ? 1 : 0));
    // [MIXED] chkSayWelcome: the language's welcome message greets the user whom the core brings
    // the user interface up for (a core started without JexUI, for a test or a tool, keeps quiet).
    if (!options_.noJexUi)
      if (const QString welcome =
              welcomeText(*this, settings_->value(ini::General, ini::DefaultLng, QStringLiteral("1031")));
          !welcome.isEmpty())
        speak(welcome, 1);
    if (!options_.noJexUi) startJexUi();
    return -1;
  });
}

void CorvaneApp::registerOwnCommands() {
  router_->addCommand(QStringLiteral("EXITHALDANOW"), [this] {
    beginExit();
    return QStringLiteral("exiting");
  });
  router_->addCommand(QStringLiteral("SPEECHSTOP"), [this] {
    stopSpeech();
    return QString();
  });
  router_->addCommand(QStringLiteral("SETSPON"), [this] {
    setUseSpeech(true);
    return QStringLiteral("UseSpeech=1");
  });
  router_->addCommand(QStringLiteral("SETSPOFF"), [this] {
    setUseSpeech(false);
    return QStringLiteral("UseSpeech=0");
  });
  router_->addCommand(QStringLiteral("SETSPTOGGLE"), [this] {
    setUseSpeech(!useSpeech());
    return QStringLiteral("UseSpeech=%1").arg(useSpeech() ? 1 : 0);
  });
  router_->addCommand(QStringLiteral("READEDITCUR"), [this] {
    // The focused field from its caret, through the screen reader's accessibility listener:
    // another program's field, or the text of JexUI's help and text windows.
    if (readFocusedText()) return QStringLiteral("read from the caret");
    // JexUI's own windows are read by the screen reader, which follows their focus.
    if (foreground_.compare(QLatin1String("JEXUI"), Qt::CaseInsensitive) == 0) {
      report(QStringLiteral("READEDITCUR: JexUI in front, its focus is read by the screen reader"));
      return QString();
    }
    jex::WriteLog(QStringLiteral("READEDITCUR: no accessibility bus, the field is only named"), jex::kTraffic);
    speak(fieldWords(foreground_), 1);
    return QString();
  });
  // The core's own help for the key pressed in the foreground application.
  router_->addCommand(QStringLiteral("HELP"), [this] {
    speak(QStringLiteral("Hilfe für ") + (foreground_.isEmpty() ? applicationName() : foreground_), 1);
    return QString();
  });
  // Holds back the next processing step; this core has no step in progress, so it only
  // acknowledges the command.
  router_->addCommand(QStringLiteral("DELAYPROCESSING"), [] { return QString(); });
  // JexUI has changed the navigation voice's speed itself (SPEEDUPNOW, SPEEDDNNOW): the new
  // value is already in the voice.
  router_->addCommand(QStringLiteral("SPEEDSETDONE"), [this] {
    const VoiceData* v = root_ ? root_->speech().voice(root_->speech().profile().sources[1].voice) : nullptr;
    return v ? QStringLiteral("navigation speed %1").arg(v->speed) : QStringLiteral("navigation has no voice");
  });
  // A stored speech set made the active profile; its name is said.
  for (int nr = 1; nr <= kSpeechSetCount; ++nr)
    router_->addCommand(QStringLiteral("USESPSET%1").arg(nr), [this, nr] {
      if (!root_->speechSets().activate(nr)) return QStringLiteral("speech set %1 not activated").arg(nr);
      speak(root_->speechSets().name(nr), 1);
      return QStringLiteral("speech set %1 active").arg(nr);
    });
  // The Braille display scrolls by one display within the line it shows.
  for (const auto& [name, step] : {std::pair{QStringLiteral("BRLSCRE"), 1}, std::pair{QStringLiteral("BRLSCLE"), -1}}) {
    const int by = step;
    router_->addCommand(name, [this, by] {
      return root_->braille().scroll(by) ? QStringLiteral("Braille scrolled %1").arg(by > 0 ? u"right" : u"left")
                                         : QStringLiteral("Braille at the %1 end").arg(by > 0 ? u"right" : u"left");
    });
  }
  // Whether the reader speaks a control's description after it (proc.TooltipsStatus).
  router_->addCommand(QStringLiteral("TOOLTIPSTOGGLE"), [this] {
    const QString v = settings_->value(ini::General, QStringLiteral("TooltipsStatus")).trimmed();
    const bool on = v.isEmpty() || v == u"1" || v == u"-1" || v.compare(u"true", Qt::CaseInsensitive) == 0;
    if (!settings_->setValue(ini::General, QStringLiteral("TooltipsStatus"),
                             on ? QStringLiteral("0") : QStringLiteral("1")))
      return QStringLiteral("TooltipsStatus not stored");
    return QStringLiteral("TooltipsStatus=%1").arg(on ? 0 : 1);
  });
  // JexUI quits to come back in another writing direction: it is started again once it has
  // left the bus.
  router_->addCommand(QStringLiteral("UI_RELOAD"), [this] {
    reloadJexUi();
    return QStringLiteral("JexUI started again once it has left");
  });
  router_->addCommand(QStringLiteral("MONWINTOGGLE"), [this] {
    setMonitorVisible(!monitorVisible());
    return QStringLiteral("monitor %1").arg(monitorVisible() ? QStringLiteral("shown") : QStringLiteral("hidden"));
  });
  router_->setFallback({[](const QString& c) { return parseFunctionCall(c).has_value(); },
                        [this](const QString& c) { return runScriptCommand(c); }});
  // The rest of the listed commands are acknowledged by their name.
  addAcknowledged(*router_,
                  loadCommands(appPath_, settings_->value(ini::General, ini::DefaultLng, QStringLiteral("1031"))),
                  [this](const QString& name) { speak(name, 1); });
}

void CorvaneApp::queueCommand(const QString& command) {
  if (exiting_) return;
  router_->queue(command);
}

void CorvaneApp::speak(const QString& text, int source) { say(text, source, false); }

void CorvaneApp::speakAppended(const QString& text, int source) { say(text, source, true); }

void CorvaneApp::speakTyped(const QString& text, int source, bool append) {
  say(text, source, append, typedNote(text));
}

void CorvaneApp::speakLogged(const QString& text, const QString& logged, int source) {
  say(text, source, false, logged);
}

void CorvaneApp::say(const QString& text, int source, bool append, const std::optional<QString>& loggedText) {
  jex::trap("CorvaneApp.speak", [&] {
    const bool typed = loggedText.has_value();
    const QString logged = loggedText.value_or(text);
    // What the logs give of the text as JexUI leaves it: as given while unchanged, else (typed)
    // its length.
    const auto shown = [&](const QString& now) { return !typed ? now : now == text ? logged : typedNote(now); };
    lastSource_ = source;
    // O: JexUI may pick the voice (VoiceSelect) and change the text (AboutToSpeak); what they
    // leave in it is what is spoken.
    SpeechSettings& voices = root_->speech();
    const auto o = std::make_shared<Utterance>(text, source, voices.choiceFor(source).name);
    if (!useSpeech()) {
      Spoken muted;
      muted.text = logged;
      muted.source = source;
      muted.voice = o->voice();
      muted.startMs = muted.endMs = monotonicMs();
      speechLog_->write(muted, QStringLiteral("muted"));
      monitor_->appendUtterance(QStringLiteral("(muted) ") + logged);
      report(QStringLiteral("MUTED: ") + logged);
      return;
    }
    const QVariant ov = fromObj(Obj(o));
    hub_->voiceSelect(ov);
    if (!hub_->aboutToSpeak(ov))
      report(QStringLiteral("EVENT: AboutToSpeak not delivered at once, spoken unchanged: ") + logged);
    if (o->text().isEmpty()) return;
    const VoiceChoice voice = voices.choiceFor(source, o->voice());
    if (voice.espeakVoice.isEmpty()) {
      // A source without a voice ("--") is silent; the log tells what it did not say.
      Spoken silent;
      silent.text = shown(o->text());
      silent.source = source;
      silent.voice = voice.name;
      silent.startMs = silent.endMs = monotonicMs();
      speechLog_->write(silent, QStringLiteral("silent"));
      jex::WriteLog(QStringLiteral("speak: source %1 has no voice (%2): ").arg(source).arg(voice.name) + silent.text,
                    jex::kTraffic);
      report(QStringLiteral("SILENT: ") + silent.text);
      return;
    }
    // The voice is in the speech log and the monitor's list of utterances.
    report(QStringLiteral("SPEAK: ") + shown(o->text()));
    const int id = speech_->speak(o->text(), source, voice, append);
    live_.insert(id, o);
    if (typed) loggedAs_.insert(id, shown(o->text()));
  });
}

void CorvaneApp::speakSample(const QString& text, const QString& voiceName) {
  jex::trap("CorvaneApp.speakSample", [&] {
    // JexUI sets a value for each voice of the sources in one go, call after call: the sample
    // waits for the calls of that one change to end.
    constexpr int kSampleWaitMs = 60;
    sampleText_ = text;
    sampleVoice_ = voiceName;
    if (!sampleTimer_) {
      sampleTimer_ = new QTimer(this);
      sampleTimer_->setSingleShot(true);
      sampleTimer_->setInterval(kSampleWaitMs);
      connect(sampleTimer_, &QTimer::timeout, this, [this] {
        jex::trap("CorvaneApp.sample", [&] {
          const VoiceChoice voice = root_->speech().choiceFor(lastSource_, sampleVoice_);
          if (voice.espeakVoice.isEmpty() || !useSpeech()) return;
          report(QStringLiteral("SAMPLE: ") + sampleText_ + QStringLiteral("  [") + voice.label() + u']');
          speech_->speak(sampleText_, lastSource_, voice);  // cuts off what is being said, the last sample too
        });
      });
    }
    sampleTimer_->start();
  });
}

void CorvaneApp::spoken(const Spoken& s) {
  jex::trap("CorvaneApp.spoken", [&] {
    const std::shared_ptr<Utterance> o = live_.take(s.id);
    // Utterances replaced before they began are gone without a sound.
    for (auto it = live_.begin(); it != live_.end();) it = it.key() < s.id ? live_.erase(it) : std::next(it);
    Spoken logged = s;
    if (const auto it = loggedAs_.constFind(s.id); it != loggedAs_.cend()) logged.text = *it;
    loggedAs_.remove(s.id);
    loggedAs_.removeIf([&](auto it) { return it.key() < s.id; });
    speechLog_->write(logged, s.cut ? QStringLiteral("cut") : QStringLiteral("done"));
    monitor_->appendUtterance(logged.voice + QStringLiteral(": ") + logged.text);
    hub_->audioStop(o ? fromObj(Obj(o)) : QVariant(s.text));
  });
}

void CorvaneApp::navigationTone() {
  jex::trap("CorvaneApp.navigationTone", [&] {
    report(QStringLiteral("TONE: navigation"));
    if (!options_.noAudio) playNavigationTone();
  });
}

void CorvaneApp::stopSpeech() { speech_->stop(); }

QRect CorvaneApp::monitorRect() const { return monitorVisible() ? monitor_->frameGeometry() : QRect(); }

void CorvaneApp::windowInFront(quint32 window, const QString& task) {
  jex::trap("CorvaneApp.windowInFront", [&] {
    newWindow_ = window;
    if (window == 0) return;
    // Any new top-level window, JexUI's too, is read once it has stayed in front a while.
    if (!readTimer_) {
      readTimer_ = new QTimer(this);
      readTimer_->setSingleShot(true);
      readTimer_->setInterval(kNewWindowReadMs);
      connect(readTimer_, &QTimer::timeout, this, &CorvaneApp::readNewWindow);
    }
    readTimer_->start();
    if (task.toUpper() == u"JEXUI") return;
    queueCommand(QStringLiteral("NEWFGWIN!"));
  });
}

// The window in front for kNewWindowReadMs: JexUI is told first ("NEWFGWINREAD"); what it gives
// back in its place is run (its own reading, "READEDITCUR"). Left as it was, the window is read
// in the usual way: the screen reader says its title as it came to the front (and so would
// once more here).
void CorvaneApp::readNewWindow() {
  jex::trap("CorvaneApp.readNewWindow", [&] {
    if (newWindow_ == 0) return;
    const QString back = hub_ ? hub_->offerCommand(QStringLiteral("NEWFGWINREAD")) : QStringLiteral("NEWFGWINREAD");
    if (back.isEmpty()) {
      report(QStringLiteral("NEWFGWINREAD: read by JexUI"));
    } else if (back != u"NEWFGWINREAD") {
      report(QStringLiteral("NEWFGWINREAD: JexUI reads with ") + back);
      queueCommand(back);
    } else {
      report(QStringLiteral("NEWFGWINREAD: the window is read as usual"));
    }
  });
}

std::optional<QString> CorvaneApp::runScriptCommand(const QString& command) {
  return jex::trapped("CorvaneApp.runScriptCommand", std::optional<QString>(), [&]() -> std::optional<QString> {
    const std::optional<FunctionCall> call = parseFunctionCall(command);
    if (!call) return std::nullopt;
    // The scripts to look in, in order; "" is the default script.
    QList<QString> apps;
    if (call->app.isEmpty() || call->app == u"DEFAULT") {
      if (!foreground_.isEmpty()) apps << foreground_;
      if (call->app == u"DEFAULT") apps << QString();
    } else {
      apps << call->app;
    }
    for (const QString& app : apps) {
      const QString text =
          jex::trapped("CorvaneApp.scriptText", QString(), [&] { return appScriptText(appPath_, app); });
      const std::optional<ScriptFunctionBody> body = scriptBody(text, call->function);
      if (!body) continue;
      const QString where = (app.isEmpty() ? QStringLiteral("DEFAULT") : app) + u'.' + body->name;
      int run = 0, notRun = 0;
      for (const ScriptStep& step : body->steps) {
        switch (step.kind) {
          case ScriptStep::Speak:
            speak(step.text, step.source);
            ++run;
            break;
          case ScriptStep::Queue:
            queueCommand(step.text);
            ++run;
            break;
          case ScriptStep::NotRun:
            report(QStringLiteral("SCRIPT: not run: %1 line %2: %3").arg(where).arg(step.line).arg(step.text));
            ++notRun;
            break;
        }
      }
      jex::WriteLog(QStringLiteral("script %1 run: %2 lines, %3 not run").arg(where).arg(run).arg(notRun),
                    jex::kTraffic);
      return QStringLiteral("%1: %2 run, %3 not run").arg(where).arg(run).arg(notRun);
    }
    QStringList searched;
    for (const QString& app : apps) searched << (app.isEmpty() ? QStringLiteral("DEFAULT") : app);
    report(searched.isEmpty()
               ? QStringLiteral("SCRIPT: no foreground application for the function %1").arg(call->function)
               : QStringLiteral("SCRIPT: no function %1 in the script of %2")
                     .arg(call->function, searched.join(QStringLiteral(", "))));
    return std::nullopt;
  });
}

bool CorvaneApp::monitorVisible() const { return monitor_ && monitor_->isVisible(); }

void CorvaneApp::setMonitorVisible(bool visible) {
  if (monitor_) monitor_->setVisible(visible);
}

bool CorvaneApp::useSpeech() const {
  return settings_->value(ini::General, ini::UseSpeech, QStringLiteral("1")) != u"0";
}

void CorvaneApp::setUseSpeech(bool on) {
  if (!on) stopSpeech();
  settings_->setValue(ini::General, ini::UseSpeech, on ? QStringLiteral("1") : QStringLiteral("0"));
}

void CorvaneApp::setLanguage(const QString& lcid) { speech_->setLanguage(lcid); }

void CorvaneApp::report(const QString& line) {
  if (monitor_) monitor_->appendLine(line);
  printLine(line);
}

qint64 CorvaneApp::foregroundWindow() const {
  return jex::trapped("CorvaneApp.foregroundWindow", qint64(0),
                      [&] { return watcher_ ? qint64(watcher_->activeWindow()) : qint64(0); });
}

void CorvaneApp::switchTask(const QString& oldTask, const QString& newTask) {
  jex::trap("CorvaneApp.switchTask", [&] {
    const QString old = oldTask;  // may be foreground_ itself (the window system's switches)
    foreground_ = newTask.toUpper();
    hub_->processSwitch(old, newTask);
    report(QStringLiteral("SWITCH: ") + old.toUpper() + u'/' + foreground_);
  });
}

void CorvaneApp::handleConsoleLine(const QString& text) {
  jex::trap("CorvaneApp.handleConsoleLine", [&] {
    const ConsoleLine line = parseConsoleLine(text);
    switch (line.kind) {
      case ConsoleLine::Empty:
        break;
      case ConsoleLine::Key:
        queueCommand(line.args[0]);
        break;
      case ConsoleLine::Switch:
        switchTask(line.args[0], line.args[1]);
        break;
      case ConsoleLine::Say:
        speak(line.args[0], 1);
        break;
      case ConsoleLine::Braille:
        root_->braille().show(QString(line.args[0]).replace(QStringLiteral("\\n"), QStringLiteral("\n")), -1);
        break;
      case ConsoleLine::Type:
        keyEcho().type(line.args[0]);
        break;
      case ConsoleLine::Quit:
        finishExit();
        break;
      case ConsoleLine::Help:
        report(consoleHelp());
        break;
      case ConsoleLine::Funcs:
        report(runScriptCall(root_->proc().scriptHost(), line.args[0], QStringLiteral("Funcs"), Obj(root_)));
        break;
      case ConsoleLine::Memory:
        report(QStringLiteral("MEMORY: %1 kB resident, %2 objects on the bus")
                   .arg(trimmedResidentKb())
                   .arg(jex::automation::dbus::Bridge::instance().exportedCount(QDBusConnection::sessionBus())));
        break;
      case ConsoleLine::Objects:
        report(QStringLiteral("OBJECTS: ") + root_->proc().scriptHost().names().join(u' '));
        break;
      case ConsoleLine::KeyCode:
        root_->keys().pressed(line.args[0], BindingKind::Keyboard);
        break;
      case ConsoleLine::BrlCode:
        root_->keys().pressed(line.args[0], BindingKind::Braille);
        break;
      case ConsoleLine::Invalid:
        report(line.args.value(0));
        break;
    }
  });
}

void CorvaneApp::startJexUi() {
  jex::trap("CorvaneApp.startJexUi", [&] {
    if (bus::isNameOwned(QString::fromLatin1(kJexUiBusName), QDBusConnection::sessionBus())) {
      jex::WriteLog(QStringLiteral("JexUI runs already"), jex::kTraffic);
      return;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    const QString exe = dir + QStringLiteral("/jexui");
    if (!QFileInfo(exe).isExecutable()) {
      jex::WriteErrorLog(QStringLiteral("startJexUi: no program ") + exe);
      report(QStringLiteral("JEXUI: not found at ") + exe);
      return;
    }
    // JexUI's windows are heard over the accessibility bus, whatever the desktop's setting.
    QProcess jexui;
    jexui.setProgram(exe);
    jexui.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    jexui.setProcessEnvironment(env);
    qint64 pid = 0;
    const bool ok = jexui.startDetached(&pid);
    if (ok && callers_) callers_->startedJexUi(pid);
    report(QStringLiteral("JEXUI: started ") + (ok ? QStringLiteral("ok") : QStringLiteral("failed")));
  });
}

void CorvaneApp::reloadJexUi() {
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto* poll = new QTimer(this);
  poll->setInterval(50);
  connect(poll, &QTimer::timeout, this, [this, clock, poll] {
    const bool runs = jex::trapped("CorvaneApp.reloadWait", false, [] {
      return bus::isNameOwned(QString::fromLatin1(kJexUiBusName), QDBusConnection::sessionBus());
    });
    if (runs && clock->elapsed() < kReloadWaitMs) return;
    poll->stop();
    poll->deleteLater();
    if (exiting_) return;
    if (runs) jex::WriteErrorLog(QStringLiteral("UI_RELOAD: JexUI still on the bus after 5 s"));
    report(QStringLiteral("JEXUI: reloading"));
    startJexUi();
  });
  poll->start();
}

void CorvaneApp::jexUiGone() {
  jex::trap("CorvaneApp.jexUiGone", [&] {
    if (exiting_ || !jexUiAttached_) return;  // told to quit, or ended in order (sink cleared)
    jexUiAttached_ = false;
    const qint64 now = monotonicMs();
    jexUiRestarts_.removeIf([now](qint64 t) { return now - t >= 60000; });
    if (jexUiRestarts_.size() >= kJexUiRestartsPerMinute) {
      jex::WriteErrorLog(QStringLiteral("JexUI ended without QUIT; not started again, %1 restarts within a minute")
                             .arg(jexUiRestarts_.size()));
      report(QStringLiteral("JEXUI: ended without QUIT, not started again"));
      speak(QStringLiteral("JexUI beendet"), 1);
      return;
    }
    jexUiRestarts_.append(now);
    jex::WriteErrorLog(QStringLiteral("JexUI ended without QUIT; started again"));
    report(QStringLiteral("JEXUI: ended without QUIT, starting it again"));
    speak(QStringLiteral("JexUI wird neu gestartet"), 1);
    startJexUi();
  });
}

void CorvaneApp::keyboardKey(const QString& key, bool pressed) {
  jex::trap("CorvaneApp.keyboardKey", [&] {
    for (const QString& code : pressed ? chords_.press(key) : chords_.release(key))
      root_->keys().pressed(code, BindingKind::Keyboard);
  });
}

void CorvaneApp::keyboardCode(const QString& code) {
  jex::trap("CorvaneApp.keyboardCode", [&] {
    // While the display's keyboard is heard, the monitor's keys arrive from there already.
    if (keyboard_ && keyboard_->listening()) return;
    root_->keys().pressed(code, BindingKind::Keyboard);
  });
}

void CorvaneApp::beginExit() {
  if (exiting_) return;
  exiting_ = true;
  stopSpeech();
  const QString answer = hub_->offerCommand(QStringLiteral("QUIT"));
  report(QStringLiteral("EXIT: QUIT offered to JexUI -> ") + (answer.isEmpty() ? QStringLiteral("consumed") : answer));
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto* poll = new QTimer(this);
  poll->setInterval(100);
  auto check = [this, clock, poll] {
    if (!poll->isActive()) return;
    const bool jexUiRuns = jex::trapped("CorvaneApp.exitWait", false, [] {
      return bus::isNameOwned(QString::fromLatin1(kJexUiBusName), QDBusConnection::sessionBus());
    });
    if (jexUiRuns && clock->elapsed() < kExitWaitMs) return;
    poll->stop();
    finishExit();
  };
  connect(poll, &QTimer::timeout, this, check);
  poll->start();
}

void CorvaneApp::finishExit() {
  report(QStringLiteral("EXIT"));
  speech_->stop();
  // Replies to calls just answered are still on their way out to the bus.
  QTimer::singleShot(100, qApp, [] { QCoreApplication::exit(0); });
}

}  // namespace corvane
