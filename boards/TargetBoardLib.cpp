// HdaSsidBoardLib for the target board: its profile, then what every board's
// library builds from one.
#include "TargetBoard.h"
#include "HdaSsidBoardLibrary.h"
