// The system-parameters call (Windows' SystemParametersInfo) behind an interface.
//
// Linux has no single equivalent: desktop settings live in each desktop's own store. JexUI's
// first-run and every-start settings name their actions by Windows' numbers, so this layer
// records each call (action, uiParam, pvParam or its text, flags) in a list that the program
// logs and tests read, and reports success. Callers see only this interface.
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace jex::platform {

struct SysParamCall {
  quint32 action = 0;
  quint32 uiParam = 0;
  std::optional<qint64> pvParam;  // empty when the caller passed an empty string ("S_NULL")
  quint32 flags = 0;
};

class SysParams {
 public:
  // Makes the call; returns true when it was accepted.
  bool call(const SysParamCall& c);
  const QList<SysParamCall>& recorded() const { return calls_; }
  void clear() { calls_.clear(); }
  static SysParams& instance();

 private:
  QList<SysParamCall> calls_;
};

}  // namespace jex::platform
