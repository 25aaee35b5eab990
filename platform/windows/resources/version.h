/* The version record's values, kept once; the resource script builds the record from them. */
#pragma once

#define HOVERMARK_VERSION_NUMBER 1, 1, 0, 0
#define HOVERMARK_VERSION_TEXT "1.01"
/* German (Germany), Unicode: the record's one language block. */
#define HOVERMARK_VERSION_LANGUAGE 0x0407
#define HOVERMARK_VERSION_CODEPAGE 1200
#define HOVERMARK_VERSION_BLOCK "040704B0"
