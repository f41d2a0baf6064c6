// The words the host uses when a serial port cannot be opened or is lost.
//
// Callers may rely on: the text names the port and gives Qt's reason; a permission error also says
// how to get access (the `dialout` group). A port lost while open is said to have closed, and a
// device that went away (an adapter pulled out, a line closed at its other end) is said to be gone,
// rather than the system's words for what failed on it then ("Inappropriate ioctl for device").
#pragma once

#include <QSerialPort>
#include <QString>

namespace velmora {

QString port_error_text(const QString& port_name, QSerialPort::SerialPortError error, const QString& reason);
// `device_exists`: whether the port's device is still there once the error came.
QString port_lost_text(const QString& port_name, bool device_exists, QSerialPort::SerialPortError error,
                       const QString& reason);

}  // namespace velmora
