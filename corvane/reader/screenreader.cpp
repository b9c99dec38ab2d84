#include "corvane/reader/screenreader.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <utility>

#include "base/error.h"
#include "base/log.h"
#include "corvane/engine/coremodel.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/keyecho.h"
#include "corvane/engine/settingsstore.h"
#include "corvane/reader/atspilistener.h"

namespace corvane::reader {

namespace {
const QString kA11yService = QStringLiteral("org.a11y.Bus");
const QString kA11yPath = QStringLiteral("/org/a11y/bus");
// How long the accessibility bus may take to answer (starting it included).
constexpr int kA11yBusTimeoutMs = 5000;

bool isTextKind(Kind k) { return k == Kind::Edit || k == Kind::PasswordEdit || k == Kind::Document; }
}  // namespace

QString Speaking::textFor(const ReaderEvent& e, const ReaderSettings& s, QString& lastValue, bool* unnamed,
                          QString* logged) {
  if (unnamed) *unnamed = false;
  if (logged) logged->clear();
  // A window is announced by its title and, for a box, its text; its focus follows. With
  // READState 0 only the focus is heard.
  QString title = s.readState == 0 ? QString() : e.windowTitle.simplified().left(kMaxPart);
  const QString boxText = s.readState != 0 ? e.windowText.simplified().left(4 * kMaxPart) : QString();
  if (!title.isEmpty() && !boxText.isEmpty()) title += QStringLiteral(", ") + boxText;
  switch (e.type) {
    case ReaderEvent::Window:
      return title;
    case ReaderEvent::Focus: {
      const Composed c = compose(e.info, s.german, s.tooltips);
      if (unnamed) *unnamed = c.unnamed;
      lastValue = value(e.info, s.german);
      if (logged && c.logged != c.text) *logged = title.isEmpty() ? c.logged : title + QStringLiteral(", ") + c.logged;
      return title.isEmpty() ? c.text : title + QStringLiteral(", ") + c.text;
    }
    case ReaderEvent::Changed: {
      // A text field's changes are heard by the key echo and the caret, not as a new value.
      if (isTextKind(e.info.kind)) return {};
      QString v = value(e.info, s.german);
      if (v.isEmpty()) v = label(e.info);
      if (v == lastValue) return {};
      lastValue = v;
      return v;
    }
    case ReaderEvent::Caret:
      return caretText(e.caret, s.charEcho, s.german);
    case ReaderEvent::Edited:
      return {};  // the key echo's
  }
  return {};
}

bool Speaking::isTyped(const ReaderEvent& e) {
  switch (e.type) {
    case ReaderEvent::Caret:
      return e.info.editable || e.info.kind == Kind::PasswordEdit;
    case ReaderEvent::Changed:
      return e.info.editable && (e.info.kind == Kind::ComboBox || isTextKind(e.info.kind));
    default:
      return false;
  }
}

ScreenReader::ScreenReader(CoreModel& model, QObject* parent) : QObject(parent), model_(model) {}

ScreenReader::~ScreenReader() { stop(); }

void ScreenReader::start() {
  jex::trap("ScreenReader.start", [&] {
    if (listening_ || starting_) return;
    starting_ = true;
    QDBusConnection session = QDBusConnection::sessionBus();
    QDBusMessage call =
        QDBusMessage::createMethodCall(kA11yService, kA11yPath, kA11yService, QStringLiteral("GetAddress"));
    auto* watcher = new QDBusPendingCallWatcher(session.asyncCall(call, kA11yBusTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
      w->deleteLater();
      const QDBusMessage reply = w->reply();
      const QString address =
          reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString() : QString();
      listen(address, reply.errorMessage());
    });
  });
}

void ScreenReader::listen(const QString& address, const QString& error) {
  jex::trap("ScreenReader.listen", [&] {
    starting_ = false;
    if (address.isEmpty()) {
      const QString why = error.isEmpty() ? QStringLiteral("no address") : error;
      jex::WriteErrorLog(QStringLiteral("reader: no accessibility bus (") + why + u')');
      model_.report(QStringLiteral("READER: off, no accessibility bus"));
      return;
    }
    // libatspi takes the bus from here before it asks the session bus.
    qputenv("AT_SPI_BUS_ADDRESS", address.toUtf8());
    listener_ = std::make_unique<AtspiListener>([this](ReaderEvent e) {
      if (mailbox_.put(std::move(e))) QMetaObject::invokeMethod(this, &ScreenReader::drain, Qt::QueuedConnection);
    });
    // The registration with the accessibility registry may take seconds while the registry
    // starts; the core goes on meanwhile and is told on its own thread.
    starting_ = true;
    listener_->start([this](const QString& failure) {
      QMetaObject::invokeMethod(
          this, [this, failure] { started(failure); }, Qt::QueuedConnection);
    });
  });
}

void ScreenReader::started(const QString& failure) {
  jex::trap("ScreenReader.started", [&] {
    starting_ = false;
    if (!failure.isEmpty()) {
      listener_.reset();
      jex::WriteErrorLog(QStringLiteral("reader: cannot listen: ") + failure);
      model_.report(QStringLiteral("READER: off, ") + failure);
      return;
    }
    listening_ = true;
    model_.setFocusedTextReader([this] { return readEditCur(); });
    followJexUi();
    enableScreenReader();
    model_.report(QStringLiteral("READER: listening"));
  });
}

void ScreenReader::stop() {
  jex::trap("ScreenReader.stop", [&] {
    if (!listening_) return;
    listening_ = false;
    model_.setFocusedTextReader({});
    // What was there before the reader began: a screen reader of the desktop that was already
    // on stays on.
    if (std::exchange(enabledByUs_, false)) setScreenReaderEnabled(false);
    listener_.reset();
  });
}

void ScreenReader::followJexUi() {
  const QString name = QString::fromLatin1(kJexUiBusName);
  QDBusConnection session = QDBusConnection::sessionBus();
  auto update = [this, name] {
    jex::trap("ScreenReader.followJexUi", [&] {
      QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
      const QDBusReply<uint> pid = bus ? bus->servicePid(name) : QDBusReply<uint>();
      pid_ = pid.isValid() ? qint64(pid.value()) : 0;
      if (listener_) listener_->follow(pid_);
      jex::WriteLog(QStringLiteral("reader: following JexUI pid %1").arg(pid_), jex::kTraffic);
    });
  };
  auto* watcher = new QDBusServiceWatcher(name, session, QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, update);
  update();
}

void ScreenReader::enableScreenReader() {
  QDBusMessage get = QDBusMessage::createMethodCall(
      kA11yService, kA11yPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, kA11yBusTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    jex::trap("ScreenReader.enableScreenReader", [&] {
      w->deleteLater();
      const QDBusMessage reply = w->reply();
      bool before = false;
      if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        before = reply.arguments().first().value<QDBusVariant>().variant().toBool();
      jex::WriteLog(QStringLiteral("reader: ScreenReaderEnabled was %1").arg(before), jex::kDetail);
      if (!listening_ || before) return;
      enabledByUs_ = true;
      setScreenReaderEnabled(true);
    });
  });
}

