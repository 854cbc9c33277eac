#include "staging/ui_ports.h"

UiPorts& Ports() {
  static UiPorts ports;
  return ports;
}
