// The words the host uses when a serial port cannot be opened or is lost.
//
// Callers may rely on: the text names the port and gives Qt's reason; a permission error also says
// how to get access (the `dialout` group).
#pragma once

#include <QSerialPort>
#include <QString>

namespace velmora {

QString port_error_text(const QString& port_name, QSerialPort::SerialPortError error, const QString& reason);

}  // namespace velmora
