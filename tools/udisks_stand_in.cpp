// A stand-in for the UDisks2 service, for tests on a private bus: it owns the service's
// name, answers for one block device and its drive, and writes every call it gets to a
// file, one line each. It can be told to fail one method.
//
//   udisks_stand_in BUS_ADDRESS RECORD_FILE DEVICE_OBJECT_NAME [FAIL_METHOD [ERROR_NAME]]
//
// DEVICE_OBJECT_NAME is the last part of the block device's object ("sr0"); FAIL_METHOD is
// Get, Unmount or Eject, answered with ERROR_NAME (org.freedesktop.UDisks2.Error.Failed).
// The record's first line is "ready", written once the name is owned. It runs until the
// bus goes away.

#include <dbus/dbus.h>

#include <cstdio>
#include <string>

namespace {

const char k_block_prefix[] = "/org/freedesktop/UDisks2/block_devices/";
const char k_drive[] = "/org/freedesktop/UDisks2/drives/Stand_In_DVD_Drive";

struct Service {
  std::string block;
  std::string fail_method;
  std::string error_name = "org.freedesktop.UDisks2.Error.Failed";
  FILE* record = nullptr;
};

std::string text_or_empty(const char* s) { return s ? s : ""; }

void send_and_drop(DBusConnection* bus, DBusMessage* reply) {
  if (!reply) return;
  dbus_connection_send(bus, reply, nullptr);
  dbus_message_unref(reply);
}

// The two string arguments of Properties.Get, joined by a blank.
std::string get_arguments(DBusMessage* call) {
  const char* interface = nullptr;
  const char* property = nullptr;
  DBusError error;
  dbus_error_init(&error);
  if (!dbus_message_get_args(call, &error, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID)) {
    dbus_error_free(&error);
    return "?";
  }
  return text_or_empty(interface) + " " + property;
}

void answer(DBusConnection* bus, DBusMessage* call, const Service& service) {
  const std::string path = text_or_empty(dbus_message_get_path(call));
  const std::string interface = text_or_empty(dbus_message_get_interface(call));
  const std::string member = text_or_empty(dbus_message_get_member(call));
  const std::string signature = text_or_empty(dbus_message_get_signature(call));
  const bool get = interface == DBUS_INTERFACE_PROPERTIES && member == "Get";
  std::string line = path + " " + interface + "." + member + " (" + signature + ")";
  if (get) line += " " + get_arguments(call);
  std::fprintf(service.record, "%s\n", line.c_str());
  std::fflush(service.record);

  const bool known = (path == service.block && get && get_arguments(call) == "org.freedesktop.UDisks2.Block Drive") ||
                     (path == service.block && interface == "org.freedesktop.UDisks2.Filesystem" &&
                      member == "Unmount" && signature == "a{sv}") ||
                     (path == k_drive && interface == "org.freedesktop.UDisks2.Drive" && member == "Eject" &&
                      signature == "a{sv}");
  if (!known) {
    send_and_drop(bus, dbus_message_new_error(call, DBUS_ERROR_UNKNOWN_METHOD, ("no " + line).c_str()));
    return;
  }
  if (member == service.fail_method) {
    const std::string refusal = "stand-in refuses " + member;
    send_and_drop(bus, dbus_message_new_error(call, service.error_name.c_str(), refusal.c_str()));
    return;
  }
  DBusMessage* reply = dbus_message_new_method_return(call);
  if (get) {
    DBusMessageIter args, value;
    const char* drive = k_drive;
    dbus_message_iter_init_append(reply, &args);
    dbus_message_iter_open_container(&args, DBUS_TYPE_VARIANT, DBUS_TYPE_OBJECT_PATH_AS_STRING, &value);
    dbus_message_iter_append_basic(&value, DBUS_TYPE_OBJECT_PATH, &drive);
    dbus_message_iter_close_container(&args, &value);
  }
  send_and_drop(bus, reply);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: udisks_stand_in BUS_ADDRESS RECORD_FILE DEVICE_OBJECT_NAME [FAIL_METHOD [ERROR_NAME]]\n");
    return 2;
  }
  Service service;
  service.block = std::string(k_block_prefix) + argv[3];
  if (argc > 4) service.fail_method = argv[4];
  if (argc > 5) service.error_name = argv[5];

  DBusError error;
  dbus_error_init(&error);
  DBusConnection* bus = dbus_connection_open_private(argv[1], &error);
  if (!bus || !dbus_bus_register(bus, &error)) {
    std::fprintf(stderr, "udisks_stand_in: %s\n", error.message);
    return 1;
  }
  // A stand-in of an earlier test that the bus has not yet seen go gives the name up.
  const unsigned flags =
      DBUS_NAME_FLAG_ALLOW_REPLACEMENT | DBUS_NAME_FLAG_REPLACE_EXISTING | DBUS_NAME_FLAG_DO_NOT_QUEUE;
  const int owned = dbus_bus_request_name(bus, "org.freedesktop.UDisks2", flags, &error);
  if (owned != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
    std::fprintf(stderr, "udisks_stand_in: %s\n", dbus_error_is_set(&error) ? error.message : "the name is taken");
    return 1;
  }
  dbus_connection_set_exit_on_disconnect(bus, FALSE);
  service.record = std::fopen(argv[2], "a");
  if (!service.record) return 1;
  std::fprintf(service.record, "ready\n");
  std::fflush(service.record);

  while (dbus_connection_read_write(bus, -1)) {
    while (DBusMessage* message = dbus_connection_pop_message(bus)) {
      if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) answer(bus, message, service);
      dbus_message_unref(message);
    }
  }
  std::fclose(service.record);
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return 0;
}