void ScreenReader::setScreenReaderEnabled(bool on) {
  QDBusMessage set = QDBusMessage::createMethodCall(
      kA11yService, kA11yPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
  set << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled")
      << QVariant::fromValue(QDBusVariant(on));
  // Not waited for: the answer only tells whether it took.
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(set, kA11yBusTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    if (w->isError())
      jex::WriteErrorLog(QStringLiteral("reader: ScreenReaderEnabled not set: ") + w->error().message());
  });
}

ReaderSettings ScreenReader::settings() const {
  ReaderSettings s;
  SettingsStore& ini = model_.settings();
  s.german = isGermanLocale(ini.value(ini::General, ini::DefaultLng, QStringLiteral("1031")));
  const QString tips = ini.value(ini::General, QStringLiteral("TooltipsStatus")).trimmed();
  s.tooltips = tips.isEmpty() || tips == u"1" || tips == u"-1" || tips.compare(u"true", Qt::CaseInsensitive) == 0;
  // The live key echo, stored or not: a caret moved by one says its character only while the
  // echo speaks characters (not with words only).
  const KeyEcho& echo = model_.keyEcho();
  const int chars = echo.value(KeyEcho::CharEcho);
  s.charEcho = echo.value(KeyEcho::KeyEchoOn) && (chars == 1 || chars == 3) ? chars : 0;
  bool ok = false;
  const int read = ini.value(QStringLiteral("MIXED"), QStringLiteral("READState")).trimmed().toInt(&ok);
  if (ok && (read == 0 || read == 1 || read == 2 || read == 4)) s.readState = read;
  s.navBeep = ini.value(QStringLiteral("MIXED"), QStringLiteral("NavBeep")).trimmed() == u"1";
  return s;
}

