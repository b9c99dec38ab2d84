// Small served objects that stand for the core's member tree in the tests of this area.
#pragma once

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include "automation/dispatchable.h"

namespace jex::testing {

using namespace jex::automation;

class TestDevice : public Dispatchable {
 public:
  explicit TestDevice(QString name) : Dispatchable("Device"), name_(std::move(name)) {
    property("DeviceName", [this] { return QVariant(name_); });
    property("Cells", [] { return QVariant(40); });
    defaultMember("DeviceName");
  }

 private:
  QString name_;
};

// An object whose default member gives the object itself.
class Mirror : public Dispatchable {
 public:
  Mirror() : Dispatchable("Mirror") {
    property("Self", [this] { return fromObj(Obj(shared_from_this())); });
    defaultMember("Self");
  }
};

class TestProc : public Dispatchable {
 public:
  TestProc() : Dispatchable("Proc") {
    property(
        "AppPath", [] { return QVariant("C:\\Corvane\\"); }, {}, "The core's directory.");
    property(
        "UseSpeech", [this] { return QVariant(useSpeech_); }, [this](const QVariant& v) { useSpeech_ = toI32(v); });
    method("PitchRanges", 2, 2, [](Args& a) {
      a.set(0, 10);
      a.set(1, 90);
      return QVariant();
    });
    // CallBack(0, "OnInitAppSettings", result byref, task)
    method("CallBack", 4, 4, [](Args& a) {
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
  TestCore() : Dispatchable("Application") {
    auto proc = std::make_shared<TestProc>();
    proc_ = proc;
    property(
        "proc", [proc] { return fromObj(Obj(proc)); }, {}, "Process object.");
    auto devices = std::make_shared<Collection>();
    devices->add(fromObj(Obj(std::make_shared<TestDevice>("Alva"))), "ALVA");
    devices->add(fromObj(Obj(std::make_shared<TestDevice>("Papenmeier"))), "PM");
    property("Devices", [devices] { return fromObj(Obj(devices)); });
    property("Mirror", [] { return fromObj(Obj(std::make_shared<Mirror>())); });
    names_ = std::make_shared<Collection>();
    property("Names", [this] { return fromObj(Obj(names_)); });
    indexed(
        "Event_Enable", 1, [this](Args& i) { return QVariant(events_.value(i.str(0).toLower())); },
        [this](Args& i, const QVariant& v) { events_[i.str(0).toLower()] = toBool(v); });
    // GetValue(name, value byref, [user])
    method("GetValue", 2, 3, [](Args& a) {
      a.set(1, a.str(0) + QLatin1Char('=') + a.str(2, "default"));
      return QVariant(true);
    });
    // Tells which arguments were passed: "1-3" for (1, Missing, 3).
    method("Which", 0, -1, [](Args& a) {
      QString s;
      for (int i = 0; i < a.size(); ++i) s += a.has(i) ? a.str(i) : "-";
      return QVariant(s);
    });
    method("Echo", 1, 1, [](Args& a) { return a.at(0); });
    method("Twice", 1, 1, [](Args& a) { return QVariant(a.i32(0) * 2); });
    method("Fail", 0, 0, [](Args&) -> QVariant { throw Error(err::FileError, "disk gone"); });
    method("Init_Sink", 1, 1, [this](Args& a) {
      sink_ = a.obj(0);
      return QVariant();
    });
    method("Clear_Sink", 0, 0, [this](Args&) {
      sink_ = Obj();
      return QVariant();
    });
    // Raises HandleCmd(cmd byref) on the sink and returns what the sink made of cmd.
    method("Fire", 1, 1, [this](Args& a) {
      QVariantList args{a.str(0)};
      sink_.call("HandleCmd", args);
      return args.value(0);
    });
    method("Slow", 1, 1, [](Args& a) {
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
  TestSink() : Dispatchable("cNotifySink") {
    method("HandleCmd", 1, 1, [this](Args& a) {
      received.append(a.str(0));
      a.set(0, "handled:" + a.str(0) + (core ? ":" + core.str("proc.AppPath") : QString()));
      return QVariant();
    });
  }
  QStringList received;
  Obj core;  // set to call the core back from inside HandleCmd
};

}  // namespace jex::testing
