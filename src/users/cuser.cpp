#include "users/cuser.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "base/error.h"
#include "base/log.h"
#include "base/paths.h"
#include "context/appcontext.h"

namespace jex {

namespace {

const QString kUserSet = QStringLiteral("USERSET.INI");
const QString kUserInterface = QStringLiteral("UserInterface");
const QString kVerbosity = QStringLiteral("Verbosity");

// Trimmed, with exactly the platform separator at the end; empty stays empty.
QString withSeparator(QString path) {
  path = path.trimmed();
  return path.isEmpty() ? path : withTrailingSlash(path);
}

// Copies a whole file over another one; the target is replaced atomically.
void copyOver(const QString& from, const QString& to) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly)) throw Error(err::FileNotFound, QStringLiteral("File not found: ") + from);
  const QByteArray data = in.readAll();
  QSaveFile out(to);
  if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
    throw Error(err::FileError, QStringLiteral("Path/File access error: ") + to);
}

}  // namespace

cUser::cUser() = default;
cUser::~cUser() = default;

void cUser::InitCurrUser() {
  trap("cUser.InitCurrUser", [this] {
    path_ = withSeparator(appContext().core().str(QStringLiteral("proc.User.Path")));
    settings_ = std::make_unique<cIniFil>();
    settings_->Init(path_ + kUserSet, false);
    WriteLog(QStringLiteral("UserUi.INI=") + settings_->FileName(), kDetail);
    name_ = appContext().core().str(QStringLiteral("proc.GetUsers.CurrUser.Name"));
    useSounds_ = qint16(settings_->GetLong(kUserInterface, QStringLiteral("UseSounds"), 1));
    autoRead_ = qint16(settings_->GetLong(kUserInterface, QStringLiteral("AutoRead"), 1));
    ask2Save_ = qint16(settings_->GetLong(kUserInterface, QStringLiteral("Ask2Save"), 1));
    speakTips_ = qint16(settings_->GetLong(kUserInterface, QStringLiteral("SpeakTips"), 1));
    verbosityBraille_ = qint16(settings_->GetLong(kVerbosity, QStringLiteral("Braille"), 1));
    verbositySpeech_ = qint16(settings_->GetLong(kVerbosity, QStringLiteral("Speech"), 1));
    activeSpeechSet_ = QString::number(settings_->GetLong(QStringLiteral("SpeechSet"), QStringLiteral("Active"), 1));
  });
}

QString cUser::BaseDir() const {
  if (path_.isEmpty()) return {};
  QString p = path_;
  p.chop(1);  // the trailing separator
  const qsizetype cut = p.lastIndexOf(u'/');
  return cut < 0 ? QString() : p.left(cut + 1);
}

void cUser::ReloadCoreUser() {
  trap("cUser.ReloadCoreUser", [this] {
    appContext().core().obj(QStringLiteral("proc.User")).call(QStringLiteral("Init"), {name_, BaseDir()});
  });
}

void cUser::saveSwitch(qint16& field, const char* key, qint16 value, const char* location) {
  trap(location, [&] {
    field = value;
    if (!settings_ || path_.isEmpty()) throw Error(err::FileError, QStringLiteral("no user directory"));
    if (!settings_->SettingSave(kUserInterface, QString::fromLatin1(key), QString::number(value)))
      throw Error(err::FileError, QStringLiteral("cannot write ") + settings_->FileName());
  });
}

void cUser::setUseSounds(qint16 v) { saveSwitch(useSounds_, "UseSounds", v, "cUser.UseSounds"); }
void cUser::setAutoRead(qint16 v) { saveSwitch(autoRead_, "AutoRead", v, "cUser.AutoRead"); }
void cUser::setAsk2Save(qint16 v) { saveSwitch(ask2Save_, "Ask2Save", v, "cUser.Ask2Save"); }
void cUser::setSpeakTips(qint16 v) { saveSwitch(speakTips_, "SpeakTips", v, "cUser.SpeakTips"); }

void cUser::changeVerbosity(qint16& field, const QString& stem, const QString& key, qint16 level,
                            const char* location) {
  trap(location, [&] {
    if (path_.isEmpty()) throw Error(err::FileError, QStringLiteral("no user directory"));
    const QString active = path_ + stem + u'I';
    // The active definition is kept under the level being left ...
    copyOver(active, path_ + stem + QString::number(field));
    field = level;
    if (!settings_ || !settings_->SettingSave(kVerbosity, key, QString::number(level)))
      throw Error(err::FileError, QStringLiteral("cannot write ") + path_ + kUserSet);
    // ... and the stored definition of the new level becomes active.
    copyOver(path_ + stem + QString::number(level), active);
  });
}

void cUser::setVerbositySpeech(qint16 level) {
  changeVerbosity(verbositySpeech_, QStringLiteral("OUTDEF.SP"), QStringLiteral("Speech"), level,
                  "cUser.VerbositySpeech");
}

void cUser::setVerbosityBraille(qint16 level) {
  changeVerbosity(verbosityBraille_, QStringLiteral("OUTDEF.BR"), QStringLiteral("Braille"), level,
                  "cUser.VerbosityBraille");
}

std::shared_ptr<cUser> CreateCurrUser() {
  auto user = std::make_shared<cUser>();
  user->InitCurrUser();
  user->ReloadCoreUser();
  appContext().setCurrentUser(user);
  return user;
}

}  // namespace jex
