// Feeds whole D-Bus messages, as a peer puts them on the wire, to the decoding of incoming calls
// and of replies. libdbus checks each message as the bus daemon would; a valid method call goes
// over a private peer connection into this process, where Qt D-Bus reads it exactly as it reads
// any peer's message, and its body is decoded as the arguments of Invoke, as the reply to Invoke,
// as the reply to Describe and as a reference count. Nothing may crash or hang: whatever is not
// what an endpoint sends must end as jex::Error.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServer>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

#include <cstdint>
#include <cstdlib>

#include "automation/dbuswire.h"

// The few libdbus functions needed to put raw messages on a connection (Qt D-Bus has no
// public way to read a message from bytes). The library is the one Qt D-Bus itself uses.
extern "C" {
struct DBusConnection;
struct DBusMessage;
struct DBusError {
  const char* name;
  const char* message;
  unsigned int dummy;
  void* padding;
};
void dbus_error_init(DBusError* error);
void dbus_error_free(DBusError* error);
DBusMessage* dbus_message_demarshal(const char* str, int len, DBusError* error);
DBusMessage* dbus_message_new_method_call(const char* destination, const char* path, const char* iface,
                                          const char* method);
int dbus_message_get_type(DBusMessage* message);
void dbus_message_unref(DBusMessage* message);
DBusConnection* dbus_connection_open_private(const char* address, DBusError* error);
unsigned int dbus_connection_send(DBusConnection* connection, DBusMessage* message, unsigned int* serial);
void dbus_connection_flush(DBusConnection* connection);
DBusMessage* dbus_connection_pop_message(DBusConnection* connection);
unsigned int dbus_connection_get_is_connected(DBusConnection* connection);
void dbus_connection_close(DBusConnection* connection);
void dbus_connection_unref(DBusConnection* connection);
}

namespace {

namespace wire = jex::automation::dbus::wire;
constexpr int kMethodCall = 1;
const QString kDone = QStringLiteral("/fuzz/done");

// Decodes every message it is given in every way a message from a peer is decoded.
class Receiver : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& msg, const QDBusConnection&) override {
    if (msg.path() == kDone) {
      done = true;
      return true;
    }
    const wire::Decoder decoder([](const wire::ObjRef&) { return jex::automation::Obj(); });
    try {
      wire::decodeCall(msg, decoder);
    } catch (const jex::Error&) {
    }
    try {
      wire::decodeReply(msg, decoder, true);
    } catch (const jex::Error&) {
    }
    try {
      wire::decodeDescription(msg);
    } catch (const jex::Error&) {
    }
    wire::decodeCount(msg);
    return true;  // no reply: the sending side never reads one
  }
  QString introspect(const QString&) const override { return {}; }
  bool done = false;
};

QDBusServer* g_server = nullptr;
Receiver* g_receiver = nullptr;
DBusConnection* g_client = nullptr;
QDBusConnection* g_served = nullptr;

bool waitUntil(const bool& flag, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!flag && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return flag;
}

// Sends the marker call and waits for it: every message sent before it has been handled.
bool roundTrip(int ms) {
  g_receiver->done = false;
  DBusMessage* m = dbus_message_new_method_call(nullptr, "/fuzz/done", "org.jexui.Fuzz", "Done");
  dbus_connection_send(g_client, m, nullptr);
  dbus_message_unref(m);
  dbus_connection_flush(g_client);
  const bool ok = waitUntil(g_receiver->done, ms);
  // Replies Qt D-Bus sends on its own (introspection, unknown interfaces) are never read.
  while (DBusMessage* r = dbus_connection_pop_message(g_client)) dbus_message_unref(r);
  return ok;
}

void connectClient() {
  if (g_client) {
    dbus_connection_close(g_client);
    dbus_connection_unref(g_client);
  }
  bool accepted = false;
  QObject::connect(
      g_server, &QDBusServer::newConnection, g_server,
      [&accepted](const QDBusConnection& conn) {
        delete g_served;
        g_served = new QDBusConnection(conn);
        g_served->registerVirtualObject(QStringLiteral("/"), g_receiver, QDBusConnection::SubPath);
        accepted = true;
      },
      Qt::SingleShotConnection);
  DBusError error;
  dbus_error_init(&error);
  g_client = dbus_connection_open_private(g_server->address().toUtf8().constData(), &error);
  if (!g_client) {
    std::fprintf(stderr, "fuzz_automation: cannot connect to the peer server: %s\n", error.message);
    std::abort();
  }
  // The marker may come before the receiver is registered: ask again until it arrives.
  for (int i = 0; i < 50 && !(waitUntil(accepted, 100) && roundTrip(100)); ++i) {
  }
  if (!g_receiver->done) {
    std::fprintf(stderr, "fuzz_automation: the peer connection does not answer\n");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  wire::registerTypes();
  g_server = new QDBusServer(QStringLiteral("unix:tmpdir=/tmp"));
  if (!g_server->isConnected()) {
    std::fprintf(stderr, "fuzz_automation: no peer server: %s\n", qPrintable(g_server->lastError().message()));
    std::abort();
  }
  g_server->setAnonymousAuthenticationAllowed(true);
  g_receiver = new Receiver;
  connectClient();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  DBusError error;
  dbus_error_init(&error);
  DBusMessage* m = dbus_message_demarshal(reinterpret_cast<const char*>(data), int(size), &error);
  if (!m) {
    dbus_error_free(&error);
    return 0;
  }
  if (dbus_message_get_type(m) == kMethodCall) dbus_connection_send(g_client, m, nullptr);
  dbus_message_unref(m);
  // A message Qt D-Bus refuses may end the connection; then the next run starts a new one.
  if (!dbus_connection_get_is_connected(g_client) || !roundTrip(10000)) connectClient();
  return 0;
}
