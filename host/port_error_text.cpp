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

}  // namespace velmora
