// A board with three codec variants, tried in an order that is not sorted.
#pragma once
#define HDA_BOARD_NAME "three-variant test board"
#define HDA_BOARD_VARIANTS(VARIANT) \
  VARIANT(Second, 0x10430002)       \
  VARIANT(First, 0x10430001)        \
  VARIANT(Third, 0x10430003)
#define HDA_BOARD_RECORDS_ZERO_ANSWER 1
#define HDA_BOARD_DEFAULT_RUNS(RUN) RUN(0x1C, 0, 8, 0xFFFFFFFF) RUN(0x1F, 3, 1, 0x00001043) RUN(0x1F, 0, 1, 0x50011043)
