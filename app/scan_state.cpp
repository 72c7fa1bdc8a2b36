#include "app/scan_state.h"

namespace vorlex {

ScanState& TheScanState() {
  static ScanState state;
  return state;
}

}  // namespace vorlex
