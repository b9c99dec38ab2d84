// Small served objects that stand for the core's member tree in the tests of this area.
#pragma once

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include "core/automation/dispatchable.h"

namespace jex::testing {

using namespace jex::automation;

class TestDevice : public Dispatchable {
 public:
  explicit TestDevice(QString name) : Dispatchable(QStringLiteral("Device")), name_(std::move(name)) {
    property(QStringLiteral("DeviceName"), [this] { return QVariant(name_); });
    property(QStringLiteral("Cells"), [] { return QVariant(40); });
    defaultMember(QStringLiteral("DeviceName"));
  }

 private:
  QString name_;
};

// An object whose default member gives the object itself.
class Mirror : public Dispatchable {
 public:
  Mirror() : Dispatchable(QStringLiteral("Mirror")) {
    property(QStringLiteral("Self"), [this] { return fromObj(Obj(shared_from_this())); });
    defaultMember(QStringLiteral("Self"));
  }
};

class TestProc : public Dispatchable {
 public:
  TestProc() : Dispatchable(QStringLiteral("Proc")) {
    property(QStringLiteral("AppPath"), [] { return QVariant(QStringLiteral("C:\\Corvane\\")); }, {},
             QStringLiteral("The core's directory."));
    property(QStringLiteral("UseSpeech"), [this] { return QVariant(useSpeech_); },
             [this](const QVariant& v) { useSpeech_ = toI32(v); });
    method(QStringLiteral("PitchRanges"), 2, 2, [](Args& a) {
      a.set(0, 10);
      a.set(1, 90);
      return QVariant();
    });
    // CallBack(0, "OnInitAppSettings", result byref, task)
    method(QStringLiteral("CallBack"), 4, 4, [](Args& a) {
      a.set(2, a.str(1) + QLatin1Char(':') + a.str(3));
      return QVariant(true);
    });
  }
  int useSpeech_ = 1;
};

// The root object: properties, by-reference methods, an indexed property, collections, a
// sink registration and methods that fail on purpose.
class TestCore : public Dispatchable {
 public:
  TestCore() : Dispatchable(QStringLiteral("Application")) {
    auto proc = std::make_shared<TestProc>();
    proc_ = proc;
    property(QStringLiteral("proc"), [proc] { return fromObj(Obj(proc)); }, {}, QStringLiteral("Process object."));
    auto devices = std::make_shared<Collection>();
    devices->add(fromObj(Obj(std::make_shared<TestDevice>(QStringLiteral("Alva")))), QStringLiteral("ALVA"));
    devices->add(fromObj(Obj(std::make_shared<TestDevice>(QStringLiteral("Papenmeier")))), QStringLiteral("PM"));
    property(QStringLiteral("Devices"), [devices] { return fromObj(Obj(devices)); });
    property(QStringLiteral("Mirror"), [] { return fromObj(Obj(std::make_shared<Mirror>())); });
    names_ = std::make_shared<Collection>();
    property(QStringLiteral("Names"), [this] { return fromObj(Obj(names_)); });
    indexed(QStringLiteral("Event_Enable"), 1,
            [this](Args& i) { return QVariant(events_.value(i.str(0).toLower())); },
            [this](Args& i, const QVariant& v) { events_[i.str(0).toLower()] = toBool(v); });
    // GetValue(name, value byref, [user])
    method(QStringLiteral("GetValue"), 2, 3, [](Args& a) {
      a.set(1, a.str(0) + QLatin1Char('=') + a.str(2, QStringLiteral("default")));
      return QVariant(true);
    });
    // Tells which arguments were passed: "1-3" for (1, Missing, 3).
    method(QStringLiteral("Which"), 0, -1, [](Args& a) {
      QString s;
      for (int i = 0; i < a.size(); ++i) s += a.has(i) ? a.str(i) : QStringLiteral("-");
      return QVariant(s);
    });
    method(QStringLiteral("Echo"), 1, 1, [](Args& a) { return a.at(0); });
    method(QStringLiteral("Twice"), 1, 1, [](Args& a) { return QVariant(a.i32(0) * 2); });
    method(QStringLiteral("Fail"), 0, 0, [](Args&) -> QVariant { throw Error(err::FileError, QStringLiteral("disk gone")); });
    method(QStringLiteral("Init_Sink"), 1, 1, [this](Args& a) {
      sink_ = a.obj(0);
      return QVariant();
    });
    method(QStringLiteral("Clear_Sink"), 0, 0, [this](Args&) {
      sink_ = Obj();
      return QVariant();
    });
    // Raises HandleCmd(cmd byref) on the sink and returns what the sink made of cmd.
    method(QStringLiteral("Fire"), 1, 1, [this](Args& a) {
      QVariantList args{a.str(0)};
      sink_.call(QStringLiteral("HandleCmd"), args);
      return args.value(0);
    });
    method(QStringLiteral("Slow"), 1, 1, [](Args& a) {
      QEventLoop loop;
      QTimer::singleShot(a.i32(0), &loop, &QEventLoop::quit);
      loop.exec();
      return QVariant(true);
    });
  }

  std::weak_ptr<TestProc> proc_;
  std::shared_ptr<Collection> names_;
  QHash<QString, bool> events_;
  Obj sink_;
};

// A sink served by the client: HandleCmd changes its by-reference command and may call the
// core back while it runs.
class TestSink : public Dispatchable {
 public:
  TestSink() : Dispatchable(QStringLiteral("cNotifySink")) {
    method(QStringLiteral("HandleCmd"), 1, 1, [this](Args& a) {
      received.append(a.str(0));
      if (core) a.set(0, QStringLiteral("handled:") + a.str(0) + QLatin1Char(':') + core.str(QStringLiteral("proc.AppPath")));
      else a.set(0, QStringLiteral("handled:") + a.str(0));
      return QVariant();
    });
  }
  QStringList received;
  Obj core;  // set to call the core back from inside HandleCmd
};

}  // namespace jex::testing
