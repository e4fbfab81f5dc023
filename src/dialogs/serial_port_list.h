#pragma once
// The settings dialog's port list: each entry shows the port with what the system says of its
// device ("/dev/ttyUSB0 — CH340 serial converter"), while choosing it puts only the path, or the
// link, into the editable box, so what is stored is the name the serial engine opens.

#include <vector>

#include "platform/serial_ports_linux.h"

class QComboBox;

namespace dialogs {

// Replaces the entries of an editable combo box by the ports.
void FillSerialPortList(QComboBox& list, std::vector<platform::SerialPortEntry> ports);

}  // namespace dialogs
