// Resource identifiers shared by rowsift.rc and the code.
#pragma once

#define IDI_ROWSIFT 1
