#include "base/error.h"

#include "base/log.h"

namespace jex {

void logCurrentException(const char* location) noexcept {
  try {
    try {
      throw;
    } catch (const Error& e) {
      WriteErrorLog(QString::fromUtf8(location) + QStringLiteral(": ") + QString::number(e.number()) +
                    QLatin1Char(' ') + e.description());
    } catch (const std::exception& e) {
      WriteErrorLog(QString::fromUtf8(location) + QStringLiteral(": ") + QString::number(err::InvalidCall) +
                    QLatin1Char(' ') + QString::fromUtf8(e.what()));
    } catch (...) {
      WriteErrorLog(QString::fromUtf8(location) + QStringLiteral(": ") + QString::number(err::InvalidCall) +
                    QStringLiteral(" unknown error"));
    }
  } catch (...) {
    // Logging itself failed (out of memory, disk full): nothing more can be done.
  }
}

}  // namespace jex