void ScreenReader::drain() {
  jex::trap("ScreenReader.drain", [&] {
    while (const std::optional<ReaderEvent> e = mailbox_.take()) hear(*e);
  });
}

void ScreenReader::hear(const ReaderEvent& e) {
  jex::trap("ScreenReader.hear", [&] {
    if (e.type == ReaderEvent::Edited) {
      model_.keyEcho().edited(e.edit);
      return;
    }
    bool unnamed = false;
    QString logged;
    const ReaderSettings s = settings();
    const QString text = Speaking::textFor(e, s, lastValue_, &unnamed, &logged);
    if (e.type == ReaderEvent::Focus && s.navBeep) model_.navigationTone();
    if (unnamed) {
      // What a field holds may be what the user typed: the log gets its length only.
      const bool typed =
          e.info.kind == Kind::Edit || e.info.kind == Kind::PasswordEdit || e.info.kind == Kind::Document;
      const QString said = typed ? QStringLiteral("[%1 characters]").arg(text.size()) : text;
      jex::WriteLog(
          QStringLiteral("reader: unnamed %1 in JexUI (no label): %2").arg(roleWord(e.info.kind, false), said),
          jex::kFirstRun);
    }
    if (text.isEmpty()) return;
    if (Speaking::isTyped(e)) model_.speakTyped(text, 1, false);
    else if (!logged.isEmpty()) model_.speakLogged(text, logged, 1);
    else model_.speak(text, 1);
  });
}

bool ScreenReader::readEditCur() {
  return jex::trapped("ScreenReader.readEditCur", false, [&] {
    if (!listening_ || !listener_) return false;
    // The listener's thread is ended (joined) before this object goes, so the answer finds it.
    listener_->readFocusedText([this](FocusedText t) {
      QMetaObject::invokeMethod(
          this, [this, t = std::move(t)] { sayFocusedText(t); }, Qt::QueuedConnection);
    });
    return true;
  });
}

void ScreenReader::sayFocusedText(const FocusedText& t) {
  jex::trap("ScreenReader.sayFocusedText", [&] {
    // Without a text in focus: JexUI's focus is heard as it moves; another program's field is
    // named as before the reader listened.
    if (!t.found && model_.foregroundApp().compare(QLatin1String("JEXUI"), Qt::CaseInsensitive) == 0) {
      model_.report(QStringLiteral("READEDITCUR: JexUI in front, its focus is read by the screen reader"));
      return;
    }
    if (!t.found) {
      model_.report(QStringLiteral("READEDITCUR: no focused text in front, the field is only named"));
      model_.speak(fieldWords(model_.foregroundApp()), 1);
      return;
    }
    model_.report(QStringLiteral("READEDITCUR: %1 characters from the caret at %2 of %3")
                      .arg(t.text.size())
                      .arg(t.caret)
                      .arg(t.length));
    if (!t.text.trimmed().isEmpty()) {
      // Whatever a field holds may have been typed: said as it is, logged by its length.
      model_.speakTyped(t.text, 1, false);
      return;
    }
    const bool german = settings().german;
    QString said = t.name.simplified();
    const QString role = roleWord(t.kind, german);
    if (!role.isEmpty()) said += (said.isEmpty() ? QString() : QStringLiteral(" ")) + role;
    // A password is told by its length only.
    QString where = german ? QStringLiteral("Textende") : QStringLiteral("end of text");
    if (t.length == 0) where = german ? QStringLiteral("leer") : QStringLiteral("blank");
    else if (t.kind == Kind::PasswordEdit)
      where = german ? QStringLiteral("%1 Zeichen").arg(t.length) : QStringLiteral("%1 characters").arg(t.length);
    model_.speak(said.isEmpty() ? where : said + QStringLiteral(", ") + where, 1);
  });
}

}  // namespace corvane::reader
