#include "platform/udisks_linux.h"

#include <dbus/dbus.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

const char k_service[] = "org.freedesktop.UDisks2";
const char k_system_bus[] = "unix:path=/var/run/dbus/system_bus_socket";
const char k_block_prefix[] = "/org/freedesktop/UDisks2/block_devices/";
// An unmount waits until the filesystem is released; a drive may take a while to open.
const int k_call_timeout_ms = 60000;

bool contains(const char* text, const char* part) { return text && std::string(text).find(part) != std::string::npos; }

// One service error as an errno value.
int errno_for(const DBusError& error) {
  if (contains(error.name, "NotAuthorized") || contains(error.name, "AccessDenied") ||
      contains(error.name, "AuthFailed"))
    return EACCES;
  if (contains(error.name, "Busy")) return EBUSY;
  if (dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN) ||
      dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER) ||
      dbus_error_has_name(&error, DBUS_ERROR_DISCONNECTED) || dbus_error_has_name(&error, DBUS_ERROR_NO_SERVER))
    return ECONNREFUSED;
  return EIO;
}

// A private connection to the system bus, closed when it goes; the program must not end
// when the bus goes away.
class SystemBus {
 public:
  SystemBus() {
    dbus_error_init(&error_);
    // The address is read each time: the library would keep the first one it saw.
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    connection_ = dbus_connection_open_private(address && *address ? address : k_system_bus, &error_);
    if (!connection_) return;
    dbus_connection_set_exit_on_disconnect(connection_, FALSE);
    if (!dbus_bus_register(connection_, &error_)) {
      dbus_connection_close(connection_);
      dbus_connection_unref(connection_);
      connection_ = nullptr;
    }
  }
  ~SystemBus() {
    if (connection_) {
      dbus_connection_close(connection_);
      dbus_connection_unref(connection_);
    }
    dbus_error_free(&error_);
  }
  SystemBus(const SystemBus&) = delete;
  SystemBus& operator=(const SystemBus&) = delete;

  bool connected() const { return connection_ != nullptr; }
  // Sends the call (which it takes) and waits for the answer: null when it failed.
  DBusMessage* call(DBusMessage* message) {
    if (!message) return nullptr;
    dbus_error_free(&error_);
    DBusMessage* reply =
        dbus_connection_send_with_reply_and_block(connection_, message, k_call_timeout_ms, &error_);
    dbus_message_unref(message);
    return reply;
  }
  // Why the last step failed (EIO when the bus gave no reason).
  int failure(std::string* detail) const {
    if (!dbus_error_is_set(&error_)) return EIO;
    if (detail) *detail = error_.message ? error_.message : error_.name;
    return connection_ ? errno_for(error_) : ECONNREFUSED;
  }

 private:
  DBusConnection* connection_ = nullptr;
  DBusError error_;
};

// A UDisks2 method that takes only an (empty) dictionary of options.
DBusMessage* options_call(const std::string& object, const char* interface, const char* method) {
  DBusMessage* m = dbus_message_new_method_call(k_service, object.c_str(), interface, method);
  if (!m) return nullptr;
  DBusMessageIter args, options;
  dbus_message_iter_init_append(m, &args);
  dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &options);
  dbus_message_iter_close_container(&args, &options);
  return m;
}

// The object of the drive that holds the block device ("/" when none does), or "" when
// the question failed.
std::string drive_of(SystemBus& bus, const std::string& block) {
  DBusMessage* m = dbus_message_new_method_call(k_service, block.c_str(), DBUS_INTERFACE_PROPERTIES, "Get");
  if (!m) return "";
  const char* interface = "org.freedesktop.UDisks2.Block";
  const char* property = "Drive";
  dbus_message_append_args(m, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID);
  DBusMessage* reply = bus.call(m);
  if (!reply) return "";
  std::string drive;
  DBusMessageIter it, value;
  if (dbus_message_iter_init(reply, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
    dbus_message_iter_recurse(&it, &value);
    if (dbus_message_iter_get_arg_type(&value) == DBUS_TYPE_OBJECT_PATH) {
      const char* path = nullptr;
      dbus_message_iter_get_basic(&value, &path);
      drive = path;
    }
  }
  dbus_message_unref(reply);
  return drive;
}

}  // namespace

std::string udisks_block_object(const std::string& device) {
  // The service names the object after the kernel's name of the device, not a link to it.
  std::string name = device;
  char resolved[PATH_MAX];
  if (realpath(device.c_str(), resolved)) name = resolved;
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  std::string object = k_block_prefix;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
      object += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "_%02x", c);
      object += hex;
    }
  }
  return object;
}

int udisks_eject(const std::string& device, std::string* detail) {
  SystemBus bus;
  if (!bus.connected()) return bus.failure(detail);
  const std::string block = udisks_block_object(device);
  // The drive is asked for first: once unmounted, the filesystem's object may change.
  const std::string drive = drive_of(bus, block);
  if (drive.empty()) return bus.failure(detail);
  DBusMessage* reply = bus.call(options_call(block, "org.freedesktop.UDisks2.Filesystem", "Unmount"));
  if (!reply) return bus.failure(detail);
  dbus_message_unref(reply);
  // A device in no drive (a disc image) has nothing more to eject.
  if (drive == "/") return 0;
  reply = bus.call(options_call(drive, "org.freedesktop.UDisks2.Drive", "Eject"));
  if (!reply) return bus.failure(detail);
  dbus_message_unref(reply);
  return 0;
}

}  // namespace platform
