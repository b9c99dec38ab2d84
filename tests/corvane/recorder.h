// A sink or notifier receiver as JexUI registers one with the core. It writes every call it hears
// as "tag.Member(arguments)" into its own list, or into a journal shared with other receivers to
// see their order. HandleCmd rewrites the command by a table: an empty text consumes it, a
// command not in the table is left alone.
#pragma once

#include <QHash>
#include <functional>

#include "automation/dispatchable.h"

namespace corvane::testing {

class Recorder : public jex::automation::Dispatchable {
 public:
  explicit Recorder(QString tag, QHash<QString, QString> rewrite = {}, QStringList* journal = nullptr)
      : Dispatchable(QStringLiteral("cNotifySink")),
        journal_(journal ? journal : &heard),
        tag_(std::move(tag)),
        rewrite_(std::move(rewrite)) {
    using jex::automation::Args;
    for (const char* m : {"AudioStart", "AudioStop", "ProcessSwitch", "VoiceSelect", "AboutToSpeak", "TaskSwitch",
                          "UIGotFocus", "UILostFocus"}) {
      const QString name = QString::fromLatin1(m);
      method(name, 0, 2, [this, name](Args& a) {
        QStringList parts;
        for (int i = 0; i < a.size(); ++i)
          parts << (a.at(i).userType() == qMetaTypeId<jex::automation::Obj>()
                        ? jex::automation::toObj(a.at(i)).toString()
                        : a.at(i).toString());
        journal_->append(tag_ + u'.' + name + (parts.isEmpty() ? QString() : u'(' + parts.join(u',') + u')'));
        if (onCall) onCall(name);
        return QVariant();
      });
    }
    method(QStringLiteral("HandleCmd"), 1, 1, [this](Args& a) {
      journal_->append(tag_ + QStringLiteral(".HandleCmd(") + a.str(0) + u')');
      if (rewrite_.contains(a.str(0))) a.set(0, rewrite_.value(a.str(0)));
      return QVariant();
    });
  }
  QStringList heard;
  std::function<void(const QString&)> onCall;

 private:
  QStringList* journal_;
  QString tag_;
  QHash<QString, QString> rewrite_;
};

}  // namespace corvane::testing
