#include "corvane/engine/callers.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QRegularExpression>

#include "automation/dbustransport.h"
#include "base/error.h"
#include "corvane/engine/corvaneapp.h"
#include "corvane/engine/hostplatform.h"

namespace corvane {

CallerPolicy::CallerPolicy(QDBusConnection conn, QString jexUiProgram, bool trustAll, QStringList trustedNames)
    : conn_(std::move(conn)), program_(std::move(jexUiProgram)), trustAll_(trustAll), names_(std::move(trustedNames)) {}

QStringList CallerPolicy::parseNames(const QString& text) {
  return text.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
}

void CallerPolicy::install() {
  jex::automation::dbus::setCallerGate([this](const QString& peer) { return allows(peer); }, conn_);
}

bool CallerPolicy::allows(const QString& peer) {
  return jex::trapped("CallerPolicy.allows", false, [&] {
    if (trustAll_ || peer == jexUi_ || trusted_.contains(peer)) return true;
    if (!conn_.isConnected() || !conn_.interface()) return false;
    if (isJexUi(peer)) {
      jexUi_ = peer;
      return true;
    }
    if (!jex::automation::dbus::ownsOneOf(conn_, peer, names_)) return false;
    trusted_.insert(peer);
    return true;
  });
}

bool CallerPolicy::isJexUi(const QString& peer) {
  if (!jex::automation::dbus::ownsOneOf(conn_, peer, {QString::fromLatin1(kJexUiBusName)})) return false;
  const QDBusReply<uint> pid = conn_.interface()->servicePid(peer);
  if (!pid.isValid() || pid.value() == 0) return false;
  if (startedPid_ > 0 && qint64(pid.value()) == startedPid_) return true;
  const QString exe = executableOfPid(qint64(pid.value()));
  return !exe.isEmpty() && exe == canonicalProgram(program_);
}

}  // namespace corvane
