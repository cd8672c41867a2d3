// HdaSsidBoardLib for QEMU's q35 machine under OVMF, the emulated board: its profile, then what every board's
// library builds from one.
#include "QemuQ35.h"
#include "HdaSsidBoardLibrary.h"
