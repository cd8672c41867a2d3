#include "HdaSettings.h"

constinit volatile HDA_BOARD_SETTINGS gHdaBoardSettings = {
    {'H', 'D', 'A', 'B', 'O', 'A', 'R', 'D'}, HDA_BOARD_ECAM_BASE, HDA_BOARD_PM_TIMER_PORT, {0, 0, 0}};
