#include "host/port_error_text.h"

namespace velmora {

QString port_error_text(const QString& port_name, QSerialPort::SerialPortError error, const QString& reason) {
    if (port_name.isEmpty()) {
        return QStringLiteral("Cannot open the serial port: no port was chosen");
    }
    QString text = QStringLiteral("Cannot open serial port %1: %2").arg(port_name, reason);
    if (error == QSerialPort::PermissionError) {
        // On Debian-like systems serial devices belong to the group dialout; a port already in use
        // by another program is reported the same way.
        text += QStringLiteral(
            " (is another program using it, or is your user not in the dialout group? "
            "Add it with: sudo usermod -aG dialout $USER, then log in again)");
    }
    return text;
}

QString port_lost_text(const QString& port_name, bool device_exists, QSerialPort::SerialPortError error,
                       const QString& reason) {
    // The system's words for a device that went away name whatever call failed on it last ("Unknown
    // error", "Inappropriate ioctl for device"); that the device is gone says what happened.
    if (!device_exists || error == QSerialPort::ResourceError) {
        return QStringLiteral(
                   "Serial port %1 closed: the device is gone (adapter pulled out, or the line "
                   "closed at its other end)")
            .arg(port_name);
    }
    return QStringLiteral("Serial port %1 closed: %2").arg(port_name, reason);
}

}  // namespace velmora
